#!/usr/bin/env bash
# Builds the calculator for the browser: the library (single-integral engine, double precision,
# no GSL) and the page's binding compiled to WebAssembly with Debian's emscripten, and the static
# site in build-web/site/ (index.html and what it loads, nothing else). Installs what it lacks
# from Debian; safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(emscripten cmake make libboost-dev nlohmann-json3-dev)
source tools/install_missing.sh
install_missing --no-recommends "${packages[@]}"

# emscripten's optimiser is a Node.js script that needs acorn: Debian's node-acorn, which a
# Node.js not from Debian does not look for.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# Boost.Math and nlohmann/json are header-only. em++ is given a folder holding only them, never
# /usr/include, whose native headers would stand in for the toolchain's own.
headers="$PWD/build-web/headers"
mkdir -p "$headers"
ln -sfn /usr/include/boost "$headers/boost"
ln -sfn /usr/include/nlohmann "$headers/nlohmann"

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
emcmake cmake -S web -B build-web/module -DCMAKE_BUILD_TYPE=Release \
  -DBoost_INCLUDE_DIR="$headers" -DTARVEN_WEB_HEADERS="$headers" "${launcher[@]}" >/dev/null
cmake --build build-web/module -j"$(nproc)"

# The page's own files and the module.
rm -rf build-web/site
mkdir -p build-web/site
cp web/site/*.html web/site/*.css web/site/*.js build-web/module/tarven.js \
  build-web/module/tarven.wasm build-web/site/
echo "tools/build_web.sh: the site is in build-web/site/ (python3 -m http.server -d build-web/site)"
