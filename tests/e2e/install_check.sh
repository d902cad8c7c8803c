#!/usr/bin/env bash
# cmake --install into a scratch root puts the filter where CUPS runs
# filters, with the permissions CUPS insists on, and the PPDs where CUPS's
# driver lister finds them.
#   install_check.sh CMAKE BUILD_FOLDER
set -euo pipefail
. "$(dirname "$0")/e2e-lib.sh"
cmake=$1 build=$2

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root "$cmake" --install "$build" >/dev/null || fail "cmake --install"

serverbin=$(cups-config --serverbin 2>/dev/null || echo /usr/lib/cups)
filter=$root$serverbin/filter/dotweave
[ -x "$filter" ] || fail "no filter at $filter"
[ "$(stat -c %a "$filter")" = 755 ] || fail "filter mode $(stat -c %a "$filter"), want 755"
if [ "$(id -u)" -eq 0 ]; then
    [ "$(stat -c %u "$filter")" = 0 ] || fail "filter not owned by root"
fi
count=0
for ppd in "$root"/usr/share/ppd/dotweave/dotweave-*.ppd; do
    [ "$(stat -c %a "$ppd")" = 644 ] || fail "$ppd mode $(stat -c %a "$ppd")"
    count=$((count + 1))
done
[ "$count" -eq 8 ] || fail "expected 8 PPDs under /usr/share/ppd/dotweave, found $count"

# Ask CUPS's own driver lister, over a data folder whose model folder is
# the scratch root's PPD folder, what it offers.
driverd=$serverbin/daemon/cups-driverd
if [ ! -x "$driverd" ]; then
    [ "${CI:-}" = true ] && fail "$driverd is missing (Debian: cups-daemon)"
    echo "ok: installed; SKIP the listing: no $driverd" >&2
    exit 77
fi
data=$root/data
mkdir -p "$data" "$root/cache"
for entry in /usr/share/cups/*; do
    [ "$(basename "$entry")" = model ] || ln -s "$entry" "$data/"
done
ln -s "$root/usr/share/ppd" "$data/model"
CUPS_DATADIR=$data CUPS_CACHEDIR=$root/cache CUPS_SERVERBIN=$root/nothing \
    "$driverd" list 1 0 "" > "$root/list" 2> "$root/driverd.log" || true
for family in tspl-203dpi tspl-300dpi escpos-203dpi cpcl-203dpi paperang-203dpi \
              paperang-300dpi peripage-203dpi peripage-300dpi; do
    grep -a -q "dotweave/dotweave-$family.ppd" "$root/list" ||
        { cat "$root/driverd.log" >&2; fail "the driver lister does not offer dotweave-$family.ppd"; }
done
grep -a -q "dotweave TSPL Label 203dpi" "$root/list" || fail "model names not listed"
echo "ok: filter and $count PPDs installed and listed"
