// The README's examples (and the users' guide's) as a reader runs them: every shell block marked to
// run is run, in order, in one scratch directory per document that looks like the source tree
// (build/, tools/, examples/ and doc/ are links to the real ones), with the built tarven first on
// the PATH as the install step puts it. A block fails the test when any of its commands fails.

#include <gtest/gtest.h>

#include <filesystem>

#include "plot/subprocess.h"
#include "tests/test_files.h"

namespace tarven::e2e {
namespace {

// The line before a block that the test runs.
constexpr std::string_view kMarker = "<!-- runs in the README commands test -->";

struct Block {
  std::size_t line = 0;  // of the opening fence, 1-based
  std::string commands;
};

// The blocks after a marker line, in order; a block in a list item is indented, and its commands
// lose the fence's indentation.
std::vector<Block> marked_blocks(const std::string& readme) {
  std::vector<Block> blocks;
  std::size_t line_number = 0;
  bool marked = false;
  bool open = false;
  std::size_t indent = 0;
  std::size_t from = 0;
  while (from < readme.size()) {
    const std::size_t end = std::min(readme.find('\n', from), readme.size());
    const std::string_view line(readme.data() + from, end - from);
    from = end + 1;
    ++line_number;
    const std::size_t start = std::min(line.find_first_not_of(' '), line.size());
    const std::string_view text = line.substr(start);
    if (open) {
      if (text == "```")
        open = false;
      else
        blocks.back().commands.append(line.substr(std::min(indent, start))).append("\n");
      continue;
    }
    if (marked && text.starts_with("```")) {
      blocks.push_back({line_number, {}});
      open = true;
      indent = start;
    }
    marked = text == kMarker;
  }
  return blocks;
}

// Runs the marked blocks of one document, in order, in a scratch directory of their own.
void run_marked_blocks(const std::string& document, std::size_t at_least) {
  const std::filesystem::path source = TARVEN_SOURCE_DIR;
  const std::filesystem::path program = TARVEN_EXE;
  const std::vector<Block> blocks = marked_blocks(testing_support::read_file(source / document));
  ASSERT_GE(blocks.size(), at_least) << document;

  testing_support::ScratchDirectory dir("tarven-readme");
  for (const char* tree : {"tools", "examples", "doc"})
    std::filesystem::create_directory_symlink(source / tree, dir.path() / tree);
  std::filesystem::create_directory_symlink(program.parent_path(), dir.path() / "build");
  const std::string path = program.parent_path().string() + ":" + plot::environment_search_path();
  for (const Block& block : blocks) {
    const plot::SubprocessResult r = plot::run_subprocess(
        {"env", "PATH=" + path, "bash", "-c", "set -euo pipefail; cd \"$0\"; " + block.commands,
         dir.path().string()},
        std::chrono::seconds(120));
    EXPECT_TRUE(r.succeeded()) << document << " line " << block.line << ":\n"
                               << block.commands << "exit " << r.exit_code << "\n"
                               << r.err << r.error;
  }
}

TEST(ReadmeCommands, EveryMarkedBlockRunsAsWritten) {
  if (std::system("command -v parallel >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "GNU parallel (Debian package parallel) is not installed; the sharding "
                    "example needs it";
  // The examples the README promises: a file of answers, the command line (two), a worked grid,
  // sharding and plots.
  run_marked_blocks("README.md", 6);
}

TEST(ReadmeCommands, TheGuidesWorkedExamplesRunAsWritten) {
  run_marked_blocks("doc/guide.md", 3);
}

}  // namespace
}  // namespace tarven::e2e
