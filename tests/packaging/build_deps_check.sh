#!/bin/sh
# The test command builds the Debian packages on a machine that has only
# what tools/install-deps.sh installs: that must include every build
# dependency debian/control names, and build-essential, which
# dpkg-buildpackage requires without its being named.
#   build_deps_check.sh SOURCE_FOLDER
set -eu
source=$1

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

installed=$(bash "$source/tools/install-deps.sh" --list)
[ -n "$installed" ] || fail "tools/install-deps.sh --list printed nothing"

# The fields' values, continuation lines included, one dependency a line:
# the first of any alternatives, without version, architecture, profile or
# multi-arch qualifiers. debhelper-compat is provided by debhelper.
needed=$(awk '/^[^[:space:]]/ { field = /^Build-Depends(-Arch|-Indep)?:/; sub(/^[^:]*:/, "") } field' \
             "$source/debian/control" |
         tr ',' '\n' |
         sed -e 's/|.*//' -e 's/([^)]*)//g; s/\[[^]]*\]//g; s/<[^>]*>//g; s/:[a-z]*//' \
             -e 's/[[:space:]]//g; s/^debhelper-compat$/debhelper/' |
         grep -v '^$')
[ -n "$needed" ] || fail "no Build-Depends in $source/debian/control"

missing=""
for package in build-essential $needed; do
    echo "$installed" | grep -qxF "$package" || missing="$missing $package"
done
[ -z "$missing" ] || fail "tools/install-deps.sh does not install:$missing"
echo "ok: tools/install-deps.sh installs all $(echo "$needed" | wc -l) build dependencies and build-essential"
