#pragma once

// The rates researchers ask of a scenario's split distribution: expected selection rates and
// impact ratio, how often the four-fifths style rule flags the split, how often a significance
// test does, quantiles of the impact ratio, and the large-sample (population) values.
//
// Nothing here prints, throws across the interface or keeps state between calls: every function
// may run on several threads at once.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarven {

// A value, or the reason there is none. `error` is empty exactly when `value` holds one.
template <class T>
struct Outcome {
  std::optional<T> value;
  std::string error;
};

// One split of the hires with its probability.
struct Split {
  int n_minority_hired = 0;  // N2
  int n_majority_hired = 0;  // N1
  double prob = 0.0;
};

// A threshold on the impact ratio, kept as the exact decimal numerator / 10^decimals it was
// written as, so that "is the ratio below it" is decided in integers.
struct Threshold {
  std::uint64_t numerator = 0;
  int decimals = 0;
};

// Longest decimal a threshold may be written with (digits, leading zeros not counted), so that
// every comparison fits 128-bit integers with room to spare.
inline constexpr int kMaxThresholdDigits = 18;

// Reads a positive decimal: digits with an optional point and more digits ("0.8", "1", "0.75",
// "1.25"). No sign, exponent, blanks or thousands separators.
Outcome<Threshold> parse_threshold(std::string_view text);

// Column-name suffix of a threshold: the value with at least two decimals and '_' for the point
// ("0_80" for 0.8, "1_00" for 1). Further decimals are kept as written, trailing zeros beyond the
// second dropped ("0_825" for 0.825 or 0.8250), so the suffix is a function of the value alone and
// two thresholds share a suffix only when they are equal; compute_rates refuses such a pair.
std::string threshold_suffix(const Threshold& threshold);

// Column-name suffix of a quantile level: "q" and the level in percent, '_' for the point, in the
// shortest decimal form that reads back as the level ("q5" for 0.05, "q2_5" for 0.025).
std::string quantile_suffix(double level);

inline constexpr std::array<double, 7> kDefaultQuantileLevels{0.05, 0.1, 0.25, 0.5,
                                                              0.75, 0.9, 0.95};

struct RatesRequest {
  int n_majority = 0;  // >= 1
  int n_minority = 0;  // >= 1
  int n_hired = 0;     // 0 .. n_majority + n_minority
  // Feasible splits in increasing N2 with N1 + N2 = n_hired; splits left out have probability 0.
  std::span<const Split> splits;
  std::vector<std::string> thresholds;  // decimal text, see parse_threshold; all different
  double alpha = 0.05;                  // level of both significance tests, in (0, 1)
  // each in (0, 1], all different
  std::vector<double> quantile_levels{kDefaultQuantileLevels.begin(), kDefaultQuantileLevels.end()};
};

struct ThresholdRates {
  std::string text;                    // as given
  std::string suffix;                  // threshold_suffix
  double p_ai_lt = 0.0;                // P(AI defined and AI < T)
  double p_flag_two_sided = 0.0;       // P(either rate below T times the other)
  double p_flag_and_sig_fisher = 0.0;  // P(AI < T and the Fisher test significant)
  double p_flag_and_sig_z = 0.0;       // P(AI < T and the Z test significant)
};

struct AiQuantile {
  double level = 0.0;
  std::string suffix;        // quantile_suffix
  std::optional<double> ai;  // empty when the level is reached only at the split without N1
};

// Probabilities and expectations are plain sums over the given splits, not renormalised.
struct Rates {
  double sr_majority_mean = 0.0;
  double sr_minority_mean = 0.0;
  double n_minority_hired_mean = 0.0;
  // Moments of AI given that it is defined (N1 > 0); empty when that has no positive probability.
  std::optional<double> ai_mean;
  std::optional<double> ai_sd;
  double p_ai_undefined = 0.0;
  double p_sig_fisher = 0.0;               // P(two-sided Fisher exact p <= alpha)
  double p_sig_z = 0.0;                    // P(|Z| >= z_{1-alpha/2}), pooled two-proportion Z
  std::vector<ThresholdRates> thresholds;  // in the order requested
  std::vector<AiQuantile> quantiles;       // in the order requested
};

Outcome<Rates> compute_rates(const RatesRequest& request);

// AI of a split, N2 * n_majority / (N1 * n_minority) with both products exact and one rounding, so
// a ratio equal to a decimal (10 of 60 against 50 of 240 is 0.8) reads back as that decimal's
// double; the quotient of the two rounded selection rates need not (0.7999999999999999). Empty
// when N1 = 0.
std::optional<double> impact_ratio(int n_minority_hired, int n_majority_hired, int n_minority,
                                   int n_majority);

// Hypergeometric probabilities of N2 when n_hired of n_majority + n_minority applicants are hired
// at random, for N2 from max(n_hired - n_majority, 0) to min(n_hired, n_minority). Relative
// accuracy holds far into the tails, down to where the values leave the normal double range.
// Arguments must be valid (counts >= 0, n_hired <= total); otherwise the result is empty.
std::vector<double> hypergeometric_probabilities(int n_majority, int n_minority, int n_hired);

// Two-sided Fisher exact p-values of the 2x2 table (group by hired) for the same N2 range: the
// null probability of the tables no more likely than the observed one, ties within a relative
// 1e-7 included. Empty on invalid arguments.
std::vector<double> fisher_p_values(int n_majority, int n_minority, int n_hired);

// Large-sample values: the cutoff x* at which the hired share of the applicant population equals
// `hired_share`, majority_share * S_maj(x*) + (1 - majority_share) * S_min(x*) = hired_share, and
// the selection rates and impact ratio there.
struct PopulationValues {
  double cutoff = 0.0;
  double sr_majority = 0.0;
  double sr_minority = 0.0;
  double ai = 0.0;
};

// A survival function (1 - distribution function), decreasing, accurate in the upper tail.
using Survival = std::function<double(double)>;

// Both shares in (0, 1). The cutoff is found to adjacent doubles by a bracketing search; an
// error if no sign change is found within |x| <= 1e6.
Outcome<PopulationValues> population_values(double majority_share, double hired_share,
                                            const Survival& majority, const Survival& minority);

// The same for unscreened normal applicants: S_maj(x) = 1 - Phi(x - d), S_min(x) = 1 - Phi(x),
// d the majority mean minus the minority mean in standard deviations.
Outcome<PopulationValues> unscreened_population_values(double majority_share, double hired_share,
                                                       double d);

// The large-sample values of a problem, in its own pre-screened applicant population: the majority
// share and the hired share are the problem's, each group's survival function is that of its
// pre-screened predictor. An error where the hired share is not strictly between 0 and 1.
class Problem;
Outcome<PopulationValues> population_values(const Problem& problem);

}  // namespace tarven
