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

# Headers are checked through the files that include them (HeaderFilterRegex). Each file is
# parsed once, with the compile commands of the build that compiles it: the fuzz targets are
# clang's, in build-fuzz.
units=()
while read -r file; do
    units+=("$build $file")
done < <(git ls-files '*.cpp' | grep -v '^fuzz/' || true)
if [[ -f build-fuzz/compile_commands.json ]]; then
    while read -r file; do
        units+=("build-fuzz $file")
    done < <(git ls-files 'fuzz/*.cpp')
fi

# Longest first, so that no long file starts last while the other core has nothing left to do:
# by the seconds each took in this build's last run, else (a new build) by the file's size,
# which puts the big windows' and converters' files early.
seconds_file=$build/lint-seconds.txt
declare -A last_seconds=()
if [[ -f $seconds_file ]]; then
    while read -r took file; do
        last_seconds[$file]=$took
    done <"$seconds_file"
fi
ordered=$(for unit in "${units[@]}"; do
    file=${unit#* }
    echo "${last_seconds[$file]:-0} $(stat -c %s "$file") $unit"
done | sort -k1,1nr -k2,2nr | cut -d' ' -f3-)

echo "--- clang-tidy: ${#units[@]} files"
report=$(mktemp)
timings=$(mktemp)
trap 'rm -f "$report" "$timings"' EXIT
started=$SECONDS
status=0
# shellcheck disable=SC2016 # expanded by the inner shell
xargs -P"$(nproc)" -L1 bash -c '
    started=$SECONDS
    clang-tidy -p "$0" --quiet "$1" 2>/dev/null || status=$?
    echo "$((SECONDS - started)) $1" >>"'"$timings"'"
    exit "${status:-0}"' <<<"$ordered" >>"$report" || status=1
sort -nr "$timings" >"$seconds_file"
cat "$report"
slowest=$(head -n 3 "$seconds_file" | awk '{printf "%s%s %s s", (NR > 1 ? ", " : ""), $2, $1}')
if ((status)); then
    echo "clang-tidy: findings above ($((SECONDS - started)) s; slowest: $slowest)"
    exit 1
fi
echo "clang-tidy: no findings ($((SECONDS - started)) s; slowest: $slowest)"
