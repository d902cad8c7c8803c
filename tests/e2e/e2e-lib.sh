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

# check_stream FAMILY FILE PAGES: FILE must be a well-formed command stream
# of that printer family holding exactly PAGES pages.
check_stream() {
    local family=$1 file=$2 pages=$3 result
    [ -s "$file" ] || fail "$file is empty: no $family stream"
    result=$(python3 "$DOTWEAVE_SOURCE_DIR/tools/stream-pages.py" "$family" "$file") ||
        fail "$file is not a $family stream"
    case "$result" in
        "pages=$pages empty=0 "*) echo "ok: $family $(basename "$file"): $result" ;;
        *) fail "$file: expected $pages printed pages of $family, got: $result" ;;
    esac
}

# has_bytes FILE HEX: FILE contains the byte sequence HEX (e.g. "10ff1000").
has_bytes() {
    od -An -v -tx1 "$1" | tr -d ' \n' | grep -q "$2"
}
