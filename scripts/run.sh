#!/usr/bin/env bash
# Builds the site and serves it on http://127.0.0.1:8080/ (extra arguments go to sheetora-host).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSHEETORA_BUILD_TESTS=OFF -DSHEETORA_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)"
exec build/sheetora-host "$@"
