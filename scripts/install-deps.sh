#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (run as root, or
# with sudo available). Does nothing when they are all there already.
set -euo pipefail

# umockdev: the libusb link's tests (label usb) run against a writer emulated
# on a private USB bus; without it they skip and say so. Qt 6 and a Japanese
# gothic: the window programs and their GUI tests (label gui).
packages=(build-essential cmake pkg-config libgtest-dev libgmock-dev libcli11-dev libusb-1.0-0-dev
          umockdev libumockdev-dev qt6-base-dev fonts-ipafont-gothic)
# The installed layout and the Debian package (scripts/check-desktop.sh,
# scripts/package.sh), and the window on a real X server
# (scripts/gui-smoke.sh) with a font for its Japanese texts.
packages+=(desktop-file-utils appstream man-db dpkg-dev file imagemagick xvfb xauth xdotool x11-utils)
# The source checks (scripts/check-source.sh, scripts/tidy.sh), the
# fuzzing build with clang (scripts/fuzz.sh) and
# the benchmark suite (scripts/bench.sh).
packages+=(clang-format clang-tidy clang libclang-rt-14-dev libbenchmark-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
