#!/usr/bin/env bash
# Redraws the pictures in docs/screenshots/ from the built program:
#   window-file-menu.png  the window with its File menu and the backup submenu open, shown on
#                         a private X server (Xvfb) and driven with xdotool;
#   printer-setup.png     the dialog of ﾌｧｲﾙ → ﾌﾟﾘﾝﾀ設定 with the saved PDF printer;
#   printer-missing.png   the print dialog of a print-only run whose saved printer is gone;
#   printed-page.png      the page that the built-in PDF printer writes for
#                         samples/sample-300dpi.png, with a thin grey edge.
# Everything runs in a temporary home folder with no way to reach a CUPS daemon or the
# desktop's session bus, so neither your settings nor your printers are touched.
# Usage: scripts/make-screenshots.sh
#          installs what is needed, builds the release preset and uses build/release;
#        VELMAR_BUILD=build/debug scripts/make-screenshots.sh
#          uses that build folder as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
out="$root/docs/screenshots"

bash scripts/install-deps.sh
if [ -z "${VELMAR_BUILD:-}" ]; then
  bash scripts/build.sh release
  build="$root/build/release"
else
  build="$(realpath "$VELMAR_BUILD")"
fi
velmar="$build/src/velmar"
if [ ! -x "$velmar" ]; then
  echo "make-screenshots: no program at $velmar" >&2
  exit 1
fi

work="$(mktemp -d)"
xvfb_pid=""
velmar_pid=""
cups_pid=""

# Ends a process that this script started: SIGTERM, up to five seconds, then SIGKILL.
stop_process() {
  local pid="$1"
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

cleanup() {
  if [ -n "$velmar_pid" ]; then stop_process "$velmar_pid"; fi
  if [ -n "$xvfb_pid" ]; then stop_process "$xvfb_pid"; fi
  if [ -n "$cups_pid" ]; then stop_process "$cups_pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/home" "$work/data/Ostrand/velmar" "$work/config" "$work/cache" "$out"
mkdir -m 700 "$work/runtime"
# The built-in PDF printer, so that nothing is looked up in CUPS.
printf '[Printer]\nName=PDF\nPaperSize=A4\nOrientation=Portrait\n' \
  > "$work/data/Ostrand/velmar/IkPrn.Ik"

# The temporary home folder, without a display; then the same on the private X server
# (completed once the server said its display number). Both are commands for env, so that a
# program started with them in the background keeps the process id that $! gives.
in_home=(env -u DISPLAY -u WAYLAND_DISPLAY -u XAUTHORITY
  HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
  XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime"
  CUPS_SERVER="$work/none.sock" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/none.bus")
on_x=()

# Waits until the program shows exactly the given number of windows (its window and menus).
wait_for_windows() {
  local count="$1" shown
  for _ in $(seq 100); do
    shown="$("${on_x[@]}" xdotool search --onlyvisible --pid "$velmar_pid" | wc -l || true)"
    if [ "$shown" -eq "$count" ]; then
      return 0
    fi
    sleep 0.1
  done
  echo "make-screenshots: velmar shows $shown windows, not $count" >&2
  return 1
}

# Prints "left top right bottom" of the box around every window the program shows.
bounding_box() {
  local window
  for window in $("${on_x[@]}" xdotool search --onlyvisible --pid "$velmar_pid"); do
    "${on_x[@]}" xdotool getwindowgeometry --shell "$window"
  done | awk -F= '
    $1 == "X" { x = $2 } $1 == "Y" { y = $2 } $1 == "WIDTH" { w = $2 }
    $1 == "HEIGHT" {
      h = $2
      if (n++ == 0 || x < l) l = x
      if (n == 1 || y < t) t = y
      if (n == 1 || x + w > r) r = x + w
      if (n == 1 || y + h > b) b = y + h
    }
    END { print l, t, r, b }'
}

# The window with its menus. Xvfb takes a free display number itself and writes it to the
# given file descriptor once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 200); do
  if [ "$(wc -l < "$work/display")" -ge 1 ]; then break; fi
  sleep 0.1
done
display=":$(head -n 1 "$work/display")"
if [ "$display" = ":" ]; then
  echo "make-screenshots: Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
on_x=("${in_home[@]}" DISPLAY="$display" QT_QPA_PLATFORM=xcb)

"${on_x[@]}" "$velmar" 2>"$work/velmar.log" &
velmar_pid=$!
window="$("${on_x[@]}" timeout 30 xdotool search --sync --onlyvisible --name '^ﾌﾟﾘﾝﾄ$' | head -n 1 || true)"
if [ -z "$window" ]; then
  echo "make-screenshots: the window did not appear" >&2
  cat "$work/velmar.log" >&2
  exit 1
fi

# A click on the title ﾌｧｲﾙ at the left end of the menu bar opens the File menu; the fourth
# Down reaches 印刷時のﾊﾞｯｸｱｯﾌﾟ and Right opens its submenu.
"${on_x[@]}" xdotool mousemove --window "$window" 12 8 click 1
wait_for_windows 2
"${on_x[@]}" xdotool key Down Down Down Down Right
wait_for_windows 3
sleep 1  # time to draw the menus once they are shown
read -r left top right bottom < <(bounding_box)
"${on_x[@]}" import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
  "$work/window.png"
# Without a window manager the window has no frame: a grey line marks its edge, then a
# white margin.
convert "$work/window.png" -bordercolor '#a0a0a0' -border 1 -bordercolor white -border 8 \
  -strip "$out/window-file-menu.png"

# A CUPS daemon with no printers, its configuration, spool and socket in the work folder;
# the program is pointed at its socket. cupsd needs root.
start_private_cups() {
  local dir="$work/cups"
  mkdir -p "$dir/etc" "$dir/spool" "$dir/cache" "$dir/state" "$dir/log" "$dir/tmp"
  chmod 0755 "$work" "$dir" "$dir"/*
  cat > "$dir/etc/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/tmp
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
Printcap $dir/printcap
User lp
Group lp
SystemGroup root
Sandboxing relaxed
CONF
  printf 'Listen %s\nWebInterface No\nBrowsing No\nDefaultAuthType None\n%s\n' \
    "$dir/cups.sock" '<Location />
  Order allow,deny
  Allow all
</Location>' > "$dir/etc/cupsd.conf"
  cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" &
  cups_pid=$!
  for _ in $(seq 100); do
    if CUPS_SERVER="$dir/cups.sock" lpstat -r >/dev/null 2>&1; then
      on_x+=(CUPS_SERVER="$dir/cups.sock")
      return
    fi
    sleep 0.1
  done
  echo "make-screenshots: the private CUPS daemon did not start" >&2
  cat "$dir/log/error_log" >&2 || true
  exit 1
}

# Waits for the velmar started last; stops the script when it did not end with status 0.
expect_velmar_ended_well() {
  local status=0
  wait "$velmar_pid" || status=$?
  velmar_pid=""
  if [ "$status" -ne 0 ]; then
    echo "make-screenshots: $1 ended with status $status" >&2
    cat "$work/velmar.log" >&2
    exit 1
  fi
}

# Each picture of a single window: with a grey line for its edge (there is no window
# manager to draw a frame), then a white margin.
save_window() {
  "${on_x[@]}" import -window "$1" "$work/shot.png"
  convert "$work/shot.png" -bordercolor '#a0a0a0' -border 1 -bordercolor white -border 8 \
    -strip "$out/$2"
}

# ﾌﾟﾘﾝﾀ設定, the second command of the File menu; Escape cancels it.
"${on_x[@]}" xdotool key Escape Escape
wait_for_windows 1
"${on_x[@]}" xdotool mousemove --window "$window" 12 8 click 1
wait_for_windows 2
"${on_x[@]}" xdotool key Down Down Return
dialog="$("${on_x[@]}" timeout 30 xdotool search --sync --onlyvisible --name '^ﾌﾟﾘﾝﾀ設定$' | head -n 1 || true)"
if [ -z "$dialog" ]; then
  echo "make-screenshots: the set-up dialog did not appear" >&2
  exit 1
fi
sleep 1
save_window "$dialog" printer-setup.png
"${on_x[@]}" xdotool key Escape
wait_for_windows 1

# 終了, the sixth command of the File menu, ends the program as a user would.
"${on_x[@]}" xdotool mousemove --window "$window" 12 8 click 1
wait_for_windows 2
"${on_x[@]}" xdotool key Down Down Down Down Down Down Return
for _ in $(seq 300); do
  kill -0 "$velmar_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$velmar_pid" 2>/dev/null; then
  echo "make-screenshots: velmar did not end after 終了" >&2
  exit 1
fi
expect_velmar_ended_well "velmar"
# A print-only run whose saved printer is gone shows the print dialog, centred on the
# screen; Escape cancels it and the run ends. The printer is gone from a CUPS daemon of the
# script's own with no printers (a print system that cannot be reached says so instead).
start_private_cups

printf '[Printer]\nName=Office Laser\nPaperSize=A4\nOrientation=Portrait\n' \
  > "$work/data/Ostrand/velmar/IkPrn.Ik"
"${on_x[@]}" "$velmar" "$root/samples/sample-300dpi.png" 2>"$work/velmar.log" &
velmar_pid=$!
dialog="$("${on_x[@]}" timeout 30 xdotool search --sync --onlyvisible --name '^印刷$' | head -n 1 || true)"
if [ -z "$dialog" ]; then
  echo "make-screenshots: the print dialog did not appear" >&2
  cat "$work/velmar.log" >&2
  exit 1
fi
sleep 1
save_window "$dialog" printer-missing.png
"${on_x[@]}" xdotool key Escape
expect_velmar_ended_well "the cancelled print"
printf '[Printer]\nName=PDF\nPaperSize=A4\nOrientation=Portrait\n' \
  > "$work/data/Ostrand/velmar/IkPrn.Ik"

stop_process "$xvfb_pid"
xvfb_pid=""

# The printed page, printed without a display the way scripts/print-sample.sh does it.
status=0
"${in_home[@]}" QT_QPA_PLATFORM=offscreen "$velmar" "$root/samples/sample-300dpi.png" \
  2>"$work/print.log" || status=$?
pdf="$(sed -n 's/^Velmar: PDF に印刷しました: //p' "$work/print.log" | tail -n 1)"
if [ "$status" -ne 0 ] || [ -z "$pdf" ] || [ ! -f "$pdf" ]; then
  echo "make-screenshots: the sample was not printed (status $status)" >&2
  cat "$work/print.log" >&2
  exit 1
fi
pdftoppm -r 50 -png -singlefile "$pdf" "$work/page"
convert "$work/page.png" -bordercolor '#a0a0a0' -border 1 -strip "$out/printed-page.png"

echo "make-screenshots: wrote window-file-menu.png, printer-setup.png, printer-missing.png" \
  "and printed-page.png in $out"
