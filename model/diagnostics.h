#pragma once

// Where the model's integration diagnostics go. The integrands only report when an integration
// ends abnormally, so this interface is never touched on the normal hot path; a caller that
// evaluates on several threads can collect the reports per worker and replay them in order.

#include <string_view>

namespace tarven::model {

class Diagnostics {
 public:
  virtual ~Diagnostics() = default;
  // Rendered line(s) for the console, each ended by '\n'.
  virtual void console_line(std::string_view text) = 0;
  // The numerical library's abnormal-return message of `routine` with error number ier (1..6);
  // ier 6 stops the run there, as the library does.
  virtual void abnormal_return(const char* routine, int ier) = 0;
};

// Lines straight to the console, library messages straight to the library's error handler.
Diagnostics& direct_diagnostics();

}  // namespace tarven::model
