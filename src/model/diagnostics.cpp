#include "model/diagnostics.h"

#include "numlib/lbeta.h"

namespace tarven::model {

LibraryMessage library_message(const Diagnostic& d) {
  switch (d.source) {
    case DiagnosticSource::kDist:
      return {true, "DQAGI", numlib::kAbnormalReturn, d.ier, numlib::abnormal_return_level(d.ier)};
    case DiagnosticSource::kOuter:
      return {true, "DQAG", numlib::kAbnormalReturn, d.ier, numlib::abnormal_return_level(d.ier)};
    case DiagnosticSource::kFatal:
      return {true, "DLBETA", numlib::lbeta_error_text(d.ier), d.ier, numlib::Level::kFatal};
    case DiagnosticSource::kInner:
      break;  // DQAGE reports only through ier
  }
  return {};
}

}  // namespace tarven::model
