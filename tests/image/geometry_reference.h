#pragma once

#include "image/raster_image.h"
#include "image_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <utility>

// Straightforward pixel-by-pixel versions of the geometry operations, built
// only from the accessors, to hold the row- and block-wise code against.
namespace geomref {

// Source pixel (x, y) that target pixel (X, Y) takes.
using SourceOf = std::function<std::pair<int32_t, int32_t>(int32_t X, int32_t Y)>;

// Builds out (width x height, src's depth and palette) pixel by pixel; the
// alpha plane follows the same mapping when src has one.
inline void Map(const CRasterImage &src, uint32_t width, uint32_t height, const SourceOf &sourceOf, CRasterImage &out)
{
    out.Create(width, height, src.GetBpp(), 0);
    out.SetPalette(src.GetPalette(), 256);
    if (src.AlphaIsValid())
        out.AlphaCreate();
    for (int32_t Y = 0; Y < static_cast<int32_t>(height); ++Y) {
        for (int32_t X = 0; X < static_cast<int32_t>(width); ++X) {
            const auto [x, y] = sourceOf(X, Y);
            if (src.GetBpp() < 24)
                out.SetPixelIndex(X, Y, src.GetPixelIndex(x, y));
            else
                out.SetPixelColor(X, Y, src.GetPixelColor(x, y, true), false);
            if (src.AlphaIsValid())
                out.AlphaSet(X, Y, src.AlphaGet(x, y));
        }
    }
}

inline void Turn90(const CRasterImage &src, CRasterImage &out)
{
    const int32_t w = static_cast<int32_t>(src.GetWidth());
    Map(src, src.GetHeight(), src.GetWidth(), [w](int32_t X, int32_t Y) { return std::pair{w - 1 - Y, X}; }, out);
}

inline void Turn270(const CRasterImage &src, CRasterImage &out)
{
    const int32_t h = static_cast<int32_t>(src.GetHeight());
    Map(src, src.GetHeight(), src.GetWidth(), [h](int32_t X, int32_t Y) { return std::pair{Y, h - 1 - X}; }, out);
}

inline void Turn180(const CRasterImage &src, CRasterImage &out)
{
    const int32_t w = static_cast<int32_t>(src.GetWidth());
    const int32_t h = static_cast<int32_t>(src.GetHeight());
    Map(src, src.GetWidth(), src.GetHeight(),
        [w, h](int32_t X, int32_t Y) { return std::pair{w - 1 - X, h - 1 - Y}; }, out);
}

inline void Mirror(const CRasterImage &src, CRasterImage &out)
{
    const int32_t w = static_cast<int32_t>(src.GetWidth());
    Map(src, src.GetWidth(), src.GetHeight(), [w](int32_t X, int32_t Y) { return std::pair{w - 1 - X, Y}; }, out);
}

inline void Same(const CRasterImage &src, CRasterImage &out)
{
    Map(src, src.GetWidth(), src.GetHeight(), [](int32_t X, int32_t Y) { return std::pair{X, Y}; }, out);
}

// Keeps columns [left, right) and, counting rows from the last one, rows
// [top, bottom), each bound clamped to the image, either order accepted.
// False for an empty rectangle.
inline bool Crop(const CRasterImage &src, int32_t left, int32_t top, int32_t right, int32_t bottom, CRasterImage &out)
{
    const int32_t w = static_cast<int32_t>(src.GetWidth());
    const int32_t h = static_cast<int32_t>(src.GetHeight());
    auto clamp = [](int32_t v, int32_t hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
    const int32_t x0 = std::min(clamp(left, w), clamp(right, w));
    const int32_t x1 = std::max(clamp(left, w), clamp(right, w));
    const int32_t y0 = h - std::max(clamp(top, h), clamp(bottom, h));
    const int32_t y1 = h - std::min(clamp(top, h), clamp(bottom, h));
    if (x0 == x1 || y0 == y1)
        return false;
    Map(src, static_cast<uint32_t>(x1 - x0), static_cast<uint32_t>(y1 - y0),
        [x0, y0](int32_t X, int32_t Y) { return std::pair{X + x0, Y + y0}; }, out);
    return true;
}

// Everything a printer or a later operation could see: size, depth, row
// bytes with their padding, palette and alpha plane.
inline ::testing::AssertionResult SameImage(const CRasterImage &a, const CRasterImage &b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetBpp() != b.GetBpp())
        return ::testing::AssertionFailure() << "size or depth differs: " << a.GetWidth() << "x" << a.GetHeight()
                                             << "x" << a.GetBpp() << " against " << b.GetWidth() << "x"
                                             << b.GetHeight() << "x" << b.GetBpp();
    if (a.GetEffWidth() != b.GetEffWidth() || a.GetNumColors() != b.GetNumColors())
        return ::testing::AssertionFailure() << "row width or colour count differs";
    if (a.GetPaletteSize() != 0 && std::memcmp(a.GetPalette(), b.GetPalette(), a.GetPaletteSize()) != 0)
        return ::testing::AssertionFailure() << "palette differs";
    for (uint32_t y = 0; y < a.GetHeight(); ++y)
        for (uint32_t i = 0; i < a.GetEffWidth(); ++i)
            if (a.GetBits(y)[i] != b.GetBits(y)[i])
                return ::testing::AssertionFailure() << "row " << y << " byte " << i << ": " << int{a.GetBits(y)[i]}
                                                     << " against " << int{b.GetBits(y)[i]};
    if (a.AlphaIsValid() != b.AlphaIsValid())
        return ::testing::AssertionFailure() << "alpha plane present on one side only";
    if (a.AlphaIsValid() &&
        std::memcmp(a.AlphaGetPointer(), b.AlphaGetPointer(), static_cast<size_t>(a.GetWidth()) * a.GetHeight()) != 0)
        return ::testing::AssertionFailure() << "alpha plane differs";
    return ::testing::AssertionSuccess();
}

// A random image of the given depth, row padding random too, with a random
// alpha plane when asked.
inline void MakeRandom(CRasterImage &image, uint32_t width, uint32_t height, uint32_t bpp, bool withAlpha,
                       std::mt19937 &rng)
{
    imagetest::MakeRandom(image, width, height, bpp, rng);
    if (withAlpha) {
        image.AlphaCreate();
        for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i)
            image.AlphaGetPointer()[i] = static_cast<uint8_t>(rng());
    }
}

// Sizes that leave every kind of partial byte and partial 8 x 8 block.
inline const std::pair<uint32_t, uint32_t> kOddSizes[] = {{1, 1},  {1, 9},   {9, 1},  {7, 13}, {37, 23},
                                                          {130, 7}, {8, 8},  {16, 3}, {3, 16}, {65, 66},
                                                          {600, 17}, {17, 530}};
inline const uint32_t kDepths[] = {1, 4, 8, 24};

}  // namespace geomref
