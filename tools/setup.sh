#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building TARVEN, then builds it
# in ./build (Release). Safe to run again: it installs nothing that is present.
set -euo pipefail
cd "$(dirname "$0")/.."

# Boost.Math for the closed forms and the rates; the plot tests read charts back with libxml2
# and libpng, check files with xmllint and draw PNG pictures with rsvg-convert.
packages=(g++ cmake make libgsl-dev libboost-dev libgtest-dev libbenchmark-dev
          libxml2-dev libxml2-utils libpng-dev librsvg2-bin libcli11-dev nlohmann-json3-dev parallel)
source tools/install_missing.sh
install_missing "${packages[@]}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTARVEN_BUILD_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)"
