#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kernel/database/mb_string.h"

namespace {

// GBK bytes of a few Chinese texts with their code points, from the GB 2312 table.
struct Gbk_Case {
    const char* bytes;
    std::u16string units;
};

const Gbk_Case k_gbk[] = {
    {"\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},       // 中文
    {"\xBA\xBA\xD7\xD6", u"\u6C49\u5B57"},       // 汉字
    {"A\xB5\xE3" "1", u"A\u70B9" "1"},           // A点1
    {"\xA1\xA1", u"\u3000"},                     // ideographic space
};

std::u16string units_of(const MB_String& s)
{
    const char16_t* u = s.unicode();
    return u ? std::u16string(u) : std::u16string();
}

TEST(MBString, Kinds)
{
    struct Case {
        MB_String s;
        bool ascii_kind;
        int length;
        const char* ascii;
    };
    const char16_t wide_ascii[] = u"Layer0";
    const char16_t wide_cjk[] = u"A\u4E2D";
    const Case cases[] = {
        {MB_String(), false, 0, nullptr},
        {MB_String(""), false, 0, nullptr},
        {MB_String(static_cast<const char*>(nullptr)), false, 0, nullptr},
        {MB_String(static_cast<const char16_t*>(nullptr)), false, 0, nullptr},
        {MB_String(u""), false, 0, nullptr},
        {MB_String(-3, "abc"), false, 0, nullptr},
        {MB_String("abc"), true, 3, "abc"},
        {MB_String(2, "abc"), true, 2, "ab"},
        {MB_String(reinterpret_cast<const unsigned char*>("\xD6\xD0")), true, 2, "\xD6\xD0"},
        {MB_String(wide_ascii), true, 6, "Layer0"},  // all units below 128: kept as 8-bit text
        {MB_String(wide_cjk), false, 2, nullptr},    // 16-bit text
        {MB_String(1, wide_cjk), true, 1, "A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(bool(c.s.is_ascii()), c.ascii_kind);
        EXPECT_EQ(c.s.length(), c.length);
        if (c.ascii)
            EXPECT_STREQ(c.s.ascii(), c.ascii);
        else
            EXPECT_EQ(c.s.ascii(), nullptr);
        if (c.length == 0) {
            EXPECT_EQ(c.s, MB_String::kNull);
            EXPECT_EQ(c.s.unicode(), nullptr);
        }
    }
    EXPECT_EQ(units_of(MB_String(wide_cjk)), u"A\u4E2D");
}

TEST(MBString, WideningGbkText)
{
    for (const Gbk_Case& c : k_gbk) {
        MB_String s(c.bytes);
        const MB_String fresh(c.bytes);
        ASSERT_TRUE(s.is_ascii());
        EXPECT_EQ(units_of(s), c.units);
        // The 8-bit text is untouched by widening; copies and comparisons see it.
        EXPECT_STREQ(s.ascii(), c.bytes);
        EXPECT_EQ(s, fresh);
        const MB_String copy(s);
        EXPECT_STREQ(copy.ascii(), c.bytes);
        // A caller reading length() units from the widened text stays in the buffer.
        const char16_t* u = s.unicode();
        for (int i = static_cast<int>(c.units.size()); i < s.length(); ++i) EXPECT_EQ(u[i], 0);
    }
    EXPECT_EQ(units_of(MB_String("plain")), u"plain");
}

TEST(MBString, BytesThatAreNotGbkSurviveWidening)
{
    const char bytes[] = "a\x81 \xFF";  // a lead byte without its trail byte, and a byte GBK never uses
    MB_String s(bytes);
    const std::u16string u = units_of(s);
    ASSERT_EQ(u.size(), 4u);
    EXPECT_EQ(u[0], u'a');
    EXPECT_EQ(u[1], 0xFFFD);
    EXPECT_EQ(u[2], u' ');
    EXPECT_EQ(u[3], 0xFFFD);
    EXPECT_STREQ(s.ascii(), bytes);
}

TEST(MBString, ComparisonIsExact)
{
    EXPECT_NE(MB_String("ABC"), MB_String("abc"));
    EXPECT_EQ(MB_String("abc"), "abc");
    EXPECT_NE(MB_String("abc"), "abcd");
    EXPECT_NE(MB_String("ab"), MB_String(3, "ab\0"));  // lengths differ
    EXPECT_EQ(MB_String(), static_cast<const char*>(nullptr));
    EXPECT_EQ(MB_String(), "");
    EXPECT_EQ(MB_String(u"\u4E2D\u6587"), MB_String(u"\u4E2D\u6587"));
    EXPECT_NE(MB_String(u"\u4E2D\u6587"), MB_String(u"\u4E2D\u6588"));
    // The same text in its two kinds: the comparison does not convert.
    EXPECT_NE(MB_String(u"\u4E2D\u6587"), MB_String("\xD6\xD0\xCE\xC4"));
    MB_String widened("xyz");
    widened.unicode();
    EXPECT_EQ(widened, MB_String("xyz"));
}

TEST(MBString, AssignmentFromItself)
{
    MB_String s("layer name");
    s = s;
    EXPECT_STREQ(s.ascii(), "layer name");
    s.set(s);
    s.set(s.length(), s.ascii());
    EXPECT_STREQ(s.ascii(), "layer name");
    s.set(4, s.ascii() + 6);  // part of its own text
    EXPECT_STREQ(s.ascii(), "name");
    s = s.ascii();
    EXPECT_EQ(s, "name");

    MB_String w(u"\u4E2D-\u6587");
    w.set(w.length(), w.unicode());
    EXPECT_EQ(units_of(w), u"\u4E2D-\u6587");
    w = w.unicode() + 1;  // "-文": still 16-bit
    EXPECT_EQ(units_of(w), u"-\u6587");
    w.set(1, w.unicode());  // "-": becomes 8-bit
    EXPECT_STREQ(w.ascii(), "-");

    // 8-bit GBK text set from its own widened form becomes 16-bit text of the same characters.
    MB_String g("\xD6\xD0\xCE\xC4");
    g = g.unicode();
    EXPECT_FALSE(g.is_ascii());
    EXPECT_EQ(units_of(g), u"\u4E2D\u6587");

    s = MB_String::kNull;
    EXPECT_EQ(s.length(), 0);
    EXPECT_EQ(s.ascii(), nullptr);
}

TEST(MBString, StaticConversions)
{
    const char16_t units[] = {u'A', 0x4E2D, 0x00FF, 0};
    std::unique_ptr<unsigned char[]> low(MB_String::to_ascii(3, units));
    ASSERT_NE(low, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(low.get(), low.get() + 4), (std::vector<unsigned char>{'A', 0x2D, 0xFF, 0}));
    const unsigned char bytes[] = {'a', 0xD6, 0};
    std::unique_ptr<char16_t[]> wide(MB_String::to_unicode(2, bytes));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::u16string(wide.get()), std::u16string({u'a', char16_t(0xD6)}));
    EXPECT_EQ(MB_String::to_ascii(0, units), nullptr);
    EXPECT_EQ(MB_String::to_ascii(3, nullptr), nullptr);
    EXPECT_EQ(MB_String::to_unicode(0, bytes), nullptr);
    EXPECT_EQ(MB_String::to_unicode(2, nullptr), nullptr);

    EXPECT_TRUE(MB_String::is_ascii(2, "ab"));
    EXPECT_FALSE(MB_String::is_ascii(2, "a\x80"));
    EXPECT_TRUE(MB_String::is_ascii(1, units));
    EXPECT_FALSE(MB_String::is_ascii(2, units));

    for (int c = 0; c < 256; ++c) {
        const std::string digits = "0123456789abcdef";
        const size_t lower = digits.find(static_cast<char>(std::tolower(c)));
        const bool hex = c != 0 && std::isxdigit(c);
        EXPECT_EQ(MB_String::to_binary(static_cast<unsigned char>(c)), hex ? lower : 0u) << c;
    }
}

}  // namespace
