#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building TARVEN, then builds it
# in ./build (Release). Safe to run again: it installs nothing that is present.
set -euo pipefail
cd "$(dirname "$0")/.."

# Boost.Math for the closed forms and the rates; the plot tests read charts back with libxml2
# and libpng, check files with xmllint and draw PNG pictures with rsvg-convert.
packages=(g++ cmake make libgsl-dev libboost-dev libgtest-dev libbenchmark-dev
          libxml2-dev libxml2-utils libpng-dev librsvg2-bin libcli11-dev nlohmann-json3-dev parallel)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTARVEN_BUILD_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)"
