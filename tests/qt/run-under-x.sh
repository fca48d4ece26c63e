#!/usr/bin/env bash
# Runs a window test on a private X server, so that the window meets a real
# display server (its windows, events, fonts and clipboard): xvfb-run on a
# free display with QT_QPA_PLATFORM=xcb. Where xvfb-run, xauth or flock is
# missing the test runs on Qt's offscreen platform instead, and says so.
#
#   run-under-x.sh PROGRAM [ARGUMENTS...]
#
# xvfb-run's search for a free display races with another server starting at
# the same moment, so runs take turns with scripts/gui-smoke.sh under its
# lock, and the search starts at a random display. Exits with the program's
# status, or 75 when the lock was held for 300 s.
set -uo pipefail
[ $# -ge 1 ] || {
    echo "usage: $0 PROGRAM [ARGUMENTS...]" >&2
    exit 2
}
missing=()
for tool in xvfb-run xauth flock; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -ne 0 ]; then
    echo "no private X server (missing: ${missing[*]}): the window runs on the offscreen platform"
    QT_QPA_PLATFORM=offscreen exec "$@"
fi
lock="${TMPDIR:-/tmp}/kvx3-gui-smoke.lock"
QT_QPA_PLATFORM=xcb exec flock -w 300 -E 75 "$lock" \
    xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
