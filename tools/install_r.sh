#!/usr/bin/env bash
# Installs the R package in r/ for every user of this machine: R and the packages it needs from
# Debian, the TARVEN library from the Release build in ./build (under /usr/local, where pkg-config
# and the dynamic linker find it), then the package into R's site library. Run it after the
# README's set-up (tools/setup.sh, which it runs itself when ./build is missing). Running it again
# changes nothing: nothing present is installed again, and the package is reinstalled only when
# its sources or the installed library have changed.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
prefix=/usr/local

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

packages=(r-base-dev r-cran-cpp11 r-cran-testthat pkg-config)
# Without the recommended packages: R's recommended package set is not needed to build or check.
source tools/install_missing.sh
install_missing --no-recommends "${packages[@]}"

# The library: the README's Release build, installed as it is (cmake --install copies only what
# differs from what is installed).
[ -f build/CMakeCache.txt ] || bash tools/setup.sh
cache_value() { sed -n "s/^$1:[A-Z]*=//p" build/CMakeCache.txt; }
if [ "$(cache_value CMAKE_BUILD_TYPE)" != Release ] || [ "$(cache_value TARVEN_SHARED)" != ON ]; then
  echo "install_r.sh: ./build is not a Release build with TARVEN_SHARED=ON; configure it as" \
       "tools/setup.sh does (or remove it and run this script again)" >&2
  exit 1
fi
cmake --build build -j"$(nproc)" --target tarven tarven_library tarven_shared
installed=$("${sudo_cmd[@]}" cmake --install build --prefix "$prefix")
if grep -q -- '-- Installing:' <<<"$installed"; then
  "${sudo_cmd[@]}" ldconfig
fi

# The package, when its sources or the library differ from what it was installed from.
stamp=$( (cd "$repo" && find r -type f ! -name Makevars ! -name '*.o' ! -name '*.so' -print0 |
          LC_ALL=C sort -z | xargs -0 sha256sum;
          sha256sum "$prefix"/lib/libtarven.so.* "$prefix"/include/tarven/*.h) | sha256sum)
installed_at=$(Rscript -e 'cat(system.file(package = "tarven"))')
if [ -n "$installed_at" ] && [ "$(cat "$installed_at/install_r.stamp" 2>/dev/null)" = "$stamp" ]; then
  echo "install_r.sh: the R package tarven is installed and up to date ($installed_at)"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && R CMD build --no-manual "$repo/r" >/dev/null)
export MAKEFLAGS=${MAKEFLAGS:--j$(nproc)}  # the C++ files compile side by side
"${sudo_cmd[@]}" R CMD INSTALL "$work"/tarven_*.tar.gz
installed_at=$(Rscript -e 'cat(system.file(package = "tarven"))')
echo "$stamp" | "${sudo_cmd[@]}" tee "$installed_at/install_r.stamp" >/dev/null
echo "install_r.sh: the R package tarven is installed ($installed_at)"
