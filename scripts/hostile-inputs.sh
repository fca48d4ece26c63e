#!/usr/bin/env bash
# Hands kvx3-cli what a hostile or unlucky user might: a folder, endless
# devices, a pipe, a link to a device and an oversized file as the hex file,
# the catalogue and the simulated chip's file; a catalogue entry with an
# absurd core width; a chip file that cannot be written. Prints one line per
# case: the exit status, the time taken and the tool's first error line.
# Every case must end within its time-out with status 2 (3 for the last two
# writer cases).
#
# Usage: scripts/hostile-inputs.sh [path to kvx3-cli]   (default build/ci/bin/kvx3-cli)
set -uo pipefail
cd "$(dirname "$0")/.."
cli="$(realpath "${1:-build/ci/bin/kvx3-cli}")"
fixture="$(realpath tests/fixtures/blink16f877a.hex)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/folder"
mkfifo "$work/fifo"
ln -s /dev/zero "$work/zero-link"
head -c $((16 * 1024 * 1024 + 1)) /dev/zero | tr '\0' '\n' >"$work/huge"
printf 'Wide\t1024:2147483647\t64\t[A][B][C]\t18\t0\t0\t0\t0\t2\t1\t1\t:\t-\t\n' >"$work/wide.txt"

failures=0
case_line() { # expected-status label args...
    local expected="$1" label="$2"
    shift 2
    local start end status first
    start=$(date +%s%N)
    status=$(cd "$work" && timeout 20 "$cli" "$@" >/dev/null 2>"$work/err"; echo $?)
    end=$(date +%s%N)
    first=$(grep -m1 -E 'error|warning' "$work/err" | cut -c1-110)
    printf '%-44s exit %-3s %6d ms  %s\n' "$label" "$status" $(((end - start) / 1000000)) "$first"
    if [ "$status" != "$expected" ]; then
        failures=$((failures + 1))
    fi
}

for what in folder /dev/zero /dev/urandom fifo zero-link huge; do
    path="$what"
    [[ "$what" != /* ]] && path="$work/$what"
    case_line 2 "hex file: $what" -d PIC16F877A --sim program "$path"
    case_line 2 "catalogue: $what" -l "$path" devices
    case_line 2 "simulated chip file: $what" -d PIC16F877A --sim-chip "$path" erase
done
case_line 0 "catalogue entry of core width 2^31-1" -l "$work/wide.txt" -d Wide show
case_line 2 "chip file in a folder that does not exist" -d PIC16F877A --sim-chip "$work/no/chip.sim" erase
case_line 3 "writer unplugged at packet 300" -d PIC16F877A --sim-fault unplug-after=300 program "$fixture"
case_line 3 "writer silent from packet 300" -d PIC16F877A --sim-fault mute-after=300 program "$fixture"
[ "$failures" -eq 0 ] || { echo "hostile-inputs: $failures case(s) ended otherwise than expected"; exit 1; }
