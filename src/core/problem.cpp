#include "tarven/problem.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "model/normal.h"

namespace tarven {
namespace {

std::string text_of(std::int64_t v) {
  return std::to_string(v);
}

std::string text_of(double v) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

// A limit as a person writes it: 0.000001, not 1e-06.
std::string limit_text(double v) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
  return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

std::string between_text(double low, double high) {
  return "must lie between " + limit_text(low) + " and " + limit_text(high);
}

const char* name_of(ProblemField field) {
  switch (field) {
    case ProblemField::kTotal:
      return "n_total";
    case ProblemField::kMajority:
      return "n_majority";
    case ProblemField::kHired:
      return "n_hired";
    case ProblemField::kEffectSize:
      return "d";
    case ProblemField::kRho:
      return "rho";
    case ProblemField::kRetention:
      return "retention";
  }
  return "";
}

template <typename T>
ProblemError refuse(ProblemField field, T value, std::string allowed,
                    ProblemFault fault = ProblemFault::kOutOfRange) {
  return ProblemError{field, fault, name_of(field), text_of(value), std::move(allowed)};
}

std::string range_text(std::int64_t low, std::int64_t high) {
  return "must be from " + std::to_string(low) + " to " + std::to_string(high);
}

// The cutoff whose upper tail keeps the share `retention` of a standard normal variable: the
// retention-to-cutoff computation of the whole program. ifault is set where 1 - retention is not
// a probability strictly between 0 and 1 in double precision.
double cutoff_of(double retention, int& ifault) {
  return model::ppnd(1.0 - retention, ifault);
}

}  // namespace

std::string ProblemError::message() const {
  return name + " = " + value + ": " + allowed;
}

std::optional<ProblemError> check_n_total(std::int64_t n_total) {
  if (n_total >= 2 && n_total <= kMaxTotal) return std::nullopt;
  return refuse(ProblemField::kTotal, n_total, range_text(2, kMaxTotal));
}

std::optional<ProblemError> check_n_majority(std::int64_t n_total, std::int64_t n_majority) {
  if (n_majority >= 1 && n_majority <= n_total - 1) return std::nullopt;
  return refuse(ProblemField::kMajority, n_majority,
                range_text(1, n_total - 1) + ", so that both groups have applicants");
}

std::optional<ProblemError> check_n_hired(std::int64_t n_total, std::int64_t n_hired) {
  if (n_hired >= 1 && n_hired <= n_total) return std::nullopt;
  return refuse(ProblemField::kHired, n_hired, range_text(1, n_total));
}

// Written so that a NaN fails every check.
std::optional<ProblemError> check_d(double d) {
  if (d >= -kMaxAbsD && d <= kMaxAbsD) return std::nullopt;
  return refuse(ProblemField::kEffectSize, d, between_text(-kMaxAbsD, kMaxAbsD));
}

std::optional<ProblemError> check_rho(double rho) {
  if (rho >= -kMaxAbsRho && rho <= kMaxAbsRho) return std::nullopt;
  return refuse(ProblemField::kRho, rho, between_text(-kMaxAbsRho, kMaxAbsRho));
}

std::optional<ProblemError> check_retention(double retention) {
  if (retention >= kMinRetention && retention <= kMaxRetention) return std::nullopt;
  return refuse(ProblemField::kRetention, retention, between_text(kMinRetention, kMaxRetention));
}

std::optional<ProblemError> check_screening(double d, double rho, double retention) {
  // A group's pre-screened density divides by its retained share 1 - phid(cutoff - rho*mean); a
  // share that is 0 in double precision would make every density of that group infinite or NaN.
  int ifault = 0;
  const double zcut = cutoff_of(retention, ifault);
  if (ifault != 0 || !(1.0 - model::phid(zcut) > 0.0)) {
    return refuse(ProblemField::kRetention, retention,
                  "is too small to compute with: the pre-screening would retain no applicant",
                  ProblemFault::kNothingRetained);
  }
  if (!(1.0 - model::phid(zcut - rho * d) > 0.0)) {
    return refuse(ProblemField::kRetention, retention,
                  "with this effect size and correlation the pre-screening would retain no "
                  "majority applicant",
                  ProblemFault::kNoMajorityRetained);
  }
  return std::nullopt;
}

ProblemOrError Problem::make(std::int64_t n_total, std::int64_t n_majority, std::int64_t n_hired,
                             double d, double rho, double retention) {
  for (const auto& error :
       {check_n_total(n_total), check_n_majority(n_total, n_majority),
        check_n_hired(n_total, n_hired), check_d(d), check_rho(rho), check_retention(retention)}) {
    if (error) return *error;
  }
  if (auto error = check_screening(d, rho, retention)) return *error;

  Problem p;
  p.n_total_ = static_cast<int>(n_total);
  p.n_majority_ = static_cast<int>(n_majority);
  p.n_hired_ = static_cast<int>(n_hired);
  p.d_ = d;
  p.rho_ = rho;
  p.retention_ = retention;
  int ifault = 0;
  p.cutoff_ = cutoff_of(retention, ifault);
  return p;
}

namespace {

// A product n_total × share as people read it: 33.3, not 33.300000000000004.
std::string product_text(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.10g", v);
  return buffer;
}

InputsError inputs_error(std::vector<std::string> fields, std::string message) {
  return InputsError{std::move(fields), std::move(message)};
}

// The single input given among `names` (values in the same order), or the refusal.
std::variant<std::size_t, InputsError> one_of(std::initializer_list<const char*> names,
                                              std::initializer_list<std::optional<double>> values) {
  std::vector<std::string> given;
  std::size_t at = 0;
  std::size_t index = 0;
  for (const std::optional<double>& v : values) {
    if (v) {
      given.emplace_back(names.begin()[index]);
      at = index;
    }
    ++index;
  }
  // "n_majority, n_minority or minority_share"
  std::string list;
  for (std::size_t n = 0; n < names.size(); ++n)
    list += std::string(n == 0 ? "" : n + 1 == names.size() ? " or " : ", ") + names.begin()[n];
  if (given.empty()) {
    std::string others;
    for (const char* name : names)
      if (name != names.begin()[0]) others += std::string(others.empty() ? "" : " or ") + name;
    return inputs_error({names.begin()[0]},
                        std::string(names.begin()[0]) + ": missing (or give " + others + ")");
  }
  if (given.size() > 1) {
    std::string both;
    for (std::size_t g = 0; g < given.size(); ++g)
      both += (g == 0 ? "" : g + 1 == given.size() ? " and " : ", ") + given[g];
    return inputs_error(given, both + " are given: give only one of " + list);
  }
  return at;
}

// A count given as a number: whole, and within what a count can hold.
std::variant<std::int64_t, InputsError> whole(const char* name, double v) {
  if (!(std::fabs(v) <= 9e15) || v != std::floor(v))
    return inputs_error({name}, std::string(name) + " = " + text_of(v) + ": not a whole number");
  return static_cast<std::int64_t>(v);
}

// n_total × share, which must be a whole number of applicants.
std::variant<std::int64_t, InputsError> count_of_share(const char* name, std::int64_t n_total,
                                                       double share, bool one_allowed) {
  const std::string_view allowed =
      one_allowed ? "must lie above 0 and at most 1" : "must lie above 0 and below 1";
  if (!(share > 0.0 && (share < 1.0 || (one_allowed && share == 1.0))))
    return inputs_error({name},
                        std::string(name) + " = " + text_of(share) + ": " + std::string(allowed));
  const double product = static_cast<double>(n_total) * share;
  const double nearest = std::round(product);
  if (!(std::fabs(product - nearest) <= kShareTolerance))
    return inputs_error({"n_total", name}, "n_total × " + std::string(name) + " = " +
                                               product_text(product) +
                                               ": not a whole number of applicants");
  return static_cast<std::int64_t>(nearest);
}

const char* input_name(ProblemField field, bool shares_majority, bool shares_hired,
                       bool minority_count) {
  switch (field) {
    case ProblemField::kMajority:
      if (shares_majority) return "minority_share";
      return minority_count ? "n_minority" : "n_majority";
    case ProblemField::kHired:
      return shares_hired ? "selection_ratio" : "n_hired";
    default:
      return name_of(field);
  }
}

}  // namespace

std::variant<Problem, InputsError> problem_from(const ScenarioInputs& in) {
  auto missing = [](const char* name) {
    return inputs_error({name}, std::string(name) + ": missing");
  };
  if (!in.n_total) return missing("n_total");
  const auto total = whole("n_total", *in.n_total);
  if (auto* e = std::get_if<InputsError>(&total)) return *e;
  const std::int64_t n_total = std::get<std::int64_t>(total);
  if (auto error = check_n_total(n_total)) return inputs_error({"n_total"}, error->message());

  const auto group = one_of({"n_majority", "n_minority", "minority_share"},
                            {in.n_majority, in.n_minority, in.minority_share});
  if (auto* e = std::get_if<InputsError>(&group)) return *e;
  const std::size_t group_way = std::get<std::size_t>(group);
  std::variant<std::int64_t, InputsError> majority = std::int64_t{0};
  if (group_way == 0) {
    majority = whole("n_majority", *in.n_majority);
  } else if (group_way == 1) {
    const auto minority = whole("n_minority", *in.n_minority);
    if (auto* e = std::get_if<InputsError>(&minority)) return *e;
    const std::int64_t m = std::get<std::int64_t>(minority);
    if (m < 1 || m > n_total - 1)
      return inputs_error({"n_minority"}, "n_minority = " + std::to_string(m) + ": " +
                                              range_text(1, n_total - 1) +
                                              ", so that both groups have applicants");
    majority = n_total - m;
  } else {
    const auto minority = count_of_share("minority_share", n_total, *in.minority_share, false);
    if (auto* e = std::get_if<InputsError>(&minority)) return *e;
    const std::int64_t m = std::get<std::int64_t>(minority);
    if (m < 1 || m > n_total - 1)
      return inputs_error({"minority_share"},
                          "minority_share = " + text_of(*in.minority_share) + ": gives " +
                              std::to_string(m) + " minority applicants of " +
                              std::to_string(n_total) + "; both groups need at least one");
    majority = n_total - m;
  }
  if (auto* e = std::get_if<InputsError>(&majority)) return *e;

  const auto hired_way = one_of({"n_hired", "selection_ratio"}, {in.n_hired, in.selection_ratio});
  if (auto* e = std::get_if<InputsError>(&hired_way)) return *e;
  std::variant<std::int64_t, InputsError> hired =
      std::get<std::size_t>(hired_way) == 0
          ? whole("n_hired", *in.n_hired)
          : count_of_share("selection_ratio", n_total, *in.selection_ratio, true);
  if (auto* e = std::get_if<InputsError>(&hired)) return *e;
  if (std::get<std::size_t>(hired_way) == 1 && std::get<std::int64_t>(hired) < 1)
    return inputs_error({"selection_ratio"}, "selection_ratio = " + text_of(*in.selection_ratio) +
                                                 ": gives no hire of " + std::to_string(n_total) +
                                                 " applicants; at least one is needed");

  if (!in.d) return missing("d");
  if (!in.rho) return missing("rho");
  if (!in.retention) return missing("retention");
  ProblemOrError made = Problem::make(n_total, std::get<std::int64_t>(majority),
                                      std::get<std::int64_t>(hired), *in.d, *in.rho, *in.retention);
  if (auto* error = std::get_if<ProblemError>(&made))
    return inputs_error({input_name(error->field, group_way == 2,
                                    std::get<std::size_t>(hired_way) == 1, group_way == 1)},
                        error->message());
  return std::get<Problem>(made);
}

}  // namespace tarven
