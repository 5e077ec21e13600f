#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "kernel/text/font_fixture.h"
#include "kernel/text/shx_library.h"
#include "kernel/stream/stream_fixture.h"

using font_test::draw_char;
using font_test::Font_Folder;
using font_test::Strokes;
using shx_writer::Bytes;
using shx_writer::Font_Info;
using shx_writer::Shape;

namespace {

// Up 1, right 1: one stroke (0,0) (0,1) (1,1) and the advance 1.
const Bytes k_corner = {1, 0x14, 0x10, 2, 0};
// A pen-up move only: draws nothing.
const Bytes k_blank = {8, 5, 0, 0};

std::vector<unsigned long> numbers_of(const MB_Shx_Library& lib)
{
    std::vector<unsigned long> v;
    for (Qe_Shx_Char* c = lib.char_list().head(); c; c = c->next()) v.push_back(c->index());
    return v;
}

Bytes buffer_of(const Qe_Shx_Char* c)
{
    return Bytes(c->buffer(), c->buffer() + c->size());
}

Bytes with_signature(std::string text, std::size_t size = 40)
{
    Bytes b(text.begin(), text.end());
    b.resize(size, 0);
    return b;
}

}  // namespace

TEST(ShxSignature, KindsOfFileStarts)
{
    Font_Folder folder;
    struct Case {
        const char* what;
        Bytes bytes;
        int kind;
    };
    const std::vector<Case> cases = {
        {"unifont", with_signature("AutoCAD-86 unifont 1.0\r\n\x1a"), 3},
        {"shapes 1.1", with_signature("AutoCAD-86 shapes 1.1\r\n\x1a"), 0},
        {"shapes 1.0", with_signature("AutoCAD-86 shapes 1.0\r\n\x1a"), 0},
        {"zolt", with_signature("ZOLT-Font 1.0\x1a"), 0},
        {"bigfont", with_signature("AutoCAD-86 bigfont 1.0\r\n\x1a"), 1},
        {"vesprane", with_signature("VESPRANE BigFonts  1.0\r\n\x1a"), 1},
        {"hurn", with_signature("HURN-Font 1.0\r\n"), 2},
        {"other case, cut at CR", with_signature("aUTOcad-86 SHAPES 1.0\r\n\x1a"), 0},
        {"cut at a byte of 128 and above", with_signature("AutoCAD-86 bigfont 1.0\x80zz"), 1},
        {"one blank in vesprane", with_signature("VESPRANE BigFonts 1.0\r\n"), -1},
        {"trailing blank", with_signature("AutoCAD-86 shapes 1.0 \r\n"), -1},
        {"34 printable bytes", with_signature(std::string(34, 'A') + "\r\n"), -1},
        {"33 bytes", with_signature("AutoCAD-86 shapes 1.0\r\n\x1a", 33), -1},
        {"empty", Bytes{}, -1},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "sig" + std::to_string(i++) + ".shx";
        folder.put(name, c.bytes);
        EXPECT_EQ(MB_Shx_Library::signature_kind(c.bytes.data(), c.bytes.size()), c.kind);
        EXPECT_EQ(get_shx_font_type(name.c_str()), c.kind < 0 ? 0 : c.kind);
        std::FILE* f = std::fopen(folder.path(name).c_str(), "rb");
        ASSERT_TRUE(f);
        EXPECT_EQ(read_shx_signature(f), c.kind);
        std::fclose(f);
        // A big font of a signature only lacks its header value 8.
        MB_Shx_Library lib;
        EXPECT_EQ(lib.load_shx_file(name.c_str()), c.kind >= 0 && c.kind != 1);
    }
    EXPECT_EQ(get_shx_font_type(nullptr), 0);
    EXPECT_EQ(get_shx_font_type(""), 0);
    EXPECT_EQ(get_shx_font_type("missing.shx"), 0);
}

TEST(ShxLoad, ShapesFileRoundTrip)
{
    Font_Folder folder;
    const Font_Info info{"roman", 10, 3, 2};
    // Definitions carry a name and its zero byte: the loader passes over both.
    const std::vector<Shape> shapes = {{65, "LETTER A", k_corner}, {66, "", k_blank}, {300, "x", {0x34, 0}}};
    folder.put("s.shx", shx_writer::shapes_file(info, shapes));
    MB_Shx_Library lib("s.shx");
    EXPECT_STREQ(lib.file_name(), "s.shx");
    EXPECT_STREQ(lib.name().ascii(), "s.shx");
    EXPECT_EQ(lib.above(), 10);
    EXPECT_EQ(lib.below(), 3);
    EXPECT_EQ(lib.modes(), 2);
    EXPECT_EQ(lib.height(), 10.0);
    EXPECT_EQ(lib.font_type(), MB_Font_Library::SHX_FONT);
    EXPECT_FALSE(lib.is_ttf_font());
    ASSERT_EQ(numbers_of(lib), (std::vector<unsigned long>{65, 66, 300}));
    int k = 0;
    for (Qe_Shx_Char* c = lib.char_list().head(); c; c = c->next(), ++k) EXPECT_EQ(buffer_of(c), shapes[k].code);
    EXPECT_EQ(lib.find_shape(300), lib.char_list().tail());
    EXPECT_EQ(lib.find_shape(0), nullptr);
}

TEST(ShxLoad, BigFontRoundTrip)
{
    Font_Folder folder;
    const Font_Info info{"hz", 24, 4, 1};
    std::vector<Shape> shapes = {{0xB0A1, "", k_corner}, {0xB0A2, "", {}, true}, {0xB0A3, "named", {0x44, 1, 0x10, 0}}};
    folder.put("b.shx", shx_writer::big_font(info, shapes, {{0x81, 0xA0}, {0xA1, 0xFE}}));
    MB_Shx_Library lib("b.shx");
    EXPECT_EQ(lib.above(), 24);
    EXPECT_EQ(lib.below(), 4);
    EXPECT_EQ(lib.modes(), 1);
    // The information entry is a shape too; the zero-length entry is not.
    ASSERT_EQ(numbers_of(lib), (std::vector<unsigned long>{0, 0xB0A1, 0xB0A3}));
    // Each buffer has the definition's length: the byte code after the name, then zeros.
    const Qe_Shx_Char* c = lib.find_shape(0xB0A3);
    ASSERT_TRUE(c);
    Bytes expected = {0x44, 1, 0x10, 0};
    expected.resize(std::string("named").size() + 1 + 4, 0);
    EXPECT_EQ(buffer_of(c), expected);
    Bytes first = k_corner;
    first.resize(k_corner.size() + 1, 0);
    EXPECT_EQ(buffer_of(lib.find_shape(0xB0A1)), first);
}

TEST(ShxLoad, UnifontRoundTripAndStops)
{
    Font_Folder folder;
    const Font_Info info{"uni", 9, 2, 0};
    const std::vector<Shape> shapes = {{0x41, "", k_corner}, {0x4E00, "", {0x10, 0}}, {0x42, "", {}}};
    Bytes file = shx_writer::unifont(info, shapes);
    folder.put("u.shx", file);
    MB_Shx_Library lib("u.shx");
    EXPECT_EQ(lib.above(), 9);
    EXPECT_EQ(lib.below(), 2);
    ASSERT_EQ(numbers_of(lib), (std::vector<unsigned long>{0x41, 0x4E00, 0x42}));
    EXPECT_EQ(buffer_of(lib.find_shape(0x41)), k_corner);
    EXPECT_EQ(lib.find_shape(0x42)->size(), 0);

    // A record of length 0 ends the shapes: what follows it is not read.
    Bytes stopped = shx_writer::unifont(info, {shapes[0]});
    const Bytes tail = {0x50, 0, 0, 0, 0, 0x51, 0, 2, 0, 0, 0x10};
    stopped.insert(stopped.end(), tail.begin(), tail.end());
    folder.put("u2.shx", stopped);
    MB_Shx_Library lib2("u2.shx");
    EXPECT_EQ(numbers_of(lib2), (std::vector<unsigned long>{0x41}));
}

TEST(ShxDraw, ScalesPlacesAndAdvances)
{
    Font_Folder folder;
    folder.put("d.shx", shx_writer::shapes_file({"d", 10, 3, 0}, {{65, "", k_corner}, {32, "", k_blank}}));
    MB_Shx_Library lib("d.shx");
    // height 20 against the font's 10, width factor 0.5: x by 1, y by 2.
    Strokes s;
    Qe_Pt pen(100.0, 50.0, 0.0);
    ASSERT_TRUE(draw_char(lib, 65, s, pen, 20.0, 0.5));
    EXPECT_TRUE(font_test::strokes_near(s, {{Qe_Pt(100, 50, 0), Qe_Pt(100, 52, 0), Qe_Pt(101, 52, 0)}}, 1e-12));
    EXPECT_DOUBLE_EQ(pen.x(), 101.0);
    EXPECT_DOUBLE_EQ(pen.y(), 50.0);

    struct Case {
        unsigned long code;
        bool vertical;
        double dx, dy;
    };
    // Vertical text steps down 1.2 h per drawn character and h per blank; a blank advances
    // h * width factor, not its own pen-up move.
    for (const Case& c : {Case{65, true, 0.0, -24.0}, Case{32, false, 10.0, 0.0}, Case{32, true, 0.0, -20.0}}) {
        Strokes t;
        Qe_Pt p(100.0, 50.0, 0.0);
        ASSERT_TRUE(draw_char(lib, c.code, t, p, 20.0, 0.5, c.vertical));
        EXPECT_DOUBLE_EQ(p.x(), 100.0 + c.dx);
        EXPECT_DOUBLE_EQ(p.y(), 50.0 + c.dy);
        EXPECT_EQ(t.empty(), c.code == 32);
    }

    Strokes none;
    Qe_Pt p(7.0, 8.0, 0.0);
    EXPECT_FALSE(draw_char(lib, 66, none, p, 20.0, 1.0));
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(p.x(), 7.0);
    EXPECT_EQ(p.y(), 8.0);
}

// A code drawn again is placed as it was the first time, wherever and however large; a shape
// changed through the list is drawn as it is now.
TEST(ShxDraw, RepeatedCodesAndChangedShapes)
{
    Font_Folder folder;
    folder.put("r.shx", shx_writer::shapes_file({"r", 10, 3, 0}, {{65, "", k_corner}, {32, "", k_blank}}));
    MB_Shx_Library lib("r.shx");
    struct Case {
        double x, y, height, width;
        Strokes want;
        double advance;
    };
    const Case cases[] = {
        {0.0, 0.0, 10.0, 1.0, {{Qe_Pt(0, 0, 0), Qe_Pt(0, 1, 0), Qe_Pt(1, 1, 0)}}, 1.0},
        {100.0, 50.0, 20.0, 0.5, {{Qe_Pt(100, 50, 0), Qe_Pt(100, 52, 0), Qe_Pt(101, 52, 0)}}, 101.0},
        {-7.5, 3.0, 5.0, 2.0, {{Qe_Pt(-7.5, 3, 0), Qe_Pt(-7.5, 3.5, 0), Qe_Pt(-6.5, 3.5, 0)}}, -6.5},
    };
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            Strokes s, blank;
            Qe_Pt pen(c.x, c.y, 0.0), after(c.x, c.y, 0.0);
            ASSERT_TRUE(draw_char(lib, 65, s, pen, c.height, c.width));
            EXPECT_TRUE(font_test::strokes_near(s, c.want, 1e-12));
            EXPECT_DOUBLE_EQ(pen.x(), c.advance);
            ASSERT_TRUE(draw_char(lib, 32, blank, after, c.height, c.width));
            EXPECT_TRUE(blank.empty());
            EXPECT_DOUBLE_EQ(after.x(), c.x + c.height * c.width);
        }
    }
    // Right 1, then up 1.
    Qe_Shx_Char* shape = lib.char_list().head();
    ASSERT_NE(shape, nullptr);
    ASSERT_EQ(shape->index(), 65u);
    shape->buffer()[1] = 0x10;
    shape->buffer()[2] = 0x14;
    Strokes s;
    Qe_Pt pen;
    ASSERT_TRUE(draw_char(lib, 65, s, pen, 10.0));
    EXPECT_TRUE(font_test::strokes_near(s, {{Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0), Qe_Pt(1, 1, 0)}}, 1e-12));
}

TEST(ShxDraw, HeightFromAboveOrBelow)
{
    Font_Folder folder;
    struct Case {
        std::uint8_t above, below;
        double height;
    };
    for (const Case& c : {Case{0, 6, 6.0}, Case{8, 6, 8.0}, Case{0, 0, 0.0}}) {
        folder.put("h.shx", shx_writer::shapes_file({"h", c.above, c.below, 0}, {{65, "", k_corner}}));
        MB_Shx_Library lib("h.shx");
        EXPECT_EQ(lib.height(), c.height);
        // A font of no height draws at its shape units times the text height, never at infinity.
        Strokes s;
        Qe_Pt pen;
        ASSERT_TRUE(draw_char(lib, 65, s, pen, 12.0));
        ASSERT_EQ(s.size(), 1u);
        EXPECT_DOUBLE_EQ(s[0][2].y(), 12.0 / (c.height == 0.0 ? 1.0 : c.height));
    }
    MB_Shx_Library missing("missing.shx");
    EXPECT_EQ(missing.height(), 1.0);
    EXPECT_EQ(missing.char_list().head(), nullptr);
}

// Damaged headers: the reads that would leave the file or the definition keep the defaults
// or end the reading, keeping what came before.
TEST(ShxLoad, DamagedLayouts)
{
    Font_Folder folder;
    const Font_Info info{"f", 10, 3, 2};
    const std::vector<Shape> three = {{65, "", k_corner}, {66, "", k_blank}, {67, "", {0x10, 0}}};

    {  // shape 0 shorter than four bytes
        Bytes b = shx_writer::shapes_file(info, three);
        // Entry 0's length (offset 32) becomes 2 and every definition moves on: rebuild by hand.
        Bytes def0 = {'f', 0};
        Bytes file(b.begin(), b.begin() + 30);
        shx_writer::put16(file, 0), shx_writer::put16(file, 2);
        shx_writer::put16(file, 65), shx_writer::put16(file, unsigned(k_corner.size() + 1));
        shx_writer::set16(file, 28, 2);
        file.insert(file.end(), def0.begin(), def0.end());
        file.push_back(0);
        file.insert(file.end(), k_corner.begin(), k_corner.end());
        file.resize(std::max<std::size_t>(file.size(), 34), 0);
        folder.put("short0.shx", file);
        MB_Shx_Library lib("short0.shx");
        EXPECT_EQ(lib.above(), 1);
        EXPECT_EQ(lib.below(), 1);
        EXPECT_EQ(lib.modes(), 0);
        EXPECT_EQ(numbers_of(lib), (std::vector<unsigned long>{65}));
    }
    {  // unifont information shorter than six bytes
        Bytes b = shx_writer::signature("AutoCAD-86 unifont 1.0", 25);
        b.resize(25);
        shx_writer::put32(b, 1);
        shx_writer::put16(b, 3);
        b.insert(b.end(), {'a', 0, 9});
        shx_writer::put16(b, 65), shx_writer::put16(b, unsigned(k_corner.size() + 1)), b.push_back(0);
        b.insert(b.end(), k_corner.begin(), k_corner.end());
        folder.put("uni5.shx", b);
        MB_Shx_Library lib("uni5.shx");
        EXPECT_EQ(lib.above(), 1);
        EXPECT_EQ(lib.below(), 1);
        EXPECT_EQ(numbers_of(lib), (std::vector<unsigned long>{65}));
    }
    {  // big font whose information has no zero, or too few bytes after it
        for (const std::string& name : {std::string("nozero"), std::string("two")}) {
            Bytes b = shx_writer::big_font(info, three);
            // The information definition is the first after the index: "f\0" + 4 bytes.
            const std::size_t def = 31 + 4 + 8 * 4;
            if (name == "nozero") {
                b[def + 1] = 'g';
                b[def + 2] = 'h', b[def + 3] = 'i', b[def + 4] = 'j', b[def + 5] = 'k';
            } else {
                shx_writer::set16(b, 31 + 4 + 2, 4);  // "f", 0, above, below
            }
            folder.put(name + ".shx", b);
            MB_Shx_Library lib((name + ".shx").c_str());
            EXPECT_EQ(lib.above(), 1) << name;
            EXPECT_EQ(lib.below(), 1) << name;
            EXPECT_EQ(numbers_of(lib), (std::vector<unsigned long>{0, 65, 66, 67})) << name;
        }
    }
    {  // a big-font entry past the end of the file ends reading; one with header value 7 fails
        Bytes b = shx_writer::big_font(info, three);
        const std::size_t entry2 = 31 + 4 + 8 * 2;  // the entry of shape 66
        shx_writer::set16(b, entry2 + 4, 0xFFF0);
        folder.put("past.shx", b);
        MB_Shx_Library lib("past.shx");
        EXPECT_EQ(numbers_of(lib), (std::vector<unsigned long>{0, 65}));
        shx_writer::set16(b, 25, 7);
        folder.put("seven.shx", b);
        MB_Shx_Library seven;
        EXPECT_FALSE(seven.load_shx_file("seven.shx"));
        EXPECT_EQ(seven.char_list().head(), nullptr);
    }
    {  // a shapes-file definition longer than the file
        Bytes b = shx_writer::shapes_file(info, three);
        shx_writer::set16(b, 30 + 4 * 2 + 2, 0xFFFF);  // shape 66's length
        folder.put("long.shx", b);
        MB_Shx_Library lib("long.shx");
        EXPECT_EQ(numbers_of(lib), (std::vector<unsigned long>{65}));
    }
}

// Many big-font entries naming one long definition: the bytes held stay within a multiple
// of the file size instead of growing with the entry count.
TEST(ShxLoad, SharedDefinitionsAreBounded)
{
    Font_Folder folder;
    Bytes b = shx_writer::signature("AutoCAD-86 bigfont 1.0", 25);
    b.resize(25);
    const unsigned n = 60000, length = 4000;
    shx_writer::put16(b, 8), shx_writer::put16(b, n), shx_writer::put16(b, 0);
    const std::uint32_t offset = static_cast<std::uint32_t>(b.size() + 8 * n);
    for (unsigned i = 0; i < n; ++i) {
        shx_writer::put16(b, i + 1), shx_writer::put16(b, length);
        shx_writer::put32(b, offset);
    }
    b.resize(b.size() + length, 0x10);
    b[offset] = 0;
    folder.put("shared.shx", b);
    MB_Shx_Library lib("shared.shx");
    std::size_t held = 0, count = 0;
    for (Qe_Shx_Char* c = lib.char_list().head(); c; c = c->next()) held += c->size(), ++count;
    EXPECT_GT(count, 0u);
    EXPECT_LT(count, n);
    EXPECT_LE(held, 16 * b.size());
}

TEST(ShxLoad, WritesOnlyItsOpcode)
{
    Font_Folder folder;
    folder.put("w.shx", shx_writer::shapes_file({"w", 10, 3, 0}, {{65, "", k_corner}}));
    MB_Shx_Library lib("w.shx");
    stream_test::Stream s;
    ASSERT_EQ(s.open_write(), MB_Result::Success);
    EXPECT_EQ(lib.serialize(s.io), MB_Result::Success);
    EXPECT_EQ(s.body(), "f");
    EXPECT_EQ(lib.object_id(), MB_Object::ID_FONT_LIBRARY);
    EXPECT_EQ(lib.object_type(), MB_Object::TYPE_ATTRIBUTE);
}

namespace {

// Loads name and draws every shape it holds; the shape numbers read, in order.
std::vector<unsigned long> load_and_draw(const char* name)
{
    MB_Shx_Library lib(name);
    for (Qe_Shx_Char* c = lib.char_list().head(); c; c = c->next()) {
        Strokes s;
        Qe_Pt pen;
        (void)draw_char(lib, c->index(), s, pen, 5.0, 1.0, false);
    }
    return numbers_of(lib);
}

bool is_prefix(const std::vector<unsigned long>& a, const std::vector<unsigned long>& b)
{
    return a.size() <= b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace

// Cut at every byte, and seeded damage, for each layout: loading never crashes, and a cut file
// keeps the shapes before the cut.
TEST(ShxHostile, TruncationAndMutation)
{
    Font_Folder folder;
    const Font_Info info{"f", 10, 3, 0};
    const std::vector<Shape> shapes = {{65, "a", k_corner},
                                       {66, "", {7, 65, 8, 3, 3, 7, 66, 0}},  // calls 65, then itself
                                       {67, "", {9, 1, 2, 3, 4, 0, 0, 13, 5, 5, 40, 0, 0, 10, 3, 0x12, 0}},
                                       {68, "", {12, 4, 4, 127, 11, 1, 2, 0, 3, 0x21, 0}}};
    const std::vector<std::pair<std::string, Bytes>> fonts = {
        {"shapes", shx_writer::shapes_file(info, shapes)},
        {"big", shx_writer::big_font(info, shapes)},
        {"uni", shx_writer::unifont(info, shapes)},
    };
    std::mt19937 rng(20);
    for (const auto& [kind, full] : fonts) {
        SCOPED_TRACE(kind);
        folder.put("full.shx", full);
        const std::vector<unsigned long> all = load_and_draw("full.shx");
        ASSERT_GE(all.size(), shapes.size());
        for (std::size_t cut = 0; cut < full.size(); ++cut) {
            folder.put("cut.shx", Bytes(full.begin(), full.begin() + cut));
            EXPECT_TRUE(is_prefix(load_and_draw("cut.shx"), all)) << "cut at " << cut;
        }
        for (int round = 0; round < 300; ++round) {
            Bytes m = full;
            const int changes = 1 + static_cast<int>(rng() % 6);
            for (int k = 0; k < changes; ++k) {
                const std::size_t at = 25 + rng() % (m.size() - 25);
                switch (rng() % 3) {
                case 0: m[at] = static_cast<std::uint8_t>(rng()); break;
                case 1: m[at] = 0xFF; break;
                default: m[at] = static_cast<std::uint8_t>(rng() % 16); break;
                }
            }
            folder.put("mut.shx", m);
            (void)load_and_draw("mut.shx");
        }
    }
}
