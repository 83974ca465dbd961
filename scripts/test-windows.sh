#!/usr/bin/env bash
# Builds Velmar for 64-bit Windows on this Debian machine and tests it under Wine:
# installs the cross compiler, Wine and NSIS, puts Qt and the JPEG library for Windows in
# place (scripts/qt-mingw.sh, scripts/libjpeg-mingw.sh), Qt's TIFF and WebP plugins too
# (scripts/imageformats-mingw.sh), builds the windows preset, runs
# its tests under Wine, runs the program the way Send To starts it
# (scripts/windows-run-test.sh), prints with it on a printer queue of a private CUPS daemon
# (scripts/windows-queue-test.sh) and makes and tries the zip and the installer
# (scripts/windows-package-test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh windows
bash scripts/qt-mingw.sh
bash scripts/libjpeg-mingw.sh
bash scripts/imageformats-mingw.sh
cmake --preset windows
cmake --build --preset windows

# Wine exits 0 for a program it cannot start; the wrapper of every test fails a run without
# GoogleTest's summary, and this fails a run that counted no test beyond the Wine prefix's.
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
ctest --preset windows --parallel "$(nproc)" | tee "$log"
count="$(sed -n 's/.* tests passed, 0 tests failed out of \([0-9]*\)$/\1/p' "$log")"
if [ -z "$count" ] || [ "$count" -le 2 ]; then
  echo "test-windows: the Windows tests did not run" >&2
  exit 1
fi

bash scripts/windows-run-test.sh
bash scripts/windows-queue-test.sh
bash scripts/windows-package-test.sh
