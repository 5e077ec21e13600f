#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "geometry/rect.h"
#include "kernel/display/draw_node.h"
#include "kernel/text/font_fixture.h"
#include "kernel/text/shp_library.h"
#include "kernel/text/shx_library.h"
#include "kernel/text/text_layout.h"
#include "kernel/text/text_style.h"

using font_test::draw_char;
using font_test::Font_Folder;
using font_test::runs_of;
using font_test::Strokes;
using font_test::strokes_near;
using shx_writer::Bytes;
using shx_writer::Font_Info;
using shx_writer::Line_End;
using shx_writer::Shape;

namespace {

Strokes glyph_strokes(MB_Shp_Library& lib, unsigned short code)
{
    MB_Font_Char* c = lib.font_char_set(code);
    return c ? runs_of(c->position_set()) : Strokes{};
}

// A glyph set in the commands both forms spell alike: vectors, pen, scale, saved positions
// (with the pen up), sub-shapes, displacements, octant arcs of at least one octant and
// bulge arcs of non-zero bulge. Each glyph ends on its largest x.
const std::vector<Shape> k_common = {
    {49, "one", {2, 8, 2, 0, 1, 0x3C, 0x24, 0x1E, 2, 8, 2, 3, 0}},
    {50, "vectors", {1, 0x10, 0x21, 0x32, 0x43, 0x14, 0x1F, 0x2D, 0x48, 0x67, 0x10, 2, 8, 10, 0, 0}},
    {51, "scaled", {4, 3, 1, 0x10, 0x14, 3, 3, 0x20, 2, 0}},
    {52, "push pop", {5, 8, 0, 4, 1, 0x20, 2, 6, 1, 0x14, 2, 8, 2, 0, 0}},
    {53, "calls", {7, 50, 1, 0x10, 2, 0}},
    {54, "pairs", {1, 9, 2, 3, -1 & 0xFF, 4, 3, -7 & 0xFF, 0, 0, 2, 0}},
    {55, "octants", {8, 4, 0, 1, 10, 3, 0x12, 10, 2, 0xA3, 2, 8, 9, 0, 0}},
    {56, "bulges", {1, 12, 6, 0, 127, 13, 4, 4, 40, 0, 6, -30 & 0xFF, 0, 0, 2, 0}},
};

}  // namespace

TEST(ShpLoad, HeaderBigFontAndFirstStroke)
{
    Font_Folder folder;
    folder.put("big.shp",
               std::string("*BIGFONT 4,1,080,09e\n*0,4,Big test font\n12,4,2,0\n"
                           "*65,9,uca\n2,8,(-1,-6),1,020,024,2,0\n"
                           "*66,3,last\n1,020,0"));
    MB_Shp_Library lib("big.shp");
    EXPECT_TRUE(lib.is_big_font());
    EXPECT_STREQ(lib.desc().ascii(), "Big test font");
    EXPECT_STREQ(lib.name().ascii(), "big.shp");
    EXPECT_EQ(lib.above(), 12);
    EXPECT_EQ(lib.below(), 4);
    EXPECT_EQ(lib.modes(), 2);
    EXPECT_EQ(lib.height(), 12.0);
    EXPECT_EQ(lib.font_type(), MB_Font_Library::SHP_FONT);
    const Strokes a = glyph_strokes(lib, 65);
    EXPECT_TRUE(strokes_near(a, {{Qe_Pt(-1, -6, 0), Qe_Pt(1, -6, 0), Qe_Pt(1, -4, 0)}}, 1e-12));
    EXPECT_DOUBLE_EQ(lib.font_char_set(65)->end_pos().x(), 1.0);
    EXPECT_DOUBLE_EQ(lib.font_char_set(65)->end_pos().y(), -4.0);
    // The last shape of the file, without a final line end, is read as every other one.
    EXPECT_TRUE(strokes_near(glyph_strokes(lib, 66), {{Qe_Pt(0, 0, 0), Qe_Pt(2, 0, 0)}}, 1e-12));
    EXPECT_DOUBLE_EQ(lib.font_char_set(66)->end_pos().x(), 2.0);
    EXPECT_EQ(lib.font_char_set(67), nullptr);

    // Drawn at the font's own height the strokes are the glyph's, moved to the pen.
    Strokes s;
    Qe_Pt pen(3.0, 4.0, 0.0);
    ASSERT_TRUE(draw_char(lib, 65, s, pen, 12.0));
    EXPECT_TRUE(strokes_near(s, {{Qe_Pt(2, -2, 0), Qe_Pt(4, -2, 0), Qe_Pt(4, 0, 0)}}, 1e-12));
    EXPECT_DOUBLE_EQ(pen.x(), 4.0);
    EXPECT_DOUBLE_EQ(pen.y(), 4.0);
    // A code without a glyph draws nothing and leaves the pen.
    s.clear();
    EXPECT_FALSE(draw_char(lib, 67, s, pen, 12.0));
    EXPECT_FALSE(draw_char(lib, 0x10041, s, pen, 12.0));
    EXPECT_TRUE(s.empty());
    EXPECT_DOUBLE_EQ(pen.x(), 4.0);
}

TEST(ShpLoad, VectorDirections)
{
    Font_Folder folder;
    struct Case {
        const char* token;
        double x, y;
    };
    const Case cases[] = {{"020", 2, 0}, {"024", 0, 2}, {"022", 2, 2}, {"021", 2, 0.828427}, {"02C", 0, -2},
                          {"0020A", -2, -2}};
    std::string text = "*0,4,v\n10,2,0,0\n";
    for (std::size_t i = 0; i < std::size(cases); ++i)
        text += "*" + std::to_string(100 + i) + ",3,x\n1," + cases[i].token + ",0\n";
    folder.put("v.shp", text);
    MB_Shp_Library lib("v.shp");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].token);
        const Strokes s = glyph_strokes(lib, static_cast<unsigned short>(100 + i));
        ASSERT_EQ(s.size(), 1u);
        ASSERT_EQ(s[0].size(), 2u);
        EXPECT_NEAR(s[0][1].x(), cases[i].x, 1e-6);
        EXPECT_NEAR(s[0][1].y(), cases[i].y, 1e-6);
    }
}

// The same glyphs written as SHP text and as compiled bytes draw the same strokes and, as
// they end on their largest x, advance alike.
TEST(ShpLoad, SameStrokesAsCompiledShapes)
{
    Font_Folder folder;
    const Font_Info info{"common", 10, 2, 0};
    folder.put("c.shx", shx_writer::shapes_file(info, k_common));
    MB_Shx_Library shx("c.shx");
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"LF", shx_writer::shp_text(info, k_common, Line_End::LF)},
        {"CRLF, three tokens a line", shx_writer::shp_text(info, k_common, Line_End::CRLF, 3)},
        {"no final line end", shx_writer::shp_text(info, k_common, Line_End::None_At_End, 5)},
    };
    for (const auto& [what, text] : texts) {
        SCOPED_TRACE(what);
        folder.put("c.shp", text);
        MB_Shp_Library shp("c.shp");
        for (const Shape& s : k_common) {
            SCOPED_TRACE(s.name);
            Strokes compiled;
            Qe_Pt pen;
            ASSERT_TRUE(draw_char(shx, s.number, compiled, pen, 10.0));
            ASSERT_TRUE(shp.font_char_set(static_cast<unsigned short>(s.number)));
            EXPECT_TRUE(strokes_near(glyph_strokes(shp, static_cast<unsigned short>(s.number)), compiled, 1e-9));
            EXPECT_NEAR(shp.font_char_set(static_cast<unsigned short>(s.number))->end_pos().x(), pen.x(), 1e-9);
        }
    }
}

// Text set in an SHP font draws the same strokes and moves the pen as the same shapes
// compiled to SHX, at any height, width factor, pen and direction, and a whole string lays
// out alike (a shape without strokes, the space, included).
TEST(ShpText, LaysOutAsTheSameShapesCompiled)
{
    Font_Folder folder;
    const Font_Info info{"common", 10, 2, 0};
    std::vector<Shape> shapes = k_common;
    shapes.push_back({32, "space", {2, 8, 6, 0, 0}});
    folder.put("c.shx", shx_writer::shapes_file(info, shapes));
    folder.put("c.shp", shx_writer::shp_text(info, shapes, Line_End::LF));
    MB_Shx_Library shx("c.shx");
    MB_Shp_Library shp("c.shp");
    struct Case {
        double height, width;
        bool vertical;
        Qe_Pt pen;
    };
    const Case cases[] = {{10.0, 1.0, false, Qe_Pt()},
                          {2.5, 1.0, false, Qe_Pt(3, 4, 0)},
                          {7.0, 0.6, false, Qe_Pt(-1.5, 2, 0)},
                          {4.0, 1.3, true, Qe_Pt(10, 20, 0)}};
    for (const Case& c : cases) {
        for (const Shape& shape : shapes) {
            SCOPED_TRACE(shape.name + " at height " + std::to_string(c.height) + (c.vertical ? ", vertical" : ""));
            Strokes compiled, source;
            Qe_Pt compiled_pen = c.pen, source_pen = c.pen;
            ASSERT_TRUE(draw_char(shx, shape.number, compiled, compiled_pen, c.height, c.width, c.vertical));
            ASSERT_TRUE(draw_char(shp, shape.number, source, source_pen, c.height, c.width, c.vertical));
            EXPECT_TRUE(strokes_near(source, compiled, 1e-9));
            EXPECT_NEAR(source_pen.x(), compiled_pen.x(), 1e-9);
            EXPECT_NEAR(source_pen.y(), compiled_pen.y(), 1e-9);
        }
    }

    // A whole string: the same runs and a text box of some width.
    const auto lay_out = [](MB_Font_Library& font, MB_Draw_Lines_Sets& node, Qe_Rect& rect) {
        MB_Text_Style style;
        style.font_lib(&font);
        style.height(3.0);
        style.width_scale(0.8);
        return string_2_ptsets("12 4567", Qe_Pt(5, 6, 0), &style, &node, &rect);
    };
    MB_Draw_Lines_Sets from_shx(0, nullptr), from_shp(0, nullptr);
    Qe_Rect shx_box, shp_box;
    ASSERT_TRUE(lay_out(shx, from_shx, shx_box));
    ASSERT_TRUE(lay_out(shp, from_shp, shp_box));
    EXPECT_TRUE(strokes_near(runs_of(from_shp), runs_of(from_shx), 1e-9));
    EXPECT_GT(shp_box.rb().x() - shp_box.lt().x(), 3.0);
    EXPECT_NEAR(shp_box.lt().x(), shx_box.lt().x(), 1e-9);
    EXPECT_NEAR(shp_box.rb().x(), shx_box.rb().x(), 1e-9);
    EXPECT_NEAR(shp_box.lt().y(), shx_box.lt().y(), 1e-9);
    EXPECT_NEAR(shp_box.rb().y(), shx_box.rb().y(), 1e-9);
}

TEST(ShpLoad, LongLinesAndCodeTexts)
{
    Font_Folder folder;
    // 3,000 unit vectors on one line of 12,000 characters, and 2,000 more on short lines.
    std::string text = "*0,4,long\n10,2,0,0\n*65,5,long\n1,";
    for (int i = 0; i < 3000; ++i) text += "010,";
    text += "\n";
    for (int i = 0; i < 2000; ++i) text += "014,\n";
    text += "2,0\n";
    folder.put("long.shp", text);
    MB_Shp_Library lib("long.shp");
    const Strokes s = glyph_strokes(lib, 65);
    ASSERT_EQ(s.size(), 1u);
    ASSERT_EQ(s[0].size(), 5001u);
    EXPECT_NEAR(s[0].back().x(), 3000.0, 1e-9);
    EXPECT_NEAR(s[0].back().y(), 2000.0, 1e-9);
}

TEST(ShpLoad, ArcsThatCannotBeMadeAndBoundedCalls)
{
    Font_Folder folder;
    folder.put("f.shp", std::string("*0,4,faults\n10,2,0,0\n"
                                    "*1,5,flat bulge\n1,12,(3,4,0),2,0\n"
                                    "*2,5,no chord\n1,12,(0,0,50),8,(1,0),2,0\n"
                                    "*3,5,self\n1,020,7,3,2,0\n"
                                    "*4,5,ping\n1,010,7,5,2,0\n"
                                    "*5,5,pong\n014,7,4,0\n"
                                    "*6,5,missing\n7,99,1,010,2,0\n"
                                    "*7,5,octant zero\n1,10,(2,000),010,2,0\n"
                                    "*8,5,skip\n1,14,9,(2,2),(3,3),(0,0),010,14,8,(5,5),010,2,0\n"));
    MB_Shp_Library lib("f.shp");
    struct Case {
        unsigned short code;
        Strokes strokes;
    };
    const Case cases[] = {
        {1, {{Qe_Pt(0, 0, 0), Qe_Pt(3, 4, 0)}}},
        {2, {{Qe_Pt(0, 0, 0), Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0)}}},
        // A shape calling itself is not entered again.
        {3, {{Qe_Pt(0, 0, 0), Qe_Pt(2, 0, 0)}}},
        // 4 calls 5, which calls 4 again: not entered; 5's own vector is drawn.
        {4, {{Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0), Qe_Pt(1, 1, 0)}}},
        {6, {{Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0)}}},
        {7, {{Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0)}}},
        // 14 skips the next command with all its arguments.
        {8, {{Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0), Qe_Pt(2, 0, 0)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_TRUE(strokes_near(glyph_strokes(lib, c.code), c.strokes, 1e-12));
    }
}

TEST(ShpLoad, MissingFileIsLogged)
{
    Font_Folder folder;
    MB_Shp_Library lib("absent.shp");
    EXPECT_EQ(lib.first_char(), nullptr);
    std::ifstream log(folder.root() + "/jxb.log", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(text.find("Error open the shp file:"), std::string::npos);
    EXPECT_NE(text.find("absent.shp"), std::string::npos);
    folder.put("header.shp", std::string("*0,4,only one line\n"));
    MB_Shp_Library one("header.shp");
    EXPECT_EQ(one.first_char(), nullptr);
}

// Cut at every byte and seeded damage of the text: no crash, no hang; a cut text keeps the
// glyphs of the shapes before the cut.
TEST(ShpHostile, TruncationAndMutation)
{
    Font_Folder folder;
    const Font_Info info{"h", 10, 2, 0};
    const std::string full = shx_writer::shp_text(info, k_common, Line_End::LF, 4);
    std::mt19937 rng(103);
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        folder.put("cut.shp", full.substr(0, cut));
        MB_Shp_Library lib("cut.shp");
        int count = 0;
        for (MB_Object* c = lib.first_char(); c; c = c->next()) ++count;
        EXPECT_LE(count, static_cast<int>(k_common.size()));
    }
    const std::string alphabet = "0123456789(),-*\n\r 7";
    for (int round = 0; round < 400; ++round) {
        std::string m = full;
        const int changes = 1 + static_cast<int>(rng() % 8);
        for (int k = 0; k < changes; ++k) {
            const std::size_t at = rng() % m.size();
            switch (rng() % 3) {
            case 0: m[at] = alphabet[rng() % alphabet.size()]; break;
            case 1: m.insert(at, std::to_string(rng() % 100000)); break;
            default: m.erase(at, 1 + rng() % 4); break;
            }
        }
        // Every shape calling every other.
        if (round % 50 == 0)
            for (const Shape& s : k_common) m += "*" + std::to_string(s.number + 100) + ",3,x\n7,49,7,50,7,53,7,54,7,149,7,153\n";
        folder.put("mut.shp", m);
        MB_Shp_Library lib("mut.shp");
    }
}
