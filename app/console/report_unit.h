#pragma once

// The report destination: unit 1 on a named file once the report-file dialogue has opened one,
// otherwise unit 0, the standard error stream.
//
// Every put goes straight to the file descriptor (no buffer of our own), so a disk that fills up
// is noticed at the line that did not fit and never after the run has claimed success. A failed
// write or close ends the run with the run-time I/O error report (context "write" or "close", the
// system's text) and an abnormal end.
//
// An existing file is reused from its start and not emptied when it is opened; close() cuts it at
// the number of bytes this run wrote, so the file ends up holding exactly this run's report. Only
// regular files are cut: a device such as /dev/null is simply closed.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "console/format.h"
#include "console/list_reader.h"
#include "console/output_unit.h"

namespace tarven::console {

class ReportUnit : public OutputUnit {
 public:
  ReportUnit() = default;
  // A unit still connected when it goes away is closed as at an abnormal end (cut, errors ignored).
  ~ReportUnit() override;
  ReportUnit(const ReportUnit&) = delete;
  ReportUnit& operator=(const ReportUnit&) = delete;

  // Connects unit 1 to the file `name` (already without its trailing blanks): an existing file is
  // reused from its start, a missing one is created. A file that exists and may be read but not
  // written is connected for reading; the first put then fails with the reason the system gave
  // for refusing to open it for writing. Returns the open error ({"open", system text}, or
  // {"open", "null file name"} for an empty name) without connecting anything; the caller decides
  // how the run ends. Also makes this the unit that the I/O error report and the stop close.
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

  // Normal stop: cuts a regular file at this run's length and closes it. A failed cut or close ends
  // the run with the I/O error report (context "close"). Idempotent; unit 0 is left open.
  void close();

  int unit() const { return fd_ >= 0 ? 1 : 0; }  // 1 = a named file, 0 = standard error
  const std::string& name() const { return name_; }
  std::uint64_t written() const { return written_; }  // bytes this run has put

  // Closes the unit last connected (close() semantics), for the library's stop hook; nothing
  // happens when no file is connected.
  static void close_active();

 private:
  [[noreturn]] void fail(std::string_view context, const std::string& reason);
  // Cuts, syncs and closes without reporting; returns the errno of the first failing step, or 0.
  int release();
  // The closer registered for the I/O error report: releases the active unit, ignoring errors.
  static void release_active();

  int fd_ = -1;                // the file's descriptor; -1 while the report is on unit 0
  bool read_only_ = false;     // connected for reading only: every put fails
  bool regular_ = false;       // cut at close (devices, pipes and the like are not)
  std::string write_refusal_;  // system text of the refused open for writing (read_only_)
  std::string name_;           // the file name as opened
  std::string last_format_;    // format of the latest report write
  std::uint64_t written_ = 0;  // bytes written to the file (or to unit 0) by this run

  static inline ReportUnit* active_ = nullptr;  // the unit the stop and the error report close
};

}  // namespace tarven::console
