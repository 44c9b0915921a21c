#!/usr/bin/env bash
# Builds everything and runs every test: the release build (with the hostile-client tests and two
# hosts behind nginx), a brief load test, the site in headless Chromium against the release host,
# the same C++ tests under AddressSanitizer and UndefinedBehaviorSanitizer, the concurrency tests
# under ThreadSanitizer, and brief runs of the fuzz targets and benchmarks. Timings are printed,
# never judged; the load test fails only on errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
jobs=$(nproc)

echo "== formatting (clang-format, .clang-format)"
git ls-files '*.cc' '*.h' | xargs clang-format --dry-run --Werror

echo "== release build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== clang-tidy (.clang-tidy) on every C++ file of the release build's compile_commands.json"
# The files that include qpdf's headers are left out: clang 14 cannot parse qpdf's JSON.hh
# against libstdc++ 12 in C++20 (a vector of a class not yet complete), so they get no checks.
run-clang-tidy -p build -quiet -j"$jobs" \
  '^(?!.*/(press/(impose|pdf_language)\.cc|tests/press/impose_test\.cc|bench/press_bench\.cc)$)'


echo "== benchmarks, briefly: they must run, their timings never fail"
build/bench/sheetora_layout_search_bench --benchmark_min_time=0.01 \
  --benchmark_filter='^(Fast/|Literal/1092x787/(210x140|140x100)/)'
for bench in sheetora_layout_engine_bench sheetora_layout_api_bench sheetora_planner_bench \
  sheetora_host_bench pinban_page_bench sheetora_press_bench sheetora_gang_bench; do
  build/bench/"$bench" --benchmark_min_time=0.01
done

echo "== load test, one second per kind of page: sheetora-host beside nginx serving the same bytes"
bench/load.sh 1

echo "== browser tests: headless Chromium against build/sheetora-host"
# The system's Chromium is used; the npm package brings only the driver, never a browser.
(cd tests/browser && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund &&
  node --test --test-concurrency=1)

echo "== the layout engine's OpenAPI document, and real answers against its schemas"
(cd tests/layout/openapi && npm ci --no-audit --no-fund && node --test)

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHEETORA_SANITIZE=address,undefined \
  -DSHEETORA_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== ThreadSanitizer build: the concurrency tests"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHEETORA_SANITIZE=thread \
  -DSHEETORA_BUILD_BENCH=OFF
cmake --build build-tsan -j"$jobs" --target sheetora_concurrency_tests
ctest --test-dir build-tsan -L concurrency --output-on-failure

echo "== fuzz targets, briefly (clang, libFuzzer with AddressSanitizer and UBSan)"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHEETORA_FUZZ=ON
cmake --build build-fuzz -j"$jobs"
ctest --test-dir build-fuzz -L fuzz --output-on-failure
