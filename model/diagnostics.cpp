#include "model/diagnostics.h"

#include "io/output_unit.h"
#include "numlib/error_handler.h"

namespace tarven::model {
namespace {

class DirectDiagnostics final : public Diagnostics {
 public:
  void console_line(std::string_view text) override { io::console().put(text); }
  void abnormal_return(const char* routine, int ier) override {
    numlib::report_abnormal_return(routine, ier);
  }
};

}  // namespace

Diagnostics& direct_diagnostics() {
  static DirectDiagnostics direct;
  return direct;
}

}  // namespace tarven::model
