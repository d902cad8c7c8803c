// Pictures of any shape, size and resolution land on the page with at
// least one dot each way, turned as asked.
#include "app/grey_picture.h"
#include "app/picture_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// A picture whose every pixel has its own level.
class NumberedPicture : public GreyPicture {
public:
    NumberedPicture(uint32_t w, uint32_t h, uint32_t ppi = 0)
    {
        width = w;
        height = h;
        xPpi = yPpi = ppi;
        pixels.resize(static_cast<size_t>(w) * h);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint8_t>(i);
    }
    uint8_t At(uint32_t x, uint32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

PageFrame Page(uint32_t width, uint32_t height, uint32_t margin = 0, uint32_t dpi = 203)
{
    PageFrame page;
    page.width = width;
    page.height = height;
    page.left = page.right = margin;
    page.xDpi = page.yDpi = dpi;
    return page;
}

std::vector<uint8_t> Render(const GreyPicture &picture, const PictureLayout &layout, const PageFrame &page)
{
    PictureLines lines(picture, layout, page.width);
    std::vector<uint8_t> dots(static_cast<size_t>(page.width) * page.height);
    for (uint32_t y = 0; y < page.height; ++y)
        lines.Line(y, dots.data() + static_cast<size_t>(y) * page.width);
    return dots;
}

TEST(PictureLayout, ExtremeShapesAndSizesKeepAtLeastOneDotOnThePage)
{
    struct Case {
        const char *name;
        uint32_t width, height, ppi;
        PageFrame page;
        pappl_scaling_t scaling;
        int64_t placedWidth, placedHeight;
    };
    const PageFrame receipt = Page(640, 1678, 39);
    const Case cases[] = {
        // The pictures that once stopped the server: scaled to fit, the
        // short side rounds to less than a dot.
        {"1x16384", 1, 16384, 0, receipt, PAPPL_SCALING_AUTO, 1, 1678},
        {"16384x1", 16384, 1, 0, receipt, PAPPL_SCALING_AUTO, 562, 1},
        {"3000x1", 3000, 1, 0, receipt, PAPPL_SCALING_FIT, 562, 1},
        {"1x8000 filled", 1, 8000, 0, receipt, PAPPL_SCALING_FILL, 640, 5120000},
        // Its own size smaller than a dot.
        {"1x1 at 1200 ppi", 1, 1, 1200, receipt, PAPPL_SCALING_NONE, 1, 1},
        {"1x1 at 1200 ppi, auto", 1, 1, 1200, receipt, PAPPL_SCALING_AUTO, 1, 1},
        // Its own size far beyond the page.
        {"16384x2 at 1 ppi", 16384, 2, 1, receipt, PAPPL_SCALING_NONE, 16384 * 203, 2 * 203},
        {"at its own size", 203, 406, 203, receipt, PAPPL_SCALING_AUTO, 203, 406},
        {"no size given, not scaled: 200 ppi", 400, 200, 0, Page(800, 800), PAPPL_SCALING_NONE, 406, 203},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        NumberedPicture picture(c.width, c.height, c.ppi);
        const auto layout = PictureLayout::For(c.width, c.height, c.ppi, c.page, IPP_ORIENT_PORTRAIT, c.scaling);
        ASSERT_TRUE(layout.has_value());
        EXPECT_EQ(layout->width, c.placedWidth);
        EXPECT_EQ(layout->height, c.placedHeight);
        // Centred in the printable area, or the page when filled.
        const int64_t areaLeft = c.scaling == PAPPL_SCALING_FILL ? 0 : c.page.left;
        const int64_t areaWidth = c.scaling == PAPPL_SCALING_FILL ? c.page.width : c.page.width - c.page.left - c.page.right;
        EXPECT_EQ(layout->left, areaLeft + (areaWidth - layout->width) / 2);
        // The picture shows: some dot is not paper.
        const std::vector<uint8_t> dots = Render(picture, *layout, c.page);
        EXPECT_NE(std::count(dots.begin(), dots.end(), 255), static_cast<std::ptrdiff_t>(dots.size()));
    }
}

TEST(PictureLayout, RefusesWhatCannotBePlaced)
{
    EXPECT_FALSE(PictureLayout::For(0, 10, 0, Page(100, 100), IPP_ORIENT_PORTRAIT, PAPPL_SCALING_FIT));
    EXPECT_FALSE(PictureLayout::For(10, 10, 0, Page(100, 100, 50), IPP_ORIENT_PORTRAIT, PAPPL_SCALING_FIT));
    EXPECT_FALSE(PictureLayout::For(1u << 25, 1, 0, Page(100, 100), IPP_ORIENT_PORTRAIT, PAPPL_SCALING_FIT));
}

// At its own size on a page of exactly its (turned) size, every dot is the
// pixel the turn puts there.
TEST(PictureLayout, TurnsThePictureAsAsked)
{
    struct Case {
        ipp_orient_t orientation;
        PictureLayout::Turn turn;
    };
    const Case cases[] = {
        {IPP_ORIENT_PORTRAIT, PictureLayout::Turn::None},
        {IPP_ORIENT_REVERSE_PORTRAIT, PictureLayout::Turn::Half},
        {IPP_ORIENT_LANDSCAPE, PictureLayout::Turn::Left},
        {IPP_ORIENT_REVERSE_LANDSCAPE, PictureLayout::Turn::Right},
    };
    const uint32_t w = 5, h = 3;
    NumberedPicture picture(w, h, 203);
    for (const Case &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.orientation));
        const bool sideways = c.turn == PictureLayout::Turn::Left || c.turn == PictureLayout::Turn::Right;
        const PageFrame page = sideways ? Page(h, w) : Page(w, h);
        const auto layout = PictureLayout::For(w, h, 203, page, c.orientation, PAPPL_SCALING_NONE);
        ASSERT_TRUE(layout.has_value());
        EXPECT_EQ(layout->turn, c.turn);
        const std::vector<uint8_t> dots = Render(picture, *layout, page);
        for (uint32_t y = 0; y < page.height; ++y)
            for (uint32_t x = 0; x < page.width; ++x) {
                uint8_t expected = 0;
                switch (c.turn) {
                case PictureLayout::Turn::None: expected = picture.At(x, y); break;
                case PictureLayout::Turn::Half: expected = picture.At(w - 1 - x, h - 1 - y); break;
                // A quarter turn counter-clockwise: the right column on top.
                case PictureLayout::Turn::Left: expected = picture.At(w - 1 - y, x); break;
                case PictureLayout::Turn::Right: expected = picture.At(y, h - 1 - x); break;
                }
                EXPECT_EQ(dots[y * page.width + x], expected) << x << "," << y;
            }
    }
    // Asked for no orientation, a wide picture on a tall page is turned.
    const auto automatic = PictureLayout::For(w, h, 0, Page(100, 200), IPP_ORIENT_NONE, PAPPL_SCALING_FIT);
    ASSERT_TRUE(automatic.has_value());
    EXPECT_EQ(automatic->turn, PictureLayout::Turn::Left);
}

}  // namespace
