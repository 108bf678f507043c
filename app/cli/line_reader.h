#pragma once

// Lines of a text in memory or of an open file descriptor, one at a time and in bounded memory: a
// line longer than the limit is passed over without being held, and reported by its number and
// length only. Reading a file takes time linear in its size whatever its lines are like.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarven::cli {

class LineReader {
 public:
  enum class Got {
    kLine,     // line() holds the next line
    kTooLong,  // the next line is longer than the limit: passed over, its length in length()
    kEnd,      // no more lines
    kError,    // a read (or the copy) failed: error() holds the errno
  };

  LineReader(std::string_view text, std::size_t max_length);
  // Reads `fd`, which stays the caller's, in blocks. Every byte read is also written to `copy`
  // unless it is -1: a pipe can be read only once, and its copy can be read again.
  LineReader(int fd, std::size_t max_length, int copy = -1);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  Got next();
  // The line last read, without its line end; valid until the next call.
  std::string_view line() const { return line_; }
  // Its line end: "\n", "\r\n", or "" (or "\r") for a last line without a line feed.
  std::string_view line_end() const { return line_end_; }
  std::size_t number() const { return number_; }    // 1-based number of the line last read
  std::uint64_t length() const { return length_; }  // its bytes, line end excluded
  std::uint64_t offset() const { return offset_; }  // where it starts in the input
  int error() const { return error_; }

 private:
  Got line_at(std::size_t end, std::size_t next);
  bool fill();  // reads a block; false at the end of the input or on an error

  static constexpr std::size_t kBlock = 1 << 16;

  std::size_t max_length_;
  int fd_ = -1;
  int copy_ = -1;
  std::string storage_;         // the descriptor's bytes
  const char* data_ = nullptr;  // the text, or storage_
  std::size_t begin_ = 0;       // start of the bytes not yet returned
  std::size_t scanned_ = 0;     // bytes from begin_ on known to hold no line feed
  std::size_t size_ = 0;        // bytes in data_
  bool at_end_ = false;         // no more bytes to read
  std::uint64_t consumed_ = 0;  // bytes of the input before data_[0]
  std::uint64_t skipped_ = 0;   // bytes of a too-long line dropped so far
  bool skipping_ = false;
  std::string_view line_;
  std::string_view line_end_;
  std::size_t number_ = 0;
  std::uint64_t length_ = 0;
  std::uint64_t offset_ = 0;
  int error_ = 0;
};

}  // namespace tarven::cli
