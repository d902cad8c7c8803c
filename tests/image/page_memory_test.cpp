// Large page images live in their own zeroed, huge-page aligned mappings that
// waste little memory; everything smaller, and a refused mapping, falls back
// to the heap.
#include "image/page_memory.h"
#include "image/raster_image.h"

#include <gtest/gtest.h>

#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

bool IsMapped(const uint8_t *p)
{
    errno = 0;
    return msync(const_cast<uint8_t *>(p), 4096, MS_ASYNC) == 0 || errno != ENOMEM;
}

TEST(PageMemory, LargeBlocksAreAlignedZeroedWritableAndUnmappedOnRelease)
{
    constexpr size_t kTwoMiB = size_t{2} << 20;
    const struct {
        size_t bytes, mapped;
    } cases[] = {
        // Small pages past the last whole huge page, while rounding up to
        // one would leave more than a quarter of the block unused.
        {page_memory::kMinMappedBytes, page_memory::kMinMappedBytes},
        {kTwoMiB + 1, kTwoMiB + 4096},
        {3 * kTwoMiB + 4095, 3 * kTwoMiB + 4096},
        // A whole last huge page when that wastes a quarter of the block or less.
        {kTwoMiB, kTwoMiB},
        {kTwoMiB * 17 / 10, 2 * kTwoMiB},
        {4 * kTwoMiB + 3, 5 * kTwoMiB},
    };
    for (const auto &c : cases) {
        size_t mapped = 0;
        uint8_t *block = page_memory::MapZeroed(c.bytes, mapped);
        ASSERT_NE(block, nullptr) << c.bytes;
        EXPECT_EQ(mapped, c.mapped) << c.bytes;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % kTwoMiB, 0u) << c.bytes;
        for (size_t i = 0; i < mapped; i += 4093)
            ASSERT_EQ(block[i], 0) << c.bytes << " at " << i;
        std::memset(block, 0xA5, mapped);
        EXPECT_EQ(block[mapped - 1], 0xA5);
        page_memory::Release{mapped}(block);
        EXPECT_FALSE(IsMapped(block)) << c.bytes;
        EXPECT_FALSE(IsMapped(block + mapped - 4096)) << c.bytes;
    }
}

TEST(PageMemory, SmallAndImpossibleBlocksAreLeftToTheHeap)
{
    for (size_t bytes : {size_t{0}, size_t{1}, page_memory::kMinMappedBytes - 1, SIZE_MAX, SIZE_MAX - (size_t{4} << 20)}) {
        size_t mapped = 7;
        EXPECT_EQ(page_memory::MapZeroed(bytes, mapped), nullptr) << bytes;
        EXPECT_EQ(mapped, 0u) << bytes;
    }
}

TEST(PageMemory, LargeImagesStartClearedAndKeepTheirPixelsWhenHandedOver)
{
    // An A4 page at 300 dpi, and one just under the mapping size.
    for (const uint32_t width : {2480u, 1000u}) {
        CRasterImage image;
        const uint32_t height = width == 2480 ? 3508 : 1048;
        ASSERT_NE(image.Create(width, height, 8, 0), nullptr);
        for (uint32_t y = 0; y < height; y += 97) {
            const uint8_t *row = image.GetBits(y);
            for (uint32_t x = 0; x < image.GetEffWidth(); ++x)
                ASSERT_EQ(row[x], 0) << width << ": row " << y << ", byte " << x;
        }
        image.GetBits(height - 1)[width - 1] = 0x5A;
        CRasterImage other;
        ASSERT_TRUE(other.Transfer(image));
        EXPECT_EQ(other.GetBits(height - 1)[width - 1], 0x5A);
        EXPECT_FALSE(image.IsValid());
        // Creating again over a handed-over or existing image starts clean.
        ASSERT_NE(other.Create(width, height, 8, 0), nullptr);
        EXPECT_EQ(other.GetBits(height - 1)[width - 1], 0);
    }
}

}  // namespace
