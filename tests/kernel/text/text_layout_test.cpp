// The text layout engine: the code walk against a recording font, and the placement of
// box glyphs from SHX fonts written by the tests.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kernel/display/draw_node.h"
#include "kernel/text/text_layout.h"
#include "kernel/text/text_style.h"
#include "kernel/text/text_fixture.h"

namespace {

using font_test::Font_Folder;
using text_test::Box;
using text_test::Call;
using text_test::points_near;
using text_test::Recording_Font;

// The text in a heap block of exactly its length and terminator, so that a read past the
// terminator shows under AddressSanitizer.
std::unique_ptr<char[]> exact(const std::string& s)
{
    auto p = std::make_unique<char[]>(s.size() + 1);
    std::memcpy(p.get(), s.c_str(), s.size() + 1);
    return p;
}

struct Walk_Case {
    std::string text;
    // (code, 'F' main or 'B' big) for the general walk and for the TrueType walk.
    std::vector<std::pair<unsigned long, char>> general, ttf;
};

TEST(TextLayoutWalk, CodesOfGeneralAndTrueTypeWalks)
{
    using V = std::vector<std::pair<unsigned long, char>>;
    const std::vector<Walk_Case> cases = {
        {"A", V{{65, 'F'}}, V{{65, 'F'}}},
        {"\xB0\xA1", V{{0xB0A1, 'B'}}, V{{0xB0A1, 'F'}}},
        {"%%%", V{{37, 'F'}}, V{{37, 'F'}}},
        {"%%c%%C", V{{8709, 'F'}, {8709, 'F'}}, V{{8709, 'F'}, {8709, 'F'}}},
        {"%%d%%D", V{{176, 'F'}, {176, 'F'}}, V{{176, 'F'}, {176, 'F'}}},
        {"%%p%%P", V{{177, 'F'}, {177, 'F'}}, V{{177, 'F'}, {177, 'F'}}},
        {"%%x", V{{0, 'F'}}, V{{0, 'F'}}},
        {"%A", V{{'%', 'F'}, {'A', 'F'}}, V{{'%', 'F'}, {'A', 'F'}}},
        {"\\M+1B0A1", V{{0xB0A1, 'B'}}, V{{0xB0A1, 'F'}}},
        {"\\m+1b0a1", V{{0xB0A1, 'B'}}, V{{0xB0A1, 'F'}}},
        // Partial hex: the first other character ends the number.
        {"\\M+1B0ZZ", V{{0xB0, 'B'}}, V{{0xB0, 'F'}}},
        {"\\U+4E00", V{{0xD2BB, 'B'}}, V{{0xD2BB, 'F'}}},
        {"\\u+0041", V{{0x41, 'B'}}, V{{0x41, 'F'}}},
        {"\\U+4EZZ", V{{0x4E, 'B'}}, V{{0x4E, 'F'}}},
        {"\\U+ZZZZ", V{{0, 'B'}}, V{{0, 'F'}}},
        // A Thai letter has no form in the code page.
        {"\\U+0E01", V{{'?', 'B'}}, V{{'?', 'F'}}},
        {"\\S+", V{{0, 'B'}, {'+', 'F'}}, V{{92, 'F'}, {'S', 'F'}, {'+', 'F'}}},
        {"\\X+A", V{{92, 'F'}, {'X', 'F'}, {'+', 'F'}, {'A', 'F'}}, V{{92, 'F'}, {'X', 'F'}, {'+', 'F'}, {'A', 'F'}}},
        {"\\", V{{92, 'F'}}, V{{92, 'F'}}},
        {"\\U", V{{92, 'F'}, {'U', 'F'}}, V{{92, 'F'}, {'U', 'F'}}},
        // Codes cut short by the end draw nothing.
        {"A\xB0", V{{65, 'F'}}, V{{65, 'F'}}},
        {"A%%", V{{65, 'F'}}, V{{65, 'F'}}},
        {"A\\U+4E", V{{65, 'F'}}, V{{65, 'F'}}},
        {"A\\M+1B0A", V{{65, 'F'}}, V{{65, 'F'}}},
        {"A\\M+", V{{65, 'F'}}, V{{65, 'F'}}},
    };
    for (const bool ttf : {false, true}) {
        for (const Walk_Case& c : cases) {
            SCOPED_TRACE((ttf ? "truetype " : "general ") + c.text);
            std::vector<Call> log;
            Recording_Font main(ttf ? MB_Font_Library::TTF_FONT : MB_Font_Library::SHX_FONT, log);
            Recording_Font big(MB_Font_Library::SHX_FONT, log, "big.shx");
            MB_Text_Style style;
            style.font_lib(&main);
            style.big_font_lib(&big);
            style.height(2.5);
            style.width_scale(0.75);
            style.font_style(MB_Text_Style::Vertical);
            MB_Draw_Lines_Sets node(0, nullptr);
            Qe_Rect rect;
            const auto text = exact(c.text);
            EXPECT_TRUE(string_2_ptsets(text.get(), Qe_Pt(1, 2, 0), &style, &node, &rect));
            const auto& want = ttf ? c.ttf : c.general;
            ASSERT_EQ(log.size(), want.size());
            for (std::size_t i = 0; i < want.size(); ++i) {
                EXPECT_EQ(log[i].code, want[i].first) << i;
                EXPECT_EQ(log[i].lib, want[i].second == 'F' ? &main : &big) << i;
                EXPECT_EQ(log[i].h, 2.5);
                EXPECT_EQ(log[i].w, 0.75);
                EXPECT_TRUE(log[i].vertical);
            }
        }
    }
}

TEST(TextLayoutWalk, WithoutBigFont)
{
    std::vector<Call> log;
    Recording_Font main(MB_Font_Library::SHX_FONT, log);
    MB_Text_Style style;
    style.font_lib(&main);
    MB_Draw_Lines_Sets node(0, nullptr);
    Qe_Rect rect(Qe_Pt(7, 7, 0), Qe_Pt(7, 7, 0));
    // Double-byte codes need the big font: both bytes go, nothing is drawn, node and rect
    // stay as they were.
    EXPECT_FALSE(string_2_ptsets("\xB0\xA1\xB0\xA2", Qe_Pt(), &style, &node, &rect));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(node.ptset_count(), 0u);
    EXPECT_EQ(rect.lt().x(), 7.0);
    // \U+ and \M+ fall back to the main font.
    EXPECT_TRUE(string_2_ptsets("\\U+4E00\\M+1B0A1", Qe_Pt(), &style, &node, &rect));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].code, 0xD2BBu);
    EXPECT_EQ(log[1].code, 0xB0A1u);
    EXPECT_EQ(log[0].lib, &main);
    // No main font, or an empty text: false.
    MB_Text_Style none;
    EXPECT_FALSE(string_2_ptsets("A", Qe_Pt(), &none, &node, &rect));
    EXPECT_FALSE(string_2_ptsets("", Qe_Pt(), &style, &node, &rect));
}

TEST(TextLayoutWalk, TextToUtf16)
{
    const std::vector<std::pair<std::string, std::u16string>> cases = {
        {"45%%d", u"45\u00B0"},
        {"%%p1%%c2%%%", u"\u00B11\u22052%"},
        {"a%%xb", u"ab"},
        {"\\U+4E00", u"\u4E00"},
        {"\\M+1D2BB", u"\u4E00"},
        {"\xD2\xBB", u"\u4E00"},
        {"\\S+1", u"\\S+1"},
        {"\\X+", u"\\X+"},
        {"x\\U+4E", u"x"},
    };
    for (const auto& [in, want] : cases) {
        const auto text = exact(in);
        EXPECT_EQ(mb_text_to_utf16(text.get()), want) << in;
    }
}

// Layout through box fonts written into a fonts folder of the test's own.
class TextPlacement : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.put("box.shx", shx_writer::shapes_file({"box", 10, 0, 0}, text_test::box_shapes({65, 66, 67})));
        // One horizontal stroke: a glyph without height.
        folder.put("dash.shx", shx_writer::shapes_file({"dash", 10, 0, 0}, {{65, "", {1, 0xA0, 2, 0}}}));
        ASSERT_NE(style.font_lib("box.shx"), nullptr);
        ASSERT_EQ(style.font_lib()->name(), MB_String("box.shx"));
        style.height(h);
        style.width_scale(1.0);
    }

    // The laid-out points, in run order.
    std::vector<Qe_Pt> layout(const char* text, Qe_Rect* out_rect = nullptr)
    {
        MB_Draw_Lines_Sets node(0, nullptr);
        Qe_Rect rect;
        EXPECT_TRUE(string_2_ptsets(text, base, &style, &node, &rect));
        if (out_rect) *out_rect = rect;
        return text_test::points_of(node);
    }

    // The boxes the oracle expects for n glyphs written from the base, upright.
    std::vector<Qe_Pt> boxes(int n, double w = 1.0) const
    {
        std::vector<Qe_Pt> out;
        for (int i = 0; i < n; ++i) {
            const double x = base.x() + i * 1.2 * h * w, y = base.y(), gw = h * w;
            for (const Qe_Pt& p : {Qe_Pt(x, y, 0), Qe_Pt(x, y + h, 0), Qe_Pt(x + gw, y + h, 0), Qe_Pt(x + gw, y, 0),
                                   Qe_Pt(x, y, 0)})
                out.push_back(p);
        }
        return out;
    }

    std::vector<Qe_Pt> rotated(std::vector<Qe_Pt> pts, double a) const
    {
        for (Qe_Pt& p : pts) {
            const double dx = p.x() - base.x(), dy = p.y() - base.y();
            p = Qe_Pt(base.x() + dx * std::cos(a) - dy * std::sin(a), base.y() + dx * std::sin(a) + dy * std::cos(a),
                      0);
        }
        return pts;
    }

    std::vector<Qe_Pt> reflected(std::vector<Qe_Pt> pts, double nx, double ny) const
    {
        for (Qe_Pt& p : pts) {
            const double d = (p.x() - base.x()) * nx + (p.y() - base.y()) * ny;
            p = Qe_Pt(p.x() - 2 * d * nx, p.y() - 2 * d * ny, 0);
        }
        return pts;
    }

    Font_Folder folder;
    MB_Text_Style style;
    Qe_Pt base{5.0, 7.0, 0.0};
    double h = 2.0;
};

TEST_F(TextPlacement, PlainRotatedAndSlanted)
{
    Qe_Rect rect;
    EXPECT_TRUE(points_near(layout("AB", &rect), boxes(2), 1e-12));
    EXPECT_DOUBLE_EQ(rect.lt().x(), 5.0);
    EXPECT_DOUBLE_EQ(rect.lt().y(), 9.0);
    EXPECT_DOUBLE_EQ(rect.rb().x(), 5.0 + 2.4 + 2.0);
    EXPECT_DOUBLE_EQ(rect.rb().y(), 7.0);

    for (double a : {0.7, -2.0, M_PI}) {
        style.angle(a);
        EXPECT_TRUE(points_near(layout("AB"), rotated(boxes(2), a), 1e-12)) << a;
    }
    style.angle(0.0);

    style.oblique_angle(0.3);
    std::vector<Qe_Pt> slanted = boxes(2);
    for (Qe_Pt& p : slanted) p = Qe_Pt(p.x() + (p.y() - base.y()) * std::tan(0.3), p.y(), 0);
    EXPECT_TRUE(points_near(layout("AB"), slanted, 1e-12));
    style.oblique_angle(-0.2);
    EXPECT_TRUE(points_near(layout("AB"), boxes(2), 1e-12));
}

TEST_F(TextPlacement, WidthScaleReachesTheFont)
{
    style.width_scale(2.0);
    EXPECT_TRUE(points_near(layout("AB"), boxes(2, 2.0), 1e-12));
}

TEST_F(TextPlacement, AlignmentAnchorsLandOnTheBase)
{
    struct Case {
        long flag;
        double Box::*x1, Box::*x2, Box::*y;
    };
    style.angle(0.4);
    for (const long flag : {2L, 32L, 4096L, 8192L, 5L}) {
        style.ali_flag(flag);
        const Box b = text_test::box_of(layout("ABC"));
        double ax = 0, ay = 0;
        switch (flag) {
        case 2: ax = (b.min_x + b.max_x) / 2, ay = (b.min_y + b.max_y) / 2; break;
        case 32: ax = b.min_x, ay = b.max_y; break;
        case 4096: ax = (b.min_x + b.max_x) / 2, ay = b.min_y; break;
        case 8192: ax = b.max_x, ay = b.min_y; break;
        default: break;
        }
        if (flag == 5) {
            EXPECT_TRUE(points_near(layout("ABC"), rotated(boxes(3), 0.4), 1e-12));
            continue;
        }
        EXPECT_NEAR(ax, base.x(), 1e-12) << flag;
        EXPECT_NEAR(ay, base.y(), 1e-12) << flag;
    }
}

TEST_F(TextPlacement, VerticalShiftAndMirrors)
{
    style.font_style(MB_Text_Style::Vertical);
    style.angle(0.5);
    // Vertical SHX text steps down 1.2 h per glyph, each glyph h w wide; the whole text then
    // moves by (-h w / 2, -h), not turned by the angle.
    for (const double w : {1.0, 0.5}) {
        SCOPED_TRACE(w);
        style.width_scale(w);
        std::vector<Qe_Pt> vert;
        for (int i = 0; i < 2; ++i) {
            const double x = base.x(), y = base.y() - i * 1.2 * h, gw = h * w;
            for (const Qe_Pt& p : {Qe_Pt(x, y, 0), Qe_Pt(x, y + h, 0), Qe_Pt(x + gw, y + h, 0), Qe_Pt(x + gw, y, 0),
                                   Qe_Pt(x, y, 0)})
                vert.push_back(p);
        }
        vert = rotated(vert, 0.5);
        for (Qe_Pt& p : vert) p = Qe_Pt(p.x() - h * w * 0.5, p.y() - h, 0);
        EXPECT_TRUE(points_near(layout("AB"), vert, 1e-12));
    }
    style.width_scale(1.0);

    const double a = 0.5;
    const std::vector<Qe_Pt> upright = rotated(boxes(2), a);
    style.font_style(MB_Text_Style::Mirror_Across_Direction);
    const std::vector<Qe_Pt> backwards = layout("AB");
    EXPECT_TRUE(points_near(backwards, reflected(upright, std::cos(a), std::sin(a)), 1e-12));
    // Mirroring the mirrored text again gives the text back.
    EXPECT_TRUE(points_near(reflected(backwards, std::cos(a), std::sin(a)), upright, 1e-12));
    style.font_style(MB_Text_Style::Mirror_Across_Normal);
    const std::vector<Qe_Pt> upside = layout("AB");
    EXPECT_TRUE(points_near(upside, reflected(upright, -std::sin(a), std::cos(a)), 1e-12));
    EXPECT_TRUE(points_near(reflected(upside, -std::sin(a), std::cos(a)), upright, 1e-12));
    style.font_style(MB_Text_Style::Mirror_Across_Normal | MB_Text_Style::Mirror_Across_Direction);
    EXPECT_TRUE(points_near(layout("AB"),
                            reflected(reflected(upright, std::cos(a), std::sin(a)), -std::sin(a), std::cos(a)), 1e-12));
}

TEST_F(TextPlacement, TrueTypeWidthScaleStretchesTheText)
{
    std::vector<Call> log;
    Recording_Font ttf(MB_Font_Library::TTF_FONT, log);
    style.font_lib(&ttf);
    const std::vector<Qe_Pt> one = layout("ABC");
    style.width_scale(2.0);
    const std::vector<Qe_Pt> two = layout("ABC");
    ASSERT_EQ(one.size(), 3u);
    ASSERT_EQ(two.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(two[i].x() - base.x(), 2.0 * (one[i].x() - base.x()), 1e-12);
        EXPECT_DOUBLE_EQ(two[i].y(), one[i].y());
    }
    // The font was given the width factor (its spaces use it) and the style's height.
    EXPECT_EQ(log.back().w, 2.0);
    EXPECT_EQ(log.back().h, h);
}

TEST_F(TextPlacement, FittedToAFrame)
{
    const double a = M_PI / 6;
    const Qe_Pt p0(1, 1, 0);
    const Qe_Pt p1(1 + 10 * std::cos(a), 1 + 10 * std::sin(a), 0);
    const Qe_Pt p3(1 - 2 * std::sin(a), 1 + 2 * std::cos(a), 0);
    const Qe_Pt p2(p1.x() + p3.x() - 1, p1.y() + p3.y() - 1, 0);
    const Qe_Pt frame[4] = {p0, p1, p2, p3};
    // Angle, alignment and mirrors of the style are not used.
    style.angle(1.0);
    style.ali_flag(2);
    style.font_style(MB_Text_Style::Mirror_Across_Normal);
    MB_Draw_Lines_Sets node(0, nullptr);
    Qe_Rect rect;
    ASSERT_TRUE(string_2_ptsets_by_bound("AB", frame, &style, &node, &rect));
    base = p0;
    const Box b = text_test::box_of(rotated(text_test::points_of(node), -a));
    EXPECT_NEAR(b.max_x - b.min_x, 10.0, 1e-9);
    EXPECT_NEAR(b.max_y - b.min_y, 2.0, 1e-9);
    EXPECT_NEAR(b.min_x, 1.0, 1e-9);
    EXPECT_NEAR(b.min_y, 1.0, 1e-9);

    // One horizontal stroke has no height: that axis keeps scale 1 and every point is finite.
    ASSERT_NE(style.font_lib("dash.shx"), nullptr);
    ASSERT_TRUE(string_2_ptsets_by_bound("A", frame, &style, &node, &rect));
    for (const Qe_Pt& p : text_test::points_of(node)) {
        EXPECT_TRUE(std::isfinite(p.x()) && std::isfinite(p.y()));
    }
    const Box d = text_test::box_of(rotated(text_test::points_of(node), -a));
    EXPECT_NEAR(d.max_x - d.min_x, 10.0, 1e-9);
    EXPECT_NEAR(d.max_y - d.min_y, 0.0, 1e-9);
    // Nothing to draw: false.
    EXPECT_FALSE(string_2_ptsets_by_bound("", frame, &style, &node, &rect));
}

}  // namespace
