#!/usr/bin/env bash
# Draws the sample demo at the reference times with vortane-render and
# stores the pictures in tests/reference/, for tests/e2e/regression_images.sh.
# Run it after a change that is meant to alter the picture, look at the new
# pictures, and commit them with the change.
# Usage: tools/refresh-reference-images.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
render=$build/tools/vortane-render
[ -x "$render" ] || { echo "no $render: build first (bash tools/build.sh)" >&2; exit 1; }
source tests/reference/times.sh
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
SDL_AUDIODRIVER=dummy "$render" --size "$REFERENCE_SIZE" --at "$REFERENCE_TIMES" --out "$out"
for t in ${REFERENCE_TIMES//,/ }; do cp "$out/at_$t.png" "tests/reference/at_$t.png"; done
echo "reference pictures written to tests/reference/"
