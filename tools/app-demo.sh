#!/usr/bin/env bash
# Prints the bundled samples through the printer application: starts a
# private dotweave-app server on a free loopback port, adds one printer per
# driver on the job-file device, sends each sample over IPP, and decodes what
# each printer would receive into pictures.
#
#   tools/app-demo.sh [BUILD_FOLDER] [OUTPUT_FOLDER]
#
# Builds nothing: BUILD_FOLDER (default build) must hold app/dotweave-app and
# tools/dotweave-preview. PDF samples are turned into PNG pages first
# (pdftoppm, Debian: poppler-utils): the application takes PNG, JPEG and PWG
# raster, as IPP Everywhere printers do.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
out=$(mkdir -p "${2:-out/app-samples}" && cd "${2:-out/app-samples}" && pwd)
app=$build/app/dotweave-app
preview=$build/tools/dotweave-preview
# shellcheck source=tools/private-app-server.sh
. "$root/tools/private-app-server.sh"
require_built app-demo "$app" "$preview"
start_private_app_server dotweave-app-demo "$out"

# Samples as the application takes them: PNG as it is, PDF pages rendered.
mkdir -p "$work/pages"
for sample in "$root"/samples/*; do
    name=$(basename "$sample")
    case "$name" in
        *.png) cp "$sample" "$work/pages/$name" ;;
        *.pdf) pdftoppm -r 203 -gray -png "$sample" "$work/pages/${name%.pdf}" ;;
    esac
done

drivers=$("$work/dotweave-app-demo" drivers | awk '{print $1}')
for driver in $drivers; do
    rm -rf "${out:?}/$driver"
    mkdir -p "$out/$driver"
    "$work/dotweave-app-demo" add -d "$driver" -m "$driver" -v "jobfile:$out/$driver" >/dev/null
    for page in "$work"/pages/*.png; do
        "$work/dotweave-app-demo" submit -d "$driver" "$page" >/dev/null
    done
done

# Each finished job leaves one file; wait for all of them.
expected=$(( $(ls "$work"/pages/*.png | wc -l) * $(echo "$drivers" | wc -w) ))
for _ in $(seq 1200); do
    [ "$(ls "$out"/*/job-*.prn 2>/dev/null | wc -l)" -ge "$expected" ] && break
    sleep 0.1
done

echo "Printer application: one printer per driver on http://localhost:$port/ while this ran."
for driver in $drivers; do
    count=0
    for stream in "$out/$driver"/job-*.prn; do
        [ -e "$stream" ] || continue
        dir=${stream%.prn}-preview
        rm -rf "$dir"
        if "$preview" -o "$dir" "$stream" > "$dir.txt" 2>&1; then
            count=$((count + 1))
        else
            echo "  $stream: preview failed, see $dir.txt"
        fi
    done
    echo "  $driver: $count job(s) in $out/$driver, previews beside each stream"
done
