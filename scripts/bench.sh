#!/usr/bin/env bash
# Measures Velmar's print-only run with the built-in PDF printer on images it makes itself.
# Every comparison runs its two commands in pairs, one right after the other, the order
# turning round each pair (A B, B A, A B, …), so that a change of load on the machine falls
# on both alike; it prints the medians with their range (lowest–highest), the median and the
# range of the pairs' ratios, and names the machine and its load.
#
#   bash scripts/bench.sh [--runs N] [--before VELMAR]
#
# --runs: pairs per comparison (default 7; the 1x1 case runs three times as many).
# --before: a Velmar built from an earlier commit, for the "vs before" rows, e.g.
#   git archive <commit> | tar -x -C /tmp/before && cmake -S /tmp/before -B /tmp/before/build \
#     -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMAR_BUILD_TESTS=OFF &&
#   cmake --build /tmp/before/build --target velmar      # then --before /tmp/before/build/src/velmar
# VELMAR_BUILD names the build folder (default build/release; build it first). Needs about
# 1 GB in the temporary folder. Installs img2pdf, libjpeg-turbo-progs, time, gcc and zlib's
# headers when they are missing.
set -euo pipefail

runs=7
before=""
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --before) before="$(realpath "$2")"; shift 2 ;;
    *) echo "usage: bash scripts/bench.sh [--runs N] [--before VELMAR]" >&2; exit 2 ;;
  esac
done

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELMAR_BUILD:-$root/build/release}"
velmar="$build/src/velmar"
for program in "$velmar" ${before:+"$before"}; do
  if [ ! -x "$program" ]; then
    echo "bench: $program is missing; build it first (cmake --preset release && cmake --build --preset release)" >&2
    exit 1
  fi
done

# The program compared with, the memory meter and the image maker's tools.
packages=(img2pdf libjpeg-turbo-progs time gcc zlib1g-dev)
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

machine="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores"
load_start="$(cut -d' ' -f1-3 /proc/loadavg)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
images="$work/images"
home="$work/home"
data="$home/data/Ostrand/velmar"
pdfs="$work/pdf"
mkdir -p "$images" "$data/Temp" "$pdfs" "$home/config"
printf '[Printer]\nName=PDF\nOutputFolder=%s\n' "$pdfs" >"$data/IkPrn.Ik"

echo "bench: making the images" >&2
cc -O2 -o "$work/make-image" "$root/scripts/bench/make-image.c" -lz
make_image() { "$work/make-image" "$@"; }
make_image 1732 1155 | cjpeg -quality 90 -outfile "$images/2mp.jpg"
make_image 6000 4000 | cjpeg -quality 90 -outfile "$images/24mp.jpg"
make_image 6000 4000 palette >"$images/24mp-palette.png"
make_image 6000 4000 png16 >"$images/24mp-16bit.png"
make_image 6000 4000 bmp >"$images/24mp.bmp"
python3 - "$images/1x1.png" <<'PY'
import struct, sys, zlib
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
with open(sys.argv[1], "wb") as out:
    out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0))
              + chunk(b"IDAT", zlib.compress(b"\0\x80\x80\x80")) + chunk(b"IEND", b""))
PY

in_home=(env HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config"
  QT_QPA_PLATFORM=offscreen)

# Runs one command; sets wall (seconds, to the millisecond), cpu (user + system seconds, in
# hundredths) and kib (peak resident size).
run_once() {
  local start finish user system
  start=$EPOCHREALTIME
  /usr/bin/time -f '%U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
    cat "$work/stderr" >&2
    echo "bench: failed: $*" >&2
    exit 1
  }
  finish=$EPOCHREALTIME
  wall="$(awk -v a="$start" -v b="$finish" 'BEGIN { printf "%.4f", b - a }')"
  read -r user system kib < <(tail -n1 "$work/time")
  cpu="$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')"
  rm -f "$pdfs"/*.pdf "$work/out.pdf"
}

# "median (lowest–highest)" of the numbers given, each scaled by $scale, with $digits decimals.
summary() {
  printf '%s\n' "$@" | sort -g | awk -v s="${scale:-1}" -v d="${digits:-3}" '
    { v[NR] = $1 * s }
    END { printf "%.*f (%.*f–%.*f)", d, v[int((NR + 1) / 2)], d, v[1], d, v[NR] }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.4f", a / b; else print "inf" }'; }

# Runs the commands in the arrays A and B in $1 pairs, the order turning round each pair.
# Sets a_sum, b_sum (wall times in $unit, CPU times after them), ratio_sum (A / B per pair:
# wall, then CPU), a_peak, b_peak (MiB).
unit=s unit_scale=1 unit_digits=3
paired() {
  local pairs="$1" i a_times=() b_times=() a_cpus=() b_cpus=() ratios=() cpu_ratios=()
  local a_wall b_wall a_cpu b_cpu
  a_peak=0; b_peak=0
  for i in $(seq "$pairs"); do
    if [ $((i % 2)) -eq 1 ]; then
      run_once "${A[@]}"; a_wall="$wall"; a_cpu="$cpu"; [ "$kib" -gt "$a_peak" ] && a_peak="$kib"
      run_once "${B[@]}"; b_wall="$wall"; b_cpu="$cpu"; [ "$kib" -gt "$b_peak" ] && b_peak="$kib"
    else
      run_once "${B[@]}"; b_wall="$wall"; b_cpu="$cpu"; [ "$kib" -gt "$b_peak" ] && b_peak="$kib"
      run_once "${A[@]}"; a_wall="$wall"; a_cpu="$cpu"; [ "$kib" -gt "$a_peak" ] && a_peak="$kib"
    fi
    a_times+=("$a_wall"); b_times+=("$b_wall"); a_cpus+=("$a_cpu"); b_cpus+=("$b_cpu")
    ratios+=("$(ratio "$a_wall" "$b_wall")"); cpu_ratios+=("$(ratio "$a_cpu" "$b_cpu")")
  done
  a_sum="$(times_text a_times a_cpus)"
  b_sum="$(times_text b_times b_cpus)"
  ratio_sum="$(digits=2 summary "${ratios[@]}")×; CPU $(digits=2 summary "${cpu_ratios[@]}")×"
  a_peak=$((a_peak / 1024)); b_peak=$((b_peak / 1024))
}

# "wall; CPU" of the arrays named $1 (wall times) and $2 (CPU times), in $unit.
times_text() {
  local -n walls_="$1" cpus_="$2"
  printf '%s %s; CPU %s %s' "$(scale="$unit_scale" digits="$unit_digits" summary "${walls_[@]}")" \
    "$unit" "$(scale="$unit_scale" digits="$unit_digits" summary "${cpus_[@]}")" "$unit"
}

# Runs the command in array A $1 times; sets a_sum.
alone() {
  local i times=() cpus=()
  for i in $(seq "$1"); do
    run_once "${A[@]}"; times+=("$wall"); cpus+=("$cpu")
  done
  a_sum="$(times_text times cpus)"
}

# Prints one PDF for the image: its size over the file's, and its images' bits a sample.
pdf_facts() {
  "${in_home[@]}" "$velmar" "$1" >/dev/null 2>&1
  local pdf="$pdfs/Print Out.pdf"
  size_ratio="$(awk -v p="$(stat -c %s "$pdf")" -v s="$(stat -c %s "$1")" 'BEGIN { printf "%.3f", p / s }')"
  bits="$(grep -ao '/BitsPerComponent [0-9]*' "$pdf" | head -n1 | cut -d' ' -f2)"
  rm -f "$pdfs"/*.pdf
}

rows=()
row() { rows+=("| $1 | $2 | $3 | $4 | $5 |"); }
no_before="(no --before given)"

echo "bench: 1x1 PNG" >&2
if [ -n "$before" ]; then
  A=("${in_home[@]}" "$velmar" "$images/1x1.png"); B=("${in_home[@]}" "$before" "$images/1x1.png")
  unit=ms unit_scale=1000 unit_digits=1 paired $((runs * 3))
  row "1×1 PNG, print-only to PDF" "$a_sum" "before: $b_sum" "$ratio_sum" "≤ 20 ms"
else
  A=("${in_home[@]}" "$velmar" "$images/1x1.png")
  unit=ms unit_scale=1000 unit_digits=1 alone $((runs * 3))
  row "1×1 PNG, print-only to PDF" "$a_sum" "" "" "≤ 20 ms"
fi

jpeg_peak=0
for size in 24mp 2mp; do
  echo "bench: $size JPEG" >&2
  A=("${in_home[@]}" "$velmar" "$images/$size.jpg")
  B=(img2pdf --output "$work/out.pdf" "$images/$size.jpg")
  paired "$runs"
  [ "$size" = 24mp ] && jpeg_peak="$a_peak" && target="≤ 0.55×" || target="≤ 0.25×"
  row "$size JPEG vs img2pdf" "$a_sum" "img2pdf $b_sum" "$ratio_sum" "$target"
done

echo "bench: palette PNG" >&2
pdf_facts "$images/24mp-palette.png"
A=("${in_home[@]}" "$velmar" "$images/24mp-palette.png")
alone "$runs"
row "24mp palette PNG: PDF size / file size" "$size_ratio ($bits-bit indices); $a_sum" "" "" "≤ 1.02"

for case in 24mp-16bit.png 24mp.bmp; do
  echo "bench: $case" >&2
  pdf_facts "$images/$case"
  facts="$bits bits a sample, PDF size / file size $size_ratio"
  [ "$case" = 24mp.bmp ] && title="24mp BMP vs before" target="≤ 0.6×" ||
    title="24mp 16-bit PNG vs before" target="≤ 0.5×, 16 bits kept"
  A=("${in_home[@]}" "$velmar" "$images/$case")
  if [ -n "$before" ]; then
    B=("${in_home[@]}" "$before" "$images/$case")
    paired "$runs"
    row "$title" "$a_sum; $facts" "before: $b_sum" "$ratio_sum" "$target"
  else
    alone "$runs"
    row "$title" "$a_sum; $facts" "$no_before" "" "$target"
  fi
done

row "peak memory, 24mp JPEG" "$jpeg_peak MiB" "" "" "≤ 40 MiB"

echo
echo "Velmar $("$velmar" --version 2>/dev/null | awk '{print $2}') on $machine; load average $load_start at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end; $runs pairs a comparison ($((runs * 3)) for 1×1)."
echo
echo "Times: wall, then CPU (user + system, counted in hundredths of a second), each the median (lowest–highest). Ratio: the median (lowest–highest) of the pairs' own ratios, wall and CPU."
echo
echo "| case | Velmar | compared with | ratio | target |"
echo "|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
