#include "console/output_unit.h"

#include <cstdio>
#include <string>

namespace tarven::console {
namespace {

// A unit on a stdio stream. Each put is one fwrite of complete lines followed by a flush: the
// console must show a prompt before the program blocks on its answer, and when the report goes to
// standard error the two streams must interleave in the order the program wrote them. Write
// errors on these streams are not detected; the run goes on.
class StdioUnit final : public OutputUnit {
 public:
  explicit StdioUnit(std::FILE* stream) : stream_(stream) {}
  void put(std::string_view text) override {
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stream_);
    std::fflush(stream_);
  }

 private:
  std::FILE* stream_;
};

}  // namespace

OutputUnit& console_unit() {
  static StdioUnit unit(stdout);
  return unit;
}

OutputUnit& error_unit() {
  static StdioUnit unit(stderr);
  return unit;
}

void write(OutputUnit& unit, std::string_view format, std::initializer_list<FormatValue> values) {
  const std::string text = render(format, values);
  unit.put_formatted(text, format);
}

}  // namespace tarven::console
