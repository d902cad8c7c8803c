#pragma once

#include <cups/raster.h>

#include <cstdint>
#include <string>
#include <vector>

// One page of a CUPS raster stream written by libcups for tests.
struct RasterPage {
    unsigned width = 0;
    unsigned height = 0;
    unsigned bitsPerPixel = 8;   // 1, 4, 8, 16, 24 or 32
    unsigned dpiX = 203;
    unsigned dpiY = 203;
    cups_cspace_t colorSpace = CUPS_CSPACE_W;
    std::vector<uint8_t> data;   // height * BytesPerLine() bytes, first line first
    unsigned linesToWrite = ~0u; // fewer than height: the stream ends inside the page
    unsigned padding = 0;        // bytes each line carries past the width

    unsigned BytesPerLine() const { return (width * bitsPerPixel + 7) / 8 + padding; }
    uint8_t *Row(unsigned y) { return data.data() + static_cast<size_t>(y) * BytesPerLine(); }
    const uint8_t *Row(unsigned y) const { return data.data() + static_cast<size_t>(y) * BytesPerLine(); }
};

// A page filled with one byte value (0xFF is white in the W, K-less sense the
// filter expects: 0 = black, 255 = white; for 1-bit pages a set bit is white).
RasterPage MakeRasterPage(unsigned width, unsigned height, unsigned bitsPerPixel, uint8_t fill = 0xFF,
                          unsigned dpi = 203);

// Random page content from a fixed seed.
RasterPage MakeRandomRasterPage(unsigned width, unsigned height, unsigned bitsPerPixel, uint32_t seed,
                                unsigned dpi = 203);

// The same page with `padding` random bytes after the width in every line.
RasterPage WithPaddedLines(const RasterPage &page, unsigned padding, uint32_t seed);

// Writes the pages with cupsRasterOpen(fd, mode); throws on failure.
void WriteRasterFile(const std::string &path, const std::vector<RasterPage> &pages,
                     cups_mode_t mode = CUPS_RASTER_WRITE);

// Fills the header the way a CUPS raster producer would for the page.
void FillRasterHeader(const RasterPage &page, cups_page_header2_t &header);
