#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while on the
# seed corpus (the shipped catalogue and the assembler-made hex files).
# Usage: scripts/fuzz.sh [seconds per target]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
scripts/install-deps.sh
if ! command -v clang++ >/dev/null || ! dpkg-query -W libclang-rt-14-dev >/dev/null 2>&1; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi
build=build/fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKVX3_FUZZ=ON -DKVX3_BUILD_TESTS=OFF -DKVX3_SANITIZE=address,undefined >/dev/null
cmake --build "$build" -j"$(nproc)" --target FuzzHexFile FuzzDeviceList
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/hex" "$work/list"
cp tests/fixtures/*.hex "$work/hex/"
cp data/PicDeviceList3.txt "$work/list/"
"$build/bin/FuzzHexFile" "$work/hex" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 2>&1 | tail -3
"$build/bin/FuzzDeviceList" "$work/list" -max_total_time="$seconds" -print_final_stats=1 2>&1 | tail -3
