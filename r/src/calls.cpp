#include "calls.h"

#include <signal.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <optional>

#include "cpp11/doubles.hpp"
#include "cpp11/function.hpp"
#include "cpp11/integers.hpp"
#include "cpp11/logicals.hpp"
#include "cpp11/protect.hpp"
#include "cpp11/strings.hpp"
#include "questions.h"
#include "row_pool.h"
#include "summary_columns.h"
#include "tarven/tarven.h"

namespace tarven_r {
namespace {

// The scenarios' columns as R gave them, read without R from the workers.
struct ScenarioTable {
  std::vector<std::string> names;
  std::vector<const double*> values;
  std::size_t rows = 0;

  explicit ScenarioTable(SEXP list) {
    const cpp11::list columns(list);
    const cpp11::strings column_names(columns.names());
    for (R_xlen_t c = 0; c < columns.size(); ++c) {
      names.push_back(cpp11::r_string(column_names[c]));
      const cpp11::doubles v(columns[c]);
      values.push_back(REAL(v.data()));
      rows = static_cast<std::size_t>(v.size());
    }
  }

  // NA (and NaN) is a missing input: the library names what is missing.
  tarven::ScenarioInputs inputs(std::size_t row) const {
    tarven::ScenarioInputs in;
    for (std::size_t c = 0; c < names.size(); ++c) {
      const double v = values[c][row];
      if (std::isnan(v)) continue;
      for (const tarven::ScenarioInputName& input : tarven::kScenarioInputNames)
        if (input.name == names[c]) in.*input.member = v;
    }
    return in;
  }

  // A refused scenario's columns, with its inputs as given where its column can hold them (a count
  // that is not whole stays missing; the message names it).
  std::vector<tarven::SummaryField> refused(std::size_t row, const Settings& s,
                                            const std::string& reason) const {
    std::vector<tarven::SummaryField> fields =
        tarven::refused_summary_fields(s.questions, s.engine, reason);
    for (std::size_t c = 0; c < names.size(); ++c) {
      const double v = values[c][row];
      if (std::isnan(v)) continue;
      for (tarven::SummaryField& f : fields) {
        if (f.name != names[c]) continue;
        if (f.kind == tarven::FieldKind::kNumber) {
          f.value = v;
        } else if (f.kind == tarven::FieldKind::kCount && v == std::floor(v) &&
                   std::abs(v) <= std::numeric_limits<int>::max()) {
          f.value = static_cast<std::int64_t>(v);
        }
      }
    }
    return fields;
  }
};

// R's side of the wait: the progress bar and the interrupt check, every 100 ms on R's thread.
class RPoll {
 public:
  RPoll(SEXP progress, SEXP interrupt_after, std::size_t total)
      : progress_(progress),
        interrupt_after_(cpp11::integers(interrupt_after)[0]),
        total_(total),
        start_(std::chrono::steady_clock::now()) {}

  void operator()(std::size_t done) {
    ++polls_;
    // A bar only for what takes long enough to need one.
    if (progress_ != R_NilValue && done != shown_ &&
        std::chrono::steady_clock::now() - start_ >= std::chrono::milliseconds(500))
      show(done);
    // The test hook: the same signal Ctrl-C sends, handled by R's own handler.
    if (interrupt_after_ > 0 && polls_ == interrupt_after_) raise(SIGINT);
    // An interrupt unwinds from here (cpp11::unwind_exception) through run_rows, which cancels
    // and joins the workers, to registration.cpp, which lets R's interrupt go on.
    cpp11::check_user_interrupt();
  }

  // Completes a bar that was shown.
  void finish() {
    if (shown_ != kNone) show(total_);
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  void show(std::size_t done) {
    const cpp11::function update(progress_);
    update(static_cast<double>(done), static_cast<double>(total_));
    shown_ = done;
  }

  SEXP progress_;
  int interrupt_after_;
  std::size_t total_;
  std::chrono::steady_clock::time_point start_;
  int polls_ = 0;
  std::size_t shown_ = kNone;
};

int threads_of(SEXP threads) {
  return std::max(1, cpp11::integers(threads)[0]);
}

cpp11::writable::list answer(SEXP error, SEXP columns, SEXP splits = R_NilValue) {
  using namespace cpp11::literals;
  return cpp11::writable::list({"error"_nm = error, "columns"_nm = columns, "splits"_nm = splits});
}

cpp11::writable::list refusal(const std::string& message) {
  return answer(cpp11::writable::strings({cpp11::r_string(message)}), R_NilValue);
}

}  // namespace

cpp11::writable::list summarise(SEXP scenarios, SEXP threshold, SEXP alpha, SEXP quantiles,
                                SEXP engine, SEXP threads, SEXP progress, SEXP interrupt_after) {
  auto checked = settings_of(threshold, alpha, quantiles, engine);
  if (auto* message = std::get_if<std::string>(&checked)) return refusal(*message);
  const Settings settings = std::get<Settings>(std::move(checked));
  const ScenarioTable table(scenarios);
  SummaryColumns columns(settings.questions, settings.engine, table.rows);

  const RowWork work = [&](std::size_t row, int row_threads, const std::atomic<bool>* cancel) {
    auto made = tarven::problem_from(table.inputs(row));
    if (auto* refused = std::get_if<tarven::InputsError>(&made)) {
      columns.set(row, table.refused(row, settings, refused->message));
      return;
    }
    const tarven::Problem& problem = std::get<tarven::Problem>(made);
    tarven::Options options;
    options.engine = settings.engine;
    options.threads = row_threads;
    options.cancel = cancel;
    const tarven::Analysis analysis = tarven::analyse(problem, settings.questions, options);
    columns.set(row, tarven::summary_fields(problem, settings.questions, analysis));
  };
  RPoll poll(progress, interrupt_after, table.rows);
  run_rows(table.rows, threads_of(threads), work, [&](std::size_t done) { poll(done); });
  poll.finish();
  return answer(R_NilValue, columns.to_r());
}

cpp11::writable::list distribution(SEXP scenario, SEXP engine, SEXP threads, SEXP progress,
                                   SEXP interrupt_after) {
  Settings settings;  // the default questions, for the headline numbers
  auto e = engine_of(cpp11::r_string(cpp11::strings(engine)[0]));
  if (auto* message = std::get_if<std::string>(&e)) return refusal(*message);
  settings.engine = std::get<tarven::Engine>(e);
  const ScenarioTable table(scenario);
  SummaryColumns columns(settings.questions, settings.engine, 1);
  std::optional<tarven::Problem> problem;
  tarven::Analysis analysis;
  const RowWork work = [&](std::size_t, int row_threads, const std::atomic<bool>* cancel) {
    auto made = tarven::problem_from(table.inputs(0));
    if (auto* refused = std::get_if<tarven::InputsError>(&made)) {
      columns.set(0, table.refused(0, settings, refused->message));
      return;
    }
    problem = std::get<tarven::Problem>(made);
    tarven::Options options;
    options.engine = settings.engine;
    options.threads = row_threads;
    options.cancel = cancel;
    analysis = tarven::analyse(*problem, settings.questions, options);
    columns.set(0, tarven::summary_fields(*problem, settings.questions, analysis));
  };
  RPoll poll(progress, interrupt_after, 1);
  run_rows(1, threads_of(threads), work, [&](std::size_t done) { poll(done); });
  poll.finish();

  const std::vector<tarven::DistributionRow>& rows = analysis.result.distribution;
  const auto n =
      static_cast<R_xlen_t>(analysis.status == tarven::AnalysisStatus::kOk ? rows.size() : 0);
  cpp11::writable::integers n2(n), n1(n);
  cpp11::writable::doubles sr_minority(n), sr_majority(n), ai(n), prob(n), cum_prob(n);
  for (R_xlen_t i = 0; i < n; ++i) {
    const tarven::DistributionRow& r = rows[static_cast<std::size_t>(i)];
    n2[i] = r.n_minority_hired;
    n1[i] = r.n_majority_hired;
    sr_minority[i] = r.sr_minority;
    sr_majority[i] = r.sr_majority;
    // Rounded once from the counts, as the command line writes it, so that `ai < 0.8` on the
    // column picks exactly the splits counted in p_ai_lt_0_80.
    const std::optional<double> exact = tarven::impact_ratio(
        r.n_minority_hired, r.n_majority_hired, problem->n_minority(), problem->n_majority());
    ai[i] = exact ? *exact : NA_REAL;
    prob[i] = r.prob;
    cum_prob[i] = r.cum_prob;
  }
  using namespace cpp11::literals;
  cpp11::writable::list splits({"n_minority_hired"_nm = n2, "n_majority_hired"_nm = n1,
                                "sr_minority"_nm = sr_minority, "sr_majority"_nm = sr_majority,
                                "ai"_nm = ai, "prob"_nm = prob, "cum_prob"_nm = cum_prob});
  return answer(R_NilValue, columns.to_r(), splits);
}

cpp11::writable::list threshold_rates(SEXP n_majority, SEXP n_minority, SEXP n_hired,
                                      SEXP n_minority_hired, SEXP n_majority_hired, SEXP prob,
                                      SEXP threshold) {
  tarven::Questions questions;
  questions.thresholds = threshold_texts(threshold);
  if (std::optional<std::string> refused = tarven::check_questions(questions))
    return refusal(*refused);
  const cpp11::integers n2(n_minority_hired), n1(n_majority_hired);
  const cpp11::doubles p(prob);
  std::vector<tarven::Split> splits;
  for (R_xlen_t i = 0; i < n2.size(); ++i) splits.push_back(tarven::Split{n2[i], n1[i], p[i]});
  tarven::RatesRequest request;
  request.n_majority = cpp11::integers(n_majority)[0];
  request.n_minority = cpp11::integers(n_minority)[0];
  request.n_hired = cpp11::integers(n_hired)[0];
  request.splits = splits;
  request.thresholds = questions.thresholds;
  request.quantile_levels.clear();
  const tarven::Outcome<tarven::Rates> rates = tarven::compute_rates(request);
  if (!rates.value) return refusal(rates.error);
  cpp11::writable::strings texts;
  cpp11::writable::doubles p_ai_lt;
  for (const tarven::ThresholdRates& t : rates.value->thresholds) {
    texts.push_back(cpp11::r_string(t.text));
    p_ai_lt.push_back(t.p_ai_lt);
  }
  using namespace cpp11::literals;
  return cpp11::writable::list(
      {"error"_nm = R_NilValue, "thresholds"_nm = texts, "p_ai_lt"_nm = p_ai_lt});
}

cpp11::writable::list input_names() {
  using namespace cpp11::literals;
  cpp11::writable::strings name;
  cpp11::writable::integers need;
  cpp11::writable::logicals share;
  for (const tarven::ScenarioInputName& input : tarven::kScenarioInputNames) {
    name.push_back(input.name);
    need.push_back(input.need);
    share.push_back(input.share ? cpp11::r_bool(true) : cpp11::r_bool(false));
  }
  return cpp11::writable::list({"name"_nm = name, "need"_nm = need, "share"_nm = share});
}

cpp11::writable::strings library_versions() {
  cpp11::writable::strings out(
      {cpp11::r_string(TARVEN_VERSION_STRING), cpp11::r_string(tarven::version())});
  out.names() = cpp11::writable::strings({"headers", "library"});
  return out;
}

}  // namespace tarven_r
