#!/usr/bin/env bash
# Puts Qt 6 for 64-bit Windows (mingw-w64) into build/qt6-mingw64, where the `windows`
# preset's toolchain looks for it:
#   - from a prebuilt archive of it when there is one: $VELMAR_QT_MINGW_ARCHIVE, else
#     ../shared/qt6-mingw64/qt6-mingw64-6.4.2.tar.xz beside the repository;
#   - otherwise built here from Debian's own qt6-base source package (about 1,100 compile
#     steps, roughly an hour on two cores), with the modules Velmar needs: Core, Gui,
#     Widgets, PrintSupport, the windows, offscreen and minimal platform plugins and the
#     bundled image formats.
# Usage: scripts/qt-mingw.sh [--build]   (--build: build from source even with an archive)
# Needs what `scripts/install-deps.sh windows` installs. Safe to run again: a prefix that
# is complete already is left as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
prefix="$repo/build/qt6-mingw64"
work="$repo/build/qt6-mingw64-source"
archive="${VELMAR_QT_MINGW_ARCHIVE:-$repo/../shared/qt6-mingw64/qt6-mingw64-6.4.2.tar.xz}"
name=qt-mingw
ready="Qt for Windows is"
# shellcheck source=scripts/mingw-prefix.sh
source "$repo/scripts/mingw-prefix.sh"

complete() {
  [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ] && [ -f "$prefix/bin/Qt6PrintSupport.dll" ] &&
    [ -f "$prefix/plugins/platforms/qwindows.dll" ]
}


# shellcheck source=scripts/apt-source-entries.sh
source "$repo/scripts/apt-source-entries.sh"

fetch_source() {
  ensure_source_entries qt-mingw
  rm -rf "$work"
  mkdir -p "$work"
  (cd "$work" && apt-get source --download-only qt6-base &&
    dpkg-source --skip-debianization -x qt6-base_*.dsc source)
}

# Debian's source has no wintab.h (the tablet header is stripped), so the windows and
# direct2d platform plugins are built without tablet input; and with OpenGL off, the
# dynamic-GL code of the windows plugin must be left out too.
patch_source() {
  local windows="$work/source/src/plugins/platforms/windows"
  local direct2d="$work/source/src/plugins/platforms/direct2d"
  grep -rlE 'QT_CONFIG\(tabletevent\)' "$windows" |
    xargs sed -i -E 's/QT_CONFIG\(tabletevent\)/0/g'
  local list
  for list in "$windows/CMakeLists.txt" "$direct2d/CMakeLists.txt"; do
    # The block that adds the tablet sources and their header folder.
    perl -0pi -e 's/qt_internal_extend_target\((\w+) CONDITION QT_FEATURE_tabletevent\b/qt_internal_extend_target($1 CONDITION FALSE/g' "$list"
    if ! grep -q 'CONDITION FALSE' "$list"; then
      echo "qt-mingw: no tablet block found in $list" >&2
      exit 1
    fi
  done
  perl -0pi -e 's/#if QT_CONFIG\(dynamicgl\)/#if QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)/g' \
    "$windows/qwindowswindow.cpp"
  if [ "$(grep -c 'QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)' "$windows/qwindowswindow.cpp")" -ne 2 ]; then
    echo "qt-mingw: expected two dynamic-GL blocks in qwindowswindow.cpp" >&2
    exit 1
  fi
}

configure_source() {
  local features=(sql network dbus opengl vulkan concurrent testlib xml icu zstd)
  local options=()
  local feature
  for feature in "${features[@]}"; do
    options+=("-DFEATURE_$feature=OFF")
  done
  for feature in zlib png jpeg freetype harfbuzz pcre2 libb2 doubleconversion sqlite; do
    options+=("-DFEATURE_system_$feature=OFF")
  done
  cmake -S "$work/source" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
    -DVELMAR_QT_MINGW_PREFIX="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=ON \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_optimize_size=ON \
    "${options[@]}"
}

build_from_source() {
  echo "qt-mingw: building Qt for Windows from Debian's qt6-base source (about an hour)"
  fetch_source
  patch_source
  configure_source
  if [ "${VELMAR_QT_MINGW_CONFIGURE_ONLY:-}" = 1 ]; then
    echo "qt-mingw: configured in $work/build; not building (VELMAR_QT_MINGW_CONFIGURE_ONLY=1)"
    return
  fi
  cmake --build "$work/build" --parallel "$(nproc)"
  rm -rf "$prefix"
  cmake --install "$work/build"
  rm -rf "$work"
}

if [ "${VELMAR_QT_MINGW_CONFIGURE_ONLY:-}" = 1 ]; then
  check_complete=false
fi
provide_prefix "$@"
