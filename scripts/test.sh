#!/usr/bin/env bash
# Installs what is missing, runs the fuzz targets for a bounded time (scripts/fuzz.sh), builds
# everything with AddressSanitizer and UndefinedBehaviorSanitizer and warnings as errors, checks
# every source file with clang-format and clang-tidy (scripts/lint.sh), checks the Debian package
# and runs every test. Each step says its wall time as it ends, and a table of them comes before
# the tests, so that a slow step shows without a profiler; the last lines are ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

step_names=()
step_seconds=()
step_cpu=()
# The CPU seconds (user and system) of every process this script has waited for: a step's share
# is the difference, and unlike the wall time it hardly changes when the machine is busy.
# `times` runs in this shell (a pipe or $(...) would ask a fresh subshell, which has no children).
times_file=$(mktemp)
trap 'rm -f "$times_file"' EXIT
# Sets cpu_now; called as a plain command, never inside $(...), for the same reason.
children_cpu_seconds() {
    times >"$times_file"
    cpu_now=$(tail -n 1 "$times_file" | awk '{
        total = 0
        for (k = 1; k <= 2; k++) { split($k, part, /[ms]/); total += part[1] * 60 + part[2] }
        printf "%d", total }')
}
# step NAME COMMAND...: runs the command, says how long it took, and stops the run when it fails.
step() {
    local name=$1
    shift
    local started=$SECONDS status=0 cpu_before cpu_now
    children_cpu_seconds
    cpu_before=$cpu_now
    "$@" || status=$?
    step_names+=("$name")
    step_seconds+=($((SECONDS - started)))
    children_cpu_seconds
    step_cpu+=($((cpu_now - cpu_before)))
    if ((status)); then
        echo "step $name: ${step_seconds[-1]} s, FAILED (exit status $status)" >&2
        exit "$status"
    fi
    echo "step $name: ${step_seconds[-1]} s (CPU ${step_cpu[-1]} s)"
}

build_asan() {
    cmake --preset asan >/dev/null && cmake --build build-asan -j"$(nproc)"
}

step install-deps bash scripts/install-deps.sh test
step fuzz bash scripts/fuzz.sh
step asan-build build_asan
step lint bash scripts/lint.sh build-asan
# The Debian package: built from a plain configure in build-package, installed, checked and
# removed again.
step package-check bash scripts/package-check.sh

echo "--- step times (wall, CPU)"
total=0
total_cpu=0
for k in "${!step_names[@]}"; do
    printf '%-14s %5d s %6d s\n' "${step_names[$k]}" "${step_seconds[$k]}" "${step_cpu[$k]}"
    total=$((total + step_seconds[k]))
    total_cpu=$((total_cpu + step_cpu[k]))
done
printf '%-14s %5d s %6d s (ctest follows and says its own time)\n' "before ctest" "$total" "$total_cpu"

cd build-asan
ctest --output-on-failure -j"$(nproc)" --timeout 300
