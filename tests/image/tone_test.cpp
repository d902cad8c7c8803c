#include "image/raster_image.h"
#include "image_test_util.h"
#include "reference_ops.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

using imagetest::Quad;
using imagetest::SameQuad;

namespace {

// Odd sizes that put every row-end case of the packed depths in play.
const std::pair<uint32_t, uint32_t> kSizes[] = {{1, 1}, {1, 2}, {2, 1}, {3, 5}, {7, 3}, {9, 4}, {16, 2},
                                                {17, 3}, {37, 23}, {130, 7}};
const uint32_t kDepths[] = {1, 4, 8, 24};

// A random image with a random (not grey) palette and, sometimes, a
// transparent index and planes, so that the whole record is exercised.
void MakeRandomImage(CRasterImage &image, uint32_t width, uint32_t height, uint32_t bpp, std::mt19937 &rng)
{
    imagetest::MakeRandom(image, width, height, bpp, rng);
    if (bpp < 24 && rng() % 2 == 0)
        for (uint32_t i = 0; i < image.GetNumColors(); ++i)
            image.SetPaletteColor(static_cast<uint8_t>(i), Quad(static_cast<uint8_t>(rng()),
                                                                static_cast<uint8_t>(rng()),
                                                                static_cast<uint8_t>(rng())));
    if (rng() % 3 == 0) {
        image.SetTransColor(Quad(10, 200, 30));
        image.SetTransIndex(static_cast<int32_t>(rng() % 2));
    }
    if (rng() % 3 == 0) {
        image.AlphaCreate();
        image.AlphaSet(0, 0, 5);
    }
    image.SetXDPI(203);
}

void ExpectSameImage(const CRasterImage &fast, const CRasterImage &slow, const std::string &what)
{
    EXPECT_TRUE(imagetest::SamePixels(fast, slow)) << what;
    EXPECT_EQ(fast.GetTransIndex(), slow.GetTransIndex()) << what;
    EXPECT_EQ(fast.GetXDPI(), slow.GetXDPI()) << what;
    EXPECT_EQ(fast.AlphaIsValid(), slow.AlphaIsValid()) << what;
    if (fast.AlphaIsValid() && slow.AlphaIsValid()) {
        EXPECT_EQ(fast.AlphaGet(0, 0), slow.AlphaGet(0, 0)) << what;
    }
}

TEST(RasterImageGrayScale, WeightsOnStoredBlueGreenRed)
{
    struct Case {
        tagRGBQUAD colour;
        uint8_t grey;
    };
    const Case cases[] = {{Quad(0, 0, 255), 76}, {Quad(255, 0, 0), 29}, {Quad(0, 255, 0), 149},
                          {Quad(255, 255, 255), 255}, {Quad(0, 0, 0), 0}, {Quad(77, 77, 77), 77},
                          {Quad(10, 20, 30), 21}};
    CRasterImage image(static_cast<uint32_t>(std::size(cases)), 1, 24, 0);
    for (size_t i = 0; i < std::size(cases); ++i)
        image.SetPixelColor(static_cast<int32_t>(i), 0, cases[i].colour);
    ASSERT_TRUE(image.GrayScale());
    ASSERT_EQ(image.GetBpp(), 8);
    EXPECT_TRUE(image.IsGrayScale());
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(image.GetPixelIndex(static_cast<int32_t>(i), 0), cases[i].grey) << i;
}

TEST(RasterImageGrayScale, TransparentColourBecomesGreyIndex)
{
    CRasterImage direct(2, 2, 24, 0);
    direct.SetTransColor(Quad(0, 0, 255));
    direct.SetTransIndex(0);
    ASSERT_TRUE(direct.GrayScale());
    EXPECT_EQ(direct.GetTransIndex(), 76);

    CRasterImage indexed(2, 2, 4, 0);
    indexed.SetPaletteColor(3, Quad(0, 255, 0));
    indexed.SetTransIndex(3);
    ASSERT_TRUE(indexed.GrayScale());
    EXPECT_EQ(indexed.GetTransIndex(), 149);
    EXPECT_FALSE(CRasterImage().GrayScale());
}

TEST(RasterImageGrayScale, RowLoopsMatchPixelByPixelVersion)
{
    std::mt19937 rng(11);
    for (uint32_t bpp : kDepths) {
        for (auto [w, h] : kSizes) {
            CRasterImage fast;
            MakeRandomImage(fast, w, h, bpp, rng);
            CRasterImage slow(fast, true, true, true);
            ASSERT_TRUE(fast.GrayScale());
            ASSERT_TRUE(reference::GrayScale(slow));
            ExpectSameImage(fast, slow, std::to_string(bpp) + " bpp " + std::to_string(w) + "x" + std::to_string(h));
        }
    }
}

// A 24-bit strip whose pixel i holds level i in every channel shows the
// whole table, since Lut maps every byte of such an image.
std::vector<uint8_t> LightTable(int32_t brightness, int32_t contrast)
{
    CRasterImage strip(256, 1, 24, 0);
    for (int32_t i = 0; i < 256; ++i)
        strip.SetPixelColor(i, 0, Quad(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)));
    EXPECT_TRUE(strip.Light(brightness, contrast));
    std::vector<uint8_t> table;
    for (int32_t i = 0; i < 256; ++i)
        table.push_back(strip.GetPixelColor(i, 0, false).rgbGreen);
    return table;
}

TEST(RasterImageLight, TablesForBrightnessAndContrast)
{
    struct Case {
        int32_t brightness, contrast;
        std::vector<std::pair<int, int>> entries;  // (from, to)
    };
    std::vector<Case> cases = {
        {0, 0, {}},
        {50, 0, {}},
        {0, 100, {{0, 0}, {64, 0}, {65, 2}, {100, 72}, {128, 128}, {191, 254}, {192, 255}, {255, 255}}},
        {0, -100, {{0, 128}, {127, 128}, {255, 128}}},
        {-300, 0, {{0, 0}, {255, 0}}},
        {INT_MAX, 0, {{0, 255}, {255, 255}}},
        {INT_MIN, 0, {{0, 0}, {255, 0}}},
        {0, INT_MAX, {{0, 0}, {127, 0}, {128, 128}, {129, 255}}},
        {0, INT_MIN, {{0, 255}, {127, 255}, {128, 128}, {129, 0}, {255, 0}}},
        // Fractional slopes: the half added before truncation decides these
        // entries (126 and 130 at 25 %, 129 at 50 %, 1 at -50 %).
        {0, 25, {{0, 0}, {100, 93}, {101, 94}, {126, 126}, {129, 129}, {130, 131}, {131, 132}, {230, 255}}},
        {0, 50, {{42, 0}, {43, 1}, {127, 127}, {129, 130}, {212, 254}, {213, 255}}},
        {0, -50, {{0, 64}, {1, 65}, {3, 66}, {254, 191}, {255, 192}}},
        {16, 25, {{100, 109}, {126, 142}, {209, 245}}},
    };
    for (int i = 0; i < 256; ++i) {
        cases[0].entries.emplace_back(i, i);
        cases[1].entries.emplace_back(i, i + 50 > 255 ? 255 : i + 50);
    }
    for (const Case &c : cases) {
        const std::vector<uint8_t> table = LightTable(c.brightness, c.contrast);
        for (auto [from, to] : c.entries)
            EXPECT_EQ(table[from], to) << "Light(" << c.brightness << ", " << c.contrast << ") entry " << from;
    }
    // Entries 0 to 64 of the doubled slope all come out 0.
    const std::vector<uint8_t> steep = LightTable(0, 100);
    for (int i = 0; i <= 64; ++i)
        EXPECT_EQ(steep[i], 0) << i;
}

TEST(RasterImageLight, GreyImageKeepsBlackAndWhite)
{
    CRasterImage image(4, 1, 8, 0);
    image.SetGrayPalette();
    const uint8_t levels[] = {0, 100, 254, 255};
    for (int32_t x = 0; x < 4; ++x)
        image.SetPixelIndex(x, 0, levels[x]);
    ASSERT_TRUE(image.Light(50, 0));
    EXPECT_TRUE(image.IsGrayScale());
    EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 150);
    EXPECT_EQ(image.GetPixelIndex(2, 0), 255);
    EXPECT_EQ(image.GetPixelIndex(3, 0), 255);
    ASSERT_TRUE(image.Light(-100, 0));  // 255 is white and stays
    EXPECT_EQ(image.GetPixelIndex(1, 0), 50);
    EXPECT_EQ(image.GetPixelIndex(3, 0), 255);
}

TEST(RasterImageLight, IndexedImagesChangeOnlyTheirPalette)
{
    CRasterImage one(9, 1, 1, 0);
    one.SetGrayPalette();
    one.GetBits(0)[0] = 0x5A;
    ASSERT_TRUE(one.Light(80, 50));
    EXPECT_TRUE(SameQuad(one.GetPaletteColor(0), Quad(0, 0, 0)));
    EXPECT_TRUE(SameQuad(one.GetPaletteColor(1), Quad(255, 255, 255)));
    EXPECT_EQ(one.GetBits(0)[0], 0x5A);

    CRasterImage four(3, 1, 4, 0);
    four.SetGrayPalette();
    four.SetPaletteColor(1, Quad(17, 17, 17, 9));
    four.SetPixelIndex(0, 0, 1);
    ASSERT_TRUE(four.Light(10, 0));
    EXPECT_EQ(four.GetBpp(), 4);
    EXPECT_EQ(four.GetPixelIndex(0, 0), 1);
    EXPECT_TRUE(SameQuad(four.GetPaletteColor(1), Quad(27, 27, 27, 9)));
    EXPECT_FALSE(CRasterImage().Light(1, 1));
    EXPECT_FALSE(four.Lut(nullptr));
}

TEST(RasterImageLut, SelectionLimitsTheGreyImage)
{
    uint8_t invert[256];
    for (int i = 0; i < 256; ++i)
        invert[i] = static_cast<uint8_t>(255 - i);
    CRasterImage image(3, 3, 8, 0);
    image.SetGrayPalette();
    ASSERT_TRUE(image.SelectionCreate());
    image.SelectionGetPointer()[1] = 0;           // pixel (1, 0) unselected
    image.SetSelectionBox({0, 2, 2, 0});          // columns 0-1, rows 0-1
    ASSERT_TRUE(image.Lut(invert));
    EXPECT_EQ(image.GetPixelIndex(0, 0), 255);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(1, 1), 255);
    EXPECT_EQ(image.GetPixelIndex(2, 0), 0);      // right of the box
    EXPECT_EQ(image.GetPixelIndex(0, 2), 0);      // above the box
    image.SetSelectionBox({1, 2, 1, 0});
    EXPECT_FALSE(image.Lut(invert));
    image.SetSelectionBox({-50, 900, 900, -50});  // clipped to the image
    ASSERT_TRUE(image.Lut(invert));
    EXPECT_EQ(image.GetPixelIndex(2, 2), 255);

    CRasterImage direct(2, 1, 24, 0);
    direct.SelectionCreate();
    direct.SelectionGetPointer()[0] = 0;
    ASSERT_TRUE(direct.Lut(invert));
    EXPECT_TRUE(SameQuad(direct.GetPixelColor(0, 0, false), Quad(0, 0, 0)));
    EXPECT_TRUE(SameQuad(direct.GetPixelColor(1, 0, false), Quad(255, 255, 255)));
}

TEST(RasterImageThreshold, LevelIsBlackAndAboveIsWhite)
{
    struct Case {
        uint8_t level;
        uint8_t grey;
        uint8_t bit;
    };
    const Case cases[] = {{175, 175, 0}, {175, 176, 1}, {255, 255, 0}, {0, 0, 0}, {0, 1, 1}, {128, 200, 1}};
    for (const Case &c : cases) {
        CRasterImage image;
        imagetest::MakeUniform(image, 3, 2, c.grey);
        image.SetXDPI(300);
        image.SetTransIndex(4);
        ASSERT_TRUE(image.Threshold(c.level));
        ASSERT_EQ(image.GetBpp(), 1);
        EXPECT_EQ(image.GetPixelIndex(2, 1), c.bit) << int(c.level) << " " << int(c.grey);
        EXPECT_TRUE(SameQuad(image.GetPaletteColor(0), Quad(0, 0, 0)));
        EXPECT_TRUE(SameQuad(image.GetPaletteColor(1), Quad(255, 255, 255)));
        // A new image, not a copy of the old record.
        EXPECT_EQ(image.GetXDPI(), 96);
        EXPECT_EQ(image.GetTransIndex(), -1);
    }
}

TEST(RasterImageThreshold, OneBitImageIsLeftAlone)
{
    CRasterImage image(5, 2, 1, 0);
    image.SetXDPI(203);
    image.GetBits(0)[0] = 0x42;
    uint8_t *dib = image.GetDIB();
    ASSERT_TRUE(image.Threshold(10));
    EXPECT_EQ(image.GetDIB(), dib);
    EXPECT_EQ(image.GetBits(0)[0], 0x42);
    EXPECT_EQ(image.GetXDPI(), 203);
    EXPECT_FALSE(CRasterImage().Threshold(10));
}

TEST(RasterImageThreshold, RowLoopsMatchPixelByPixelVersion)
{
    std::mt19937 rng(12);
    for (uint32_t bpp : kDepths) {
        for (auto [w, h] : kSizes) {
            const uint8_t level = static_cast<uint8_t>(rng());
            CRasterImage fast;
            MakeRandomImage(fast, w, h, bpp, rng);
            CRasterImage slow(fast, true, true, true);
            ASSERT_TRUE(fast.Threshold(level));
            ASSERT_TRUE(reference::Threshold(slow, level));
            ExpectSameImage(fast, slow, std::to_string(bpp) + " bpp " + std::to_string(w) + "x" + std::to_string(h));
        }
    }
}

}  // namespace
