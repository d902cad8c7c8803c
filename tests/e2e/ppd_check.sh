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

    text=$(<"$ppd")
    has() { [[ $'\n'"$text"$'\n' == *$'\n'"$1"* ]] || fail "$name: $2"; }
    has "*cupsModelNumber: ${model[$family]}"$'\n' "model number"
    has '*cupsFilter: "application/vnd.cups-raster 50 dotweave"'$'\n' "cupsFilter"
    has '*ColorModel Gray/Grayscale: "<</cupsColorSpace 0/' "grey W colour space"
    has "*DefaultResolution: ${dpi}dpi"$'\n' "default resolution"
    has "*Resolution ${dpi}dpi/${dpi} DPI: \"<</HWResolution[$dpi $dpi]/cupsBitsPerColor 8/" "$dpi dpi, 8 bits"
    has '*ModelName: "dotweave ' "ModelName"

    for keyword in $keywords; do
        default=$(sed -n "s/^\*Default$keyword: //p" <<<"$text")
        [ -n "$default" ] || fail "$name: no default for $keyword"
        has "*$keyword $default/" "$keyword default $default is no choice"
    done
    for keyword in Darkness zePrintRate; do
        has "*$keyword Default/" "$keyword lacks Default"
    done
    for keyword in CropEdgeTop CropEdgeBottom CropEdgeLeft CropEdgeRight; do
        has "*$keyword -1/" "$keyword lacks the no-limit choice"
    done
    for choice in 0 1 2 3 4 5 6 7 8 9 10 11; do
        has "*ImageFilter $choice/" "ImageFilter $choice"
    done
    # Every printer starts on the automatic half-tone, cutting at middle grey.
    has "*DefaultImageFilter: 11"$'\n' "ImageFilter default"
    has "*DefaultThreshold: 128"$'\n' "Threshold default"
    count=$((count + 1))
done
[ "$count" -eq 8 ] || fail "expected 8 PPDs in $ppds, found $count"
# Receipts are trimmed before and after their printed part unless the user
# says otherwise; labels keep their size.
for edge in Top Bottom; do
    grep -qx "\*DefaultCropEdge$edge: -1" "$ppds/dotweave-escpos-203dpi.ppd" || fail "receipt trimming default"
    grep -qx "\*DefaultCropEdge$edge: 0" "$ppds/dotweave-tspl-203dpi.ppd" || fail "label trimming default"
done
echo "ok: $count PPDs"
