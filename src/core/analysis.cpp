#include "tarven/analysis.h"

#include <charconv>
#include <exception>
#include <new>
#include <string_view>

#include "core/seams.h"
#include "core/settle.h"
#include "tarven/evaluate.h"

namespace tarven {
namespace {

constexpr const char* kNoMemory = "not enough memory for a problem of this size";

std::string number_text(double v) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

// "0.80" for a threshold written as 80, as a percentage would be meant: the decimal point moved
// two places, written the way threshold_suffix writes it.
std::string as_share(const Threshold& t) {
  std::string text = threshold_suffix(Threshold{t.numerator, t.decimals + 2});
  for (char& c : text)
    if (c == '_') c = '.';
  return text;
}

std::optional<std::string> check_threshold(const std::string& text) {
  const Outcome<Threshold> parsed = parse_threshold(text);
  if (!parsed.value) return parsed.error;
  const Threshold& t = *parsed.value;
  // Above 1 when the integer part, numerator / 10^decimals, exceeds 1 or equals it with a fraction.
  std::uint64_t scale = 1;
  for (int d = 0; d < t.decimals; ++d) scale *= 10;
  const bool above_one = t.numerator > scale;
  if (t.numerator == 0 || above_one) {
    std::string message = "threshold " + text + ": must lie above 0 and at most 1";
    if (above_one && t.numerator <= 100 * scale)
      message += " (a percentage? " + text + " % is " + as_share(t) + ")";
    return message;
  }
  return std::nullopt;
}

// Forwards every event, counting the rates as one more step after the pairs.
class StepCounter final : public Observer {
 public:
  explicit StepCounter(Observer& to) : to_(to) {}
  void group_means(const GroupMeans& integrated, const GroupMeans& closed_form) override {
    to_.group_means(integrated, closed_form);
  }
  void window(double probability, const IntegrationWindow& used) override {
    to_.window(probability, used);
  }
  void pairs_started(int npair) override { to_.pairs_started(npair); }
  void pair(const PairResult& pair) override { to_.pair(pair); }
  void diagnostic(const Diagnostic& diagnostic) override { to_.diagnostic(diagnostic); }
  void progress(std::int64_t done, std::int64_t total) override {
    total_ = total + 1;
    to_.progress(done, total_);
  }
  void finished() { to_.progress(total_, total_); }

 private:
  Observer& to_;
  std::int64_t total_ = 1;
};

// The status of an evaluation, and why it is not ok.
void judge(const Result& r, Analysis& a) {
  switch (r.status) {
    case Status::kOk:
      a.status = AnalysisStatus::kOk;
      break;
    case Status::kAbandoned:
      a.status = AnalysisStatus::kAbandoned;
      a.message = "no acceptable probability for " + std::to_string(r.abandonment.minority_hires) +
                  " minority hires after " + std::to_string(r.abandonment.attempts) +
                  " narrower integration attempts";
      return;
    case Status::kNumericalStop:
      a.status = AnalysisStatus::kNumericalError;
      a.message = r.stop.routine + ": " + r.stop.message + ", error number " +
                  std::to_string(r.stop.error_number);
      return;
    case Status::kOutOfMemory:
      a.status = AnalysisStatus::kOutOfMemory;
      a.message = kNoMemory;
      return;
    case Status::kCancelled:
      a.status = AnalysisStatus::kCancelled;
      a.message = "interrupted";
      return;
    case Status::kUnavailable:
      a.status = AnalysisStatus::kInvalidQuestions;
      a.message = std::string("engine ") + engine_name(r.engine) +
                  ": not in this build of the library (available: single)";
      return;
  }
  for (const PairResult& pair : r.pairs) {
    if (!pair.converged) {
      // The value is there, but not to the accuracy the engine promises: not ok.
      a.status = AnalysisStatus::kNumericalError;
      a.message = "the integral of pair " + std::to_string(pair.k) +
                  " did not reach its tolerance (error estimate " +
                  std::to_string(pair.error_estimate) + ")";
      return;
    }
  }
}

void compute_rates_of(const Problem& p, const Questions& q, Analysis& a) {
  if (core::seams().fail_allocation) throw std::bad_alloc();
  std::vector<Split> splits;
  splits.reserve(a.result.distribution.size());
  for (const DistributionRow& row : a.result.distribution)
    splits.push_back(Split{row.n_minority_hired, row.n_majority_hired, row.prob});
  RatesRequest request;
  request.n_majority = p.n_majority();
  request.n_minority = p.n_minority();
  request.n_hired = p.n_hired();
  request.splits = splits;
  request.thresholds = q.thresholds;
  request.alpha = q.alpha;
  request.quantile_levels = q.quantile_levels;
  Outcome<Rates> rates = compute_rates(request);
  if (rates.value) {
    a.rates = std::move(*rates.value);
  } else {
    a.status = AnalysisStatus::kNumericalError;
    a.message = rates.error;
  }
}

void analyse_into(const Problem& p, const Questions& q, const Options& options, Observer* observer,
                  Analysis& a) {
  a.result.engine = options.engine;
  if (std::optional<std::string> refused = check_questions(q)) {
    a.status = AnalysisStatus::kInvalidQuestions;
    a.message = std::move(*refused);
    return;
  }
  std::optional<StepCounter> counter;
  if (observer != nullptr) counter.emplace(*observer);
  a.result = evaluate(p, options, counter ? &*counter : nullptr);
  judge(a.result, a);
  if (a.status == AnalysisStatus::kOk && a.result.engine == Engine::kNested &&
      !core::settle_nested_splits(a.result)) {
    a.status = AnalysisStatus::kNumericalError;
    a.message = "a split probability fell below zero by more than the nested engine accepts";
  }
  if (a.status == AnalysisStatus::kOk) compute_rates_of(p, q, a);

  // The large-sample values need no evaluation: a scenario that failed still has them.
  a.population = population_values(p).value;
  const double n = p.n_total();
  a.population_unscreened =
      unscreened_population_values(p.n_majority() / n, p.n_hired() / n, p.d()).value;
  if (counter && a.status != AnalysisStatus::kCancelled) counter->finished();
}

// Every summary column; values where `analysis` has them.
std::vector<SummaryField> fields_of(const Questions& q, const Problem* problem,
                                    const Analysis* analysis, Engine engine,
                                    std::string_view status, const std::string& error) {
  std::vector<SummaryField> f;
  f.reserve(24 + 4 * q.thresholds.size() + q.quantile_levels.size());
  auto count = [&](const char* name, std::optional<std::int64_t> v) {
    SummaryField s{name, FieldKind::kCount, {}};
    if (v) s.value = *v;
    f.push_back(std::move(s));
  };
  auto number = [&](std::string name, std::optional<double> v) {
    SummaryField s{std::move(name), FieldKind::kNumber, {}};
    if (v) s.value = *v;
    f.push_back(std::move(s));
  };
  auto text = [&](const char* name, std::optional<std::string> v) {
    SummaryField s{name, FieldKind::kText, {}};
    if (v) s.value = std::move(*v);
    f.push_back(std::move(s));
  };
  auto given = [&](auto value) -> std::optional<decltype(value)> {
    if (problem == nullptr) return std::nullopt;
    return value;
  };
  count("n_total", given(std::int64_t{problem ? problem->n_total() : 0}));
  count("n_majority", given(std::int64_t{problem ? problem->n_majority() : 0}));
  count("n_minority", given(std::int64_t{problem ? problem->n_minority() : 0}));
  count("n_hired", given(std::int64_t{problem ? problem->n_hired() : 0}));
  number("d", given(problem ? problem->d() : 0.0));
  number("rho", given(problem ? problem->rho() : 0.0));
  number("retention", given(problem ? problem->retention() : 0.0));
  number("cutoff_z", given(problem ? problem->cutoff() : 0.0));
  text("engine", std::string(engine_name(engine)));
  number("alpha", q.alpha);
  text("status", std::string(status));
  text("error", error.empty() ? std::nullopt : std::optional<std::string>(error));
  if (analysis != nullptr && analysis->status == AnalysisStatus::kInvalidQuestions) return f;

  const bool ok = analysis != nullptr && analysis->status == AnalysisStatus::kOk;
  const Rates* r = ok ? &analysis->rates : nullptr;
  auto rate = [&](double Rates::*field) -> std::optional<double> {
    if (r == nullptr) return std::nullopt;
    return r->*field;
  };
  auto maybe = [&](std::optional<double> Rates::*field) -> std::optional<double> {
    if (r == nullptr) return std::nullopt;
    return r->*field;
  };
  number("sr_majority_mean", rate(&Rates::sr_majority_mean));
  number("sr_minority_mean", rate(&Rates::sr_minority_mean));
  number("n_minority_hired_mean", rate(&Rates::n_minority_hired_mean));
  number("ai_mean", maybe(&Rates::ai_mean));
  number("ai_sd", maybe(&Rates::ai_sd));
  number("p_ai_undefined", rate(&Rates::p_ai_undefined));
  number("p_sig_fisher", rate(&Rates::p_sig_fisher));
  number("p_sig_z", rate(&Rates::p_sig_z));
  for (std::size_t t = 0; t < q.thresholds.size(); ++t) {
    const Outcome<Threshold> parsed = parse_threshold(q.thresholds[t]);
    const std::string s = parsed.value ? threshold_suffix(*parsed.value) : q.thresholds[t];
    const ThresholdRates* tr =
        r != nullptr && t < r->thresholds.size() ? &r->thresholds[t] : nullptr;
    auto at = [&](double ThresholdRates::*field) -> std::optional<double> {
      if (tr == nullptr) return std::nullopt;
      return tr->*field;
    };
    number("p_ai_lt_" + s, at(&ThresholdRates::p_ai_lt));
    number("p_flag_two_sided_" + s, at(&ThresholdRates::p_flag_two_sided));
    number("p_flag_and_sig_fisher_" + s, at(&ThresholdRates::p_flag_and_sig_fisher));
    number("p_flag_and_sig_z_" + s, at(&ThresholdRates::p_flag_and_sig_z));
  }
  for (std::size_t l = 0; l < q.quantile_levels.size(); ++l) {
    std::optional<double> ai;
    if (r != nullptr && l < r->quantiles.size()) ai = r->quantiles[l].ai;
    number("ai_" + quantile_suffix(q.quantile_levels[l]), ai);
  }
  auto population = [](const Analysis* a, bool screened,
                       double PopulationValues::*field) -> std::optional<double> {
    if (a == nullptr) return std::nullopt;
    const std::optional<PopulationValues>& p = screened ? a->population : a->population_unscreened;
    if (!p) return std::nullopt;
    return (*p).*field;
  };
  number("ai_population", population(analysis, true, &PopulationValues::ai));
  number("sr_majority_population", population(analysis, true, &PopulationValues::sr_majority));
  number("sr_minority_population", population(analysis, true, &PopulationValues::sr_minority));
  number("ai_population_unscreened", population(analysis, false, &PopulationValues::ai));
  return f;
}

}  // namespace

std::optional<std::string> check_questions(const Questions& q) {
  std::vector<std::string> suffixes;
  for (const std::string& t : q.thresholds) {
    if (std::optional<std::string> refused = check_threshold(t)) return refused;
    const std::string suffix = threshold_suffix(*parse_threshold(t).value);
    for (const std::string& earlier : suffixes)
      if (earlier == suffix) return "threshold " + t + ": given twice";
    suffixes.push_back(suffix);
  }
  if (!(q.alpha > 0.0 && q.alpha < 1.0))
    return "alpha = " + number_text(q.alpha) + ": must lie strictly between 0 and 1";
  suffixes.clear();
  for (const double level : q.quantile_levels) {
    if (!(level > 0.0 && level <= 1.0))
      return "quantile level " + number_text(level) + ": must lie above 0 and at most 1";
    const std::string suffix = quantile_suffix(level);
    for (const std::string& earlier : suffixes)
      if (earlier == suffix) return "quantile level " + number_text(level) + ": given twice";
    suffixes.push_back(suffix);
  }
  return std::nullopt;
}

const char* status_name(AnalysisStatus status) {
  switch (status) {
    case AnalysisStatus::kOk:
      return "ok";
    case AnalysisStatus::kInvalidQuestions:
      return "invalid";
    case AnalysisStatus::kNumericalError:
      return "numerical_error";
    case AnalysisStatus::kAbandoned:
      return "abandoned";
    case AnalysisStatus::kOutOfMemory:
      return "out_of_memory";
    case AnalysisStatus::kCancelled:
      return "interrupted";
  }
  return "";
}

Analysis analyse(const Problem& problem, const Questions& questions, const Options& options,
                 Observer* observer) {
  Analysis a;
  try {
    analyse_into(problem, questions, options, observer, a);
  } catch (const std::bad_alloc&) {
    a.status = AnalysisStatus::kOutOfMemory;
    a.message = kNoMemory;
    a.rates = Rates{};
  } catch (const std::exception& e) {
    // Nothing inside is meant to throw anything else; should it, the caller still gets a status.
    a.status = AnalysisStatus::kNumericalError;
    a.message = std::string("unexpected failure: ") + e.what();
    a.rates = Rates{};
  }
  return a;
}

std::vector<SummaryField> summary_fields(const Problem& problem, const Questions& questions,
                                         const Analysis& analysis) {
  return fields_of(questions, &problem, &analysis, analysis.result.engine,
                   status_name(analysis.status), analysis.message);
}

std::vector<SummaryField> refused_summary_fields(const Questions& questions, Engine engine,
                                                 const std::string& reason) {
  return fields_of(questions, nullptr, nullptr, engine,
                   status_name(AnalysisStatus::kInvalidQuestions), reason);
}

}  // namespace tarven
