#!/usr/bin/env bash
# Installs what is missing, runs the fuzz targets for a bounded time (scripts/fuzz.sh), builds
# everything with AddressSanitizer and UndefinedBehaviorSanitizer and warnings as errors, and runs
# every test. The last lines are ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
bash scripts/fuzz.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DTALLEMO_SANITIZE=ON -DTALLEMO_WERROR=ON >/dev/null
cmake --build build-asan -j"$(nproc)"
cd build-asan
ctest --output-on-failure -j"$(nproc)" --timeout 300
