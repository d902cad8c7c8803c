#!/usr/bin/env bash
# Draws the pictures of docs/printer-app.md's "Pages of another size": an A4
# page as a shipping site makes it (one label-sized block with an address
# and a Code 128 barcode), and that page as a private dotweave-app server
# prints it on a TSPL printer with 50x30 mm labels loaded.
#
#   tools/fit-picture.sh [BUILD_FOLDER] [OUTPUT_FOLDER]
#
# Needs gs (ghostscript) and zint; BUILD_FOLDER (default build) must hold
# app/dotweave-app and tools/dotweave-preview. Writes fit-a4-page.png and
# fit-a4-on-50x30.png to OUTPUT_FOLDER (default docs).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
out=$(mkdir -p "${2:-$root/docs}" && cd "${2:-$root/docs}" && pwd)
app=$build/app/dotweave-app
preview=$build/tools/dotweave-preview
# shellcheck source=tools/private-app-server.sh
. "$root/tools/private-app-server.sh"
require_built fit-picture "$app" "$preview"
start_private_app_server dotweave-app-fit

# The page: a 100x62 mm block 15 mm from the top left corner of an A4 page.
zint -b 20 -d "DW25-1" --notext --filetype=eps -o "$work/bar.eps"
{
    cat <<'PS'
%!PS
/mm { 72 mul 25.4 div } def
15 mm 297 mm 77 mm sub translate
3 setlinewidth 0 0 100 mm 62 mm rectstroke
/Helvetica-Bold findfont 5 mm scalefont setfont
6 mm 53 mm moveto (Ada Lovelace) show
/Helvetica findfont 4 mm scalefont setfont
6 mm 47 mm moveto (12 Analytical Row, London) show
6 mm 42 mm moveto (Parcel 1 of 1   0.4 kg) show
gsave 10 mm 6 mm translate
PS
    # The symbol, 100 units high, made 80 by 28 mm.
    width=$(awk '/^%%BoundingBox/ {print $4}' "$work/bar.eps")
    echo "80 mm $width div 28 mm 100 div scale"
    cat "$work/bar.eps"
    echo "grestore showpage"
} > "$work/page.ps"
gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pwgraster -r203 -sPAPERSIZE=a4 -dcupsColorSpace=18 \
    -dcupsBitsPerColor=8 -sOutputFile="$work/page.pwg" "$work/page.ps"
# Its picture shows the sheet's edge.
{ echo "gsave 0.6 setgray 2 setlinewidth 1 1 593 840 rectstroke grestore"; cat "$work/page.ps"; } > "$work/sheet.ps"
gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pnggray -r36 -sPAPERSIZE=a4 \
    -sOutputFile="$out/fit-a4-page.png" "$work/sheet.ps" >/dev/null

mkdir -p "$work/label"
"$work/dotweave-app-fit" add -d label -m tspl_203dpi -v "jobfile:$work/label" >/dev/null
"$work/dotweave-app-fit" modify -d label -o media-ready=om_50x30mm_50x30mm >/dev/null
"$work/dotweave-app-fit" submit -d label -o media=iso_a4_210x297mm "$work/page.pwg" >/dev/null
for _ in $(seq 300); do
    ls "$work"/label/job-*.prn >/dev/null 2>&1 && break
    sleep 0.1
done
"$preview" -o "$work/preview" "$work"/label/job-*.prn >/dev/null
cp "$work"/preview/*1.png "$out/fit-a4-on-50x30.png"
echo "fit-picture: wrote $out/fit-a4-page.png and $out/fit-a4-on-50x30.png"
