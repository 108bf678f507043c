#include "tarven/evaluate.h"

#include <algorithm>
#include <new>
#include <thread>

#include "core/evaluation.h"
#include "model/normal.h"
#include "tarven/version.h"

namespace tarven {
namespace core {

int thread_count(const Options& options) {
  if (options.threads > 0) return options.threads;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

GroupMeans closed_form_means(const model::Population& p) {
  GroupMeans means;
  means.minority = p.rho * model::phib(p.zcut, 0.0, 1.0, p.rsq2pi) / (1.0 - model::phid(p.zcut));
  const double c = p.zcut - p.rho * p.es;
  means.majority = p.rho * model::phib(c, 0.0, 1.0, p.rsq2pi) / (1.0 - model::phid(c)) + p.es;
  return means;
}

}  // namespace core

Result evaluate(const Problem& problem, const Options& options, Observer* observer) {
  if (options.engine == Engine::kNested) {
#ifdef TARVEN_NESTED_ENGINE
    return core::evaluate_nested(problem, options, observer);
#else
    Result result;
    result.engine = Engine::kNested;
    result.status = Status::kUnavailable;
    return result;
#endif
  }
  try {
    return core::evaluate_single(problem, options, observer);
  } catch (const std::bad_alloc&) {
    // The distribution's arrays are sized from the problem; one too large for this machine is a
    // status, not a crash.
    Result result;
    result.engine = Engine::kSingle;
    result.status = Status::kOutOfMemory;
    return result;
  }
}

const char* version() {
  return TARVEN_VERSION_STRING;
}

}  // namespace tarven
