#!/bin/bash
# PAPPL 1.3.1's job check starts a thread for the first pending job and
# returns; the printer records the job as its own only once that thread
# runs, so a second check in between (a job submitted just as the previous
# one ends) starts the same job again. A finishing job also closes the device
# after letting go of the printer, under the next job. Both show when jobs
# arrive from several clients at once: a job started twice in the server's
# log, pages printed twice or cut off.
# dotweave-app's job start guard runs a printer's jobs one after the other,
# each to its very end (app/job_start_guard.cpp).
# Usage: jobs-overlap.sh PRINTER-URI SERVER-LOG [ROUNDS]
#   SERVER-LOG: the server's log file, at log level info or debug; the
#   printer should be the server's only one. The race is timing: it shows in
#   some runs, not in all.
# shellcheck source=docs/pappl/common.sh
. "$(dirname "$0")/common.sh"
log=${2:?the server log file}
rounds=${3:-25}
grey_png "$work/page.png" 384 288
for _ in 1 2 3 4; do
  for ((i = 0; i < rounds; i++)); do
    ipptool -f "$work/page.png" "$uri" print-job.test >/dev/null 2>&1 || true
  done &
done
wait
sleep 5
twice() {
  grep -a '] Starting print job\.' "$log" | sed -n 's/.*\[Job \([0-9]*\)\].*/\1/p' | sort | uniq -d | grep -q .
}
verdict "a job started more than once" twice
