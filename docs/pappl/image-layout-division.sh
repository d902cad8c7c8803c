#!/bin/bash
# PAPPL 1.3.1 lays a picture out by rounding its scaled sides down, then
# divides by them: a PNG of 1 x 16384 pixels (a JPEG of 1 x 8000 alike)
# ends the whole server with SIGFPE in papplJobFilterImage.
# dotweave-app reads and lays out pictures itself (render/page_layout.cpp).
# Usage: image-layout-division.sh PRINTER-URI
# shellcheck source=docs/pappl/common.sh
. "$(dirname "$0")/common.sh"
grey_png "$work/thin.png" 1 16384
ipptool -f "$work/thin.png" "$uri" print-job.test >/dev/null || true
sleep 3
verdict "a 1 x 16384 pixel PNG stops the server" server_stopped
