// Page preparation as the real filter does it, seen through the TSPL label
// job it writes: the BITMAP rows are the prepared page.
#include "image/raster_image.h"
#include "support/filter_runner.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// A page as a dot matrix, true = black.
using Dots = std::vector<std::vector<bool>>;

struct Label {
    std::string size;  // the SIZE line without "SIZE " and CR LF
    int effWidth = 0;
    int height = 0;
    std::string bitmap;
};

// The labels of a TSPL stream written with uncompressed bitmaps.
std::vector<Label> ParseLabels(const std::string &out)
{
    std::vector<Label> labels;
    size_t at = 0;
    while ((at = out.find("SIZE ", at)) != std::string::npos) {
        Label label;
        const size_t sizeEnd = out.find("\r\n", at);
        label.size = out.substr(at + 5, sizeEnd - at - 5);
        const size_t bitmap = out.find("BITMAP 0,0,", sizeEnd);
        if (bitmap == std::string::npos || std::sscanf(out.c_str() + bitmap, "BITMAP 0,0,%d,%d,1,", &label.effWidth,
                                                       &label.height) != 2)
            break;
        const size_t data = out.find(",1,", bitmap) + 3;
        label.bitmap = out.substr(data, static_cast<size_t>(label.effWidth) * label.height);
        labels.push_back(label);
        at = data + label.bitmap.size();
    }
    return labels;
}

std::string SizeText(size_t width, size_t height, double dpi)
{
    char text[128];
    std::snprintf(text, sizeof(text), "%.2lf mm,%.2lf mm", width / (dpi / 25.4), height / (dpi / 25.4));
    return text;
}

// The BITMAP rows of a prepared page: 0 = black, row tails white.
std::string BitmapOf(const Dots &dots)
{
    const size_t width = dots.empty() ? 0 : dots[0].size();
    const size_t effWidth = (width + 31) / 32 * 4;
    std::string bytes(effWidth * dots.size(), '\xFF');
    for (size_t y = 0; y < dots.size(); ++y)
        for (size_t x = 0; x < width; ++x)
            if (dots[y][x])
                bytes[y * effWidth + x / 8] = static_cast<char>(bytes[y * effWidth + x / 8] & ~(0x80 >> (x % 8)));
    return bytes;
}

Dots Generate(size_t width, size_t height, const std::function<bool(size_t, size_t)> &black)
{
    Dots dots(height, std::vector<bool>(width));
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x)
            dots[y][x] = black(x, y);
    return dots;
}

// A one-bit raster page (a set bit is white) from a dot matrix.
RasterPage OneBitPage(const Dots &dots, unsigned dpi = 203)
{
    RasterPage page = MakeRasterPage(static_cast<unsigned>(dots[0].size()), static_cast<unsigned>(dots.size()), 1,
                                     0xFF, dpi);
    for (size_t y = 0; y < dots.size(); ++y)
        for (size_t x = 0; x < dots[0].size(); ++x)
            if (dots[y][x])
                page.Row(static_cast<unsigned>(y))[x / 8] &= static_cast<uint8_t>(~(0x80u >> (x % 8)));
    return page;
}

// The page image library's own one-bit result of a raster page, after the
// row tails are made white: what the filter must send for that method.
std::string LibraryDither(const RasterPage &page, int method)
{
    CRasterImage image;
    cups_page_header2_t header;
    FillRasterHeader(page, header);
    EXPECT_TRUE(image.CreateFromArray(page.data.data(), page.width, page.height, page.bitsPerPixel,
                                      header.cupsBytesPerLine, false));
    if (page.bitsPerPixel > 23)
        image.GrayScale();
    EXPECT_TRUE(image.Dither(method));
    EXPECT_EQ(image.GetBpp(), 1);
    Dots dots(page.height, std::vector<bool>(page.width));
    for (unsigned y = 0; y < page.height; ++y)
        for (unsigned x = 0; x < page.width; ++x)
            dots[y][x] = ((image.GetBits(y)[x / 8] >> (7 - x % 8)) & 1) == 0;
    return BitmapOf(dots);
}

class PagePreparation : public testing::Test {
protected:
    std::vector<Label> Run(const std::vector<RasterPage> &pages, const std::string &options = "")
    {
        WritePpdFile(dir.File("tspl.ppd"), ppd);
        WriteRasterFile(dir.File("job.ras"), pages);
        result = RunFilterOn(dir.File("tspl.ppd"), dir.File("job.ras"), options);
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_EQ(result.err.find("ERROR"), std::string::npos) << result.err;
        return ParseLabels(result.out);
    }

    ScopedTempDir dir;
    PpdDescription ppd{20,
                std::string("dotweave Label"),
                std::nullopt,
                {Option("ImageFilter", "3", {"0", "1"}), Option("Threshold", "175", {"128", "300"}),
                 Option("Brightness", "0", {"50"}), Option("Rotate", "0", {"1", "2", "3", "4"}),
                 Option("CropEdgeTop", "0", {"5", "-1"}), Option("CropEdgeBottom", "0", {"5", "-1"}),
                 Option("CropEdgeLeft", "0", {"5", "-1"}), Option("CropEdgeRight", "0", {"5", "-1"})},
                ""};
    FilterResult result;
};

// A black 20 x 10 block at (100, 90) on a white 300 x 200 page.
const Dots kBlockPage = Generate(300, 200, [](size_t x, size_t y) { return x >= 100 && x < 120 && y >= 90 && y < 100; });

Dots Crop(const Dots &dots, size_t top, size_t bottom, size_t left, size_t right)
{
    Dots kept;
    for (size_t y = top; y < dots.size() - bottom; ++y)
        kept.emplace_back(dots[y].begin() + static_cast<long>(left), dots[y].end() - static_cast<long>(right));
    return kept;
}

} // namespace

TEST_F(PagePreparation, OneBitPagePassesUnchanged)
{
    const RasterPage page = MakeRandomRasterPage(200, 30, 1, 11);
    const std::vector<Label> labels = Run({page});
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].size, SizeText(200, 30, 203));
    // Only the row tails past dot 200 change: they become white.
    Dots dots(30, std::vector<bool>(200));
    for (unsigned y = 0; y < 30; ++y)
        for (unsigned x = 0; x < 200; ++x)
            dots[y][x] = ((page.Row(y)[x / 8] >> (7 - x % 8)) & 1) == 0;
    EXPECT_EQ(labels[0].bitmap, BitmapOf(dots));
}

TEST_F(PagePreparation, GreyAndColourPagesAreDitheredWithTheDefaultMethod)
{
    for (const unsigned bpp : {8u, 4u, 32u}) {
        const RasterPage page = MakeRandomRasterPage(150, 40, bpp, 12);
        const std::vector<Label> labels = Run({page});
        ASSERT_EQ(labels.size(), 1u) << bpp;
        EXPECT_EQ(labels[0].size, SizeText(150, 40, 203)) << bpp;
        EXPECT_EQ(labels[0].bitmap, LibraryDither(page, 2)) << bpp;
        EXPECT_NE(labels[0].bitmap, LibraryDither(page, 0)) << bpp;
    }
}

TEST_F(PagePreparation, ImageFilterChoosesTheDitherMethod)
{
    const RasterPage page = MakeRandomRasterPage(96, 20, 8, 13);
    const std::vector<Label> labels = Run({page}, "ImageFilter=1");
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].bitmap, LibraryDither(page, 0));
}

TEST_F(PagePreparation, ThresholdUsesTheLowEightBitsOfItsLevel)
{
    const RasterPage page = MakeRandomRasterPage(77, 25, 8, 14);
    for (const auto &[options, threshold] : std::vector<std::pair<std::string, int>>{
             {"ImageFilter=0", 175}, {"ImageFilter=0 Threshold=128", 128}, {"ImageFilter=0 Threshold=300", 44}}) {
        const int level = threshold;  // a lambda may not capture a structured binding in every compiler
        const std::vector<Label> labels = Run({page}, options);
        ASSERT_EQ(labels.size(), 1u) << options;
        const Dots expected = Generate(77, 25, [&](size_t x, size_t y) { return page.Row(y)[x] <= level; });
        EXPECT_EQ(labels[0].bitmap, BitmapOf(expected)) << options;
    }
}

TEST_F(PagePreparation, BrightnessIsAppliedBeforeTheThreshold)
{
    const RasterPage page = MakeRasterPage(64, 4, 8, 100);
    const Dots black = Generate(64, 4, [](size_t, size_t) { return true; });
    const Dots white = Generate(64, 4, [](size_t, size_t) { return false; });
    std::vector<Label> labels = Run({page}, "ImageFilter=0 Threshold=128");
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].bitmap, BitmapOf(black));
    labels = Run({page}, "ImageFilter=0 Threshold=128 Brightness=50");
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].bitmap, BitmapOf(white));
}

TEST_F(PagePreparation, ColourPageIsTurnedGreyWithItsBytesInStorageOrder)
{
    RasterPage page = MakeRandomRasterPage(50, 12, 24, 15);
    std::vector<Label> labels = Run({page}, "ImageFilter=0 Threshold=128");
    ASSERT_EQ(labels.size(), 1u);
    const Dots expected = Generate(50, 12, [&](size_t x, size_t y) {
        const uint8_t *p = page.Row(static_cast<unsigned>(y)) + 3 * x;
        return ((p[0] * 117 + p[1] * 601 + p[2] * 306) >> 10) <= 128;
    });
    EXPECT_EQ(labels[0].bitmap, BitmapOf(expected));

    labels = Run({page});
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].bitmap, LibraryDither(page, 2));
}

TEST_F(PagePreparation, EachEdgeIsCroppedToItsLimitOrWithoutLimit)
{
    // The block leaves 90 white rows above, 100 below, 100 columns left and
    // 180 right; 5 mm at 203 dpi are 40 dots (41 on the right edge).
    struct Case {
        std::string options;
        size_t top, bottom, left, right;
    };
    const std::vector<Case> cases = {
        {"CropEdgeTop=5", 40, 0, 0, 0},     {"CropEdgeTop=-1", 90, 0, 0, 0},
        {"CropEdgeBottom=5", 0, 40, 0, 0},  {"CropEdgeBottom=-1", 0, 100, 0, 0},
        {"CropEdgeLeft=5", 0, 0, 40, 0},    {"CropEdgeLeft=-1", 0, 0, 100, 0},
        {"CropEdgeRight=5", 0, 0, 0, 41},   {"CropEdgeRight=-1", 0, 0, 0, 180},
        {"CropEdgeTop=-1 CropEdgeBottom=-1 CropEdgeLeft=-1 CropEdgeRight=-1", 90, 100, 100, 180},
    };
    for (const Case &c : cases) {
        const std::vector<Label> labels = Run({OneBitPage(kBlockPage)}, c.options);
        ASSERT_EQ(labels.size(), 1u) << c.options;
        const Dots expected = Crop(kBlockPage, c.top, c.bottom, c.left, c.right);
        EXPECT_EQ(labels[0].size, SizeText(expected[0].size(), expected.size(), 203)) << c.options;
        EXPECT_EQ(labels[0].bitmap, BitmapOf(expected)) << c.options;
    }
}

TEST_F(PagePreparation, BlankPageKeepsItsSizeWhenCropped)
{
    const Dots blank = Generate(300, 200, [](size_t, size_t) { return false; });
    const std::vector<Label> labels = Run({OneBitPage(blank)}, "CropEdgeTop=-1 CropEdgeBottom=5 CropEdgeLeft=-1 "
                                                               "CropEdgeRight=5");
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].size, SizeText(300, 200, 203));
    EXPECT_EQ(labels[0].bitmap, BitmapOf(blank));
}

TEST_F(PagePreparation, RotationCodesTurnThePage)
{
    // An irregular pattern, so that every turn and flip shows.
    const size_t w = 45, h = 20;
    const Dots page = Generate(w, h, [](size_t x, size_t y) { return (x * x + y * 3 + x * y) % 7 < 3; });
    struct Case {
        const char *code;
        size_t width, height;
        std::function<bool(size_t, size_t)> source;  // target dot (X, Y) is black
    };
    const std::vector<Case> cases = {
        {"1", w, h, [&](size_t x, size_t y) { return page[h - 1 - y][w - 1 - x]; }},
        {"2", h, w, [&](size_t x, size_t y) { return page[x][w - 1 - y]; }},
        {"3", h, w, [&](size_t x, size_t y) { return page[h - 1 - x][y]; }},
        {"4", w, h, [&](size_t x, size_t y) { return page[y][x]; }},
    };
    for (const Case &c : cases) {
        const std::vector<Label> labels = Run({OneBitPage(page)}, std::string("Rotate=") + c.code);
        ASSERT_EQ(labels.size(), 1u) << c.code;
        EXPECT_EQ(labels[0].size, SizeText(c.width, c.height, 203)) << c.code;
        EXPECT_EQ(labels[0].bitmap, BitmapOf(Generate(c.width, c.height, c.source))) << "rotation code " << c.code;
    }
}
