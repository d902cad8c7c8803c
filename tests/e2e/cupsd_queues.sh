#!/usr/bin/env bash
# End to end through a real scheduler: a private cupsd (own configuration,
# spool and logs in a temporary folder, loopback only, printing to files)
# gets one queue per printer family; lp prints the bundled PDF and PNG with
# a few options, and each output file must hold that family's command
# stream for the right number of pages.  The scheduler is stopped and the
# folder removed however the test ends.
#   cupsd_queues.sh PPD_FOLDER FILTER
set -euo pipefail
. "$(dirname "$0")/e2e-lib.sh"
ppds=$1 filter=$2
need_tools cupsd lpadmin lp lpstat python3 gs
need_root

dir=$(mktemp -d)
cleanup() {
    status=$?
    [ "$status" -eq 0 ] || show_cupsd_log "$dir"
    stop_cupsd
    rm -rf "$dir"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

start_cupsd "$dir" "$filter"
mkdir -p "$dir/out"
chmod 0755 "$dir/out"

for family in $FAMILIES; do
    # lpadmin warns that PPD drivers are deprecated; keep the noise for failures.
    lpadmin -p "dw-$family" -v "file://$dir/out/dw-$family.out" \
        -P "$ppds/dotweave-$family-203dpi.ppd" -E 2> "$dir/lpadmin.err" ||
        { cat "$dir/lpadmin.err" >&2; fail "lpadmin $family"; }
done

# One round prints a file to every queue; a file: device is rewritten by
# each job, so the streams are checked before the next round.
print_round() {
    local file=$1 pages=$2 family darkness reply
    local -A job
    shift 2
    for family in $FAMILIES; do
        # PeriPage printers have five darkness levels.
        darkness=12
        [ "$family" = peripage ] && darkness=4
        reply=$(lp -d "dw-$family" -o Darkness=$darkness "$@" "$DOTWEAVE_SOURCE_DIR/samples/$file") ||
            fail "lp $family $file"
        # "request id is dw-tspl-6 (1 file(s))": the scheduler's job 6.
        job[$family]=$(sed -n 's/^request id is dw-[a-z]*-\([0-9]*\) .*/\1/p' <<<"$reply")
        [ -n "${job[$family]}" ] || fail "lp said: $reply"
    done
    wait_cupsd_jobs "$dir"
    for family in $FAMILIES; do
        grep -a -q "\[Job ${job[$family]}\] Job completed\." "$dir/log/error_log" ||
            fail "job ${job[$family]} on dw-$family did not complete"
        check_stream "$family" "$dir/out/dw-$family.out" "$pages"
    done
    # The job options reached the filter.
    grep -a -q $'^DENSITY 12\r$' "$dir/out/dw-tspl.out" || fail "TSPL stream lacks DENSITY 12"
    has_bytes "$dir/out/dw-peripage.out" "10ff100004" || fail "PeriPage stream lacks darkness 4"
}

print_round shipping-label.pdf 2 -o ImageFilter=1 -o Rotate=1
print_round photo.png 1 -o ImageFilter=9 -o Rotate=2 -o ImageCompress=1

grep -a -q -E 'PID [0-9]+ \([^)]*/dotweave\) exited with no errors' "$dir/log/error_log" ||
    fail "the scheduler log shows no clean dotweave run"
! grep -a -q -E 'PID [0-9]+ \([^)]*/dotweave\) (stopped|crashed)' "$dir/log/error_log" ||
    fail "dotweave failed under the scheduler"
echo "ok: $(echo $FAMILIES | wc -w) queues printed PDF and PNG"
