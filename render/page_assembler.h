#pragma once

#include "image/raster_image.h"

#include <cups/raster.h>

#include <cstddef>
#include <cstdint>

// Why a page cannot become an image, checked from its header before any
// memory is set aside for it; null when the page can be printed.
const char *RefusePage(const cups_page_header2_t &header);

// Builds a page image from the page's raster lines as they arrive, one line
// or many at a time. Each line of cupsBytesPerLine bytes fills one stored
// row: a longer line keeps the bytes the row holds and drops the rest, a
// shorter one leaves white behind it, and rows no line reached are white.
class CPageAssembler {
public:
    // Creates the image for a header that RefusePage accepts; false when it
    // cannot be created (the image's last error says why).
    bool Begin(const cups_page_header2_t &header, CRasterImage &image);

    uint32_t LineBytes() const { return lineBytes; }
    uint32_t RowsLeft() const { return height - next; }
    // The leading bytes of a line that reach the image; a reader may drop
    // the rest of the line unread.
    uint32_t KeptBytes() const { return kept; }

    // Whether lines can be read packed straight into the image: the rows
    // then need no line buffer. Lines go to PackedTarget, one after the
    // other, and PlacePacked puts `count` of them into their rows.
    bool TakesPackedLines() const { return !rgba && lineBytes <= effWidth; }
    uint8_t *PackedTarget() const { return image->GetBits(next); }
    void PlacePacked(uint32_t count);

    // The next line, of which `length` bytes are at `line` (the bytes past
    // KeptBytes are not read).
    void AddLine(const uint8_t *line, size_t length);

    // Whitens the rows no line reached: a page cut short prints white there.
    void Finish();

private:
    CRasterImage *image = nullptr;
    uint32_t height = 0;
    uint32_t lineBytes = 0;
    uint32_t effWidth = 0;
    uint32_t kept = 0;
    uint32_t next = 0;
    bool rgba = false;
};
