#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <type_traits>

#include "common/comma_locale.h"
#include "geometry/pt_set.h"
#include "kernel/database/color.h"
#include "kernel/database/xdata.h"
#include "kernel/stream/stream_fixture.h"
#include "kernel/test_objects.h"

using namespace stream_test;

namespace {

static_assert(!std::is_copy_constructible_v<MB_File_IO> && !std::is_copy_assignable_v<MB_File_IO>,
              "a file object owns its file and buffers");

// Golden bytes of the binary writers.
TEST(File_IO_Write, PrimitivesGoldenBytes)
{
    struct Case {
        const char* name;
        void (*write)(MB_File_IO&);
        const char* bytes;
    };
    const Case cases[] = {
        {"byte", [](MB_File_IO& f) { EXPECT_EQ(f.write(static_cast<unsigned char>(0xAB)), 0); }, "AB"},
        {"char", [](MB_File_IO& f) { EXPECT_EQ(f.write('y'), 0); }, "79"},
        {"short -2", [](MB_File_IO& f) { EXPECT_EQ(f.write(static_cast<mb_short>(-2)), 0); }, "FE FF"},
        {"ushort", [](MB_File_IO& f) { EXPECT_EQ(f.write(static_cast<mb_ushort>(0x1234)), 0); }, "34 12"},
        {"long", [](MB_File_IO& f) { EXPECT_EQ(f.write(static_cast<mb_long>(0x12345678)), 0); }, "78 56 34 12"},
        {"long -2", [](MB_File_IO& f) { EXPECT_EQ(f.write_int32(-2), 0); }, "FE FF FF FF"},
        {"ulong", [](MB_File_IO& f) { EXPECT_EQ(f.write_uint32(0xFFFFFF), 0); }, "FF FF FF 00"},
        {"double 1", [](MB_File_IO& f) { EXPECT_EQ(f.write_double(1.0), 0); }, "00 00 00 00 00 00 F0 3F"},
        {"double -2.5", [](MB_File_IO& f) { EXPECT_EQ(f.write_double(-2.5), 0); }, "00 00 00 00 00 00 04 C0"},
        {"rgba", [](MB_File_IO& f) { EXPECT_EQ(f.write(MB_RGBA32(1, 2, 3, 4)), 0); }, "01 02 03 04"},
        {"units", [](MB_File_IO& f) { EXPECT_EQ(f.write(2, u"\u4E2Da"), 0); }, "2D 4E 61 00"},
        {"text", [](MB_File_IO& f) { EXPECT_EQ(f.write("ab"), 0); }, "61 62"},
        {"count 5", [](MB_File_IO& f) { EXPECT_EQ(f.write_count(5), 0); }, "05"},
        {"count 255", [](MB_File_IO& f) { EXPECT_EQ(f.write_count(255), 0); }, "FF"},
        {"count 256", [](MB_File_IO& f) { EXPECT_EQ(f.write_count(256), 0); }, "00 00 00"},
        {"count 300", [](MB_File_IO& f) { EXPECT_EQ(f.write_count(300), 0); }, "00 2C 00"},
        {"count 65791", [](MB_File_IO& f) { EXPECT_EQ(f.write_count(65791), 0); }, "00 FF FF"},
        {"points no delta",
         [](MB_File_IO& f) {
             const Qe_Pt p[1] = {Qe_Pt(1, 2, 3)};
             EXPECT_EQ(f.write(1, p), 0);
         },
         "00 00 00 00 00 00 F0 3F 00 00 00 00 00 00 00 40 00 00 00 00 00 00 08 40"},
    };
    for (const Case& c : cases) {
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        c.write(s.io);
        EXPECT_EQ(to_hex(s.body()), to_hex(hex(c.bytes))) << c.name;
    }
}

TEST(File_IO_Write, CountsOutsideTheReadableRangeAreRefused)
{
    for (int n : {0, -1, 65792, 1 << 30}) {
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        EXPECT_EQ(s.io.write_count(n), MB_Result::Invalid_Data) << n;
        EXPECT_EQ(s.body(), "") << n;
    }
}

TEST(File_IO_Write, FileIsFramedByHeaderAndEndRecord)
{
    Stream s;
    ASSERT_EQ(s.open_write(), 0);
    EXPECT_EQ(s.io.close(), 0);
    EXPECT_EQ(s.file.contents(), k_header + k_trailer);
    EXPECT_EQ(s.io.file_mode(), MB_File_IO::Mode_Closed);

    // The four digits come from the drawing's format version.
    Stream old;
    old.drawing.format_version(37);
    ASSERT_EQ(old.open_write(), 0);
    EXPECT_EQ(old.io.close(), 0);
    EXPECT_EQ(old.file.contents().substr(0, 12), "(VKT VA0037)");
}

TEST(File_IO_Write, PositionsAreRelativeInXAndY)
{
    Stream s;
    ASSERT_EQ(s.open_write(), 0);
    EXPECT_EQ(s.io.write_position(Qe_Pt(10, 10, 5)), 0);
    EXPECT_EQ(s.io.write_position(Qe_Pt(12, 15, 5)), 0);
    const Bytes body = s.body();
    Stream expect;
    ASSERT_EQ(expect.open_write(), 0);
    const Qe_Pt deltas[2] = {Qe_Pt(10, 10, 5), Qe_Pt(2, 5, 5)};
    EXPECT_EQ(expect.io.write(2, deltas), 0);
    EXPECT_EQ(to_hex(body), to_hex(expect.body()));
}

TEST(File_IO_Write, OpenStartsEveryStreamAtTheOrigin)
{
    // A second save with the same file object, and a save after a load, write the bytes
    // of the first save.
    Stream s;
    const Qe_Pt a(10, 10, 5), b(12, 15, 5);
    ASSERT_EQ(s.open_write(), 0);
    EXPECT_EQ(s.io.write_position(a), 0);
    EXPECT_EQ(s.io.write_position(b), 0);
    const Bytes first = s.body();
    ASSERT_EQ(s.open_write(), 0);
    EXPECT_EQ(s.io.write_position(a), 0);
    EXPECT_EQ(s.io.write_position(b), 0);
    EXPECT_EQ(to_hex(s.body()), to_hex(first));

    ASSERT_EQ(s.open_read(first), 0);
    Qe_Pt p;
    ASSERT_EQ(s.io.read_position(p), 0);
    ASSERT_EQ(s.io.read_position(p), 0);
    EXPECT_TRUE(pt_eq(p, b));
    EXPECT_EQ(s.io.close(), 0);
    ASSERT_EQ(s.open_write(), 0);
    EXPECT_EQ(s.io.write_position(a), 0);
    EXPECT_EQ(s.io.write_position(b), 0);
    EXPECT_EQ(to_hex(s.body()), to_hex(first));
}

TEST(File_IO_Write, AsciiNumbersUseTheCLocale)
{
    struct Case {
        const char* name;
        void (*write)(MB_File_IO&);
        const char* text;
    };
    const Case cases[] = {
        {"long", [](MB_File_IO& f) { EXPECT_EQ(f.write_ascii(static_cast<mb_long>(-42)), 0); }, "-42"},
        {"short", [](MB_File_IO& f) { EXPECT_EQ(f.write_ascii(static_cast<mb_short>(-7)), 0); }, "-7"},
        {"ushort", [](MB_File_IO& f) { EXPECT_EQ(f.write_ascii(static_cast<mb_ushort>(65535)), 0); }, "65535"},
        {"ulong as signed", [](MB_File_IO& f) { EXPECT_EQ(f.write_ascii(static_cast<mb_ulong>(0xFFFFFFFF)), 0); }, "-1"},
        {"half", [](MB_File_IO& f) { EXPECT_EQ(f.write_ascii(0.5), 0); }, "0.5"},
        {"eleven digits", [](MB_File_IO& f) { EXPECT_EQ(f.write_ascii(1.0 / 3.0), 0); }, "0.33333333333"},
        {"exponent", [](MB_File_IO& f) { EXPECT_EQ(f.write_ascii(1.5e20), 0); }, "1.5e+20"},
        {"small", [](MB_File_IO& f) { EXPECT_EQ(f.write_ascii(1e-7), 0); }, "1e-07"},
        {"rgba", [](MB_File_IO& f) { EXPECT_EQ(f.write_ascii(MB_RGBA32(255, 0, 16, 1)), 0); }, "255,0,16,1"},
        {"hex", [](MB_File_IO& f) { EXPECT_EQ(f.write_hex(static_cast<unsigned char>(0x0A)), 0); }, "0A"},
    };
    // A locale with a decimal comma must not change the output.
    for (bool comma : {false, true}) {
        std::optional<Comma_Locale> locale;
        if (comma) {
            locale.emplace();
            ASSERT_COMMA_LOCALE(*locale);
        }
        for (const Case& c : cases) {
            Stream s;
            ASSERT_EQ(s.open_write(false), 0);
            c.write(s.io);
            EXPECT_EQ(s.body(), c.text) << c.name << (comma ? " (decimal-comma locale)" : "");
        }
    }
}

TEST(File_IO_Write, QuotedStrings)
{
    struct Case {
        const char* text;
        char force;
        const char* out;
    };
    const Case cases[] = {
        {"plain", 0, "plain"},
        {"plain", 1, "'plain'"},
        {"two words", 0, "'two words'"},
        {"it's", 0, "'it\\'s'"},
        {"a\\b", 0, "'a\\\\b'"},
        {"(x)", 0, "'(x)'"},
        {"{x}", 0, "'{x}'"},
        {"\"q", 0, "'\"q'"},
        {"", 0, "''"},
        {nullptr, 0, "''"},
    };
    for (const Case& c : cases) {
        Stream s;
        ASSERT_EQ(s.open_write(false), 0);
        EXPECT_EQ(s.io.write_quoted_string(c.text, c.force), 0);
        EXPECT_EQ(s.body(), c.out) << (c.text ? c.text : "(null)");
    }

    Stream binary;
    ASSERT_EQ(binary.open_write(true), 0);
    EXPECT_EQ(binary.io.write_quoted_string(u"A\u4E2D"), 0);
    EXPECT_EQ(to_hex(binary.body()), "7B 02 00 00 00 41 00 2D 4E 7D");

    Stream ascii;
    ASSERT_EQ(ascii.open_write(false), 0);
    EXPECT_EQ(ascii.io.write_quoted_string(u"A\u4E2D"), 0);
    EXPECT_EQ(ascii.io.write_quoted_string(static_cast<const char16_t*>(nullptr)), 0);
    EXPECT_EQ(ascii.body(), "\"00414E2D\"\"\"");
}

TEST(File_IO_Write, TabLevelsAndHexRuns)
{
    Stream s;
    ASSERT_EQ(s.open_write(false), 0);
    s.io.set_tab_level(2);
    EXPECT_EQ(s.io.write_tab_level(), 0);
    EXPECT_EQ(s.io.write_geom_tab_level(), 0);
    unsigned char run[31];
    for (int i = 0; i < 31; ++i) run[i] = static_cast<unsigned char>(i);
    s.io.set_tab_level(0);
    EXPECT_EQ(s.io.write_hex(31, run), 0);
    std::string hex_run;
    for (int i = 0; i < 30; ++i) hex_run += to_hex(Bytes(1, static_cast<char>(i)));
    EXPECT_EQ(s.body(), "\r\n  \r\n     \r\n\t" + hex_run + "\r\n\t1E");

    Stream binary;
    ASSERT_EQ(binary.open_write(true), 0);
    binary.io.set_tab_level(3);
    EXPECT_EQ(binary.io.write_tab_level(), 0);
    EXPECT_EQ(binary.io.write_geom_tab_level(), 0);
    EXPECT_EQ(binary.body(), "");
}

// Readers

TEST(File_IO_Read, PrimitivesRoundTrip)
{
    Stream s;
    ASSERT_EQ(s.open_write(), 0);
    EXPECT_EQ(s.io.write(static_cast<mb_short>(-300)), 0);
    EXPECT_EQ(s.io.write(static_cast<mb_ushort>(0xBEEF)), 0);
    EXPECT_EQ(s.io.write(static_cast<mb_long>(-123456789)), 0);
    EXPECT_EQ(s.io.write_uint32(0xDEADBEEF), 0);
    EXPECT_EQ(s.io.write_double(-0.1), 0);
    EXPECT_EQ(s.io.write(MB_RGBA32(10, 20, 30, 40)), 0);
    EXPECT_EQ(s.io.write(2, u"x\u4E2D"), 0);
    const Bytes body = s.body();

    ASSERT_EQ(s.open_read(body), 0);
    s.modern();
    mb_short a = 0;
    mb_ushort b = 0;
    mb_long c = 0;
    mb_ulong d = 0;
    double e = 0;
    MB_RGBA32 f;
    char16_t g[2] = {};
    EXPECT_EQ(s.io.read(a), 0);
    EXPECT_EQ(s.io.read(b), 0);
    EXPECT_EQ(s.io.read(c), 0);
    EXPECT_EQ(s.io.read_uint32(d), 0);
    EXPECT_EQ(s.io.read_double(e), 0);
    EXPECT_EQ(s.io.read(f), 0);
    EXPECT_EQ(s.io.read(2, g), 0);
    EXPECT_EQ(a, -300);
    EXPECT_EQ(b, 0xBEEF);
    EXPECT_EQ(c, -123456789);
    EXPECT_EQ(d, 0xDEADBEEFu);
    EXPECT_EQ(e, -0.1);
    EXPECT_EQ(f, MB_RGBA32(10, 20, 30, 40));
    EXPECT_EQ(g[0], u'x');
    EXPECT_EQ(g[1], u'\u4E2D');
    EXPECT_EQ(s.io.stream_position(), static_cast<int>(body.size()));
    unsigned char more;
    EXPECT_NE(s.io.read(more), 0);
}

TEST(File_IO_Read, UnsignedLongFieldIsTwoBytesIntoTheLowHalf)
{
    Stream s;
    ASSERT_EQ(s.open_read(hex("34 12 78 56")), 0);
    mb_ulong v = 0xAAAA0000u;
    ASSERT_EQ(s.io.read(v), 0);
    EXPECT_EQ(v, 0xAAAA1234u);
    EXPECT_EQ(s.io.stream_position(), 2);
}

// One colour and an array of them: blue first below revision 33, red first from it on.
TEST(File_IO_Read, ColourByteOrderFollowsTheStreamRevision)
{
    const MB_RGBA32 bgr(3, 2, 1, 4), rgb(1, 2, 3, 4);
    const struct Case {
        int revision;
        MB_RGBA32 expected;
    } cases[] = {{0, bgr}, {32, bgr}, {33, rgb}, {100, rgb}};
    for (const Case& c : cases) {
        Stream s;
        // Before a header the stream counts as revision 0.
        s.io.rendition()->drawing_info().set_minor_revision(c.revision);
        ASSERT_EQ(s.open_read(hex("01 02 03 04 01 02 03 04 01 02 03 04")), 0);
        MB_RGBA32 one, array[2];
        ASSERT_EQ(s.io.read(one), 0);
        EXPECT_EQ(one, c.expected) << c.revision;
        ASSERT_EQ(s.io.read(2, array), 0);
        EXPECT_EQ(array[0], c.expected) << c.revision;
        EXPECT_EQ(array[1], c.expected) << c.revision;
    }
}

TEST(File_IO_Read, Counts)
{
    struct Case {
        const char* bytes;
        int count;
    };
    for (const Case& c : {Case{"05", 5}, Case{"FF", 255}, Case{"00 00 00", 256}, Case{"00 2C 00", 300},
                          Case{"00 FF FF", 65791}}) {
        Stream s;
        ASSERT_EQ(s.open_read(hex(c.bytes)), 0);
        int n = 0;
        EXPECT_EQ(s.io.read_count(n), 0);
        EXPECT_EQ(n, c.count) << c.bytes;
        // The same count into a long.
        Stream l;
        ASSERT_EQ(l.open_read(hex(c.bytes)), 0);
        long wide = -1;
        EXPECT_EQ(l.io.read_count(wide), 0);
        EXPECT_EQ(wide, c.count) << c.bytes;
    }
    // A count that is not all there leaves the long as it was.
    Stream s;
    ASSERT_EQ(s.open_read(hex("00 2C")), 0);
    long wide = -1;
    EXPECT_NE(s.io.read_count(wide), 0);
    EXPECT_EQ(wide, -1);
}

// The ASCII readers this format does not carry read nothing and leave what they were given.
TEST(File_IO_Read, AsciiPlaceholdersLeaveTheirArguments)
{
    Stream s;
    ASSERT_EQ(s.open_read("Q"), 0);
    unsigned char byte = 0x5A;
    unsigned char bytes[3] = {1, 2, 3};
    mb_long l = -9;
    double d = 2.5;
    mb_ushort u = 77;
    MB_RGBA32 c(1, 2, 3, 4);
    MB_RGBA32 cs[2] = {MB_RGBA32(5, 6, 7, 8), MB_RGBA32(9, 10, 11, 12)};
    EXPECT_EQ(s.io.read_hex(byte), 0);
    EXPECT_EQ(s.io.read_hex(3, bytes), 0);
    EXPECT_EQ(s.io.read_ascii(l), 0);
    EXPECT_EQ(s.io.read_ascii(d), 0);
    EXPECT_EQ(s.io.read_ascii(u), 0);
    EXPECT_EQ(s.io.read_ascii(c), 0);
    EXPECT_EQ(s.io.read_ascii(2, cs), 0);
    EXPECT_EQ(s.io.read_index_tree(4, 1), 0);
    EXPECT_EQ(byte, 0x5A);
    EXPECT_EQ(bytes[0] + bytes[1] + bytes[2], 6);
    EXPECT_EQ(l, -9);
    EXPECT_EQ(d, 2.5);
    EXPECT_EQ(u, 77);
    EXPECT_EQ(c, MB_RGBA32(1, 2, 3, 4));
    EXPECT_EQ(cs[0], MB_RGBA32(5, 6, 7, 8));
    EXPECT_EQ(cs[1], MB_RGBA32(9, 10, 11, 12));
    unsigned char next = 0;
    ASSERT_EQ(s.io.read(next), 0);
    EXPECT_EQ(next, 'Q');
}

TEST(File_IO_Read, PointSetsRoundTripThroughTheRunningPosition)
{
    const Qe_Pt pts[3] = {Qe_Pt(1, 2, 3), Qe_Pt(4, 6, 3), Qe_Pt(-1, 0.5, 7)};
    Qe_Pt_Set set(3, pts);
    const mb_ulong counts[2] = {1, 2};
    Qe_Pt_Sets sets(2, counts, pts);
    sets.is_filled(true);

    Stream s;
    ASSERT_EQ(s.open_write(), 0);
    EXPECT_EQ(s.io.write_position(Qe_Pt(100, 100, 0)), 0);
    EXPECT_EQ(s.io.write(set), 0);
    EXPECT_EQ(s.io.write(sets), 0);
    const Bytes body = s.body();
    // The first point of the set is written relative to the point before it.
    EXPECT_EQ(to_hex(body.substr(28, 8)), to_hex(hex("00 00 00 00 00 C0 58 C0")));  // 1 − 100

    ASSERT_EQ(s.open_read(body), 0);
    Qe_Pt first;
    Qe_Pt_Set got_set;
    Qe_Pt_Sets got_sets;
    ASSERT_EQ(s.io.read_position(first), 0);
    ASSERT_EQ(s.io.read(got_set), 0);
    ASSERT_EQ(s.io.read(got_sets), 0);
    ASSERT_EQ(got_set.count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(pt_eq(got_set[i], pts[i])) << i;
    ASSERT_EQ(got_sets.ptset_count(), 2u);
    EXPECT_TRUE(got_sets.is_filled());
    EXPECT_EQ(got_sets.vals()[0], 1u);
    EXPECT_EQ(got_sets.vals()[1], 2u);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(pt_eq(got_sets.points()[i], pts[i])) << i;
    EXPECT_TRUE(pt_eq(s.drawing.position(), pts[2]));
}

// Resumable reading

TEST(File_IO_Resume, ShortReadsKeepTheirBytes)
{
    Stream s;
    const Bytes data = "0123456789";
    trickle(s.io, data);
    unsigned char buf[10] = {};
    int calls = 0;
    EXPECT_EQ(until_done([&] { return s.io.read(10, buf); }, &calls), 0);
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(buf), 10), data);
    EXPECT_GE(calls, 10);
    EXPECT_EQ(s.io.stream_position(), 10);
    EXPECT_EQ(s.io.actual_position(), 10);
}

// A reader that met the end of a file reads on once the file has grown: the end is not
// remembered from the short read.
TEST(File_IO_Resume, ReadsOnAfterTheFileGrew)
{
    Stream s;
    ASSERT_EQ(s.open_read("0123"), 0);
    unsigned char buf[10] = {};
    EXPECT_EQ(s.io.read(10, buf), MB_Result::Waiting_For_Data);
    EXPECT_EQ(s.io.read(10, buf), MB_Result::End_Of_File);
    {
        std::ofstream grow(s.file.path(), std::ios::binary | std::ios::app);
        grow << "456789";
    }
    EXPECT_EQ(s.io.read(10, buf), 0);
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(buf), 10), "0123456789");
    EXPECT_EQ(s.io.read(1, buf), MB_Result::Nothing_Read);
}

TEST(File_IO_Resume, CompositeReadsRepeatWhole)
{
    Stream writer;
    ASSERT_EQ(writer.open_write(), 0);
    EXPECT_EQ(MB_String("abc").serialize(writer.io, 0), 0);
    EXPECT_EQ(writer.io.write_count(300), 0);
    const Qe_Pt pts[2] = {Qe_Pt(1, 2, 3), Qe_Pt(4, 6, 3)};
    EXPECT_EQ(writer.io.write(Qe_Pt_Set(2, pts)), 0);
    const mb_ulong counts[1] = {2};
    EXPECT_EQ(writer.io.write(Qe_Pt_Sets(1, counts, pts)), 0);
    const Bytes body = writer.body();

    Stream s;
    trickle(s.io, body);
    MB_String text("old");
    EXPECT_EQ(until_done([&] { return text.materialize(s.io); }), 0);
    EXPECT_EQ(text, MB_String("abc"));
    int count = 0;
    EXPECT_EQ(until_done([&] { return s.io.read_count(count); }), 0);
    EXPECT_EQ(count, 300);
    Qe_Pt_Set set;
    EXPECT_EQ(until_done([&] { return s.io.read(set); }), 0);
    ASSERT_EQ(set.count(), 2);
    EXPECT_TRUE(pt_eq(set[1], pts[1]));
    Qe_Pt_Sets sets;
    EXPECT_EQ(until_done([&] { return s.io.read(sets); }), 0);
    ASSERT_EQ(sets.pts_count(), 2u);
    EXPECT_TRUE(pt_eq(sets.points()[1], pts[1]));
    EXPECT_EQ(s.io.stream_position(), static_cast<int>(body.size()));
}

TEST(File_IO_Resume, PutBackAndSkip)
{
    Stream s;
    ASSERT_EQ(s.open_read("abcdefgh"), 0);
    unsigned char b[3];
    ASSERT_EQ(s.io.read(3, b), 0);  // abc
    const unsigned char back[2] = {'X', 'Y'};
    ASSERT_EQ(s.io.put_back(2, back), 0);
    EXPECT_EQ(s.io.stream_position(), 1);
    ASSERT_EQ(s.io.read(3, b), 0);
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(b), 3), "XYd");
    // A skip is deferred to the next read; put-back bytes are skipped first.
    ASSERT_EQ(s.io.put_back(b[2]), 0);
    ASSERT_EQ(s.io.skip(2), 0);
    EXPECT_EQ(s.io.stream_position(), 5);
    EXPECT_EQ(s.io.actual_position(), 3);
    ASSERT_EQ(s.io.read(b[0]), 0);
    EXPECT_EQ(b[0], 'f');
    EXPECT_EQ(s.io.stream_position(), s.io.actual_position());
    EXPECT_EQ(s.io.skip(-1), MB_Result::Invalid_Data);
    EXPECT_EQ(s.io.stream_position(), 6);
    // Skipping past the end makes the next read fail without reading anything.
    ASSERT_EQ(s.io.skip(10), 0);
    EXPECT_NE(s.io.read(b[0]), 0);
}

TEST(File_IO_Resume, TokensAndQuotedStrings)
{
    struct Case {
        const char* input;
        int max;
        char paren;
        int result;
        const char* text;  // on success
        char next;         // the byte read after the token (0: none)
    };
    const Case cases[] = {
        {"  abc def", 40, 0, 0, "abc", ' '},
        {"\r\n\tabc)", 40, 0, 0, "abc", ')'},
        {"'a b\\'c' x", 40, 0, 0, "a b'c", ' '},
        {"\"x'y\" ", 40, 0, 0, "x'y", ' '},
        {"'' ", 40, 0, 0, "", ' '},
        {"a\\ b ", 40, 0, 0, "a b", ' '},
        {"(Color ", 40, 1, 0, "(Color", ' '},
        {"(Color ", 40, 0, 2, nullptr, 0},
        {"a(b ", 40, 1, 2, nullptr, 0},
        {"ab'c ", 40, 0, 2, nullptr, 0},
        {"a{b ", 40, 0, 2, nullptr, 0},
        {"'a{b(' ", 40, 0, 0, "a{b(", ' '},
        {"abcdef ", 3, 0, 2, nullptr, 0},
    };
    for (const Case& c : cases) {
        for (bool trickling : {false, true}) {
            Stream s;
            if (trickling)
                trickle(s.io, c.input);
            else
                ASSERT_EQ(s.open_read(c.input), 0);
            char* out = nullptr;
            const MB_Result r = until_done([&] { return s.io.read(out, c.max, c.paren); });
            std::unique_ptr<char[]> owned(out);
            EXPECT_EQ(r, c.result) << c.input << (trickling ? " trickling" : "");
            if (c.result != 0) {
                EXPECT_EQ(out, nullptr);
                continue;
            }
            ASSERT_NE(out, nullptr);
            EXPECT_STREQ(out, c.text) << c.input;
            unsigned char next = 0;
            EXPECT_EQ(until_done([&] { return s.io.read(next); }), 0);
            EXPECT_EQ(next, c.next) << c.input;
        }
    }
}

TEST(File_IO_Resume, EachFileKeepsItsOwnOpeningQuote)
{
    // One file object stops inside a double-quoted string; another reads a string quoted
    // with "'" that holds a double quote; the first then ends at its own quote character.
    Stream first;
    trickle(first.io, "\"a'b\" ");
    char* out1 = nullptr;
    MB_Result r = MB_Result::Success;
    for (int i = 0; i < 4; ++i) r = first.io.read(out1, 40, 0);
    ASSERT_NE(r, 0);

    Stream second;
    ASSERT_EQ(second.open_read("'q\"r' "), 0);
    char* out2 = nullptr;
    ASSERT_EQ(second.io.read(out2, 40, 0), 0);
    std::unique_ptr<char[]> owned2(out2);
    EXPECT_STREQ(out2, "q\"r");

    ASSERT_EQ(until_done([&] { return first.io.read(out1, 40, 0); }), 0);
    std::unique_ptr<char[]> owned1(out1);
    EXPECT_STREQ(out1, "a'b");
}

TEST(File_IO_Resume, SkipPastMatchingParen)
{
    struct Case {
        Bytes input;
        int result;
        char next;
    };
    const Case cases[] = {
        {"a b) c", 0, ' '},
        {"(x (y)) z) w", 0, ' '},
        {"'a)' \\) q) r", 0, ' '},
        {"{" + hex("03 00 00 00") + ")))" + ") s", 0, ' '},
        {"{" + hex("00 00 00 00") + ")", 2, 0},
        {"{" + hex("FF FF FF FF") + ")", 2, 0},
        {"{" + hex("FF FF FF 7F") + ")", 2, 0},
        {"no close", 4, 0},
    };
    for (const Case& c : cases) {
        Stream s;
        ASSERT_EQ(s.open_read(c.input), 0);
        s.io.set_paren_count(1);
        const MB_Result r = s.io.skip_past_matching_paren(0);
        EXPECT_EQ(r == 0, c.result == 0) << to_hex(c.input) << " gave " << r;
        if (c.result == 2) {
            EXPECT_EQ(r, MB_Result::Invalid_Data);
        }
        if (c.result != 0) continue;
        EXPECT_EQ(s.io.paren_count(), 0);
        unsigned char next = 0;
        ASSERT_EQ(s.io.read(next), 0);
        EXPECT_EQ(next, c.next);
    }
}

// Hostile lengths and counts: each must fail cleanly and leave its destination as it
// was, in a plain file of known size and in a source of unknown size.
TEST(File_IO_Hostile, LengthsAndCounts)
{
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Bytes pad(64, '\0');
    const Case strings[] = {
        {"-1", hex("FF FF FF FF") + pad},
        {"INT_MAX", hex("FF FF FF 7F") + pad},
        {"INT_MIN", hex("00 00 00 80") + pad},
        {"past the end", hex("00 01 00 00") + "abc"},
    };
    const Case point_sets[] = {
        {"-1", hex("FF FF FF FF") + pad},
        {"INT_MAX", hex("FF FF FF 7F") + pad},
        {"count x 24 overflows int", hex("AB AA AA 0A") + pad},
        {"past the end", hex("10 00 00 00") + pad},
    };
    const Case runs[] = {
        {"runs -1", hex("FF FF FF FF 00") + pad},
        {"runs INT_MAX", hex("FF FF FF 7F 00") + pad},
        {"counts sum overflows", hex("02 00 00 00 00 FF FF FF FF FF FF FF FF") + pad},
        {"counts sum past max", hex("02 00 00 00 00 00 00 00 01 00 00 00 01") + pad},
        {"points past the end", hex("01 00 00 00 00 05 00 00 00") + pad},
    };
    for (bool trickling : {false, true}) {
        auto reader = [&](Stream& s, const Bytes& b) {
            if (trickling)
                trickle(s.io, b);
            else
                ASSERT_EQ(s.open_read(b), 0);
        };
        for (const Case& c : strings) {
            Stream s;
            reader(s, c.bytes);
            MB_String text("keep");
            MB_Result r = until_done([&] { return text.materialize(s.io); });
            EXPECT_NE(r, 0) << "string " << c.name;
            EXPECT_EQ(text, MB_String("keep")) << c.name;

            Stream x;
            reader(x, c.bytes);
            MB_Xdata data;
            data.buffer("keep", 4);
            r = until_done([&] { return data.materialize(MB_Opcode(), x.io); });
            EXPECT_NE(r, 0) << "xdata " << c.name;
            EXPECT_EQ(std::string(data.buffer(), data.size()), "keep") << c.name;
        }
        for (const Case& c : point_sets) {
            Stream s;
            reader(s, c.bytes);
            const Qe_Pt one(1, 1, 1);
            Qe_Pt_Set set(1, &one);
            EXPECT_NE(until_done([&] { return s.io.read(set); }), 0) << "set " << c.name;
            ASSERT_EQ(set.count(), 1) << c.name;
            EXPECT_TRUE(pt_eq(set[0], one));
            EXPECT_TRUE(pt_eq(s.drawing.position(), Qe_Pt()));
        }
        for (const Case& c : runs) {
            Stream s;
            reader(s, c.bytes);
            const Qe_Pt one(1, 1, 1);
            Qe_Pt_Sets sets(1, nullptr, nullptr);
            sets.init(1, &one);
            EXPECT_NE(until_done([&] { return s.io.read(sets); }), 0) << "sets " << c.name;
            EXPECT_EQ(sets.ptset_count(), 1u) << c.name;
            EXPECT_EQ(sets.pts_count(), 1u) << c.name;
        }
    }
}

TEST(File_IO_Hostile, TruncatedRecordsFailAtEveryOffset)
{
    Stream writer;
    ASSERT_EQ(writer.open_write(), 0);
    EXPECT_EQ(MB_String("layer name").serialize(writer.io, 0), 0);
    const Qe_Pt pts[2] = {Qe_Pt(1, 2, 3), Qe_Pt(4, 6, 3)};
    EXPECT_EQ(writer.io.write(Qe_Pt_Set(2, pts)), 0);
    const Bytes body = writer.body();
    for (std::size_t cut = 0; cut < body.size(); ++cut) {
        Stream s;
        ASSERT_EQ(s.open_read(body.substr(0, cut)), 0);
        MB_String text;
        Qe_Pt_Set set;
        MB_Result r = text.materialize(s.io);
        if (r == 0) r = s.io.read(set);
        EXPECT_NE(r, 0) << cut;
    }
}

// Seeded mutations of a stream of records: every read ends with a result, inside its
// buffers (the sanitizers check the rest).
TEST(File_IO_Hostile, MutatedRecords)
{
    Stream writer;
    ASSERT_EQ(writer.open_write(), 0);
    EXPECT_EQ(MB_String("a layer").serialize(writer.io, 0), 0);
    const Qe_Pt pts[3] = {Qe_Pt(1, 2, 3), Qe_Pt(4, 6, 3), Qe_Pt(7, 8, 9)};
    EXPECT_EQ(writer.io.write(Qe_Pt_Set(3, pts)), 0);
    const mb_ulong counts[2] = {1, 2};
    EXPECT_EQ(writer.io.write(Qe_Pt_Sets(2, counts, pts)), 0);
    MB_Xdata x;
    x.buffer("data", 4);
    EXPECT_EQ(x.serialize(writer.io), 0);
    EXPECT_EQ(writer.io.write_count(300), 0);
    // (A '{' would open a binary stretch with a length: the tail is plain nesting.)
    EXPECT_EQ(writer.io.write("'quoted token' (x (y 'a)b')) z)"), 0);
    const Bytes body = writer.body();

    std::mt19937 rng(20261210);
    int read_through = 0, refused = 0;
    for (int round = 0; round < 400; ++round) {
        Bytes b = body;
        // Round 0 reads the unchanged records: the reader must give them back as written.
        const int flips = round == 0 ? 0 : 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i) b[rng() % b.size()] = static_cast<char>(rng() & 0xFF);
        if (round != 0 && rng() % 3 == 0) b.resize(rng() % b.size());
        Stream s;
        ASSERT_EQ(s.open_read(b), 0);
        MB_String text;
        Qe_Pt_Set set;
        Qe_Pt_Sets sets;
        MB_Xdata data;
        int count = 0;
        char* token = nullptr;
        MB_Result r = text.materialize(s.io);
        if (r == 0) r = s.io.read(set);
        if (r == 0) r = s.io.read(sets);
        if (r == 0) r = data.materialize(MB_Opcode(), s.io);
        if (r == 0) r = s.io.read_count(count);
        if (r == 0) r = s.io.read(token, 40, 0);
        std::unique_ptr<char[]> owned(token);
        s.io.set_paren_count(1);
        if (r == 0) r = s.io.skip_past_matching_paren(0);
        if (round == 0) {
            ASSERT_EQ(r, 0);
            EXPECT_EQ(text, MB_String("a layer"));
            EXPECT_EQ(set.count(), 3);
            EXPECT_EQ(sets.ptset_count(), 2u);
            EXPECT_EQ(count, 300);
            ASSERT_NE(token, nullptr);
            EXPECT_STREQ(token, "quoted token");
        }
        if (r != 0) {
            ++refused;
            continue;
        }
        ++read_through;
        // What was read holds together and is no larger than the bytes could carry.
        EXPECT_LE(static_cast<std::size_t>(set.count()) * 3 * sizeof(double), b.size());
        EXPECT_EQ(sets.pts_count() == 0, sets.points() == nullptr || sets.ptset_count() == 0);
        mb_ulong run_total = 0;
        for (mb_ulong k = 0; k < sets.ptset_count(); ++k) run_total += sets.vals()[k];
        EXPECT_EQ(run_total, sets.pts_count());
        EXPECT_LE(static_cast<std::size_t>(sets.pts_count()) * 3 * sizeof(double), b.size());
        if (token) {
            EXPECT_LT(std::strlen(token), 40u);
        }
    }
    // Both outcomes occur: the loop tests the reader, not one of its paths.
    EXPECT_GT(read_through, 10);
    EXPECT_GT(refused, 10);
}

// Opening and closing

TEST(File_IO_Open, Results)
{
    {
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        EXPECT_EQ(s.io.open(), MB_Result::File_Already_Open);
    }
    {
        MB_File_IO io;
        EXPECT_EQ(io.close(), 0);  // mode 0: nothing to do
        io.set_file_mode(MB_File_IO::Mode_Read);
        EXPECT_EQ(io.close(), MB_Result::No_File_Open);
        io.set_file_mode(MB_File_IO::Mode_Write);
        EXPECT_EQ(io.close(), MB_Result::No_File_Open);
    }
    {
        MB_File_IO io;
        io.set_file_mode(MB_File_IO::Mode_Read);
        EXPECT_EQ(io.open(), MB_Result::No_File_Name);  // no drawing
        MB_Drawing d;
        io.drawing(&d);
        EXPECT_EQ(io.open(), MB_Result::No_File_Name);
        d.set_filename("/nonexistent-folder/x.vkt");
        EXPECT_EQ(io.open(), MB_Result::Open_Failed);
        Temp_File f;
        d.set_filename(f.path());
        io.set_file_mode(MB_File_IO::Mode_Closed);
        EXPECT_EQ(io.open(), MB_Result::Open_Failed);
        io.set_file_mode(MB_File_IO::Mode_Read);
        EXPECT_EQ(io.open(), 0);
        ASSERT_NE(io.statistics(), nullptr);
        EXPECT_EQ(io.statistics()->counts[3], 0);
        EXPECT_EQ(io.close(), 0);
        EXPECT_EQ(io.statistics(), nullptr);
    }
}

TEST(File_IO_Open, CloseForgetsWhatWasHeldBack)
{
    Stream s;
    ASSERT_EQ(s.open_read("abc"), 0);
    const unsigned char back[2] = {'X', 'Y'};
    EXPECT_EQ(s.io.put_back(2, back), 0);
    s.io.set_paren_count(3);
    EXPECT_EQ(s.io.close(), 0);
    EXPECT_EQ(s.io.paren_count(), 0);
    EXPECT_EQ(s.io.stream_position(), 0);
    ASSERT_EQ(s.open_read("def"), 0);
    unsigned char b[3];
    ASSERT_EQ(s.io.read(3, b), 0);
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(b), 3), "def");
}

// A held drawable is dropped when the next drawable comes; the one given is never held.
TEST(File_IO_Open, MergeOrDelayDropsWhatWasHeld)
{
    MB_File_IO io;
    Test_Geom given;
    EXPECT_EQ(io.merge_or_delay_drawable(given), 0);
    EXPECT_EQ(io.delayed_drawable(), nullptr);
    const int live = Test_Geom::s_live;
    io.set_delayed_drawable(new Test_Geom);
    EXPECT_EQ(io.merge_or_delay_drawable(given), 0);
    EXPECT_EQ(io.delayed_drawable(), nullptr);
    EXPECT_EQ(Test_Geom::s_live, live);
    // A drawable marked to keep stays with its owner.
    Test_Geom kept;
    io.set_delayed_drawable(&kept);
    io.set_keep_delayed_drawable(true);
    EXPECT_EQ(io.merge_or_delay_drawable(given), 0);
    EXPECT_EQ(io.delayed_drawable(), &kept);
    io.set_delayed_drawable(nullptr);
}

TEST(File_IO_Open, RenditionsAndIncarnations)
{
    MB_File_IO io;
    ASSERT_NE(io.rendition(), nullptr);
    EXPECT_EQ(io.rendition()->color().rgba(), MB_RGBA32(255, 255, 255, 0));
    EXPECT_EQ(io.rendition()->color_map().size(), 256);
    EXPECT_EQ(io.rendition()->color_map().map()[10], MB_RGBA32(0, 0, 0, 255));  // palette A
    EXPECT_EQ(io.next_incarnation(), 1);
    EXPECT_EQ(io.next_incarnation(), 2);
    EXPECT_EQ(MB_File_IO::toolkit_decimal_revision(), 100);
    MB_Drawing d;
    io.drawing(&d);
    EXPECT_EQ(io.fifo_rendition().drawing(), &d);
}

}  // namespace
