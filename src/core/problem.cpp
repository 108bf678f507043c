#include "tarven/problem.h"

#include <charconv>
#include <cmath>

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

}  // namespace tarven
