#!/usr/bin/env bash
# How much evaluating Boost.Math in double instead of long double (TARVEN_EXTENDED_PRECISION=OFF,
# as the WebAssembly build does) changes the split probabilities of the ladder from 3,000 to
# 1,000,000 applicants, and how much time it saves. Builds the ladder program twice, in
# build-precision-on/ and build-precision-off/, runs both one after the other and prints, per
# problem and over all, the largest difference of a split probability (absolute, and relative
# among the splits more likely than 1e-9), each build's status and seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
for mode in on off; do
  flag=$([ "$mode" = on ] && echo ON || echo OFF)
  cmake -S . -B "build-precision-$mode" -DCMAKE_BUILD_TYPE=Release -DTARVEN_BUILD_TESTS=OFF \
    -DTARVEN_BUILD_BENCH=ON -DTARVEN_SHARED=OFF -DTARVEN_EXTENDED_PRECISION="$flag" >/dev/null
  cmake --build "build-precision-$mode" -j"$(nproc)" --target ladder_splits >/dev/null
done
./build-precision-on/bench/ladder_splits >build-precision-on/splits.txt
./build-precision-off/bench/ladder_splits >build-precision-off/splits.txt
paste -d' ' build-precision-on/splits.txt build-precision-off/splits.txt | awk '
  function abs(x) { return x < 0 ? -x : x }
  $1 == "problem" { if (name != "") report(); name = $2 " " $3 " " $4 " " $5 " " $6 " " $7;
                    status_on = $8; status_off = $16; worst = 0; rel = 0; n = 0; next }
  $1 == "split" { a = abs($3 + 0); b = abs($6 + 0); d = abs($3 - $6); m = a > b ? a : b;
                  if (d > worst) worst = d; if (m > 1e-9 && d / m > rel) rel = d / m;
                  if (d > all) all = d; n++; next }
  $1 == "seconds" { on = $2; off = $4; next }
  function report() { printf "(%s): %d splits, worst |difference| %.2g, worst relative %.2g; " \
                             "long double %s %.3f s, double %s %.3f s\n", name, n, worst, rel,
                             status_on, on, status_off, off }
  END { report(); printf "worst over the ladder: %.2g\n", all }'
