// PNG documents become one grey byte per pixel whatever their kind.
#include "app/png_image.h"
#include "support/temp_dir.h"
#include "test_png.h"

#include <gtest/gtest.h>
#include <png.h>

#include <fstream>

namespace {

struct KindCase {
    const char *name;
    TestPng png;
    uint8_t grey;  // every pixel's expected level
};

TestPng Palette(std::vector<uint8_t> colours, std::vector<uint8_t> alpha, int bitDepth)
{
    TestPng png = TestPng::Filled(13, 5, PNG_COLOR_TYPE_PALETTE, bitDepth, {1});
    png.palette = std::move(colours);
    png.paletteAlpha = std::move(alpha);
    return png;
}

TEST(PngImage, EveryKindBecomesGreyOverWhitePaper)
{
    TestPng interlaced = TestPng::Filled(37, 29, PNG_COLOR_TYPE_GRAY, 8, {90});
    interlaced.interlaced = true;
    // Grey with alpha goes through a buffer that must hold every row while
    // the passes revisit them.
    TestPng interlacedAlpha = TestPng::Filled(37, 29, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0, 128});
    interlacedAlpha.interlaced = true;
    const KindCase cases[] = {
        {"grey 8", TestPng::Filled(13, 5, PNG_COLOR_TYPE_GRAY, 8, {90}), 90},
        {"grey 16", TestPng::Filled(13, 5, PNG_COLOR_TYPE_GRAY, 16, {0x5A5A}), 90},
        // Small depths are scaled to the full range, not kept as 0 and 1.
        {"grey 1 white", TestPng::Filled(13, 5, PNG_COLOR_TYPE_GRAY, 1, {1}), 255},
        {"grey 1 black", TestPng::Filled(13, 5, PNG_COLOR_TYPE_GRAY, 1, {0}), 0},
        {"grey 2", TestPng::Filled(13, 5, PNG_COLOR_TYPE_GRAY, 2, {1}), 85},
        {"grey 4", TestPng::Filled(13, 5, PNG_COLOR_TYPE_GRAY, 4, {10}), 170},
        // Colour becomes its luminance: red is dark, not the white of its red channel.
        {"pure red", TestPng::Filled(13, 5, PNG_COLOR_TYPE_RGB, 8, {255, 0, 0}), 54},
        {"pure blue", TestPng::Filled(13, 5, PNG_COLOR_TYPE_RGB, 8, {0, 0, 255}), 18},
        {"white", TestPng::Filled(13, 5, PNG_COLOR_TYPE_RGB, 16, {0xFFFF, 0xFFFF, 0xFFFF}), 255},
        // Transparency is laid over white paper.
        {"transparent black", TestPng::Filled(13, 5, PNG_COLOR_TYPE_RGB_ALPHA, 8, {0, 0, 0, 0}), 255},
        {"half transparent black", TestPng::Filled(13, 5, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0, 128}), 127},
        {"opaque black with alpha", TestPng::Filled(13, 5, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0, 255}), 0},
        {"palette", Palette({255, 255, 255, 0, 0, 0}, {}, 1), 0},
        {"palette, entry transparent", Palette({255, 255, 255, 0, 0, 0}, {255, 0}, 4), 255},
        {"interlaced", interlaced, 90},
        {"interlaced, half transparent black", interlacedAlpha, 127},
    };
    ScopedTempDir dir;
    for (const KindCase &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("picture.png");
        c.png.Write(path);
        PngImage image;
        ASSERT_TRUE(image.Read(path, {})) << image.Error();
        EXPECT_EQ(image.Width(), c.png.width);
        EXPECT_EQ(image.Height(), c.png.height);
        ASSERT_EQ(image.Pixels().size(), static_cast<size_t>(c.png.width) * c.png.height);
        size_t wrong = 0;
        for (uint8_t level : image.Pixels())
            wrong += level != c.grey;
        EXPECT_EQ(wrong, 0u) << "first level " << int(image.Pixels()[0]);
    }
}

TEST(PngImage, KeepsThePixelsOfAPictureInPlace)
{
    // A grey ramp across, darker rows down: every pixel its own level.
    TestPng png = TestPng::Filled(200, 3, PNG_COLOR_TYPE_GRAY, 8, {0});
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 200; ++x)
            png.rows[y * 200 + x] = static_cast<uint8_t>(x + 20 * y);
    png.ppi = 203;
    ScopedTempDir dir;
    png.Write(dir.File("ramp.png"));
    PngImage image;
    ASSERT_TRUE(image.Read(dir.File("ramp.png"), {})) << image.Error();
    EXPECT_EQ(image.Pixels(), png.rows);
    EXPECT_EQ(image.XPpi(), 203u);
    EXPECT_EQ(image.YPpi(), 203u);
}

TEST(PngImage, RefusesWhatItCannotReadWithAReason)
{
    ScopedTempDir dir;
    TestPng::Filled(300, 200, PNG_COLOR_TYPE_GRAY, 8, {7}).Write(dir.File("big.png"));
    std::ifstream whole(dir.File("big.png"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    std::ofstream(dir.File("cut.png"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::ofstream(dir.File("text.png"), std::ios::binary) << "not a picture at all";

    struct Refusal {
        const char *file;
        PngImage::Limits limits;
        const char *reason;
    };
    const Refusal refusals[] = {
        {"missing.png", {}, "cannot open"},
        {"text.png", {}, "damaged"},
        {"cut.png", {}, "damaged"},
        {"big.png", {299, 16384, 0}, "too large"},
        {"big.png", {16384, 199, 0}, "too large"},
        {"big.png", {16384, 16384, 300 * 200 - 1}, "too large"},
    };
    for (const Refusal &r : refusals) {
        SCOPED_TRACE(r.file);
        PngImage image;
        EXPECT_FALSE(image.Read(dir.File(r.file), r.limits));
        EXPECT_NE(image.Error().find(r.reason), std::string::npos) << image.Error();
        EXPECT_TRUE(image.Pixels().empty());
    }
    PngImage image;
    EXPECT_TRUE(image.Read(dir.File("big.png"), {300, 200, 300 * 200})) << image.Error();
}

}  // namespace
