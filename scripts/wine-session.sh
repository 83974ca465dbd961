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

# A failing step names itself; `set -e` alone would end the script without a word.
set -o errtrace
trap 'echo "${0##*/}: line $LINENO failed with status $?: $BASH_COMMAND" >&2' ERR

# Makes the prefix. A first start that fails (Wine's server of a prefix that has just been
# removed may still be going away) is tried once more; a second failure shows Wine's words.
make_prefix() {
  if in_wine wineboot --init >"$work/wineboot.log" 2>&1; then
    return 0
  fi
  sleep 2
  if ! in_wine wineboot --init >"$work/wineboot.log" 2>&1; then
    cat "$work/wineboot.log" >&2
    return 1
  fi
}
