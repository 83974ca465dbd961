#!/usr/bin/env bash
# Builds the Debian package, makes a clean Debian 12 system in a folder (debootstrap,
# minbase: nothing but the essential packages), installs the package there with apt-get,
# and prints a sample image with the installed program (headless, with the built-in PDF
# printer). This machine's own packages are not changed. Needs root or sudo (chroot) and
# the Debian mirror. Exits non-zero on the first failure.
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

# The desktop entry, as packaged.
unpacked="$(mktemp -d)"
clean="$root/build/clean-debian"
cleanup() {
  rm -rf "$unpacked"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/velmar.desktop" ||
  fail "desktop-file-validate rejects usr/share/applications/velmar.desktop"

# The mirror this machine's apt uses, when it says so in the deb822 form; else Debian's.
mirror=""
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  mirror="$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources | head -n 1)"
fi
mirror="${mirror:-http://deb.debian.org/debian}"
echo "package-test: a clean Debian 12 in $clean (from $mirror)"
"${as_root[@]}" rm -rf "$clean"
"${as_root[@]}" debootstrap --variant=minbase bookworm "$clean" "$mirror" >"$build/debootstrap.log" 2>&1 ||
  fail "debootstrap failed; see $build/debootstrap.log"
"${as_root[@]}" cp /etc/resolv.conf "$clean/etc/resolv.conf"
"${as_root[@]}" cp "$deb" "$clean/tmp/"
"${as_root[@]}" cp samples/sample-no-resolution.jpg "$clean/tmp/sample.jpg"

# Runs the steps inside the clean system, in a mount namespace of its own so that its
# /proc and /dev go away with it.
inside() {
  # shellcheck disable=SC2016 # the inner shell expands its own positional parameters
  "${as_root[@]}" unshare --mount --propagation private sh -c \
    'mount --bind /proc "$1/proc" && mount --bind /dev "$1/dev" && chroot "$1" sh -c "$2"' \
    package-test "$clean" "$1"
}

echo "package-test: apt-get install ./$(basename "$deb") on the clean system"
inside "export DEBIAN_FRONTEND=noninteractive && apt-get update -q &&
  apt-get install -y -q --no-install-recommends ./tmp/$(basename "$deb")" ||
  fail "apt-get could not install the package on a clean Debian 12"

listed="$(inside "dpkg -L velmar")"
for file in /usr/bin/velmar /usr/share/applications/velmar.desktop \
  /usr/share/icons/hicolor/16x16/apps/velmar.png /usr/share/icons/hicolor/32x32/apps/velmar.png \
  /usr/share/icons/hicolor/scalable/apps/velmar.svg /usr/share/velmar/help/velmar.htm \
  /usr/share/velmar/UserData.ini; do
  grep -qx "$file" <<<"$listed" || fail "dpkg -L velmar does not list $file"
done

# A user's session there: a home folder, no display, no printer.
run_installed() {
  inside "mkdir -p /tmp/home && mkdir -p -m 700 /tmp/home/run && cd /tmp &&
    env -i PATH=/usr/bin:/bin HOME=/tmp/home XDG_RUNTIME_DIR=/tmp/home/run $1"
}

version="$(run_installed "velmar --version")" || fail "velmar --version failed"
[ "$version" = "velmar $(dpkg-deb -f "$deb" Version)" ] ||
  fail "velmar --version says \"$version\", not the package's version"

echo "package-test: velmar sample.jpg, headless, on the clean system"
status=0
run_installed "velmar sample.jpg" || status=$?
[ "$status" -eq 0 ] || fail "velmar ended with status $status"

pdf="$clean/tmp/home/.local/share/Ostrand/velmar/Print Out.pdf"
[ -f "$pdf" ] || fail "no PDF at $pdf"
info="$(pdfinfo "$pdf")" || fail "pdfinfo cannot read $pdf"
grep -Eq '^Pages: +1$' <<<"$info" || fail "the PDF does not have one page: $info"
grep -Eq '^Page size: .*\(A4\)$' <<<"$info" || fail "the page is not A4: $info"

echo "package-test: on a clean Debian 12 the package installed and printed one A4 page: passed"
