#include "cli/line_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/write_all.h"

namespace tarven::cli {

LineReader::LineReader(std::string_view text, std::size_t max_length)
    : max_length_(max_length), data_(text.data()), size_(text.size()), at_end_(true) {}

LineReader::LineReader(int fd, std::size_t max_length, int copy)
    : max_length_(max_length), fd_(fd), copy_(copy) {
  // Room for the longest line that is kept, its line end and a block beyond it: never grown.
  storage_.resize(max_length + 2 + 2 * kBlock);
  data_ = storage_.data();
}

LineReader::Got LineReader::line_at(std::size_t end, std::size_t next) {
  ++number_;
  std::size_t stop = end;
  if (stop > begin_ && data_[stop - 1] == '\r') --stop;
  offset_ = consumed_ + begin_ - skipped_;
  length_ = skipped_ + (stop - begin_);
  line_end_ = std::string_view(data_ + stop, next - stop);
  const bool too_long = skipping_ || length_ > max_length_;
  line_ = too_long ? std::string_view() : std::string_view(data_ + begin_, stop - begin_);
  begin_ = scanned_ = next;
  skipping_ = false;
  skipped_ = 0;
  return too_long ? Got::kTooLong : Got::kLine;
}

LineReader::Got LineReader::next() {
  line_ = line_end_ = {};
  if (error_ != 0) return Got::kError;
  for (;;) {
    const void* found =
        scanned_ < size_ ? std::memchr(data_ + scanned_, '\n', size_ - scanned_) : nullptr;
    if (found != nullptr) {
      const auto end = static_cast<std::size_t>(static_cast<const char*>(found) - data_);
      return line_at(end, end + 1);
    }
    scanned_ = size_;
    if (fd_ >= 0 && size_ - begin_ > max_length_ + 1) {
      // Too long to keep: count what was read of it and drop it, keeping the last byte, which
      // may be the carriage return of a CR LF.
      skipping_ = true;
      skipped_ += size_ - 1 - begin_;
      begin_ = size_ - 1;
    }
    if (at_end_ || !fill()) {
      if (error_ != 0) return Got::kError;
      if (begin_ < size_ || skipping_) return line_at(size_, size_);
      return Got::kEnd;
    }
  }
}

bool LineReader::fill() {
  // What is not yet returned moves to the front, where it started a line.
  if (begin_ > 0) {
    std::memmove(storage_.data(), storage_.data() + begin_, size_ - begin_);
    consumed_ += begin_;
    size_ -= begin_;
    scanned_ -= begin_;
    begin_ = 0;
  }
  for (;;) {
    const ssize_t n =
        ::read(fd_, storage_.data() + size_, std::min(kBlock, storage_.size() - size_));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error_ = errno;
      return false;
    }
    if (n == 0) {
      at_end_ = true;
      return false;
    }
    if (copy_ >= 0) {
      std::uint64_t written = 0;
      if (const int error = common::write_all(
              copy_, std::string_view(storage_.data() + size_, static_cast<std::size_t>(n)),
              written);
          error != 0) {
        error_ = error;
        return false;
      }
    }
    size_ += static_cast<std::size_t>(n);
    return true;
  }
}

}  // namespace tarven::cli
