#include <gtest/gtest.h>

#include <string>

#include "kernel/database/code_page_p.h"

namespace {

std::u16string widen(const std::string& s, int capacity = 64)
{
    std::u16string out(static_cast<size_t>(capacity), u'\0');
    out.resize(static_cast<size_t>(ansi_to_utf16(s.data(), static_cast<int>(s.size()), out.data(), capacity)));
    return out;
}

std::string narrow(const std::u16string& u, int capacity = 64)
{
    std::string out(static_cast<size_t>(capacity), '\0');
    out.resize(static_cast<size_t>(utf16_to_ansi(u.data(), static_cast<int>(u.size()), out.data(), capacity)));
    return out;
}

TEST(CodePage, GbkRoundTrip)
{
    const struct {
        std::string bytes;
        std::u16string units;
    } cases[] = {
        {"\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},  // 中文
        {"x\xBA\xBA" "y", u"x\u6C49y"},         // x汉y
        {"plain", u"plain"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(widen(c.bytes), c.units);
        EXPECT_EQ(narrow(c.units), c.bytes);
    }
}

TEST(CodePage, UnconvertibleInputIsReplaced)
{
    EXPECT_EQ(widen("a\x81"), u"a\uFFFD");              // a lead byte cut at the end
    EXPECT_EQ(narrow(u"a\u0E01b"), "a?b");              // a Thai letter has no GBK form
    EXPECT_EQ(narrow(std::u16string(1, char16_t(0xD800))), "?");  // a lone surrogate
}

TEST(CodePage, OutputNeverPassesItsCapacity)
{
    EXPECT_EQ(widen("abcdef", 3), u"abc");
    EXPECT_EQ(narrow(u"\u4E2D\u6587", 3), "\xD6\xD0");  // no half character
    EXPECT_EQ(widen("", 4), u"");
    EXPECT_EQ(ansi_to_utf16(nullptr, 3, nullptr, 3), 0);
}

}  // namespace
