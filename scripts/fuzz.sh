#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (the libraries instrumented for
# coverage, with AddressSanitizer and UndefinedBehaviorSanitizer) and runs
# each for a while, two at a time, from its seed corpus in fuzz/corpus.
# Any finding (a crash, a failed check, a sanitizer report, a hang, a leak)
# is copied to fuzz/regressions/<target>/, where the ordinary test build
# replays it from then on, and makes the script fail. Prints, per target, the
# executions, the coverage points and features reached, and the corpus size.
#
# Usage: scripts/fuzz.sh [seconds per target] [target...]   (default 60, all)
# The new inputs a run finds stay in build/fuzz/corpus (not in the repository).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(FuzzHexFile FuzzDeviceList FuzzSettings FuzzSimPackets FuzzChipFile)

scripts/install-deps.sh
if ! command -v clang++ >/dev/null || ! dpkg-query -W libclang-rt-14-dev >/dev/null 2>&1; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi
# KVX3_FUZZ_BUILD names a tree that is already configured for fuzzing; by
# default an optimised tree of its own.
build="${KVX3_FUZZ_BUILD:-build/fuzz}"
if [ -z "${KVX3_FUZZ_BUILD:-}" ]; then
    cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DKVX3_FUZZ=ON -DKVX3_BUILD_TESTS=OFF -DKVX3_SANITIZE=address,undefined >/dev/null
elif ! grep -q "^KVX3_FUZZ:BOOL=ON" "$build/CMakeCache.txt" 2>/dev/null; then
    echo "fuzz: $build is not configured with KVX3_FUZZ=ON" >&2
    exit 2
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

# The longest input each target is given: room for its largest seed.
max_len() {
    case "$1" in
    FuzzChipFile) echo 8192 ;;
    *) echo 4096 ;;
    esac
}

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
run() {
    local target="$1"
    local corpus="$build/corpus/$target" artifacts="$build/artifacts/$target/"
    mkdir -p "$corpus" "$artifacts"
    # New inputs go to the first folder; the repository's seeds are read only.
    set +e
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=1 \
        "$build/bin/$target" "$corpus" "fuzz/corpus/$target" -max_total_time="$seconds" \
        -max_len="$(max_len "$target")" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts" >"$results/$target.log" 2>&1
    echo $? >"$results/$target.status"
    set -e
}

# Two at a time: one per core.
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    run "${targets[i]}" &
    if ((i + 1 < ${#targets[@]})); then
        run "${targets[i + 1]}" &
    fi
    wait
done

failed=0
printf '%-16s %12s %8s %8s %8s  %s\n' target executions cov ft corpus result
for target in "${targets[@]}"; do
    log="$results/$target.log"
    status=$(cat "$results/$target.status")
    execs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' | tail -1)
    last=$(grep -E '^#[0-9]+' "$log" | tail -1)
    cov=$(grep -oE 'cov: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || true)
    ft=$(grep -oE 'ft: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || true)
    units=$(grep -oE 'corp: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || true)
    result=ok
    if [ "$status" -ne 0 ]; then
        result="FINDING (exit $status)"
        failed=1
        mkdir -p "fuzz/regressions/$target"
        for artifact in "$build/artifacts/$target/"*; do
            [ -f "$artifact" ] && cp "$artifact" "fuzz/regressions/$target/"
        done
        echo "---- $target" >&2
        grep -E 'ERROR|SUMMARY|fuzz check failed|runtime error|==[0-9]+==' "$log" | head -20 >&2 || true
    fi
    printf '%-16s %12s %8s %8s %8s  %s\n' "$target" "${execs:-?}" "${cov:-?}" "${ft:-?}" "${units:-?}" "$result"
done
if [ "$failed" -ne 0 ]; then
    echo "fuzz: findings kept in fuzz/regressions/ (replayed by fuzz_replay_tests)" >&2
    exit 1
fi
