#pragma once

// Row-level helpers shared by the tone and dithering operations.
#include "image/raster_image.h"

#include <cstdint>

namespace rasterrows {

// Grey level of a colour given in storage order blue, green, red; the
// weights add up to 1024 so that a neutral colour keeps its value.
inline uint8_t GreyLevel(uint32_t blue, uint32_t green, uint32_t red)
{
    return static_cast<uint8_t>((blue * 117 + green * 601 + red * 306) >> 10);
}

inline uint8_t GreyLevel(tagRGBQUAD c)
{
    return GreyLevel(c.rgbBlue, c.rgbGreen, c.rgbRed);
}

// Thresholds repeat every 16 pixels along a row (every ordered pattern's
// width divides 16).
constexpr uint32_t kPatternWidth = 16;

// Packs one row of 8-bit levels into one bit per pixel, most significant bit
// first: a pixel is 1 (white) when its level is above the threshold of its
// column. The bits past the width in the last byte become 0.
inline void PackAbove(const uint8_t *levels, uint32_t width, const uint8_t *thresholds, uint8_t *bits)
{
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16, levels += 16, bits += 2) {
        unsigned high = 0, low = 0;
        for (unsigned i = 0; i < 8; ++i) {
            high = (high << 1) | static_cast<unsigned>(levels[i] > thresholds[i]);
            low = (low << 1) | static_cast<unsigned>(levels[i + 8] > thresholds[i + 8]);
        }
        bits[0] = static_cast<uint8_t>(high);
        bits[1] = static_cast<uint8_t>(low);
    }
    const uint32_t rest = width - x;
    for (uint32_t start = 0; start < rest; start += 8, ++bits) {
        unsigned byte = 0;
        for (uint32_t i = start; i < start + 8; ++i)
            byte = (byte << 1) | static_cast<unsigned>(i < rest && levels[i] > thresholds[i]);
        *bits = static_cast<uint8_t>(byte);
    }
}

}  // namespace rasterrows
