# Sourced by the scripts that run the Windows program under Wine: a Wine prefix of the
# script's own in a temporary folder `$work` (removed, with Wine's server, when the script
# ends), 64-bit, quiet, no menu entries added to this machine, no display, no printer of
# this machine (CUPS is asked at a socket where no daemon listens), Qt's offscreen
# platform, and `in_wine` to run a command in the Japanese locale.
work="$(mktemp -d)"
export WINEPREFIX="$work/prefix"
stop_wine() {
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap stop_wine EXIT
export WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export CUPS_SERVER="$work/no-cups.sock"
# Wine keeps QT_* variables from Windows programs; it passes WINEQT_* on as QT_*.
export WINEQT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY

in_wine() {
  env LC_ALL=ja_JP.UTF-8 "$@"
}
