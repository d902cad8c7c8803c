#!/usr/bin/env bash
# Builds the fuzz targets with clang (when needed) and runs one of them for a
# given time, then prints its executions, coverage and findings.
# Usage: fuzz/run.sh TARGET SECONDS [extra libFuzzer flags...]
#   TARGET: fuzz_job, fuzz_settings, fuzz_hfm, fuzz_picture or fuzz_job_settings
# Environment: FUZZ_BUILD (build folder, default build-fuzz), FUZZ_JOBS (-j).
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer flags...]" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -DDOTWEAVE_FUZZ=ON -DDOTWEAVE_TESTS=OFF -DDOTWEAVE_WERROR=ON >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-2}" --target "$target" fuzz_seeds >/dev/null

# Seeds are regenerated every run; the corpus folder keeps what the fuzzer found.
seeds="$build/fuzz-seeds"
corpus="$build/fuzz-corpus/$target"
artifacts="$build/fuzz-artifacts/$target/"
rm -rf "$seeds"
"$build/fuzz/fuzz_seeds" "$seeds"
mkdir -p "$corpus" "$artifacts"

case $target in
  fuzz_job) limits=(-max_len=16384 -dict=fuzz/raster.dict) ;;
  fuzz_settings) limits=(-max_len=4096) ;;
  fuzz_picture) limits=(-max_len=32768) ;;
  fuzz_job_settings) limits=(-max_len=1024) ;;
  *) limits=(-max_len=8192) ;;
esac

# libcups sets aside a line buffer of the header's line length for every
# compressed page header it reads, before the filter can refuse the page; under
# the address sanitizer a block of gigabytes takes seconds. Blocks above
# 512 MiB fail instead, as on a machine short of memory: libcups then ends
# the stream, and the filter ends the job with its out-of-memory message,
# which the fuzzer reports, since no page the targets let through needs one.
export ASAN_OPTIONS=${ASAN_OPTIONS:-max_allocation_size_mb=512:allocator_may_return_null=1}

log="$build/fuzz-$target.log"
status=0
# What a run found once is run again first: fuzz/regressions/TARGET.
regressions=()
[ -d "fuzz/regressions/$target" ] && regressions=("fuzz/regressions/$target")
# Standard error of the filter is closed (-close_fd_mask=2); libFuzzer and the
# sanitizers keep their own copy of it.
"$build/fuzz/$target" "$corpus" "$seeds/$target" "${regressions[@]}" -max_total_time="$seconds" -timeout=20 \
  -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="$artifacts" "${limits[@]}" "$@" \
  >"$log" 2>&1 || status=$?

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
peak=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)
last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
coverage=$(sed -n 's/.* cov: \([0-9]*\) .*/\1/p' <<<"$last")
features=$(sed -n 's/.* ft: \([0-9]*\) .*/\1/p' <<<"$last")
units=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\) .*/\1/p' <<<"$last")
echo "$target: ${seconds}s, ${executions:-?} executions, coverage ${coverage:-?} edges, ${features:-?} features, corpus ${units:-?}, peak RSS ${peak:-?} MB"
if [ "$status" -ne 0 ]; then
  echo "$target: FINDING (exit status $status); log: $log, inputs in $artifacts" >&2
  grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | head -n 5 >&2 || true
  exit 1
fi
