#!/usr/bin/env bash
# Runs two builds of the filter over the same matrix of rasters, shipped
# PPDs and option sets, and compares what each wrote to the printer by
# sha256. For changes that must leave the filter's output as it was.
#
#   bash tools/compare-filter-bytes.sh OLD_BUILD NEW_BUILD
#
# Each BUILD is a build folder holding `dotweave`, `ppd/dotweave/*.ppd` and
# `bench/bench_workload` (configure with -DDOTWEAVE_BENCH=ON). Prints the
# number of cases and every case whose bytes differ; exits 1 on a difference.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 OLD_BUILD NEW_BUILD" >&2
  exit 2
fi
old=$(cd "$1" && pwd)
new=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Rasters of every kind the filter takes: grey labels (several pages), a
# pocket-width page, a one-bit receipt with a blank tail, colour and one-bit A4.
rasters=(label:3 narrow:2 receipt:1 a4grey:1 a4colour:1 a4mono:1)
for entry in "${rasters[@]}"; do
  kind=${entry%%:*}
  "$old/bench/bench_workload" "$kind" "$work/$kind.ras" "${entry#*:}"
done

# Option sets: the PPD defaults, then every option the filter reads, each
# away from its default at least once, finishing options included (a PPD
# without the option ignores it).
options=(
  ""
  "ImageFilter=0 Threshold=96 Darkness=12 zePrintRate=4 AdjustVertical=2 AdjustHoriaontal=-1"
  "ImageFilter=1 Brightness=32 Contrast=25 CropEdgeTop=0 CropEdgeBottom=5 Rotate=2 FeedOffset=20"
  "ImageFilter=3 zeMediaTracking=BLine MediaMethod=Transfer AutoDotted=1 CutterMode=Peel ImageCompress=1"
  "ImageFilter=9 CropEdgeLeft=-1 CropEdgeRight=10 Rotate=1 CutMode=PagePartial CashDrawer=AfterPage"
  "ImageFilter=11 Threshold=160 zeMediaTracking=Continuous Darkness=3 CutMode=JobPartial CutterMode=Cutter"
  "ImageFilter=4 Rotate=3 zeMediaTracking=Recording ImageCompress=1 CashDrawer=BeforePage CutMode=None"
  "ImageFilter=7 zeMediaTracking=Perforated FeedOffset=5 AdjustVertical=-3 CutterMode=PartialCutter zePrintRate=12"
)

cases=0
differ=0
for ppd in "$old"/ppd/dotweave/*.ppd; do
  name=$(basename "$ppd")
  cmp -s "$ppd" "$new/ppd/dotweave/$name" || { echo "PPD differs: $name"; differ=$((differ + 1)); }
  for entry in "${rasters[@]}"; do
    kind=${entry%%:*}
    for i in "${!options[@]}"; do
      cases=$((cases + 1))
      a=$(PPD="$ppd" "$old/dotweave" 1 user title 1 "${options[$i]}" "$work/$kind.ras" 2>/dev/null | sha256sum)
      b=$(PPD="$new/ppd/dotweave/$name" "$new/dotweave" 1 user title 1 "${options[$i]}" "$work/$kind.ras" \
        2>/dev/null | sha256sum)
      if [ "$a" != "$b" ]; then
        echo "differs: $name $kind options '${options[$i]}'"
        differ=$((differ + 1))
      fi
    done
  done
done
echo "$cases cases (${#rasters[@]} rasters x $(ls "$old"/ppd/dotweave/*.ppd | wc -l) PPDs x ${#options[@]} option sets), $differ differ"
[ "$differ" -eq 0 ]
