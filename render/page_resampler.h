#pragma once

#include "render/page_layout.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The media's lines of a laid-out page, as 8-bit grey (255 white): the
// content turned and scaled by area averaging, each dot the mean of the
// page's pixels under it, weighted by how much of each it covers. Shrunk,
// no detail aliases into stripes; enlarged, a pixel's edge blends over at
// most one dot, so bars stay bars. Only the dots on the media are made.
class CPageResampler {
public:
    // pixels: the page, rows of `stride` bytes holding layout.content.
    // Throws std::bad_alloc when its tables do not fit in memory.
    CPageResampler(const uint8_t *pixels, size_t stride, const tagPageLayout &layout, uint32_t mediaWidth);
    // Line y of the media, mediaWidth bytes.
    void Line(uint32_t y, uint8_t *line);

private:
    // The pixels under one dot, with their weights in 1/65536.
    struct Tap {
        uint32_t pixel;
        uint32_t weight;
    };
    struct Taps {
        std::vector<Tap> taps;
        std::vector<size_t> first;  // dot i's taps: [first[i], first[i + 1])
    };
    static Taps AxisTaps(int64_t pixels, int64_t dots, int64_t firstDot, int64_t endDot);

    tagPageLayout layout;
    uint32_t mediaWidth;
    uint32_t across = 0;          // the turned content's width and height
    uint32_t down = 0;
    std::vector<uint8_t> turned;  // the content, turned upright
    uint32_t firstColumn = 0;     // media columns the content covers
    uint32_t endColumn = 0;
    uint32_t firstPixel = 0;      // the turned content's columns they read
    uint32_t endPixel = 0;
    Taps columns;
    std::vector<uint32_t> sums;
    std::vector<uint8_t> row;
};
