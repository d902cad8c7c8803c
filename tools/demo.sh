#!/usr/bin/env bash
# The main job: builds dotweave and its printer descriptions, then prints the
# bundled samples (a shipping label, a receipt, a photo) through the real CUPS
# filter chain for every printer, writing the printer streams to out/samples.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build-demo -DDOTWEAVE_TESTS=OFF >/dev/null
cmake --build build-demo -j "$(nproc)" --target dotweave dotweave_ppds >/dev/null
bash tools/run-samples.sh build-demo out/samples
