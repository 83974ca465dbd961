#!/usr/bin/env bash
# Runs the Windows program under Wine the way the Send To menu starts it: velmar.exe with
# the quoted path of an image, in a Wine prefix of its own (64-bit, Japanese locale, no
# display, no printer). Checks, each run a fresh start of the program:
#   1. a first run prints the image with the built-in PDF printer into the user-data folder
#      under Wine's application-data folder, writes the 105-byte User.xml and records the
#      executable's path in the registry (HKCU\Software\OstrandTools\Path, value velmar);
#   2. with the JPEG backup mode stored, a run keeps Temp\0001.jpg and prints again, into
#      "Print Out (2).pdf";
#   3. the printed image (600 x 300 black pixels at 300 dpi) lies at the printable corner,
#      4.2 mm in from the paper's edges, at its physical size, 50.8 mm x 25.4 mm: measured
#      on the page rasterised at 254 dpi (one pixel = 0.1 mm, to a pixel) and its corner
#      at 2540 dpi (one pixel = 0.01 mm, to 0.02 mm);
#   4. a TIFF (Deflate-compressed, 600 x 300 pixels at 300 dpi) and a WebP (144 x 72 pixels,
#      which records no resolution and so counts as 72 dpi) print at the same size at the
#      same place, read by Qt's TIFF and WebP plugins shipped with the program;
#   5. an image whose path is longer than 260 characters prints into a PDF folder just as
#      deep (the PDF printer's folder chosen in IkPrn.Ik).
# Usage: scripts/windows-run-test.sh [program folder]   (build/windows/bin by default)
# Exits non-zero on the first failed check.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
program_folder="$(realpath "${1:-build/windows/bin}")"
program="$program_folder/velmar.exe"
if [ ! -f "$program" ]; then
  echo "windows-run-test: no $program; build the windows preset first" >&2
  exit 1
fi

# shellcheck source=scripts/wine-session.sh
source scripts/wine-session.sh
# Qt settings of the caller reach the Windows program too.
while IFS='=' read -r name _; do
  if [[ "$name" == QT_* ]]; then
    export "WINE$name=${!name}"
  fi
done < <(env)

fail() {
  echo "windows-run-test: $*" >&2
  exit 1
}

echo "windows-run-test: making the Wine prefix"
make_prefix
appdata_windows="$(in_wine wine cmd /c echo %APPDATA% | tr -d '\r')"
appdata="$(in_wine winepath -u "$appdata_windows" | tr -d '\r')"
user_data="${appdata%/}/Ostrand/velmar"

images="$work/画像 フォルダ"
mkdir -p "$images"
convert -size 600x300 xc:black -units PixelsPerInch -density 300 "png24:$images/black 300dpi.png"
image_windows="$(in_wine winepath -w "$images/black 300dpi.png" | tr -d '\r')"
program_windows="$(in_wine winepath -w "$program" | tr -d '\r')"

# One run as the Send To menu starts it; its standard error is code page 932 text.
run_velmar() {
  local status=0
  in_wine wine "$program" "${1:-$image_windows}" >"$work/out.txt" 2>"$work/err.cp932" || status=$?
  iconv -f CP932 -t UTF-8 "$work/err.cp932" | tr -d '\r' >"$work/err.txt" || true
  cat "$work/err.txt" >&2
  [ "$status" -eq 0 ] || fail "velmar.exe ended with status $status"
}

# The settings document as the program writes it, code page 932 with CR LF line ends.
settings_document() {
  printf "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <設定>\r\n      <保存>%s</保存>\r\n   </設定>\r\n</運用>" "$1" |
    iconv -f UTF-8 -t CP932
}

echo "windows-run-test: first run, $image_windows"
run_velmar
[ -f "$user_data/Print Out.pdf" ] || fail "no Print Out.pdf in $user_data"
grep -q 'PDF に印刷しました' "$work/err.txt" || fail "the run did not say where it printed"
cmp <(settings_document 0) "$user_data/User.xml" ||
  fail "User.xml is not the expected document"
[ "$(stat -c %s "$user_data/User.xml")" -eq 105 ] || fail "User.xml is not 105 bytes"
recorded="$(in_wine wine reg query 'HKCU\Software\OstrandTools\Path' /v velmar | tr -d '\r' |
  sed -n 's/^ *velmar *REG_SZ *//p')"
[ "${recorded,,}" = "${program_windows,,}" ] ||
  fail "the registry holds '$recorded', not '$program_windows'"
echo "windows-run-test: printed, User.xml is the 105-byte document, the registry holds $recorded"

echo "windows-run-test: second run with the JPEG backup mode"
settings_document 2 >"$user_data/User.xml"
run_velmar
[ -f "$user_data/Temp/0001.jpg" ] || fail "no backup copy Temp/0001.jpg"
file "$user_data/Temp/0001.jpg" | grep -q 'JPEG image' || fail "Temp/0001.jpg is not a JPEG file"
[ -f "$user_data/Print Out (2).pdf" ] || fail "no Print Out (2).pdf"
cmp <(settings_document 2) "$user_data/User.xml" || fail "User.xml lost the backup mode"
echo "windows-run-test: kept Temp/0001.jpg and printed Print Out (2).pdf"

# Where the ink is: the bounding box of the pixels darker than mid-grey, as WxH+X+Y.
ink_box() {
  convert "$1" -colorspace Gray -threshold 50% -format '%@' info:
}
near() {  # value expected tolerance
  [ "$1" -ge $(($2 - $3)) ] && [ "$1" -le $(($2 + $3)) ]
}
# The printed image of a PDF: 50.8 mm x 25.4 mm at the printable corner of an A4 page.
check_print() {  # pdf
  pdftoppm -r 254 -singlefile -png "$1" "$work/page"
  local width height ink_width ink_height ink_x ink_y corner_x corner_y
  read -r width height <<<"$(identify -format '%w %h' "$work/page.png")"
  IFS='x+' read -r ink_width ink_height ink_x ink_y <<<"$(ink_box "$work/page.png")"
  echo "windows-run-test: page ${width}x$height, ink ${ink_width}x$ink_height at $ink_x,$ink_y (0.1 mm)"
  near "$width" 2100 1 && near "$height" 2970 1 || fail "the page is not A4"
  near "$ink_width" 508 1 && near "$ink_height" 254 1 || fail "the image is not 50.8 mm x 25.4 mm"
  near "$ink_x" 42 1 && near "$ink_y" 42 1 || fail "the image is not at the printable corner"
  pdftoppm -r 2540 -x 0 -y 0 -W 1000 -H 1000 -singlefile -png "$1" "$work/corner"
  IFS='x+' read -r _ _ corner_x corner_y <<<"$(ink_box "$work/corner.png")"
  echo "windows-run-test: the image's corner is at $corner_x,$corner_y (0.01 mm)"
  near "$corner_x" 420 2 && near "$corner_y" 420 2 || fail "the corner is not at 4.2 mm, 4.2 mm"
}
check_print "$user_data/Print Out.pdf"

echo "windows-run-test: a TIFF and a WebP"
settings_document 0 >"$user_data/User.xml"
convert -size 600x300 xc:black -units PixelsPerInch -density 300 -compress zip \
  "tiff:$images/black 300dpi.tif"
convert -size 144x72 xc:black -define webp:lossless=true "webp:$images/black.webp"
number=3
for image in "black 300dpi.tif" black.webp; do
  run_velmar "$(in_wine winepath -w "$images/$image" | tr -d '\r')"
  [ -f "$user_data/Print Out ($number).pdf" ] || fail "$image printed no Print Out ($number).pdf"
  check_print "$user_data/Print Out ($number).pdf"
  number=$((number + 1))
done
echo "windows-run-test: a run with paths longer than 260 characters"
deep="$work/$(printf '%0100d' 0)/$(printf '%0100d' 1)/$(printf '%060d' 2)"
mkdir -p "$deep"
cp "$images/black 300dpi.png" "$deep/black 300dpi.png"
# winepath stops at 260 characters; Wine's drive Z: is this machine's root folder.
deep_windows="Z:${deep//\//\\}"
deep_image="$deep_windows\\black 300dpi.png"
deep_pdf_folder="$deep_windows\\pdf"
[ "${#deep_image}" -gt 260 ] && [ "${#deep_pdf_folder}" -gt 260 ] ||
  fail "the deep paths are not longer than 260 characters"
printf '[Printer]\r\nName=PDF\r\nPaperSize=A4\r\nOutputFolder=%s\r\n' "${deep_pdf_folder//\\//}" \
  >"$user_data/IkPrn.Ik"
run_velmar "$deep_image"
[ -f "$deep/pdf/Print Out.pdf" ] || fail "no Print Out.pdf in the deep folder"
grep -qF "$deep_pdf_folder" "$work/err.txt" || fail "the run did not name the deep PDF"
echo "windows-run-test: printed ${#deep_image}-character path into a ${#deep_pdf_folder}-character folder"
echo "windows-run-test: all checks passed"
