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
if [ "$(id -u)" -ne 0 ]; then
    [ "${CI:-}" = true ] && fail "the scheduler test must run as root in CI"
    echo "SKIP: a private cupsd needs root" >&2
    exit 77
fi

dir=$(mktemp -d)
cupsd_pid=""
stop_cupsd() {
    if [ -n "$cupsd_pid" ]; then
        kill -TERM "$cupsd_pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$cupsd_pid" 2>/dev/null || break
            sleep 0.2
        done
        kill -KILL "$cupsd_pid" 2>/dev/null || true
        wait "$cupsd_pid" 2>/dev/null || true
        cupsd_pid=""
    fi
}
show_log() {
    echo "--- scheduler log: errors and filter lines ---" >&2
    grep -a -E '^[EW] |Sanitizer|\] #[0-9]+ 0x|dotweave|PID [0-9]+|Job [0-9]+\] (ERROR|Job|End|Unable|Backend)' \
        "$dir/log/error_log" 2>/dev/null | grep -v '^D .*envp\[' | tail -n 60 >&2 || true
}
cleanup() {
    status=$?
    [ "$status" -eq 0 ] || show_log
    stop_cupsd
    rm -rf "$dir"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

mkdir -p "$dir"/{conf,spool,cache,log,state,out}
make_serverbin "$dir" "$filter"
chmod 0755 "$dir" "$dir/out"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

cat > "$dir/conf/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
LogLevel debug
# The test reads the whole log: never rotate it.
MaxLogSize 0
WebInterface No
Browsing No
<Location />
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat > "$dir/conf/cups-files.conf" <<CONF
ServerRoot $dir/conf
ServerBin $dir/bin
DataDir /usr/share/cups
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/spool
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
FileDevice Yes
Sandboxing Relaxed
CONF

cupsd -t -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" > "$dir/check.log" 2>&1 ||
    { cat "$dir/check.log" >&2; fail "cupsd rejects the test configuration"; }
cupsd -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" </dev/null > "$dir/log/cupsd.out" 2>&1 &
cupsd_pid=$!
export CUPS_SERVER=127.0.0.1:$port

for _ in $(seq 100); do
    lpstat -r 2>/dev/null | grep -q "is running" && break
    kill -0 "$cupsd_pid" 2>/dev/null || fail "cupsd exited at start"
    sleep 0.2
done
lpstat -r | grep -q "is running" || fail "cupsd did not come up on port $port"

for family in $FAMILIES; do
    # lpadmin warns that PPD drivers are deprecated; keep the noise for failures.
    lpadmin -p "dw-$family" -v "file://$dir/out/dw-$family.out" \
        -P "$ppds/dotweave-$family-203dpi.ppd" -E 2> "$dir/lpadmin.err" ||
        { cat "$dir/lpadmin.err" >&2; fail "lpadmin $family"; }
done

# wait_jobs: until no job is left in the queues, or fail after two minutes.
wait_jobs() {
    for _ in $(seq 600); do
        [ -z "$(lpstat -o 2>/dev/null)" ] && return 0
        # A failed filter leaves its job stopped in the queue: fail at once.
        if grep -a -q -E '\[Job [0-9]+\] Job (stopped|aborted)' "$dir/log/error_log"; then
            fail "a job failed"
        fi
        sleep 0.2
    done
    lpstat -o >&2
    fail "jobs did not complete"
}

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
    wait_jobs
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
