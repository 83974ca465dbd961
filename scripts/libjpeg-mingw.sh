#!/usr/bin/env bash
# Puts the JPEG library (libjpeg-turbo) for 64-bit Windows (mingw-w64) into
# build/libjpeg-mingw64, where the `windows` preset's toolchain looks for it, so that the
# Windows build decodes, checks and writes JPEG files with the same library as Linux:
#   - from a prebuilt archive of it when there is one: $VELMAR_LIBJPEG_MINGW_ARCHIVE, else
#     ../shared/libjpeg-mingw64/libjpeg-mingw64.tar.xz beside the repository (an archive
#     holding one libjpeg-mingw64 folder, as this script installs it);
#   - otherwise built here from Debian's own libjpeg-turbo source package (a minute or two),
#     as a static library only, so that no further DLL goes beside the program. The SIMD
#     code needs nasm; without it the library is built with plain C.
# Usage: scripts/libjpeg-mingw.sh [--build]   (--build: build from source even with an archive)
# Needs what `scripts/install-deps.sh windows` installs. Safe to run again: a prefix that
# is complete already is left as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
prefix="$repo/build/libjpeg-mingw64"
work="$repo/build/libjpeg-mingw64-source"
archive="${VELMAR_LIBJPEG_MINGW_ARCHIVE:-$repo/../shared/libjpeg-mingw64/libjpeg-mingw64.tar.xz}"
name=libjpeg-mingw
ready="the JPEG library for Windows is"
# shellcheck source=scripts/mingw-prefix.sh
source "$repo/scripts/mingw-prefix.sh"

complete() {
  [ -f "$prefix/include/jpeglib.h" ] && [ -f "$prefix/include/jerror.h" ] &&
    [ -f "$prefix/lib/libjpeg.a" ]
}


# shellcheck source=scripts/apt-source-entries.sh
source "$repo/scripts/apt-source-entries.sh"

# Debian's source with Debian's patches applied.
fetch_source() {
  ensure_source_entries libjpeg-mingw
  rm -rf "$work"
  mkdir -p "$work"
  (cd "$work" && apt-get source --download-only libjpeg-turbo &&
    dpkg-source -x libjpeg-turbo_*.dsc source)
}

configure_source() {
  local simd=ON
  if ! command -v nasm >/dev/null && ! command -v yasm >/dev/null; then
    echo "libjpeg-mingw: no nasm; building without the SIMD code"
    simd=OFF
  fi
  cmake -S "$work/source" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
    -DVELMAR_LIBJPEG_MINGW_PREFIX="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF \
    -DWITH_SIMD="$simd" \
    -DCMAKE_POSITION_INDEPENDENT_CODE=ON
}

build_from_source() {
  echo "libjpeg-mingw: building libjpeg-turbo for Windows from Debian's source"
  fetch_source
  configure_source
  cmake --build "$work/build" --parallel "$(nproc)"
  rm -rf "$prefix"
  cmake --install "$work/build"
  # The command-line tools are not needed; only the library and its headers are.
  rm -rf "${prefix:?}/bin" "${prefix:?}/share"
  rm -rf "$work"
}

provide_prefix "$@"
