#!/usr/bin/env bash
# The Windows build, made and run on Linux: cross-builds the core, the tests
# and kvx3-cli.exe with MinGW-w64 (preset windows-cross, warnings are errors)
# and runs them under Wine: every test program, then the command-line tool's
# main job on the simulated writer with both sample hex files, each step in a
# process of its own so that the simulated chip is saved and read back
# between them.
#
# Usage: scripts/windows.sh            (run as root, or with sudo)
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

# --- packages (Debian 12): the cross compiler with posix threads, Wine, and
# the sources and headers the cross build takes from Debian's own packages.
packages=(cmake make g++-mingw-w64-x86-64-posix wine64 wine googletest libcli11-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update
    $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# --- build
cmake --preset windows-cross >/dev/null
cmake --build --preset windows-cross -j"$(nproc)"
built=$(date +%s)

build=build/windows-cross
bin=$build/bin

# --- Wine: a prefix of our own, and one server kept running for the whole
# run; without it every program start would boot Wine anew.
export WINEPREFIX="$PWD/$build/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no .NET or browser engine to install
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
# Wine's own services start with the first program and keep its output
# open; started here, they hold /dev/null instead of a test's log.
wine wineboot --init >/dev/null 2>&1
booted=$(date +%s)

# --- every test program, once each
failures=0
for exe in "$bin"/*_tests.exe; do
    name=$(basename "$exe" .exe)
    if wine "$exe" --gtest_brief=1 >"$build/$name.log" 2>&1; then
        ran=$(grep -Eo '[0-9]+ tests? from [0-9]+ test suites? ran' "$build/$name.log" | head -1 || true)
        skipped=$(grep -Eo 'SKIPPED \] [0-9]+ tests?' "$build/$name.log" | grep -Eo '[0-9]+ tests?' | head -1 || true)
        echo "PASS $name ($ran${skipped:+, $skipped skipped})"
    else
        echo "FAIL $name"
        cat "$build/$name.log"
        failures=$((failures + 1))
    fi
done
tested=$(date +%s)

# --- the tool's main job on the simulated writer. Windows paths throughout,
# and a sample under a Japanese name, so that the command line, the files and
# the console all carry UTF-8.
work=$build/cli-run
rm -rf "$work"
mkdir -p "$work"
win() { winepath -w "$1"; }
cli() {
    echo "\$ kvx3-cli.exe $*"
    wine "$bin/kvx3-cli.exe" "$@"
}
for pair in "PIC16F877A blink16f877a" "PIC18F452 blink18f452"; do
    set -- $pair
    device=$1
    sample="$work/点滅-$2.hex"
    cp "tests/fixtures/$2.hex" "$sample"
    chip=$(win "$work/$device.sim")
    cli -d "$device" --sim-chip "$chip" program "$(win "$sample")"
    cli -d "$device" --sim-chip "$chip" verify "$(win "$sample")"
    cli -d "$device" --sim-chip "$chip" read "$(win "$work/$device-read.hex")"
    # The second read replaces the file the first one wrote.
    cli -d "$device" --sim-chip "$chip" read "$(win "$work/$device-read.hex")"
    cli -d "$device" convert "$(win "$sample")" "$(win "$work/$device-sample.hex")"
    if ! cmp -s "$work/$device-read.hex" "$work/$device-sample.hex"; then
        echo "The hex file read back from the $device differs from the sample's image." >&2
        failures=$((failures + 1))
    fi
done
finished=$(date +%s)

echo "windows: build $((built - started)) s, Wine start $((booted - built)) s," \
    "tests $((tested - booted)) s, kvx3-cli.exe $((finished - tested)) s; total $((finished - started)) s"
if [ "$failures" -gt 0 ]; then
    echo "windows: $failures failure(s)" >&2
    exit 1
fi
