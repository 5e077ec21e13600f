#include <gtest/gtest.h>

#include <string>

#include "kernel/stream/byte_ring_buffer.h"

namespace {

const unsigned char* bytes(const char* s)
{
    return reinterpret_cast<const unsigned char*>(s);
}

std::string take_all(MB_Byte_Ring_Buffer& b)
{
    std::string out(b.count(), '\0');
    b.take(out.size(), reinterpret_cast<unsigned char*>(out.data()));
    return out;
}

TEST(Byte_Ring_Buffer, GrowsByAQuarterPlusOneAndKeepsOrder)
{
    MB_Byte_Ring_Buffer b;
    ASSERT_EQ(b.append(4, bytes("abcd")), 0);
    EXPECT_EQ(b.capacity(), 4u + 5u / 4u + 1u);  // 6
    ASSERT_EQ(b.append(2, bytes("ef")), 0);
    EXPECT_EQ(b.capacity(), 6u);
    unsigned char two[2];
    EXPECT_EQ(b.take(2, two), 2u);
    EXPECT_EQ(std::string(two, two + 2), "ab");
    // Room at the end is too small; the live bytes move to the front without growing.
    ASSERT_EQ(b.append(2, bytes("gh")), 0);
    EXPECT_EQ(b.capacity(), 6u);
    ASSERT_EQ(b.append(1, bytes("i")), 0);
    EXPECT_EQ(b.capacity(), 7u + 8u / 4u + 1u);  // 10
    EXPECT_EQ(take_all(b), "cdefghi");
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.take(5, two), 0u);

    ASSERT_EQ(b.append(3, bytes("xyz")), 0);
    b.drop_last();
    EXPECT_EQ(take_all(b), "xy");
}

TEST(Byte_Ring_Buffer, RefusesToGrowPastItsLimit)
{
    MB_Byte_Ring_Buffer b;
    ASSERT_EQ(b.append(3, bytes("abc")), 0);
    // The size is checked before anything is allocated or read from the source.
    EXPECT_EQ(b.append(MB_Byte_Ring_Buffer::k_max_capacity, bytes("abc")), MB_Result::Out_Of_Memory);
    EXPECT_EQ(b.append(static_cast<std::size_t>(-1), bytes("abc")), MB_Result::Out_Of_Memory);
    EXPECT_EQ(take_all(b), "abc");
}

}  // namespace
