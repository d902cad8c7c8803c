#!/usr/bin/env bash
# Whole-process benchmark of the dotweave filter, side by side with what a
# user would pick instead (ImageMagick's dither, CUPS's rastertolabel), in
# the same run. Prints one table; see docs/performance.md.
#
#   bash bench/run-filter-bench.sh [RUNS]      (default 5 runs per case)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}

bash tools/install-deps.sh
need=()
[ -x /usr/bin/convert ] || need+=(imagemagick)
[ -x /usr/lib/cups/filter/rastertolabel ] || need+=(cups)
[ -x /usr/bin/time ] || need+=(time)
command -v ppdc >/dev/null || need+=(cups-ppdc)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}"
fi

build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DDOTWEAVE_TESTS=OFF -DDOTWEAVE_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target dotweave bench_workload >/dev/null
filter="$PWD/$build/dotweave"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A PPD for one printer family with the options the workloads choose.
write_ppd() {  # model file
  cat > "$2" <<PPD
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*ModelName: "dotweave bench $1"
*cupsModelNumber: $1
*cupsFilter: "application/vnd.cups-raster 50 dotweave"
*OpenUI *ImageFilter/Image filter: PickOne
*DefaultImageFilter: 3
*ImageFilter 0/Threshold: ""
*ImageFilter 1/Floyd-Steinberg: ""
*ImageFilter 3/Burkes: ""
*ImageFilter 9/Ordered 8x8: ""
*ImageFilter 11/Automatic: ""
*CloseUI: *ImageFilter
*OpenUI *ImageCompress/Compression: PickOne
*DefaultImageCompress: 0
*ImageCompress 0/Off: ""
*ImageCompress 1/On: ""
*CloseUI: *ImageCompress
*OpenUI *CropEdgeBottom/Trim bottom: PickOne
*DefaultCropEdgeBottom: 0
*CropEdgeBottom 0/Keep: ""
*CropEdgeBottom -1/No limit: ""
*CloseUI: *CropEdgeBottom
*OpenUI *zeMediaTracking/Media: PickOne
*DefaultzeMediaTracking: Gap
*zeMediaTracking Continuous/Continuous: ""
*zeMediaTracking Gap/Gap: ""
*CloseUI: *zeMediaTracking
PPD
}
declare -A family_model=([TSPL]=20 [ESC/POS]=21 [CPCL]=22 [Paperang]=23 [PeriPage]=24)
for family in "${!family_model[@]}"; do
  write_ppd "${family_model[$family]}" "$work/${family_model[$family]}.ppd"
done

gen="$PWD/$build/bench/bench_workload"
"$gen" label "$work/label.ras" 10
"$gen" a4grey "$work/a4grey.ras" 3
"$gen" a4grey "$work/a4grey1.ras" 1
"$gen" narrow "$work/narrow.ras" 3
"$gen" receipt "$work/receipt.ras" 1
"$gen" a4colour "$work/a4colour.ras" 1
"$gen" a4mono "$work/a4mono.ras" 1
"$gen" a4pgm "$work/a4grey.pgm"

# median of numbers on standard input
median() { sort -n | awk '{v[NR]=$1} END {if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }

# Runs a command RUNS times; prints "median-wall-ms median-cpu-ms peak-rss-kib".
# The machine is shared, so besides the wall time the CPU time (user + system,
# 10 ms resolution) shows the work itself.
measure() {
  local times=() cpus=() rss=0 r
  # /usr/bin/time runs programs, not shell functions.
  if [ "$1" = run_filter ]; then
    set -- env PPD="$work/$2.ppd" "$filter" 1 bench bench 1 "$4" "$3"
  fi
  for ((r = 0; r < runs; r++)); do
    local t0 t1
    t0=$(date +%s%N)
    /usr/bin/time -f '%U %S %M' -o "$work/rss" "$@" >/dev/null 2>"$work/stderr" || { cat "$work/stderr" >&2; return 1; }
    t1=$(date +%s%N)
    times+=($(( (t1 - t0) / 1000 )))
    cpus+=($(tail -n 1 "$work/rss" | awk '{printf "%d", ($1 + $2) * 1000000}'))
    local m; m=$(tail -n 1 "$work/rss" | awk '{print $3}'); [ "$m" -gt "$rss" ] && rss=$m
  done
  local wall cpu
  wall=$(printf '%s\n' "${times[@]}" | median)
  cpu=$(printf '%s\n' "${cpus[@]}" | median)
  awk -v w="$wall" -v c="$cpu" -v rss="$rss" 'BEGIN {printf "%.3f %.3f %d\n", w / 1000, c / 1000, rss}'
}

echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"
printf '%-38s %-9s %5s %10s %10s %9s %9s\n' workload family pages "ms/page" "CPU ms/pg" "Mpixel/s" "peak MiB"
row() {  # name family pages pixels-per-page command...
  local name=$1 family=$2 pages=$3 pixels=$4; shift 4
  local result wall cpu kib ms cms
  result=$(measure "$@")
  read -r wall cpu kib <<<"$result"
  ms=$(awk -v t="$wall" -v p="$pages" 'BEGIN {printf "%.1f", t / p}')
  cms=$(awk -v t="$cpu" -v p="$pages" 'BEGIN {printf "%.1f", t / p}')
  # Throughput from the CPU time: the wall time mostly measures the queue.
  printf '%-38s %-9s %5s %10s %10s %9s %9s\n' "$name" "$family" "$pages" "$ms" "$cms" \
    "$(awk -v px="$pixels" -v ms="$cms" 'BEGIN {if (ms > 0) printf "%.1f", px / ms / 1000; else print "-"}')" \
    "$(awk -v k="$kib" 'BEGIN {printf "%.1f", k / 1024}')"
  echo "$ms $cms" > "$work/last-ms"
}
ratio() {  # label: prints wall and CPU ratios of the two last-ms files (theirs / ours)
  awk -v label="$1" 'NR == FNR {tw = $1; tc = $2; next} {ow = $1; oc = $2}
    END {printf "  %s: %.1f x wall, %s CPU\n", label, tw / ow, (oc > 0 ? sprintf("%.1f x", tc / oc) : "-")}' \
    "$work/theirs-ms" "$work/ours-ms"
}
# "run_filter MODEL RASTER OPTIONS" in a row's command runs the filter with
# the PPD of that model on that raster (see measure).

label_px=$((812 * 1218)); a4_px=$((2480 * 3508)); narrow_px=$((384 * 543)); receipt_px=$((576 * 20000))
row "1 shipping labels 4x6in, Burkes" TSPL 10 $label_px run_filter 20 "$work/label.ras" ""
row "1 shipping labels, compressed" TSPL 10 $label_px run_filter 20 "$work/label.ras" "ImageCompress=1"
row "1 shipping labels, automatic" TSPL 10 $label_px run_filter 20 "$work/label.ras" "ImageFilter=11"
for filter_choice in 0:threshold 1:Floyd-Steinberg 3:Burkes 9:ordered-8x8 11:automatic; do
  choice=${filter_choice%%:*}; what=${filter_choice#*:}
  for family in TSPL ESC/POS CPCL PeriPage; do
    row "2 A4 300dpi grey, $what" "$family" 3 $a4_px run_filter "${family_model[$family]}" "$work/a4grey.ras" "ImageFilter=$choice"
  done
  row "2 384-dot page grey, $what" Paperang 3 $narrow_px run_filter 23 "$work/narrow.ras" "ImageFilter=$choice"
  row "2 384-dot page grey, $what" PeriPage 3 $narrow_px run_filter 24 "$work/narrow.ras" "ImageFilter=$choice"
done
row "3 receipt 80mm, bottom crop" ESC/POS 1 $receipt_px run_filter 21 "$work/receipt.ras" "CropEdgeBottom=-1"
row "4 A4 300dpi colour" TSPL 1 $a4_px run_filter 20 "$work/a4colour.ras" ""

echo
echo "Side by side, one A4 300 dpi page each:"
row "dotweave Floyd-Steinberg (TSPL)" TSPL 1 $a4_px run_filter 20 "$work/a4grey1.ras" "ImageFilter=1"
cp "$work/last-ms" "$work/ours-ms"
row "ImageMagick convert -dither FS" - 1 $a4_px /usr/bin/convert "$work/a4grey.pgm" -dither FloydSteinberg -monochrome "$work/out.pbm"
cp "$work/last-ms" "$work/theirs-ms"
ratio "ImageMagick / dotweave"

ppdc -d "$work/cups-ppd" /usr/share/cups/drv/sample.drv >/dev/null 2>&1 || true
cpcl_ppd=$(grep -l 'cupsModelNumber: 19$' "$work"/cups-ppd/*.ppd 2>/dev/null | head -n 1 || true)
if [ -n "$cpcl_ppd" ]; then
  row "dotweave 1-bit page to CPCL" CPCL 1 $a4_px run_filter 22 "$work/a4mono.ras" ""
  cp "$work/last-ms" "$work/ours-ms"
  row "rastertolabel 1-bit page to CPCL" CPCL 1 $a4_px env PPD="$cpcl_ppd" /usr/lib/cups/filter/rastertolabel 1 bench bench 1 "" "$work/a4mono.ras"
  cp "$work/last-ms" "$work/theirs-ms"
  ratio "rastertolabel / dotweave"
else
  echo "  (no CPCL PPD for rastertolabel could be generated from CUPS's sample.drv)"
fi
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
