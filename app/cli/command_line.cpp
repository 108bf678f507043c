#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>

#include "cli/grid_command.h"
#include "cli/input_file.h"
#include "cli/output_file.h"
#include "cli/pictures.h"
#include "cli/result_curves.h"
#include "cli/run_command.h"
#include "common/utf8_text.h"
#include "tarven/evaluate.h"

namespace tarven::cli {
namespace {

constexpr std::string_view kCommands[] = {"run", "grid", "plot"};

void say(const std::string& message) {
  const std::string line = "tarven: " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// "single (the default) or nested", from the library's list.
std::string engine_words() {
  std::string words;
  for (std::size_t e = 0; e < kEngines.size(); ++e) {
    words += e == 0 ? "" : e + 1 == kEngines.size() ? " or " : ", ";
    words += engine_name(kEngines[e]);
    if (e == 0) words += " (the default)";
  }
  return words;
}

// A count option's text as a whole number >= 0 (a larger one than an int holds is the largest):
// false for anything else, which the caller refuses in one line.
bool whole_number(const std::string& text, int& value) {
  if (text.empty()) return true;  // not given: the default stays
  if (text.find_first_not_of("0123456789") != std::string::npos) return false;
  long long n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  value = ec == std::errc::result_out_of_range || n > INT_MAX ? INT_MAX : static_cast<int>(n);
  return true;
}

// The questions every scenario is asked, as flags shared by run and grid.
void add_questions(CLI::App& command, CommandQuestions& q, std::string& engine,
                   std::string& threads, const char* threads_help) {
  // One value per flag, so that a file name after it is never taken for a threshold.
  command
      .add_option("--threshold", q.thresholds,
                  "AI threshold T in (0, 1], as a decimal (repeat for several; default 0.8)")
      ->allow_extra_args(false)
      ->type_name("T");
  command
      .add_option("--alpha", q.alpha, "Level of the Fisher and Z tests, in (0, 1) (default 0.05)")
      ->type_name("A");
  command
      .add_option("--quantiles", q.quantile_levels,
                  "Quantile levels of AI in (0, 1], comma-separated (default "
                  "0.05,0.1,0.25,0.5,0.75,0.9,0.95)")
      ->delimiter(',')
      ->type_name("LIST");
  command
      .add_option("--engine", engine,
                  "Evaluation engine: single (one exact integral per split, the default) or "
                  "nested (the dialogue's nested integrations)")
      ->check(
          [](const std::string& word) {
            return parse_engine(word) ? std::string()
                                      : "\"" + word + "\" is not an engine: use " + engine_words();
          },
          "ENGINE")
      ->type_name("ENGINE");
  command.add_option("--threads", threads, threads_help)->type_name("N");
  command.add_flag("--timing", q.timing, "Fill the cpu_seconds column (results then vary by run)");
}

// A file name whose ending says its format, one of `allowed` (`kinds` in words); "-" too where the
// standard output takes the SVG.
CLI::Validator named_as(std::vector<PictureFormat> allowed, std::string kinds,
                        bool standard_output = false) {
  return CLI::Validator(
      [allowed, kinds, standard_output](std::string& path) -> std::string {
        if (path == "-") {
          if (standard_output) return {};
        } else if (const std::optional<PictureFormat> format = picture_format(path);
                   format && std::find(allowed.begin(), allowed.end(), *format) != allowed.end()) {
          return {};
        }
        std::vector<std::string> endings;
        for (const PictureFormat f : allowed) {
          if (f == PictureFormat::kSvg) endings.emplace_back(".svg");
          if (f == PictureFormat::kPng) endings.emplace_back(".png");
          if (f == PictureFormat::kHtml) endings.insert(endings.end(), {".html", ".htm"});
        }
        std::string words;
        for (std::size_t e = 0; e < endings.size(); ++e)
          words += (e == 0 ? "" : e + 1 == endings.size() ? " or " : ", ") + endings[e];
        return "\"" + path + "\": this file is written as " + kinds + ", so its name must end in " +
               words + (standard_output ? " (or be -)" : "");
      },
      "");
}

// The curves (and the page) of a grid's results in `input` ("-": the standard input).
int run_plot(const std::string& input, const CurveRequest& request, const std::string& output) {
  std::string text;
  if (std::string error = read_whole(input, text); !error.empty()) {
    say(error);
    return kExitUsage;
  }
  const CsvResult<CsvTable> table = read_csv(text);
  if (table.error) {
    say(input_name(input) + ": " + table.error->message);
    return kExitUsage;
  }
  const bool page = picture_format(output) == PictureFormat::kHtml;
  CurveResult curves;
  if (!page || !request.x.empty()) {
    curves = curves_of(table.value, request);
    if (!curves.error.empty()) {
      say(input_name(input) + ": " + curves.error);
      return kExitUsage;
    }
  }
  std::string error;
  if (page) {
    OutputFile file;
    error = file.open(output);
    if (error.empty())
      error = file.write(grid_page(table.value, y_column(table.value.header, request), curves.svg));
    if (error.empty()) error = file.commit();
  } else {
    error = write_picture(output, curves.svg);
  }
  if (!error.empty()) {
    say(error);
    return kExitOutput;
  }
  return kExitOk;
}

// The options that shape curves, shared by plot and grid --html: --y, --group, --facet, --where.
void add_curve_options(CLI::App& command, CurveRequest& curves) {
  command.add_option("--y", curves.y, "Column on the y axis (default: the first p_ai_lt_ column)")
      ->type_name("COLUMN");
  command.add_option("--group", curves.group, "One line per value of this column")
      ->type_name("COLUMN");
  command
      .add_option("--facet", curves.facets,
                  "One panel per value of this column; two columns (--facet A,B) give rows "
                  "by A and columns by B")
      ->delimiter(',')
      ->allow_extra_args(false)
      ->type_name("COLUMN");
  command
      .add_option("--where", curves.where,
                  "Draw only the rows whose COLUMN is VALUE (repeatable: values of one column "
                  "are alternatives, different columns must all hold)")
      ->allow_extra_args(false)
      ->type_name("COLUMN=VALUE");
}

}  // namespace

bool wants_command_line(int argc, const char* const* argv) {
  if (argc < 2) return false;
  const std::string_view first = argv[1];
  if (first.starts_with("-")) return true;
  for (const std::string_view command : kCommands)
    if (first == command) return true;
  return false;
}

// The command line, from its arguments to its exit status.
static int parse_and_run(int argc, const char* const* argv, bool standard_output_closed) {
  CLI::App app{
      "TARVEN: the exact distribution of the adverse impact ratio for top-down hiring "
      "from a pre-screened applicant pool.\nWithout arguments, the console dialogue runs.",
      "tarven"};
  app.set_version_flag("--version", std::string("tarven ") + version());
  app.require_subcommand(1);
  app.fallthrough(false);

  // tarven run
  RunSettings run;
  std::string run_engine = engine_name(Engine::kSingle);
  CLI::App* run_command = app.add_subcommand("run", "Evaluate one scenario given by flags");
  // The flags are the scenario file's columns: --n-total for n_total.
  auto number = [](double v) { return format_number(v); };
  const std::string helps[] = {
      "Number of applicants, 2 to " + std::to_string(kMaxTotal),
      "Number of majority-group applicants (or give --n-minority or --minority-share)",
      "Number of minority-group applicants, instead of --n-majority",
      "Minority share of the applicants, instead of --n-majority (N times it a whole number)",
      "Number hired top-down, 1 to N (or give --selection-ratio)",
      "Share of the applicants hired, instead of --n-hired (N times it a whole number)",
      "Effect size: majority mean minus minority mean, " + number(-kMaxAbsD) + " to " +
          number(kMaxAbsD),
      "Correlation of the predictor and the pre-screening variable, " + number(-kMaxAbsRho) +
          " to " + number(kMaxAbsRho),
      "Share of the minority group the pre-screening retains, " + number(kMinRetention) + " to " +
          number(kMaxRetention)};
  static_assert(std::size(helps) == kInputColumns.size());
  for (std::size_t f = 0; f < kInputColumns.size(); ++f) {
    std::string flag = std::string("--") + kInputColumns[f];
    std::replace(flag.begin(), flag.end(), '_', '-');
    CLI::Option* option = run_command->add_option(flag, run.scenario.fields[f], helps[f]);
    option->type_name("X");
    // The sizes may come in several ways, of which the library takes exactly one.
    const std::string_view name = kInputColumns[f];
    if (name == "n_total" || name == "d" || name == "rho" || name == "retention")
      option->required();
  }
  std::string run_threads;
  add_questions(*run_command, run.questions, run_engine, run_threads,
                "Threads for the evaluation (default 0: all cores)");
  run_command->add_option("--format", run.format, "Output: text, json or csv (default text)")
      ->check(CLI::IsMember({"text", "json", "csv"}));
  run_command
      ->add_option("-o,--output", run.output, "Write the output to FILE (default: standard output)")
      ->type_name("FILE");
  run_command
      ->add_option("--distribution", run.distribution, "Write every split as tidy CSV to FILE")
      ->type_name("FILE");
  CLI::Option* run_plot_option =
      run_command
          ->add_option(
              "--plot", run.plot,
              "Draw the distribution chart to FILE.svg (or FILE.png, through rsvg-convert)")
          ->check(named_as({PictureFormat::kSvg, PictureFormat::kPng}, "SVG or PNG"))
          ->type_name("FILE");
  run_command
      ->add_flag("--plot-cumulative", run.plot_cumulative,
                 "With --plot: draw the cumulative distribution instead")
      ->needs(run_plot_option);
  run_command->add_option("--html", run.html, "Write a self-contained HTML report to FILE.html")
      ->check(named_as({PictureFormat::kHtml}, "an HTML page"))
      ->type_name("FILE");

  // tarven grid
  GridSettings grid;
  grid.questions.threads = 1;  // scenarios run side by side; one thread each by default
  std::string grid_engine = engine_name(Engine::kSingle);
  std::string shard;
  std::string grid_html;
  CurveRequest grid_curves;
  CLI::App* grid_command =
      app.add_subcommand("grid", "Evaluate every scenario of a CSV file, in parallel");
  grid_command->add_option("scenarios", grid.input, "SCENARIOS.csv (- for the standard input)")
      ->required()
      ->type_name("FILE");
  grid_command->add_option("-o,--output", grid.output, "Results file (default: standard output)")
      ->type_name("FILE");
  std::string grid_threads;
  add_questions(*grid_command, grid.questions, grid_engine, grid_threads,
                "Threads per scenario (default 1, since scenarios run side by side; 0: all cores)");
  grid_command->add_option("--format", grid.format, "Output: csv or ndjson (default csv)")
      ->check(CLI::IsMember({"csv", "ndjson"}));
  grid_command
      ->add_option("--distribution", grid.distribution,
                   "Write every scenario's splits as tidy CSV to FILE")
      ->type_name("FILE");
  std::string grid_jobs;
  grid_command->add_option("--jobs", grid_jobs, "Scenarios in parallel (default 0: all cores)")
      ->type_name("N");
  grid_command->add_option("--shard", shard, "Only the K-th of N contiguous blocks of rows")
      ->type_name("K/N");
  grid_command->add_flag("--no-header", grid.no_header, "Write no header line");
  grid_command->add_flag("--resume", grid.resume,
                         "Skip scenarios already complete in the output file, append the rest");
  grid_command->add_flag("--fail-fast", grid.fail_fast,
                         "Stop at the first scenario that is not ok");
  grid_command->add_flag("--quiet", grid.quiet, "No progress on the standard error stream");
  CLI::Option* grid_html_option =
      grid_command
          ->add_option("--html", grid_html,
                       "Write the results (and, with --x, their curves) as a page to FILE.html")
          ->check(named_as({PictureFormat::kHtml}, "an HTML page"))
          ->type_name("FILE");
  CLI::Option* grid_x =
      grid_command->add_option("--x", grid_curves.x, "With --html: draw curves against this column")
          ->needs(grid_html_option)
          ->type_name("COLUMN");
  add_curve_options(*grid_command, grid_curves);
  for (const char* name : {"--y", "--group", "--facet", "--where"})
    grid_command->get_option(name)->needs(grid_x);

  // tarven plot
  std::string plot_input;
  std::string plot_output;
  CurveRequest plot_curves;
  CLI::App* plot_command = app.add_subcommand("plot", "Draw curves across the results of a grid");
  plot_command
      ->add_option("results", plot_input,
                   "RESULTS.csv written by tarven grid (- for the standard input)")
      ->required()
      ->type_name("FILE");
  plot_command->add_option("--x", plot_curves.x, "Column on the x axis")
      ->required()
      ->type_name("COLUMN");
  add_curve_options(*plot_command, plot_curves);
  plot_command->add_option("--title", plot_curves.title, "Title of the chart")->type_name("TEXT");
  plot_command
      ->add_option("-o,--output", plot_output,
                   "FILE.svg, FILE.png or FILE.html (the page with the table); - for SVG on the "
                   "standard output")
      ->required()
      ->check(named_as({PictureFormat::kSvg, PictureFormat::kPng, PictureFormat::kHtml},
                       "SVG, PNG or an HTML page", true))
      ->type_name("FILE");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  // Results due on a standard output that the program was started without would go nowhere.
  const auto no_standard_output = [&](const char* command, const std::string& output) {
    if (!standard_output_closed || output != "-") return false;
    say(std::string(command) +
        ": standard output is closed: the results would be lost (give -o FILE)");
    return true;
  };
  const auto refused = [&](const char* command, const std::string& error) {
    if (error.empty()) return false;
    say(std::string(command) + ": " + error);
    return true;
  };

  if (run_command->parsed()) {
    run.questions.engine = *parse_engine(run_engine);
    if (!whole_number(run_threads, run.questions.threads)) {
      say("--threads must be a whole number >= 0");
      return kExitUsage;
    }
    if (refused("run", check_distinct({}, {{"-o", run.output},
                                           {"--distribution", run.distribution},
                                           {"--plot", run.plot},
                                           {"--html", run.html}})))
      return kExitUsage;
    if (no_standard_output("run", run.output)) return kExitOutput;
    for (std::string& field : run.scenario.fields) field = common::valid_utf8(field);
    run.scenario.id = "1";
    const auto checked = problem_of(run.scenario);
    if (auto* error = std::get_if<std::string>(&checked)) {
      say("run: " + *error);
      return kExitUsage;
    }
    return run_one(run);
  }
  if (grid_command->parsed()) {
    grid.questions.engine = *parse_engine(grid_engine);
    if (!whole_number(grid_jobs, grid.jobs)) {
      say("--jobs must be a whole number >= 0");
      return kExitUsage;
    }
    if (!whole_number(grid_threads, grid.questions.threads)) {
      say("--threads must be a whole number >= 0");
      return kExitUsage;
    }
    if (!shard.empty()) {
      int k = 0;
      int n = 0;
      const char* p = shard.data();
      const char* end = p + shard.size();
      auto [at, ec] = std::from_chars(p, end, k);
      bool good = ec == std::errc() && at < end && *at == '/';
      if (good) {
        auto [at2, ec2] = std::from_chars(at + 1, end, n);
        good = ec2 == std::errc() && at2 == end && n >= 1 && k >= 1 && k <= n;
      }
      if (!good) {
        say("grid: --shard must be K/N with 1 <= K <= N, not \"" + common::valid_utf8(shard) +
            "\"");
        return kExitUsage;
      }
      grid.shard = std::make_pair(k, n);
    }
    if (grid.resume && grid.output == "-") {
      say("grid: --resume needs the output file (-o FILE)");
      return kExitUsage;
    }
    if (!grid_html.empty() && (grid.output == "-" || grid.format != "csv")) {
      say("grid: --html needs the results as a CSV file (-o FILE)");
      return kExitUsage;
    }
    if (!grid_html.empty() && grid.no_header) {
      say("grid: --html reads the results by their header: it cannot go with --no-header");
      return kExitUsage;
    }
    if (refused("grid", check_distinct({{"scenarios file", grid.input}},
                                       {{"-o", grid.output},
                                        {"--distribution", grid.distribution},
                                        {"--html", grid_html}})))
      return kExitUsage;
    if (no_standard_output("grid", grid.output)) return kExitOutput;
    if (!grid_html.empty() && !grid_curves.x.empty()) {
      // The columns asked for are known before any scenario is evaluated.
      grid.check_header = [&grid_curves](const std::vector<std::string>& header) {
        return check_request(header, grid_curves);
      };
    }
    const int status = run_grid(grid);
    // The page follows the results, also when some scenarios are not ok.
    if (grid_html.empty() || (status != kExitOk && status != kExitSomeNotOk)) return status;
    const int drawn = run_plot(grid.output, grid_curves, grid_html);
    return drawn != kExitOk ? drawn : status;
  }
  if (plot_command->parsed()) {
    if (refused("plot", check_distinct({{"results file", plot_input}}, {{"-o", plot_output}})))
      return kExitUsage;
    if (no_standard_output("plot", plot_output)) return kExitOutput;
    return run_plot(plot_input, plot_curves, plot_output);
  }
  return kExitUsage;
}

int run_command_line(int argc, const char* const* argv, bool standard_output_closed) {
  // Nothing is meant to throw past here; should anything (memory running out), the outputs are
  // discarded as the stack unwinds and the command ends with a message, not an abort.
  try {
    return parse_and_run(argc, argv, standard_output_closed);
  } catch (const std::bad_alloc&) {
    say("not enough memory: the command stops, its output files as they were");
  } catch (const std::exception& e) {
    say(std::string("stopped: ") + e.what());
  }
  return kExitUsage;
}

}  // namespace tarven::cli
