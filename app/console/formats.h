#pragma once

// Every line layout the program writes, as one format text each, in the notation the formatted
// writer (io/format.h) interprets. The names carry the layouts' numeric labels; two layouts share
// label 200 and are told apart by their writer (the distribution row, and the diagnostic of dist).

#include <string_view>

namespace tarven::console {

// Report: start of the run (day, month, year, hour, minute, second).
inline constexpr std::string_view kFormat3488 =
    "('Program execution starts on ',I2,'/',I2,'/',I4,' at',I3,':',I2,':',I2,/)";

// Console: group-mean check (two doubles).
inline constexpr std::string_view kFormat4320 = "('ZMI ZMA ',2F12.6)";

// Report: the banner, fourteen lines, no values.
inline constexpr std::string_view kFormat5000 =
    "(20X,'++++++++++++',/,20X,'++ TARVEN ++',/,20X,'++++++++++++',/,/,'Analytical computation of "
    "the expected value and the',/,'sampling distribution function of the adverse impact "
    "ratio',/,'for single-stage selection decisions when the applicant',/,'group is a sample from "
    "a pre-screened population.',/,/,'TARVEN developers, personnel-selection research "
    "tools',/,/,'The program uses routines from the Slatec library (see',/,"
    "'http://www.netlib.org/slatec/, here through GNU GSL, and a couple',/,"
    "'of algorithms from StatLib, http://lib.stat.cmu.edu/)')";

// Report: problem specification (four integers, four doubles).
inline constexpr std::string_view kFormat5002 =
    "(/,'PROBLEM SPECIFICATION',/,/,'Total number of applicants:',I7,/,'Number of majority group "
    "applicants:',I7,/,'Number of minority group applicants:',I7,/,'Required number of new "
    "employees:',I7,/,'Effect size predictor (composite):',F10.6,/,'Correlation "
    "predictor--applicant pre-screening practice:',F7.3,/,'Retention rate pre-screening "
    "practice:',F7.3,/,'   corresponding pre-screening cutoff value:',F7.3,/)";

// Console: notice that progress output follows.
inline constexpr std::string_view kFormat456 =
    "(/,/,'SOME OUTPUT TO SEE THE NUMBER CRUNCHING AT WORK',/)";

// Console: explanation and column heading of the pair lines.
inline constexpr std::string_view kFormat312 =
    "('Computation of the probabilities Pij as documented ','in the',/,'users guide. For each "
    "combination of ','feasible values',/,'for i (the ith order statistic of the ','majority "
    "sample)',/,'and j (the jth order statistic of the ','minority sample): the',/,'estimates of "
    "Pij:',/,/,14X,8X,'I',6X,'J',6X,'Pij')";

// Console: log-beta check (three doubles).
inline constexpr std::string_view kFormat2221 = "('LBETA BETA ',3D20.11)";

// Console: one pair line (three integers, two doubles).
inline constexpr std::string_view kFormat678 = "(10X,I6,2I7,F10.5,D20.10)";

// Console: abnormal inner integration in fun (integer, two doubles, integer).
inline constexpr std::string_view kFormat100Fun =
    "('DQAG ERROR in FUN bound  res last',I4,2D12.4,I8)";

// Console: abnormal integration in dist (double, integer, double).
inline constexpr std::string_view kFormat200Dist = "('Bound ier in dist ',D12.5,I2,D12.5)";

// Report: heading of the program output.
inline constexpr std::string_view kFormat244 = "('PROGRAM OUTPUT')";

// Report: heading of the distribution table.
inline constexpr std::string_view kFormat250 =
    "(/,'Exact Sampling Distribution Function Adverse Impact',' (AI).',/,'The value -1.000 for AI "
    "means AI is not defined',/,'N2: number selected from the minority applicant group',/,'N1: "
    "number selected from the majority applicant group',/,/,'AIvalue',4X,'Prob   CProb     N2     "
    "N1')";

// Console: negative point probability (integer, two doubles).
inline constexpr std::string_view kFormat666 = "('ERROR in MAIN NEG PROP near fmt 666',I4,2F10.6)";

// Report: one distribution row (three doubles, two integers).
inline constexpr std::string_view kFormat200Row = "(F7.3,2F8.4,2I7)";

// Report: expected values and percentiles (ten doubles).
inline constexpr std::string_view kFormat240 =
    "(/,'Exact values (i.e., values derived from the ','exact sampling',/,'distribution) for the "
    "expected selection',' rate in the majority',/,'group (SRA), the expected ','selection rate in "
    "the minority',/,'group (SRI) and the',' expected adverse impact ratio (AI)',/,'Observe that "
    "the ','expected adverse impact is computed over',/,'only the ','finite values of "
    "AI!',/,/,4X,'SRA',4X,'SRI',5X,'AI',/,3F7.3,/,/,'Percentile values sampling distrubtion AI: 5, "
    "10, 25, 50,',/,'75, 90 and 95th "
    "percentile',/,4X,'P05',4X,'P10',4X,'P25',4X,'P50',4X,'P75',4X,'P90',4X,'P95',/,8F7.3)";

// Report: processor seconds used (one double).
inline constexpr std::string_view kFormat4855 = "(/,'CPU TIME IN SECONDS ',F12.2)";

// Report: population values of SRA, SRI and AI (three doubles).
inline constexpr std::string_view kFormat3312 =
    "(/,'Population values for SRA, SRI and AI:',/,4X,'SRA',4X,'SRI',5X,'AI',/,3F7.3)";

// Console and report: the chance that a score lies outside the standard integration range is large
// enough to matter for the printed probabilities, so the range follows the groups (one double, the
// chance; two doubles, the range used).
inline constexpr std::string_view kFormatWindowMoved =
    "('NOTE: a score outside the integration range -6.5 to 6.5 has probability',D12.4,"
    "'; the range',F9.3,' to',F9.3,' is used instead.',/)";

// Console and report, after the distribution table: a pair value that the exact single-integral
// computation puts further off than the integration can explain (three integers: the pair
// counter, i, j; three doubles: the integrated and the exact value and their difference).
inline constexpr std::string_view kFormatPairCheck =
    "('CHECK: pair',I7,' (i',I8,', j',I8,') integrated',F12.8,', exact',F12.8,', difference',"
    "D12.4)";

// Console and report: the enumeration gave up on a number of minority hires (two integers: the
// number of minority hires, the narrower attempts made).
inline constexpr std::string_view kFormatAbandoned =
    "('COMPUTATION ABANDONED: no acceptable probability for',I7,' minority hires after',I3,"
    "' narrower integration attempts.')";

// Console: overwrite question of the report-file dialogue (four texts).
inline constexpr std::string_view kFormatDialogue = "(4(a))";

// Console reads of the report-file dialogue: the whole line, and its first character.
inline constexpr std::string_view kFormatA = "(a)";
inline constexpr std::string_view kFormatA1 = "(a1)";

}  // namespace tarven::console
