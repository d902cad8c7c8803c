#!/usr/bin/env bash
# Draws docs/halftones.png for docs/halftone.md: the top of the mixed sample label
# printed through the real CUPS filter chain for a 203 dpi TSPL printer with
# ImageFilter 0 (threshold), 3 (Burkes) and 11 (automatic), as
# dotweave-preview shows the dots, side by side.
#
#   tools/halftone-picture.sh [BUILD_FOLDER]
#
# BUILD_FOLDER (default build) must hold the built dotweave, its PPDs and
# dotweave-preview. Needs cupsfilter and Debian's python3-pil.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
. "$root/tools/cups-serverbin.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
make_serverbin "$work" "$build/dotweave"

for choice in 0 3 11; do
    cupsfilter -c "$work/cups-files.conf" -p "$build/ppd/dotweave/dotweave-tspl-203dpi.ppd" -m printer/dotweave \
        -e -o ImageFilter=$choice "$root/samples/mixed-label.png" > "$work/$choice.prn" 2> "$work/log" ||
        { cat "$work/log" >&2; exit 1; }
    "$build/tools/dotweave-preview" -o "$work/$choice" "$work/$choice.prn" > /dev/null
done

/usr/bin/python3 - "$work" "$root/docs/halftones.png" <<'PY'
import sys
from PIL import Image, ImageDraw

work, out = sys.argv[1:]
box = (30, 30, 420, 520)  # the photo, the text beside it, the grey box, the first barcode
gap, caption = 12, 18
w, h = box[2] - box[0], box[3] - box[1]
sheet = Image.new("1", (3 * w + 2 * gap, h + caption), 1)
draw = ImageDraw.Draw(sheet)
for i, (choice, name) in enumerate([(0, "0 threshold"), (3, "3 Burkes"), (11, "11 automatic")]):
    page = Image.open("%s/%d/page-1.png" % (work, choice)).convert("1")
    sheet.paste(page.crop(box), (i * (w + gap), caption))
    draw.text((i * (w + gap), 2), "ImageFilter " + name, fill=0)
sheet.save(out, optimize=True)
PY
echo "wrote $root/docs/halftones.png"
