#!/bin/sh
# The project's version is the CMake project version. The Debian packages
# take theirs from the top entry of debian/changelog, and the printer
# application reports one of its own: both must name the same version.
#   version_check.sh SOURCE_FOLDER BUILD_FOLDER
set -eu
source=$1 build=$2

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"

# "dotweave (EPOCH:UPSTREAM-REVISION) DISTRIBUTION; urgency=..." on the
# first line; the upstream part is the project's version.
top=$(sed -n '1p' "$source/debian/changelog")
packaged=$(echo "$top" | sed -n 's/^dotweave (\([^)]*\)) .*/\1/p')
[ -n "$packaged" ] || fail "debian/changelog does not start with a dotweave entry: $top"
upstream=$(echo "$packaged" | sed 's/^[0-9]*://; s/-[^-]*$//')
[ "$upstream" = "$version" ] ||
    fail "debian/changelog's top entry is $packaged, the CMake project version is $version: add a changelog entry"

if [ -x "$build/app/dotweave-app" ]; then
    reported=$("$build/app/dotweave-app" --version) || fail "dotweave-app --version failed"
    [ "$reported" = "$version" ] ||
        fail "dotweave-app reports version $reported, the CMake project version is $version"
fi
echo "ok: version $version (package $packaged)"
