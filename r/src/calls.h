#pragma once

// The package's entry points, called through .Call from R/ (registration.cpp lists them). Each
// returns a list whose `error` is NULL or one line saying what is wrong and what is allowed; R
// raises that as its error. A C++ exception never leaves these functions except as an R error
// (registration.cpp), and an R interrupt unwinds through them only after every thread has ended.

#include "cpp11/list.hpp"
#include "cpp11/sexp.hpp"
#include "cpp11/strings.hpp"

namespace tarven_r {

// `scenarios`: a named list of double vectors of one length, named as the members of
// tarven::ScenarioInputs (n_total, n_majority, n_hired, d, rho, retention, ...). `threads` an
// integer of at least 1, `progress` an R function(done, total) or NULL, `interrupt_after` an
// integer: when positive, the poll of that number raises SIGINT as Ctrl-C does (tests only).
// Returns list(error, columns).
cpp11::writable::list summarise(SEXP scenarios, SEXP threshold, SEXP alpha, SEXP quantiles,
                                SEXP engine, SEXP threads, SEXP progress, SEXP interrupt_after);

// One scenario (a list as above, each of length 1): list(error, columns, splits), the summary
// with the default questions and the splits as `tarven run --distribution` writes them.
cpp11::writable::list distribution(SEXP scenario, SEXP engine, SEXP threads, SEXP progress,
                                   SEXP interrupt_after);

// P(AI < T) for each threshold of a split distribution, by the library's exact integer rule:
// list(error, thresholds (the text each number became), p_ai_lt).
cpp11::writable::list threshold_rates(SEXP n_majority, SEXP n_minority, SEXP n_hired,
                                      SEXP n_minority_hired, SEXP n_majority_hired, SEXP prob,
                                      SEXP threshold);

// The library's scenario inputs (tarven::kScenarioInputNames): list(name, need, share), one element
// an input, inputs of one need being alternatives.
cpp11::writable::list input_names();

// c(headers = the version compiled against, library = the version loaded).
cpp11::writable::strings library_versions();

}  // namespace tarven_r
