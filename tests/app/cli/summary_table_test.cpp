// The command line's columns are the library's summary columns between its own id, pass-through,
// processor-time and version columns, named as the README documents them.

#include "cli/summary_table.h"

#include <gtest/gtest.h>

#include "cli/csv.h"

namespace tarven::cli {
namespace {

std::vector<std::string> names_of(const std::vector<SummaryField>& fields) {
  std::vector<std::string> names;
  for (const SummaryField& f : fields) names.push_back(f.name);
  return names;
}

TEST(SummaryTable, TheGridsColumnsAreTheLibrarysSummaryFieldsInOrder) {
  struct Case {
    std::vector<std::string> thresholds;
    std::vector<double> levels;
    std::vector<std::string> named;  // the threshold and quantile columns, as the README names them
  };
  const std::vector<Case> cases = {
      {{"0.8"},
       {0.5},
       {"p_ai_lt_0_80", "p_flag_two_sided_0_80", "p_flag_and_sig_fisher_0_80",
        "p_flag_and_sig_z_0_80", "ai_q50"}},
      {{"0.825", "1"},
       {0.025, 0.9},
       {"p_ai_lt_0_825", "p_flag_two_sided_0_825", "p_flag_and_sig_fisher_0_825",
        "p_flag_and_sig_z_0_825", "p_ai_lt_1_00", "p_flag_two_sided_1_00",
        "p_flag_and_sig_fisher_1_00", "p_flag_and_sig_z_1_00", "ai_q2_5", "ai_q90"}},
      {{}, {}, {}},
  };
  const std::vector<std::string> before = {
      "n_total", "n_majority", "n_minority",       "n_hired",          "d",
      "rho",     "retention",  "cutoff_z",         "engine",           "alpha",
      "status",  "error",      "sr_majority_mean", "sr_minority_mean", "n_minority_hired_mean",
      "ai_mean", "ai_sd",      "p_ai_undefined",   "p_sig_fisher",     "p_sig_z"};
  const std::vector<std::string> after = {"ai_population", "sr_majority_population",
                                          "sr_minority_population", "ai_population_unscreened"};
  const Problem p = std::get<Problem>(Problem::make(40, 30, 12, 0.5, 0.3, 0.6));
  for (const Case& c : cases) {
    CommandQuestions q;
    q.thresholds = c.thresholds;
    q.quantile_levels = c.levels;
    std::vector<std::string> expected = before;
    expected.insert(expected.end(), c.named.begin(), c.named.end());
    expected.insert(expected.end(), after.begin(), after.end());
    const Analysis a = analyse(p, q);
    ASSERT_EQ(a.status, AnalysisStatus::kOk);
    const std::vector<SummaryField> fields = summary_fields(p, q, a);
    EXPECT_EQ(names_of(fields), expected);
    EXPECT_EQ(names_of(refused_summary_fields(q, Engine::kSingle, "why")), expected);

    // The CSV header and row are those fields with the command line's own columns around them.
    const SummaryLayout layout = std::get<SummaryLayout>(summary_layout({"cond"}, q));
    std::vector<std::string> header = {"scenario_id", "cond"};
    header.insert(header.end(), expected.begin(), expected.end());
    header.insert(header.end(), {"cpu_seconds", "tarven_version"});
    EXPECT_EQ(summary_header(layout), header);
    ScenarioInput input{"s1", {"x"}, {}, std::nullopt};
    for (const auto& [name, value] : {std::pair{"n_total", "40"},
                                      {"n_majority", "30"},
                                      {"n_hired", "12"},
                                      {"d", "0.5"},
                                      {"rho", "0.3"},
                                      {"retention", "0.6"}})
      input.field(name) = value;
    const std::vector<std::string> row =
        summary_row(layout, input, evaluate_scenario(input, q, nullptr));
    ASSERT_EQ(row.size(), header.size());
    for (std::size_t f = 0; f < fields.size(); ++f) {
      SCOPED_TRACE(fields[f].name);
      const std::string& cell = row[f + 2];
      if (const auto* count = std::get_if<std::int64_t>(&fields[f].value)) {
        EXPECT_EQ(cell, std::to_string(*count));  // never 1e+06
      } else if (const auto* number = std::get_if<double>(&fields[f].value)) {
        EXPECT_EQ(std::stod(cell), *number);
      } else if (fields[f].missing()) {
        EXPECT_EQ(cell, "NA");
      }
    }
  }
}

}  // namespace
}  // namespace tarven::cli
