#!/usr/bin/env bash
# The real CUPS filter chain without a scheduler: cupsfilter turns the
# bundled PDF and PNG into raster with the system's filters and hands it to
# the built dotweave, for every generated PPD.
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
    for sample in shipping-label.pdf:2 photo.png:1; do
        file=${sample%:*} pages=${sample#*:}
        out=$work/$name-${file%.*}.prn
        cupsfilter -c "$work/cups-files.conf" -p "$ppd" -m printer/dotweave -e \
            -o ImageFilter=1 "$DOTWEAVE_SOURCE_DIR/samples/$file" > "$out" 2> "$work/log" ||
            { cat "$work/log" >&2; fail "cupsfilter $name $file"; }
        grep -q "dotweave (PID [0-9]*) exited with no errors" "$work/log" ||
            { cat "$work/log" >&2; fail "dotweave did not run cleanly for $name $file"; }
        check_stream "$family" "$out" "$pages"
    done
done
