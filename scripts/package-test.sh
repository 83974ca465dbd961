#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine, prints a sample image with the
# installed program (headless, with the built-in PDF printer, in a temporary home) and
# removes the package again. Needs root or sudo. Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build="$root/build/package"

fail() {
  echo "package-test: FAILED: $*" >&2
  exit 1
}

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi

bash scripts/install-deps.sh

if dpkg-query -W -f='${db:Status-Status}' velmar 2>/dev/null | grep -qx installed; then
  fail "a velmar package is installed already; remove it first (apt-get remove velmar)"
fi

echo "package-test: building in $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMAR_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build"
rm -f "$build"/velmar_*.deb
(cd "$build" && cpack -G DEB)

shopt -s nullglob
debs=("$build"/velmar_*_*.deb)
shopt -u nullglob
[ "${#debs[@]}" -eq 1 ] || fail "cpack made ${#debs[@]} packages named velmar_<version>_<arch>.deb"
deb="${debs[0]}"
echo "package-test: $deb"
dpkg -I "$deb"

depends="$(dpkg-deb -f "$deb" Depends)"
for package in libqt6printsupport6 libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins \
  qt6-image-formats-plugins; do
  grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends does not name $package: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = velmar ] || fail "the package is not named velmar"
[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "the section is not graphics"

work="$(mktemp -d)"
installed=0
cleanup() {
  if [ "$installed" -eq 1 ]; then
    echo "package-test: removing the package"
    "${as_root[@]}" apt-get remove -y velmar >/dev/null || echo "package-test: apt-get remove velmar failed" >&2
  fi
  rm -rf "$work"
}
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
installed=1
"${as_root[@]}" apt-get install -y "$deb"

listed="$(dpkg -L velmar)"
for file in /usr/bin/velmar /usr/share/applications/velmar.desktop \
  /usr/share/icons/hicolor/16x16/apps/velmar.png /usr/share/icons/hicolor/32x32/apps/velmar.png \
  /usr/share/icons/hicolor/scalable/apps/velmar.svg /usr/share/velmar/help/velmar.htm \
  /usr/share/velmar/UserData.ini; do
  grep -qx "$file" <<<"$listed" || fail "dpkg -L velmar does not list $file"
done
desktop-file-validate /usr/share/applications/velmar.desktop ||
  fail "desktop-file-validate rejects /usr/share/applications/velmar.desktop"

mkdir -m 700 "$work/run"
# Runs the installed program headless, in the temporary home, with no CUPS daemon.
run_installed() {
  (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$work" \
    XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" \
    CUPS_SERVER="$work/no-cups.sock" /usr/bin/velmar "$@")
}

version="$(run_installed --version)" || fail "velmar --version failed"
[ "$version" = "velmar $(dpkg-deb -f "$deb" Version)" ] ||
  fail "velmar --version says \"$version\", not the package's version"
[ ! -e "$work/data" ] || fail "velmar --version made the user-data folder"

cp samples/sample-no-resolution.jpg "$work/sample.jpg"
echo "package-test: velmar sample.jpg (in $work), with /usr/bin/velmar"
status=0
run_installed sample.jpg || status=$?
[ "$status" -eq 0 ] || fail "/usr/bin/velmar ended with status $status"

pdf="$work/data/Ostrand/velmar/Print Out.pdf"
[ -f "$pdf" ] || fail "no PDF at $pdf"
info="$(pdfinfo "$pdf")" || fail "pdfinfo cannot read $pdf"
grep -Eq '^Pages: +1$' <<<"$info" || fail "the PDF does not have one page: $info"
grep -Eq '^Page size: .*\(A4\)$' <<<"$info" || fail "the page is not A4: $info"

echo "package-test: the installed package printed one A4 page: passed"
