// JPEG documents become one grey byte per pixel, with their resolution.
#include "app/jpeg_image.h"
#include "support/temp_dir.h"
#include "test_jpeg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

TEST(JpegImage, ReadsGreyAndColourAsLuminanceWithTheirResolution)
{
    struct Case {
        const char *name;
        TestJpeg jpeg;
        int grey;      // every pixel's level, within 2 (JPEG is lossy)
        uint32_t ppi;
    };
    const Case cases[] = {
        {"grey", {13, 5, {90}}, 90, 0},
        // Colour becomes its luminance: red is dark, not white.
        {"red", {13, 5, {255, 0, 0}}, 76, 0},
        {"per inch", {13, 5, {200}, 1, 300, 300}, 200, 300},
        {"per centimetre", {13, 5, {200}, 2, 118, 118}, 200, 300},
        {"pixels not square", {13, 5, {200}, 1, 300, 150}, 200, 0},
        {"progressive", {40, 30, {30}, 0, 1, 1, true}, 30, 0},
    };
    ScopedTempDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.jpeg.Write(dir.File("picture.jpg"));
        JpegImage image;
        ASSERT_TRUE(image.Read(dir.File("picture.jpg"), {})) << image.Error();
        EXPECT_EQ(image.Width(), c.jpeg.width);
        EXPECT_EQ(image.Height(), c.jpeg.height);
        EXPECT_EQ(image.XPpi(), c.ppi);
        ASSERT_EQ(image.Pixels().size(), static_cast<size_t>(c.jpeg.width) * c.jpeg.height);
        size_t wrong = 0;
        for (uint8_t level : image.Pixels())
            wrong += std::abs(level - c.grey) > 2;
        EXPECT_EQ(wrong, 0u) << "first level " << int(image.Pixels()[0]);
    }
}

TEST(JpegImage, RefusesWhatItCannotReadWithAReason)
{
    ScopedTempDir dir;
    TestJpeg{300, 200, {7}}.Write(dir.File("big.jpg"));
    TestJpeg{30, 20, {0, 0, 0, 255}}.Write(dir.File("cmyk.jpg"));
    std::ofstream(dir.File("text.jpg"), std::ios::binary) << "not a picture at all";
    struct Refusal {
        const char *file;
        GreyPicture::Limits limits;
        const char *reason;
    };
    const Refusal refusals[] = {
        {"missing.jpg", {}, "cannot open"},
        {"text.jpg", {}, "damaged"},
        {"cmyk.jpg", {}, "CMYK"},
        {"big.jpg", {299, 16384, 0}, "too large"},
        {"big.jpg", {16384, 16384, 300 * 200 - 1}, "too large"},
    };
    for (const Refusal &r : refusals) {
        SCOPED_TRACE(r.file);
        JpegImage image;
        EXPECT_FALSE(image.Read(dir.File(r.file), r.limits));
        EXPECT_NE(image.Error().find(r.reason), std::string::npos) << image.Error();
        EXPECT_TRUE(image.Pixels().empty());
    }
    // A file cut short prints what arrived.
    const std::string whole = ReadFileBytes(dir.File("big.jpg"));
    std::ofstream(dir.File("cut.jpg"), std::ios::binary) << whole.substr(0, whole.size() / 2);
    JpegImage image;
    EXPECT_TRUE(image.Read(dir.File("cut.jpg"), {})) << image.Error();
    EXPECT_EQ(image.Pixels().size(), 300u * 200u);
}

}  // namespace
