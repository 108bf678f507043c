#pragma once

// Everything about one problem that the model's functions read besides their abscissa: the
// problem itself and the values fixed by it. Made once per evaluation and never changed, so every
// thread evaluating the problem shares one.

namespace tarven::model {

// An interval of predictor scores.
struct Window {
  double low = 0.0;
  double high = 0.0;
};

// The window of the nested evaluation, as the program has always used it.
inline constexpr Window kStandardWindow{-6.5, 6.5};

struct Population {
  double rsq2pi = 0.0;  // 1/sqrt(2*pi), formed as the program always formed it
  double es = 0.0;      // effect size: majority predictor mean minus minority mean
  double rho = 0.0;     // correlation of predictor and pre-screening variable, |rho| < 1
  double zcut = 0.0;    // pre-screening cutoff on the standard normal scale
  int nmaj = 0;
  int nmin = 0;
  int nsel = 0;
  // The nested evaluation's integration window: the outer integral of a pair runs over it
  // (narrowed on retries), fun's inner integral starts at its lower end. kStandardWindow unless
  // the groups lie so far out that it must follow them (model/window.h).
  Window window = kStandardWindow;

  // Use the values below instead of forming them again in every call. They have the bits of the
  // recomputed ones; switching this off gives the evaluation exactly as the formulas are written,
  // which the fast one is measured and checked against.
  bool keep_constants = true;
  double root = 0.0;  // sqrt(1 - rho*rho)
  double cut[2] = {
      0.0, 0.0};  // per group, [0] minority and [1] majority: zcut minus its pre-screening mean
  double tail[2] = {0.0, 0.0};  // 1 - phid(cut[g]), the group's retained share
};

// 1/sqrt(2*pi) as 1 divided by the square root of 6.283185307179586.
double start_up_rsq2pi();

Population make_population(double es, double rho, double zcut, int nmaj, int nmin, int nsel,
                           bool keep_constants = true);

}  // namespace tarven::model
