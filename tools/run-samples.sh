#!/usr/bin/env bash
# Prints every bundled sample through the real CUPS filter chain (cupsfilter
# with the generated PPDs and the built filter) for every printer, and
# writes each printer stream into an output folder.
#
#   tools/run-samples.sh [BUILD_FOLDER] [OUTPUT_FOLDER]
#
# Builds nothing: BUILD_FOLDER (default build) must hold the built dotweave,
# dotweave-preview and the PPDs (ppd/dotweave/*.ppd).  Needs cupsfilter
# (Debian: cups) and the PDF and image filters (cups-filters, ghostscript).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
out=${2:-out/samples}
filter=$build/dotweave
preview=$build/tools/dotweave-preview
ppds=$build/ppd/dotweave

for need in "$filter" "$preview" "$ppds/dotweave-tspl-203dpi.ppd"; do
    if [ ! -e "$need" ]; then
        echo "run-samples: $need is missing; build first (cmake --build $build)" >&2
        exit 2
    fi
done
for tool in cupsfilter; do
    if ! command -v "$tool" >/dev/null; then
        echo "run-samples: $tool not found (apt-get install cups cups-filters ghostscript)" >&2
        exit 2
    fi
done

. "$root/tools/cups-serverbin.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
make_serverbin "$work" "$filter"

# Options per sample: what a person would pick for that kind of document.
sample_options() {
    case "$1" in
        shipping-label.pdf) echo "ImageFilter=0 Threshold=128" ;;
        receipt.pdf)        echo "ImageFilter=0 CropEdgeBottom=-1" ;;
        photo.png)          echo "ImageFilter=1" ;;
        # The printer's defaults: the automatic half-tone.
        mixed-label.png)    echo "" ;;
    esac
}
# Page size per printer class for each sample.
sample_media() {
    local ppd=$1 sample=$2
    case "$ppd:$sample" in
        *tspl*:receipt.pdf)   echo "PageSize=100x100mm" ;;
        *tspl*:photo.png)     echo "PageSize=60x40mm" ;;
        *escpos*:*)           echo "PageSize=80x210mm" ;;
        *cpcl*:shipping-label.pdf | *cpcl*:mixed-label.png) echo "PageSize=100x150mm zeMediaTracking=Gap" ;;
        *cpcl*:*)             echo "PageSize=58x210mm" ;;
        *) echo "" ;;
    esac
}

mkdir -p "$out"
failed=0
printf '%-10s %-7s %-19s %5s %9s  %s\n' family dpi sample pages bytes options
for ppd in "$ppds"/dotweave-*.ppd; do
    name=$(basename "$ppd" .ppd)
    name=${name#dotweave-}
    family=${name%-*}
    dpi=${name##*-}
    mkdir -p "$out/$name"
    for sample in shipping-label.pdf receipt.pdf photo.png mixed-label.png; do
        options="$(sample_media "$ppd" "$sample") $(sample_options "$sample")"
        options=$(echo $options)
        args=()
        for option in $options; do args+=(-o "$option"); done
        stream=$out/$name/${sample%.*}.prn
        if ! cupsfilter -c "$work/cups-files.conf" -p "$ppd" -m printer/dotweave -e \
                "${args[@]}" "$root/samples/$sample" > "$stream" 2> "$out/$name/${sample%.*}.log"; then
            echo "run-samples: cupsfilter failed for $name $sample, see $out/$name/${sample%.*}.log" >&2
            failed=1
        fi
        # Pages that print something, as the preview decoder reads them; a
        # malformed stream counts none.
        if report=$("$preview" --lang "$family" -o "$work/pictures" "$stream" 2>> "$out/$name/${sample%.*}.log"); then
            pages=$(grep -c "^Page [0-9]*: [0-9]* x [0-9]* dots" <<<"$report" || true)
        else
            pages=0
        fi
        if [ -z "$pages" ] || [ "$pages" -lt 1 ]; then
            failed=1
        fi
        printf '%-10s %-7s %-19s %5s %9s  %s\n' "$family" "$dpi" "$sample" "${pages:-bad}" \
            "$(stat -c %s "$stream")" "$options"
    done
done
echo "Printer streams: $out/<printer>/<sample>.prn"
if [ "$failed" -ne 0 ]; then
    echo "run-samples: some samples produced no valid printer stream" >&2
    exit 1
fi
