// What a scenario file's header is told when it is not what the grid needs: the slips people make
// writing CSV from R or a spreadsheet, each with the hint that fixes it.

#include "cli/column_names.h"

#include <gtest/gtest.h>

#include "cli/csv.h"
#include "cli/scenario.h"

namespace tarven::cli {
namespace {

// The grid's own reading of a header line.
std::string refusal(const std::string& header_line) {
  const CsvResult<CsvTable> table = read_csv(header_line + "\n", BadRecords::kKeep);
  if (table.error) return table.error->message;
  const auto read = scenario_columns(table.value.header);
  const std::string* error = std::get_if<std::string>(&read);
  return error != nullptr ? *error : std::string();
}

struct Slip {
  const char* header;
  std::vector<const char*> expected;  // every one must stand in the message
};

TEST(ColumnNames, EverySlipIsNamedWithItsFix) {
  const Slip slips[] = {
      // A blank after the comma, as a hand-written file has.
      {"n_total, n_majority,n_hired,d,rho,retention",
       {"no column n_majority (or n_minority or minority_share)",
        "did you mean \" n_majority\" for n_majority (with blanks around it)?"}},
      {"n_total,n_majoirty,n_hired,d,rho,retention",
       {"\"n_majoirty\" for n_majority (two characters swapped)"}},
      {"N_total,n_majority,n_hired,d,Rho,retention",
       {"no columns n_total and rho;", "\"N_total\" for n_total (in another case)",
        "\"Rho\" for rho (in another case)"}},
      // R's check.names turns blanks into points.
      {"n.total,n_majority,n.hired,d,rho,retention",
       {"no columns n_total and n_hired (or selection_ratio)",
        "\"n.total\" for n_total (with '.' for '_')"}},
      {"N.Total,n_majority,n_hired,d,rho,retnetion",
       {"\"N.Total\" for n_total (with '.' for '_' and in another case)",
        "\"retnetion\" for retention (two characters swapped)"}},
      {"n_total,n_majority,n_hird,d,rho,retention", {"\"n_hird\" for n_hired (one character off)"}},
      {"n_total,minority_shares,n_hired,d,rho,retention",
       {"\"minority_shares\" for minority_share (one character off)"}},
      // Every missing column at once, and what the header does have.
      {"id,n_total,n_hired,rho",
       {"no columns n_majority (or n_minority or minority_share), d and retention",
        "the header has \"id\", \"n_total\", \"n_hired\", \"rho\""}},
      {"n_total;n_majority;n_hired;d;rho;retention",
       {"separated by semicolons (;)", "write.csv rather than write.csv2"}},
      {"n_total\tn_majority\tn_hired\td\trho\tretention", {"separated by tabs"}},
      {"\"\",n_total,n_majority,n_hired,d,rho,retention",
       {"column 1 of 7 has no name", "write.csv(x, file, row.names = FALSE)"}},
      {"n_total,n_majority,n_hired,d,rho,retention,",
       {"column 7 of 7 has no name", "a comma at the end of the header"}},
  };
  for (const Slip& slip : slips) {
    const std::string message = refusal(slip.header);
    for (const char* part : slip.expected)
      EXPECT_NE(message.find(part), std::string::npos) << slip.header << "\n" << message;
  }
  // A short name is not mistaken for another one letter away ("d" is no near miss of "id").
  EXPECT_EQ(refusal("id,n_total,n_majority,n_hired,rho,retention").find("did you mean"),
            std::string::npos);
  // Any one of the ways of giving a size will do.
  EXPECT_EQ(refusal("n_total,minority_share,selection_ratio,d,rho,retention"), "");
  EXPECT_EQ(refusal("n_total,n_minority,n_hired,d,rho,retention"), "");
}

}  // namespace
}  // namespace tarven::cli
