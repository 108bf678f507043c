#!/usr/bin/env bash
# Tests the browser calculator: builds the site if it is not built, installs the pinned test
# driver (puppeteer-core, web/test/package-lock.json), and drives Debian's Chromium headless
# against the site served on 127.0.0.1, checking it against the native program in build/.
# Without Chromium, the site or the native program the browser tests are skipped with a message,
# unless TARVEN_REQUIRE_BROWSER=1 (CI), which makes that a failure.
set -euo pipefail
cd "$(dirname "$0")/.."

[ -f build-web/site/tarven.wasm ] || bash tools/build_web.sh
# Debian's nodejs (which emscripten brings) comes without npm; a Node.js from elsewhere has its own.
if ! command -v npm >/dev/null; then
  source tools/install_missing.sh
  install_missing --no-recommends npm
fi
if [ ! -f web/test/node_modules/.package-lock.json ] ||
  [ web/test/package-lock.json -nt web/test/node_modules/.package-lock.json ]; then
  (cd web/test && npm ci --no-audit --no-fund --loglevel=error)
fi
node --test web/test/number_text.test.js web/test/page.test.js
