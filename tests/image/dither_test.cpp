#include "image/raster_image.h"
#include "image_test_util.h"
#include "reference_ops.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using imagetest::Quad;
using imagetest::SameQuad;

namespace {

const int32_t kMethods[] = {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

// Dithers an image given row by row as grey levels; returns the bits row by row.
std::vector<std::vector<int>> DitherLevels(const std::vector<std::vector<uint8_t>> &levels, int32_t method)
{
    CRasterImage image(static_cast<uint32_t>(levels[0].size()), static_cast<uint32_t>(levels.size()), 8, 0);
    image.SetGrayPalette();
    for (size_t y = 0; y < levels.size(); ++y)
        for (size_t x = 0; x < levels[y].size(); ++x)
            image.SetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y), levels[y][x]);
    EXPECT_TRUE(image.Dither(method));
    EXPECT_EQ(image.GetBpp(), 1);
    std::vector<std::vector<int>> bits(levels.size(), std::vector<int>(levels[0].size()));
    for (size_t y = 0; y < levels.size(); ++y)
        for (size_t x = 0; x < levels[y].size(); ++x)
            bits[y][x] = image.GetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y));
    return bits;
}

TEST(RasterImageDither, FloydSteinbergSharesOfLevels128And129)
{
    struct Case {
        const char *what;
        std::vector<std::vector<uint8_t>> levels;
        std::vector<std::vector<int>> bits;
    };
    const std::vector<Case> cases = {
        // 128 is black and sends 56 to the right...
        {"right +56 reaches 129", {{128, 73}}, {{0, 1}}},
        {"right +56 stays at 128", {{128, 72}}, {{0, 0}}},
        // ...40 below, 24 below-left and 8 below-right.
        {"below +40", {{128}, {89}}, {{0}, {1}}},
        {"below +40 stays at 128", {{128}, {88}}, {{0}, {0}}},
        {"below-left +24", {{0, 128}, {105, 255}}, {{0, 0}, {1, 1}}},
        {"below-left +24 stays at 128", {{0, 128}, {104, 255}}, {{0, 0}, {0, 1}}},
        {"below-right +8", {{128, 255}, {255, 121}}, {{0, 1}, {1, 1}}},
        {"below-right +8 stays at 128", {{128, 255}, {255, 120}}, {{0, 1}, {1, 0}}},
        // 129 is white with error -126; (-126 * 7) / 16 truncates to -55.
        {"right -55 leaves 129", {{129, 184}}, {{1, 1}}},
        {"right -55 leaves 128", {{129, 183}}, {{1, 0}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DitherLevels(c.levels, 0), c.bits) << c.what;
}

TEST(RasterImageDither, UniformPagesForEveryMethod)
{
    for (int32_t method : kMethods) {
        for (uint8_t level : {uint8_t{0}, uint8_t{255}}) {
            CRasterImage image;
            imagetest::MakeUniform(image, 37, 35, level);
            ASSERT_TRUE(image.Dither(method));
            int wrong = 0;
            for (int32_t y = 0; y < 35; ++y)
                for (int32_t x = 0; x < 37; ++x)
                    wrong += image.GetPixelIndex(x, y) != (level == 255 ? 1 : 0);
            EXPECT_EQ(wrong, 0) << "method " << method << " level " << int(level);
        }
    }
}

// Which cells of one pattern tile a uniform level whitens.
std::vector<std::pair<int, int>> WhiteCells(int32_t method, uint8_t level, int size)
{
    CRasterImage image;
    imagetest::MakeUniform(image, static_cast<uint32_t>(size), static_cast<uint32_t>(size), level);
    EXPECT_TRUE(image.Dither(method));
    std::vector<std::pair<int, int>> cells;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (image.GetPixelIndex(x, y) == 1)
                cells.emplace_back(x, y);
    return cells;
}

TEST(RasterImageDither, OrderedPatternsAtTheirEdgeLevels)
{
    using Cells = std::vector<std::pair<int, int>>;
    EXPECT_EQ(WhiteCells(8, 3, 8), Cells{});                   // L6 = 0 is black even where B8 is 0
    EXPECT_EQ(WhiteCells(8, 4, 8), (Cells{{0, 0}, {4, 4}}));   // B8 of 0 and 1
    EXPECT_EQ(WhiteCells(9, 0, 16), Cells{});
    EXPECT_EQ(WhiteCells(9, 1, 16), (Cells{{8, 8}}));          // the one cell holding 0
    EXPECT_EQ(WhiteCells(9, 254, 16).size(), 254u);            // all but the cells holding 254 and 255...
    EXPECT_EQ(WhiteCells(9, 255, 16).size(), 256u);            // ...which white itself fills
    EXPECT_EQ(WhiteCells(1, 128, 4).size(), 8u);               // n = 8: B4 of 0 to 7
    EXPECT_EQ(WhiteCells(1, 254, 4).size(), 15u);              // n = 15
    EXPECT_EQ(WhiteCells(1, 15, 4), Cells{});                  // n = 0
    EXPECT_EQ(WhiteCells(1, 16, 4), (Cells{{0, 0}}));          // n = 1
    EXPECT_EQ(WhiteCells(7, 1, 4), (Cells{{0, 0}}));           // only the entry 0 is below 1
    EXPECT_EQ(WhiteCells(7, 193, 4).size(), 13u);              // entries 0 to 192
}

TEST(RasterImageDither, UnknownMethodsAreFloydSteinberg)
{
    std::mt19937 rng(5);
    CRasterImage source;
    imagetest::MakeRandom(source, 29, 17, 8, rng);
    CRasterImage zero(source, true, true, true), minus(source, true, true, true), ten(source, true, true, true);
    ASSERT_TRUE(zero.Dither(0));
    ASSERT_TRUE(minus.Dither(-1));
    ASSERT_TRUE(ten.Dither(10));
    EXPECT_TRUE(imagetest::SamePixels(zero, minus));
    EXPECT_TRUE(imagetest::SamePixels(zero, ten));
}

TEST(RasterImageDither, OutputCarriesRecordPlanesAndBlackWhitePalette)
{
    for (int32_t method : kMethods) {
        CRasterImage image;
        imagetest::MakeUniform(image, 5, 3, 100);
        image.SetXDPI(203);
        image.SetTransIndex(7);
        image.AlphaCreate();
        image.AlphaSet(1, 2, 42);
        ASSERT_TRUE(image.Dither(method));
        EXPECT_EQ(image.GetXDPI(), 203);
        EXPECT_EQ(image.GetTransIndex(), 7);
        EXPECT_EQ(image.AlphaGet(1, 2), 42);
        EXPECT_TRUE(SameQuad(image.GetPaletteColor(0), Quad(0, 0, 0)));
        EXPECT_TRUE(SameQuad(image.GetPaletteColor(1), Quad(255, 255, 255)));
    }
}

TEST(RasterImageDither, OneBitAndEmptyImages)
{
    for (int32_t method : kMethods) {
        CRasterImage image(11, 2, 1, 0);
        image.GetBits(1)[1] = 0x3C;
        uint8_t *dib = image.GetDIB();
        ASSERT_TRUE(image.Dither(method));
        EXPECT_EQ(image.GetDIB(), dib);
        EXPECT_EQ(image.GetBits(1)[1], 0x3C);
        EXPECT_FALSE(CRasterImage().Dither(method));
    }
}

TEST(RasterImageDither, EscapeStopsTheWalkButStillHandsOverTheBitmap)
{
    for (int32_t method : {0, 6, 9, -5}) {
        CRasterImage image;
        imagetest::MakeUniform(image, 9, 4, 255);
        image.SetEscape(1);
        ASSERT_TRUE(method == -5 ? image.Threshold(0) : image.Dither(method));
        ASSERT_EQ(image.GetBpp(), 1);
        EXPECT_EQ(image.GetProgress(), 0);
        EXPECT_TRUE(SameQuad(image.GetPaletteColor(1), Quad(255, 255, 255)));
        EXPECT_EQ(image.GetPixelIndex(0, 0), 0);  // never walked: as allocated
    }
}

TEST(RasterImageDither, RowLoopsMatchPixelByPixelVersion)
{
    const std::pair<uint32_t, uint32_t> sizes[] = {{1, 1}, {1, 2}, {2, 1}, {2, 2}, {3, 5}, {4, 4}, {5, 3},
                                                   {7, 9}, {8, 1}, {17, 6}, {24, 3}, {37, 23}, {130, 7}, {301, 41}};
    std::mt19937 rng(99);
    for (int32_t method : kMethods) {
        for (uint32_t bpp : {1u, 4u, 8u, 24u}) {
            for (auto [w, h] : sizes) {
                CRasterImage fast;
                imagetest::MakeRandom(fast, w, h, bpp, rng);
                if (rng() % 2 == 0)
                    fast.SetTransIndex(0);  // changes what neighbours outside the image read
                CRasterImage slow(fast, true, true, true);
                ASSERT_TRUE(fast.Dither(method));
                ASSERT_TRUE(reference::Dither(slow, method));
                EXPECT_TRUE(imagetest::SamePixels(fast, slow))
                    << "method " << method << ", " << bpp << " bpp, " << w << "x" << h;
            }
        }
    }
}

// Mid-tones drive the clamping and the negative shares hardest: levels
// spread evenly over the whole range mostly round a threshold of 128.
TEST(RasterImageDither, RowLoopsMatchOnSmoothAndExtremeImages)
{
    for (int32_t method : kMethods) {
        for (int pattern = 0; pattern < 3; ++pattern) {
            CRasterImage fast(61, 19, 8, 0);
            fast.SetGrayPalette();
            for (int32_t y = 0; y < 19; ++y)
                for (int32_t x = 0; x < 61; ++x) {
                    const int level = pattern == 0 ? x * 4 + y : pattern == 1 ? ((x + y) % 2) * 255 : 128 + (x % 3);
                    fast.SetPixelIndex(x, y, static_cast<uint8_t>(level > 255 ? 255 : level));
                }
            CRasterImage slow(fast, true, true, true);
            ASSERT_TRUE(fast.Dither(method));
            ASSERT_TRUE(reference::Dither(slow, method));
            EXPECT_TRUE(imagetest::SamePixels(fast, slow)) << "method " << method << " pattern " << pattern;
        }
    }
}

}  // namespace
