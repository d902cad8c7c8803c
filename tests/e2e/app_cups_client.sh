#!/usr/bin/env bash
# A real CUPS client of the printer application: a private cupsd adds the
# application's printer as a driverless IPP Everywhere queue
# (lpadmin -m everywhere), prints the bundled PDF and PNG, and each job's
# stream, written by the application's job-file device, must decode with
# the preview tool. Both servers are stopped however the test ends.
#   app_cups_client.sh FILTER APP PREVIEW
set -euo pipefail
. "$(dirname "$0")/e2e-lib.sh"
filter=$1 app=$2 preview=$3
# In a sanitizer build the leak checker must not fail the application for
# what PAPPL and libcups leave allocated at exit.
export LSAN_OPTIONS="suppressions=$DOTWEAVE_SOURCE_DIR/tests/app/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
need_tools cupsd lpadmin lp lpstat python3 gs
need_root

dir=$(mktemp -d)
app_pid=""
cleanup() {
    status=$?
    if [ "$status" -ne 0 ]; then
        show_cupsd_log "$dir"
        # The application's own account of its jobs, without debug lines.
        echo "--- application log, last 60 lines of note ---" >&2
        grep -av '^D ' "$dir/app/server.log" 2>/dev/null | tail -n 60 >&2 || true
    fi
    stop_cupsd
    if [ -n "$app_pid" ]; then
        kill -TERM "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
    fi
    rm -rf "$dir"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

start_cupsd "$dir" "$filter"

# The application with its own home, state and control socket (named after
# the program, so a link of its own name keeps it apart).
mkdir -p "$dir/app/out"
ln -s "$app" "$dir/app/dotweave-app-e2e-$$"
app_port=$(free_port)
HOME=$dir/app TMPDIR=$dir/app "$dir/app/dotweave-app-e2e-$$" server -o server-port="$app_port" \
    -o log-file="$dir/app/server.log" -o spool-directory="$dir/app" -o state-file="$dir/app/state" \
    -o jobfile-directory="$dir/app/out" &
app_pid=$!
for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$app_port") 2>/dev/null && break
    sleep 0.1
done
HOME=$dir/app TMPDIR=$dir/app "$dir/app/dotweave-app-e2e-$$" add -d labels -m tspl_203dpi \
    -v "jobfile:$dir/app/out" || fail "the application did not add its printer"
# printer-up-time is 0 in a printer's first second, which CUPS refuses.
sleep 1.5

lpadmin -p viaapp -v "ipp://localhost:$app_port/ipp/print/labels" -m everywhere -E 2> "$dir/lpadmin.err" ||
    { cat "$dir/lpadmin.err" >&2; fail "lpadmin -m everywhere"; }
# The scheduler makes the queue's PPD from the printer's attributes after
# lpadmin returns; a job sent before that goes out raw.
for _ in $(seq 300); do
    lpoptions -p viaapp -l 2>/dev/null | grep -q '^PageSize' && break
    sleep 0.1
done
lpoptions -p viaapp -l 2>/dev/null | grep -q '^PageSize' || fail "the scheduler made no PPD for the queue"
for sample in shipping-label.pdf photo.png; do
    lp -d viaapp -o media=om_small-photo_100x150mm "$DOTWEAVE_SOURCE_DIR/samples/$sample" > /dev/null ||
        fail "lp $sample"
done
wait_cupsd_jobs "$dir"

# shipping-label.pdf has two pages, photo.png one.
for _ in $(seq 300); do
    [ "$(ls "$dir"/app/out/job-*.prn 2>/dev/null | wc -l)" -ge 2 ] && break
    sleep 0.1
done
files=("$dir"/app/out/job-*.prn)
[ "${#files[@]}" -eq 2 ] || fail "expected 2 job files, found ${#files[@]}"
expected=(2 1)
for i in 0 1; do
    report=$("$preview" -o "$dir/preview-$i" "${files[$i]}") || fail "${files[$i]} does not decode: $report"
    head -n 1 <<<"$report" | grep -q "^tspl stream, [0-9]* bytes, ${expected[$i]} page" ||
        fail "${files[$i]}: expected ${expected[$i]} page(s): $(head -n 1 <<<"$report")"
    echo "ok: job $((i + 1)): $(head -n 1 <<<"$report")"
done
