#!/usr/bin/env bash
# Peak memory and time of the program on large images: render and apply at 8000 x
# 6000 RGB, and render 4096 x 4096 to PNG and TIFF end to end.
# Usage: bench/cli-memory.sh [BUILD-DIR]
set -euo pipefail
t="$(realpath "${1:-build}")/tesselume"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export TESSELUME_STATE_DIR="$work"
cd "$work"
measure() {
  local label=$1
  shift
  /usr/bin/time -f "$label: %e s, %U s user, peak %M KB" "$@"
}
measure "render 8000x6000 png" "$t" render --size 8000x6000 -o big.png
measure "apply 8000x6000 png" "$t" apply big.png -o out.png
measure "render 4096x4096 png" "$t" render --size 4096x4096 -o square.png
measure "render 4096x4096 tif" "$t" render --size 4096x4096 -o square.tif
