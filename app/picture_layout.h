#pragma once

#include <pappl/pappl.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class GreyPicture;

// The page a picture goes on, in dots.
struct PageFrame {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t left = 0, top = 0, right = 0, bottom = 0;  // margins
    uint32_t xDpi = 0, yDpi = 0;
};

// Where a picture lands on a page: turned as asked, sized by IPP's
// print-scaling and centred in the printable area. Every size is at least
// one dot and every step is in 64-bit integers, so no picture shape, size
// or resolution divides by zero or overflows; a placement larger than the
// page is cut at the page's edges.
struct PictureLayout {
    enum class Turn { None, Left, Half, Right };  // Left: a quarter turn counter-clockwise

    // Empty when the page has no printable area or a side of the picture
    // passes 2^24 pixels. ppi 0: the picture's size is unknown.
    static std::optional<PictureLayout> For(uint32_t pictureWidth, uint32_t pictureHeight, uint32_t ppi,
                                            const PageFrame &page, ipp_orient_t orientation, pappl_scaling_t scaling);

    Turn turn = Turn::None;
    int64_t left = 0, top = 0;     // the turned picture's top-left corner on the page
    int64_t width = 1, height = 1;  // its size on the page
};

// The page's lines of a laid-out picture, as 8-bit grey (255 white),
// nearest pixel for each dot.
class PictureLines {
public:
    // Throws std::bad_alloc when a line's table does not fit in memory.
    PictureLines(const GreyPicture &picture, const PictureLayout &layout, uint32_t pageWidth);
    // Line y of the page, pageWidth bytes.
    void Line(uint32_t y, uint8_t *line) const;

private:
    const GreyPicture &picture;
    PictureLayout layout;
    uint32_t pageWidth;
    uint32_t firstColumn = 0;          // page columns the picture covers
    std::vector<size_t> columnOffsets;  // each one's pixel offset in a picture line
};
