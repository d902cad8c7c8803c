#!/usr/bin/env bash
# The real CUPS filter chain without a scheduler: cupsfilter turns the
# bundled PDF and PNGs into raster with the system's filters and hands it to
# the built dotweave, for every generated PPD; the mixed label with the PPD's
# own defaults (the automatic half-tone).
#   cupsfilter_chain.sh PPD_FOLDER FILTER
set -euo pipefail
. "$(dirname "$0")/e2e-lib.sh"
ppds=$1 filter=$2
need_tools cupsfilter python3 gs

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
make_serverbin "$work" "$filter"

for ppd in "$ppds"/dotweave-*.ppd; do
    name=$(basename "$ppd" .ppd)
    family=${name#dotweave-}
    family=${family%-*}
    for sample in shipping-label.pdf:2:ImageFilter=1 photo.png:1:ImageFilter=1 mixed-label.png:1:; do
        IFS=: read -r file pages option <<<"$sample"
        out=$work/$name-${file%.*}.prn
        options=()
        [ -n "$option" ] && options=(-o "$option")
        cupsfilter -c "$work/cups-files.conf" -p "$ppd" -m printer/dotweave -e \
            "${options[@]}" "$DOTWEAVE_SOURCE_DIR/samples/$file" > "$out" 2> "$work/log" ||
            { cat "$work/log" >&2; fail "cupsfilter $name $file"; }
        grep -q "dotweave (PID [0-9]*) exited with no errors" "$work/log" ||
            { cat "$work/log" >&2; fail "dotweave did not run cleanly for $name $file"; }
        check_stream "$family" "$out" "$pages"
    done
done
