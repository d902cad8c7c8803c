# shellcheck shell=bash
# shellcheck disable=SC2154  # app and build are the sourcing script's
# Sourced by the scripts that print through a private dotweave-app server.
#
#   require_built SCRIPT_NAME PROGRAM...   exits 2 unless each PROGRAM is built
#   start_private_app_server NAME [JOBFILE_FOLDER]
#       starts `dotweave-app server` as $work/NAME on a free loopback port,
#       with its state, spool and control socket in the scratch folder $work
#       (its own program name keeps it apart from any other dotweave-app),
#       and waits until the port answers. Job-file devices may write below
#       JOBFILE_FOLDER (default: the scratch folder). Sets work, port and server; on exit
#       the server is stopped and $work removed. Needs $app.

require_built() {
    local script=$1 need
    shift
    for need in "$@"; do
        if [ ! -x "$need" ]; then
            echo "$script: $need is missing; build first (cmake --build $build)" >&2
            exit 2
        fi
    done
}

start_private_app_server() {
    local name=$1 jobfiles=${2:-}
    work=$(mktemp -d)
    jobfiles=${jobfiles:-$work}
    ln -s "$app" "$work/$name"
    export HOME=$work TMPDIR=$work
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    "$work/$name" server -o server-port="$port" -o log-file="$work/server.log" \
        -o spool-directory="$work" -o state-file="$work/state" -o jobfile-directory="$jobfiles" &
    server=$!
    trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$work"' EXIT
    # Wait for the port, not with a sub-command: one that finds no server
    # starts a private server of its own.
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
        sleep 0.1
    done
}
