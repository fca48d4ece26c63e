#!/usr/bin/env bash
# Sets up a fresh machine, builds the command-line tool and runs its main job
# on the shipped catalogue and a sample hex file.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target kvx3-cli
cli=build/default/bin/kvx3-cli
sample=tests/fixtures/blink16f877a.hex
set -x
"$cli" devices
"$cli" -d PIC16F877A show "$sample"
"$cli" -d PIC16F877A convert "$sample" build/default/blink16f877a-converted.hex
