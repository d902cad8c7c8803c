#!/usr/bin/env bash
# The engine is shared by both front ends: it includes nothing of either, and
# uses no PPD and no other CUPS call (it only knows the raster page header).
#   engine_boundary_test.sh SOURCE_DIR ENGINE_LIBRARY
set -euo pipefail
source_dir=$1 library=$2
status=0

if found=$(grep -rnE '#include *[<"](filter|app)/|#include *<cups/(ppd|cups|language)\.h>' \
             "$source_dir"/image "$source_dir"/render "$source_dir"/printers); then
    echo "engine sources include a front end or a CUPS interface beyond the raster header:"
    echo "$found"
    status=1
fi

# Symbols the engine needs from elsewhere: none may come from libcups.
if calls=$(nm -u --format=just-symbols "$library" | grep -iE '^(_?cups|_?ppd)' | sort -u); then
    echo "the engine library calls into CUPS:"
    echo "$calls"
    status=1
fi
[ $status -eq 0 ] && echo "engine boundary kept: no front-end header, no CUPS call"
exit $status
