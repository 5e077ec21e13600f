// Text styles: construction, font resolution with its fallbacks, the 'u' record and the
// font state in front of texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kernel/entities/entity_fixture.h"
#include "kernel/text/system_resource.h"
#include "kernel/text/text_style.h"
#include "kernel/text/text_fixture.h"

using namespace entity_test;

namespace {

using font_test::Font_Folder;

using Style_Fonts = text_test::Box_Fonts;

Bytes style_record(const std::string& name, const std::string& font, const std::string& big, const double (&r)[4],
                   const mb_long (&l)[2])
{
    Bytes b = "u" + counted(name) + counted(font) + counted(big);
    for (double v : r) b += le_double(v);
    for (mb_long v : l) b += le_long(v);
    return b;
}

bool same_bits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(TextStyle, ConstructionAndFallbacks)
{
    Style_Fonts fonts;
    MB_Text_Style plain;
    EXPECT_EQ(plain.name(), MB_String("*no name"));
    EXPECT_EQ(plain.font_lib(), nullptr);
    EXPECT_EQ(plain.height(), 10.0);

    // The oblique angle comes before the angle; the two longs are not taken.
    MB_Text_Style nine("S", "box.shx", "hztxt.shx", 2.5, 0.8, 0.2, 0.7, 0x100, 8192);
    EXPECT_EQ(nine.font_lib(), fonts.lib("box.shx"));
    EXPECT_EQ(nine.big_font_lib(), fonts.lib("hztxt.shx"));
    EXPECT_EQ(nine.oblique_angle(), 0.2);
    EXPECT_EQ(nine.angle(), 0.7);
    EXPECT_EQ(nine.width_scale(), 0.8);
    EXPECT_EQ(nine.font_style(), 0);
    EXPECT_EQ(nine.ali_flag(), 0);

    MB_Text_Style def;
    def.load_default();
    EXPECT_EQ(def.name(), MB_String("*default"));
    EXPECT_EQ(def.font_lib(), fonts.lib("txt.shx"));
    EXPECT_EQ(def.big_font_lib(), fonts.lib("hztxt.shx"));
    EXPECT_EQ(def.width_scale(), 1.0);

    // Unknown files fall back to the defaults; a null name changes nothing.
    EXPECT_EQ(def.font_lib("nosuch.shx"), fonts.lib("txt.shx"));
    EXPECT_EQ(def.big_font_lib("nosuch.shx"), fonts.lib("hztxt.shx"));
    def.font_lib(fonts.lib("box.shx"));
    EXPECT_EQ(def.font_lib(static_cast<const char*>(nullptr)), fonts.lib("box.shx"));

    // Deleting a style leaves its libraries in the registry.
    const int loaded = g_system_resource.fontlib_list().count();
    { MB_Text_Style gone("G", "box.shx", "hztxt.shx", 1, 1, 0, 0, 0, 0); }
    EXPECT_EQ(g_system_resource.fontlib_list().count(), loaded);
    EXPECT_NE(fonts.lib("box.shx"), nullptr);
}

TEST(TextStyle, RecordRoundTripBitForBit)
{
    Style_Fonts fonts;
    MB_Text_Style s("Plans", "box.shx", "hztxt.shx", 2.5, 1.0 / 3.0, 0.1, -0.0, 0, 0);
    s.font_style(0x140);
    s.ali_flag(8192);
    const double reals[4] = {2.5, 1.0 / 3.0, -0.0, 0.1};
    const Bytes want = style_record("Plans", "box.shx", "hztxt.shx", reals, {0x140, 8192});
    EXPECT_EQ(to_hex(record_bytes(s)), to_hex(want));

    Record_Reader r;
    ASSERT_EQ(r.read(want), 0);
    auto* back = dynamic_cast<MB_Text_Style*>(r.drawing().text_style_list().get_tail());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->name(), MB_String("Plans"));
    EXPECT_EQ(back->font_lib(), fonts.lib("box.shx"));
    EXPECT_EQ(back->big_font_lib(), fonts.lib("hztxt.shx"));
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(same_bits(back->reals()[i], reals[i])) << i;
    EXPECT_EQ(back->font_style(), 0x140);
    EXPECT_EQ(back->ali_flag(), 8192);
    EXPECT_EQ(to_hex(record_bytes(*back)), to_hex(want));
}

TEST(TextStyle, RecordFontNames)
{
    Style_Fonts fonts;
    const double reals[4] = {1, 1, 0, 0};
    struct Case {
        const char* what;
        std::string font, big;
        MB_Font_Library *want_font, *want_big;
    };
    // A 255-character file name, and the same name with more after it: names are cut at
    // 255 characters as every record name is, so the longer one finds the file.
    const std::string long_name = std::string(251, 'a') + ".shx";
    fonts.folder.put(long_name, shx_writer::shapes_file({"long", 10, 0, 0}, text_test::box_shapes({65})));
    MB_Font_Library* long_lib = g_system_resource.load_font(long_name.c_str());
    ASSERT_NE(long_lib, nullptr);
    const Case cases[] = {
        {"no font", "*no font", "*no font", nullptr, nullptr},
        {"unknown", "nosuch.shx", "gone.shx", fonts.lib("txt.shx"), fonts.lib("hztxt.shx")},
        {"any case", "BOX.SHX", "*", fonts.lib("box.shx"), nullptr},
        {"too long", long_name + "zzzz", "*no font", long_lib, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Record_Reader r;
        ASSERT_EQ(r.read(style_record("S", c.font, c.big, reals, {0, 0})), 0);
        auto* back = dynamic_cast<MB_Text_Style*>(r.drawing().text_style_list().get_tail());
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->font_lib(), c.want_font);
        EXPECT_EQ(back->big_font_lib(), c.want_big);
    }
    // A style without fonts writes "*no font" for both.
    MB_Text_Style none;
    EXPECT_EQ(to_hex(record_bytes(none)),
              to_hex(style_record("*no name", "*no font", "*no font", {10, 0, 0, 0}, {0, 0})));
}

TEST(TextStyle, TruncatedRecordsFail)
{
    Style_Fonts fonts;
    const Bytes whole = style_record("S", "box.shx", "*no font", {1, 2, 3, 4}, {5, 6});
    for (std::size_t n = 1; n < whole.size(); ++n) {
        Record_Reader r;
        EXPECT_NE(r.read_raw(k_header + whole.substr(0, n)), MB_Result::End_Of_Stream) << n;
        EXPECT_EQ(r.drawing().text_style_list().count(), 0) << n;
    }
}

// The font state a text writes names a TrueType font by its file: the face name would not
// find the file again in another process.
TEST(TextStyle, FontStateNamesTrueTypeFontsByFile)
{
    Style_Fonts fonts;
    std::vector<text_test::Call> log;
    text_test::Recording_Font ttf(MB_Font_Library::TTF_FONT, log, "Face Name");
    ttf.file_name("face.ttf");
    MB_Text_Style s("S", "box.shx", nullptr, 1, 1, 0, 0, 0, 0);
    s.font_lib(&ttf);
    stream_test::Stream st;
    ASSERT_EQ(st.open_write(), 0);
    EXPECT_TRUE(s.sync_write(st.io));
    const Bytes body = st.body();
    EXPECT_NE(body.find(counted("face.ttf")), Bytes::npos) << to_hex(body);
    EXPECT_EQ(body.find("Face Name"), Bytes::npos);
    // The style record does the same.
    EXPECT_NE(record_bytes(s).find(counted("face.ttf")), Bytes::npos);
}

}  // namespace
