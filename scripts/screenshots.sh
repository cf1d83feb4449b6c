#!/usr/bin/env bash
# Draws the desktop program's splash, its four pages and the About panel into PNG files, at the
# smallest window (1020 x 710) and at 1600 x 1000, and once more at twice and at one and a half
# times the pixel density and with a 14 pt application font.
# No display is needed.
#   scripts/screenshots.sh [--docs] [OUTPUT_DIR]     (default: build/screenshots)
# --docs also copies the pictures that README and docs/guide.md show into docs/images.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
docs=0
if [ "${1:-}" = --docs ]; then docs=1; shift; fi
out=${1:-$top/build/screenshots}
build=${QUELVOR_BUILD_DIR:-$top/build}

cmake --build "$build" --target quelvor-screenshots -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
tool=$build/gui/quelvor-screenshots
export QT_QPA_PLATFORM=offscreen
# The pictures show the examples in a fresh temporary folder whose name sorts first, so the
# folder tree around it shows standard folders only.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/0-quelvor-screenshots.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
mkdir -p "$out"
"$tool" "$out" "$top/examples"
QT_SCALE_FACTOR=2 "$tool" "$out" "$top/examples" "@2x"
QT_SCALE_FACTOR=1.5 "$tool" "$out" "$top/examples" "@1.5x"
"$tool" "$out" "$top/examples" "-14pt" 14
ls "$out"/*.png | sed "s|^$top/||"

if [ "$docs" = 1 ]; then
    cp "$out/2-metadata-1020x710.png" "$top/docs/images/window.png"
    for page in 1-files 2-metadata 3-iq 4-signal-processing-filter 5-converted; do
        cp "$out/$page-1020x710.png" "$top/docs/images/guide-$page.png"
    done
    echo "copied into docs/images"
fi
