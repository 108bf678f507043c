#pragma once

// The report destination: unit 1 on a named file once the report-file dialogue has opened one,
// otherwise unit 0, the standard error stream.
//
// Every put goes straight to the file descriptor (no buffer of our own), so a disk that fills up
// is noticed at the line that did not fit and never after the run has claimed success. A failed
// write or close ends the run with the run-time I/O error report (context "write" or "close", the
// system's text) and an abnormal end.
//
// A named file is replaced whole or not at all: the report is written to a temporary file beside
// it and renamed over it when the report is closed, once it is complete and before the exit
// question (common/replacing_file.h). Every abnormal end before that (the I/O error report, the
// out-of-memory stop, a signal) leaves the file as it was. Only where the file's directory takes no
// new file is the report written into the file itself, emptied at the first report line; an
// abnormal end then leaves it incomplete. Devices such as /dev/null are written as streams.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/replacing_file.h"
#include "console/format.h"
#include "console/list_reader.h"
#include "console/output_unit.h"

namespace tarven::console {

class ReportUnit : public OutputUnit {
 public:
  ReportUnit() = default;
  // A unit still connected when it goes away is given up as at an abnormal end (see abandon()).
  ~ReportUnit() override;
  ReportUnit(const ReportUnit&) = delete;
  ReportUnit& operator=(const ReportUnit&) = delete;

  // Connects unit 1 to the file `name` (already without its trailing blanks), which the report
  // will replace or create when it is closed. A file that exists and may be read but not
  // written is connected for reading; the first put then fails with the reason the system gave
  // for refusing to open it for writing. Returns the open error ({"open", system text}, or
  // {"open", "null file name"} for an empty name) without connecting anything; the caller decides
  // how the run ends. Also makes this the unit that the I/O error report abandons.
  std::optional<ReadError> connect(std::string_view name);

  // Writes complete lines; on failure the run ends with the run-time I/O error report.
  void put(std::string_view text) override;
  // What console::write hands over: the text and the format it was rendered under.
  void put_formatted(std::string_view text, std::string_view format) override {
    set_last_format(format);
    put(text);
  }

  // The format text shown as "last format" if a write of this unit fails. console::write cannot
  // pass it on (OutputUnit only takes text), so report writes go through the members below, or the
  // caller sets the format before its put.
  void set_last_format(std::string_view format) { last_format_ = format; }
  void write(std::string_view format, std::initializer_list<FormatValue> values);
  void write(std::string_view format, std::span<const FormatValue> values);

  // Normal stop: the report replaces the named file and the unit is closed. A failure ends the
  // run with the I/O error report (context "close"). Idempotent; unit 0 is left open.
  void close();
  // The end of a run that does not complete its report: the named file keeps what it held before
  // (written in place: unless a report line was written). Idempotent; unit 0 is left open.
  void abandon();

  // Whether the report is written into the named file itself because its directory takes no new
  // file, so that an interrupted run cannot leave the old file whole.
  bool in_place() const { return file_.mode() == common::ReplacingFile::Mode::kInPlace; }
  int unit() const { return file_.is_open() || read_only_fd_ >= 0 ? 1 : 0; }  // 1 = a named file
  const std::string& name() const { return name_; }
  std::uint64_t written() const { return written_; }  // bytes this run has put

  // Closes the unit last connected (close() semantics), for the library's stop hook; nothing
  // happens when no file is connected.
  static void close_active();

 private:
  [[noreturn]] void fail(std::string_view context, const std::string& reason);
  // Forgets the named file (and makes unit 0 the destination again).
  void disconnect();
  // The closer registered for the I/O error report: abandons the active unit.
  static void abandon_active();

  common::ReplacingFile file_;  // the named file, while connected for writing
  int read_only_fd_ = -1;       // the named file, while connected for reading only: puts fail
  std::string write_refusal_;   // system text of the refused open for writing (read_only_fd_)
  std::string name_;            // the file name as opened
  std::string last_format_;     // format of the latest report write
  std::uint64_t written_ = 0;   // bytes written to the file (or to unit 0) by this run

  static inline ReportUnit* active_ = nullptr;  // the unit the error report abandons
};

}  // namespace tarven::console
