#!/usr/bin/env bash
# The main job: builds dotweave and its printer descriptions, then prints the
# bundled samples (a shipping label, a receipt, a photo, and a label that
# mixes a photo, text and barcodes, printed with the printers' defaults)
# through the real CUPS filter chain for every printer, writing the printer
# streams to out/samples.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build-demo -DDOTWEAVE_TESTS=OFF >/dev/null
cmake --build build-demo -j "$(nproc)" --target dotweave dotweave_ppds dotweave-preview >/dev/null
bash tools/run-samples.sh build-demo out/samples

# What each printer would burn, as pictures beside the streams.
echo
echo "Previews:"
for stream in out/samples/*/*.prn; do
  dir=${stream%.prn}-preview
  rm -rf "$dir"
  if ./build-demo/tools/dotweave-preview -o "$dir" "$stream" > "$dir.txt" 2>&1; then
    echo "  $dir/ ($(ls "$dir" | wc -l) page(s); report in $dir.txt)"
  else
    echo "  $stream: preview failed, see $dir.txt"
  fi
done

# The same samples through the printer application, over IPP.
if pkg-config --exists pappl 2>/dev/null; then
  cmake --build build-demo -j "$(nproc)" --target dotweave-app >/dev/null
  echo
  bash tools/app-demo.sh build-demo out/app-samples
fi
