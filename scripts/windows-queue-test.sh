#!/usr/bin/env bash
# Prints under Wine on a printer queue, the way a Windows user prints on a real printer:
# Wine's print spooler lists the queues of a CUPS daemon, and Wine's own printer driver
# turns what the program draws into PostScript for it. The daemon is one of this script's
# own (configuration, spool, logs and socket in a temporary folder, started in a mount
# namespace of its own in which that folder stands in for /etc/cups, where its cups-pdf
# backend reads its settings), with one cups-pdf queue that leaves 4.2 mm unprintable on
# every side of an A4 sheet. Checks that:
#   1. velmar.exe, with IkPrn.Ik naming the queue, prints the sample headless and ends with
#      status 0;
#   2. the daemon holds one completed job named "Print Out";
#   3. cups-pdf's PDF of it has one A4 page, with the image (600 x 300 pixels at 300 dpi)
#      50.8 mm x 25.4 mm at the printable corner, 4.2 mm in from the paper's edges (to
#      0.1 mm, rasterised at 254 dpi);
#   4. with the driver's own preferences kept in IkPrn.Ik for the queue (a DEVMODE that
#      chooses A5 paper) and no paper of the program's own, a second job comes out on A5;
#      with PaperSize=A4 in IkPrn.Ik as well, a third comes out on A4 again.
# Needs root (the daemon's mount namespace); without it, and outside CI, it says so and
# skips. Usage: scripts/windows-queue-test.sh [program
# folder]   (build/windows/bin by default). Exits non-zero on the first failed check.
set -euo pipefail
cd "$(dirname "$0")/.."
program_folder="$(realpath "${1:-build/windows/bin}")"
program="$program_folder/velmar.exe"
queue=VelmarQueue

fail() {
  echo "windows-queue-test: $*" >&2
  exit 1
}
[ -f "$program" ] || fail "no $program; build the windows preset first"
if [ "$(id -u)" -ne 0 ]; then
  # Outside CI a developer without root cannot start the daemon; CI always can.
  [ -z "${CI:-}" ] || fail "the private CUPS daemon needs root (a mount namespace of its own)"
  echo "windows-queue-test: skipped: the private CUPS daemon needs root" >&2
  exit 0
fi

# shellcheck source=scripts/wine-session.sh
source scripts/wine-session.sh
cups="$work/cups"
daemon_pid=""
stop_all() {
  if [ -n "$daemon_pid" ]; then
    kill "$daemon_pid" 2>/dev/null || true
    wait "$daemon_pid" 2>/dev/null || true
  fi
  stop_wine
}
trap stop_all EXIT

# The daemon's folders: readable by the filters (group lp), its spool and state theirs to
# write.
chmod 755 "$work"
mkdir -p "$cups"/{etc/ppd,spool/tmp,cache,state,log,out,pdf-spool}
chmod 755 "$cups" "$cups"/{etc,etc/ppd,log,out,pdf-spool}
chown root:lp "$cups"/{spool,spool/tmp,cache,state}
chmod 770 "$cups"/{spool,spool/tmp,cache,state}

cat >"$cups/etc/cups-files.conf" <<EOF
ServerRoot $cups/etc
RequestRoot $cups/spool
TempDir $cups/spool/tmp
CacheDir $cups/cache
StateDir $cups/state
ErrorLog $cups/log/error_log
AccessLog $cups/log/access_log
PageLog $cups/log/page_log
Printcap $cups/printcap
User lp
Group lp
SystemGroup root
Sandboxing relaxed
EOF
cat >"$cups/etc/cupsd.conf" <<EOF
Listen $cups/cups.sock
LogLevel info
WebInterface No
Browsing No
DefaultAuthType None
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
# cups-pdf names each file after its job ("job_<id>-<title>.pdf").
cat >"$cups/etc/cups-pdf-velmar.conf" <<EOF
Out $cups/out
AnonDirName $cups/out
Spool $cups/pdf-spool
Log $cups/log
Grp root
Label 1
EOF
# A PostScript printer with A4 (its default) and A5 paper and 4.2 mm (11.906 pt) unprintable on
# every side.
cat >"$cups/margins.ppd" <<'EOF'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "VELMARTS.PPD"
*Manufacturer: "Velmar"
*Product: "(Velmar Test Page Printer)"
*ModelName: "Velmar Test Page Printer"
*ShortNickName: "Velmar Test Page Printer"
*NickName: "Velmar Test Page Printer"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595.276 841.89]/ImagingBBox null>>setpagedevice"
*PageSize A5/A5: "<</PageSize[419.528 595.276]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595.276 841.89]/ImagingBBox null>>setpagedevice"
*PageRegion A5/A5: "<</PageSize[419.528 595.276]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "11.906 11.906 583.37 829.984"
*ImageableArea A5/A5: "11.906 11.906 407.622 583.37"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595.276 841.89"
*PaperDimension A5/A5: "419.528 595.276"
*DefaultFont: Courier
EOF
cat >"$cups/job.test" <<'EOF'
{
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job
  ATTR keyword requested-attributes job-name,job-state
  STATUS successful-ok
  DISPLAY job-name
  DISPLAY job-state
}
EOF

echo "windows-queue-test: starting a private CUPS daemon"
unshare --mount --propagation private sh -c \
  'mount --bind "$1" /etc/cups && exec cupsd -f -c "$2" -s "$3"' velmar-cups \
  "$cups/etc" "$cups/etc/cupsd.conf" "$cups/etc/cups-files.conf" >"$cups/log/daemon.out" 2>&1 &
daemon_pid=$!
export CUPS_SERVER="$cups/cups.sock"
for _ in $(seq 100); do
  if [ -S "$CUPS_SERVER" ] && lpstat -r 2>/dev/null | grep -q '^scheduler is running'; then
    break
  fi
  kill -0 "$daemon_pid" 2>/dev/null || fail "the CUPS daemon ended: $(cat "$cups/log/daemon.out")"
  sleep 0.2
done
lpadmin -h "$CUPS_SERVER" -p "$queue" -E -v cups-pdf:/velmar -P "$cups/margins.ppd" ||
  fail "lpadmin could not add $queue"

echo "windows-queue-test: making the Wine prefix"
make_prefix
appdata_windows="$(in_wine wine cmd /c echo %APPDATA% | tr -d '\r')"
user_data="$(in_wine winepath -u "$appdata_windows" | tr -d '\r')"
user_data="${user_data%/}/Ostrand/velmar"
mkdir -p "$user_data"
printf '[Printer]\r\nName=%s\r\n' "$queue" >"$user_data/IkPrn.Ik"
convert -size 600x300 xc:black -units PixelsPerInch -density 300 "png24:$work/black.png"
image_windows="$(in_wine winepath -w "$work/black.png" | tr -d '\r')"

# One run of the program, printing the image.
print_image() {
  local status=0
  in_wine wine "$program" "$image_windows" >"$work/out.txt" 2>"$work/err.cp932" || status=$?
  iconv -f CP932 -t UTF-8 "$work/err.cp932" | tr -d '\r' >&2 || true
  [ "$status" -eq 0 ] || fail "velmar.exe ended with status $status"
}

# The newest job, once it has ended and the daemon holds `count` jobs in all, as the daemon
# reports it (a CSV header, then the row): sets job, name and state.
uri="ipp://${CUPS_SERVER//\//%2F}/printers/$queue"  # the socket's path has no other specials
await_job() {  # count
  job=""
  state=""
  name=""
  local jobs
  for _ in $(seq 150); do
    jobs="$(lpstat -W all -o "$queue" | wc -l)"
    if [ "$jobs" -ge "$1" ]; then
      job="$(lpstat -W all -o "$queue" | sed -n "s/^$queue-\([0-9]*\) .*/\1/p" | sort -n | tail -n 1)"
      IFS=, read -r name state < <(ipptool -c -d job="$job" "$uri" "$cups/job.test" 2>/dev/null |
        sed -n 2p) || true
      case "$state" in completed | aborted | canceled) break ;; esac
    fi
    sleep 0.2
  done
  [ -n "$job" ] || fail "the daemon got no job: $(tail -n 20 "$cups/log/error_log")"
  [ "$jobs" -eq "$1" ] || fail "the daemon got $jobs jobs, not $1"
  echo "windows-queue-test: job $job \"$name\" $state"
  [ "$state" = completed ] || fail "job $job is $state: $(tail -n 20 "$cups/log/error_log")"
  [ "$name" = "Print Out" ] || fail "job $job is named \"$name\", not \"Print Out\""
}

near() { # value expected tolerance
  [ "$1" -ge $(($2 - $3)) ] && [ "$1" -le $(($2 + $3)) ]
}
# The one page of the job's PDF, rasterised at 254 dpi (0.1 mm a pixel): sets width, height
# and the ink's box.
rasterise_job() {
  local output pages
  output="$(find "$cups/out" -name "job_$job-*.pdf" | head -n 1)"
  [ -n "$output" ] || fail "cups-pdf wrote no PDF for job $job"
  pages="$(pdfinfo "$output" | sed -n 's/^Pages: *//p')"
  [ "$pages" = 1 ] || fail "the PDF has $pages pages, not one"
  pdftoppm -r 254 -singlefile -png "$output" "$work/page"
  read -r width height <<<"$(identify -format '%w %h' "$work/page.png")"
  IFS='x+' read -r ink_width ink_height ink_x ink_y <<<"$(convert "$work/page.png" \
    -colorspace Gray -threshold 50% -format '%@' info:)"
  echo "windows-queue-test: one page ${width}x$height, ink ${ink_width}x$ink_height at $ink_x,$ink_y (0.1 mm)"
}

echo "windows-queue-test: printing $image_windows on $queue"
print_image
await_job 1
rasterise_job
near "$width" 2100 1 && near "$height" 2970 1 || fail "the page is not A4"
near "$ink_width" 508 1 && near "$ink_height" 254 1 || fail "the image is not 50.8 mm x 25.4 mm"
near "$ink_x" 42 1 && near "$ink_y" 42 1 || fail "the image is not at the printable corner"

# The public part of a DEVMODE (220 bytes, no part of the driver's own) for the queue that
# chooses one thing: A5 paper (dmFields DM_PAPERSIZE, dmPaperSize DMPAPER_A5), in Base64.
a5_devmode() {
  {
    local i
    for ((i = 0; i < 32; i++)); do # dmDeviceName, UTF-16LE
      if [ "$i" -lt "${#queue}" ]; then printf '%s\0' "${queue:i:1}"; else printf '\0\0'; fi
    done
    printf '\x01\x04\0\0'     # dmSpecVersion 0x401, dmDriverVersion
    printf '\xdc\0\0\0'       # dmSize 220, dmDriverExtra 0
    printf '\x02\0\0\0'       # dmFields
    printf '\x01\0\x0b\0'     # dmOrientation portrait, dmPaperSize 11
    head -c 140 /dev/zero
  } | base64 -w 0
}
echo "windows-queue-test: printing with the driver's preferences kept for $queue (A5)"
printf '[Printer]\r\nName=%s\r\nDriverPrinter=%s\r\nDriverPreferences=%s\r\n' \
  "$queue" "$queue" "$(a5_devmode)" >"$user_data/IkPrn.Ik"
print_image
await_job 2
rasterise_job
near "$width" 1480 1 && near "$height" 2100 1 || fail "the page is not A5"
near "$ink_width" 508 1 && near "$ink_height" 254 1 || fail "the image is not 50.8 mm x 25.4 mm"

echo "windows-queue-test: printing with the same preferences and PaperSize=A4"
printf 'PaperSize=A4\r\n' >>"$user_data/IkPrn.Ik"
print_image
await_job 3
rasterise_job
near "$width" 2100 1 && near "$height" 2970 1 || fail "the page is not A4"
echo "windows-queue-test: all checks passed"
