#!/usr/bin/env bash
# Renders the program icon velmar.svg (a picture coming out of a printer) as PNG at 32
# and 16 pixels, 16 colours each. ImageMagick's own SVG renderer places shapes half a
# pixel off, so librsvg's rsvg-convert draws the picture at each size and ImageMagick
# reduces it to 16 colours.
# Needs (Debian): imagemagick librsvg2-bin.
set -euo pipefail
cd "$(dirname "$0")"
for tool in rsvg-convert convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "make-icons: $tool is missing; install imagemagick and librsvg2-bin" >&2
    exit 1
  fi
done
render() {
  rsvg-convert --width "$1" --height "$1" velmar.svg |
    convert png:- -dither None -colors 16 -define png:exclude-chunks=date,time "PNG8:velmar-$1.png"
}
render 32
render 16
# The Windows program icon: both sizes in one .ico, 16 colours each.
convert velmar-16.png velmar-32.png -type Palette velmar.ico
