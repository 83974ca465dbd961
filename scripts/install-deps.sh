#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Velmar needs.
# Usage: scripts/install-deps.sh [windows]
#   windows: also the Windows cross build: mingw-w64 (posix threads), GoogleTest's sources,
#   Wine to run the tests, NSIS and zip for the packages, the host tools to build Qt, the
#   JPEG library and Qt's TIFF and WebP plugins for Windows from Debian's source, and the Japanese locale that gives Wine
#   code page 932.
# Safe to run again: when everything is there already it changes nothing.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # PDF pages: zlib for lossless images, CUPS's client library to hand them to a queue;
  # the JPEG library decodes a JPEG into compact pixels when they are needed
  zlib1g-dev libcups2-dev libjpeg-dev
  # run: Qt's image plugins (TIFF, WebP, …), CUPS print support, offscreen platform
  qt6-image-formats-plugins libqt6printsupport6 libcups2 qt6-qpa-plugins
  # the toolkit's Japanese texts; GIO and pkg-config for the file-type associations
  qt6-translations-l10n libglib2.0-dev pkg-config
  # test
  libgtest-dev libgmock-dev poppler-utils libglib2.0-bin desktop-file-utils xdg-utils dbus-daemon
  # check every PDF a test writes with a reader of its own
  qpdf
  # test backups and PDFs on FAT32 and exFAT disks of the tests' own, mounted through FUSE
  # (the kernel need not know either file system): the FUSE drivers and the mkfs tools
  fuse fusefat exfat-fuse dosfstools exfatprogs
  # test printing through a private CUPS daemon to PDF printers, and ask it about jobs
  cups-daemon cups-client cups-ipp-utils cups-filters-core-drivers printer-driver-cups-pdf
  ghostscript
  # test the real window on a private X server; draw the screenshots
  xvfb xdotool imagemagick
  # read a window's properties (its icon) in the window tests
  x11-utils
  # package: cpack -G DEB finds the shared-library dependencies with dpkg-shlibdeps; the
  # package test installs it on a clean Debian made with debootstrap
  dpkg-dev file debootstrap
  # look at it: a Japanese font for the window and its menus
  fonts-ipafont-gothic
)

if [ "${1:-}" = "windows" ]; then
  packages+=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    mingw-w64-x86-64-dev libz-mingw-w64-dev googletest
    wine wine64
    nsis zip unzip xz-utils
    # building Qt and its TIFF and WebP plugins for Windows from source: apt-get source, the
    # patches, perl for Qt's tools
    dpkg-dev perl
    # the SIMD code of the JPEG library for Windows (scripts/libjpeg-mingw.sh)
    nasm
    # a Japanese locale for Wine (code page 932 as the ANSI code page, UTF-8 file names)
    locales
  )
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qx installed; then
    missing+=("$package")
  fi
done

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages are installed"
else
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update
  "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [ "${1:-}" = "windows" ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  echo "install-deps: adding the locale ja_JP.UTF-8"
  "${as_root[@]}" localedef -i ja_JP -c -f UTF-8 ja_JP.UTF-8
fi
