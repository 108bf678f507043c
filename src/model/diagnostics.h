#pragma once

// What the model's integrations report when they end abnormally, as data. Nothing here prints:
// an evaluation collects the reports (a worker thread records them and its pair's reports are
// handed on in pair order) and a front end shows them. The integrands only report when an
// integration ends abnormally, so this interface is never touched on the normal hot path.

#include <string_view>

#include "numlib/messages.h"

namespace tarven::model {

enum class DiagnosticSource {
  kDist,   // dist's DQAGI: the library's message, then dist's console line
  kInner,  // the DQAGE of fun's inner integral: fun's console line only
  kOuter,  // the DQAG of a pair's outer integral: the library's message only
  kFatal,  // a fatal library error (DLBETA): its message, and the evaluation stops
};

struct Diagnostic {
  DiagnosticSource source = DiagnosticSource::kDist;
  int ier = 0;            // QUADPACK's ier, or DLBETA's error number for kFatal
  double abscissa = 0.0;  // dist: its bound; inner: its upper limit x; otherwise 0
  double abserr = 0.0;    // the integration's error estimate
  int subintervals = 0;   // LAST of the integration
};

class DiagnosticSink {
 public:
  virtual ~DiagnosticSink() = default;
  virtual void report(const Diagnostic& d) = 0;
};

// The numerical library's message a diagnostic raises, if any.
struct LibraryMessage {
  bool raised = false;
  std::string_view routine;
  std::string_view text;
  int number = 0;
  numlib::Level level = numlib::Level::kWarning;
};
LibraryMessage library_message(const Diagnostic& d);

}  // namespace tarven::model
