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
# parsed with the compile commands of the build that compiles it: the fuzz targets are clang's,
# in build-fuzz. The tests are read in batches (scripts/lint-units.py says why).
units=()
mapfile -t units < <(python3 scripts/lint-units.py "$build" $(git ls-files '*.cpp' | grep -v '^fuzz/'))
if [[ -f build-fuzz/compile_commands.json ]]; then
    while read -r file; do
        units+=("build-fuzz $file")
    done < <(git ls-files 'fuzz/*.cpp')
fi

# Longest first, so that no long unit starts last while the other core has nothing left to do:
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
    read -r _ file members <<<"$unit"
    size=0
    for member in $file $members; do
        [[ -f $member ]] && size=$((size + $(stat -c %s "$member")))
    done
    echo "${last_seconds[$file]:-0} $size $unit"
done | sort -k1,1nr -k2,2nr | cut -d' ' -f3-)

echo "--- clang-tidy: ${#units[@]} units"
report=$(mktemp)
timings=$(mktemp)
trap 'rm -f "$report" "$timings"' EXIT
started=$SECONDS
status=0
# A batch with a finding or one that does not compile (its files clash) is read again file by
# file, and only those reports count: they name each finding's own file and never a clash.
# shellcheck disable=SC2016 # expanded by the inner shell
xargs -P"$(nproc)" -L1 bash -c '
    started=$SECONDS
    database=$0 file=$1
    shift 2
    if ! output=$(clang-tidy -p "$database" --quiet "$file" 2>/dev/null); then
        if (($# == 0)); then
            printf "%s\n" "$output"
            status=1
        else
            for member in "$@"; do
                clang-tidy -p "'"$build/lint-db"'" --quiet "$member" 2>/dev/null || status=$?
            done
        fi
    fi
    echo "$((SECONDS - started)) $file" >>"'"$timings"'"
    exit "${status:-0}"' <<<"$ordered" >>"$report" || status=1
sort -nr "$timings" >"$seconds_file"
cat "$report"
slowest=$(head -n 3 "$seconds_file" | awk '{printf "%s%s %s s", (NR > 1 ? ", " : ""), $2, $1}')
if ((status)); then
    echo "clang-tidy: findings above ($((SECONDS - started)) s; slowest: $slowest)"
    exit 1
fi
echo "clang-tidy: no findings ($((SECONDS - started)) s; slowest: $slowest)"
