#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (run as root, or
# with sudo available). Does nothing when they are all there already.
set -euo pipefail

# umockdev: the libusb link's tests (label usb) run against a writer emulated
# on a private USB bus; without it they skip and say so.
packages=(build-essential cmake pkg-config libgtest-dev libgmock-dev libcli11-dev libusb-1.0-0-dev
          umockdev libumockdev-dev)
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
