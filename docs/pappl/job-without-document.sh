#!/bin/bash
# PAPPL 1.3.1 starts a job made by Create-Job as soon as it is released (or
# its hold time has passed; PAPPL's check of that time is reversed), even
# when its document has not arrived: with no document type, the search for a
# filter reads a null pointer and the server stops.
# dotweave-app's job start guard lets such a job wait for its document
# (app/job_start_guard.cpp).
# Usage: job-without-document.sh PRINTER-URI
# shellcheck source=docs/pappl/common.sh
. "$(dirname "$0")/common.sh"
cat >"$work/release.test" <<'TEST'
{
  OPERATION Create-Job
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR name requesting-user-name $user
  GROUP job-attributes-tag
  ATTR keyword job-hold-until indefinite
  STATUS successful-ok
  EXPECT job-id OF-TYPE integer
}
{
  OPERATION Release-Job
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job-id
  ATTR name requesting-user-name $user
  STATUS successful-ok
}
TEST
ipptool "$uri" "$work/release.test" >/dev/null || true
sleep 3
verdict "a Create-Job job released before its document stops the server" server_stopped
