#!/usr/bin/env bash
# Sets up a fresh machine, builds with warnings as errors and runs every test.
# Usage: scripts/test.sh [preset]   (default preset: ci)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-ci}"
scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j"$(nproc)"
ctest --preset "$preset" -j"$(nproc)"
