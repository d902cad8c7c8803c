#include "geometry_reference.h"

#include <string>
#include <vector>

using geomref::SameImage;

namespace {

// Nearest-pixel resampling through the accessors: the left or top edge of
// each target pixel, truncated, read with GetPixelColor and written with
// SetPixelColor.
void NearestReference(const CRasterImage &src, int32_t newWidth, int32_t newHeight, CRasterImage &out)
{
    const float xScale = static_cast<float>(src.GetWidth()) / static_cast<float>(newWidth);
    const float yScale = static_cast<float>(src.GetHeight()) / static_cast<float>(newHeight);
    out.Create(static_cast<uint32_t>(newWidth), static_cast<uint32_t>(newHeight), src.GetBpp(), 0);
    out.SetPalette(src.GetPalette(), 256);
    if (src.AlphaIsValid())
        out.AlphaCreate();
    for (int32_t y = 0; y < newHeight; ++y) {
        for (int32_t x = 0; x < newWidth; ++x) {
            const int32_t sx = static_cast<int32_t>(static_cast<float>(x) * xScale);
            const int32_t sy = static_cast<int32_t>(static_cast<float>(y) * yScale);
            out.SetPixelColor(x, y, src.GetPixelColor(sx, sy, true), false);
            if (src.AlphaIsValid())
                out.AlphaSet(x, y, src.AlphaGet(sx, sy));
        }
    }
}

TEST(Resample, NearestMatchesPixelByPixelVersion)
{
    struct Sizes {
        uint32_t w, h;
        int32_t newWidth, newHeight;
    };
    const Sizes table[] = {{100, 80, 50, 40}, {2, 1, 3, 1},    {37, 23, 111, 5}, {7, 13, 3, 40},
                           {130, 7, 129, 8},  {1, 1, 5, 3},    {600, 17, 17, 600}, {9, 9, 1, 1}};
    std::mt19937 rng(77);
    for (const Sizes &s : table) {
        for (uint32_t bpp : geomref::kDepths) {
            for (bool withAlpha : {false, true}) {
                SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h) + " to " + std::to_string(s.newWidth) +
                             "x" + std::to_string(s.newHeight) + " at " + std::to_string(bpp) + " bpp" +
                             (withAlpha ? " with alpha" : ""));
                CRasterImage source;
                geomref::MakeRandom(source, s.w, s.h, bpp, withAlpha, rng);
                // Repeated palette colours: an index comes back as the
                // lowest index of its colour.
                if (bpp == 1)
                    source.SetPaletteColor(1, 0, 0, 0);
                if (bpp >= 4 && bpp <= 8)
                    source.SetPaletteColor(5, source.GetPaletteColor(2));
                CRasterImage expected;
                NearestReference(source, s.newWidth, s.newHeight, expected);
                CRasterImage actual(source, true, true, true);
                ASSERT_TRUE(actual.Resample(s.newWidth, s.newHeight, 1));
                EXPECT_TRUE(SameImage(actual, expected));
            }
        }
    }
}

TEST(Resample, HalfAndOneAndAHalfOfAOneBitPage)
{
    std::mt19937 rng(4);
    CRasterImage page;
    geomref::MakeRandom(page, 100, 80, 1, false, rng);
    CRasterImage half(page, true, true, true);
    ASSERT_TRUE(half.Resample(50, 40, 1));
    ASSERT_EQ(half.GetWidth(), 50u);
    ASSERT_EQ(half.GetHeight(), 40u);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 50; ++x)
            ASSERT_EQ(half.GetPixelIndex(x, y), page.GetPixelIndex(2 * x, 2 * y)) << x << "," << y;

    // Two pixels become three, from source columns 0, 0 and 1.
    CRasterImage row(2, 1, 1, 0);
    row.SetGrayPalette();
    row.GetBits(0)[0] = 0x80;  // 1, 0
    ASSERT_TRUE(row.Resample(3, 1, 1));
    EXPECT_EQ(row.GetBits(0)[0], 0xC0);  // 1, 1, 0
}

TEST(Resample, SizesThatChangeNothing)
{
    std::mt19937 rng(8);
    CRasterImage image;
    geomref::MakeRandom(image, 10, 6, 8, false, rng);
    CRasterImage before(image, true, true, true);
    EXPECT_FALSE(image.Resample(0, 6, 1));
    EXPECT_FALSE(image.Resample(10, 0, 2));
    EXPECT_TRUE(SameImage(image, before));
    for (int32_t mode : {1, 2, 0}) {
        EXPECT_TRUE(image.Resample(10, 6, mode));
        EXPECT_TRUE(SameImage(image, before));
    }
    CRasterImage copy;
    EXPECT_TRUE(image.Resample(10, 6, 1, &copy));
    EXPECT_TRUE(SameImage(copy, before));

    CRasterImage empty;
    EXPECT_FALSE(empty.Resample(4, 4, 1));
    EXPECT_FALSE(empty.IsValid());
}

TEST(Resample, TargetTooLargeLeavesTheImage)
{
    std::mt19937 rng(1);
    CRasterImage image;
    geomref::MakeRandom(image, 10, 6, 1, false, rng);
    CRasterImage before(image, true, true, true);
    EXPECT_FALSE(image.Resample(1 << 20, 1 << 20, 1));
    EXPECT_STREQ(image.GetLastError(), "RASTERIMAGE_MAX_MEMORY exceeded");
    EXPECT_FALSE(image.Resample(-5, 3, 1));
    EXPECT_TRUE(SameImage(image, before));
}

TEST(Resample, DestinationTakesTheResultAndTheSourceStays)
{
    std::mt19937 rng(12);
    CRasterImage source;
    geomref::MakeRandom(source, 13, 9, 4, true, rng);
    CRasterImage before(source, true, true, true);
    for (int32_t mode : {1, 2, 0}) {
        CRasterImage scaled;
        ASSERT_TRUE(source.Resample(7, 20, mode, &scaled));
        EXPECT_EQ(scaled.GetWidth(), 7u);
        EXPECT_EQ(scaled.GetHeight(), 20u);
        EXPECT_TRUE(scaled.AlphaIsValid());
        EXPECT_TRUE(SameImage(source, before));
    }
}

TEST(KernelBSpline, Weights)
{
    struct Point {
        float x, weight;
    };
    const Point table[] = {{0.0f, 4.0f * 0.16666667f}, {1.0f, 0.16666667f}, {-1.0f, 0.16666667f},
                           {0.5f, 2.875f * 0.16666667f}, {-0.5f, 2.875f * 0.16666667f}, {2.0f, 0.0f},
                           {-2.0f, 0.0f},               {2.5f, 0.0f},         {-3.0f, 0.0f}};
    for (const Point &p : table)
        EXPECT_FLOAT_EQ(CRasterImage::KernelBSpline(p.x), p.weight) << p.x;
    // Four neighbours share the whole weight wherever the sample falls.
    for (float d : {0.0f, 0.25f, 0.5f, 0.75f}) {
        float sum = 0.0f;
        for (int m = -1; m <= 2; ++m)
            sum += CRasterImage::KernelBSpline(static_cast<float>(m) - d);
        EXPECT_NEAR(sum, 1.0f, 1e-6f) << d;
    }
}

TEST(Resample, BilinearSamplesFromTheLeftEdge)
{
    CRasterImage grey(2, 1, 8, 0);
    grey.SetGrayPalette();
    grey.GetBits(0)[0] = 0;
    grey.GetBits(0)[1] = 200;
    grey.AlphaCreate();
    grey.AlphaSet(0, 0, 0);
    grey.AlphaSet(1, 0, 200);
    ASSERT_TRUE(grey.Resample(4, 1, 0));
    const uint8_t expected[] = {0, 100, 200, 200};
    for (int32_t x = 0; x < 4; ++x) {
        EXPECT_EQ(grey.GetPixelIndex(x, 0), expected[x]) << x;
        EXPECT_EQ(grey.AlphaGet(x, 0), expected[x]) << x;
    }
}

TEST(Resample, TwoColourPaletteSnapsToBlackOrWhite)
{
    // black, white, black over five pixels: 0, 153, 203, 50, 0 before the
    // palette snaps them.
    CRasterImage row(3, 1, 1, 0);
    row.SetGrayPalette();
    row.GetBits(0)[0] = 0x40;
    ASSERT_TRUE(row.Resample(5, 1, 0));
    EXPECT_EQ(row.GetBits(0)[0], 0x60);  // 0, 1, 1, 0, 0

    // Bicubic over a black-to-white edge: black, then white, never back.
    CRasterImage edge(16, 2, 1, 0);
    edge.SetGrayPalette();
    for (uint32_t y = 0; y < 2; ++y)
        edge.GetBits(y)[1] = 0xFF;
    ASSERT_TRUE(edge.Resample(32, 3, 2));
    for (int32_t y = 0; y < 3; ++y) {
        EXPECT_EQ(edge.GetPixelIndex(0, y), 0);
        EXPECT_EQ(edge.GetPixelIndex(31, y), 1);
        for (int32_t x = 1; x < 32; ++x)
            EXPECT_GE(edge.GetPixelIndex(x, y), edge.GetPixelIndex(x - 1, y)) << x << "," << y;
    }
}

TEST(Resample, ShrinkAveragesWholeBlocks)
{
    // 4 x 4 colour image to 2 x 2: each target pixel is the truncated mean of
    // a 2 x 2 block, channel by channel.
    CRasterImage image(4, 4, 24, 0);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t i = 0; i < 12; ++i)
            image.GetBits(y)[i] = static_cast<uint8_t>(y * 37 + i * 11 + (i % 3) * 50);
    CRasterImage before(image, true, true, true);
    ASSERT_TRUE(image.Resample(2, 2, 0));
    for (uint32_t Y = 0; Y < 2; ++Y) {
        for (uint32_t X = 0; X < 2; ++X) {
            for (uint32_t c = 0; c < 3; ++c) {
                unsigned sum = 0;
                for (uint32_t dy = 0; dy < 2; ++dy)
                    for (uint32_t dx = 0; dx < 2; ++dx)
                        sum += before.GetBits(2 * Y + dy)[3 * (2 * X + dx) + c];
                EXPECT_EQ(image.GetBits(Y)[3 * X + c], sum / 4) << X << "," << Y << " channel " << c;
            }
        }
    }
}

TEST(Resample, StrongShrinkOfAWhitePageStaysWhite)
{
    CRasterImage page(600, 600, 24, 0);
    for (uint32_t y = 0; y < 600; ++y)
        std::memset(page.GetBits(y), 0xFF, page.GetEffWidth());
    ASSERT_TRUE(page.Resample(2, 2, 0));
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t i = 0; i < 6; ++i)
            EXPECT_EQ(page.GetBits(y)[i], 0xFF) << y << "," << i;
}

}  // namespace

namespace {

TEST(Resample, ShrinkWritesEveryTargetPixel)
{
    // Uneven ratios leave partial columns and rows at every edge; each target
    // byte must still be written, at most one below the level (the weights
    // are truncated), never wrapped.
    for (uint32_t w = 2; w <= 23; w += 3) {
        for (uint32_t h = 2; h <= 14; h += 4) {
            for (uint32_t nw = 1; nw < w; nw += 2) {
                for (uint32_t nh = 1; nh < h; ++nh) {
                    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " to " + std::to_string(nw) + "x" +
                                 std::to_string(nh));
                    CRasterImage image(w, h, 24, 0);
                    for (uint32_t y = 0; y < h; ++y)
                        std::memset(image.GetBits(y), 255, image.GetEffWidth());
                    ASSERT_TRUE(image.Resample(static_cast<int32_t>(nw), static_cast<int32_t>(nh), 0));
                    for (uint32_t y = 0; y < nh; ++y)
                        for (uint32_t i = 0; i < 3 * nw; ++i)
                            ASSERT_GE(image.GetBits(y)[i], 254) << "row " << y << " byte " << i;
                }
            }
        }
    }
}

}  // namespace
