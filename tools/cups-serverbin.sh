# Sourced by the sample and end-to-end scripts: builds a private copy of
# the CUPS server folder in which the built dotweave sits beside the
# system's own filters and backends, so cupsfilter and a private cupsd
# can run it without installing anything.

# make_serverbin FOLDER FILTER: FOLDER/bin mirrors the system server
# folder; FILTER is copied into FOLDER/bin/filter/dotweave.
make_serverbin() {
    local dir=$1 filter=$2 system entry
    system=$(cups-config --serverbin 2>/dev/null || echo /usr/lib/cups)
    mkdir -p "$dir/bin/filter" "$dir/bin/backend"
    for entry in "$system"/*; do
        case "$(basename "$entry")" in
            filter|backend) ;;
            *) ln -s "$entry" "$dir/bin/" ;;
        esac
    done
    for entry in "$system"/filter/* "$system"/backend/*; do
        [ -e "$entry" ] || continue
        ln -s "$entry" "$dir/bin/$(basename "$(dirname "$entry")")/"
    done
    # CUPS runs only filters that group and others cannot write; when we
    # are root the copy is root's, as the scheduler wants it.
    if grep -q __asan_init "$filter"; then
        # A sanitizer build: libcups 2.4 itself keeps 16 bytes that
        # cupsMarkOptions allocates for "print-color-mode", an option every
        # scheduler job carries; the leak checker must not blame the filter.
        echo "leak:libcups.so" > "$dir/lsan.supp"
        install -m 0755 "$filter" "$dir/bin/filter/dotweave.bin"
        printf '#!/bin/sh\nLSAN_OPTIONS="suppressions=%s/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}" exec %s "$@"\n' \
            "$dir" "$dir/bin/filter/dotweave.bin" > "$dir/bin/filter/dotweave"
        chmod 0755 "$dir/bin/filter/dotweave"
        chmod 0644 "$dir/lsan.supp"
    else
        install -m 0755 "$filter" "$dir/bin/filter/dotweave"
    fi
    # Filters run as the unprivileged user lp: every folder on the way
    # must be searchable.
    chmod 0755 "$dir" "$dir/bin" "$dir/bin/filter" "$dir/bin/backend"
    printf 'ServerBin %s/bin\nDataDir /usr/share/cups\n' "$dir" > "$dir/cups-files.conf"
}
