# shellcheck shell=bash
# Shared by the reproducers in this folder: a scratch folder, a picture
# writer and a check that the server still answers.
set -eu
if [ $# -lt 1 ]; then
  echo "usage: $0 PRINTER-URI   (e.g. ipp://localhost:8000/ipp/print/NAME)" >&2
  exit 2
fi
uri=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# grey_png FILE WIDTH HEIGHT: a black 8-bit grey PNG, with Python's own zlib.
grey_png() {
  python3 - "$@" <<'PY'
import struct, sys, zlib
path, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
rows = (b'\0' + b'\0' * width) * height
with open(path, 'wb') as out:
    out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 0, 0, 0, 0))
              + chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))
PY
}

# Exit status 0 once the server no longer answers Get-Printer-Attributes.
server_stopped() {
  ! ipptool -T 5 "$uri" get-printer-attributes.test >/dev/null 2>&1
}

# verdict FAULT CHECK...: runs the check, which succeeds when the server has
# the fault; prints the outcome, exit status 1 when affected.
verdict() {
  local fault=$1
  shift
  if "$@"; then
    echo "AFFECTED: $fault"
    exit 1
  fi
  echo "not affected: $fault"
}
