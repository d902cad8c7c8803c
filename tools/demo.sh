#!/usr/bin/env bash
# The main job: builds dotweave and prints the bundled sample page through it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build-demo -DDOTWEAVE_TESTS=OFF >/dev/null
cmake --build build-demo -j "$(nproc)" --target dotweave >/dev/null
mkdir -p out
PPD=samples/tspl-203dpi.ppd ./build-demo/dotweave 1 demo "sample label" 1 "" samples/label.ras > out/label.tspl
echo "Printer stream: out/label.tspl ($(stat -c %s out/label.tspl) bytes)"
