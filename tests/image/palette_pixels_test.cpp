#include "image/raster_image.h"
#include "image_test_util.h"

#include <gtest/gtest.h>

using imagetest::Quad;
using imagetest::SameQuad;

namespace {

struct NearestCase {
    tagRGBQUAD colour;
    uint8_t expected;
};

TEST(RasterImagePalette, NearestIndexInBlackWhitePalette)
{
    CRasterImage image(4, 4, 1, 0);
    image.SetGrayPalette();
    const NearestCase cases[] = {
        {Quad(128, 128, 128), 1},  // 48387 to white against 49152 to black
        {Quad(127, 127, 127), 0},
        {Quad(0, 0, 0), 0},
        {Quad(255, 255, 255), 1},
        {Quad(255, 0, 0), 0},  // 65025 both ways: the lower index wins
        {Quad(0, 255, 255), 1},
    };
    for (const NearestCase &c : cases)
        EXPECT_EQ(image.GetNearestIndex(c.colour), c.expected)
            << int(c.colour.rgbBlue) << "," << int(c.colour.rgbGreen) << "," << int(c.colour.rgbRed);
}

TEST(RasterImagePalette, NearestIndexTiesTakeLowestAndExactMatchStops)
{
    CRasterImage image(2, 2, 4, 0);
    for (uint8_t i = 0; i < 16; ++i)
        image.SetPaletteColor(i, 200, 200, 200);
    image.SetPaletteColor(5, 10, 10, 10);
    image.SetPaletteColor(9, 10, 10, 10);
    image.SetPaletteColor(3, Quad(12, 10, 10));
    image.SetPaletteColor(2, Quad(11, 10, 11));
    EXPECT_EQ(image.GetNearestIndex(Quad(10, 10, 10)), 5);
    EXPECT_EQ(image.GetNearestIndex(Quad(11, 10, 10)), 2);  // entries 2 and 3 both at 1
    // The reserved byte plays no part in the distance.
    EXPECT_EQ(image.GetNearestIndex(Quad(10, 10, 10, 77)), 5);
}

TEST(RasterImagePalette, NearestIndexCacheAndItsInvalidation)
{
    CRasterImage image(2, 2, 1, 0);
    image.SetGrayPalette();
    EXPECT_EQ(image.GetNearestIndex(Quad(200, 200, 200)), 1);
    // A write past the palette setters is not seen while the cache holds the colour...
    image.GetPalette()[0] = Quad(200, 200, 200);
    EXPECT_EQ(image.GetNearestIndex(Quad(200, 200, 200)), 1);
    // ...a different reserved byte is a different colour word.
    EXPECT_EQ(image.GetNearestIndex(Quad(200, 200, 200, 1)), 0);
    // Every palette setter drops the cache.
    image.SetPaletteColor(1, Quad(200, 200, 201));
    image.SetPaletteColor(0, Quad(0, 0, 0));
    EXPECT_EQ(image.GetNearestIndex(Quad(200, 200, 200, 1)), 1);
    image.SetGrayPalette();
    image.SetPaletteColor(0, uint32_t{0x00C8C8C8});
    EXPECT_EQ(image.GetNearestIndex(Quad(200, 200, 200, 1)), 0);
    const tagRGBQUAD swapped[2] = {Quad(255, 255, 255), Quad(200, 200, 200)};
    image.SetPalette(swapped, 2);
    EXPECT_EQ(image.GetNearestIndex(Quad(200, 200, 200, 1)), 1);
}

TEST(RasterImagePalette, ColourWordsAndEntries)
{
    CRasterImage image(2, 2, 1, 0);
    image.SetPaletteColor(1, uint32_t{RGBWord(1, 2, 3)});
    EXPECT_TRUE(SameQuad(image.GetPaletteColor(1), Quad(3, 2, 1, 0)));
    image.SetPaletteColor(0, 7, 8, 9, 10);
    EXPECT_TRUE(SameQuad(image.GetPaletteColor(0), Quad(9, 8, 7, 10)));
    // Indices past the palette read zero and are not written.
    image.SetPaletteColor(2, Quad(1, 1, 1, 1));
    EXPECT_TRUE(SameQuad(image.GetPaletteColor(2), Quad(0, 0, 0, 0)));
    CRasterImage direct(2, 2, 24, 0);
    EXPECT_EQ(direct.GetPalette(), nullptr);
    EXPECT_TRUE(SameQuad(direct.GetPaletteColor(0), Quad(0, 0, 0, 0)));
    EXPECT_EQ(direct.GetNearestIndex(Quad(1, 2, 3)), 0);
}

TEST(RasterImagePalette, OnlyTheFullIdentityRampIsGrayScale)
{
    CRasterImage eight(2, 2, 8, 0), four(2, 2, 4, 0), one(2, 2, 1, 0), direct(2, 2, 24, 0), empty;
    eight.SetGrayPalette();
    four.SetGrayPalette();
    one.SetGrayPalette();
    EXPECT_TRUE(eight.IsGrayScale());
    EXPECT_FALSE(four.IsGrayScale());
    EXPECT_FALSE(one.IsGrayScale());
    EXPECT_FALSE(direct.IsGrayScale());
    EXPECT_FALSE(empty.IsGrayScale());
    eight.SetPaletteColor(77, 77, 77, 78);
    EXPECT_FALSE(eight.IsGrayScale());
}

TEST(RasterImageTransparency, IndexIsBoundedByThePalette)
{
    CRasterImage eight(2, 2, 8, 0);
    eight.SetGrayPalette();
    eight.SetTransIndex(300);
    EXPECT_EQ(eight.GetTransIndex(), 0);
    eight.SetTransIndex(255);
    EXPECT_EQ(eight.GetTransIndex(), 255);
    EXPECT_TRUE(SameQuad(eight.GetTransColor(), Quad(255, 255, 255)));
    eight.SetTransIndex(-1);
    EXPECT_EQ(eight.GetTransIndex(), -1);
    eight.SetTransColor(Quad(1, 2, 3, 4));
    EXPECT_TRUE(SameQuad(eight.GetTransColor(), Quad(1, 2, 3, 4)));

    CRasterImage direct(2, 2, 24, 0);
    direct.SetTransIndex(5);  // no palette: anything but -1 becomes 0
    EXPECT_EQ(direct.GetTransIndex(), 0);
    direct.SetTransColor(Quad(9, 8, 7, 6));
    EXPECT_TRUE(SameQuad(direct.GetTransColor(), Quad(9, 8, 7, 6)));
}

TEST(RasterImagePixels, IndexWritesKeepTheNeighbouringBits)
{
    struct Case {
        uint32_t bpp;
        int32_t x;
        uint8_t written;
        uint8_t read;
        uint8_t firstByteAfter;  // starting from 0xFF bits
    };
    const Case cases[] = {
        {1, 0, 0, 0, 0x7F}, {1, 7, 2, 0, 0xFE}, {1, 3, 0, 0, 0xEF},
        {4, 0, 0x12, 2, 0x2F}, {4, 1, 0x30, 0, 0xF0},
        {8, 0, 0x5A, 0x5A, 0x5A},
    };
    for (const Case &c : cases) {
        CRasterImage image(9, 2, c.bpp, 0);
        std::fill(image.GetBits(0), image.GetBits(0) + image.GetEffWidth() * 2, uint8_t{0xFF});
        image.SetPixelIndex(c.x, 0, c.written);
        EXPECT_EQ(image.GetPixelIndex(c.x, 0), c.read) << c.bpp << " bpp x " << c.x;
        EXPECT_EQ(image.GetBits(0)[0], c.firstByteAfter) << c.bpp << " bpp x " << c.x;
        EXPECT_EQ(image.GetBits(1)[0], 0xFF);
    }
}

TEST(RasterImagePixels, OutOfRangeIndexReads)
{
    CRasterImage one(10, 3, 1, 0);
    one.GetBits(0)[0] = 0xA5;
    EXPECT_EQ(one.GetPixelIndex(-1, 0), 0xA5);  // the whole byte, not one bit
    EXPECT_EQ(one.GetPixelIndex(10, 0), 0xA5);
    EXPECT_EQ(one.GetPixelIndex(0, 3), 0xA5);
    EXPECT_EQ(one.GetPixelIndex(0, -1), 0xA5);
    EXPECT_EQ(one.GetPixelIndex(0, 0), 1);
    one.SetTransIndex(1);
    EXPECT_EQ(one.GetPixelIndex(-1, 0), 1);

    one.SetPixelIndex(10, 0, 0);  // ignored, and must not touch the padding
    one.SetPixelIndex(-1, 0, 0);
    EXPECT_EQ(one.GetBits(0)[1], 0);
    EXPECT_EQ(one.GetBits(0)[0], 0xA5);

    CRasterImage direct(2, 2, 24, 0);
    direct.GetBits(0)[0] = 9;
    EXPECT_EQ(direct.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(direct.GetPixelIndex(-1, 0), 0);
    CRasterImage empty;
    EXPECT_EQ(empty.GetPixelIndex(0, 0), 0);
    empty.SetPixelIndex(0, 0, 1);
    empty.SetPixelColor(0, 0, Quad(1, 2, 3));
}

TEST(RasterImagePixels, ColourReadsInAndOutOfRange)
{
    CRasterImage eight(3, 2, 8, 0);
    eight.SetGrayPalette();
    eight.SetPaletteColor(7, Quad(70, 71, 72, 73));
    eight.SetPixelIndex(0, 0, 7);
    eight.SetPixelIndex(2, 1, 200);
    EXPECT_TRUE(SameQuad(eight.GetPixelColor(2, 1, true), Quad(200, 200, 200)));
    EXPECT_TRUE(SameQuad(eight.GetPixelColor(0, 0, true), Quad(70, 71, 72, 73)));
    // Outside without transparent index: pixel (0, 0).
    EXPECT_TRUE(SameQuad(eight.GetPixelColor(3, 0, true), Quad(70, 71, 72, 73)));
    eight.SetTransIndex(200);
    EXPECT_TRUE(SameQuad(eight.GetPixelColor(-1, 5, true), Quad(200, 200, 200)));

    CRasterImage direct(3, 2, 24, 0);
    direct.SetPixelColor(1, 1, Quad(1, 2, 3, 99));
    direct.SetTransColor(Quad(0, 0, 0, 44));
    EXPECT_TRUE(SameQuad(direct.GetPixelColor(1, 1, true), Quad(1, 2, 3, 44)));
    EXPECT_TRUE(SameQuad(direct.BlindGetPixelColor(1, 1, true), Quad(1, 2, 3, 0)));
    direct.SetPixelColor(0, 0, uint32_t{RGBWord(30, 20, 10)});
    EXPECT_TRUE(SameQuad(direct.GetPixelColor(5, 5, false), Quad(10, 20, 30, 44)));
    direct.SetTransIndex(-1);
    direct.SetTransColor(Quad(5, 6, 7, 8));
    direct.SetTransIndex(0);
    EXPECT_TRUE(SameQuad(direct.GetPixelColor(5, 5, false), Quad(5, 6, 7, 8)));

    CRasterImage empty;
    empty.SetTransColor(Quad(4, 3, 2, 1));
    EXPECT_TRUE(SameQuad(empty.GetPixelColor(0, 0, true), Quad(4, 3, 2, 1)));
}

TEST(RasterImagePixels, AlphaPlaneReplacesTheReservedByte)
{
    CRasterImage direct(2, 2, 24, 0);
    ASSERT_TRUE(direct.AlphaCreate());
    direct.SetPixelColor(1, 0, Quad(1, 2, 3, 9), true);
    EXPECT_EQ(direct.AlphaGet(1, 0), 9);
    EXPECT_TRUE(SameQuad(direct.GetPixelColor(1, 0, true), Quad(1, 2, 3, 9)));
    EXPECT_TRUE(SameQuad(direct.GetPixelColor(1, 0, false), Quad(1, 2, 3, 0)));
    direct.SetPixelColor(0, 0, Quad(1, 2, 3, 9), false);
    EXPECT_EQ(direct.AlphaGet(0, 0), 255);
    EXPECT_EQ(direct.AlphaGet(2, 0), 0);

    CRasterImage one(2, 2, 1, 0);
    one.SetGrayPalette();
    one.SetPixelColor(1, 1, Quad(140, 140, 140));
    EXPECT_EQ(one.GetPixelIndex(1, 1), 1);
    one.SetPixelColor(1, 1, Quad(100, 100, 100));
    EXPECT_EQ(one.GetPixelIndex(1, 1), 0);
}

}  // namespace
