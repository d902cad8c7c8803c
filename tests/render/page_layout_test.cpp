// Pages of any shape, size and resolution land on the loaded media: turned
// as asked or where that shows them larger, never cut when fitted, shrunk
// without aliasing.
#include "render/page_layout.h"
#include "render/page_resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct Page {
    uint32_t width, height;
    std::vector<uint8_t> pixels;
    Page(uint32_t w, uint32_t h, uint8_t level = 255) : width(w), height(h), pixels(size_t{w} * h, level) {}
    uint8_t &At(uint32_t x, uint32_t y) { return pixels[size_t{y} * width + x]; }
    void Fill(uint32_t left, uint32_t top, uint32_t w, uint32_t h, uint8_t level)
    {
        for (uint32_t y = top; y < top + h; ++y)
            std::fill_n(&At(left, y), w, level);
    }
    tagPageBox Whole() const { return {0, 0, width, height}; }
};

tagLayoutMedia Media(uint32_t width, uint32_t height, uint32_t margin = 0, bool roll = false)
{
    tagLayoutMedia media;
    media.width = width;
    media.height = height;
    media.left = media.right = margin;
    media.xDpi = media.yDpi = 203;
    media.roll = roll;
    return media;
}

std::vector<uint8_t> Render(const Page &page, const tagPageLayout &layout, uint32_t mediaWidth)
{
    CPageResampler lines(page.pixels.data(), page.width, layout, mediaWidth);
    std::vector<uint8_t> dots(size_t{mediaWidth} * layout.mediaHeight);
    for (uint32_t y = 0; y < layout.mediaHeight; ++y)
        lines.Line(y, dots.data() + size_t{y} * mediaWidth);
    return dots;
}

TEST(PageLayout, ExtremeShapesAndSizesKeepAtLeastOneDotOnTheMedia)
{
    struct Case {
        const char *name;
        uint32_t width, height, ppi;
        tagLayoutMedia media;
        EPageScaling scaling;
        int64_t placedWidth, placedHeight;
    };
    const tagLayoutMedia receipt = Media(640, 1678, 39);
    const Case cases[] = {
        // Scaled to fit, the short side rounds to less than a dot.
        {"1x16384", 1, 16384, 0, receipt, EPageScaling::Auto, 1, 1678},
        {"16384x1", 16384, 1, 0, receipt, EPageScaling::Auto, 562, 1},
        {"1x8000 filled", 1, 8000, 0, receipt, EPageScaling::Fill, 640, 5120000},
        // Its own size smaller than a dot, and far beyond the media.
        {"1x1 at 1200 ppi", 1, 1, 1200, receipt, EPageScaling::None, 1, 1},
        {"1x1 at 1200 ppi, auto-fit", 1, 1, 1200, receipt, EPageScaling::AutoFit, 1, 1},
        {"16384x2 at 1 ppi", 16384, 2, 1, receipt, EPageScaling::None, 16384 * 203, 2 * 203},
        {"auto-fit at its own size", 203, 406, 203, receipt, EPageScaling::AutoFit, 203, 406},
        {"auto fits, whatever its size", 203, 406, 203, receipt, EPageScaling::Auto, 562, 1124},
        {"no size given, not scaled: 200 ppi", 400, 200, 0, Media(800, 800), EPageScaling::None, 406, 203},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Page page(c.width, c.height, 0);
        const auto layout = tagPageLayout::For(page.Whole(), c.ppi, c.media, EPageTurn::None, c.scaling);
        ASSERT_TRUE(layout.has_value());
        EXPECT_EQ(layout->width, c.placedWidth);
        EXPECT_EQ(layout->height, c.placedHeight);
        const int64_t areaLeft = c.scaling == EPageScaling::Fill ? 0 : c.media.left;
        const int64_t areaWidth =
            c.scaling == EPageScaling::Fill ? c.media.width : c.media.width - c.media.left - c.media.right;
        EXPECT_EQ(layout->left, areaLeft + (areaWidth - layout->width) / 2);
        // The page shows: some dot is not paper.
        const std::vector<uint8_t> dots = Render(page, *layout, c.media.width);
        EXPECT_NE(std::count(dots.begin(), dots.end(), 255), static_cast<std::ptrdiff_t>(dots.size()));
    }
    EXPECT_FALSE(tagPageLayout::For({0, 0, 0, 10}, 0, Media(100, 100), std::nullopt, EPageScaling::Fit));
    EXPECT_FALSE(tagPageLayout::For({0, 0, 10, 10}, 0, Media(100, 100, 50), std::nullopt, EPageScaling::Fit));
    EXPECT_FALSE(tagPageLayout::For({0, 0, 1u << 25, 1}, 0, Media(100, 100), std::nullopt, EPageScaling::Fit));
}

// Fitted, whatever the shape and the turn, the content stays inside the
// printable area, and touches it on two opposite sides.
TEST(PageLayout, FittedContentIsNeverCut)
{
    const tagLayoutMedia medias[] = {Media(399, 239), Media(799, 1199), Media(463, 3000, 20, true)};
    const tagPageBox contents[] = {{0, 0, 1680, 2376}, {0, 0, 2376, 1680}, {100, 200, 7, 1900}, {5, 5, 3000, 1}};
    for (const tagLayoutMedia &media : medias)
        for (const tagPageBox &content : contents)
            for (auto scaling : {EPageScaling::Auto, EPageScaling::AutoFit, EPageScaling::Fit}) {
                SCOPED_TRACE(testing::Message() << media.width << "x" << media.height << " " << content.width
                                                << "x" << content.height);
                const auto layout = tagPageLayout::For(content, 203, media, std::nullopt, scaling);
                ASSERT_TRUE(layout.has_value());
                EXPECT_GE(layout->left, media.left);
                EXPECT_GE(layout->top, 0);
                EXPECT_LE(layout->left + layout->width, media.width - media.right);
                EXPECT_LE(layout->top + layout->height, layout->mediaHeight);
                EXPECT_TRUE(layout->width == media.width - media.left - media.right ||
                            layout->height == layout->mediaHeight || layout->width == 1 || layout->height == 1);
            }
}

// At its own size on media of exactly its turned size, every dot is the
// pixel the turn puts there.
TEST(PageLayout, TurnsThePageAsAskedAndWhereItShowsLarger)
{
    const uint32_t w = 5, h = 3;
    Page page(w, h);
    for (size_t i = 0; i < page.pixels.size(); ++i)
        page.pixels[i] = static_cast<uint8_t>(i * 10);
    for (EPageTurn turn : {EPageTurn::None, EPageTurn::Half, EPageTurn::Left, EPageTurn::Right}) {
        SCOPED_TRACE(static_cast<int>(turn));
        const bool sideways = turn == EPageTurn::Left || turn == EPageTurn::Right;
        const tagLayoutMedia media = sideways ? Media(h, w) : Media(w, h);
        const auto layout = tagPageLayout::For(page.Whole(), 203, media, turn, EPageScaling::None);
        ASSERT_TRUE(layout.has_value());
        const std::vector<uint8_t> dots = Render(page, *layout, media.width);
        for (uint32_t y = 0; y < media.height; ++y)
            for (uint32_t x = 0; x < media.width; ++x) {
                uint8_t expected = 0;
                switch (turn) {
                case EPageTurn::None: expected = page.At(x, y); break;
                case EPageTurn::Half: expected = page.At(w - 1 - x, h - 1 - y); break;
                // A quarter turn counter-clockwise: the right column on top.
                case EPageTurn::Left: expected = page.At(w - 1 - y, x); break;
                case EPageTurn::Right: expected = page.At(y, h - 1 - x); break;
                }
                EXPECT_EQ(dots[y * media.width + x], expected) << x << "," << y;
            }
    }
    // Not asked: a landscape page goes on a portrait label turned, a
    // portrait page upright; on a roll nothing is turned.
    auto chosen = [](tagPageBox box, tagLayoutMedia media) {
        return tagPageLayout::For(box, 0, media, std::nullopt, EPageScaling::Fit)->turn;
    };
    EXPECT_EQ(chosen({0, 0, 812, 600}, Media(799, 1199)), EPageTurn::Left);
    EXPECT_EQ(chosen({0, 0, 1680, 2376}, Media(799, 1199)), EPageTurn::None);
    EXPECT_EQ(chosen({0, 0, 1680, 2376}, Media(399, 239)), EPageTurn::Left);
    EXPECT_EQ(chosen({0, 0, 100, 100}, Media(399, 239)), EPageTurn::None);
    EXPECT_EQ(chosen({0, 0, 1600, 600}, Media(463, 20000, 0, true)), EPageTurn::None);
}

TEST(PageLayout, ShrinkingAveragesAndKeepsBars)
{
    // One-pixel stripes halved: every dot is half ink, where sampling one
    // pixel per dot would print all black or all white.
    Page stripes(400, 40);
    for (uint32_t x = 0; x < stripes.width; x += 2)
        stripes.Fill(x, 0, 1, stripes.height, 0);
    auto layout = tagPageLayout::For(stripes.Whole(), 0, Media(200, 20), EPageTurn::None, EPageScaling::Fit);
    ASSERT_TRUE(layout.has_value());
    for (uint8_t dot : Render(stripes, *layout, 200))
        EXPECT_NEAR(dot, 128, 1);

    // Bars of four pixels halved stay bars of two solid dots.
    Page bars(400, 40);
    for (uint32_t x = 0; x < bars.width; x += 8)
        bars.Fill(x, 0, 4, bars.height, 0);
    layout = tagPageLayout::For(bars.Whole(), 0, Media(200, 20), EPageTurn::None, EPageScaling::Fit);
    ASSERT_TRUE(layout.has_value());
    const std::vector<uint8_t> dots = Render(bars, *layout, 200);
    for (uint32_t x = 0; x < 200; ++x)
        EXPECT_EQ(dots[10 * 200 + x], x % 4 < 2 ? 0 : 255) << x;

    // Enlarged by 2.5, an edge blends over at most one dot.
    Page edge(8, 4);
    edge.Fill(0, 0, 3, 4, 0);
    layout = tagPageLayout::For(edge.Whole(), 0, Media(20, 10), EPageTurn::None, EPageScaling::Fit);
    ASSERT_TRUE(layout.has_value());
    const std::vector<uint8_t> wide = Render(edge, *layout, 20);
    const std::vector<uint8_t> expected = {0, 0, 0, 0, 0, 0, 0, 128, 255, 255};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wide.begin() + 40));
}

TEST(PageLayout, ContentBoxAndRollLength)
{
    // An A4 page at 203 dpi holding one label-sized block, on light noise.
    Page a4(1680, 2376, 250);
    a4.Fill(120, 160, 800, 480, 0);
    a4.At(1500, 2000) = 245;
    const tagPageBox box = ContentBox(a4.pixels.data(), a4.width, a4.height, a4.width);
    EXPECT_EQ(box, (tagPageBox{120, 160, 800, 480}));
    const Page blank(30, 20);
    EXPECT_EQ(ContentBox(blank.pixels.data(), 30, 20, 30), blank.Whole());

    // The block fills a 50x30 mm label...
    auto layout = tagPageLayout::For(box, 203, Media(399, 239), std::nullopt, EPageScaling::Auto);
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->turn, EPageTurn::None);
    EXPECT_EQ(layout->width, 398);
    EXPECT_EQ(layout->height, 239);
    // ...and on a 58 mm roll the page is as long as the block.
    tagLayoutMedia roll = Media(463, 24000, 24, true);
    roll.top = roll.bottom = 16;
    layout = tagPageLayout::For(box, 203, roll, std::nullopt, EPageScaling::Auto);
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->width, 415);
    EXPECT_EQ(layout->top, 16);
    EXPECT_EQ(layout->mediaHeight, 16 + 249 + 16);
}

}  // namespace
