#include "geometry_reference.h"

#include <cmath>
#include <limits>
#include <string>

using geomref::SameImage;

namespace {

struct Operation {
    const char *name;
    std::function<bool(CRasterImage &)> apply;
    std::function<void(const CRasterImage &, CRasterImage &)> reference;
};

std::string Describe(uint32_t w, uint32_t h, uint32_t bpp, bool alpha)
{
    return std::to_string(w) + "x" + std::to_string(h) + " at " + std::to_string(bpp) + " bpp" +
           (alpha ? " with alpha" : "");
}

TEST(GeometryFastPaths, TurnsAndMirrorMatchPixelByPixelVersions)
{
    auto rotate = [](float angle) { return [angle](CRasterImage &i) { return i.Rotate(angle); }; };
    const Operation operations[] = {
        {"Rotate(90)", rotate(90), geomref::Turn90},
        {"Rotate(450)", rotate(450), geomref::Turn90},
        {"Rotate(-270)", rotate(-270), geomref::Turn90},
        {"Rotate(270)", rotate(270), geomref::Turn270},
        {"Rotate(-90)", rotate(-90), geomref::Turn270},
        {"Rotate(180)", rotate(180), geomref::Turn180},
        {"Rotate(-180)", rotate(-180), geomref::Turn180},
        {"Rotate(540)", rotate(540), geomref::Turn180},
        {"Rotate180()", [](CRasterImage &i) { return i.Rotate180(); }, geomref::Turn180},
        {"Rotate(0)", rotate(0), geomref::Same},
        {"Rotate(360)", rotate(360), geomref::Same},
        {"Rotate(-720)", rotate(-720), geomref::Same},
        {"Mirror(false, true)", [](CRasterImage &i) { return i.Mirror(false, true); }, geomref::Mirror},
    };
    std::mt19937 rng(20261208);
    for (const auto &[w, h] : geomref::kOddSizes) {
        for (uint32_t bpp : geomref::kDepths) {
            for (bool withAlpha : {false, true}) {
                CRasterImage source;
                geomref::MakeRandom(source, w, h, bpp, withAlpha, rng);
                for (const Operation &op : operations) {
                    SCOPED_TRACE(std::string(op.name) + " of " + Describe(w, h, bpp, withAlpha));
                    CRasterImage expected;
                    op.reference(source, expected);
                    CRasterImage actual(source, true, true, true);
                    ASSERT_TRUE(op.apply(actual));
                    EXPECT_TRUE(SameImage(actual, expected));
                }
            }
        }
    }
}

TEST(GeometryFastPaths, CropMatchesPixelByPixelVersion)
{
    std::mt19937 rng(31);
    for (const auto &[w32, h32] : geomref::kOddSizes) {
        const int32_t w = static_cast<int32_t>(w32), h = static_cast<int32_t>(h32);
        std::vector<tagRECT> rects = {{0, 0, w, h},          {w, 0, 0, h},         {-5, -5, w + 5, h + 5},
                                      {1, 1, w - 1, h - 1},  {w / 3, h / 4, w - w / 5, h - h / 3},
                                      {w - 1, h, w, h - 1},  {0, 10, w, 10},       {3, 0, 3, h}};
        std::uniform_int_distribution<int32_t> across(-3, w + 3), down(-3, h + 3);
        for (int i = 0; i < 12; ++i)
            rects.push_back({across(rng), down(rng), across(rng), down(rng)});
        for (uint32_t bpp : geomref::kDepths) {
            for (bool withAlpha : {false, true}) {
                CRasterImage source;
                geomref::MakeRandom(source, w32, h32, bpp, withAlpha, rng);
                for (const tagRECT &r : rects) {
                    SCOPED_TRACE("Crop(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " +
                                 std::to_string(r.right) + ", " + std::to_string(r.bottom) + ") of " +
                                 Describe(w32, h32, bpp, withAlpha));
                    CRasterImage expected;
                    const bool kept = geomref::Crop(source, r.left, r.top, r.right, r.bottom, expected);
                    CRasterImage actual(source, true, true, true);
                    ASSERT_EQ(actual.Crop(r), kept);
                    EXPECT_TRUE(SameImage(actual, kept ? expected : source));
                }
            }
        }
    }
}

// Pixel (x, y) of an 8-bit image holding y * width + x.
void MakeNumbered(CRasterImage &image, uint32_t width, uint32_t height)
{
    image.Create(width, height, 8, 0);
    image.SetGrayPalette();
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            image.GetBits(y)[x] = static_cast<uint8_t>(y * width + x);
}

TEST(Rotate, QuarterTurnsKeepEverySourcePixel)
{
    struct Expectation {
        float angle;
        uint8_t row0[4];     // target row 0
        uint8_t column0[8];  // target column 0
    };
    // 8 x 4 source: target of 90 degrees takes (7 - Y, X), of 270 (Y, 3 - X).
    const Expectation table[] = {
        {90, {7, 15, 23, 31}, {7, 6, 5, 4, 3, 2, 1, 0}},
        {270, {24, 16, 8, 0}, {24, 25, 26, 27, 28, 29, 30, 31}},
    };
    for (const Expectation &e : table) {
        SCOPED_TRACE(e.angle);
        CRasterImage image;
        MakeNumbered(image, 8, 4);
        ASSERT_TRUE(image.Rotate(e.angle));
        ASSERT_EQ(image.GetWidth(), 4u);
        ASSERT_EQ(image.GetHeight(), 8u);
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(image.GetPixelIndex(x, 0), e.row0[x]) << "x " << x;
        for (int32_t y = 0; y < 8; ++y)
            EXPECT_EQ(image.GetPixelIndex(0, y), e.column0[y]) << "y " << y;
        // No pixel lost, none duplicated.
        std::vector<int> seen(32, 0);
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 4; ++x)
                ++seen.at(image.GetPixelIndex(x, y));
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 32);
    }
}

TEST(Rotate, FourQuarterTurnsGiveTheImageBack)
{
    std::mt19937 rng(5);
    CRasterImage source;
    geomref::MakeRandom(source, 2480 / 8 + 3, 97, 1, true, rng);
    CRasterImage expected;
    geomref::Same(source, expected);  // the same pixels with clean row padding
    CRasterImage image(source, true, true, true);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(image.Rotate(90));
    EXPECT_TRUE(SameImage(image, expected));
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(image.Rotate(-90));
    EXPECT_TRUE(SameImage(image, expected));
}

TEST(Rotate, OtherAnglesFillTheCornersWithTheOutsideValue)
{
    // 1 bit: only source pixel (7, 0) is set, and the first byte of row 0
    // is what every position outside the image reads.
    CRasterImage bits(10, 10, 1, 0);
    bits.SetGrayPalette();
    bits.SetPixelIndex(7, 0, 1);
    ASSERT_TRUE(bits.Rotate(45));
    EXPECT_EQ(bits.GetWidth(), 14u);
    EXPECT_EQ(bits.GetHeight(), 14u);
    EXPECT_EQ(bits.GetPixelIndex(0, 0), 1);  // outside: lowest bit of 0x01
    EXPECT_EQ(bits.GetPixelIndex(7, 7), 0);  // source (5, 5)

    // 24 bits: the outside reads the colour of pixel (0, 0), alpha 0.
    CRasterImage colour(10, 10, 24, 0);
    colour.SetPixelColor(0, 0, imagetest::Quad(1, 2, 3), false);
    colour.SetPixelColor(5, 5, imagetest::Quad(9, 9, 9), false);
    colour.AlphaCreate();
    ASSERT_TRUE(colour.Rotate(45));
    EXPECT_TRUE(imagetest::SameQuad(colour.GetPixelColor(0, 0, false), imagetest::Quad(1, 2, 3)));
    EXPECT_TRUE(imagetest::SameQuad(colour.GetPixelColor(7, 7, false), imagetest::Quad(9, 9, 9)));
    EXPECT_EQ(colour.AlphaGet(0, 0), 0);
    EXPECT_EQ(colour.AlphaGet(7, 7), 255);
}

TEST(Rotate, RefusesWhatItCannotTurn)
{
    CRasterImage empty;
    EXPECT_FALSE(empty.Rotate(90));
    EXPECT_FALSE(empty.Rotate(45));
    EXPECT_FALSE(empty.Rotate180());
    EXPECT_FALSE(empty.Mirror());
    EXPECT_FALSE(empty.Crop(0, 0, 1, 1));
    EXPECT_FALSE(empty.IsValid());

    std::mt19937 rng(2);
    CRasterImage image;
    geomref::MakeRandom(image, 9, 5, 8, false, rng);
    CRasterImage before(image, true, true, true);
    for (float angle : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        EXPECT_FALSE(image.Rotate(angle));
        EXPECT_TRUE(SameImage(image, before));
    }

    // A long one-bit strip turned by 45 degrees would need gigabytes.
    CRasterImage strip(1u << 20, 1, 1, 0);
    ASSERT_TRUE(strip.IsValid());
    strip.GetBits(0)[0] = 0xA5;
    EXPECT_FALSE(strip.Rotate(45));
    EXPECT_STREQ(strip.GetLastError(), "RASTERIMAGE_MAX_MEMORY exceeded");
    EXPECT_EQ(strip.GetWidth(), 1u << 20);
    EXPECT_EQ(strip.GetBits(0)[0], 0xA5);
}

TEST(Geometry, DestinationTakesTheResultAndTheSourceStays)
{
    std::mt19937 rng(11);
    CRasterImage source;
    geomref::MakeRandom(source, 37, 23, 1, true, rng);
    CRasterImage before(source, true, true, true);

    CRasterImage turned, expectedTurn;
    ASSERT_TRUE(source.Rotate(90, &turned));
    geomref::Turn90(before, expectedTurn);
    EXPECT_TRUE(SameImage(turned, expectedTurn));

    CRasterImage half, expectedHalf;
    ASSERT_TRUE(source.Rotate180(&half));
    geomref::Turn180(before, expectedHalf);
    EXPECT_TRUE(SameImage(half, expectedHalf));

    CRasterImage cut, expectedCut;
    ASSERT_TRUE(source.Crop(3, 4, 30, 20, &cut));
    geomref::Crop(before, 3, 4, 30, 20, expectedCut);
    EXPECT_TRUE(SameImage(cut, expectedCut));

    EXPECT_TRUE(SameImage(source, before));
}

TEST(Geometry, GhostsAreNotOverwritten)
{
    std::mt19937 rng(3);
    CRasterImage owner;
    geomref::MakeRandom(owner, 13, 7, 1, false, rng);
    CRasterImage before(owner, true, true, true);
    CRasterImage ghost;
    ghost.Ghost(&owner);
    EXPECT_FALSE(ghost.Mirror());
    EXPECT_FALSE(ghost.Rotate(90));
    EXPECT_FALSE(ghost.Rotate180());
    EXPECT_FALSE(ghost.Crop(1, 1, 5, 5));
    EXPECT_TRUE(SameImage(owner, before));

    // Reading through a ghost into another image is fine.
    CRasterImage turned, expected;
    ASSERT_TRUE(ghost.Rotate(270, &turned));
    geomref::Turn270(before, expected);
    EXPECT_TRUE(SameImage(turned, expected));
}

TEST(Crop, RectangleRowsCountFromTheLastRow)
{
    // 1 bit, height 10: pixel (x, y) set when x + y is odd.
    CRasterImage image(8, 10, 1, 0);
    image.SetGrayPalette();
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 8; ++x)
            image.SetPixelIndex(x, y, static_cast<uint8_t>((x + y) & 1));
    for (const tagRECT &r : {tagRECT{2, 0, 6, 3}, tagRECT{6, 3, 2, 0}}) {
        CRasterImage cut;
        ASSERT_TRUE(image.Crop(r, &cut));
        ASSERT_EQ(cut.GetWidth(), 4u);
        ASSERT_EQ(cut.GetHeight(), 3u);
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 4; ++x)
                EXPECT_EQ(cut.GetPixelIndex(x, y), image.GetPixelIndex(x + 2, y + 7)) << x << "," << y;
        EXPECT_EQ(cut.GetBits(0)[0] & 0x0F, 0) << "tail bits stay clear";
    }
}

TEST(Crop, KeepsPaletteAndTransparentIndex)
{
    CRasterImage image(20, 6, 4, 0);
    image.SetGrayPalette();
    image.SetPaletteColor(3, 10, 20, 30);
    image.SetTransIndex(3);
    ASSERT_TRUE(image.Crop(5, 1, 9, 4));
    EXPECT_EQ(image.GetTransIndex(), 3);
    EXPECT_TRUE(imagetest::SameQuad(image.GetPaletteColor(3), imagetest::Quad(30, 20, 10)));
}

TEST(Mirror, OneBitRowOfWidthThree)
{
    CRasterImage image(3, 1, 1, 0);
    image.SetGrayPalette();
    image.GetBits(0)[0] = 0x80;  // pixels 1, 0, 0
    ASSERT_TRUE(image.Mirror());
    EXPECT_EQ(image.GetBits(0)[0], 0x20);  // pixels 0, 0, 1, tail clear
}

TEST(Mirror, PlanesFollowTheFlags)
{
    std::mt19937 rng(9);
    CRasterImage source;
    geomref::MakeRandom(source, 5, 2, 8, true, rng);
    source.SelectionCreate();
    source.SelectionGetPointer()[0] = 0;  // pixel (0, 0) unselected

    CRasterImage kept(source, true, true, true);
    ASSERT_TRUE(kept.Mirror(false, false));
    EXPECT_EQ(std::memcmp(kept.AlphaGetPointer(), source.AlphaGetPointer(), 10), 0);
    EXPECT_EQ(kept.SelectionGetPointer()[0], 0);

    CRasterImage flipped(source, true, true, true);
    ASSERT_TRUE(flipped.Mirror(true, true));
    EXPECT_EQ(flipped.AlphaGet(4, 0), source.AlphaGet(0, 0));
    EXPECT_EQ(flipped.SelectionGetPointer()[4], 0);
    EXPECT_NE(flipped.SelectionGetPointer()[0], 0);
}

}  // namespace
