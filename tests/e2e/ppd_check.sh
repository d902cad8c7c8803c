#!/usr/bin/env bash
# Every generated PPD passes cupstestppd and describes what the filter reads:
# its printer language, the grey raster it expects and all eighteen options.
#   ppd_check.sh PPD_FOLDER FILTER
set -euo pipefail
. "$(dirname "$0")/e2e-lib.sh"
ppds=$1 filter=$2
need_tools cupstestppd

# cupstestppd looks for the filter under its root folder: give it one that
# holds the built filter where CUPS would install it.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
serverbin=$(cups-config --serverbin 2>/dev/null || echo /usr/lib/cups)
install -D -m 0755 "$filter" "$root$serverbin/filter/dotweave"

declare -A model=([tspl]=20 [escpos]=21 [cpcl]=22 [paperang]=23 [peripage]=24)
keywords="MediaMethod AdjustHoriaontal AdjustVertical zeMediaTracking FeedOffset Rotate
          Darkness zePrintRate AutoDotted Brightness Contrast ImageFilter Threshold
          ImageCompress CropEdgeTop CropEdgeBottom CropEdgeLeft CropEdgeRight"

count=0
for ppd in "$ppds"/dotweave-*.ppd; do
    name=$(basename "$ppd" .ppd)
    family=${name#dotweave-}
    family=${family%-*}
    dpi=${name##*-}
    dpi=${dpi%dpi}

    report=$(cupstestppd -R "$root" "$ppd" 2>&1) || fail "cupstestppd: $report"
    ! grep -q FAIL <<<"$report" || fail "cupstestppd: $report"

    grep -qx "\*cupsModelNumber: ${model[$family]}" "$ppd" || fail "$name: model number"
    grep -qx '\*cupsFilter: "application/vnd.cups-raster 50 dotweave"' "$ppd" || fail "$name: cupsFilter"
    grep -q '^\*ColorModel Gray/.*/cupsColorSpace 0/' "$ppd" || fail "$name: grey W colour space"
    grep -q "HWResolution\[$dpi $dpi\]/cupsBitsPerColor 8/" "$ppd" || fail "$name: $dpi dpi, 8 bits"
    grep -q '^\*ModelName: "dotweave ' "$ppd" || fail "$name: ModelName"

    for keyword in $keywords; do
        default=$(sed -n "s/^\*Default$keyword: //p" "$ppd")
        [ -n "$default" ] || fail "$name: no default for $keyword"
        grep -q "^\*$keyword $default/" "$ppd" || fail "$name: $keyword default $default is no choice"
    done
    for keyword in Darkness zePrintRate; do
        grep -q "^\*$keyword Default/" "$ppd" || fail "$name: $keyword lacks Default"
    done
    for keyword in CropEdgeTop CropEdgeBottom CropEdgeLeft CropEdgeRight; do
        grep -q "^\*$keyword -1/" "$ppd" || fail "$name: $keyword lacks the no-limit choice"
    done
    for choice in 0 1 2 3 4 5 6 7 8 9 10; do
        grep -q "^\*ImageFilter $choice/" "$ppd" || fail "$name: ImageFilter $choice"
    done
    count=$((count + 1))
done
[ "$count" -eq 8 ] || fail "expected 8 PPDs in $ppds, found $count"
# Receipts are trimmed after their last line unless the user says otherwise.
grep -qx '\*DefaultCropEdgeBottom: -1' "$ppds/dotweave-escpos-203dpi.ppd" || fail "receipt trimming default"
echo "ok: $count PPDs"
