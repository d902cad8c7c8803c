#!/usr/bin/env python3
"""The stream checker that the end-to-end tests rely on: it must count the
pages of well-formed streams of each printer family and reject streams that
are cut short, carry stray bytes or leave a page open."""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

CHECKER = os.path.join(os.environ["DOTWEAVE_SOURCE_DIR"], "tools", "stream-pages.py")


def tspl_page(width_bytes=2, height=2, compressed=False):
    data = bytes(width_bytes * height)
    head = (b"SIZE 2.00 mm,0.25 mm\r\nGAP 3 mm,0 mm\r\nCLS\r\nBITMAP 0,0,%d,%d,"
            % (width_bytes, height))
    if compressed:
        packed = zlib.compress(data)
        body = b"3,%d," % len(packed) + packed
    else:
        body = b"1," + data
    return head + body + b"\r\nPRINT 1,1\r\n"


def escpos_page(width_bytes=2, height=2):
    return (b"\x1b\x40\x00\x1b\x61\x01\x1d\x76\x30\x00"
            + struct.pack("<HH", width_bytes, height) + b"\xff" * (width_bytes * height)
            + b"\x1b\x4a\x4f")


def cpcl_page(form=True):
    return (b"! 0 200 200 2 1\r\nPAGE-WIDTH 16\r\nCG 4 2 0 0\r\n" + b"\x0d\x0a" * 4
            + (b"FORM\r\n" if form else b"") + b"PRINT\r\n")


def frame(command, payload=b""):
    packet = bytes([0x05, command, 0x03]) + struct.pack("<H", len(payload)) + payload
    return b"\xa5\x01" + struct.pack("<H", len(packet)) + packet + b"\0\0\0\0\x5a"


def paperang_page(bands=2):
    band = struct.pack("<HHBHHBH", 0, 11, 1, 48, 0, 1, 3) + b"\x02\xa5\x5a"
    return (frame(0x19) + frame(0x1c, b"\0" * 12) + band_frames(band, bands)
            + frame(0x1a) + frame(0x16, b"\0\0"))


def band_frames(band, count):
    return b"".join(frame(0x1b, band) for _ in range(count))


def peripage_page(compressed=False):
    if compressed:
        packed = zlib.compress(b"\x00" * 16)[2:]
        bitmap = b"\x1f\x00\x00\x02\x00\x08" + struct.pack(">I", len(packed)) + packed
    else:
        bitmap = b"\x1d\x76\x30\x00\x01\x00\x01\x00\x80"
    return (b"\x10\xff\xfe\x01\x10\xff\x10\x03\x01\x1b\x40\x00\x10\xff\x10\x00\x04\x1b\x61\x01"
            + bitmap + b"\x10\x50\x10\xff\xfe\x45")


# (family, stream, expected first word of the result or None for "rejected")
CASES = [
    ("tspl", tspl_page() * 2, "pages=2 empty=0"),
    ("tspl", tspl_page(compressed=True), "pages=1 empty=0"),
    ("tspl", tspl_page(0, 0), "pages=1 empty=1"),
    ("tspl", tspl_page()[:-13], None),                      # PRINT missing
    ("tspl", tspl_page(8, 8)[:60], None),                   # bitmap cut short
    ("escpos", escpos_page() * 3, "pages=3 empty=0"),
    ("escpos", escpos_page(0, 0), "pages=1 empty=1"),
    ("escpos", escpos_page() + b"\x42", None),              # stray byte
    ("escpos", escpos_page()[:-5], None),
    ("cpcl", cpcl_page() + cpcl_page(form=False), "pages=2 empty=0"),
    ("cpcl", cpcl_page()[:-7], None),
    ("paperang", paperang_page() * 2, "pages=2 empty=0"),
    ("paperang", paperang_page(bands=0), None),             # page without bitmap
    ("paperang", paperang_page()[:-14], None),              # last page not ended
    ("peripage", peripage_page() + peripage_page(compressed=True), "pages=2 empty=0"),
    ("peripage", peripage_page()[:-4], None),
    ("peripage", peripage_page() + b"\x1b\x40\x00", None),  # command outside a page
    ("tspl", b"", "pages=0 empty=0"),
]


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "stream.prn")
        for number, (family, stream, expected) in enumerate(CASES):
            with open(path, "wb") as f:
                f.write(stream)
            run = subprocess.run([sys.executable, CHECKER, family, path], capture_output=True, text=True)
            ok = (run.returncode == 1) if expected is None else (
                run.returncode == 0 and run.stdout.startswith(expected + " "))
            if not ok:
                failures += 1
                print("case %d (%s): expected %s, got status %d: %s%s"
                      % (number, family, expected or "rejection", run.returncode, run.stdout, run.stderr))
    print("%d passed, %d failed" % (len(CASES) - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
