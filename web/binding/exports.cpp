// The module's face to the page's worker: one call per scenario, JSON text in and out, and the
// library's progress handed to the worker as it comes.

#include <emscripten/emscripten.h>

#include <string>

#include "page_request.h"
#include "tarven/evaluate.h"
#include "tarven/observer.h"

namespace {

// Module.onProgress is the worker's: it posts the counts to the page.
EM_JS(void, tarven_report_progress, (double done, double total), {
  if (Module["onProgress"]) Module["onProgress"](done, total);
});

class WorkerProgress final : public tarven::Observer {
 public:
  void progress(std::int64_t done, std::int64_t total) override {
    tarven_report_progress(static_cast<double>(done), static_cast<double>(total));
  }
};

std::string last_answer;

}  // namespace

extern "C" {

// The answer stays valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* tarven_answer(const char* request) {
  WorkerProgress progress;
  last_answer = tarven::web::answer_request(request, &progress);
  return last_answer.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* tarven_version() {
  return tarven::version();
}

}  // extern "C"
