#!/usr/bin/env bash
# Builds everything and runs every test: the release build, the same tests under AddressSanitizer
# and UndefinedBehaviorSanitizer, and the brief benchmark runs that keep the benchmarks working.
# Timings are printed, never judged.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
jobs=$(nproc)

echo "== release build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHEETORA_SANITIZE=address,undefined \
  -DSHEETORA_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== brief load test of the page host (timings are informative only)"
bench/wrk_main.sh build 1 64
