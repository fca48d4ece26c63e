#!/usr/bin/env bash
# Sets up a fresh machine, builds the command-line tool and runs its main job
# on the simulated writer: program a chip from a hex file, verify it in a
# second run, read it back into a new hex file and compare, then erase it.
# The simulated chip lives in a file between the runs, as a real one would
# stay in the socket.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target kvx3-cli
cli=build/default/bin/kvx3-cli
work=build/default/demo
mkdir -p "$work"
rm -f "$work/chip.sim"

run() {
    echo "\$ kvx3-cli $*"
    "$cli" "$@"
    echo
}

for pair in "PIC16F877A blink16f877a" "PIC18F452 blink18f452"; do
    set -- $pair
    device=$1
    sample=tests/fixtures/$2.hex
    chip="$work/$device.sim"
    rm -f "$chip"
    run -d "$device" --sim-chip "$chip" info
    run -d "$device" --sim-chip "$chip" program "$sample"
    run -d "$device" --sim-chip "$chip" verify "$sample"
    run -d "$device" --sim-chip "$chip" read "$work/$device-read.hex"
    run -d "$device" convert "$sample" "$work/$device-sample.hex"
    if cmp -s "$work/$device-read.hex" "$work/$device-sample.hex"; then
        echo "The hex file read back from the $device is the sample's image, byte for byte."
    else
        echo "The hex file read back from the $device differs from the sample's image." >&2
        exit 1
    fi
    echo
    run -d "$device" --sim-chip "$chip" erase
    run -d "$device" --sim-chip "$chip" blank-check
done
