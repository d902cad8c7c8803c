#!/usr/bin/env python3
"""Writes the bundled sample documents into samples/.

Everything is drawn from code, so the files come out byte-identical on
every run: no timestamps, no random numbers. The mixed label's barcodes come
from zint and its text from Debian's python3-pil; the rest needs only the
standard library.

    /usr/bin/python3 tools/make-samples.py [output-folder]
"""

import math
import os
import struct
import subprocess
import sys
import zlib

MM = 72.0 / 25.4  # PDF units per millimetre


# ---------------------------------------------------------------- PDF writer

def pdf_escape(text):
    return text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")


class Page:
    """Collects the drawing operators of one page."""

    def __init__(self, width_mm, height_mm):
        self.width = width_mm * MM
        self.height = height_mm * MM
        self.ops = []

    # Coordinates are millimetres from the top-left corner, as a layout reads.
    def text(self, x, y, size, text, bold=False):
        font = "F2" if bold else "F1"
        self.ops.append("BT /%s %.2f Tf %.2f %.2f Td (%s) Tj ET"
                        % (font, size, x * MM, self.height - y * MM, pdf_escape(text)))

    def rect(self, x, y, w, h, fill=True, line=0.4):
        coords = "%.2f %.2f %.2f %.2f re" % (x * MM, self.height - (y + h) * MM, w * MM, h * MM)
        if fill:
            self.ops.append(coords + " f")
        else:
            self.ops.append("%.2f w %s S" % (line * MM, coords))

    def line(self, x1, y1, x2, y2, width=0.3, dash=None):
        dash_op = "[%.2f %.2f] 0 d " % (dash * MM, dash * MM) if dash else "[] 0 d "
        self.ops.append("%s%.2f w %.2f %.2f m %.2f %.2f l S"
                        % (dash_op, width * MM, x1 * MM, self.height - y1 * MM,
                           x2 * MM, self.height - y2 * MM))

    def grey(self, level):
        self.ops.append("%.3f g %.3f G" % (level, level))


def write_pdf(path, pages, title):
    objects = []

    def add(body):
        objects.append(body)
        return len(objects)

    catalog = add(None)
    pages_obj = add(None)
    font1 = add(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>")
    font2 = add(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>")
    info = add(("<< /Title (%s) /Producer (dotweave make-samples) >>" % pdf_escape(title)).encode())
    kids = []
    for page in pages:
        content = zlib.compress("\n".join(page.ops).encode("latin-1"), 9)
        stream = add(b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(content) + content + b"\nendstream")
        kids.append(add(("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 %.2f %.2f] "
                         "/Resources << /Font << /F1 %d 0 R /F2 %d 0 R >> >> /Contents %d 0 R >>"
                         % (pages_obj, page.width, page.height, font1, font2, stream)).encode()))
    objects[catalog - 1] = ("<< /Type /Catalog /Pages %d 0 R >>" % pages_obj).encode()
    objects[pages_obj - 1] = ("<< /Type /Pages /Kids [%s] /Count %d >>"
                              % (" ".join("%d 0 R" % k for k in kids), len(kids))).encode()

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, start=1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += (b"trailer\n<< /Size %d /Root %d 0 R /Info %d 0 R >>\nstartxref\n%d\n%%%%EOF\n"
            % (len(objects) + 1, catalog, info, xref))
    with open(path, "wb") as f:
        f.write(out)


# ------------------------------------------------------------- barcodes

# Interleaved 2 of 5: each digit is five elements, two of them wide.
ITF_DIGITS = ["nnwwn", "wnnnw", "nwnnw", "wwnnn", "nnwnw",
              "wnwnn", "nwwnn", "nnnww", "wnnwn", "nwnwn"]


def itf_bars(digits, narrow, wide):
    """Yields (is_bar, width) for an Interleaved 2 of 5 symbol."""
    if len(digits) % 2:
        digits = "0" + digits
    elements = [(True, narrow), (False, narrow), (True, narrow), (False, narrow)]
    for i in range(0, len(digits), 2):
        bars = ITF_DIGITS[int(digits[i])]
        spaces = ITF_DIGITS[int(digits[i + 1])]
        for b, s in zip(bars, spaces):
            elements.append((True, wide if b == "w" else narrow))
            elements.append((False, wide if s == "w" else narrow))
    elements += [(True, wide), (False, narrow), (True, narrow)]
    return elements


def draw_itf(page, x, y, height, digits, narrow=0.38):
    for is_bar, width in itf_bars(digits, narrow, narrow * 2.5):
        if is_bar:
            page.rect(x, y, width, height)
        x += width
    return x


# ------------------------------------------------------------- documents

def shipping_label(parcel, parcels):
    p = Page(100, 150)
    p.rect(3, 3, 94, 144, fill=False, line=0.6)
    p.text(6, 12, 16, "PRIORITY", bold=True)
    p.rect(72, 5, 22, 9)
    p.grey(1)
    p.text(74.5, 11.5, 12, "P1", bold=True)
    p.grey(0)
    p.line(3, 17, 97, 17, 0.6)
    p.text(6, 23, 7, "FROM:")
    for i, row in enumerate(["Weaver Supplies Ltd", "12 Loom Street", "Leeds LS1 4AB", "United Kingdom"]):
        p.text(6, 28 + i * 4, 8, row)
    p.line(3, 46, 97, 46, 0.6)
    p.text(6, 52, 8, "SHIP TO:", bold=True)
    for i, row in enumerate(["Ada Thermal", "Unit 7, Harbour Works", "4410 Pier Road", "BRISTOL BS1 6XX"]):
        p.text(10, 59 + i * 6.5, 12 if i < 3 else 14, row, bold=(i == 3))
    p.line(3, 86, 97, 86, 0.6)
    p.text(6, 92, 7, "TRACKING NUMBER")
    tracking = "4092187653001845%d" % parcel
    end = draw_itf(p, 8, 95, 26, tracking)
    p.text(8 + (end - 8) / 2 - 18, 126, 10, " ".join([tracking[:4], tracking[4:8], tracking[8:12], tracking[12:]]))
    p.line(3, 130, 97, 130, 0.6)
    p.text(6, 136, 8, "WEIGHT 1.25 kg    PARCEL %d OF %d" % (parcel, parcels))
    p.text(6, 142, 8, "REF  ORDER-2048")
    # A shaded box, so threshold and dither visibly differ.
    for i in range(10):
        p.grey(i / 10.0)
        p.rect(70 + i * 2.5, 133, 2.5, 10)
    p.grey(0)
    return p


def receipt():
    items = [("Thermal paper 57x30", 2, 3.20), ("Label roll 100x150", 1, 12.90),
             ("Ribbon wax 110 mm", 3, 4.75), ("Cleaning pen", 1, 2.10)]
    # Everything stays inside the 72 mm an 80 mm roll prints, whether the
    # page is scaled or cropped to it.
    p = Page(80, 160)
    p.text(20, 12, 14, "DOTWEAVE CAFE", bold=True)
    p.text(20, 18, 8, "1 Raster Lane, Printerton")
    p.text(25, 22, 8, "Tel 0123 456 789")
    p.line(8, 26, 72, 26, 0.3, dash=1)
    p.text(8, 32, 8, "Receipt 000128      2026-01-02 09:41")
    p.line(8, 35, 72, 35, 0.3, dash=1)
    y = 41
    total = 0.0
    for name, qty, price in items:
        p.text(8, y, 8, name)
        p.text(8, y + 4, 8, "  %d x %.2f" % (qty, price))
        p.text(58, y + 4, 8, "%6.2f" % (qty * price))
        total += qty * price
        y += 10
    p.line(8, y, 72, y, 0.3, dash=1)
    p.text(8, y + 7, 12, "TOTAL", bold=True)
    p.text(48, y + 7, 12, "%7.2f" % total, bold=True)
    p.text(8, y + 13, 8, "Card  **** 4242")
    p.line(8, y + 17, 72, y + 17, 0.3, dash=1)
    p.text(19, y + 24, 9, "Thank you, come again!")
    draw_itf(p, 14, y + 28, 12, "000128202601020941", narrow=0.3)
    # The receipt ends here; the rest of the page stays blank on purpose,
    # so trimming the bottom edge has something to remove.
    return p


def photo_pixels(width, height):
    """A small grey landscape: sky gradient, sun, hills and a lake."""
    rows = []
    sun_x, sun_y, sun_r = width * 0.72, height * 0.30, height * 0.13
    for y in range(height):
        row = bytearray(width)
        for x in range(width):
            v = 70 + 150 * y / height  # sky gets lighter towards the horizon
            d = math.hypot(x - sun_x, y - sun_y)
            if d < sun_r:
                v = 250
            elif d < sun_r * 2.2:
                v += (255 - v) * (1 - (d - sun_r) / (sun_r * 1.2)) * 0.6
            hill1 = height * 0.62 + math.sin(x / width * 5.0) * height * 0.08
            hill2 = height * 0.72 + math.sin(x / width * 9.0 + 1.3) * height * 0.05
            if y > hill1:
                v = 110 - (y - hill1) * 0.4 + 20 * math.sin(x * 0.35) * math.sin(y * 0.5)
            if y > hill2:
                v = 60 + 25 * math.sin(x * 0.12 + y * 0.3)
            if y > height * 0.84:  # the lake mirrors the sky, with ripples
                v = 150 + 60 * math.sin(y * 1.7) * math.cos(x * 0.05) - (y - height * 0.84) * 0.8
            row[x] = max(0, min(255, int(v)))
        rows.append(bytes(row))
    return rows


def write_png(path, width, height, rows, dpi):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\x00" + row for row in rows)
    ppm = int(round(dpi / 0.0254))
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0))
           + chunk(b"pHYs", struct.pack(">IIB", ppm, ppm, 1))
           + chunk(b"IDAT", zlib.compress(raw, 9))
           + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def zint_modules(barcode, data):
    """The symbol's modules from zint, one list of booleans (True = bar) per row."""
    dump = subprocess.run(["zint", "-b", barcode, "-d", data, "--dump"], check=True,
                          capture_output=True, text=True).stdout
    rows = []
    for line in dump.split("\n"):
        digits = line.replace(" ", "")
        if digits:
            rows.append([(int(d, 16) >> (3 - b)) & 1 == 1 for d in digits for b in range(4)])
    return rows


def mixed_label_pixels(width, height, dpi):
    """A 4 x 6 in label image as a carrier's web page hands it out: a photo
    of the goods, small text, a grey box, Code 128, EAN-13 and QR symbols."""
    from PIL import Image, ImageDraw, ImageFont  # Debian: python3-pil

    label = Image.new("L", (width, height), 255)
    draw = ImageDraw.Draw(label)
    font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
    bold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
    mm = dpi / 25.4

    pw, ph = int(48 * mm), int(36 * mm)
    photo = Image.frombytes("L", (pw, ph), b"".join(photo_pixels(pw, ph)))
    label.paste(photo, (int(5 * mm), int(5 * mm)))
    draw.rectangle([int(5 * mm), int(5 * mm), int(5 * mm) + pw, int(5 * mm) + ph], outline=0, width=3)
    x = int(57 * mm)
    draw.text((x, int(5 * mm)), "LOOM & CO", font=ImageFont.truetype(bold, int(6 * mm)), fill=0)
    small = ImageFont.truetype(font, int(2.4 * mm))
    for i, line in enumerate(["Organic cotton throw", "130 x 170 cm, natural", "Batch 2026-0417",
                              "Store dry, away from sun", "Made in Leeds"]):
        draw.text((x, int((14 + i * 4.2) * mm)), line, font=small, fill=0)

    # A shaded box with text on it: a grey fill must stay a grey fill.
    draw.rectangle([int(5 * mm), int(45 * mm), int(96 * mm), int(57 * mm)], fill=200)
    draw.text((int(8 * mm), int(47 * mm)), "SHIP TO  Ada Thermal, Unit 7, Harbour Works",
              font=ImageFont.truetype(font, int(3 * mm)), fill=0)
    draw.text((int(8 * mm), int(52 * mm)), "4410 Pier Road, BRISTOL BS1 6XX",
              font=ImageFont.truetype(bold, int(3 * mm)), fill=0)

    def symbol(rows, left, top, module, bar_height=None):
        for r, row in enumerate(rows):
            y0 = top + r * module
            y1 = top + bar_height if bar_height else y0 + module
            for c, bar in enumerate(row):
                if bar:
                    draw.rectangle([left + c * module, y0, left + (c + 1) * module - 1, y1 - 1], fill=0)

    module = 3  # 0.25 mm: two dots at 203 dpi once the image is scaled
    code128 = zint_modules("20", "DW2048-0001-LEEDS")
    symbol(code128, int(8 * mm), int(62 * mm), module, bar_height=int(22 * mm))
    draw.text((int(8 * mm), int(85 * mm)), "DW2048-0001-LEEDS", font=small, fill=0)
    ean = zint_modules("13", "501234567890")
    symbol(ean, int(8 * mm), int(95 * mm), module, bar_height=int(20 * mm))
    qr = zint_modules("58", "https://example.org/track/DW2048-0001")
    symbol(qr, int(66 * mm), int(95 * mm), 2 * module)
    draw.text((int(8 * mm), int(118 * mm)), "Scan to track. Keep this label dry and flat.", font=small, fill=0)
    return [label.tobytes()[y * width:(y + 1) * width] for y in range(height)]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "samples")
    os.makedirs(out, exist_ok=True)
    write_pdf(os.path.join(out, "shipping-label.pdf"), [shipping_label(1, 2), shipping_label(2, 2)],
              "Shipping labels 100 x 150 mm")
    write_pdf(os.path.join(out, "receipt.pdf"), [receipt()], "Receipt 80 mm")
    # 48 mm wide at 203 dpi: the printable width of a 57/58 mm roll.
    width, height = 384, 288
    write_png(os.path.join(out, "photo.png"), width, height, photo_pixels(width, height), 203)
    # 4 x 6 in at 300 dpi, so that printing at 203 dpi scales it: the
    # bars' edges come out grey, as with any label image.
    width, height = 1200, 1800
    write_png(os.path.join(out, "mixed-label.png"), width, height, mixed_label_pixels(width, height, 300), 300)


if __name__ == "__main__":
    main()
