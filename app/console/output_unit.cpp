#include "console/output_unit.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "console/io_error.h"

namespace tarven::console {
namespace {

// A unit on a stdio stream. Each put is one fwrite of complete lines followed by a flush: the
// console must show a prompt before the program blocks on its answer, and when the report goes to
// standard error the two streams must interleave in the order the program wrote them. A write that
// fails (a closed pipe with SIGPIPE ignored, a full disk behind a redirection) ends the run with
// the run-time I/O error report, as a failed report write does: output lost without a word would
// let a script take a broken run for a good one.
class StdioUnit final : public OutputUnit {
 public:
  StdioUnit(std::FILE* stream, int unit) : stream_(stream), unit_(unit) {}
  void put(std::string_view text) override { put_formatted(text, kListFormat); }
  void put_formatted(std::string_view text, std::string_view format) override {
    errno = 0;
    const bool written =
        text.empty() || std::fwrite(text.data(), 1, text.size(), stream_) == text.size();
    if (std::fflush(stream_) != 0 || !written) {
      const int error = errno != 0 ? errno : EIO;
      io_error_stop(ReadError{"write", std::strerror(error)}, UnitState{unit_, ""}, format, true);
    }
  }

 private:
  std::FILE* stream_;
  int unit_;
};

}  // namespace

OutputUnit& console_unit() {
  static StdioUnit unit(stdout, 6);
  return unit;
}

OutputUnit& error_unit() {
  static StdioUnit unit(stderr, 0);
  return unit;
}

void write(OutputUnit& unit, std::string_view format, std::initializer_list<FormatValue> values) {
  const std::string text = render(format, values);
  unit.put_formatted(text, format);
}

}  // namespace tarven::console
