#!/usr/bin/env bash
# Installs what is needed, builds Velmar and prints the bundled sample image with the
# built-in PDF printer, without a display. Its settings and the PDF go into a folder of
# their own under build/, so nothing of your own settings is touched.
# Usage: scripts/print-sample.sh [image]   (samples/sample-300dpi.png by default)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
image="$(realpath "${1:-samples/sample-300dpi.png}")"

bash scripts/install-deps.sh
bash scripts/build.sh release

run="$root/build/sample-run"
mkdir -p "$run/data/Ostrand/velmar" "$run/config"
mkdir -p -m 700 "$run/runtime"
printf '[Printer]\nName=PDF\nPaperSize=A4\nOrientation=Portrait\n' \
  > "$run/data/Ostrand/velmar/IkPrn.Ik"

echo "Printing $image ..."
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
status=0
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
  XDG_DATA_HOME="$run/data" XDG_CONFIG_HOME="$run/config" XDG_RUNTIME_DIR="$run/runtime" \
  "$root/build/release/src/velmar" "$image" 2>"$log" || status=$?
cat "$log" >&2
if [ "$status" -ne 0 ]; then
  echo "Velmar ended with status $status." >&2
  exit "$status"
fi

pdf="$(sed -n 's/^Velmar: PDF に印刷しました: //p' "$log" | tail -n 1)"
if [ -z "$pdf" ] || [ ! -f "$pdf" ]; then
  echo "No PDF was written." >&2
  exit 1
fi
echo
echo "The printed page is in: $pdf"
