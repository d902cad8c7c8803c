#include "render/my_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Contents(const CMyBuffer &buffer)
{
    return std::string(buffer.GetBuffer(), static_cast<size_t>(buffer.GetBufferLength()));
}

}  // namespace

TEST(MyBuffer, NewBufferOwns1024ZeroedBytes)
{
    CMyBuffer buffer;
    EXPECT_EQ(buffer.GetBufferLength(), 0);
    EXPECT_EQ(buffer.GetBufferSize(), 1024);
    EXPECT_EQ(buffer.GetMaxBufferSize(), 104857600);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(buffer.GetBuffer()[i], 0) << i;
}

TEST(MyBuffer, AppendsStringsNumbersAndBytesWithoutTerminators)
{
    CMyBuffer buffer;
    buffer.AddStringA("abc");
    buffer.AddInt(40);
    buffer.AddByte(13);
    EXPECT_EQ(Contents(buffer), std::string("abc40\r"));
}

TEST(MyBuffer, AddIntWritesPrintfDecimal)
{
    struct Case {
        int value;
        const char *text;
    } cases[] = {{0, "0"}, {203, "203"}, {-5, "-5"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"}};
    for (const Case &c : cases) {
        CMyBuffer buffer;
        buffer.AddInt(c.value);
        EXPECT_EQ(Contents(buffer), c.text);
    }
}

TEST(MyBuffer, GrowsToExactlyTheNeededSize)
{
    CMyBuffer buffer;
    std::vector<char> block(2000, 'x');
    buffer.AddBuffer(block.data(), 2000);
    EXPECT_EQ(buffer.GetBufferSize(), 2000);
    buffer.AddByte('y');
    EXPECT_EQ(buffer.GetBufferSize(), 2001);
    EXPECT_EQ(buffer.GetBufferLength(), 2001);
    EXPECT_EQ(buffer.GetBuffer()[2000], 'y');
}

TEST(MyBuffer, SetBufferSizeNeverShrinksOrTouchesContent)
{
    CMyBuffer buffer;
    buffer.AddStringA("keep");
    buffer.SetBufferSize(10);
    EXPECT_EQ(buffer.GetBufferSize(), 1024);
    EXPECT_EQ(Contents(buffer), "keep");
    buffer.SetBufferSize(4096);
    EXPECT_EQ(buffer.GetBufferSize(), 4096);
    EXPECT_EQ(Contents(buffer), "keep");
}

TEST(MyBuffer, InitBufferStoresZeroesAndClearsTheStorage)
{
    CMyBuffer buffer;
    std::vector<char> block(100, 'z');
    buffer.AddBuffer(block.data(), 100);
    buffer.InitBuffer(16);
    EXPECT_EQ(buffer.GetBufferLength(), 16);
    for (int i = 0; i < buffer.GetBufferSize(); ++i)
        ASSERT_EQ(buffer.GetBuffer()[i], 0) << i;
    buffer.InitBuffer(0);
    EXPECT_EQ(buffer.GetBufferLength(), 0);
}

TEST(MyBuffer, CeilingOnlyMattersWhenTheBufferMustGrow)
{
    CMyBuffer buffer;
    buffer.SetMaxBufferSize(10);
    std::vector<char> block(1000, 'a');
    buffer.AddBuffer(block.data(), 1000);
    EXPECT_EQ(buffer.GetBufferLength(), 1000);  // fits the initial 1024 bytes

    // Growing past the ceiling starts the buffer over with the new block.
    const char tail[30] = "0123456789abcdefghijklmnopqrs";
    buffer.AddBuffer(tail, 30);
    EXPECT_EQ(Contents(buffer), std::string(tail, 30));
    EXPECT_EQ(buffer.GetBufferSize(), 1024);
}

TEST(MyBuffer, BlockLargerThanStorageAfterRestartGrowsInsteadOfOverflowing)
{
    CMyBuffer buffer;
    buffer.SetMaxBufferSize(100);
    std::vector<char> first(1000, 'a');
    buffer.AddBuffer(first.data(), 1000);
    std::vector<char> big(5000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    buffer.AddBuffer(big.data(), 5000);
    ASSERT_EQ(buffer.GetBufferLength(), 5000);
    EXPECT_GE(buffer.GetBufferSize(), 5000);
    EXPECT_EQ(std::memcmp(buffer.GetBuffer(), big.data(), 5000), 0);
}

TEST(MyBuffer, NoCeilingWhenZeroOrNegative)
{
    for (int ceiling : {0, -1}) {
        CMyBuffer buffer;
        buffer.SetMaxBufferSize(ceiling);
        std::vector<char> block(1500, 'q');
        buffer.AddBuffer(block.data(), 1500);
        buffer.AddBuffer(block.data(), 1500);
        EXPECT_EQ(buffer.GetBufferLength(), 3000) << ceiling;
    }
}

TEST(MyBuffer, ARestartOrALostAppendLeavesTheBufferNotIntactUntilInitialised)
{
    CMyBuffer buffer;
    EXPECT_TRUE(buffer.IsIntact());
    buffer.SetMaxBufferSize(2000);
    std::vector<char> block(1500, 'a');
    buffer.AddBuffer(block.data(), 1500);
    EXPECT_TRUE(buffer.IsIntact());
    // Past the ceiling the first 1500 bytes are gone.
    buffer.AddBuffer(block.data(), 1500);
    EXPECT_EQ(buffer.GetBufferLength(), 1500);
    EXPECT_FALSE(buffer.IsIntact());
    EXPECT_FALSE(buffer.RanOutOfMemory());
    buffer.InitBuffer(0);
    EXPECT_TRUE(buffer.IsIntact());

    // A length that cannot be held is refused whole and counts as memory
    // that could not be had.
    buffer.AddBuffer(block.data(), 10);
    buffer.AddBuffer(block.data(), 0x7FFFFFFF);
    EXPECT_EQ(buffer.GetBufferLength(), 10);
    EXPECT_TRUE(buffer.RanOutOfMemory());
    EXPECT_FALSE(buffer.IsIntact());
}
