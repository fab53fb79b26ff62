#!/usr/bin/env bash
# Installs what is missing, runs the fuzz targets for a bounded time (scripts/fuzz.sh), builds
# everything with AddressSanitizer and UndefinedBehaviorSanitizer and warnings as errors, checks
# every source file with clang-format and clang-tidy (scripts/lint.sh), checks the Debian package
# and runs every test. The last lines are ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
bash scripts/fuzz.sh
cmake --preset asan >/dev/null
cmake --build build-asan -j"$(nproc)"
bash scripts/lint.sh build-asan
# The Debian package: built from a plain configure in build-package, installed, checked and
# removed again.
bash scripts/package-check.sh
cd build-asan
ctest --output-on-failure -j"$(nproc)" --timeout 300
