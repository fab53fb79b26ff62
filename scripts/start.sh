#!/usr/bin/env bash
# Installs what is missing, builds Tallemo (Release) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTALLEMO_BUILD_TESTS=OFF -DTALLEMO_BUILD_BENCH=OFF >/dev/null
cmake --build build-release --target Tallemo tallemo-convert
exec ./build-release/src/Tallemo
