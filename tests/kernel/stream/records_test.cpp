#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>

#include "kernel/database/color.h"
#include "kernel/database/color_map.h"
#include "kernel/database/drawing_info.h"
#include "kernel/database/layer.h"
#include "kernel/database/xdata.h"
#include "kernel/operation/operation.h"
#include "kernel/stream/stream_fixture.h"

using namespace stream_test;

namespace {

MB_Opcode extended_ascii(const char* keyword, int level = 0)
{
    MB_Opcode op;
    op.set(MB_Opcode::Extended_Ascii, static_cast<int>(std::strlen(keyword)),
           reinterpret_cast<const unsigned char*>(keyword), level);
    return op;
}

MB_Opcode extended_binary(mb_long length, mb_ushort number)
{
    const Bytes token = "{" + Bytes(reinterpret_cast<const char*>(&length), 4) +
                        Bytes(reinterpret_cast<const char*>(&number), 2);
    MB_Opcode op;
    op.set(MB_Opcode::Extended_Binary, 7, reinterpret_cast<const unsigned char*>(token.data()));
    return op;
}

template <class F>
Bytes written(F write, bool binary = true)
{
    Stream s;
    if (s.open_write(binary) != 0) return "<open failed>";
    write(s.io);
    return s.body();
}

// Strings and extended data

TEST(String_Stream, GoldenBytesAndRoundTrip)
{
    EXPECT_EQ(to_hex(written([](MB_File_IO& f) { EXPECT_EQ(MB_String("abc").serialize(f, 0), 0); })), "03 00 00 00 61 62 63");
    EXPECT_EQ(to_hex(written([](MB_File_IO& f) { EXPECT_EQ(MB_String().serialize(f, 0), 0); })), "00 00 00 00");
    // Text up to its first NUL.
    EXPECT_EQ(to_hex(written([](MB_File_IO& f) { EXPECT_EQ(MB_String(3, "a\0b").serialize(f, 0), 0); })), "01 00 00 00 61");
    // 16-bit text is written in the ANSI code page (CP936), where the system keeps 8-bit
    // text; a character that code page cannot hold becomes '?'.
    const struct {
        const char16_t* text;
        const char* bytes;
    } wide[] = {
        {u"\u4E2Dab", "04 00 00 00 D6 D0 61 62"},            // 中ab
        {u"\u4E2D\u6587", "04 00 00 00 D6 D0 CE C4"},        // 中文
        {u"caf\u00E9", "05 00 00 00 63 61 66 A8 A6"},        // café
        {u"x\uAC00y", "03 00 00 00 78 3F 79"},               // a Hangul syllable: not in CP936
        {u"\u00E9\u0101\u4E2D", "06 00 00 00 A8 A6 A8 A1 D6 D0"},  // éā中
    };
    for (const auto& c : wide) {
        EXPECT_EQ(to_hex(written([&](MB_File_IO& f) { ASSERT_EQ(MB_String(c.text).serialize(f, 0), 0); })), c.bytes);
    }
    {
        // Read back, the bytes widen to the same units.
        Stream s;
        ASSERT_EQ(s.open_read(hex("04 00 00 00 D6 D0 CE C4")), 0);
        MB_String name;
        ASSERT_EQ(name.materialize(s.io), 0);
        EXPECT_EQ(std::u16string(name.unicode()), u"\u4E2D\u6587");
    }
    // A widened 8-bit string writes its 8-bit text.
    EXPECT_EQ(to_hex(written([](MB_File_IO& f) {
                  MB_String s("xy");
                  s.unicode();
                  EXPECT_EQ(s.serialize(f, 0), 0);
              })),
              "02 00 00 00 78 79");

    Stream s;
    ASSERT_EQ(s.open_read(hex("03 00 00 00 61 62 63 00 00 00 00")), 0);
    MB_String text("previous");
    ASSERT_EQ(text.materialize(s.io), 0);
    EXPECT_EQ(text, MB_String("abc"));
    EXPECT_EQ(text.length(), 3);
    ASSERT_EQ(text.materialize(s.io), 0);  // a count of 0 is the empty string
    EXPECT_EQ(text, MB_String());
    EXPECT_EQ(text.length(), 0);

    // Text whose first byte is NUL would read as an empty name and vanish on the next
    // save: the record is refused and the string keeps its text.
    Stream nul;
    ASSERT_EQ(nul.open_read(hex("02 00 00 00 00 41")), 0);
    MB_String name("kept");
    EXPECT_EQ(name.materialize(nul.io), MB_Result::Invalid_Data);
    EXPECT_EQ(name, MB_String("kept"));
}

TEST(Xdata_Stream, GoldenBytesAndRoundTrip)
{
    MB_Xdata x;
    x.buffer("h\0st", 4);
    const Bytes bytes = written([&](MB_File_IO& f) { EXPECT_EQ(x.serialize(f), 0); });
    EXPECT_EQ(to_hex(bytes), "04 00 00 00 68 00 73 74");
    Stream s;
    ASSERT_EQ(s.open_read(bytes + hex("00 00 00 00")), 0);
    MB_Xdata y;
    ASSERT_EQ(y.materialize(MB_Opcode(), s.io), 0);
    ASSERT_EQ(y.size(), 4u);
    EXPECT_EQ(Bytes(y.buffer(), 4), Bytes("h\0st", 4));
    EXPECT_EQ(y.buffer()[4], '\0');
    ASSERT_EQ(y.materialize(MB_Opcode(), s.io), 0);  // a count of 0 empties the block
    EXPECT_EQ(y.size(), 0u);
    EXPECT_EQ(y.buffer(), nullptr);
}

TEST(Drawing_Info_Stream, RoundTripAndFailureLeavesInfo)
{
    MB_Drawing_Info info;
    info.set_major_revision(4);
    info.set_minor_revision(51);
    info.item(3) = "someone";
    info.flag(2);
    const Bytes bytes = written([&](MB_File_IO& f) { EXPECT_EQ(info.serialize(f), 0); });
    EXPECT_EQ(to_hex(bytes.substr(0, 13)), "04 00 33 00 05 00 00 00 54 69 74 6C 65");

    Stream s;
    ASSERT_EQ(s.open_read(bytes), 0);
    MB_Drawing_Info back;
    ASSERT_EQ(back.materialize(MB_Opcode(), s.io), 0);
    EXPECT_EQ(back.decimal_revision(), 451);
    EXPECT_EQ(back.item(3), MB_String("someone"));
    EXPECT_EQ(back.item(1), MB_String("Descpiption"));
    EXPECT_FALSE(back.is_expore_text());

    Stream cut;
    ASSERT_EQ(cut.open_read(bytes.substr(0, bytes.size() - 1)), 0);
    MB_Drawing_Info kept;
    EXPECT_NE(kept.materialize(MB_Opcode(), cut.io), 0);
    EXPECT_EQ(kept.decimal_revision(), 0);
    EXPECT_EQ(kept.item(3), MB_String("Author"));
}

// Colour records

TEST(Color_Stream, ValueRecord)
{
    // Blue as a GDI value.
    EXPECT_EQ(to_hex(written([](MB_File_IO& f) { EXPECT_EQ(MB_Color(static_cast<mb_long>(0xFF0000)).serialize(f), 0); })),
              "03 00 00 FF 00");

    Stream s;
    ASSERT_EQ(s.open_read(hex("00 00 FF 00")), 0);
    MB_Color c;
    ASSERT_EQ(c.materialize(single(0x03), s.io), 0);
    EXPECT_EQ(c.value(), 0xFF0000);
    ASSERT_EQ(c.process(s.io), 0);
    EXPECT_EQ(s.io.fifo_rendition().color(), 0xFF0000u);
    // A failed read leaves the value.
    EXPECT_NE(c.materialize(single(0x03), s.io), 0);
    EXPECT_EQ(c.value(), 0xFF0000);
}

TEST(Color_Stream, PaletteIndexRecords)
{
    Stream s;
    ASSERT_EQ(s.open_read(hex("FF 05")), 0);
    MB_File_IO& io = s.io;
    MB_RGBA32 few[16];
    for (int i = 0; i < 16; ++i) few[i] = MB_RGBA32(i, i, i, 255);
    io.rendition()->color_map() = MB_Color_Map(16, few, io);

    MB_Color c;
    ASSERT_EQ(c.materialize(single('c'), io), 0);  // index 255, past a 16-entry map
    EXPECT_EQ(c.rgba().rgba, 0u);
    EXPECT_EQ(c.index(), 255);
    EXPECT_TRUE(io.rendition()->changed() & MB_Rendition::Change_Color_Map);
    ASSERT_EQ(c.materialize(single('c'), io), 0);
    EXPECT_EQ(c.rgba(), MB_RGBA32(5, 5, 5, 255));
    // The ASCII index reader is not carried by this format version: it reads index 0.
    ASSERT_EQ(c.materialize(single('C'), io), 0);
    EXPECT_EQ(c.rgba(), MB_RGBA32(0, 0, 0, 255));
    EXPECT_EQ(c.materialize(single('Q'), io), MB_Result::Invalid_Data);
    EXPECT_EQ(c.materialize(extended_binary(6, 1), io), MB_Result::Internal_Error);
    EXPECT_EQ(c.skip_operand(extended_binary(6, 1), io), MB_Result::Invalid_Data);
}

TEST(Color_Stream, AsciiColorRecordIsPassedOver)
{
    Stream s;
    ASSERT_EQ(s.open_read(" 1 2 3 (x) 'a)') 9"), 0);
    s.io.set_paren_count(1);
    MB_Color c(1, 2, 3, MB_Color::Cube);
    c.set(5, MB_Color_Map());
    ASSERT_EQ(c.materialize(extended_ascii("(Color"), s.io), 0);
    EXPECT_EQ(c.index(), -1);
    EXPECT_EQ(s.io.paren_count(), 0);
    unsigned char next = 0;
    ASSERT_EQ(s.io.read(next), 0);
    EXPECT_EQ(next, ' ');
}

TEST(Color_Map_Stream, BinaryRecordOf256Entries)
{
    MB_Color_Map map(37);
    const Bytes bytes = written([&](MB_File_IO& f) { ASSERT_EQ(map.serialize(f), 0); });
    ASSERT_EQ(bytes.size(), 8u + 1024u + 1u);
    EXPECT_EQ(to_hex(bytes.substr(0, 8)), "7B 04 04 00 00 01 00 00");
    EXPECT_EQ(to_hex(bytes.substr(8 + 4 * 11, 4)), "FF 7F 7F FF");  // entry 11: red, green, blue, alpha
    EXPECT_EQ(bytes.back(), '}');

    // Read back from a trickling source: the record resumes where each call stopped, and
    // the map keeps its entries until the whole list is there.
    Stream s;
    trickle(s.io, bytes.substr(7));
    s.modern();
    MB_Color_Map back(38);
    const MB_Opcode op = extended_binary(1028, 1);
    int calls = 0;
    MB_Result r;
    do {
        r = back.materialize(op, s.io);
        if (r != 0) {
            EXPECT_EQ(back.size(), 256);
            EXPECT_EQ(back.map()[11], MB_Color_Map(38).map()[11]);
        }
    } while ((r == MB_Result::Waiting_For_Data || r == MB_Result::Nothing_Read) && ++calls < 10000);
    ASSERT_EQ(r, 0);
    EXPECT_GT(calls, 2);
    ASSERT_EQ(back.size(), 256);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(back.map()[i], map.map()[i]) << i;
    EXPECT_EQ(back.process(s.io), 0);
    EXPECT_EQ(s.io.rendition()->color_map().map()[11], MB_Color_Map(38).map()[11]);  // not installed
    EXPECT_EQ(MB_Color_Map::default_process(back, s.io), 0);
    EXPECT_EQ(s.io.rendition()->color_map().map()[11], map.map()[11]);
}

TEST(Color_Map_Stream, SmallMapsAndBadRecords)
{
    MB_File_IO io;
    const MB_RGBA32 three[3] = {MB_RGBA32(1, 2, 3, 4), MB_RGBA32(5, 6, 7, 8), MB_RGBA32(9, 10, 11, 12)};
    MB_Color_Map map(3, three, io);
    const Bytes bytes = written([&](MB_File_IO& f) { EXPECT_EQ(map.serialize(f), 0); });
    EXPECT_EQ(to_hex(bytes), "7B 10 00 00 00 01 00 03 01 02 03 04 05 06 07 08 09 0A 0B 0C 7D");

    // Not closed by '}': the map keeps its entries.
    Stream bad;
    ASSERT_EQ(bad.open_read(bytes.substr(7, 13) + "x"), 0);
    bad.modern();
    MB_Color_Map kept(38);
    EXPECT_EQ(kept.materialize(extended_binary(16, 1), bad.io), MB_Result::Invalid_Data);
    EXPECT_EQ(kept.size(), 256);
    EXPECT_EQ(kept.materialize(single('c'), bad.io), MB_Result::Internal_Error);

    // Sizes the count byte cannot carry are refused.
    MB_Color_Map empty(38);
    empty.clear();
    Stream s;
    ASSERT_EQ(s.open_write(), 0);
    EXPECT_EQ(empty.serialize(s.io), MB_Result::Invalid_Data);
    std::unique_ptr<MB_RGBA32[]> many(new MB_RGBA32[300]);
    MB_Color_Map big(300, many.get(), s.io);
    EXPECT_EQ(big.serialize(s.io), MB_Result::Invalid_Data);
    EXPECT_EQ(s.body(), "");

    // Skipping a binary record passes over its operands.
    Stream skip;
    ASSERT_EQ(skip.open_read(bytes.substr(7) + "Z"), 0);
    EXPECT_EQ(map.skip_operand(extended_binary(16, 1), skip.io), 0);
    unsigned char next = 0;
    ASSERT_EQ(skip.io.read(next), 0);
    EXPECT_EQ(next, 'Z');
    for (mb_long hostile : {1, -1, INT_MIN, INT_MAX, 1000})
        EXPECT_EQ(map.skip_operand(extended_binary(hostile, 1), skip.io), MB_Result::Invalid_Data) << hostile;
}

TEST(Color_Map_Stream, AsciiRecords)
{
    MB_File_IO io;
    const MB_RGBA32 five[5] = {MB_RGBA32(1, 2, 3, 4), MB_RGBA32(5, 6, 7, 8), MB_RGBA32(0, 0, 0, 0),
                               MB_RGBA32(255, 255, 255, 255), MB_RGBA32(9, 9, 9, 9)};
    MB_Color_Map map(5, five, io);
    EXPECT_EQ(written([&](MB_File_IO& f) { EXPECT_EQ(map.serialize(f), 0); }, false),
              "\r\n(ColorMap 5\r\n\t1,2,3,4 5,6,7,8 0,0,0,0 255,255,255,255\r\n\t9,9,9,9)");

    // ASCII colour lists are not read by this format version: the record is passed over
    // and gives an empty map.
    Stream s;
    ASSERT_EQ(s.open_read(" 5 1,2,3,4 5,6,7,8) next"), 0);
    s.io.set_paren_count(1);
    MB_Color_Map back(38);
    ASSERT_EQ(back.materialize(extended_ascii("(ColorMap"), s.io), 0);
    EXPECT_EQ(back.size(), 0);
    EXPECT_EQ(s.io.paren_count(), 0);
}

// Layers

TEST(Layer_Stream, GoldenRecordOfTheDefaultLayer)
{
    MB_Layer layer;
    EXPECT_EQ(to_hex(written([&](MB_File_IO& f) { EXPECT_EQ(layer.serialize(f), 0); })),
              "79 06 00 00 00 6C 61 79 65 72 30 00 00 01 00 00 FF FF FF 00");
    MB_Layer_Name name(MB_String("L1"));
    EXPECT_EQ(to_hex(written([&](MB_File_IO& f) { EXPECT_EQ(name.serialize(f), 0); })), "78 02 00 00 00 4C 31");
}

TEST(Layer_Stream, ReadIntoTheDrawing)
{
    const Bytes record = hex("04 00 00 00 57 61 6C 6C 07 00 0D 2C 01 FF 00 00 00");
    Stream s;
    ASSERT_EQ(s.open_read(record), 0);
    auto* layer = new MB_Layer();
    ASSERT_EQ(layer->materialize(single('y'), s.io), 0);
    EXPECT_EQ(layer->name(), MB_String("Wall"));
    EXPECT_EQ(layer->id(), 7);
    EXPECT_EQ(layer->flag(), 0x0D);
    EXPECT_EQ(layer->width(), 300);
    EXPECT_EQ(layer->color(), 0xFFu);
    EXPECT_TRUE(layer->plot());
    EXPECT_FALSE(layer->visibility());  // frozen

    ASSERT_EQ(layer->process(s.io), 0);
    ASSERT_EQ(layer->process(s.io), 0);  // already the tail: not linked twice
    EXPECT_EQ(s.drawing.layer_list().count(), 1);
    EXPECT_EQ(s.drawing.find_layer(0ul), layer);

    // The layer-name record makes the drawing's layer of that name current.
    MB_Layer_Name name(MB_String("WALL"));
    ASSERT_EQ(name.process(s.io), 0);
    EXPECT_EQ(s.io.fifo_rendition().layer(), layer);
    name.name() = "nothing";
    ASSERT_EQ(name.process(s.io), 0);
    EXPECT_EQ(s.io.fifo_rendition().layer(), nullptr);

    // A cut record leaves the layer as it was.
    Stream cut;
    ASSERT_EQ(cut.open_read(record.substr(0, record.size() - 2)), 0);
    MB_Layer fresh;
    EXPECT_NE(fresh.materialize(single('y'), cut.io), 0);
    EXPECT_EQ(fresh.name(), MB_String("layer0"));
    EXPECT_EQ(fresh.flag(), MB_Layer::Flag_On);
    EXPECT_EQ(fresh.color(), 0xFFFFFFu);
}

// The renditions' attribute records belong to the file object: a file object made while a
// command is recorded adds nothing to it.
TEST(Rendition, RecordsAreNotReportedToTheUndoRecord)
{
    MB_Operation op;
    op.init_undoredo(nullptr);
    MB_Undo_Redo* rec = op.undo_redo();
    Stream s;
    rec->rec_cmd_begin("open a file");
    auto io = std::make_unique<MB_File_IO>();
    ASSERT_EQ(s.open_write(), 0);
    ASSERT_EQ(s.io.close(), 0);  // builds a fresh current rendition
    EXPECT_TRUE(api_if_record_command());
    rec->rec_cmd_end();
    EXPECT_EQ(rec->last_cmd()->sub_command_head(), nullptr);
}

}  // namespace
