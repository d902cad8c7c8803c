# Shared helpers of the end-to-end tests; sourced, not run.
# Exit status 77 tells CTest the test was skipped.

PATH=$PATH:/usr/sbin:/sbin
: "${DOTWEAVE_SOURCE_DIR:?}"
. "$DOTWEAVE_SOURCE_DIR/tools/cups-serverbin.sh"

# The PPD of each printer family that the queue tests use.
FAMILIES="tspl escpos cpcl paperang peripage"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# need_tools TOOL...: skips the test on a developer machine that lacks a
# tool, but fails it in CI, where the packages must be installed.
need_tools() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            if [ "${CI:-}" = true ]; then
                fail "$tool is not installed"
            fi
            echo "SKIP: $tool is not installed" >&2
            exit 77
        fi
    done
}

# need_root: a private cupsd needs root; skipped elsewhere, fails in CI.
need_root() {
    if [ "$(id -u)" -ne 0 ]; then
        [ "${CI:-}" = true ] && fail "the scheduler test must run as root in CI"
        echo "SKIP: a private cupsd needs root" >&2
        exit 77
    fi
}

# check_stream FAMILY FILE PAGES: FILE must be a well-formed command stream
# of that printer family holding exactly PAGES pages with dots, as the
# preview decoder ($DOTWEAVE_PREVIEW) reads it, with nothing it finds odd.
check_stream() {
    local family=$1 file=$2 pages=$3 pictures report printed
    [ -s "$file" ] || fail "$file is empty: no $family stream"
    pictures=$(mktemp -d)
    report=$("$DOTWEAVE_PREVIEW" --lang "$family" -o "$pictures" "$file" 2>&1) || {
        rm -rf "$pictures"
        fail "$file is not a $family stream: $report"
    }
    rm -rf "$pictures"
    if grep -q "odd:" <<<"$report"; then
        fail "$file: $(grep "odd:" <<<"$report" | head -n 1)"
    fi
    printed=$(grep -c "^Page [0-9]*: [0-9]* x [0-9]* dots" <<<"$report" || true)
    [ "$printed" = "$pages" ] && [ "$(grep -c "^Page " <<<"$report")" = "$pages" ] ||
        fail "$file: expected $pages printed pages of $family, the decoder says: $report"
    echo "ok: $family $(basename "$file"): $pages pages"
}

# has_bytes FILE HEX: FILE contains the byte sequence HEX (e.g. "10ff1000").
has_bytes() {
    od -An -v -tx1 "$1" | tr -d ' \n' | grep -q "$2"
}

# A private scheduler: own configuration, spool and logs under FOLDER,
# loopback only on a free port, printing to files, with FILTER installed as
# dotweave; without FILTER it runs the filters of the system's own server
# folder (an installed dotweave). Sets cupsd_pid and exports CUPS_SERVER.
# Needs root.
cupsd_pid=""
start_cupsd() {
    local dir=$1 filter=${2:-} port serverbin
    mkdir -p "$dir"/{conf,spool,cache,log,state}
    if [ -n "$filter" ]; then
        make_serverbin "$dir" "$filter"
        serverbin=$dir/bin
    else
        serverbin=$(cups-config --serverbin 2>/dev/null || echo /usr/lib/cups)
    fi
    chmod 0755 "$dir"
    port=$(free_port)
    cat > "$dir/conf/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
LogLevel debug
# The tests read the whole log: never rotate it.
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
ServerBin $serverbin
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
        lpstat -r 2>/dev/null | grep -q "is running" && return 0
        kill -0 "$cupsd_pid" 2>/dev/null || fail "cupsd exited at start"
        sleep 0.2
    done
    fail "cupsd did not come up on port $port"
}

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

# show_cupsd_log FOLDER: the scheduler's errors and filter lines, for a failure.
show_cupsd_log() {
    echo "--- scheduler log: errors and filter lines ---" >&2
    grep -a -E '^[EW] |Sanitizer|\] #[0-9]+ 0x|dotweave|PID [0-9]+|Job [0-9]+\] (ERROR|Job|End|Unable|Backend)' \
        "$1/log/error_log" 2>/dev/null | grep -v '^D .*envp\[' | tail -n 60 >&2 || true
}

# A free TCP port on the loopback interface.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# wait_cupsd_jobs FOLDER: until no job is left in the queues; fails at once
# on a stopped or aborted job, or after two minutes.
wait_cupsd_jobs() {
    for _ in $(seq 600); do
        [ -z "$(lpstat -o 2>/dev/null)" ] && return 0
        if grep -a -q -E '\[Job [0-9]+\] Job (stopped|aborted)' "$1/log/error_log"; then
            fail "a job failed"
        fi
        sleep 0.2
    done
    lpstat -o >&2
    fail "jobs did not complete"
}
