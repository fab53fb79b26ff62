#!/usr/bin/env bash
# Checks every C++ file of the project with clang-format and clang-tidy (.clang-tidy holds the
# checks); any finding fails. Needs a configured build for the compile commands:
#   scripts/lint.sh [BUILD_DIR]    default build-asan; fuzz/ uses build-fuzz when it exists
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
echo "--- clang-format: ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}"
echo "clang-format: no findings"

# Headers are checked through the files that include them (HeaderFilterRegex).
mapfile -t units < <(git ls-files '*.cpp' | grep -v '^fuzz/' || true)
mapfile -t fuzz_units < <(git ls-files 'fuzz/*.cpp')
echo "--- clang-tidy: ${#units[@]} + ${#fuzz_units[@]} files"
report=$(mktemp)
trap 'rm -f "$report"' EXIT
started=$SECONDS
status=0
printf '%s\n' "${units[@]}" |
    xargs -P"$(nproc)" -n1 clang-tidy -p "$build" --quiet >>"$report" 2>/dev/null || status=1
if ((${#fuzz_units[@]})) && [[ -f build-fuzz/compile_commands.json ]]; then
    printf '%s\n' "${fuzz_units[@]}" |
        xargs -P"$(nproc)" -n1 clang-tidy -p build-fuzz --quiet >>"$report" 2>/dev/null ||
        status=1
fi
cat "$report"
if ((status)); then
    echo "clang-tidy: findings above ($((SECONDS - started)) s)"
    exit 1
fi
echo "clang-tidy: no findings ($((SECONDS - started)) s)"
