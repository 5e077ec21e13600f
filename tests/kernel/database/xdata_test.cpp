#include <gtest/gtest.h>

#include <string>

#include "kernel/database/xdata.h"

namespace {

std::string bytes_of(const MB_Xdata& x)
{
    return x.buffer() ? std::string(x.buffer(), x.size()) : std::string();
}

TEST(Xdata, CopiesOwnTheirBytes)
{
    const char raw[] = {'h', 0, 'o', 's', 't'};
    MB_Xdata a;
    EXPECT_EQ(a.size(), 0u);
    EXPECT_EQ(a.buffer(), nullptr);
    a.buffer(raw, 5);
    EXPECT_EQ(bytes_of(a), std::string(raw, 5));
    EXPECT_EQ(a.buffer()[5], '\0');

    MB_Xdata b(a);
    MB_Xdata c;
    c = a;
    EXPECT_NE(b.buffer(), a.buffer());
    EXPECT_NE(c.buffer(), a.buffer());
    a.buffer()[0] = 'H';
    EXPECT_EQ(bytes_of(b), std::string(raw, 5));
    EXPECT_EQ(bytes_of(c), std::string(raw, 5));

    MB_Xdata empty;
    c = empty;
    EXPECT_EQ(c.size(), 0u);
    EXPECT_EQ(c.buffer(), nullptr);
}

TEST(Xdata, OwnBytesAndEmptyInput)
{
    MB_Xdata x;
    x.buffer("abcdef", 6);
    x = x;
    EXPECT_EQ(bytes_of(x), "abcdef");
    x.buffer(x.buffer(), 6);
    EXPECT_EQ(bytes_of(x), "abcdef");
    x.buffer(x.buffer() + 2, 3);
    EXPECT_EQ(bytes_of(x), "cde");

    for (int n : {0, -1}) {
        x.buffer("abc", n);
        EXPECT_EQ(x.size(), 0u);
        EXPECT_EQ(x.buffer(), nullptr);
    }
    x.buffer("abc", 3);
    x.buffer(nullptr, 3);
    EXPECT_EQ(x.size(), 0u);
    x.buffer("abc", 3);
    x.free();
    EXPECT_EQ(x.buffer(), nullptr);
    x.free();
}

}  // namespace
