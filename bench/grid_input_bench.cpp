// Times `tarven grid` on hostile inputs and reports the maximum resident memory of each run, as
// the kernel counts it for the child process (wait4's rusage):
//
//   grid_input_bench [--cases=wide_header,long_line,rows] [--columns=300000] [--line-mib=10]
//                    [--rows=1000000] [--tarven=PATH] [--baseline=PATH]
//
// wide_header: a header of --columns columns (refused: more than 10,000, or longer than 1 MiB),
//   and the widest header accepted (10,000 columns) with one row;
// long_line: one row of --line-mib MiB of commas between two good rows (that row is invalid);
// rows: --rows rows, each refused by the checks (d = 11), so that what is measured is reading,
//   holding and writing rows rather than evaluating them; once without ids and once with a
//   scenario_id column, whose uniqueness is checked.
// Each case runs the program given by --tarven (default: the one built beside this benchmark)
// and, with --baseline, another build side by side, for a ratio measured in one run.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_support.h"

namespace {

namespace fs = std::filesystem;

struct Measured {
  double seconds = 0;
  double max_rss_mib = 0;
  int exit_status = -1;
  std::string message;  // the first line of standard error
};

Measured run(const std::string& program, const std::vector<std::string>& args,
             const fs::path& dir) {
  const fs::path err = dir / "stderr.txt";
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    const int to = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(to, 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    std::_Exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  Measured m;
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.max_rss_mib = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
  m.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::ifstream in(err);
  std::getline(in, m.message);
  if (m.message.size() > 90) m.message = m.message.substr(0, 87) + "...";
  return m;
}

const char* const kColumns = "n_total,n_majority,n_hired,d,rho,retention";

void write_wide_header(const fs::path& file, std::size_t columns) {
  std::ofstream out(file, std::ios::binary);
  out << kColumns;
  for (std::size_t c = 6; c < columns; ++c) out << ",c" << c;
  out << "\n10,7,4,0.5,0.3,0.6";
  for (std::size_t c = 6; c < columns; ++c) out << ",x";
  out << "\n";
}

void write_long_line(const fs::path& file, std::size_t mib) {
  std::ofstream out(file, std::ios::binary);
  out << kColumns << "\n10,7,4,0.5,0.3,0.6\n";
  const std::string commas(1 << 20, ',');
  for (std::size_t k = 0; k < mib; ++k) out << commas;
  out << "\n12,6,4,0,0.2,0.5\n";
}

void write_rows(const fs::path& file, std::size_t rows, bool ids) {
  std::ofstream out(file, std::ios::binary);
  out << (ids ? "scenario_id," : "") << kColumns << "\n";
  for (std::size_t r = 0; r < rows; ++r) {
    if (ids) out << "row" << r << ",";
    out << "10,7,4,11,0.3,0.6\n";
  }
}

std::string option(int argc, char** argv, std::string_view name, std::string fallback) {
  const std::string prefix = "--" + std::string(name) + "=";
  for (int i = 1; i < argc; ++i)
    if (std::string_view(argv[i]).starts_with(prefix)) return argv[i] + prefix.size();
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string cases = option(argc, argv, "cases", "wide_header,long_line,rows");
  const std::size_t columns = std::stoul(option(argc, argv, "columns", "300000"));
  const std::size_t line_mib = std::stoul(option(argc, argv, "line-mib", "10"));
  const std::size_t rows = std::stoul(option(argc, argv, "rows", "1000000"));
  std::vector<std::string> programs{option(argc, argv, "tarven", TARVEN_EXE)};
  if (const std::string baseline = option(argc, argv, "baseline", ""); !baseline.empty())
    programs.push_back(baseline);

  std::string pattern = (fs::temp_directory_path() / "grid-input-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path dir = pattern;

  struct Case {
    std::string name;
    fs::path input;
  };
  std::vector<Case> runs;
  if (tarven::bench::listed(cases, "wide_header")) {
    write_wide_header(dir / "wide.csv", columns);
    runs.push_back({std::to_string(columns) + " columns", dir / "wide.csv"});
    write_wide_header(dir / "widest.csv", 10000);
    runs.push_back({"10000 columns, one row", dir / "widest.csv"});
  }
  if (tarven::bench::listed(cases, "long_line")) {
    write_long_line(dir / "long.csv", line_mib);
    runs.push_back({"a line of " + std::to_string(line_mib) + " MiB of commas", dir / "long.csv"});
  }
  if (tarven::bench::listed(cases, "rows")) {
    write_rows(dir / "rows.csv", rows, false);
    runs.push_back({std::to_string(rows) + " rows", dir / "rows.csv"});
    write_rows(dir / "rows-ids.csv", rows, true);
    runs.push_back({std::to_string(rows) + " rows with ids", dir / "rows-ids.csv"});
  }

  std::printf("programs: %s", programs[0].c_str());
  if (programs.size() > 1) std::printf(", baseline %s", programs[1].c_str());
  std::printf("\n%-34s %-8s %9s %12s %5s  %s\n", "case", "program", "seconds", "max RSS MiB",
              "exit", "first line of standard error");
  for (const Case& c : runs) {
    for (std::size_t p = 0; p < programs.size(); ++p) {
      const std::string& program = programs[p];
      const Measured m =
          run(program, {"grid", c.input.string(), "--quiet", "--jobs", "2", "-o",
                        (dir / "out.csv").string()},
              dir);
      std::printf("%-34s %-8s %9.3f %12.1f %5d  %s\n", c.name.c_str(),
                  p == 0 ? "built" : "baseline", m.seconds, m.max_rss_mib, m.exit_status,
                  m.message.c_str());
      std::fflush(stdout);
    }
  }
  fs::remove_all(dir);
  return 0;
}
