#!/usr/bin/env bash
# Installs what building, serving and testing need on a fresh Debian 12 machine (run as root).
set -euo pipefail
packages=(build-essential cmake pkg-config libmicrohttpd-dev libgtest-dev libgmock-dev
          libbenchmark-dev nlohmann-json3-dev libcairo2-dev coinor-libclp-dev coinor-libcbc-dev
          fonts-wqy-microhei libqpdf-dev libpugixml-dev)
if [[ "${1:-}" == "--test" ]]; then
  packages+=(clang clang-format clang-tidy libclang-rt-14-dev libfuzzer-14-dev wrk nginx-light procps
             chromium poppler-utils qpdf nodejs curl logrotate
             coinor-cbc)
  # A nodejs from outside Debian brings its own npm, and Debian's npm package conflicts with it.
  command -v npm >/dev/null || packages+=(npm)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
