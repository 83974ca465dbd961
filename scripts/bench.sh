#!/usr/bin/env bash
# Measures Velmar's print-only run with the built-in PDF printer on images it makes itself,
# side by side with img2pdf (a JPEG into a PDF unchanged), djpeg (the decode floor) and cp
# (the copy floor), and prints a table of median wall times, their ratios and peak memory.
#
#   bash scripts/bench.sh [--runs N] [--no-200mp]
#
# VELMAR_BUILD names the build folder (default build/release; build it first). The 200 MP
# case takes about a minute more; --no-200mp leaves it out. Needs about 2 GB of disk space
# in the temporary folder.
set -euo pipefail

runs=5
large=1
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --no-200mp) large=0; shift ;;
    *) echo "usage: bash scripts/bench.sh [--runs N] [--no-200mp]" >&2; exit 2 ;;
  esac
done

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELMAR_BUILD:-$root/build/release}"
velmar="$build/src/velmar"
if [ ! -x "$velmar" ]; then
  echo "bench: $velmar is missing; build it first (cmake --preset release && cmake --build --preset release)" >&2
  exit 1
fi

# The programs compared with, the memory meter and the image makers.
packages=(img2pdf libjpeg-turbo-progs time imagemagick gcc)
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qx installed; then
    missing+=("$package")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  as_root=()
  [ "$(id -u)" -ne 0 ] && as_root=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update
  "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
images="$work/images"
home="$work/home"
data="$home/data/Ostrand/velmar"
pdfs="$work/pdf"
mkdir -p "$images" "$data/Temp" "$pdfs" "$home/config"
printf '[Printer]\nName=PDF\nOutputFolder=%s\n' "$pdfs" >"$data/IkPrn.Ik"

echo "bench: making the images" >&2
cc -O2 -o "$work/make-image" "$root/scripts/bench/make-image.c"
jpeg() {  # name width height
  "$work/make-image" "$2" "$3" | cjpeg -quality 90 -outfile "$images/$1.jpg"
}
jpeg 2mp 1732 1155
jpeg 24mp 6000 4000
[ "$large" -eq 1 ] && jpeg 200mp 17320 11547
"$work/make-image" 6000 4000 >"$work/24mp.ppm"
convert "$work/24mp.ppm" "$images/24mp.png"
rm "$work/24mp.ppm"
# A flat grey 23000 x 23000 PNG: half a megabyte on disk, 529 megapixels decoded.
python3 - "$images/grey23k.png" <<'PY'
import struct, sys, zlib
size = 23000
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
deflate = zlib.compressobj(9)
row = b"\0" + b"\x80" * size
data = b"".join(deflate.compress(row) for _ in range(size)) + deflate.flush()
with open(sys.argv[1], "wb") as out:
    out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 0, 0, 0, 0))
              + chunk(b"IDAT", data) + chunk(b"IEND", b""))
PY

# User.xml with the given backup mode, as the program writes it (Shift-JIS, CR LF).
backup_mode() {
  python3 - "$data/User.xml" "$1" <<'PY'
import sys
text = ("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <設定>\r\n"
        f"      <保存>{sys.argv[2]}</保存>\r\n   </設定>\r\n</運用>\r\n")
open(sys.argv[1], "wb").write(text.encode("cp932"))
PY
}

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# Runs a command $runs times; sets med (median wall seconds), cpu (median user + system
# seconds) and mib (the largest peak resident memory, MiB).
measure() {
  local times=() cpus=() peak=0 seconds user system kib start finish
  for _ in $(seq "$runs"); do
    start=$EPOCHREALTIME
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
      cat "$work/stderr" >&2
      echo "bench: failed: $*" >&2
      exit 1
    }
    finish=$EPOCHREALTIME
    # The wall time to the millisecond; the meter's own is in hundredths.
    read -r _ user system kib <"$work/time"
    seconds="$(awk -v a="$start" -v b="$finish" 'BEGIN { printf "%.3f", b - a }')"
    times+=("$seconds")
    cpus+=("$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')")
    [ "$kib" -gt "$peak" ] && peak="$kib"
    rm -f "$pdfs"/*.pdf "$work/out.pdf" "$work/copy"
    find "$data/Temp" -name '3000[1-9].jpg' -delete -o -name '000[1-9].jpg' -delete
  done
  med="$(median "${times[@]}")"
  cpu="$(median "${cpus[@]}")"
  mib=$((peak / 1024))
}

run_velmar=(env HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config"
  QT_QPA_PLATFORM=offscreen "$velmar")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f×", a / b; else print "–" }'; }
# "wall s (cpu s)" and "wall ratio (cpu ratio)"
both() { printf '%s s (%s s)' "$1" "$2"; }
ratios() { printf '%s (%s)' "$(ratio "$1" "$3")" "$(ratio "$2" "$4")"; }

echo "bench: measuring, $runs runs each" >&2
rows=()
pdf_size_ratio="–"
cases=(2mp 24mp)
[ "$large" -eq 1 ] && cases+=(200mp)
backup_mode 0
for name in "${cases[@]}"; do
  image="$images/$name.jpg"
  measure "${run_velmar[@]}" "$image"; v_s="$med"; v_c="$cpu"; v_m="$mib"
  measure img2pdf --pillow-limit-break --output "$work/out.pdf" "$image"; i_s="$med"; i_c="$cpu"; i_m="$mib"
  measure djpeg -outfile /dev/null "$image"; d_s="$med"; d_c="$cpu"
  measure cp "$image" "$work/copy"; c_s="$med"; c_c="$cpu"
  rows+=("| $name JPEG → PDF | $(both "$v_s" "$v_c") | $v_m MiB | img2pdf $(both "$i_s" "$i_c"), $i_m MiB | $(ratios "$v_s" "$v_c" "$i_s" "$i_c") | $(ratios "$v_s" "$v_c" "$d_s" "$d_c") | $(ratios "$v_s" "$v_c" "$c_s" "$c_c") |")
  if [ "$name" = 24mp ]; then
    "${run_velmar[@]}" "$image" 2>/dev/null
    pdf_size_ratio=$(awk -v p="$(stat -c %s "$pdfs/Print Out.pdf")" -v s="$(stat -c %s "$image")" \
      'BEGIN { printf "%.4f", p / s }')
    rm -f "$pdfs"/*.pdf
  fi
done

image="$images/24mp.png"
measure "${run_velmar[@]}" "$image"; v_s="$med"; v_c="$cpu"; v_m="$mib"
# img2pdf re-deflates a PNG in Python: one run of it takes most of a minute.
saved_runs=$runs
runs=1
measure img2pdf --pillow-limit-break --output "$work/out.pdf" "$image"; i_s="$med"; i_c="$cpu"; i_m="$mib"
runs=$saved_runs
measure cp "$image" "$work/copy"; c_s="$med"; c_c="$cpu"
rows+=("| 24mp PNG → PDF | $(both "$v_s" "$v_c") | $v_m MiB | img2pdf (1 run) $(both "$i_s" "$i_c"), $i_m MiB | $(ratios "$v_s" "$v_c" "$i_s" "$i_c") | | $(ratios "$v_s" "$v_c" "$c_s" "$c_c") |")

runs=1
measure "${run_velmar[@]}" "$images/grey23k.png"; g_s="$med"; g_c="$cpu"; g_m="$mib"
runs=$saved_runs
rows+=("| 23000² grey PNG (1 run) → PDF | $(both "$g_s" "$g_c") | $g_m MiB | | | | |")

# Mode 2: the JPEG backup at quality 85 before printing.
backup_mode 2
image="$images/24mp.jpg"
measure "${run_velmar[@]}" "$image"; m_s="$med"; m_c="$cpu"; m_m="$mib"
measure sh -c 'djpeg "$1" | cjpeg -quality 85 >/dev/null' sh "$image"; r_s="$med"; r_c="$cpu"
rows+=("| 24mp JPEG, mode 2 | $(both "$m_s" "$m_c") | $m_m MiB | djpeg \\| cjpeg -quality 85 $(both "$r_s" "$r_c") | $(ratios "$m_s" "$m_c" "$r_s" "$r_c") | | |")

image="$images/2mp.jpg"
measure "${run_velmar[@]}" "$image"; e_s="$med"; e_c="$cpu"
(cd "$data/Temp" && seq -f '%05g.jpg' 1 30000 | xargs touch)
measure "${run_velmar[@]}" "$image"; f_s="$med"; f_c="$cpu"; f_m="$mib"
rows+=("| 2mp JPEG, mode 2, Temp with 30,000 files | $(both "$f_s" "$f_c") | $f_m MiB | empty Temp $(both "$e_s" "$e_c") | $(ratios "$f_s" "$f_c" "$e_s" "$e_c") | | |")

echo
echo "Velmar $("$velmar" --version 2>/dev/null | awk '{print $2}'), $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')), load average $(cut -d' ' -f1-3 /proc/loadavg) at the end, medians of $runs runs"
echo
echo "Times are wall seconds with CPU seconds (user + system) in brackets; ratios likewise."
echo
echo "| case | Velmar | peak memory | compared with | ratio | vs djpeg | vs cp |"
echo "|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
echo "24mp JPEG: PDF size / source size = $pdf_size_ratio"
