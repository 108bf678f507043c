#include "tarven/rates.h"

#include <algorithm>
#include <boost/math/constants/constants.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/policies/policy.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/tools/toms748_solve.hpp>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>

#include "model/math_policy.h"

namespace tarven {
namespace {

// Every argument is checked before a call, and Boost never throws.
using BoostPolicy = model::Accurate;

// Nothing throws across this interface: an allocation that fails (or a caller's survival function
// that throws) becomes the outcome's error, or an empty result.
constexpr const char* kNoMemory = "not enough memory";
template <class F>
auto guarded(F&& f, std::invoke_result_t<F> fallback) -> std::invoke_result_t<F> {
  try {
    return f();
  } catch (...) {
    return fallback;
  }
}

__extension__ using U128 = unsigned __int128;

// Neumaier's compensated sum: sums over a million splits keep the accuracy of a few terms, and the
// result is the same on every target (no wider intermediate type).
class CompensatedSum {
 public:
  void add(double x) {
    const double t = sum_ + x;
    if (std::fabs(sum_) >= std::fabs(x)) {
      carry_ += (sum_ - t) + x;
    } else {
      carry_ += (x - t) + sum_;
    }
    sum_ = t;
  }
  double value() const { return sum_ + carry_; }

 private:
  double sum_ = 0.0;
  double carry_ = 0.0;
};

struct Range {
  int lo = 0;  // fewest minority hires
  int hi = 0;  // most minority hires
};

Range support_of(int n_majority, int n_minority, int n_hired) {
  return {std::max(n_hired - n_majority, 0), std::min(n_hired, n_minority)};
}

bool valid_counts(int n_majority, int n_minority, int n_hired) {
  return n_majority >= 0 && n_minority >= 0 && n_hired >= 0 &&
         std::int64_t{n_hired} <= std::int64_t{n_majority} + n_minority;
}

// Fills d with P(N2 = lo + i) and returns the index of a mode. The values come from the ratio of
// neighbours, a quotient of integer products that are exact in double, walked outward from the
// mode and divided by their total at the end: each value carries a few roundings per step from the
// mode, and each side of the mode is exactly monotone, which the p-value search relies on. Boost's
// pdf in double is no anchor: its log-gamma route loses 1e-10 relative at two million applicants
// unless promoted to long double, whose width depends on the target.
std::size_t fill_hypergeometric(int n_majority, int n_minority, int n_hired,
                                std::vector<double>& d) {
  const Range r = support_of(n_majority, n_minority, n_hired);
  const std::int64_t total = std::int64_t{n_majority} + n_minority;
  const std::int64_t k = n_minority;
  const std::int64_t n = n_hired;
  d.assign(static_cast<std::size_t>(r.hi - r.lo + 1), 0.0);

  const std::int64_t mode = std::clamp<std::int64_t>((n + 1) * (k + 1) / (total + 2), r.lo, r.hi);
  const auto m = static_cast<std::size_t>(mode - r.lo);
  d[m] = 1.0;
  for (std::int64_t y = mode; y < r.hi; ++y) {
    const auto i = static_cast<std::size_t>(y - r.lo);
    const double up = static_cast<double>((k - y) * (n - y));
    const double down = static_cast<double>((y + 1) * (total - k - n + y + 1));
    d[i + 1] = d[i] * (up / down);
  }
  for (std::int64_t y = mode; y > r.lo; --y) {
    const auto i = static_cast<std::size_t>(y - r.lo);
    const double up = static_cast<double>(y * (total - k - n + y));
    const double down = static_cast<double>((k - y + 1) * (n - y + 1));
    d[i - 1] = d[i] * (up / down);
  }
  // Smallest terms first on each side; the total is at least 1, so nothing overflows or newly
  // underflows in the division.
  CompensatedSum total_weight;
  for (std::size_t i = 0; i < m; ++i) total_weight.add(d[i]);
  for (std::size_t i = d.size(); i-- > m;) total_weight.add(d[i]);
  const double norm = total_weight.value();
  for (double& v : d) v /= norm;
  return m;
}

// The null distribution of N2 with its tail sums, from which each p-value is two binary searches
// and two look-ups: the tables no more likely than a given one form a lower and an upper tail,
// since the distribution rises to the mode and falls after it.
class FisherTest {
 public:
  FisherTest(int n_majority, int n_minority, int n_hired)
      : lo_(support_of(n_majority, n_minority, n_hired).lo) {
    mode_ = fill_hypergeometric(n_majority, n_minority, n_hired, d_);
    const std::size_t size = d_.size();
    lower_.assign(mode_ + 2, 0.0);
    upper_.assign(size + 1, 0.0);
    // Both tails are summed from their far end, smallest terms first.
    CompensatedSum sum;
    for (std::size_t i = 0; i <= mode_; ++i) {
      sum.add(d_[i]);
      lower_[i + 1] = sum.value();
    }
    sum = CompensatedSum{};
    for (std::size_t i = size; i-- > mode_ + 1;) {
      sum.add(d_[i]);
      upper_[i] = sum.value();
    }
  }

  double p_value(int n_minority_hired) const {
    const double limit =
        d_[static_cast<std::size_t>(n_minority_hired - lo_)] * (1.0 + kTieTolerance);
    const auto mode_end = d_.begin() + static_cast<std::ptrdiff_t>(mode_ + 1);
    const auto left = std::upper_bound(d_.begin(), mode_end, limit);
    const auto right =
        std::partition_point(mode_end, d_.end(), [limit](double v) { return v > limit; });
    return lower_[static_cast<std::size_t>(left - d_.begin())] +
           upper_[static_cast<std::size_t>(right - d_.begin())];
  }

 private:
  // Tables whose probabilities differ by less than this relative amount count as equally likely,
  // so that rounding cannot drop the mirror image of the observed table from its own p-value.
  static constexpr double kTieTolerance = 1e-7;

  int lo_;
  std::size_t mode_ = 0;
  std::vector<double> d_;
  std::vector<double> lower_;  // lower_[j]: sum of d_[0 .. j-1], j <= mode_ + 1
  std::vector<double> upper_;  // upper_[j]: sum of d_[j ..], j > mode_; upper_[size] = 0
};

constexpr std::uint64_t pow10(int k) {
  std::uint64_t p = 1;
  for (int i = 0; i < k; ++i) p *= 10;
  return p;
}

// x < T for the rate ratio x = num / den, T = a / 10^k, in integers: 10^k num < a den.
bool below(const Threshold& t, U128 num, U128 den) {
  return U128{pow10(t.decimals)} * num < U128{t.numerator} * den;
}

std::string in_quotes(std::string_view text) {
  std::string out(1, '"');
  out.append(text);
  out += '"';
  return out;
}

std::optional<std::string> check_request(const RatesRequest& q) {
  if (q.n_majority < 1 || q.n_minority < 1) return "both groups need at least one applicant";
  if (!valid_counts(q.n_majority, q.n_minority, q.n_hired)) {
    return "the number hired must be between 0 and the number of applicants";
  }
  if (q.splits.empty()) return "no splits given";
  const Range r = support_of(q.n_majority, q.n_minority, q.n_hired);
  int previous = r.lo - 1;
  for (const Split& s : q.splits) {
    const std::string at = "split (" + std::to_string(s.n_minority_hired) + ", " +
                           std::to_string(s.n_majority_hired) + ")";
    if (s.n_minority_hired < r.lo || s.n_minority_hired > r.hi ||
        std::int64_t{s.n_minority_hired} + s.n_majority_hired != q.n_hired) {
      return at + " is not a feasible split of " + std::to_string(q.n_hired) + " hires";
    }
    if (s.n_minority_hired <= previous) return at + " is out of increasing order";
    if (!std::isfinite(s.prob)) return at + " has no finite probability";
    previous = s.n_minority_hired;
  }
  if (!(q.alpha > 0.0 && q.alpha < 1.0)) return "alpha must lie strictly between 0 and 1";
  for (const double level : q.quantile_levels) {
    if (!(level > 0.0 && level <= 1.0)) return "quantile levels must lie in (0, 1]";
  }
  for (std::size_t i = 0; i < q.quantile_levels.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (q.quantile_levels[i] == q.quantile_levels[j]) {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, q.quantile_levels[i]).ptr;
        return "quantile level " + std::string(text, end) + " is given twice";
      }
    }
  }
  return std::nullopt;
}

}  // namespace

static Outcome<Threshold> parse_threshold_unguarded(std::string_view text) {
  const auto refuse = [text](std::string why) {
    return Outcome<Threshold>{std::nullopt,
                              "threshold " + in_quotes(text) + ": " + why +
                                  "; write a positive decimal number such as 0.8, 1 or 0.75 "
                                  "(digits, optionally a point and more digits)"};
  };
  const std::size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
  const auto all_digits = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (whole.empty() || !all_digits(whole) || !all_digits(fraction) ||
      (point != std::string_view::npos && fraction.empty())) {
    return refuse("not a decimal number");
  }
  // Zeros that do not change the value do not count against the digit limit.
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
  std::string digits = std::string(whole == "0" ? "" : whole) + std::string(fraction);
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  if (digits.empty()) return refuse("must be greater than 0");
  if (digits.size() > kMaxThresholdDigits || fraction.size() > kMaxThresholdDigits) {
    return refuse("more than " + std::to_string(kMaxThresholdDigits) + " significant digits");
  }
  Threshold t;
  std::from_chars(digits.data(), digits.data() + digits.size(), t.numerator);
  t.decimals = static_cast<int>(fraction.size());
  return {t, {}};
}

static std::string threshold_suffix_unguarded(const Threshold& threshold) {
  const auto k = static_cast<std::size_t>(threshold.decimals);
  std::string digits = std::to_string(threshold.numerator);
  if (digits.size() < k + 1) digits.insert(0, k + 1 - digits.size(), '0');
  std::string whole = digits.substr(0, digits.size() - k);
  std::string fraction = digits.substr(digits.size() - k);
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
  while (fraction.size() > 2 && fraction.back() == '0') fraction.pop_back();
  fraction.resize(std::max<std::size_t>(fraction.size(), 2), '0');
  return whole + "_" + fraction;
}

static std::string quantile_suffix_unguarded(double level) {
  // The shortest fixed-point text that reads back as the level, moved two places to the left in
  // text, so that 0.07 gives "7" where 0.07 * 100 would give 7.000000000000001.
  char buffer[400];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, level, std::chars_format::fixed);
  std::string text(buffer, ec == std::errc{} ? end : buffer);
  const std::size_t point = text.find('.');
  std::string whole = text.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  fraction.resize(std::max<std::size_t>(fraction.size(), 2), '0');
  whole += fraction.substr(0, 2);
  fraction.erase(0, 2);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
  return "q" + whole + (fraction.empty() ? "" : "_" + fraction);
}

static std::vector<double> hypergeometric_unguarded(int n_majority, int n_minority, int n_hired) {
  std::vector<double> d;
  if (valid_counts(n_majority, n_minority, n_hired)) {
    fill_hypergeometric(n_majority, n_minority, n_hired, d);
  }
  return d;
}

static std::vector<double> fisher_p_values_unguarded(int n_majority, int n_minority, int n_hired) {
  std::vector<double> p;
  if (!valid_counts(n_majority, n_minority, n_hired)) return p;
  const FisherTest test(n_majority, n_minority, n_hired);
  const Range r = support_of(n_majority, n_minority, n_hired);
  p.reserve(static_cast<std::size_t>(r.hi - r.lo + 1));
  for (int y = r.lo; y <= r.hi; ++y) p.push_back(test.p_value(y));
  return p;
}

static Outcome<Rates> compute_rates_unguarded(const RatesRequest& request) {
  if (auto error = check_request(request)) return {std::nullopt, std::move(*error)};

  Rates rates;
  std::vector<Threshold> thresholds;
  thresholds.reserve(request.thresholds.size());
  for (const std::string& text : request.thresholds) {
    Outcome<Threshold> parsed = parse_threshold(text);
    if (!parsed.value) return {std::nullopt, std::move(parsed.error)};
    ThresholdRates& out = rates.thresholds.emplace_back();
    out.text = text;
    out.suffix = threshold_suffix(*parsed.value);
    for (std::size_t j = 0; j + 1 < rates.thresholds.size(); ++j) {
      if (rates.thresholds[j].suffix == out.suffix) {
        return {std::nullopt, "thresholds " + in_quotes(rates.thresholds[j].text) + " and " +
                                  in_quotes(text) + " are the same value; give each once"};
      }
    }
    thresholds.push_back(*parsed.value);
  }

  const std::span<const Split> splits = request.splits;
  const std::int64_t n_majority = request.n_majority;
  const std::int64_t n_minority = request.n_minority;
  const auto n_total = static_cast<double>(n_majority + n_minority);

  // Per split: whether each test rejects at alpha.
  const FisherTest fisher(request.n_majority, request.n_minority, request.n_hired);
  const double z_critical = boost::math::quantile(boost::math::complement(
      boost::math::normal_distribution<double, BoostPolicy>(), request.alpha / 2.0));
  const double pooled = request.n_hired / n_total;
  const double z_scale =
      std::sqrt(pooled * (1.0 - pooled) *
                (1.0 / static_cast<double>(n_minority) + 1.0 / static_cast<double>(n_majority)));
  std::vector<unsigned char> sig_fisher(splits.size());
  std::vector<unsigned char> sig_z(splits.size());

  CompensatedSum sr_majority, sr_minority, n2_mean, p_defined, ai_weighted, p_fisher, p_z;
  for (std::size_t i = 0; i < splits.size(); ++i) {
    const Split& s = splits[i];
    const double rate_minority = s.n_minority_hired / static_cast<double>(n_minority);
    const double rate_majority = s.n_majority_hired / static_cast<double>(n_majority);
    sr_majority.add(s.prob * rate_majority);
    sr_minority.add(s.prob * rate_minority);
    n2_mean.add(s.prob * s.n_minority_hired);
    if (s.n_majority_hired > 0) {
      p_defined.add(s.prob);
      ai_weighted.add(s.prob * *impact_ratio(s.n_minority_hired, s.n_majority_hired,
                                             request.n_minority, request.n_majority));
    } else {
      rates.p_ai_undefined = s.prob;
    }
    sig_fisher[i] = fisher.p_value(s.n_minority_hired) <= request.alpha;
    sig_z[i] = z_scale > 0.0 && std::fabs(rate_minority - rate_majority) / z_scale >= z_critical;
    if (sig_fisher[i]) p_fisher.add(s.prob);
    if (sig_z[i]) p_z.add(s.prob);
  }
  rates.sr_majority_mean = sr_majority.value();
  rates.sr_minority_mean = sr_minority.value();
  rates.n_minority_hired_mean = n2_mean.value();
  rates.p_sig_fisher = p_fisher.value();
  rates.p_sig_z = p_z.value();

  // The spread about the mean in a second pass, which cannot cancel as E[AI^2] - E[AI]^2 would.
  const double p_ai_defined = p_defined.value();
  if (p_ai_defined > 0.0) {
    const double mean = ai_weighted.value() / p_ai_defined;
    CompensatedSum spread;
    for (const Split& s : splits) {
      if (s.n_majority_hired == 0) continue;
      const double deviation = *impact_ratio(s.n_minority_hired, s.n_majority_hired,
                                             request.n_minority, request.n_majority) -
                               mean;
      spread.add(s.prob * deviation * deviation);
    }
    rates.ai_mean = mean;
    // Probabilities from integration may carry tiny negative noise; a variance is not negative.
    rates.ai_sd = std::sqrt(std::max(spread.value() / p_ai_defined, 0.0));
  }

  for (std::size_t t = 0; t < thresholds.size(); ++t) {
    CompensatedSum lt, two_sided, lt_fisher, lt_z;
    for (std::size_t i = 0; i < splits.size(); ++i) {
      const Split& s = splits[i];
      // The selection rates as integers over the common denominator n_minority * n_majority.
      const U128 minority_rate = U128(static_cast<std::uint64_t>(s.n_minority_hired)) *
                                 static_cast<std::uint64_t>(n_majority);
      const U128 majority_rate = U128(static_cast<std::uint64_t>(s.n_majority_hired)) *
                                 static_cast<std::uint64_t>(n_minority);
      const bool minority_below = below(thresholds[t], minority_rate, majority_rate);
      const bool majority_below = below(thresholds[t], majority_rate, minority_rate);
      const bool ai_below = s.n_majority_hired > 0 && minority_below;
      if (ai_below) lt.add(s.prob);
      if (minority_below || majority_below) two_sided.add(s.prob);
      if (ai_below && sig_fisher[i]) lt_fisher.add(s.prob);
      if (ai_below && sig_z[i]) lt_z.add(s.prob);
    }
    ThresholdRates& out = rates.thresholds[t];
    out.p_ai_lt = lt.value();
    out.p_flag_two_sided = two_sided.value();
    out.p_flag_and_sig_fisher = lt_fisher.value();
    out.p_flag_and_sig_z = lt_z.value();
  }

  // Splits come in increasing AI with the undefined one (N1 = 0) last. Should rounding leave a
  // level unreached, the top of the support (the last split with probability) answers it.
  std::size_t top = splits.size() - 1;
  while (top > 0 && !(splits[top].prob > 0.0)) --top;
  for (const double level : request.quantile_levels) {
    CompensatedSum cumulative;
    std::size_t i = 0;
    for (; i < splits.size(); ++i) {
      cumulative.add(splits[i].prob);
      if (cumulative.value() >= level) break;
    }
    if (i == splits.size()) i = top;
    AiQuantile& q = rates.quantiles.emplace_back();
    q.level = level;
    q.suffix = quantile_suffix(level);
    const Split& s = splits[i];
    q.ai = impact_ratio(s.n_minority_hired, s.n_majority_hired, request.n_minority,
                        request.n_majority);
  }
  return {std::move(rates), {}};
}

std::optional<double> impact_ratio(int n_minority_hired, int n_majority_hired, int n_minority,
                                   int n_majority) {
  if (n_majority_hired <= 0) return std::nullopt;
  return static_cast<double>(std::int64_t{n_minority_hired} * n_majority) /
         static_cast<double>(std::int64_t{n_majority_hired} * n_minority);
}

static Outcome<PopulationValues> population_values_unguarded(double majority_share,
                                                             double hired_share,
                                                             const Survival& majority,
                                                             const Survival& minority) {
  using Result = Outcome<PopulationValues>;
  if (!(majority_share > 0.0 && majority_share < 1.0)) {
    return Result{std::nullopt, "the majority share must lie strictly between 0 and 1"};
  }
  if (!(hired_share > 0.0 && hired_share < 1.0)) {
    return Result{std::nullopt, "the hired share must lie strictly between 0 and 1"};
  }
  if (!majority || !minority) return Result{std::nullopt, "a survival function is missing"};

  const auto excess = [&](double x) {
    return majority_share * majority(x) + (1.0 - majority_share) * minority(x) - hired_share;
  };
  // The excess falls from 1 - s to -s; widen [-1, 1] by doubling until it changes sign.
  constexpr double kLimit = 1e6;
  double lo = -1.0;
  double hi = 1.0;
  double f_lo = excess(lo);
  double f_hi = excess(hi);
  while (f_hi > 0.0 && hi < kLimit) {
    lo = hi;
    f_lo = f_hi;
    hi *= 2.0;
    f_hi = excess(hi);
  }
  while (f_lo < 0.0 && lo > -kLimit) {
    hi = lo;
    f_hi = f_lo;
    lo *= 2.0;
    f_lo = excess(lo);
  }
  double cutoff = 0.0;
  if (f_lo == 0.0) {
    cutoff = lo;
  } else if (f_hi == 0.0) {
    cutoff = hi;
  } else if (f_lo > 0.0 && f_hi < 0.0) {
    // Narrow to two adjacent doubles (Boost's own tolerances stop at four units in the last
    // place), then keep the end where the equation holds more closely.
    const auto adjacent = [](double a, double b) { return std::nextafter(a, b) == b; };
    std::uintmax_t max_iter = 200;
    const auto [a, b] = boost::math::tools::toms748_solve(excess, lo, hi, f_lo, f_hi, adjacent,
                                                          max_iter, BoostPolicy());
    cutoff = std::fabs(excess(a)) <= std::fabs(excess(b)) ? a : b;
  } else {
    return Result{std::nullopt,
                  "the hired share is not reached for any cutoff with |x| <= 1e6 (are the "
                  "survival functions decreasing from 1 to 0?)"};
  }
  PopulationValues v;
  v.cutoff = cutoff;
  v.sr_majority = majority(cutoff);
  v.sr_minority = minority(cutoff);
  if (!(v.sr_majority > 0.0)) {
    return Result{std::nullopt,
                  "the majority selection rate at the cutoff is 0, so AI has no value"};
  }
  v.ai = v.sr_minority / v.sr_majority;
  return {v, {}};
}

static Outcome<PopulationValues> unscreened_unguarded(double majority_share, double hired_share,
                                                      double d) {
  if (!std::isfinite(d)) return {std::nullopt, "the mean difference d must be finite"};
  // 1 - Phi(z) = erfc(z / sqrt 2) / 2 keeps its relative precision in the upper tail, where a
  // small hired share puts the cutoff.
  const auto survival = [](double z) {
    return 0.5 * boost::math::erfc(z / boost::math::constants::root_two<double>(), BoostPolicy());
  };
  return population_values(
      majority_share, hired_share, [&](double x) { return survival(x - d); }, survival);
}

Outcome<Threshold> parse_threshold(std::string_view text) {
  return guarded([&] { return parse_threshold_unguarded(text); },
                 Outcome<Threshold>{std::nullopt, kNoMemory});
}

std::string threshold_suffix(const Threshold& threshold) {
  return guarded([&] { return threshold_suffix_unguarded(threshold); }, std::string());
}

std::string quantile_suffix(double level) {
  return guarded([&] { return quantile_suffix_unguarded(level); }, std::string());
}

std::vector<double> hypergeometric_probabilities(int n_majority, int n_minority, int n_hired) {
  return guarded([&] { return hypergeometric_unguarded(n_majority, n_minority, n_hired); },
                 std::vector<double>());
}

std::vector<double> fisher_p_values(int n_majority, int n_minority, int n_hired) {
  return guarded([&] { return fisher_p_values_unguarded(n_majority, n_minority, n_hired); },
                 std::vector<double>());
}

Outcome<Rates> compute_rates(const RatesRequest& request) {
  return guarded([&] { return compute_rates_unguarded(request); },
                 Outcome<Rates>{std::nullopt, kNoMemory});
}

Outcome<PopulationValues> population_values(double majority_share, double hired_share,
                                            const Survival& majority, const Survival& minority) {
  return guarded(
      [&] { return population_values_unguarded(majority_share, hired_share, majority, minority); },
      Outcome<PopulationValues>{std::nullopt, "not enough memory, or a survival function failed"});
}

Outcome<PopulationValues> unscreened_population_values(double majority_share, double hired_share,
                                                       double d) {
  return guarded([&] { return unscreened_unguarded(majority_share, hired_share, d); },
                 Outcome<PopulationValues>{std::nullopt, kNoMemory});
}

}  // namespace tarven
