#include "console/open_report.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "console/format.h"
#include "console/formats.h"
#include "console/io_error.h"

namespace tarven::console {

namespace {

constexpr int kConsoleInputUnit = 5;

// One formatted answer line; the end of the input (or a read error) ends the run here.
std::string read_answer(ListReader& reader, std::size_t width, std::string_view format) {
  std::string text;
  if (auto error = reader.read_formatted(width, text)) {
    io_error_stop(*error, UnitState{kConsoleInputUnit, ""}, format, false);
  }
  text.resize(width, ' ');  // the field always has its full width, whatever the reader returned
  return text;
}

}  // namespace

void open(int& iunit, ReportUnit& report, ListReader& reader, OutputUnit& console) {
  console.put(free_form(" Filename to write output of the program? "));
  const std::string name = read_answer(reader, kReportNameLength, kFormatA);
  // The file system gets the name without its trailing blanks; leading and inner blanks stay.
  const std::string_view path =
      std::string_view(name).substr(0, name.find_last_not_of(' ') + 1);  // npos + 1 == 0
  std::string_view last_format = kFormatA;

  std::error_code ignored;  // a failed inquiry counts as "no such file"; the open then reports it
  if (!path.empty() && std::filesystem::exists(std::filesystem::path(path), ignored)) {
    write(console, kFormatDialogue,
          {" File ", std::string_view(name), " found - write over it", "  (y/n) ?"});
    const std::string answer = read_answer(reader, 1, kFormatA1);
    if (answer[0] != 'Y' && answer[0] != 'y') return;
    last_format = kFormatA1;
  }

  if (auto error = report.connect(path)) {
    // The open has no format of its own: the state shown is that of the latest console read.
    io_error_stop(*error, UnitState{1, std::string(path)}, last_format, false);
  }
  if (report.in_place()) {
    console.put(free_form(
        "No new file can be made beside the report file, so the report is written into it "
        "directly; an interrupted run leaves it incomplete."));
  }
  iunit = 1;
}

}  // namespace tarven::console
