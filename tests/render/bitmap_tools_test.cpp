#include "render/base_render.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::string Bytes(const CRasterImage &image)
{
    return std::string(reinterpret_cast<const char *>(image.GetBits(0)),
                       size_t{image.GetEffWidth()} * image.GetHeight());
}

// A page of random bytes, row tails included.
void FillRandom(CRasterImage &image, uint32_t width, uint32_t height, uint32_t bpp, uint32_t seed)
{
    ASSERT_NE(image.Create(width, height, bpp, 0), nullptr);
    std::mt19937 random(seed);
    uint8_t *bits = image.GetBits(0);
    for (size_t i = 0; i < size_t{image.GetEffWidth()} * height; ++i)
        bits[i] = static_cast<uint8_t>(random() >> 24);
}

} // namespace

TEST(BitmapTools, NegativeComplementsEveryByteAndTwiceRestoresThePage)
{
    CBaseRender render;
    FillRandom(render.image, 385, 9, 1, 3);
    const std::string before = Bytes(render.image);
    render.Negative();
    const std::string once = Bytes(render.image);
    ASSERT_EQ(once.size(), before.size());
    for (size_t i = 0; i < once.size(); ++i)
        ASSERT_EQ(static_cast<uint8_t>(once[i]), static_cast<uint8_t>(~before[i])) << i;
    render.Negative();
    EXPECT_EQ(Bytes(render.image), before);
}

TEST(BitmapTools, RowTailsBecomeWhiteAndDotsInsideTheWidthStay)
{
    struct Case {
        uint32_t width;
        uint32_t effWidth;
    };
    for (const Case c : {Case{385, 52}, Case{384, 48}, Case{1, 4}, Case{31, 4}, Case{39, 8}}) {
        CBaseRender render;
        FillRandom(render.image, c.width, 5, 1, c.width);
        ASSERT_EQ(render.image.GetEffWidth(), c.effWidth);
        const std::string before = Bytes(render.image);
        render.AdjustEffWidthBits();
        const std::string after = Bytes(render.image);
        for (uint32_t y = 0; y < 5; ++y) {
            for (uint32_t x = 0; x < c.effWidth * 8; ++x) {
                const size_t byte = size_t{y} * c.effWidth + x / 8;
                const int bit = 7 - static_cast<int>(x % 8);
                const int was = (static_cast<uint8_t>(before[byte]) >> bit) & 1;
                const int is = (static_cast<uint8_t>(after[byte]) >> bit) & 1;
                ASSERT_EQ(is, x < c.width ? was : 1) << "width " << c.width << " x " << x << " y " << y;
            }
        }
    }
}

TEST(BitmapTools, RowTailFillLeavesPagesOfMoreBitsAlone)
{
    CBaseRender render;
    FillRandom(render.image, 13, 3, 8, 9);
    const std::string before = Bytes(render.image);
    render.AdjustEffWidthBits();
    EXPECT_EQ(Bytes(render.image), before);
}

TEST(BitmapTools, EmptyPageIsLeftAlone)
{
    CBaseRender render;
    render.Negative();
    render.AdjustEffWidthBits();
    EXPECT_FALSE(render.image.IsValid());
}
