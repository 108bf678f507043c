// Lines of a text and of a descriptor: the same lines either way, in bounded memory.

#include "cli/line_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "tests/test_files.h"

namespace tarven::cli {
namespace {

struct Seen {
  LineReader::Got got;
  std::string line;
  std::string end;
  std::uint64_t length;
  std::uint64_t offset;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> all_lines(LineReader& reader) {
  std::vector<Seen> seen;
  for (;;) {
    const LineReader::Got got = reader.next();
    if (got == LineReader::Got::kEnd || got == LineReader::Got::kError) break;
    seen.push_back({got, std::string(reader.line()), std::string(reader.line_end()),
                    reader.length(), reader.offset()});
    EXPECT_EQ(reader.number(), seen.size());
  }
  return seen;
}

std::vector<Seen> from_file(const std::string& text, std::size_t limit) {
  testing_support::ScratchDirectory dir("line-reader");
  testing_support::write_file(dir("in"), text);
  const int fd = ::open(dir("in").c_str(), O_RDONLY);
  LineReader reader(fd, limit);
  std::vector<Seen> seen = all_lines(reader);
  ::close(fd);
  return seen;
}

TEST(LineReader, ADescriptorGivesTheLinesOfTheSameText) {
  // Lines of every length around the block size and the limit, CR LF and LF mixed, a last line
  // without its line feed: read in blocks, they come out as from the text in memory.
  std::mt19937 random(7);
  std::string text;
  for (int i = 0; i < 300; ++i) {
    const std::size_t length = random() % 3 == 0 ? random() % 70000 : random() % 40;
    text.append(length, static_cast<char>('a' + i % 26));
    text += random() % 2 == 0 ? "\n" : "\r\n";
  }
  text += "last";
  LineReader in_memory(text, 50000);
  const std::vector<Seen> expected = all_lines(in_memory);
  ASSERT_EQ(expected.size(), 301u);
  EXPECT_EQ(expected.back(), (Seen{LineReader::Got::kLine, "last", "", 4, text.size() - 4}));
  EXPECT_EQ(from_file(text, 50000), expected);
}

TEST(LineReader, ALineOverTheLimitIsPassedOverWithItsLength) {
  const std::string text = "ab\r\n" + std::string(3 << 20, ',') + "\r\ncd\n" +
                           std::string(70000, 'x');  // the last line, too long, without its end
  const std::vector<Seen> seen = from_file(text, 1 << 16);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], (Seen{LineReader::Got::kLine, "ab", "\r\n", 2, 0}));
  EXPECT_EQ(seen[1], (Seen{LineReader::Got::kTooLong, "", "\r\n", 3u << 20, 4}));
  EXPECT_EQ(seen[2], (Seen{LineReader::Got::kLine, "cd", "\n", 2, 6 + (3u << 20)}));
  EXPECT_EQ(seen[3].got, LineReader::Got::kTooLong);
  EXPECT_EQ(seen[3].length, 70000u);
}

TEST(LineReader, ACopyOfAPipeReadsAgainAsTheFirstTime) {
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  const std::string text = "x,y\n1,2\r\n3,4";
  ASSERT_EQ(::write(pipe_ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(pipe_ends[1]);
  testing_support::ScratchDirectory dir("line-reader");
  const int copy = ::open(dir("copy").c_str(), O_RDWR | O_CREAT, 0600);
  LineReader once(pipe_ends[0], 1024, copy);
  const std::vector<Seen> first = all_lines(once);
  ::close(pipe_ends[0]);
  ASSERT_EQ(::lseek(copy, 0, SEEK_SET), 0);
  LineReader again(copy, 1024);
  EXPECT_EQ(all_lines(again), first);
  EXPECT_EQ(first.size(), 3u);
  ::close(copy);
}

}  // namespace
}  // namespace tarven::cli
