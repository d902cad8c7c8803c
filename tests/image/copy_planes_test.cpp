#include "image/raster_image.h"
#include "image_test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using imagetest::Quad;
using imagetest::SameQuad;

namespace {

CRasterImage *MakeDecorated(CRasterImage &image)
{
    std::mt19937 rng(7);
    imagetest::MakeRandom(image, 5, 3, 8, rng);
    image.SetXDPI(203);
    image.SetTransIndex(17);
    image.AlphaCreate();
    image.AlphaSet(2, 1, 9);
    image.SelectionCreate();
    return &image;
}

TEST(RasterImageCopy, CopyIsDeepAndCarriesRecordAndPlanes)
{
    CRasterImage src;
    MakeDecorated(src);
    CRasterImage copy(src, true, true, true);
    ASSERT_TRUE(copy.IsValid());
    EXPECT_NE(copy.GetDIB(), src.GetDIB());
    EXPECT_EQ(std::memcmp(copy.GetDIB(), src.GetDIB(), src.GetSize()), 0);
    EXPECT_EQ(copy.GetXDPI(), 203);
    EXPECT_EQ(copy.GetTransIndex(), 17);
    EXPECT_EQ(copy.AlphaGet(2, 1), 9);
    ASSERT_TRUE(copy.SelectionIsValid());
    EXPECT_NE(copy.AlphaGetPointer(), src.AlphaGetPointer());
    copy.SetPixelIndex(0, 0, static_cast<uint8_t>(src.GetPixelIndex(0, 0) + 1));
    EXPECT_NE(copy.GetPixelIndex(0, 0), src.GetPixelIndex(0, 0));
    EXPECT_EQ(copy.GetBits(2), copy.GetBits(0) + 2 * copy.GetEffWidth());
}

TEST(RasterImageCopy, CopyWithoutPixelsOrPlanes)
{
    CRasterImage src;
    MakeDecorated(src);
    CRasterImage copy(src, false, false, false);
    ASSERT_TRUE(copy.IsValid());
    EXPECT_TRUE(copy.IsGrayScale());
    EXPECT_FALSE(copy.AlphaIsValid());
    EXPECT_FALSE(copy.SelectionIsValid());
}

TEST(RasterImageCopy, AssignmentFromEmptyLeavesEmptyWithCreateText)
{
    CRasterImage target(4, 4, 8, 0), empty;
    target = empty;
    EXPECT_FALSE(target.IsValid());
    EXPECT_STREQ(target.GetLastError(), "CRasterImage::Create : width and height must be greater than zero");
    CRasterImage self;
    MakeDecorated(self);
    uint8_t *before = self.GetDIB();
    CRasterImage &alias = self;
    self = alias;
    EXPECT_EQ(self.GetDIB(), before);
}

TEST(RasterImageCopy, CopyInfoOnlyIntoImageWithoutMemory)
{
    CRasterImage src;
    MakeDecorated(src);
    CRasterImage fresh, valid(2, 2, 8, 0);
    fresh.CopyInfo(src);
    valid.CopyInfo(src);
    EXPECT_EQ(fresh.GetXDPI(), 203);
    EXPECT_EQ(fresh.GetTransIndex(), 17);
    EXPECT_EQ(valid.GetXDPI(), 96);
    EXPECT_EQ(valid.GetTransIndex(), -1);
}

TEST(RasterImageCopy, TransferMovesEverythingAndEmptiesTheSource)
{
    CRasterImage src, target(9, 9, 24, 0);
    MakeDecorated(src);
    uint8_t *dib = src.GetDIB();
    uint8_t *plane = src.AlphaGetPointer();
    ASSERT_TRUE(target.Transfer(src, true));
    EXPECT_EQ(target.GetDIB(), dib);
    EXPECT_EQ(target.AlphaGetPointer(), plane);
    EXPECT_TRUE(target.SelectionIsValid());
    EXPECT_EQ(target.GetWidth(), 5u);
    EXPECT_EQ(target.GetXDPI(), 203);
    EXPECT_FALSE(src.IsValid());
    EXPECT_FALSE(src.AlphaIsValid());
    EXPECT_FALSE(src.SelectionIsValid());
    EXPECT_EQ(src.GetWidth(), 0u);
    EXPECT_EQ(src.GetEffWidth(), 0u);
    EXPECT_EQ(src.GetTransIndex(), 0);  // the record is zeroed, not restarted
    EXPECT_EQ(src.GetBits(0), nullptr);
}

TEST(RasterImageGhost, GhostSharesMemoryAndRefusesToCreateOrTakeOver)
{
    CRasterImage src;
    MakeDecorated(src);
    CRasterImage ghost;
    EXPECT_EQ(ghost.Ghost(nullptr), nullptr);
    ASSERT_EQ(ghost.Ghost(&src), &ghost);
    EXPECT_TRUE(ghost.IsGhost());
    EXPECT_EQ(ghost.GetDIB(), src.GetDIB());
    EXPECT_EQ(ghost.AlphaGetPointer(), src.AlphaGetPointer());
    ghost.SetPixelIndex(1, 1, 42);
    EXPECT_EQ(src.GetPixelIndex(1, 1), 42);

    CRasterImage other(3, 3, 8, 0);
    uint8_t *otherDib = other.GetDIB();
    EXPECT_FALSE(ghost.Transfer(other, true));
    EXPECT_EQ(other.GetDIB(), otherDib);
    EXPECT_EQ(ghost.GetDIB(), src.GetDIB());
    EXPECT_EQ(ghost.Create(2, 2, 8, 0), nullptr);
    EXPECT_FALSE(ghost.Destroy());
    EXPECT_EQ(ghost.GetDIB(), src.GetDIB());

    // Nothing goes back from a ghost into its source, which owns the memory.
    EXPECT_FALSE(src.Transfer(ghost, true));
    EXPECT_EQ(src.Ghost(&ghost), nullptr);
    EXPECT_EQ(src.GetPixelIndex(1, 1), 42);

    // Copying a ghost makes another ghost of the same memory.
    CRasterImage copy;
    copy.Copy(ghost);
    EXPECT_TRUE(copy.IsGhost());
    EXPECT_EQ(copy.GetDIB(), src.GetDIB());
}

TEST(RasterImagePlanes, AlphaOperations)
{
    CRasterImage image(3, 2, 8, 0), other(3, 2, 24, 0), wrongSize(2, 3, 8, 0);
    EXPECT_EQ(image.AlphaGet(0, 0), 0);  // no plane
    ASSERT_TRUE(image.AlphaCreate());
    EXPECT_EQ(image.AlphaGet(0, 0), 255);
    image.AlphaSet(0, 0, 1);
    image.AlphaSet(2, 1, 6);
    image.AlphaSet(3, 0, 7);  // outside: ignored
    EXPECT_EQ(image.AlphaGet(3, 0), 0);

    EXPECT_FALSE(wrongSize.AlphaCopy(image));
    EXPECT_FALSE(image.AlphaCopy(wrongSize));
    ASSERT_TRUE(other.AlphaCopy(image));
    EXPECT_EQ(other.AlphaGet(2, 1), 6);

    ASSERT_TRUE(image.AlphaMirror());
    EXPECT_EQ(image.AlphaGet(2, 0), 1);
    EXPECT_EQ(image.AlphaGet(0, 1), 6);

    CRasterImage split;
    ASSERT_TRUE(image.AlphaSplit(&split));
    EXPECT_EQ(split.GetBpp(), 8);
    EXPECT_TRUE(split.IsGrayScale());
    EXPECT_EQ(split.GetPixelIndex(0, 1), 6);
    EXPECT_EQ(split.GetPixelIndex(1, 1), 255);

    // A grey image becomes the plane; anything not on the identity ramp is refused.
    split.SetPixelIndex(1, 0, 33);
    ASSERT_TRUE(other.AlphaSet(split));
    EXPECT_EQ(other.AlphaGet(1, 0), 33);
    split.SetPaletteColor(0, Quad(1, 1, 1));
    EXPECT_FALSE(other.AlphaSet(split));

    image.AlphaSet(uint8_t{80});
    EXPECT_EQ(image.AlphaGet(1, 1), 80);
    image.AlphaClear();
    EXPECT_EQ(image.AlphaGet(1, 1), 0);
    image.AlphaDelete();
    EXPECT_FALSE(image.AlphaIsValid());
}

TEST(RasterImagePlanes, SelectionOperations)
{
    CRasterImage image(5, 2, 8, 0), other(5, 2, 8, 0), wrongSize(5, 3, 8, 0);
    EXPECT_TRUE(image.BlindSelectionIsInside(4, 1));  // no plane: everything selected
    ASSERT_TRUE(image.SelectionCreate());
    tagRECT box = image.GetSelectionBox();
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.right, 5);
    EXPECT_EQ(box.bottom, 0);
    EXPECT_EQ(box.top, 2);
    image.SelectionGetPointer()[1] = 0;  // pixel (1, 0)
    image.SetSelectionBox({1, 2, 3, 0});
    EXPECT_FALSE(image.BlindSelectionIsInside(1, 0));

    EXPECT_FALSE(wrongSize.SelectionCopy(image));
    ASSERT_TRUE(other.SelectionCopy(image));
    EXPECT_FALSE(other.BlindSelectionIsInside(1, 0));
    EXPECT_EQ(other.GetSelectionBox().right, 3);

    ASSERT_TRUE(image.SelectionMirror());
    EXPECT_FALSE(image.BlindSelectionIsInside(3, 0));
    EXPECT_TRUE(image.BlindSelectionIsInside(1, 0));
    box = image.GetSelectionBox();
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.right, 4);

    ASSERT_TRUE(image.SelectionDelete());
    EXPECT_FALSE(image.SelectionIsValid());
    box = image.GetSelectionBox();
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 0);
    EXPECT_EQ(box.bottom, 2);
    EXPECT_FALSE(image.SelectionMirror());
}

}  // namespace
