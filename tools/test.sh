#!/usr/bin/env bash
# Builds dotweave and runs the whole test suite twice: a normal build with
# warnings as errors, and an AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

jobs=$(nproc)
for flavour in release asan; do
  build="build-ci-$flavour"
  # The benchmarks are built (not run) with the normal build.
  extra=(-DDOTWEAVE_BENCH=ON)
  [ "$flavour" = asan ] && extra=(-DDOTWEAVE_SANITIZE=ON)
  echo "=== $flavour build ==="
  cmake -S . -B "$build" -DDOTWEAVE_WERROR=ON "${extra[@]}"
  cmake --build "$build" -j "$jobs"
  (cd "$build" && ctest --output-on-failure -j "$jobs")
done
