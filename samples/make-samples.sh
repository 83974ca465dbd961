#!/usr/bin/env bash
# Draws the two sample images with ImageMagick: a landscape scene with a frame and
# marks every 10 mm along the top and left edges, so that a print can be measured.
#   sample-300dpi.png           900 × 600 pixels, 300 dpi recorded: prints 76.2 × 50.8 mm
#   sample-no-resolution.jpg    360 × 240 pixels, no resolution: taken as 72 dpi, 127 × 84.7 mm
set -euo pipefail
cd "$(dirname "$0")"

scene() {  # width height dots-per-mm
  local w=$1 h=$2 dpmm=$3
  local ticks="" x
  for ((mm = 10; mm * dpmm < w * 10; mm += 10)); do
    x=$((mm * dpmm / 10))
    ticks+=" line $x,0 $x,$((h / 12))"
  done
  for ((mm = 10; mm * dpmm < h * 10; mm += 10)); do
    x=$((mm * dpmm / 10))
    ticks+=" line 0,$x $((w / 12)),$x"
  done
  convert -size "${w}x${h}" gradient:'#9fd3ff-#f4fbff' \
    -fill '#ffcf3f' -stroke '#e0a000' -draw "circle $((w * 3 / 4)),$((h / 4)) $((w * 3 / 4 + h / 10)),$((h / 4))" \
    -fill '#3f8f4f' -stroke none -draw "polygon 0,$h 0,$((h * 2 / 3)) $((w / 4)),$((h * 2 / 5)) $((w / 2)),$((h * 3 / 4)) $((w * 3 / 4)),$((h / 2)) $w,$((h * 7 / 10)) $w,$h" \
    -fill none -stroke '#1f2f6f' -strokewidth $((w / 300 + 1)) -draw "rectangle 0,0 $((w - 1)),$((h - 1))" \
    -draw "$ticks" \
    "${@:4}"
}

# 300 dpi: 11.811 dots per mm, written as tenths for the integer arithmetic above.
scene 900 600 118 -units PixelsPerInch -density 300 sample-300dpi.png
# No recorded resolution: a JFIF header that gives only an aspect ratio.
scene 360 240 28 -strip -units Undefined -density 1 -quality 90 sample-no-resolution.jpg
