// The automatic half-tone: hard edges thresholded, pictures diffused, and no
// error crossing between the two.
#include "image/raster_image.h"
#include "image_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace {

using Levels = std::vector<std::vector<uint8_t>>;
using Bits = std::vector<std::vector<int>>;  // 1 = white

void MakeGrey(CRasterImage &image, const Levels &levels)
{
    image.Create(static_cast<uint32_t>(levels[0].size()), static_cast<uint32_t>(levels.size()), 8, 0);
    image.SetGrayPalette();
    for (size_t y = 0; y < levels.size(); ++y)
        std::copy(levels[y].begin(), levels[y].end(), image.GetBits(static_cast<uint32_t>(y)));
}

Bits ReadBits(const CRasterImage &image)
{
    Bits bits(image.GetHeight(), std::vector<int>(image.GetWidth()));
    for (uint32_t y = 0; y < image.GetHeight(); ++y)
        for (uint32_t x = 0; x < image.GetWidth(); ++x)
            bits[y][x] = (image.GetBits(y)[x / 8] >> (7 - x % 8)) & 1;
    return bits;
}

Bits Auto(const Levels &levels, uint8_t threshold = 128)
{
    CRasterImage image;
    MakeGrey(image, levels);
    EXPECT_TRUE(image.AutoHalftone(threshold));
    EXPECT_EQ(image.GetBpp(), 1);
    return ReadBits(image);
}

Bits Halftone(const Levels &levels, const std::function<bool(CRasterImage &)> &method)
{
    CRasterImage image;
    MakeGrey(image, levels);
    EXPECT_TRUE(method(image));
    return ReadBits(image);
}

Levels Draw(size_t width, size_t height, const std::function<uint8_t(size_t, size_t)> &level)
{
    Levels levels(height, std::vector<uint8_t>(width));
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x)
            levels[y][x] = level(x, y);
    return levels;
}

// The method as plainly as it can be said: a pixel is thresholded when it is
// 0 or 255, or when the 5 x 5 window around it (cut at the image's edges)
// holds a level of at most 64 and one of at least 192; every other pixel is
// diffused with the Floyd-Steinberg kernel of method 1 (levels clamped, each
// share truncated), its error reaching diffused pixels only.
Bits Reference(Levels levels, uint8_t threshold)
{
    const int h = static_cast<int>(levels.size()), w = static_cast<int>(levels[0].size());
    std::vector<std::vector<bool>> hard(h, std::vector<bool>(w));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool ink = false, paper = false;
            for (int v = std::max(0, y - 2); v <= std::min(h - 1, y + 2); ++v)
                for (int u = std::max(0, x - 2); u <= std::min(w - 1, x + 2); ++u) {
                    ink = ink || levels[v][u] <= 64;
                    paper = paper || levels[v][u] >= 192;
                }
            hard[y][x] = (ink && paper) || levels[y][x] == 0 || levels[y][x] == 255;
        }
    Bits bits(h, std::vector<int>(w));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int level = levels[y][x];
            if (hard[y][x]) {
                bits[y][x] = level > threshold;
                continue;
            }
            bits[y][x] = level > 128;
            const int error = level > 128 ? level - 255 : level;
            const int taps[4][3] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
            for (const auto &t : taps) {
                const int u = x + t[0], v = y + t[1];
                if (u >= 0 && u < w && v < h && !hard[v][u])
                    levels[v][u] = static_cast<uint8_t>(std::clamp(levels[v][u] + error * t[2] / 16, 0, 255));
            }
        }
    return bits;
}

// Label-like content: rules and bars with grey rims on paper, grey fills,
// gradients and noisy patches, so that every kind of byte (all diffused, all
// thresholded, mixed) and both window edges occur.
Levels MixedContent(size_t width, size_t height, std::mt19937 &rng)
{
    // Paper, or a picture that the shapes sit on.
    const bool onPaper = rng() % 2 == 0;
    Levels levels = Draw(width, height, [&](size_t x, size_t y) {
        return static_cast<uint8_t>(onPaper ? 255 : 30 + (x * 5 + y * 11 + rng() % 8) % 190);
    });
    for (int shape = 0; shape < 6; ++shape) {
        const size_t x0 = rng() % width, y0 = rng() % height;
        const size_t x1 = std::min(width, x0 + 1 + rng() % 40), y1 = std::min(height, y0 + 1 + rng() % 20);
        const int kind = static_cast<int>(rng() % 4);
        const uint8_t fill = static_cast<uint8_t>(rng());
        for (size_t y = y0; y < y1; ++y)
            for (size_t x = x0; x < x1; ++x) {
                switch (kind) {
                case 0: levels[y][x] = (x - x0) % 5 < 2 ? 0 : (x - x0) % 5 == 2 ? fill : 255; break;
                case 1: levels[y][x] = fill; break;
                case 2: levels[y][x] = static_cast<uint8_t>(20 + (x * 7 + y * 3) % 216); break;
                default: levels[y][x] = static_cast<uint8_t>(rng()); break;
                }
            }
    }
    return levels;
}

TEST(AutoHalftone, MatchesThePlainStatementOfTheMethod)
{
    std::mt19937 rng(16);
    for (size_t width : {1, 2, 5, 8, 15, 16, 17, 31, 33, 64, 100, 131})
        for (size_t height : {1, 2, 3, 7, 40}) {
            const Levels levels = MixedContent(width, height, rng);
            for (uint8_t threshold : {128, 175})
                ASSERT_TRUE(Auto(levels, threshold) == Reference(levels, threshold))
                    << width << " x " << height << ", threshold " << int{threshold};
        }
}

TEST(AutoHalftone, PicturesAreFloydSteinbergAndHardContentIsThreshold)
{
    // Without ink or paper anywhere, every pixel is diffused exactly as
    // method 1 does it; without anything between ink and paper but grey
    // rims, every pixel is thresholded.
    std::mt19937 rng(7);
    for (size_t width : {3, 16, 45, 200}) {
        const Levels photo =
            Draw(width, 30, [&](size_t x, size_t y) { return static_cast<uint8_t>(70 + (x + y) % 100 + rng() % 20); });
        EXPECT_TRUE(Auto(photo) == Halftone(photo, [](CRasterImage &i) { return i.Dither(0); })) << width;
        // The last rim lies within reach of paper too.
        const Levels bars = Draw(width, 30, [&](size_t x, size_t) {
            const size_t phase = x % 7;
            return static_cast<uint8_t>(x + 3 > width || phase > 3 ? 255 : phase == 3 ? 100 : 0);
        });
        for (uint8_t threshold : {64, 175})
            EXPECT_TRUE(Auto(bars, threshold) ==
                        Halftone(bars, [&](CRasterImage &i) { return i.Threshold(threshold); }))
                << width;
    }
}

TEST(AutoHalftone, BarsWithGreyRimsPrintAsWholeColumnsOfTheirWidth)
{
    // Bars 2.5 dots wide start at a quarter, half or three quarters of a
    // dot: their rims are 25 %, 50 % and 75 % grey. Each column prints all
    // black or all white, and the bar covers its width rounded.
    for (double start : {10.25, 10.5, 10.75}) {
        const Levels levels = Draw(40, 24, [&](size_t x, size_t) {
            const double cover = std::clamp(std::min(x + 1.0, start + 2.5) - std::max<double>(x, start), 0.0, 1.0);
            return static_cast<uint8_t>(std::lround(255 * (1 - cover)));
        });
        const Bits bits = Auto(levels);
        int black = 0;
        for (size_t x = 0; x < 40; ++x) {
            for (size_t y = 1; y < 24; ++y)
                ASSERT_EQ(bits[y][x], bits[0][x]) << "column " << x << " of the bar at " << start;
            black += bits[0][x] == 0;
        }
        EXPECT_NEAR(black, 2.5, 0.5) << start;
    }
}

TEST(AutoHalftone, FlatGreyKeepsItsTone)
{
    for (uint8_t level : {16, 64, 100, 128, 160, 200, 240}) {
        const Bits bits = Auto(Draw(96, 96, [&](size_t, size_t) { return level; }));
        double white = 0;
        for (const auto &row : bits)
            for (int bit : row)
                white += bit;
        EXPECT_NEAR(white / (96 * 96), level / 255.0, 0.02) << int{level};
    }
}

TEST(AutoHalftone, NoErrorCrossesBetweenAPictureAndTheBarsBesideIt)
{
    // A dark picture, a black rule three dots wide, then bars with grey
    // rims; the same with paper instead of the bars, and with paper instead
    // of the picture. The rule keeps every window on the other side alike,
    // so any difference there is error that crossed.
    const auto picture = [](size_t x, size_t y) { return static_cast<uint8_t>(40 + (x * 13 + y * 7) % 60); };
    const auto bars = [](size_t x) { return static_cast<uint8_t>(x % 4 < 2 ? 0 : x % 4 == 2 ? 90 : 255); };
    const auto label = [&](bool withPicture, bool withBars) {
        return Draw(60, 40, [&](size_t x, size_t y) -> uint8_t {
            if (x < 30)
                return withPicture ? picture(x, y) : 255;
            if (x < 33)
                return 0;
            return withBars ? bars(x) : 255;
        });
    };
    const Bits both = Auto(label(true, true), 175);
    const Bits pictureOnly = Auto(label(true, false), 175);
    const Bits barsOnly = Auto(label(false, true), 175);
    for (size_t y = 0; y < 40; ++y)
        for (size_t x = 0; x < 60; ++x)
            ASSERT_EQ(both[y][x], x < 30 ? pictureOnly[y][x] : barsOnly[y][x]) << "dot " << x << "," << y;
}

TEST(AutoHalftone, OneBitPagesStayAndOtherDepthsBecomeGreyFirst)
{
    CRasterImage none;
    EXPECT_FALSE(none.AutoHalftone(128));

    CRasterImage oneBit(9, 3, 1, 0);
    oneBit.GetBits(1)[0] = 0x5A;
    EXPECT_TRUE(oneBit.AutoHalftone(128));
    EXPECT_EQ(oneBit.GetBpp(), 1);
    EXPECT_EQ(oneBit.GetBits(1)[0], 0x5A);

    // A colour page goes through the same grey conversion as the other methods.
    std::mt19937 rng(3);
    CRasterImage colour(37, 11, 24, 0), grey;
    imagetest::FillRandom(colour, rng);
    grey.Copy(colour);
    ASSERT_TRUE(grey.GrayScale());
    ASSERT_TRUE(colour.AutoHalftone(150));
    ASSERT_TRUE(grey.AutoHalftone(150));
    EXPECT_EQ(ReadBits(colour), ReadBits(grey));
    EXPECT_TRUE(imagetest::SameQuad(colour.GetPaletteColor(0), imagetest::Quad(0, 0, 0)));
    EXPECT_TRUE(imagetest::SameQuad(colour.GetPaletteColor(1), imagetest::Quad(255, 255, 255)));
}

}  // namespace
