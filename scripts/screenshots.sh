#!/usr/bin/env bash
# Draws the desktop program's splash, its four pages and the About panel into PNG files, at the
# smallest window (1020 x 710) and at 1600 x 1000, and once more at twice the pixel density.
# No display is needed.
#   scripts/screenshots.sh [OUTPUT_DIR]     (default: build/screenshots)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$top/build/screenshots}
build=${QUELVOR_BUILD_DIR:-$top/build}

cmake --build "$build" --target quelvor-screenshots -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
tool=$build/gui/quelvor-screenshots
export QT_QPA_PLATFORM=offscreen
mkdir -p "$out"
"$tool" "$out" "$top/examples"
QT_SCALE_FACTOR=2 "$tool" "$out" "$top/examples" "@2x"
ls "$out"/*.png | sed "s|^$top/||"
