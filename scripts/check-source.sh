#!/usr/bin/env bash
# Checks the rules the compiler cannot: includes only point down the layers,
# Qt and libusb stay in their corners, POSIX and Windows headers stay behind
# the platform layer, and every source is formatted. Prints one line per breach and exits 1
# when there is any.
#
# Usage: scripts/check-source.sh [--no-format]
set -uo pipefail
cd "$(dirname "$0")/.."

check_format=1
[ "${1:-}" = "--no-format" ] && check_format=0

failures=0
fail() {
    echo "$1"
    failures=$((failures + 1))
}

# The project folders a layer may include from (besides its own). Arrows point
# down only: front ends -> ops, settings -> writer -> image -> device, all of
# them over platform. The simulator sits beside the writer and reaches it only
# through the USB link interface (checked separately below).
allowed_for() {
    case "$1" in
    platform) echo "platform" ;;
    device) echo "device platform" ;;
    image) echo "image device platform" ;;
    writer) echo "writer image device platform" ;;
    sim) echo "sim writer device platform" ;;
    settings) echo "settings platform" ;;
    ops) echo "ops writer sim image device settings platform" ;;
    ui) echo "ui ops writer sim image device settings platform" ;;
    cli | app) echo "cli app ui ops writer sim image device settings platform" ;;
    *) echo "*" ;; # tests, bench, fuzz: anything
    esac
}

layer_of() {
    local path="$1"
    case "$path" in
    ui/qt/*) echo "app" ;; # the Qt host is a front end
    */*) echo "${path%%/*}" ;;
    *) echo "top" ;;
    esac
}

mapfile -t sources < <(git ls-files '*.h' '*.hpp' '*.cpp' '*.cc')

for file in "${sources[@]}"; do
    layer=$(layer_of "$file")
    allowed=$(allowed_for "$layer")

    # Project includes: "dir/...".
    while IFS=: read -r line target; do
        [ -z "$target" ] && continue
        dir="${target%%/*}"
        [ "$dir" = "$target" ] && continue # a file of the same folder
        if [ "$allowed" != "*" ] && ! [[ " $allowed " == *" $dir "* ]]; then
            fail "$file:$line: includes \"$target\": $layer may not reach up to $dir"
        fi
        if [ "$layer" = "sim" ] && [ "$dir" = "writer" ] && [[ "$target" != writer/usb_link/UsbLink.h ]]; then
            fail "$file:$line: includes \"$target\": the simulator reaches the writer only through writer/usb_link/UsbLink.h"
        fi
    done < <(grep -nE '^\s*#\s*include\s+"' "$file" | sed -E 's/^([0-9]+):\s*#\s*include\s+"([^"]+)".*/\1:\2/')

    # Qt only in the Qt host and the application (and the window's benchmark).
    case "$file" in
    ui/qt/* | app/* | tests/qt/* | bench/WindowBench.cpp) ;;
    *)
        grep -nE '^\s*#\s*include\s+<Q[A-Za-z]+(/|>)' "$file" | while IFS=: read -r line _; do
            echo "$file:$line: includes Qt outside ui/qt/ and app/"
        done | grep . && failures=$((failures + 1))
        ;;
    esac

    # libusb only at the USB boundary (and in the tests of that boundary).
    case "$file" in
    writer/usb_link/* | tests/usb/*) ;;
    *)
        grep -nE '^\s*#\s*include\s+[<"](libusb-1.0/)?libusb\.h[>"]' "$file" | while IFS=: read -r line _; do
            echo "$file:$line: includes libusb outside writer/usb_link/"
        done | grep . && failures=$((failures + 1))
        ;;
    esac

    # POSIX-only headers only behind the platform layer, so that the core and
    # the command-line tool build for Windows too. The USB backends, tests,
    # benchmarks and fuzz targets are platform-specific by nature.
    case "$file" in
    platform/* | writer/usb_link/* | tests/* | bench/* | fuzz/*) ;;
    *)
        grep -nE '^\s*#\s*include\s+<(unistd\.h|fcntl\.h|dirent\.h|pwd\.h|libgen\.h|dlfcn\.h|poll\.h|pthread\.h|iconv\.h|termios\.h|sys/[a-z_]+\.h)>' "$file" |
            while IFS=: read -r line _; do
                echo "$file:$line: POSIX-only header outside platform/"
            done | grep . && failures=$((failures + 1))
        ;;
    esac

    # Windows headers likewise: the platform layer, the USB backends and the
    # registry store are the system-specific parts.
    case "$file" in
    platform/* | writer/usb_link/* | settings/RegistryStore.* | tests/* | bench/* | fuzz/*) ;;
    *)
        grep -nE '^\s*#\s*include\s+<(windows|winreg|winbase|shellapi|setupapi|winusb|cfgmgr32|timeapi|mmsystem|io)\.h>' "$file" |
            while IFS=: read -r line _; do
                echo "$file:$line: Windows header outside platform/"
            done | grep . && failures=$((failures + 1))
        ;;
    esac
done

if [ "$check_format" = 1 ]; then
    if ! command -v clang-format >/dev/null; then
        fail "clang-format is not installed"
    else
        unformatted=$(clang-format --dry-run "${sources[@]}" 2>&1 | grep -oE '^[^:]+:[0-9]+:[0-9]+: (warning|error)' |
            cut -d: -f1 | sort -u)
        for file in $unformatted; do
            fail "$file: not formatted (clang-format -i $file)"
        done
    fi
fi

if [ "$failures" -gt 0 ]; then
    echo "check-source: $failures problem(s)"
    exit 1
fi
echo "check-source: clean (${#sources[@]} files)"
