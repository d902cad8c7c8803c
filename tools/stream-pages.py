#!/usr/bin/env python3
"""Checks a printer stream that dotweave wrote and counts its pages.

    stream-pages.py FAMILY FILE

FAMILY is tspl, escpos, cpcl, paperang or peripage.  The whole stream is
walked command by command; anything that is not that printer's command
stream (a stray byte, a bitmap cut short, a page without its end) is an
error.  Prints one line, "pages=N empty=E bitmap=WIDTHxHEIGHT": the page
count, how many of those pages carry an empty bitmap (a page that prints
nothing), and the size of the first page's bitmap in dots; exits 0.  On a
malformed stream prints the reason to standard error and exits 1.
"""

import sys


class Malformed(Exception):
    pass


class Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0
        self.empty = 0

    def bitmap(self, width, height):
        if width <= 0 or height <= 0:
            self.empty += 1

    def at_end(self):
        return self.pos >= len(self.data)

    def starts(self, prefix):
        return self.data.startswith(prefix, self.pos)

    def take(self, count, what):
        if count < 0 or self.pos + count > len(self.data):
            raise Malformed("%s cut short at byte %d" % (what, self.pos))
        chunk = self.data[self.pos:self.pos + count]
        self.pos += count
        return chunk

    def expect(self, prefix, what):
        if not self.starts(prefix):
            raise Malformed("expected %s at byte %d" % (what, self.pos))
        self.pos += len(prefix)

    def line(self):
        end = self.data.find(b"\r\n", self.pos)
        if end < 0:
            raise Malformed("text line without CR LF at byte %d" % self.pos)
        text = self.data[self.pos:end].decode("latin-1")
        self.pos = end + 2
        return text


def le16(b):
    return b[0] | b[1] << 8


def be(b):
    value = 0
    for byte in b:
        value = value << 8 | byte
    return value


def tspl(r):
    pages, size = 0, None
    while not r.at_end():
        if not r.line().startswith("SIZE "):
            raise Malformed("TSPL page does not start with SIZE")
        while True:
            start = r.pos
            if r.starts(b"BITMAP "):
                break
            if r.line() == "PRINT 1,1":
                raise Malformed("PRINT before BITMAP")
            if r.pos - start > 200:
                raise Malformed("overlong TSPL line")
        r.expect(b"BITMAP ", "BITMAP")
        fields = []
        while len(fields) < 5:
            comma = r.data.find(b",", r.pos, r.pos + 16)
            if comma < 0:
                raise Malformed("bad BITMAP header at byte %d" % r.pos)
            fields.append(int(r.data[r.pos:comma]))
            r.pos = comma + 1
        x, y, width_bytes, height, mode = fields
        if mode == 1:
            length = width_bytes * height
        elif mode == 3:
            comma = r.data.find(b",", r.pos, r.pos + 16)
            if comma < 0:
                raise Malformed("bad compressed BITMAP length")
            length = int(r.data[r.pos:comma])
            r.pos = comma + 1
        else:
            raise Malformed("unknown BITMAP mode %d" % mode)
        r.take(length, "BITMAP data")
        r.bitmap(width_bytes, height)
        r.expect(b"\r\n", "CR LF after BITMAP data")
        while r.line() != "PRINT 1,1":
            pass
        pages += 1
        size = size or (width_bytes * 8, height)
    return pages, size


def escpos_raster(r, what):
    header = r.take(4, what)
    width_bytes, height = le16(header[0:2]), le16(header[2:4])
    r.take(width_bytes * height, "raster data")
    r.bitmap(width_bytes, height)
    return width_bytes * 8, height


def escpos(r):
    pages, size = 0, None
    while not r.at_end():
        if r.starts(b"\x1b\x40\x00") or r.starts(b"\x1b\x61\x01"):
            r.pos += 3
        elif r.starts(b"\x1d\x76\x30"):
            r.pos += 4
            page = escpos_raster(r, "GS v 0 header")
            pages += 1
            size = size or page
        elif r.starts(b"\x1b\x4a"):
            r.take(3, "ESC J")
        elif r.starts(b"\x1d\x56\x30") or r.starts(b"\x1d\x56\x31"):
            r.pos += 3
        elif r.starts(b"\x1b\x70\x00"):
            r.take(5, "ESC p")
        else:
            raise Malformed("unknown ESC/POS byte %02X at %d" % (r.data[r.pos], r.pos))
    return pages, size


def cpcl(r):
    pages, size = 0, None
    while not r.at_end():
        head = r.line().split()
        if len(head) != 6 or head[0] != "!" or head[2:4] != ["200", "200"] or head[5] != "1":
            raise Malformed("bad CPCL label header %r" % head)
        width = r.line()
        if not width.startswith("PAGE-WIDTH "):
            raise Malformed("missing PAGE-WIDTH")
        cg = r.line().split()
        if len(cg) != 5 or cg[0] != "CG":
            raise Malformed("missing CG")
        r.take(int(cg[1]) * int(cg[2]), "CG data")
        r.bitmap(int(cg[1]), int(cg[2]))
        text = r.line()
        if text == "FORM":
            text = r.line()
        if text != "PRINT":
            raise Malformed("CPCL label does not end with PRINT")
        pages += 1
        size = size or (int(width.split()[1]), int(cg[2]))
    return pages, size


def paperang(r):
    pages, size, in_page, bands = 0, None, False, 0
    while not r.at_end():
        r.expect(b"\xa5\x01", "frame start A5 01")
        length = le16(r.take(2, "frame length"))
        packet = r.take(length, "packet")
        r.take(4, "CRC")
        r.expect(b"\x5a", "frame end 5A")
        if length < 5 or packet[0] != 0x05 or packet[2] != 0x03 or le16(packet[3:5]) != length - 5:
            raise Malformed("bad packet layout")
        command = packet[1]
        if command == 0x19:
            if in_page:
                raise Malformed("page begun twice")
            in_page, bands = True, 0
        elif command in (0x1c, 0x1b):
            if not in_page:
                raise Malformed("bitmap outside a page")
            if command == 0x1b:
                bands += 1
                width = le16(packet[10:12])
                r.bitmap(width, le16(packet[15:17]))
        elif command == 0x1a:
            if not in_page or bands == 0:
                raise Malformed("page ended without bitmap bands")
            in_page = False
            pages += 1
            size = size or (width * 8, None)
        elif command in (0x21, 0x16):
            pass
        else:
            raise Malformed("unknown Paperang command %02X" % command)
    if in_page:
        raise Malformed("last page not ended")
    return pages, size


def peripage(r):
    pages, size, in_page = 0, None, False
    while not r.at_end():
        if r.starts(b"\x10\xff\xfe\x01"):
            if in_page:
                raise Malformed("page begun twice")
            in_page, has_bitmap = True, False
            r.pos += 4
        elif r.starts(b"\x10\xff\xfe\x45"):
            if not in_page or not has_bitmap:
                raise Malformed("page ended without a bitmap")
            in_page = False
            pages += 1
            r.pos += 4
        elif r.starts(b"\x10\xff\x10\x03") or r.starts(b"\x10\xff\x10\x00"):
            r.take(5, "PeriPage setting")
        elif r.starts(b"\x1b\x40\x00") or r.starts(b"\x1b\x61\x01"):
            r.pos += 3
        elif r.starts(b"\x1b\x4a"):
            r.take(3, "ESC J")
        elif r.starts(b"\x1d\x0c") or r.starts(b"\x10\x50"):
            r.pos += 2
        elif r.starts(b"\x1d\x76\x30"):
            r.pos += 4
            page = escpos_raster(r, "GS v 0 header")
            has_bitmap = True
            size = size or page
        elif r.starts(b"\x1f\x00"):
            header = r.take(10, "compressed bitmap header")
            r.take(be(header[6:10]), "compressed bitmap")
            r.bitmap(be(header[2:4]), be(header[4:6]))
            has_bitmap = True
            size = size or (be(header[2:4]) * 8, be(header[4:6]))
        else:
            raise Malformed("unknown PeriPage byte %02X at %d" % (r.data[r.pos], r.pos))
        if not in_page and not r.at_end() and not r.starts(b"\x10\xff\xfe\x01"):
            raise Malformed("command outside a page at byte %d" % r.pos)
    if in_page:
        raise Malformed("last page not ended")
    return pages, size


FAMILIES = {"tspl": tspl, "escpos": escpos, "cpcl": cpcl, "paperang": paperang, "peripage": peripage}


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in FAMILIES:
        sys.stderr.write("usage: stream-pages.py {%s} FILE\n" % ",".join(FAMILIES))
        return 2
    with open(sys.argv[2], "rb") as f:
        data = f.read()
    try:
        reader = Reader(data)
        pages, size = FAMILIES[sys.argv[1]](reader)
    except (Malformed, ValueError, IndexError) as error:
        sys.stderr.write("%s: not a %s stream: %s\n" % (sys.argv[2], sys.argv[1], error))
        return 1
    width, height = size if size else (0, 0)
    print("pages=%d empty=%d bitmap=%sx%s"
          % (pages, reader.empty, width, height if height is not None else "?"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
