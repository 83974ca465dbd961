#!/usr/bin/env bash
# Puts Qt's TIFF and WebP image-format plugins for 64-bit Windows (mingw-w64) into
# build/imageformats-mingw64/plugins/imageformats, where the `windows` preset looks for them,
# so that the Windows build reads TIFF and WebP files with the same plugins as Linux:
#   - from a prebuilt archive of them when there is one: $VELMAR_IMAGEFORMATS_MINGW_ARCHIVE,
#     else ../shared/imageformats-mingw64/imageformats-mingw64.tar.xz beside the repository
#     (an archive holding one imageformats-mingw64 folder, as this script installs it);
#   - otherwise built here from Debian's own source packages (a few minutes): libtiff (tiff)
#     and libwebp as static libraries, then the two plugins of qt6-imageformats against them,
#     so that the plugins need no DLL beyond Qt's. libtiff gets Deflate (zlib) and JPEG
#     (the static libjpeg of scripts/libjpeg-mingw.sh, which this runs) besides its
#     built-in codecs.
# Usage: scripts/imageformats-mingw.sh [--build]   (--build: build from source even with an
# archive). Needs what `scripts/install-deps.sh windows` installs and Qt for Windows in
# build/qt6-mingw64 (scripts/qt-mingw.sh). Safe to run again: a prefix that is complete
# already is left as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
prefix="$repo/build/imageformats-mingw64"
work="$repo/build/imageformats-mingw64-source"
qt_prefix="${VELMAR_QT_MINGW_PREFIX:-$repo/build/qt6-mingw64}"
jpeg_prefix="$repo/build/libjpeg-mingw64"
archive="${VELMAR_IMAGEFORMATS_MINGW_ARCHIVE:-$repo/../shared/imageformats-mingw64/imageformats-mingw64.tar.xz}"
toolchain="$repo/cmake/mingw-w64-x86_64.cmake"
name=imageformats-mingw
ready="the TIFF and WebP plugins for Windows are"
# shellcheck source=scripts/mingw-prefix.sh
source "$repo/scripts/mingw-prefix.sh"

complete() {
  [ -f "$prefix/plugins/imageformats/qtiff.dll" ] &&
    [ -f "$prefix/plugins/imageformats/qwebp.dll" ]
}


# shellcheck source=scripts/apt-source-entries.sh
source "$repo/scripts/apt-source-entries.sh"

# Debian's source of one package with Debian's patches applied, in $work/$1. A security
# update the package lists name may be gone from the mirror already; then the other versions
# the lists know are tried, newest first.
fetch_package() {
  local package="$1"
  local folder="$work/download-$package"
  mkdir -p "$folder"
  local version
  local fetched=false
  if (cd "$folder" && apt-get source --download-only "$package"); then
    fetched=true
  else
    for version in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -urV); do
      rm -f "$folder"/*
      if (cd "$folder" && apt-get source --download-only "$package=$version"); then
        fetched=true
        break
      fi
    done
  fi
  if ! $fetched; then
    echo "imageformats-mingw: could not fetch the source of $package" >&2
    exit 1
  fi
  (cd "$folder" && dpkg-source -x ./*.dsc "$work/$package")
  rm -rf "$folder"
}

fetch_sources() {
  ensure_source_entries imageformats-mingw
  rm -rf "$work"
  mkdir -p "$work"
  local package
  for package in tiff libwebp qt6-imageformats; do
    fetch_package "$package"
  done
}

cross_cmake() {
  cmake -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DVELMAR_QT_MINGW_PREFIX="$qt_prefix" \
    -DVELMAR_LIBJPEG_MINGW_PREFIX="$jpeg_prefix" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_POSITION_INDEPENDENT_CODE=ON \
    "$@"
}

build_libwebp() {
  cross_cmake -S "$work/libwebp" -B "$work/libwebp-build" \
    -DCMAKE_INSTALL_PREFIX="$work/libs" \
    -DBUILD_SHARED_LIBS=OFF \
    -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF \
    -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
    -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF \
    -DWEBP_BUILD_LIBWEBPMUX=ON
  cmake --build "$work/libwebp-build" --parallel "$(nproc)"
  cmake --install "$work/libwebp-build"
}

# Only the library: no tools, tests, C++ stream interface or documentation; of the optional
# codecs only zlib's Deflate and JPEG, both linked statically.
build_libtiff() {
  local zlib=/usr/x86_64-w64-mingw32/lib/libz.a
  cross_cmake -S "$work/tiff" -B "$work/tiff-build" \
    -DCMAKE_INSTALL_PREFIX="$work/libs" \
    -DBUILD_SHARED_LIBS=OFF \
    -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
    -Dcxx=OFF \
    -Dzlib=ON -DZLIB_LIBRARY="$zlib" -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
    -Djpeg=ON -DJPEG_LIBRARY="$jpeg_prefix/lib/libjpeg.a" \
    -DJPEG_INCLUDE_DIR="$jpeg_prefix/include" \
    -Dlibdeflate=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF
  cmake --build "$work/tiff-build" --parallel "$(nproc)"
  cmake --install "$work/tiff-build"
}

# The plugins link the static libraries; what those need in turn (zlib, libjpeg, each
# other) ends every link line, where the linker still resolves it.
build_plugins() {
  local libs="$work/libs"
  local zlib=/usr/x86_64-w64-mingw32/lib/libz.a
  cross_cmake -S "$work/qt6-imageformats" -B "$work/qt6-imageformats-build" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DINPUT_tiff=system -DINPUT_webp=system -DINPUT_mng=no -DINPUT_jasper=no \
    -DFEATURE_jasper=OFF -DFEATURE_mng=OFF \
    -DTIFF_INCLUDE_DIR="$libs/include" -DTIFF_LIBRARY="$libs/lib/libtiff.a" \
    -DWebP_INCLUDE_DIR="$libs/include" -DWebP_LIBRARY="$libs/lib/libwebp.a" \
    -DWebP_demux_INCLUDE_DIR="$libs/include" -DWebP_demux_LIBRARY="$libs/lib/libwebpdemux.a" \
    -DWebP_mux_INCLUDE_DIR="$libs/include" -DWebP_mux_LIBRARY="$libs/lib/libwebpmux.a" \
    -DCMAKE_CXX_STANDARD_LIBRARIES="$libs/lib/libwebpmux.a $libs/lib/libwebpdemux.a $libs/lib/libwebp.a $libs/lib/libtiff.a $jpeg_prefix/lib/libjpeg.a $zlib"
  cmake --build "$work/qt6-imageformats-build" --parallel "$(nproc)" \
    --target QTiffPlugin QWebpPlugin
}

install_plugins() {
  local built="$work/qt6-imageformats-build/plugins/imageformats"
  local staging="$repo/build/imageformats-mingw64.installing"
  rm -rf "$staging"
  mkdir -p "$staging/plugins/imageformats"
  cp "$built/qtiff.dll" "$built/qwebp.dll" "$staging/plugins/imageformats/"
  x86_64-w64-mingw32-strip --strip-unneeded "$staging"/plugins/imageformats/*.dll
  rm -rf "$prefix"
  mv "$staging" "$prefix"
}

build_from_source() {
  echo "imageformats-mingw: building the TIFF and WebP plugins for Windows from Debian's source"
  if [ ! -f "$qt_prefix/lib/cmake/Qt6/Qt6Config.cmake" ]; then
    echo "imageformats-mingw: no Qt for Windows in $qt_prefix; run scripts/qt-mingw.sh" >&2
    exit 1
  fi
  bash "$repo/scripts/libjpeg-mingw.sh"
  fetch_sources
  build_libwebp
  build_libtiff
  build_plugins
  install_plugins
  rm -rf "$work"
}

provide_prefix "$@"
