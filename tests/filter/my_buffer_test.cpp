#include "filter/my_buffer.h"

#include <gtest/gtest.h>

#include <string>

TEST(MyBuffer, NewBufferOwns1024ZeroedBytes)
{
    CMyBuffer buffer;
    EXPECT_EQ(buffer.GetBufferLength(), 0);
    EXPECT_EQ(buffer.GetBufferSize(), 1024);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(buffer.GetBuffer()[i], 0) << i;
}
