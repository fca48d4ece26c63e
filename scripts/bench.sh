#!/usr/bin/env bash
# Builds the benchmark suite in a Release tree (build/bench) and runs it.
# Usage: scripts/bench.sh [--smoke] [Google Benchmark options...]
#   (no option)  every benchmark: the hex reader and writer, the host's cost
#                per packet, Program of five devices with and without blank
#                areas left alone against the chip's bound, and every
#                catalogue entry; then the dump texts where they are built.
#                Last, where the window programs are built, the window's
#                start-up time, idle CPU and memory (kvx3_window_bench: the
#                window offscreen with no writer and with the simulated one,
#                10 s idle each), unless a --benchmark_filter picks cases.
#   --smoke      CI: build (in build/ci when the tests were built there), then
#                run each kind of benchmark once, briefly, so that the suite
#                cannot rot unnoticed (a few seconds; the window idles 1 s).
# Options after it go to the Google Benchmark programs, e.g.
#   scripts/bench.sh --benchmark_filter='Program/PIC16F877A'
set -euo pipefail
cd "$(dirname "$0")/.."

smoke=0
if [ "${1:-}" = "--smoke" ]; then
    smoke=1
    shift
fi

scripts/install-deps.sh
if ! dpkg-query -W -f='${Status}' libbenchmark-dev 2>/dev/null | grep -q "install ok installed"; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update
    $sudo apt-get install -y --no-install-recommends libbenchmark-dev
fi

if [ "$smoke" -eq 1 ] && [ -f build/ci/CMakeCache.txt ]; then
    # The tree the tests were just built in: only the benchmarks' own sources
    # are compiled (with warnings as errors), the libraries are there.
    build=build/ci
    cmake -S . -B "$build" -DKVX3_BENCH=ON >/dev/null
else
    build=build/bench
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKVX3_BENCH=ON -DKVX3_BUILD_TESTS=OFF >/dev/null
fi
targets=(kvx3_bench)
if [ -f bench/DumpBench.cpp ]; then
    targets+=(kvx3_dump_bench)
fi
# The window's benchmark exists where the window programs are built (Qt 6).
window=0
if [ -f "$build/bench/window-bench" ]; then
    window=1
    targets+=(kvx3_window_bench)
    # In the test tree its own tests come along (the test run before did
    # not have the benchmarks configured).
    if [ "$smoke" -eq 1 ] && grep -q '^KVX3_BUILD_TESTS:BOOL=ON' "$build/CMakeCache.txt"; then
        targets+=(window_figures_tests)
    fi
fi
cmake --build "$build" --target "${targets[@]}" -j"$(nproc)"

if [ "$smoke" -eq 1 ]; then
    # One case of each kind, each run as short as Google Benchmark allows.
    filter='^(BM_LoadHex|BM_SaveHex|BM_ReadRecords|BM_FormatImage)/pic18|^OverSim/read_PIC16F877A|^OverNull/read_PIC16F877A|^Program/PIC16F877A/blink/|^Program/PIC18F452/blink/skip'
    "$build/bin/kvx3_bench" --benchmark_filter="$filter" --benchmark_min_time=0.01 "$@"
    if [ -x "$build/bin/kvx3_dump_bench" ]; then
        "$build/bin/kvx3_dump_bench" --benchmark_min_time=0.01 "$@"
    fi
    if [ "$window" -eq 1 ]; then
        if [ -x "$build/bin/window_figures_tests" ]; then
            "$build/bin/window_figures_tests" --gtest_brief=1
        fi
        "$build/bin/kvx3_window_bench" --idle-seconds 1 --settle-seconds 0
    fi
    exit 0
fi

echo "== machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
"$build/bin/kvx3_bench" "$@"
if [ -x "$build/bin/kvx3_dump_bench" ]; then
    "$build/bin/kvx3_dump_bench" "$@"
fi
filtered=0
for option in "$@"; do
    if [[ "$option" == --benchmark_filter=* ]]; then
        filtered=1
    fi
done
if [ "$window" -eq 1 ] && [ "$filtered" -eq 0 ]; then
    echo "== the window, offscreen"
    "$build/bin/kvx3_window_bench"
fi
