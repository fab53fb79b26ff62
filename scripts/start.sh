#!/usr/bin/env bash
# Installs what is missing, builds Tallemo (Release) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
cmake --preset release >/dev/null
cmake --build build-release --target Tallemo tallemo-convert
exec ./build-release/src/Tallemo
