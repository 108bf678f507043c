// The .Call entry points, written as cpp11's code generator writes them (Debian's cpp11 lacks the
// generator's own dependencies): every C++ exception becomes an R error here, and an R condition
// that unwound through C++ (an interrupt, an error in the progress callback) goes on unwinding in
// R once the C++ frames are gone.

#include "calls.h"
#include "cpp11/declarations.hpp"

extern "C" {

SEXP tarven_summarise(SEXP scenarios, SEXP threshold, SEXP alpha, SEXP quantiles, SEXP engine,
                      SEXP threads, SEXP progress, SEXP interrupt_after) {
  BEGIN_CPP11
  return tarven_r::summarise(scenarios, threshold, alpha, quantiles, engine, threads, progress,
                             interrupt_after);
  END_CPP11
}

SEXP tarven_distribution(SEXP scenario, SEXP engine, SEXP threads, SEXP progress,
                         SEXP interrupt_after) {
  BEGIN_CPP11
  return tarven_r::distribution(scenario, engine, threads, progress, interrupt_after);
  END_CPP11
}

SEXP tarven_threshold_rates(SEXP n_majority, SEXP n_minority, SEXP n_hired, SEXP n_minority_hired,
                            SEXP n_majority_hired, SEXP prob, SEXP threshold) {
  BEGIN_CPP11
  return tarven_r::threshold_rates(n_majority, n_minority, n_hired, n_minority_hired,
                                   n_majority_hired, prob, threshold);
  END_CPP11
}

SEXP tarven_input_names() {
  BEGIN_CPP11
  return tarven_r::input_names();
  END_CPP11
}

SEXP tarven_library_versions() {
  BEGIN_CPP11
  return tarven_r::library_versions();
  END_CPP11
}

}  // extern "C"

// R calls each through the generic pointer with the number of arguments given beside it; the cast
// goes by way of void (*)(), which converts to and from every function pointer type.
template <class F>
static DL_FUNC entry(F* f) {
  return reinterpret_cast<DL_FUNC>(reinterpret_cast<void (*)()>(f));
}

static const R_CallMethodDef kCallEntries[] = {
    {"tarven_summarise", entry(&tarven_summarise), 8},
    {"tarven_distribution", entry(&tarven_distribution), 5},
    {"tarven_threshold_rates", entry(&tarven_threshold_rates), 7},
    {"tarven_input_names", entry(&tarven_input_names), 0},
    {"tarven_library_versions", entry(&tarven_library_versions), 0},
    {nullptr, nullptr, 0}};

extern "C" {

void R_init_tarven(DllInfo* dll) {
  R_registerRoutines(dll, nullptr, kCallEntries, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
  R_forceSymbols(dll, TRUE);
}

}  // extern "C"
