// Creating images, building them from raster lines, their memory layout.
#include "image/raster_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(ImageContainer, CreateRefusesEmptyAndOversizedImages)
{
    CRasterImage image;
    EXPECT_EQ(image.Create(0, 10, 8, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), "CRasterImage::Create : width and height must be greater than zero");
    EXPECT_EQ(image.Create(16384, 16385, 8, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), "RASTERIMAGE_MAX_MEMORY exceeded");
    EXPECT_FALSE(image.IsValid());
}

TEST(ImageContainer, ExactlyTheMemoryLimitIsAllowed)
{
    CRasterImage image;
    ASSERT_NE(image.Create(16384, 16384, 8, 0), nullptr);
    EXPECT_EQ(image.GetEffWidth(), 16384u);
}

TEST(ImageContainer, DepthsRoundUpAndRowsAlignTo32Bits)
{
    struct Case {
        uint32_t width, bpp, wantBpp, wantColors, wantEffWidth;
    } cases[] = {
        {10, 1, 1, 2, 4}, {33, 1, 1, 2, 8},  {10, 2, 4, 16, 8}, {10, 3, 4, 16, 8},   {5, 8, 8, 256, 8},
        {5, 24, 24, 0, 16}, {5, 16, 24, 0, 16}, {5, 32, 24, 0, 16}, {1, 0, 1, 2, 4},
    };
    for (const Case &c : cases) {
        CRasterImage image;
        ASSERT_NE(image.Create(c.width, 3, c.bpp, 0), nullptr) << c.bpp;
        EXPECT_EQ(image.GetBpp(), c.wantBpp);
        EXPECT_EQ(image.GetNumColors(), c.wantColors);
        EXPECT_EQ(image.GetEffWidth(), c.wantEffWidth);
        EXPECT_EQ(image.GetSize(), 40 + c.wantEffWidth * 3 + c.wantColors * 4);
        EXPECT_EQ(image.GetHeader().biSizeImage, c.wantEffWidth * 3);
        EXPECT_EQ(image.GetBits(1), image.GetBits(0) + c.wantEffWidth);
        EXPECT_EQ(image.GetBits(3), nullptr);
    }
}

TEST(ImageContainer, GreyPalettes)
{
    CRasterImage image;
    image.Create(4, 4, 4, 0);
    image.SetGrayPalette();
    EXPECT_EQ(image.GetPalette()[1].rgbRed, 17);
    EXPECT_EQ(image.GetPalette()[15].rgbBlue, 255);
    image.Create(4, 4, 1, 0);
    image.SetGrayPalette();
    EXPECT_EQ(image.GetPalette()[0].rgbGreen, 0);
    EXPECT_EQ(image.GetPalette()[1].rgbGreen, 255);
}

TEST(ImageContainer, FromArrayCopiesRowsAndFillsWhatTheLineLacks)
{
    // 12 pixels of 8 bits: effective width 12; lines of 10 bytes leave the
    // last two bytes of every row white.
    std::vector<uint8_t> pixels(10 * 2);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(i);
    CRasterImage image;
    ASSERT_TRUE(image.CreateFromArray(pixels.data(), 12, 2, 8, 10, false));
    EXPECT_EQ(image.GetBits(1)[0], 10);
    EXPECT_EQ(image.GetBits(0)[9], 9);
    EXPECT_EQ(image.GetBits(0)[10], 0xFF);
    EXPECT_EQ(image.GetBits(1)[11], 0xFF);

    // Longer lines skip the input's extra bytes; flip reverses the rows.
    ASSERT_TRUE(image.CreateFromArray(pixels.data(), 4, 2, 8, 10, true));
    EXPECT_EQ(image.GetBits(0)[0], 10);
    EXPECT_EQ(image.GetBits(1)[3], 3);
}

TEST(ImageContainer, FromArrayOfThirtyTwoBitsFillsAlpha)
{
    const uint8_t pixels[] = {1, 2, 3, 4, 5, 6, 7, 8};
    CRasterImage image;
    ASSERT_TRUE(image.CreateFromArray(pixels, 2, 1, 32, 8, false));
    EXPECT_EQ(image.GetBpp(), 24);
    EXPECT_TRUE(image.AlphaIsValid());
    const uint8_t *row = image.GetBits(0);
    EXPECT_EQ(std::vector<uint8_t>(row, row + 6), (std::vector<uint8_t>{1, 2, 3, 5, 6, 7}));
    EXPECT_EQ(image.AlphaGetPointer()[0], 4);
    EXPECT_EQ(image.AlphaGetPointer()[1], 8);
}

TEST(ImageContainer, FromArrayRefusesUnknownDepthsAndNullData)
{
    const uint8_t pixels[4] = {};
    CRasterImage image;
    image.SetLastError("before");
    EXPECT_FALSE(image.CreateFromArray(pixels, 1, 1, 16, 2, false));
    EXPECT_STREQ(image.GetLastError(), "before");
    EXPECT_FALSE(image.CreateFromArray(nullptr, 1, 1, 8, 1, false));
}

TEST(ImageContainer, OneBitPageReadsSetBitsAsWhite)
{
    const uint8_t pixels[4] = {0x80, 0, 0, 0};
    CRasterImage image;
    ASSERT_TRUE(image.CreateFromArray(pixels, 8, 1, 1, 1, false));
    EXPECT_EQ(image.GetPalette()[0].rgbRed, 0);
    EXPECT_EQ(image.GetPalette()[1].rgbRed, 255);
}

TEST(ImageContainer, ResolutionAndPixelsPerMetre)
{
    CRasterImage image;
    EXPECT_EQ(image.GetXDPI(), 96);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 3780);
    image.Create(2, 2, 8, 0);
    image.SetXDPI(203);
    image.SetYDPI(300);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 7992);
    EXPECT_EQ(image.GetHeader().biYPelsPerMeter, 11811);
    int32_t stored;
    std::memcpy(&stored, image.GetDIB() + 28, 4);  // the copy inside the block follows
    EXPECT_EQ(stored, 11811);
    for (int dpi : {0, -5}) {
        image.SetXDPI(dpi);
        EXPECT_EQ(image.GetXDPI(), 96);
        EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 3780);
    }
}

TEST(ImageContainer, EmptyImageHasNoRows)
{
    CRasterImage image;
    EXPECT_EQ(image.GetBits(0), nullptr);
    EXPECT_EQ(image.GetPalette(), nullptr);
    EXPECT_EQ(image.GetTransIndex(), -1);
    EXPECT_FALSE(image.AlphaCreate());
}
