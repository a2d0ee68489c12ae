#!/usr/bin/env bash
# Renders the program's icon from its one drawing, icons/hicolor/scalable/apps/brintale.svg:
# brintale.png for the window and the fixed sizes the desktop's icon theme looks up.
# Needs rsvg-convert (librsvg2-bin); only run it after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")"
svg=icons/hicolor/scalable/apps/brintale.svg
rsvg-convert -w 256 -h 256 "$svg" -o brintale.png
for size in 16 32 48 64 128 256; do
    mkdir -p "icons/hicolor/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$svg" -o "icons/hicolor/${size}x${size}/apps/brintale.png"
done
