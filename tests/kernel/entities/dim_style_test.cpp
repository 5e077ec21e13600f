#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "geometry/transform.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/system_setting.h"
#include "kernel/entities/dim_style.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/text/text_style.h"

using namespace entity_test;

namespace {

Bytes le_ushort(unsigned short v)
{
    return Bytes{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

// A style with every value distinct, so that a swapped or shifted field shows.
void fill_distinct(MB_Dim_Style& s, const char* name)
{
    s.name(name);
    for (int i = 0; i < MB_Dim_Style::k_color_count; ++i) s.color()[i] = 0x010203 * (i + 1);
    for (int i = 0; i < MB_Dim_Style::k_int_count; ++i) s.int_val()[i] = static_cast<unsigned short>(0x0101 * (i + 1));
    for (int i = 0; i < MB_Dim_Style::k_real_count; ++i) s.real_val()[i] = 0.5 + i * 1.25;
}

// The record written out by hand: opcode, counted name, 3 x 4, 13 x 2 and 16 x 8 bytes.
Bytes expected_record(const MB_Dim_Style& s, const std::string& name)
{
    Bytes out = "Q" + counted(name);
    for (int i = 0; i < MB_Dim_Style::k_color_count; ++i) out += le_long(static_cast<mb_long>(s.color()[i]));
    for (int i = 0; i < MB_Dim_Style::k_int_count; ++i) out += le_ushort(s.int_val()[i]);
    for (int i = 0; i < MB_Dim_Style::k_real_count; ++i) out += le_double(s.real_val()[i]);
    return out;
}

bool same_values(const MB_Dim_Style& a, const MB_Dim_Style& b)
{
    return std::strcmp(a.char_name() ? a.char_name() : "", b.char_name() ? b.char_name() : "") == 0 &&
           std::memcmp(a.color(), b.color(), sizeof(long) * MB_Dim_Style::k_color_count) == 0 &&
           std::memcmp(a.int_val(), b.int_val(), sizeof(unsigned short) * MB_Dim_Style::k_int_count) == 0 &&
           std::memcmp(a.real_val(), b.real_val(), sizeof(double) * MB_Dim_Style::k_real_count) == 0;
}

}  // namespace

TEST(Dim_Style, TakesTheOperationSettingsWhenMadeAndKeepsThem)
{
    Op_Fixture f;
    MB_System_Setting& s = f.settings();
    for (int i = 0; i < 16; ++i) s.set_real_val(MB_System_Setting::k_real_dim_first + i, 100.0 + i);
    // Integers wider than 16 bits keep their low 16 bits.
    for (int i = 0; i < 13; ++i) s.set_long_val(MB_System_Setting::k_long_dim_first + i, 0x30000 + 7 * i);
    s.set_long_val(11, 111);
    s.set_long_val(9, 99);
    s.set_long_val(8, 88);

    MB_Dim_Style style;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(style.real_val()[i], 100.0 + i) << "real " << i;
    for (int i = 0; i < 13; ++i) EXPECT_EQ(style.int_val()[i], 7 * i) << "integer " << i;
    EXPECT_EQ(style.color()[0], 111);
    EXPECT_EQ(style.color()[1], 99);
    EXPECT_EQ(style.color()[2], 88);
    EXPECT_EQ(style.text_style().height(), 115.0);
    EXPECT_EQ(style.text_style().ali_flag(), 2);

    s.set_real_val(MB_System_Setting::k_real_dim_first + 1, -1.0);
    s.set_long_val(8, 1);
    EXPECT_EQ(style.real_val()[1], 101.0);
    EXPECT_EQ(style.color()[2], 88);
}

TEST(Dim_Style, WithoutAnOperationTakesTheDefaultSettings)
{
    ASSERT_FALSE(api_has_active_operation());
    const MB_System_Setting defaults;
    MB_Dim_Style style;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(style.real_val()[i], defaults.get_real_val(MB_System_Setting::k_real_dim_first + i)) << i;
    EXPECT_EQ(style.color()[2], defaults.get_long_val(8));
    EXPECT_EQ(style.text_style().height(), defaults.get_real_val(MB_System_Setting::k_real_dim_first + 15));
}

TEST(Dim_Style, RecordGoldenAndRoundTrip)
{
    MB_Dim_Style style;
    fill_distinct(style, "ISO-25");
    const Bytes bytes = record_bytes(style);
    ASSERT_EQ(bytes.size(), 1u + 4 + 6 + 12 + 26 + 128);
    EXPECT_EQ(to_hex(bytes), to_hex(expected_record(style, "ISO-25")));

    Record_Reader r;
    ASSERT_EQ(r.read(bytes), MB_Result::Success);
    ASSERT_EQ(r.drawing().dim_style_list().count(), 1);
    auto* read = dynamic_cast<MB_Dim_Style*>(r.drawing().dim_style_list().get_head());
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(same_values(*read, style));
    EXPECT_EQ(to_hex(record_bytes(*read)), to_hex(bytes));
    // The text style is not in the record: the one of the constructor stays.
    EXPECT_EQ(read->text_style().ali_flag(), 2);
}

TEST(Dim_Style, TruncatedRecordLeavesNoStyle)
{
    MB_Dim_Style style;
    fill_distinct(style, "ab");
    const Bytes bytes = record_bytes(style);
    for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
        Record_Reader r;
        EXPECT_NE(r.read_raw(k_header + bytes.substr(0, cut)), MB_Result::Success) << cut;
        EXPECT_EQ(r.drawing().dim_style_list().count(), 0) << "cut at " << cut;
    }
}

TEST(Dim_Style, CopyToKeepsTheTargetTextStyleWhileCopiesTakeEverything)
{
    MB_Dim_Style source;
    fill_distinct(source, "src");
    source.text_style().height(3.0);
    MB_Dim_Style target;
    target.text_style().height(42.0);
    target.text_style().name("mine");

    source.copy_to(target);
    EXPECT_TRUE(same_values(target, source));
    EXPECT_EQ(target.text_style().height(), 42.0);
    EXPECT_STREQ(target.text_style().name().ascii(), "mine");

    MB_Dim_Style copy(source);
    EXPECT_TRUE(same_values(copy, source));
    EXPECT_EQ(copy.text_style().height(), 3.0);
    EXPECT_NE(&copy.text_style(), &source.text_style());
    MB_Object* clone = nullptr;
    ASSERT_TRUE(source.copy_to(clone));
    EXPECT_TRUE(same_values(*static_cast<MB_Dim_Style*>(clone), source));
    delete clone;
}

TEST(Dim_Style, MadeInsideACommandRecordsOnlyItself)
{
    Op_Fixture f;
    MB_Dim_Style* style = nullptr;
    f.command("style", [&] {
        style = new MB_Dim_Style;
        f.drawing->dim_style_list().add_tail(style);
    });
    f.undo();
    EXPECT_EQ(f.drawing->dim_style_list().count(), 0);
    f.redo();
    // Only the style comes back: its private text style was never recorded as content.
    EXPECT_EQ(f.drawing->dim_style_list().count(), 1);
    EXPECT_EQ(f.drawing->text_style_list().count(), 0);
    EXPECT_EQ(f.drawing->object_list().count(), 0);
}

TEST(Arrow, PaintsTheFilledTriangle)
{
    Recording_Dc dc;
    Qe_Tran identity;
    Qe_Pt tip(0.0, 0.0, 0.0);
    mb_arrow().draw(dc.dc, identity, 0, tip, Qe_Uvec(1.0, 0.0, 0.0), 3.0, 2.0);
    const auto calls = dc.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].name, "Polygon");
    EXPECT_EQ(calls[0].args, (std::vector<long long>{4, 0, 0, 3, -1, 3, 1, 0, 0}));
    // The one instance is the same on every call.
    EXPECT_EQ(&mb_arrow(), &mb_arrow());
}
