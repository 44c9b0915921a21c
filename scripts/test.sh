#!/usr/bin/env bash
# Builds everything and runs every test: the release build, the site in headless Chromium against
# the release host, the same C++ tests under AddressSanitizer and UndefinedBehaviorSanitizer, and
# the brief benchmark runs that keep the benchmarks working.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
jobs=$(nproc)

echo "== release build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== browser tests: headless Chromium against build/sheetora-host"
# The system's Chromium is used; the npm package brings only the driver, never a browser.
(cd tests/browser && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund &&
  node --test --test-concurrency=1)

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHEETORA_SANITIZE=address,undefined \
  -DSHEETORA_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"
