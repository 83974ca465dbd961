#!/usr/bin/env bash
# Draws the program icon (a picture coming out of a printer) at 32 and 16 pixels,
# 16 colours each. Needs ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
draw() {
  convert -size 32x32 xc:none \
    -fill white -stroke navy -draw "rectangle 8,2 23,14" \
    -stroke none -fill green -draw "polygon 10,13 15,6 18,10 20,8 22,13" \
    -fill red -draw "circle 19,5 20,5" \
    -fill gray50 -stroke black -draw "roundrectangle 2,13 29,24 2,2" \
    -fill white -stroke navy -draw "rectangle 7,20 24,30" \
    -stroke navy -draw "line 10,24 21,24" -draw "line 10,27 18,27" \
    -stroke none -fill lime -draw "circle 25,16 26,16" \
    "$@"
}
draw -colors 16 PNG8:velmar-32.png
draw -resize 16x16 -colors 16 PNG8:velmar-16.png
