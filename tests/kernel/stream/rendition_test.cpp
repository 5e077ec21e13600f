#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "kernel/database/block.h"
#include "kernel/database/line_attributes.h"
#include "kernel/stream/byte_marker.h"
#include "kernel/stream/font_records.h"
#include "kernel/stream/rendition_records.h"
#include "kernel/stream/stream_fixture.h"
#include "kernel/text/text_style.h"

using namespace stream_test;

namespace {

// A write stream over a file; `take` returns what was written since the last call.
struct Writer {
    Writer(bool binary = true) { EXPECT_EQ(s.open_write(binary), 0); }
    Bytes take()
    {
        std::fflush(static_cast<FILE*>(s.io.stream_user_data()));
        const Bytes all = s.file.contents();
        const Bytes out = all.substr(seen);
        seen = all.size();
        return out;
    }
    MB_FIFO_Rendition& fifo() { return s.io.fifo_rendition(); }

    Stream s;
    std::size_t seen = k_header.size();
};

TEST(FIFO_Rendition, ConstructorsSetEveryDefault)
{
    MB_Drawing d;
    MB_Block open;
    MB_FIFO_Rendition plain, with_block(&open, &d);
    for (MB_FIFO_Rendition* r : {&plain, &with_block}) {
        EXPECT_EQ(r->color(), 0u);
        EXPECT_EQ(r->display_width(), 0);
        EXPECT_EQ(r->line_scale(), 1.0);
        EXPECT_EQ(r->width(), 1.0);
        EXPECT_EQ(r->thickness(), 0.0);
        EXPECT_EQ(r->layer(), nullptr);
        EXPECT_EQ(r->text_heigh(), 1.0);
        EXPECT_EQ(r->text_width_scale(), 1.0);
        EXPECT_EQ(r->font_flag(), 0);
        EXPECT_STREQ(r->text_style_name(), "~no text style");
        EXPECT_STREQ(r->font_name(), "");
        EXPECT_STREQ(r->big_font_name(), "");
        EXPECT_STREQ(r->block_name(), "~no block");
    }
    // The block being defined is the drawing's temp block: one place says where objects go.
    EXPECT_EQ(with_block.block(), &open);
    EXPECT_EQ(d.temp_block(), &open);
    EXPECT_EQ(&with_block.creating_list(), &open.object_list());
    d.temp_block(nullptr);
}

TEST(FIFO_Rendition, PropertyRecordsOnlyForChanges)
{
    Writer w;
    MB_Layer walls(MB_String("W")), doors(MB_String("D"));
    MB_Line_Type* const dashed = reinterpret_cast<MB_Line_Type*>(&doors);  // only compared
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Step {
        mb_ulong color;
        mb_long display_width;
        double scale, width, thickness;
        MB_Line_Type* type;
        MB_Layer* layer;
        Bytes expected;
    };
    const Step steps[] = {
        {5, 2, 2.5, 0.5, 3.0, nullptr, &walls,
         hex("03") + le_long(5) + "h" + le_long(2) + "i" + le_double(2.5) + "j" + le_double(0.5) + "n" +
             le_double(3.0) + "x" + counted("W")},
        {5, 2, 2.5, 0.5, 3.0, nullptr, &walls, ""},       // nothing changed
        {5, 2, 2.5, 0.5, 3.0, dashed, &walls, ""},        // the line type has no record
        {5, 2, nan, 0.5, 3.0, dashed, &walls, ""},        // a NaN differs from nothing
        {5, 2, 2.5, 0.5, 4.0, dashed, &doors, "n" + le_double(4.0) + "x" + counted("D")},
        {5, 2, 2.5, 0.5, 4.0, dashed, nullptr, "x" + le_long(0)},  // to no layer: an empty name
        {6, 2, 2.5, 0.5, 4.0, dashed, nullptr, hex("03") + le_long(6)},
    };
    int i = 0;
    for (const Step& s : steps) {
        EXPECT_TRUE(w.fifo().write_sync_prop(s.color, s.display_width, s.scale, s.width, s.thickness, s.type, s.layer,
                                             nullptr));
        EXPECT_EQ(to_hex(w.take()), to_hex(s.expected)) << "step " << i++;
    }
    EXPECT_EQ(w.fifo().line_type(), dashed);
    EXPECT_EQ(w.fifo().layer(), nullptr);
    EXPECT_EQ(w.fifo().thickness(), 4.0);
}

TEST(FIFO_Rendition, FontRecordsOnlyForChanges)
{
    Writer w;
    const std::string long_name(300, 'q');
    const std::string cut(255, 'q');
    struct Step {
        double height, width_scale, angle, oblique;
        mb_long text_flag, font_flag;
        const char *style, *font, *big_font;
        Bytes expected;
    };
    const Step steps[] = {
        // The first text always names its style.
        {1.0, 1.0, 0.0, 0.0, 0, 0, "Standard", nullptr, nullptr, "w" + counted("Standard")},
        {2.0, 0.5, 0.25, 0.125, 3, 4, "Standard", nullptr, nullptr,
         "H" + le_double(2.0) + "K" + le_double(0.5) + "d" + le_double(0.25) + "A" + le_double(0.125) + "b" +
             le_long(3) + "o" + le_long(4)},
        // A null style empties the remembered name, so the same style is named again later.
        {2.0, 0.5, 0.25, 0.125, 3, 4, nullptr, nullptr, nullptr, ""},
        {2.0, 0.5, 0.25, 0.125, 3, 4, "Standard", "txt.shx", "hztxt.shx", "w" + counted("Standard")},
        {2.0, 0.5, 0.25, 0.125, 3, 4, "Standard", "romans.shx", nullptr, hex("06") + counted("romans.shx")},
        {2.0, 0.5, 0.25, 0.125, 3, 4, "Standard", "romans.shx", "gbcbig.shx", hex("0C") + counted("gbcbig.shx")},
        // Names are cut to their field, and a cut name equals its remembered form.
        {2.0, 0.5, 0.25, 0.125, 3, 4, long_name.c_str(), "romans.shx", "gbcbig.shx", "w" + counted(cut)},
        {2.0, 0.5, 0.25, 0.125, 3, 4, long_name.c_str(), "romans.shx", "gbcbig.shx", ""},
    };
    int i = 0;
    for (const Step& s : steps) {
        EXPECT_TRUE(w.fifo().write_sync_font(s.height, s.width_scale, s.angle, s.oblique, s.text_flag, s.font_flag,
                                             s.style, s.font, s.big_font));
        EXPECT_EQ(to_hex(w.take()), to_hex(s.expected)) << "step " << i++;
    }
    EXPECT_EQ(std::string(w.fifo().text_style_name()), cut);
}

TEST(FIFO_Rendition, NullFontNamesStandForTheDefaults)
{
    Writer w;
    w.fifo().write_sync_font(1, 1, 0, 0, 0, 0, "", nullptr, nullptr);
    w.take();
    EXPECT_STREQ(w.fifo().font_name(), "txt.shx");
    EXPECT_STREQ(w.fifo().big_font_name(), "hztxt.shx");
    w.fifo().write_sync_font(1, 1, 0, 0, 0, 0, "", "txt.shx", "hztxt.shx");
    EXPECT_EQ(w.take(), "");
}

TEST(FIFO_Rendition, BlockNameOnlyWhenItChanges)
{
    Writer w;
    EXPECT_FALSE(w.fifo().write_sync_blk_name(nullptr));
    EXPECT_TRUE(w.fifo().write_sync_blk_name("door"));
    EXPECT_FALSE(w.fifo().write_sync_blk_name("door"));
    EXPECT_TRUE(w.fifo().write_sync_blk_name("Door"));  // case-sensitive
    EXPECT_EQ(to_hex(w.take()), to_hex("J" + counted("door") + "J" + counted("Door")));
    const std::string long_name(400, 'b');
    EXPECT_TRUE(w.fifo().write_sync_blk_name(long_name.c_str()));
    EXPECT_FALSE(w.fifo().write_sync_blk_name(long_name.c_str()));
    EXPECT_EQ(to_hex(w.take()), to_hex("J" + counted(std::string(259, 'b'))));
}

TEST(FIFO_Rendition, BlockDefinition)
{
    MB_Drawing d;
    MB_FIFO_Rendition r(&d);
    EXPECT_FALSE(r.set_block_base(Qe_Pt(1, 2, 0)));
    EXPECT_EQ(&r.creating_list(), &d.object_list());

    auto* first = new MB_Block(Qe_Pt(), MB_String("twin"), MB_String("a"));
    auto* second = new MB_Block(Qe_Pt(), MB_String("twin"), MB_String("b"));
    d.block_list().add_tail(first);
    d.block_list().add_tail(second);
    EXPECT_TRUE(r.start_block(MB_String("twin"), Qe_Pt()));
    EXPECT_EQ(r.block(), first);
    EXPECT_TRUE(r.end_block());
    EXPECT_EQ(r.block(), nullptr);
    EXPECT_EQ(d.block_list().count(), 2);

    EXPECT_TRUE(r.start_block(MB_String("new"), Qe_Pt(4, 5, 0)));
    MB_Block* made = r.block();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(d.block_list().get_tail(), made);
    EXPECT_EQ(made->desc(), MB_String("Block desc0"));
    EXPECT_TRUE(r.set_block_base(Qe_Pt(1, 2, 0)));
    EXPECT_TRUE(pt_eq(made->base_pos(), Qe_Pt(1, 2, 0)));
    EXPECT_TRUE(pt_eq(Qe_Pt(1, 2, 0) * made->tran(), Qe_Pt()));
    auto* marker = new MB_Byte_Marker(1);
    r.add_object(marker);
    r.add_object(marker);  // already the tail
    r.add_object(nullptr);
    EXPECT_EQ(made->object_list().count(), 1);
    r.end_block();
    EXPECT_EQ(d.block_list().count(), 3);

    // A block opened directly joins the list when its definition ends.
    auto* loose = new MB_Block;
    r.start_block(loose);
    r.end_block();
    EXPECT_EQ(d.block_list().get_tail(), loose);
}

// Record goldens: each record on its own, and read back through the opcode reader.
TEST(Attribute_Records, GoldenBytes)
{
    struct Case {
        const char* name;
        MB_Object* record;
        Bytes expected;
    };
    const Case cases[] = {
        {"line scale", new MB_Line_Scale(2.5), hex("69 00 00 00 00 00 00 04 40")},
        {"display width", new MB_Display_Width(-2), hex("68 FE FF FF FF")},
        {"width", new MB_Width(0.5), "j" + le_double(0.5)},
        {"thickness", new MB_Thickness(3.0), "n" + le_double(3.0)},
        {"font name", new MB_Font_Name(MB_String("a.shx")), hex("06") + counted("a.shx")},
        {"font value", new MB_Font_Value(9), "C" + le_long(9)},
        {"style name", new MB_Text_Style_Name(), "w" + counted("Text Style")},
        {"byte marker", new MB_Byte_Marker(7), hex("04 07")},
        {"rendition code", new MB_Rendition_Code(5), "s" + le_long(5)},
        {"rendition subcode", new MB_Rendition_Subcode(5), "s" + le_long(5)},
    };
    for (const Case& c : cases) {
        Writer w;
        EXPECT_EQ(c.record->serialize(w.s.io), 0);
        EXPECT_EQ(to_hex(w.take()), to_hex(c.expected)) << c.name;
        delete c.record;
    }
    // Defaults.
    EXPECT_EQ(MB_Line_Scale().value(), 1.0);
    EXPECT_EQ(MB_Display_Width().value(), 0);
    EXPECT_EQ(MB_Width().value(), 0.0);
    EXPECT_EQ(MB_Thickness().value(), 0.0);
    // The ASCII forms of the rendition codes.
    Writer ascii(false);
    EXPECT_EQ(MB_Rendition_Code(5).serialize(ascii.s.io), 0);
    EXPECT_EQ(MB_Rendition_Subcode(5).serialize(ascii.s.io), 0);
    EXPECT_EQ(ascii.take(), "\r\nS 5S");
}

// The reader's state after each record of a stream.
TEST(Attribute_Records, ReaderStateAfterEachRecord)
{
    Stream s;
    auto* walls = new MB_Layer(MB_String("Walls"));
    s.drawing.layer_list().add_tail(walls);
    const std::string long_font(300, 'f');
    const Bytes stream = k_header + "h" + le_long(3) + "i" + le_double(2.5) + "j" + le_double(0.5) + "n" +
                         le_double(7.0) + "x" + counted("WALLS") + "H" + le_double(2.0) + "K" + le_double(0.75) +
                         "A" + le_double(0.25) + "d" + le_double(1.5) + "b" + le_long(6) + "o" + le_long(8) +
                         "C" + le_long(1) + "w" + counted("Std") + hex("06") + counted(long_font) + hex("0C") +
                         counted("big.shx") + "x" + le_long(0) + "x" + counted("nowhere") + "s" + le_long(4) +
                         "S" + le_long(4) + "\r\n(EndOfVKT)\r\n";
    ASSERT_EQ(s.open_read(stream), 0);
    MB_FIFO_Rendition& r = s.io.fifo_rendition();
    using Check = bool (*)(MB_FIFO_Rendition&, MB_Layer*);
    const std::pair<const char*, Check> checks[] = {
        {"header", [](MB_FIFO_Rendition&, MB_Layer*) { return true; }},
        {"h", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.display_width() == 3; }},
        {"i", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.line_scale() == 2.5; }},
        {"j", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.width() == 0.5; }},
        {"n", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.thickness() == 7.0; }},
        {"x", [](MB_FIFO_Rendition& f, MB_Layer* l) { return f.layer() == l; }},
        {"H", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.text_heigh() == 2.0; }},
        {"K", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.text_width_scale() == 0.75; }},
        {"A", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.font_oblique_angle() == 0.25; }},
        {"d", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.text_angle() == 1.5; }},
        {"b", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.text_flag() == 6; }},
        {"o", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.font_flag() == 8; }},
        {"C", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.font_flag() == 8; }},
        {"w", [](MB_FIFO_Rendition& f, MB_Layer*) { return std::strcmp(f.text_style_name(), "Std") == 0; }},
        {"06", [](MB_FIFO_Rendition& f, MB_Layer*) { return std::strlen(f.font_name()) == 255; }},
        {"0C", [](MB_FIFO_Rendition& f, MB_Layer*) { return std::strcmp(f.big_font_name(), "big.shx") == 0; }},
        {"x empty", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.layer() == nullptr; }},
        {"x unknown", [](MB_FIFO_Rendition& f, MB_Layer*) { return f.layer() == nullptr; }},
        {"s", [](MB_FIFO_Rendition&, MB_Layer*) { return true; }},
    };
    for (const auto& [name, check] : checks) {
        if (std::strcmp(name, "x unknown") == 0) r.layer(walls);
        ASSERT_EQ(s.io.process_next_object(), 0) << name;
        EXPECT_TRUE(check(r, walls)) << name;
    }
    // 'S' makes a rendition-code record, whose operand reader takes only 's'.
    EXPECT_EQ(s.io.process_next_object(), MB_Result::Invalid_Data);
    EXPECT_EQ(s.io.close(), 0);
}

}  // namespace
