#!/usr/bin/env bash
# Draws brintale.png: a page of sentence lines, each closed by a full stop, with a tally badge.
# Needs ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 256x256 xc:none \
    -fill '#2e6b4f' -draw 'roundrectangle 8,8 248,248 40,40' \
    -fill '#fdfbf3' -draw 'roundrectangle 44,30 200,226 10,10' \
    -fill '#9aa6a0' \
    -draw 'rectangle 62,62 162,72' -fill '#d9822b' -draw 'circle 174,67 179,67' \
    -fill '#9aa6a0' \
    -draw 'rectangle 62,96 144,106' -fill '#d9822b' -draw 'circle 156,101 161,101' \
    -fill '#9aa6a0' \
    -draw 'rectangle 62,130 170,140' -fill '#d9822b' -draw 'circle 182,135 187,135' \
    -fill '#9aa6a0' \
    -draw 'rectangle 62,164 120,174' -fill '#d9822b' -draw 'circle 132,169 137,169' \
    -fill '#d9822b' -draw 'circle 194,196 232,196' \
    -stroke '#fdfbf3' -strokewidth 7 \
    -draw 'line 182,182 182,210' -draw 'line 194,182 194,210' -draw 'line 206,182 206,210' \
    -draw 'line 174,206 214,186' \
    PNG32:brintale.png
