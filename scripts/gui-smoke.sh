#!/usr/bin/env bash
# The window on a real X server: starts kvx3-sim under a private Xvfb with a
# fresh home, waits for the window titled "Kavex3", takes a screenshot of the
# screen, closes the window with Escape, waits for the program to end, and
# checks that it wrote its settings file.
#
#   scripts/gui-smoke.sh BUILD_DIR
#
# The screenshots are BUILD_DIR/screenshots/gui-smoke-kvx3-sim.png (the
# screen) and gui-smoke-kvx3-sim-window.png (the window alone). Needs xvfb,
# xauth, xdotool and imagemagick (import). Each wait is bounded:
# KVX3_SMOKE_TIMEOUT seconds (default 20) for the window and again for the
# program to end. Exits 0 when every step passed, 1 when one failed, 2 when it
# cannot run; each failure is one line beginning with FAIL.
set -uo pipefail

usage() {
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
}

if [ "${1:-}" != "--under-x" ]; then
    [ $# -eq 1 ] || usage
    [ -d "$1" ] || {
        echo "FAIL: $1 is not a build folder" >&2
        exit 2
    }
    build=$(cd "$1" && pwd)
    if [ ! -x "$build/bin/kvx3-sim" ]; then
        echo "FAIL: $build/bin/kvx3-sim is missing: build the target kvx3-sim first (it needs Qt 6)"
        exit 1
    fi
    missing=()
    for tool in xvfb-run xauth xdotool import timeout flock; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    if [ ${#missing[@]} -ne 0 ]; then
        echo "FAIL: missing tools: ${missing[*]} (scripts/install-deps.sh installs them)"
        exit 2
    fi
    # A server of its own on a free display; the screen is larger than the
    # window so that nothing of it is cut off in the screenshot. xvfb-run's
    # search for a free display races with another run starting or ending at
    # the same moment (a client then reaches the other run's server and is
    # refused), so runs of this script take turns, and the search starts at
    # a random number, away from other programs' servers.
    lock="${TMPDIR:-/tmp}/kvx3-gui-smoke.lock"
    flock -w 300 -E 75 "$lock" \
        xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24 -nolisten tcp" \
        bash "$0" --under-x "$build"
    status=$?
    if [ "$status" -eq 75 ]; then
        echo "FAIL: another run of this script held $lock for 300 s"
    elif [ "$status" -gt 2 ]; then
        echo "FAIL: xvfb-run ended with status $status (the X server did not start or stop cleanly)"
    fi
    exit "$status"
fi

build=$2
program="$build/bin/kvx3-sim"
timeout_s=${KVX3_SMOKE_TIMEOUT:-20}
case "$timeout_s" in
'' | *[!0-9]*) usage ;;
esac

# A home of its own: the settings and the simulated chips land here, and
# nothing of the user's is read or changed.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kvx3-smoke.XXXXXX")
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data"
export XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
log="$scratch/kvx3-sim.log"
pid=

finish() { # STATUS
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null
        sleep 1
        kill -9 "$pid" 2>/dev/null
    fi
    if [ "$1" -ne 0 ] && [ -s "$log" ]; then
        echo "--- what kvx3-sim wrote (last lines):"
        tail -n 20 "$log"
    fi
    rm -rf "$scratch"
    exit "$1"
}

"$program" >"$log" 2>&1 &
pid=$!

# ------------------------------------------------------------ the window
window=
for ((i = 0; i < timeout_s * 4; i++)); do
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        echo "FAIL: kvx3-sim ended (status $?) before its window titled \"Kavex3\" appeared"
        pid=
        finish 1
    fi
    window=$(xdotool search --onlyvisible --name '^Kavex3$' 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    sleep 0.25
done
if [ -z "$window" ]; then
    echo "FAIL: no window titled \"Kavex3\" appeared within ${timeout_s} s"
    finish 1
fi
echo "ok: window \"Kavex3\" is up (id $window)"

# Let the first paint and the first timer ticks happen before the picture.
sleep 1
mkdir -p "$build/screenshots"
shot="$build/screenshots/gui-smoke-kvx3-sim.png"
rm -f "$shot"
if timeout 20 import -window root "$shot" 2>"$scratch/import.err" && [ -s "$shot" ]; then
    echo "ok: screenshot $shot"
else
    echo "FAIL: import could not take the screenshot: $(cat "$scratch/import.err")"
    finish 1
fi
# The window alone too, as a picture for the documentation.
window_shot="$build/screenshots/gui-smoke-kvx3-sim-window.png"
rm -f "$window_shot"
if timeout 20 import -window "$window" "$window_shot" 2>"$scratch/import.err" && [ -s "$window_shot" ]; then
    echo "ok: screenshot $window_shot"
else
    echo "FAIL: import could not take the window's screenshot: $(cat "$scratch/import.err")"
    finish 1
fi

# ------------------------------------------------------------ Escape closes it
# There is no window manager to give the window the focus, so it is set
# directly. The key goes to the window first; the press alone may close it,
# so xdotool failing to deliver the release to a window that is gone says
# nothing. Should the program not take a key sent to its window, Escape is
# pressed again as a real key (XTEST) into the window that has the focus.
ended_within() { # SECONDS: true once the program has ended
    local i
    for ((i = 0; i < $1 * 4; i++)); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.25
    done
    return 1
}
timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null || timeout 5 xdotool windowfocus "$window" 2>/dev/null
timeout 5 xdotool key --window "$window" Escape 2>/dev/null
if ended_within 2; then
    how="a key sent to the window"
else
    timeout 5 xdotool key Escape 2>/dev/null
    how="a key pressed in the focused window"
    if ! ended_within "$timeout_s"; then
        echo "FAIL: kvx3-sim did not end within ${timeout_s} s after Escape"
        finish 1
    fi
fi
wait "$pid"
status=$?
pid=
if [ "$status" -ne 0 ]; then
    echo "FAIL: kvx3-sim ended with status $status after Escape"
    finish 1
fi
echo "ok: Escape ($how) closed the window and kvx3-sim ended with status 0"

# ------------------------------------------------------------ the settings
# One file per program, named after the executable, below the company folder.
settings="$XDG_CONFIG_HOME/Quorvane/kvx3-sim.conf"
if [ ! -s "$settings" ]; then
    echo "FAIL: kvx3-sim wrote no settings file $settings:" \
        "$(cd "$scratch" && find . -type f | grep -v '^./kvx3-sim.log$' | tr '\n' ' ')"
    finish 1
fi
if ! grep -qiF 'Quorvane\kvx3-sim' "$settings"; then
    echo "FAIL: the settings file holds no key of kvx3-sim: $(head -c 300 "$settings")"
    finish 1
fi
echo "ok: settings written to \$XDG_CONFIG_HOME/Quorvane/kvx3-sim.conf ($(wc -c <"$settings") bytes)"
echo "gui-smoke: every step passed"
finish 0
