#!/usr/bin/env bash
# The window's figures: start-up time to the first painted frame, CPU while
# idle, and resident memory, for one window program run offscreen.
#
# Usage: scripts/bench-window.sh [--seconds N] [--label TEXT] -- COMMAND [ARGS...]
#   COMMAND   the window program with its arguments, e.g. the build's window
#             program alone (no writer attached) or with the simulated writer
#             chosen; run the script once for each.
#   --seconds how long the idle CPU is measured (default 10, at least 10).
#   --label   a name for the result line (default: the command).
#
# The start-up time needs the window's help: when the environment names
# KVX3_FIRST_PAINT_FILE, the window program writes into that file, once, the
# wall-clock time of its first painted frame in nanoseconds since the epoch
# (the same clock as `date +%s%N`). Without that mark the start-up time is
# reported as unknown and the other figures are still taken.
#
# The result is one Markdown table row on stdout:
#   | label | start-up ms | idle CPU % of a core | RSS MiB | peak RSS MiB |
set -euo pipefail

seconds=10
label=""
while [ $# -gt 0 ]; do
    case "$1" in
    --seconds)
        seconds=$2
        shift 2
        ;;
    --label)
        label=$2
        shift 2
        ;;
    --)
        shift
        break
        ;;
    *)
        echo "usage: $0 [--seconds N] [--label TEXT] -- COMMAND [ARGS...]" >&2
        exit 2
        ;;
    esac
done
if [ $# -eq 0 ]; then
    echo "usage: $0 [--seconds N] [--label TEXT] -- COMMAND [ARGS...]" >&2
    exit 2
fi
if [ "$seconds" -lt 10 ]; then
    seconds=10
fi
[ -n "$label" ] || label="$*"

work=$(mktemp -d)
mark="$work/first-paint"
pid=""
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The window's settings and simulated chips go to a folder of this run only.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export QT_QPA_PLATFORM=offscreen KVX3_FIRST_PAINT_FILE="$mark"
start=$(date +%s%N)
"$@" >"$work/out" 2>&1 &
pid=$!

# Up to 30 s for the first frame.
startup="unknown"
for _ in $(seq 300); do
    if [ -s "$mark" ]; then
        painted=$(head -c 32 "$mark" | tr -cd '0-9')
        if [ -n "$painted" ]; then
            startup=$(((painted - start) / 1000000))
        fi
        break
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "the window program ended before it was measured:" >&2
        cat "$work/out" >&2
        exit 1
    fi
    sleep 0.1
done

# Idle: the start-up's own work is left to settle first.
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$seconds"
if ! kill -0 "$pid" 2>/dev/null; then
    echo "the window program ended while it was measured" >&2
    exit 1
fi
after=$(ticks)
rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
peak=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
cpu=$(awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" 'BEGIN {printf "%.2f", 100 * t / hz / s}')

printf '| %s | %s | %s | %.1f | %.1f |\n' "$label" "$startup" "$cpu" \
    "$(awk -v k="$rss" 'BEGIN {print k / 1024}')" "$(awk -v k="$peak" 'BEGIN {print k / 1024}')"
