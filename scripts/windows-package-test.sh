#!/usr/bin/env bash
# Makes the Windows packages of the windows preset's build (cpack: a zip of the program
# folder and the NSIS installer) and tries both under Wine:
#   - the zip's folder runs the whole print check of scripts/windows-run-test.sh;
#   - the installer installs silently for the current user, the installed program prints
#     once, and the uninstaller removes the program folder, its Start menu entry, its
#     registration and the program's registry entry, leaving the user's data.
# Usage: scripts/windows-package-test.sh   (after cmake --build --preset windows)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build="$root/build/windows"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
zip="$build/velmar-$version-win64.zip"
installer="$build/velmar-$version-win64.exe"

fail() {
  echo "windows-package-test: $*" >&2
  exit 1
}

echo "windows-package-test: making the packages"
rm -f "$zip" "$installer"
(cd "$build" && cpack >"$build/cpack.log") || { cat "$build/cpack.log" >&2; fail "cpack failed"; }
[ -f "$zip" ] && [ -f "$installer" ] || fail "cpack made no zip or no installer"

# shellcheck source=scripts/wine-session.sh
source scripts/wine-session.sh

echo "windows-package-test: the zip"
unzip -q "$zip" -d "$work/zip"
bash scripts/windows-run-test.sh "$work/zip/velmar-$version-win64"

# The unix path of a folder named by a Windows environment variable.
folder_of() {
  local windows
  windows="$(in_wine wine cmd /c echo "%$1%" | tr -d '\r')"
  in_wine winepath -u "$windows" | tr -d '\r' | sed 's:/*$::'
}
registry_has() {
  in_wine wine reg query "$@" >/dev/null 2>&1
}

echo "windows-package-test: the installer"
make_prefix
in_wine wine "$installer" /S
wineserver -w
folder="$(folder_of LOCALAPPDATA)/Programs/Velmar"
start_menu="$(folder_of APPDATA)/Microsoft/Windows/Start Menu/Programs"
user_data="$(folder_of APPDATA)/Ostrand/velmar"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmar'
for file in velmar.exe Uninstall.exe UserData.ini help/velmar.htm Qt6Core.dll \
  platforms/qwindows.dll imageformats/qjpeg.dll imageformats/qtiff.dll imageformats/qwebp.dll \
  translations/qtbase_ja.qm; do
  [ -f "$folder/$file" ] || fail "the installer put no $file into $folder"
done
[ -f "$start_menu/Velmar.lnk" ] || fail "no Start menu entry"
registry_has "$uninstall_key" /v UninstallString || fail "the uninstaller is not registered"

echo "windows-package-test: the installed program prints once"
cp samples/sample-300dpi.png "$work/sample.png"
in_wine wine "$folder/velmar.exe" "$(in_wine winepath -w "$work/sample.png" | tr -d '\r')" \
  2>"$work/err.cp932" || { iconv -f CP932 -t UTF-8 "$work/err.cp932" >&2; fail "the run failed"; }
[ -f "$user_data/Print Out.pdf" ] || fail "the installed program printed nothing"
registry_has 'HKCU\Software\OstrandTools\Path' /v velmar || fail "no executable path recorded"

echo "windows-package-test: the uninstaller"
in_wine wine "$folder/Uninstall.exe" /S
wineserver -w
[ ! -e "$folder" ] || fail "the uninstaller left $folder: $(ls -A "$folder")"
[ ! -e "$start_menu/Velmar.lnk" ] || fail "the uninstaller left the Start menu entry"
! registry_has "$uninstall_key" || fail "the uninstaller left its registration"
! registry_has 'HKCU\Software\OstrandTools\Path' /v velmar || fail "the registry entry stayed"
[ -f "$user_data/User.xml" ] || fail "the uninstaller removed the user's settings"
echo "windows-package-test: installed, printed and uninstalled; all checks passed"
