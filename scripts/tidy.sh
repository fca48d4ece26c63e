#!/usr/bin/env bash
# Runs clang-tidy (the checks of .clang-tidy) over the sources of the layers a
# change touched, with the compile commands of a configured build, and fails on
# any finding.
#
# Usage: scripts/tidy.sh BUILD_DIR [LAYER...]
# Without layers: the layers changed since the merge base with origin/main
# when there is such a branch, otherwise every layer.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:?usage: scripts/tidy.sh BUILD_DIR [LAYER...]}"
shift
all_layers=(platform device image writer sim settings ops ui app cli)

if [ $# -gt 0 ]; then
    layers=("$@")
elif base=$(git merge-base HEAD origin/main 2>/dev/null) && [ "$base" != "$(git rev-parse HEAD)" ]; then
    mapfile -t layers < <(git diff --name-only "$base" HEAD -- "${all_layers[@]/%//}" | cut -d/ -f1 | sort -u)
else
    layers=("${all_layers[@]}")
fi

files=()
for layer in "${layers[@]}"; do
    [ -d "$layer" ] || continue
    # The Qt host is checked with its own build's flags; skip it when this
    # build has no compile commands for it.
    while IFS= read -r f; do
        grep -q "\"file\": \".*/$f\"" "$build/compile_commands.json" && files+=("$f")
    done < <(git ls-files "$layer/*.cpp")
done
if [ ${#files[@]} -eq 0 ]; then
    echo "tidy: nothing to check"
    exit 0
fi
echo "tidy: ${#files[@]} files in: ${layers[*]}"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! printf '%s\n' "${files[@]}" | xargs -P"$(nproc)" -n4 clang-tidy -p "$build" --quiet >"$log" 2>&1; then
    grep -E "(warning|error):" -A3 "$log" | grep -v "warnings generated" || cat "$log"
    echo "tidy: findings above"
    exit 1
fi
echo "tidy: clean"
