#pragma once

#include "image/raster_image.h"

#include <cstdint>
#include <random>

// Helpers shared by the image tests.
namespace imagetest {

inline tagRGBQUAD Quad(uint8_t b, uint8_t g, uint8_t r, uint8_t reserved = 0)
{
    tagRGBQUAD c;
    c.rgbBlue = b;
    c.rgbGreen = g;
    c.rgbRed = r;
    c.rgbReserved = reserved;
    return c;
}

inline bool SameQuad(tagRGBQUAD a, tagRGBQUAD b)
{
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
           a.rgbReserved == b.rgbReserved;
}

// Fills every row byte (padding included) with random values.
inline void FillRandom(CRasterImage &image, std::mt19937 &rng)
{
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        uint8_t *row = image.GetBits(y);
        for (uint32_t i = 0; i < image.GetEffWidth(); ++i)
            row[i] = static_cast<uint8_t>(rng());
    }
}

// A grey image of the given depth with random pixels and the grey palette.
inline void MakeRandom(CRasterImage &image, uint32_t width, uint32_t height, uint32_t bpp, std::mt19937 &rng)
{
    image.Create(width, height, bpp, 0);
    image.SetGrayPalette();
    FillRandom(image, rng);
}

// An 8-bit grey image of one level.
inline void MakeUniform(CRasterImage &image, uint32_t width, uint32_t height, uint8_t level)
{
    image.Create(width, height, 8, 0);
    image.SetGrayPalette();
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            image.SetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y), level);
}

// Compares only the pixels (not row padding), depth, size and palette.
inline bool SamePixels(const CRasterImage &a, const CRasterImage &b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetBpp() != b.GetBpp() ||
        a.GetNumColors() != b.GetNumColors())
        return false;
    for (uint32_t i = 0; i < a.GetNumColors(); ++i)
        if (!SameQuad(a.GetPaletteColor(static_cast<uint8_t>(i)), b.GetPaletteColor(static_cast<uint8_t>(i))))
            return false;
    for (int32_t y = 0; y < static_cast<int32_t>(a.GetHeight()); ++y)
        for (int32_t x = 0; x < static_cast<int32_t>(a.GetWidth()); ++x)
            if (!SameQuad(a.GetPixelColor(x, y, false), b.GetPixelColor(x, y, false)) ||
                a.GetPixelIndex(x, y) != b.GetPixelIndex(x, y))
                return false;
    return true;
}

}  // namespace imagetest
