#!/usr/bin/env bash
# The Debian packages as an administrator meets them: built from this tree
# with dpkg-buildpackage, checked by lintian, installed with apt-get into
# this machine; a private scheduler then prints the bundled label to a
# queue made with lpadmin -m from what lpinfo -m lists, and the stream must
# decode. Removal must leave no file of the driver and keep the service's
# state; a purge must leave nothing at all.
#
#   package_test.sh [DEB_FOLDER]
#
# DEB_FOLDER holds packages built before; without it they are built into
# build-package/. Runs as root. It purges what it installed however it
# ends, and refuses to run where the packages or the service's state are
# already on the machine. The system's own scheduler is left alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export DOTWEAVE_SOURCE_DIR=$root
. "$root/tests/e2e/e2e-lib.sh"
export DEBIAN_FRONTEND=noninteractive

packages="printer-driver-dotweave dotweave-app"
# Those of the packages dpkg still knows, installed or removed.
known_packages() {
    local package
    for package in $packages; do
        case "$(dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null || true)" in
            ""|un*) ;;
            *) echo "$package" ;;
        esac
    done
}
state=/var/lib/dotweave-app
unit=/lib/systemd/system/dotweave-app.service
wants=/etc/systemd/system/multi-user.target.wants/dotweave-app.service

[ "$(id -u)" -eq 0 ] || fail "installs packages: run as root"
need_tools dpkg-buildpackage lintian apt-get cupsd lpadmin lpinfo lp lpstat man
[ -z "$(known_packages)" ] || fail "$(known_packages) already on this machine; the test would purge it"
[ ! -e "$state" ] || fail "$state exists; a purge would delete it"

work=$(mktemp -d)
chmod 0755 "$work"
installed=false
app_pid=""
cleanup() {
    local status=$?
    [ "$status" -ne 0 ] && show_cupsd_log "$work"
    stop_cupsd
    if [ -n "$app_pid" ]; then
        kill -TERM "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
    fi
    # The server leaves its control socket behind; systemd would remove the
    # service's runtime folder.
    rm -rf "/run/dotweave-app-pkg-$$.sock" /run/dotweave-app
    userdel "dwpkg$$a" 2>/dev/null || true
    userdel "dwpkg$$u" 2>/dev/null || true
    if $installed && [ -n "$(known_packages)" ]; then
        # shellcheck disable=SC2046
        dpkg --purge $(known_packages) > "$work/cleanup-purge.log" 2>&1 ||
            echo "WARNING: the packages could not be purged, see $work/cleanup-purge.log" >&2
    fi
    # It was not there before the test (checked above).
    rm -rf "$state"
    [ "$status" -eq 0 ] && rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Paths whose name carries the project's name in the folders packages and
# their scripts write to. What the package manager keeps about itself does
# not count, nor man-db's cache of pages it formatted for `man`, nor the
# control sockets of test and demonstration servers
# (/run/dotweave-app-NAME.sock) that may come and go meanwhile.
dotweave_paths() {
    find /etc /lib /usr /var /opt /srv /run \
        \( -path /var/lib/dpkg -o -path /var/lib/apt -o -path /var/cache/apt -o -path /var/cache/man -o -path /var/log \
           -o -path "$root" -o -path "$work" -o -path '/run/dotweave-app-*.sock' \) -prune \
        -o -name '*dotweave*' -print 2>/dev/null | sort
}

# --- build and lint ---------------------------------------------------------
debs=${1:-}
if [ -z "$debs" ]; then
    debs=$root/build-package
    rm -rf "$debs"
    mkdir -p "$debs/src"
    # The tree as the developer has it, without build folders or ignored files.
    if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -C "$root" ls-files -z --cached --others --exclude-standard |
            while IFS= read -r -d '' file; do [ -e "$root/$file" ] && printf '%s\0' "$file"; done |
            tar -C "$root" --null -T - -cf - | tar -C "$debs/src" -xf -
    else
        tar -C "$root" --exclude='./build*' --exclude=./out -cf - . | tar -C "$debs/src" -xf -
    fi
    echo "=== dpkg-buildpackage -b -us -uc ==="
    (cd "$debs/src" && dpkg-buildpackage -b -us -uc) > "$debs/build.log" 2>&1 ||
        { tail -n 40 "$debs/build.log" >&2; fail "dpkg-buildpackage failed, see $debs/build.log"; }
fi
debs=$(cd "$debs" && pwd)
driver_deb=$(ls "$debs"/printer-driver-dotweave_*.deb)
app_deb=$(ls "$debs"/dotweave-app_*.deb)
# The .changes file brings the build's own checks where there is one.
lint=("$driver_deb" "$app_deb")
changes=$(ls "$debs"/dotweave_*.changes 2>/dev/null || true)
[ -n "$changes" ] && lint=("$changes")

lintian --fail-on error --tag-display-limit 0 "${lint[@]}" > "$work/lintian.txt" 2>&1 ||
    { cat "$work/lintian.txt" >&2; fail "lintian reports errors"; }
echo "ok: lintian: no errors, $(grep -c '^W:' "$work/lintian.txt" || true) warnings"
grep '^W:' "$work/lintian.txt" || true

# --- install ----------------------------------------------------------------
dotweave_paths > "$work/before"
installed=true
# Recommended daemons (avahi) would start on a developer's machine and stay.
apt-get install -y -q --no-install-recommends "$driver_deb" "$app_deb" > "$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "apt-get install"; }
for package in $packages; do
    dpkg -L "$package" > "$work/$package.files"
done
echo "ok: installed $(basename "$driver_deb") and $(basename "$app_deb")"

serverbin=$(cups-config --serverbin 2>/dev/null || echo /usr/lib/cups)
filter=$serverbin/filter/dotweave
[ "$(stat -c '%U:%G %a' "$filter")" = "root:root 755" ] ||
    fail "$filter is $(stat -c '%U:%G %a' "$filter"); CUPS runs only root's filters that others cannot write"
ppds=(/usr/share/ppd/dotweave/dotweave-*.ppd)
[ "${#ppds[@]}" -eq 8 ] || fail "expected 8 PPDs in /usr/share/ppd/dotweave, found ${#ppds[@]}"

for page in 8:dotweave 1:dotweave-preview 1:dotweave-app; do
    section=${page%%:*} name=${page#*:}
    man -w "$section" "$name" >/dev/null 2>&1 || fail "man $section $name finds no page"
    MANWIDTH=80 man --warnings "$section" "$name" > "$work/man.txt" 2> "$work/man.err" ||
        fail "man $section $name fails"
    [ ! -s "$work/man.err" ] || { cat "$work/man.err" >&2; fail "man $section $name: formatting warnings"; }
    grep -q "^NAME" "$work/man.txt" || fail "man $section $name has no NAME section"
done
echo "ok: manual pages dotweave(8), dotweave-preview(1), dotweave-app(1)"

version=$(dpkg-query -W -f='${Version}' dotweave-app | sed 's/^[0-9]*://; s/-[^-]*$//')
[ "$(dotweave-app --version)" = "$version" ] ||
    fail "dotweave-app --version says $(dotweave-app --version), the package is $version"

# --- printing through lpadmin -m --------------------------------------------
start_cupsd "$work"
lpinfo -m > "$work/models" 2>&1 || { cat "$work/models" >&2; fail "lpinfo -m"; }
[ "$(grep -c '^lsb/usr/dotweave/' "$work/models")" -eq 8 ] ||
    { cat "$work/models" >&2; fail "lpinfo -m does not list the 8 dotweave models"; }
model=$(awk '$1 ~ /dotweave-tspl-203dpi/ { print $1 }' "$work/models")
mkdir -p "$work/out"
chmod 0777 "$work/out"
lpadmin -p label -v "file://$work/out/label.prn" -m "$model" -E ||
    fail "lpadmin -m $model"
lp -d label "$root/samples/shipping-label.pdf" > /dev/null || fail "lp shipping-label.pdf"
wait_cupsd_jobs "$work"
report=$(dotweave-preview -o "$work/preview" "$work/out/label.prn") ||
    fail "the printed stream does not decode: $report"
# shipping-label.pdf has two pages.
head -n 1 <<<"$report" | grep -q '^tspl stream, [0-9]* bytes, 2 pages' ||
    fail "expected a TSPL stream of 2 pages: $(head -n 1 <<<"$report")"
[ -s "$work/preview/page-2.png" ] || fail "dotweave-preview wrote no picture of page 2"
echo "ok: lpadmin -m $model printed the label: $(head -n 1 <<<"$report")"

# On upgrades cups's own scripts refresh the queues made from these PPDs:
# the updater's patterns must find this queue's model among the listed ones,
# also for a queue made from an earlier PPD version (the nickname ends in it).
# shellcheck source=SCRIPTDIR/../../debian/printer-driver-dotweave.ppd-updater
. /usr/share/cups/ppd-updaters/printer-driver-dotweave.ppd-updater
nick=$(sed -n 's/^\*NickName: "\(.*\)"/\1/p' "$work/conf/ppd/label.ppd" | sed -E 's/[0-9]+(\.[0-9]+)*$/0.9/' |
       perl -pe "$GENNICKNAME_REGEXP")
grep -E "$DRIVER_REGEXP" "$work/models" | perl -pe "$GENNICKNAME_REGEXP" | grep -qxF "$model $nick" ||
    fail "the PPD updater does not match the queue's nickname '$nick' to $model"
stop_cupsd

# --- the service ------------------------------------------------------------
# It runs as a user of its own in systemd's sandbox, and still prints; the
# command line finds it, administrators may change it, nobody else may.
[ -f "$unit" ] || fail "no $unit"
need_tools systemd-analyze setpriv runuser useradd chpasswd python3
service_user=$(sed -n 's/^User=//p' "$unit")
[ "$service_user" = dotweave-app ] || fail "the unit runs as '$service_user', not as the service's user dotweave-app"
getent passwd dotweave-app > /dev/null || fail "the package made no user dotweave-app"
read -r -a groups <<<"$(sed -n 's/^SupplementaryGroups=//p' "$unit")"
for group in "${groups[@]}"; do
    id -nG dotweave-app | tr ' ' '\n' | grep -qx "$group" || fail "dotweave-app is not in group $group"
done
exposure=$(systemd-analyze security --offline=true "$unit" 2>&1 | sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
[ -n "$exposure" ] || fail "systemd-analyze gave no exposure level"
awk -v e="$exposure" 'BEGIN { exit !(e <= 2.0) }' || fail "systemd-analyze rates the unit $exposure, more than 2.0"
echo "ok: the unit runs as dotweave-app ($(id -nG dotweave-app | tr ' ' ,)), exposure $exposure"
# The link is not made over the socket of a server someone runs by hand.
if [ -L /run/dotweave-app.sock ] || [ ! -e /run/dotweave-app.sock ]; then
    [ "$(readlink /run/dotweave-app.sock)" = /run/dotweave-app/dotweave-app.sock ] ||
        fail "no link /run/dotweave-app.sock to the service's control socket"
fi

jobfiles=$state/jobfiles
# A throwaway administrator with a password, and a user who is none.
admin=dwpkg$$a plain=dwpkg$$u password=Thermal-Paper-42
useradd -M -s /usr/sbin/nologin -G lpadmin "$admin" || fail "useradd $admin"
useradd -M -s /usr/sbin/nologin "$plain" || fail "useradd $plain"
printf '%s:%s\n%s:%s\n' "$admin" "$password" "$plain" "$password" | chpasswd || fail "chpasswd"
if [ -d /run/systemd/system ]; then
    [ "$(systemctl is-enabled dotweave-app)" = enabled ] || fail "dotweave-app.service is not enabled"
    systemctl is-active --quiet dotweave-app || fail "dotweave-app.service is not running"
    service_pid=$(systemctl show -p MainPID --value dotweave-app)
    cli=dotweave-app
    port=8631
else
    # Without systemd the maintainer scripts only record the unit as
    # enabled; the server is started here as the unit would start it: as its
    # user and groups, with the folders systemd would make for it.
    [ "$(readlink "$wants")" = "$unit" ] || fail "dotweave-app.service is not enabled ($wants)"
    read -r -a command <<<"$(sed -n 's/^ExecStart=//p' "$unit")"
    [ -x "${command[0]}" ] || fail "the unit starts ${command[0]}, which is not installed"
    port=$(free_port)
    for i in "${!command[@]}"; do
        case "${command[$i]}" in server-port=*) command[i]=server-port=$port ;; esac
    done
    read -r -a folders <<<"$(sed -n 's/^StateDirectory=//p' "$unit")"
    for folder in "${folders[@]}"; do
        install -d -o dotweave-app -g dotweave-app -m "$(sed -n 's/^StateDirectoryMode=//p' "$unit")" "/var/lib/$folder"
    done
    read -r -a folders <<<"$(sed -n 's/^RuntimeDirectory=//p' "$unit")"
    for folder in "${folders[@]}"; do
        install -d -o dotweave-app -g dotweave-app -m "$(sed -n 's/^RuntimeDirectoryMode=//p' "$unit")" "/run/$folder"
    done
    install -d -o dotweave-app -g dotweave-app -m 0700 "$work/tmp"
    (umask "$(sed -n 's/^UMask=//p' "$unit")" &&
        exec setpriv --reuid=dotweave-app --regid=dotweave-app --init-groups --reset-env \
            env HOME="$state" TMPDIR="$work/tmp" "${command[@]}") > "$work/app.log" 2>&1 &
    app_pid=$!
    service_pid=$app_pid
    # Its own name keeps the command line's socket apart from a server of
    # the machine's; a link leads there as the package's leads to
    # /run/dotweave-app.sock.
    cli=$work/dotweave-app-pkg-$$
    ln -s "${command[0]}" "$cli"
    ln -s /run/dotweave-app/dotweave-app.sock "/run/dotweave-app-pkg-$$.sock"
fi
for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    kill -0 "$service_pid" 2>/dev/null || { cat "$work/app.log" >&2; fail "the unit's server exited"; }
    sleep 0.1
done
[ "$(stat -c %U "/proc/$service_pid")" = dotweave-app ] ||
    fail "the server runs as $(stat -c %U "/proc/$service_pid")"

"$cli" add -d label -m tspl_203dpi -v "jobfile:$jobfiles" || fail "root's command line does not add a printer"
runuser -u "$admin" -- "$cli" modify -d label -o halftone-method-default=threshold ||
    fail "an administrator's command line does not change the printer"
! runuser -u "$plain" -- "$cli" modify -d label -o halftone-method-default=stucki 2>/dev/null ||
    fail "a user who is no administrator changed the printer"
! "$cli" add -d outside -m tspl_203dpi -v "jobfile:$work" 2>/dev/null ||
    fail "the service made a printer writing outside $jobfiles"
# PAM checks an administrator's password though the server is not root.
web() {
    python3 - "$@" <<'PYTHON'
import base64, sys, urllib.error, urllib.request
url, login = sys.argv[1], sys.argv[2]
request = urllib.request.Request(url)
if login:
    request.add_header("Authorization", "Basic " + base64.b64encode(login.encode()).decode())
try:
    print(urllib.request.urlopen(request, timeout=30).status)
except urllib.error.HTTPError as error:
    print(error.code)
PYTHON
}
[ "$(web "http://127.0.0.1:$port/label/printing" "")" = 401 ] || fail "the printer's settings page is open to all"
[ "$(web "http://127.0.0.1:$port/label/printing" "$admin:$password")" = 200 ] ||
    fail "the service does not take an administrator's password"
[ "$(web "http://127.0.0.1:$port/label/printing" "$plain:$password")" = 403 ] ||
    fail "the service takes a password of a user who is no administrator"
install -m 0644 "$root/samples/photo.png" "$work/photo.png"
runuser -u "$plain" -- "$cli" submit -d label "$work/photo.png" > /dev/null ||
    fail "a user cannot print through the service"
for _ in $(seq 300); do [ -f "$jobfiles/job-00001.prn" ] && break; sleep 0.1; done
report=$(dotweave-preview -o "$work/app-preview" "$jobfiles/job-00001.prn") ||
    fail "the service's job does not decode: $report"
head -n 1 <<<"$report" | grep -q '^tspl stream, [0-9]* bytes, 1 page' ||
    fail "expected a TSPL stream of 1 page from the service: $(head -n 1 <<<"$report")"
echo "ok: the service printed as dotweave-app: $(head -n 1 <<<"$report")"

if [ -d /run/systemd/system ]; then
    for _ in $(seq 50); do grep -q label "$state/dotweave-app.state" 2>/dev/null && break; sleep 0.2; done
else
    "$cli" shutdown || fail "the unit's server does not shut down"
    wait "$app_pid" || true
    app_pid=""
    rm -rf /run/dotweave-app "/run/dotweave-app-pkg-$$.sock"
fi
userdel "$admin"
userdel "$plain"
grep -q label "$state/dotweave-app.state" || fail "the server kept no state in $state"
echo "ok: the service is enabled and keeps its printers in $state"

# --- remove, then purge -----------------------------------------------------
# The files of a list from dpkg -L still on the machine. Folders are shared
# with other packages; one of the project's own that stays shows in the
# search for the project's name.
left_of() {
    local path
    while IFS= read -r path; do
        if [ -e "$path" ] || [ -L "$path" ]; then
            [ -d "$path" ] || echo "$path"
        fi
    done < "$1"
}

# shellcheck disable=SC2086
apt-get remove -y -q $packages > "$work/remove.log" 2>&1 || { cat "$work/remove.log" >&2; fail "apt-get remove"; }
for package in $packages; do
    left=$(left_of "$work/$package.files")
    [ -z "$left" ] || fail "apt-get remove left files of $package: $left"
done
if [ -d /run/systemd/system ]; then
    ! systemctl is-active --quiet dotweave-app || fail "dotweave-app.service still runs after removal"
fi
[ -f "$state/dotweave-app.state" ] || fail "apt-get remove deleted the service's state"
echo "ok: removed; the service's state is kept"

# The driver has nothing left to purge: dpkg has forgotten it already.
[ "$(known_packages)" = dotweave-app ] || fail "after removal dpkg knows: $(known_packages)"
apt-get purge -y -q dotweave-app > "$work/purge.log" 2>&1 || { cat "$work/purge.log" >&2; fail "apt-get purge"; }
installed=false
[ ! -e "$state" ] || fail "apt-get purge left $state"
[ ! -L "$wants" ] || fail "apt-get purge left $wants"
for package in $packages; do
    left=$(left_of "$work/$package.files")
    [ -z "$left" ] || fail "apt-get purge left files of $package: $left"
done
dotweave_paths > "$work/after"
new=$(comm -13 "$work/before" "$work/after")
[ -z "$new" ] || fail "left after the purge: $new"
echo "ok: purged; nothing of the packages is left"
