#!/usr/bin/env bash
# Builds dotweave and runs the whole test suite twice: a normal build with
# warnings as errors, and an AddressSanitizer + UndefinedBehaviorSanitizer build.
# Then compiles a Debug build with g++ and with clang, builds the
# libFuzzer targets with clang and runs each for 30 seconds, and builds the
# Debian packages, installs them into this machine, prints through them and
# purges them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
# Every tool the tests need is installed now: a test that finds one missing
# fails instead of skipping.
export CI=true

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

# A developer's first debugging build must compile with either compiler;
# its suite is the same code, already run above.
for pair in gcc:g++ clang:clang++; do
  cc=${pair%%:*} cxx=${pair#*:}
  build="build-ci-debug-$cc"
  echo "=== Debug build ($cc) ==="
  CC=$cc CXX=$cxx cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DDOTWEAVE_WERROR=ON \
    -DDOTWEAVE_BENCH=ON >/dev/null
  cmake --build "$build" -j "$jobs" >/dev/null
done

echo "=== fuzz build (clang) ==="
for target in fuzz_job fuzz_settings fuzz_hfm fuzz_picture fuzz_job_settings; do
  [ "$target" = fuzz_hfm ] && [ ! -f printers/hfm_code.h ] && continue
  FUZZ_BUILD=build-ci-fuzz FUZZ_JOBS="$jobs" bash fuzz/run.sh "$target" 30
done

echo "=== Debian packages ==="
bash tests/packaging/package_test.sh
