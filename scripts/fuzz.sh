#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/ and runs each from its committed seed corpus for a bounded time, two at a time.
# A finding fails the script and leaves its input in build-fuzz/artifacts/.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# Without SECONDS_PER_TARGET the targets share about two minutes of wall time: each added target
# makes every run shorter rather than the CI step longer.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-}"
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(converters line_model ini_file rates numbers rules statement_files categories)
fi
if [[ -z $seconds ]]; then
    budget=120
    rounds=$(((${#targets[@]} + 1) / 2))
    seconds=$((budget / rounds))
fi

cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target tallemo_fuzz

artifacts=build-fuzz/artifacts
mkdir -p "$artifacts"
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$PWD/fuzz/ubsan.supp"
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=C.UTF-8

# New inputs go to build-fuzz/corpus/TARGET; the committed seeds and the statement fixtures are
# read only.
run_target() {
    local target=$1
    local corpus=build-fuzz/corpus/$target
    local seeds=("fuzz/corpus/$target")
    [[ $target == line_model || $target == converters || $target == statement_files ]] &&
        seeds+=(tests/fixtures/*/)
    mkdir -p "$corpus"
    "build-fuzz/fuzz/fuzz_$target" "$corpus" "${seeds[@]}" \
        -dict="fuzz/dict/$target.dict" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
        >"build-fuzz/$target.log" 2>&1
}

# Two at a time, on CI's two cores.
failed=()
pids=()
names=()
for target in "${targets[@]}"; do
    run_target "$target" &
    pids+=($!)
    names+=("$target")
    if ((${#pids[@]} == 2)); then
        wait "${pids[0]}" || failed+=("${names[0]}")
        pids=("${pids[@]:1}")
        names=("${names[@]:1}")
    fi
done
for k in "${!pids[@]}"; do
    wait "${pids[$k]}" || failed+=("${names[$k]}")
done

for target in "${targets[@]}"; do
    log=build-fuzz/$target.log
    runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -o '[0-9]*$' || echo '?')
    speed=$(grep -oE 'stat::average_exec_per_sec: *[0-9]+' "$log" | grep -o '[0-9]*$' || echo '?')
    last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
    cov=$(grep -o 'cov: [0-9]*' <<<"$last" | grep -o '[0-9]*' || echo '?')
    ft=$(grep -o 'ft: [0-9]*' <<<"$last" | grep -o '[0-9]*' || echo '?')
    findings=$(find "$artifacts" -name "$target-*" | wc -l)
    echo "fuzz $target: $runs runs, $speed exec/s, cov $cov, ft $ft, $findings findings"
done

if ((${#failed[@]})); then
    for target in "${failed[@]}"; do
        echo "fuzz $target FAILED; its log is build-fuzz/$target.log:" >&2
        grep -E 'ERROR|runtime error|SUMMARY|Test unit written|differ|INI editor|rate client|reads|accepts' \
            "build-fuzz/$target.log" | head -20 >&2
    done
    exit 1
fi
