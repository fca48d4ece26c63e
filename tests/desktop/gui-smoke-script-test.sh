#!/usr/bin/env bash
# The X smoke script against stand-ins for kvx3-sim: it passes a window that
# behaves, and names the failure of each one that does not, within its
# bounded waits.
#
#   gui-smoke-script-test.sh SOURCE_DIR
#
# Exits 77 (skipped) when the X tools are not installed.
set -uo pipefail
source_dir=$1
script="$source_dir/scripts/gui-smoke.sh"
for tool in xvfb-run xauth xdotool import xmessage; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kvx3-smoke-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
passed=0
failed=0

# A build folder whose bin/kvx3-sim is the stand-in in MODE.
fake_build() { # MODE
    local dir="$scratch/$1"
    mkdir -p "$dir/bin"
    cp "$source_dir/tests/desktop/fake-kvx3-sim.sh" "$dir/bin/kvx3-sim"
    chmod +x "$dir/bin/kvx3-sim"
    echo "$1" >"$dir/bin/fake-mode"
    echo "$dir"
}

# expect NAME WANTED_STATUS PATTERN BUILD: runs the script, checks its exit
# status and that a line of its output matches PATTERN.
expect() {
    local name=$1 want=$2 pattern=$3 build=$4 out status
    out=$(KVX3_SMOKE_TIMEOUT=4 timeout 120 "$script" "$build" 2>&1)
    status=$?
    if [ "$status" -eq "$want" ] && printf '%s\n' "$out" | grep -qE -- "$pattern"; then
        passed=$((passed + 1))
        echo "ok: $name"
    else
        failed=$((failed + 1))
        echo "FAIL: $name: status $status (want $want), output:"
        printf '%s\n' "$out" | sed 's/^/    /'
    fi
}

empty="$scratch/empty"
mkdir -p "$empty"
expect "a build without kvx3-sim" 1 "^FAIL: .*kvx3-sim is missing" "$empty"
expect "no build folder at all" 2 "^FAIL: .* is not a build folder" "$scratch/nowhere"

good=$(fake_build good)
expect "a window that behaves" 0 "^gui-smoke: every step passed" "$good"
shot="$good/screenshots/gui-smoke-kvx3-sim.png"
if [ -s "$shot" ] && [ "$(identify -format '%wx%h' "$shot" 2>/dev/null)" = "1280x1024" ]; then
    passed=$((passed + 1))
    echo "ok: the screenshot is a picture of the whole screen"
else
    failed=$((failed + 1))
    echo "FAIL: no 1280x1024 screenshot at $shot"
fi

expect "a program that ends before its window" 1 "^FAIL: kvx3-sim ended \(status 3\) before its window" \
    "$(fake_build crash)"
expect "a window of another title" 1 "^FAIL: no window titled \"Kavex3\" appeared within 4 s" \
    "$(fake_build other-title)"
expect "a window that Escape does not close" 1 "^FAIL: kvx3-sim did not end within 4 s after Escape" \
    "$(fake_build deaf)"
expect "no settings written" 1 "^FAIL: kvx3-sim wrote no settings file" "$(fake_build no-settings)"
expect "a failing exit status" 1 "^FAIL: kvx3-sim ended with status 1 after Escape" "$(fake_build bad-status)"

# The stand-in that Escape does not close is not left running.
if pgrep -f "$scratch/deaf/bin/kvx3-sim" >/dev/null; then
    failed=$((failed + 1))
    echo "FAIL: the stand-in that ignored Escape is still running"
else
    passed=$((passed + 1))
    echo "ok: nothing is left running"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
