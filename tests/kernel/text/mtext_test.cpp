// MB_Mtext: the format parser, the colour table, line placement with the box fonts (every
// run width is exact), explicit fonts, the 'Y' record, keys, copies and undo, display.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "geometry/transform.h"
#include "geometry/dc_draw.h"
#include "kernel/display/draw_node.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/text/mtext.h"
#include "kernel/text/text.h"
#include "kernel/text/text_fixture.h"
#include "kernel/text/text_style.h"

using namespace entity_test;

namespace {

using text_test::Box_Fonts;

// The colour of the texts made here: runs outside a colour code take it.
constexpr long k_own = 0x0A0B0C;

std::vector<MB_Text*> runs_of(const MB_Mtext& m)
{
    std::vector<MB_Text*> out;
    for (Qe_Void_Node* n = m.text_list().head(); n; n = n->next()) out.push_back(static_cast<MB_Text*>(n->entity()));
    return out;
}

// A multi-line text in the box fonts (height 10 unless told), built.
std::unique_ptr<MB_Mtext> mtext(Box_Fonts& fonts, const char* s, double width = 0.0, int attach = 1,
                                Qe_Pt at = Qe_Pt(100, 200, 0))
{
    auto m = std::make_unique<MB_Mtext>(at, s);
    m->general().color(k_own);
    m->text_style()->font_lib(fonts.lib("txt.shx"));
    m->text_style()->big_font_lib(fonts.lib("hztxt.shx"));
    m->text_style()->width_scale(1.0);
    m->set_base_ht(10.0);
    m->set_width(width);
    m->set_attachpt(static_cast<char>(attach));
    m->build_draw();
    return m;
}

struct Want_Run {
    std::string text;
    long colour;
    double height;
    const char* font;  // null: the text's own font
};

TEST(Mtext, ParserTable)
{
    Box_Fonts fonts;
    const std::string word(2000, 'A');
    const struct Case {
        std::string format;
        std::vector<Want_Run> runs;
    } cases[] = {
        {"{\\C1;red} plain", {{"red", 0x0000FF, 10, nullptr}, {" ", k_own, 10, nullptr}, {"plain", k_own, 10, nullptr}}},
        {"\\H2x;A", {{"A", k_own, 20, nullptr}}},
        {"\\H2;A", {{"A", k_own, 2, nullptr}}},
        {"\\H2X;A\\H3x;B", {{"A", k_own, 20, nullptr}, {"B", k_own, 60, nullptr}}},
        // The character after "x" is consumed only when it closes the code.
        {"\\H2xAB", {{"AB", k_own, 20, nullptr}}},
        {"a\\Pb", {{"a", k_own, 10, nullptr}, {"\n", k_own, 10, nullptr}, {"b", k_own, 10, nullptr}}},
        {"\\A1;AB", {{"AB", k_own, 10, nullptr}}},
        {"A\\LB", {{"A", k_own, 10, nullptr}, {"B", k_own, 10, nullptr}}},
        {"\\C300;A", {{"A", k_own, 10, nullptr}}},
        {"\\Cx;A", {{"A", k_own, 10, nullptr}}},
        {"\\C3\\LA", {{"A", 0x00FF00, 10, nullptr}}},
        {"{\\C1;\\H3;A}B", {{"A", 0x0000FF, 3, nullptr}, {"B", k_own, 10, nullptr}}},
        {"\\Fbox.shx;A", {{"A", k_own, 10, "box.shx"}}},
        {"\\fbox.shx|b0|i1;A}B", {{"A", k_own, 10, "box.shx"}, {"B", k_own, 10, nullptr}}},
        {"\\Fbox.shx;\\F;A", {{"A", k_own, 10, nullptr}}},
        {"\\U+4E00A", {{"\\U+4E00A", k_own, 10, nullptr}}},
        {"\\u+4E00", {{"\\u+4E00", k_own, 10, nullptr}}},
        {"a\\\\b\\{c\\}", {{"a\\b{c}", k_own, 10, nullptr}}},
        {"\\M+1B0A1", {{"M+1B0A1", k_own, 10, nullptr}}},
        {"A   B", {{"A", k_own, 10, nullptr}, {"   ", k_own, 10, nullptr}, {"B", k_own, 10, nullptr}}},
        {"\xB0\xA1\xB0\xA1" "A", {{"\xB0\xA1", k_own, 10, nullptr}, {"\xB0\xA1", k_own, 10, nullptr},
                                  {"A", k_own, 10, nullptr}}},
        {"A\xB0", {{"A", k_own, 10, nullptr}, {"\xB0", k_own, 10, nullptr}}},
        {"A\\\xB0\xA1", {{"A", k_own, 10, nullptr}, {"\xB0\xA1", k_own, 10, nullptr}}},
        // Heights that cannot lay out leave the height as it was.
        {"\\H-1;A\\H0x;B\\Hnan;C\\Hinf;A", {{"A", k_own, 10, nullptr}, {"B", k_own, 10, nullptr},
                                            {"C", k_own, 10, nullptr}, {"A", k_own, 10, nullptr}}},
        {word, {{word, k_own, 10, nullptr}}},
        // Codes cut short by the end of the string: the text before them still makes a run.
        {"AB\\A1", {{"AB", k_own, 10, nullptr}}},
        {"AB\\C3", {{"AB", k_own, 10, nullptr}}},
        {"AB\\Fbox.shx", {{"AB", k_own, 10, nullptr}}},
        {"AB\\Fbox.shx|b0", {{"AB", k_own, 10, nullptr}}},
        {"AB\\H2", {{"AB", k_own, 10, nullptr}}},
        {"AB\\H2x", {{"AB", k_own, 10, nullptr}}},
        {"AB\\", {{"AB", k_own, 10, nullptr}}},
        {"AB\\U", {{"ABU", k_own, 10, nullptr}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        auto m = mtext(fonts, c.format.c_str());
        const std::vector<MB_Text*> runs = runs_of(*m);
        ASSERT_EQ(runs.size(), c.runs.size());
        for (std::size_t i = 0; i < runs.size(); ++i) {
            SCOPED_TRACE(i);
            const char* got = runs[i]->string().ascii();
            EXPECT_EQ(std::string(got ? got : ""), c.runs[i].text);
            EXPECT_EQ(runs[i]->general().color(), c.runs[i].colour);
            EXPECT_EQ(runs[i]->text_style()->height(), c.runs[i].height);
            EXPECT_EQ(runs[i]->text_style()->width_scale(), 1.0);
            EXPECT_EQ(runs[i]->text_style()->font_lib(), fonts.lib(c.runs[i].font ? c.runs[i].font : "txt.shx"));
            // Runs of an explicit font have no big font; the others have the text's.
            EXPECT_EQ(runs[i]->text_style()->big_font_lib(), c.runs[i].font ? nullptr : fonts.lib("hztxt.shx"));
        }
    }
}

// Every prefix of a rich format string, and seeded mutations of it, parse and lay out
// without reading past the string's end (checked under the sanitizers).
TEST(Mtext, PrefixesAndMutations)
{
    Box_Fonts fonts;
    const std::string rich =
        "{\\C1;\\Fbox.shx|b0|i0;AB} \\H2x;C\\PA\\A1;\\L\\U+4E00 \xB0\xA1{\\H3;\\C250;B}\\\\ \\P\\P{\\fmissing;C}";
    for (std::size_t n = 0; n <= rich.size(); ++n)
        for (double width : {0.0, 25.0}) {
            auto m = mtext(fonts, rich.substr(0, n).c_str(), width, 5);
            for (MB_Text* r : runs_of(*m)) ASSERT_NE(r->string().ascii(), nullptr) << n;
        }
    std::mt19937 rng(30);
    const char pool[] = "\\{};|xXPACFHLU+ AB0123\xB0\xA1";
    for (int round = 0; round < 400; ++round) {
        std::string s = rich;
        const int edits = 1 + static_cast<int>(rng() % 6);
        for (int k = 0; k < edits; ++k) s[rng() % s.size()] = pool[rng() % (sizeof pool - 1)];
        if (rng() % 3 == 0) s.resize(rng() % s.size());
        auto m = mtext(fonts, s.c_str(), static_cast<double>(rng() % 60), 1 + static_cast<int>(rng() % 9));
        m->backword(rng() % 2);
        m->direction(Qe_Vec(static_cast<double>(rng() % 3) - 1.0, static_cast<double>(rng() % 3) - 1.0, 0.0));
        m->build_draw();
    }
}

TEST(Mtext, ColourTable)
{
    Box_Fonts fonts;
    const std::pair<int, long> entries[] = {
        {0, 0x000000},   {1, 0x0000FF},   {2, 0x00FFFF},   {3, 0x00FF00},   {4, 0xFFFF00},   {5, 0xFF0000},
        {6, 0xFF00FF},   {7, 0x000000},   {8, 0x989898},   {9, 0xC0C0C0},   {10, 0x0000FF},  {11, 0x8080FF},
        {12, 0x0000A6},  {13, 0x5353A6},  {14, 0x000080},  {15, 0x404080},  {16, 0x00004C},  {17, 0x26264C},
        {18, 0x000026},  {19, 0x131326},  {20, 0x0040FF},  {21, 0x809FFF},  {22, 0x0029A6},  {23, 0x5368A6},
        {50, 0x00FFFF},  {90, 0x00FF00},  {130, 0xFFFF00}, {170, 0xFF0000}, {210, 0xFF00FF}, {250, 0x545454},
        {251, 0x767676}, {252, 0x989898}, {253, 0xBBBBBB}, {254, 0xDDDDDD}, {255, 0xBBBBBB},
    };
    for (const auto& [index, colour] : entries) {
        const std::string s = "\\C" + std::to_string(index) + ";A";
        auto m = mtext(fonts, s.c_str());
        const std::vector<MB_Text*> runs = runs_of(*m);
        ASSERT_EQ(runs.size(), 1u) << index;
        EXPECT_EQ(runs[0]->general().color(), colour) << index;
    }
}

// A run's base point.
Qe_Pt at(const MB_Mtext& m, std::size_t i)
{
    return runs_of(m).at(i)->base_pos();
}

::testing::AssertionResult near(const Qe_Pt& got, double x, double y)
{
    if (std::fabs(got.x() - x) <= 1e-9 && std::fabs(got.y() - y) <= 1e-9) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << got.x() << ", " << got.y() << ") against (" << x << ", " << y
                                         << ")";
}

// Box fonts at height 10: "AB" is 22 wide (advance 12, box 10), its gap 0.8; a space is 9.
// Right attachment (3) sets the first run of a line at x0 minus the line's measured width.
TEST(Mtext, LineBreaksAndMeasuredWidths)
{
    Box_Fonts fonts;
    const double x0 = 100, y0 = 200, after = 10 * 0.3252 + 10 * 0.334;
    const struct Case {
        const char* what;
        double width;
        std::vector<std::pair<double, double>> at;  // each run's base point
    } cases[] = {
        // One line: AB, its gap, the space, AB and its gap (the text ends on the line). A
        // space advances by its width and a gap too.
        {"all on one line", 100, {{x0 - 54.6, y0 - 10}, {x0 - 54.6 + 22.8, y0 - 10}, {x0 - 54.6 + 32.6, y0 - 10}}},
        // The second AB does not fit: the first line is AB, its gap and the space.
        {"break before the word", 50, {{x0 - 31.8, y0 - 10}, {x0 - 9, y0 - 10}, {x0 - 22.8, y0 - 20 - after}}},
        // The space is where the line breaks: it stays on the line, uncounted, and so does
        // the gap before it.
        {"space at the break", 30, {{x0 - 22, y0 - 10}, {x0 + 0.8, y0 - 10}, {x0 - 22.8, y0 - 20 - after}}},
        // No width: every run alone.
        {"no width", 0, {{x0 - 22.8, y0 - 10}, {x0 - 9, y0 - 20 - after}, {x0 - 22.8, y0 - 30 - 2 * after}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto m = mtext(fonts, "AB AB", c.width, 3);
        ASSERT_EQ(runs_of(*m).size(), c.at.size());
        for (std::size_t i = 0; i < c.at.size(); ++i) EXPECT_TRUE(near(at(*m, i), c.at[i].first, c.at[i].second)) << i;
    }
}

TEST(Mtext, ParagraphsAndLineSpacing)
{
    Box_Fonts fonts;
    const double x0 = 100, y0 = 200, after = 10 * 0.3252 + 10 * 0.334;
    // Width 0: the line feed after a run is its break; a second one is a line of its own.
    {
        auto m = mtext(fonts, "A\\PB");
        EXPECT_TRUE(near(at(*m, 0), x0, y0 - 10));
        EXPECT_TRUE(near(at(*m, 2), x0, y0 - 20 - after));
        auto m2 = mtext(fonts, "A\\P\\PB");
        EXPECT_TRUE(near(at(*m2, 3), x0, y0 - 30 - 2 * after));
    }
    // With a width, a line that ended at a line feed keeps a second one as an empty line,
    // which steps down without the gap after a set line.
    {
        auto m = mtext(fonts, "A\\PB", 100);
        EXPECT_TRUE(near(at(*m, 2), x0, y0 - 20 - after));
        auto m2 = mtext(fonts, "A\\P\\PB", 100);
        EXPECT_TRUE(near(at(*m2, 3), x0, y0 - 30 - after));
    }
    // Factor 1.5: style 1 steps M + G (F − 1) 0.867 with G = 1.4 B for equal heights;
    // style 2 steps F × 4.167 after the first line.
    {
        auto m = mtext(fonts, "A\\PB");
        m->set_linespacing_factor(1.5);
        m->build_draw();
        EXPECT_TRUE(near(at(*m, 2), x0, y0 - 10 - after - (10 + 14 * 0.5 * 0.867)));
        m->set_linespacing_style(2);
        m->build_draw();
        EXPECT_TRUE(near(at(*m, 2), x0, y0 - 10 - 1.5 * 4.167));
        // A taller second line: G is its own height.
        auto t = mtext(fonts, "A\\P\\H2x;B");
        t->set_linespacing_factor(1.5);
        t->build_draw();
        EXPECT_TRUE(near(at(*t, 2), x0, y0 - 10 - after - (20 + 20 * 0.5 * 0.867)));
    }
}

TEST(Mtext, AttachmentPoints)
{
    Box_Fonts fonts;
    const double x0 = 100, y0 = 200;
    for (int attach = 1; attach <= 9; ++attach) {
        SCOPED_TRACE(attach);
        auto m = std::make_unique<MB_Mtext>(Qe_Pt(x0, y0, 0), "AB");
        m->text_style()->font_lib(fonts.lib("txt.shx"));
        m->set_base_ht(10);
        m->set_boxht(4);
        m->set_attachpt(static_cast<char>(attach));
        m->build_draw();
        const double dx = (attach - 1) % 3 * -11.4;
        const double dy = (attach - 1) / 3 * 2.0;
        EXPECT_TRUE(near(at(*m, 0), x0 + dx, y0 + dy - 10));
    }
    // A negative box height becomes the first run's height.
    auto m = mtext(fonts, "\\H3;AB", 0, 7);
    m->set_boxht(-1);
    m->build_draw();
    EXPECT_EQ(m->boxht(), 3.0);
    EXPECT_TRUE(near(at(*m, 0), 100, 200));
}

TEST(Mtext, DirectionMirrorAndRectangle)
{
    Box_Fonts fonts;
    const Qe_Pt p(100, 200, 0);
    auto plain = mtext(fonts, "AB\\PA");
    // The default direction (0, 0, 0) lays the text along x.
    EXPECT_EQ(plain->direction_angle(), 0.0);
    EXPECT_EQ(runs_of(*plain)[0]->text_style()->angle(), 0.0);
    EXPECT_TRUE(near(plain->rect().lt(), 100, 200));
    EXPECT_TRUE(near(plain->rect().rb(), 122, 200 - 20 - 10 * 0.3252 - 3.34));

    // Direction (0, 2): turned by π/2 about the insertion point, whatever the length.
    auto turned = mtext(fonts, "AB\\PA");
    turned->direction(Qe_Vec(0, 2, 0));
    turned->build_draw();
    EXPECT_DOUBLE_EQ(turned->direction_angle(), M_PI / 2);
    for (std::size_t i : {0u, 2u}) {
        const Qe_Pt a = at(*plain, i), b = at(*turned, i);
        EXPECT_TRUE(near(b, p.x() - (a.y() - p.y()), p.y() + (a.x() - p.x()))) << i;
        EXPECT_DOUBLE_EQ(runs_of(*turned)[i]->text_style()->angle(), M_PI / 2);
    }
    // Down-left direction: the angle is taken in [0, 2π).
    turned->direction(Qe_Vec(-1, -1, 0));
    EXPECT_DOUBLE_EQ(turned->direction_angle(), 1.25 * M_PI);

    // Mirrored: insertion points reflected across the line through p perpendicular to the
    // direction, and the glyphs mirrored by the run's own flag.
    auto mirrored = mtext(fonts, "AB\\PA");
    mirrored->backword(true);
    mirrored->build_draw();
    for (std::size_t i : {0u, 2u}) {
        const Qe_Pt a = at(*plain, i);
        EXPECT_TRUE(near(at(*mirrored, i), 2 * p.x() - a.x(), a.y())) << i;
        EXPECT_EQ(runs_of(*mirrored)[i]->text_style()->font_style(), MB_Text_Style::Mirror_Across_Direction);
    }
    EXPECT_TRUE(near(mirrored->rect().lt(), 78, 200));

    // Only spaces and line feeds: no run has extent; the rectangle is the insertion point.
    auto blank = mtext(fonts, "   \\P ");
    blank->text_style()->font_lib(fonts.lib("box.shx"));  // a font without a space glyph
    blank->build_draw();
    EXPECT_FALSE(runs_of(*blank).empty());
    EXPECT_TRUE(near(blank->rect().lt(), 100, 200));
    EXPECT_TRUE(near(blank->rect().rb(), 100, 200));
}

// A run with a font the registry cannot find draws with the fallback library, and that
// shared library keeps its own name.
TEST(Mtext, ExplicitFontsLeaveTheRegistryAlone)
{
    Box_Fonts fonts;
    MB_Font_Library* txt = fonts.lib("txt.shx");
    auto m = mtext(fonts, "\\Fmissing.shx;A\\Fbox.shx;B");
    const std::vector<MB_Text*> runs = runs_of(*m);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0]->text_style()->font_lib(), txt);
    EXPECT_EQ(txt->name(), MB_String("txt.shx"));
    EXPECT_STREQ(txt->file_name(), "txt.shx");
    EXPECT_EQ(g_system_resource.get_fontlib("txt.shx"), txt);
    EXPECT_EQ(g_system_resource.get_fontlib("missing.shx"), nullptr);
    EXPECT_EQ(runs[1]->text_style()->font_lib(), fonts.lib("box.shx"));
    EXPECT_EQ(fonts.lib("box.shx")->name(), MB_String("box.shx"));
    // A style written afterwards still names its own font.
    MB_Text_Style style("s", "txt.shx", nullptr, 1, 1, 0, 0, 0, 0);
    EXPECT_STREQ(MB_Text_Style::record_font_name(style.font_lib()), "txt.shx");
}

TEST(Mtext, SpacesOfARunWithoutLibrary)
{
    font_test::Font_Folder empty;  // no fonts at all
    MB_Mtext m(Qe_Pt(100, 200, 0), "\\Fmissing.shx;A B");
    m.set_base_ht(10);
    m.set_attachpt(3);
    m.build_draw();
    const std::vector<MB_Text*> runs = runs_of(m);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1]->text_style()->font_lib(), nullptr);
    EXPECT_TRUE(near(runs[1]->base_pos(), 100 - 9, 200 - 20 - 10 * 0.3252 - 3.34));
}

// Every field with a value of its own.
std::unique_ptr<MB_Mtext> full_text(Box_Fonts& fonts)
{
    auto m = mtext(fonts, "{\\C1;AB} \\PC", 40, 6, Qe_Pt(12.5, -3.25, 0.5));
    m->set_linespacing_style(2);
    m->set_linespacing_factor(1.25);
    m->set_drawdir(3);
    m->set_boxht(7.5);
    m->set_boxwid(44.25);
    m->direction(Qe_Vec(0.6, 0.8, 0));
    m->text_style()->height(4.5);
    m->text_style()->oblique_angle(0.125);
    m->general().color(0x123456);
    return m;
}

TEST(Mtext, RecordRoundTrip)
{
    Box_Fonts fonts;
    auto m = full_text(fonts);
    const Bytes rec = record_bytes(*m);
    // The operands in their order, after the opcode and the extended data.
    const Bytes operands = le_long(12) + "{\\C1;AB} \\PC" + position(m->text_pos()) +
                           position(Qe_Pt(0.6, 0.8, 0), m->text_pos()) + le_long(2) + le_long(6) + le_long(3) +
                           le_double(1.25) + le_double(40) + le_double(10) + le_double(44.25) + le_double(7.5);
    ASSERT_GE(rec.size(), operands.size());
    EXPECT_EQ(to_hex(rec.substr(rec.size() - operands.size())), to_hex(operands));
    EXPECT_EQ(rec.substr(rec.size() - operands.size() - k_no_xdata.size() - 1, 1), "Y");

    Record_Reader r;
    ASSERT_EQ(r.read(rec), 0);
    auto* got = r.first<MB_Mtext>();
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(got->string(), m->string());
    EXPECT_TRUE(pt_eq(got->text_pos(), m->text_pos()));
    // The direction is a position like any other: written relative to the insertion point.
    EXPECT_NEAR(got->direction().x(), 0.6, 1e-12);
    EXPECT_NEAR(got->direction().y(), 0.8, 1e-12);
    EXPECT_EQ(got->linespacing_style(), 2);
    EXPECT_EQ(got->attachpt(), 6);
    EXPECT_EQ(got->drawdir(), 3);
    EXPECT_EQ(got->linespacing_factor(), 1.25);
    EXPECT_EQ(got->width(), 40.0);
    EXPECT_EQ(got->base_ht(), 10.0);
    EXPECT_EQ(got->boxwid(), 44.25);
    EXPECT_EQ(got->boxht(), 7.5);
    EXPECT_EQ(got->general().color(), 0x123456);
    EXPECT_EQ(got->text_style()->height(), 4.5);
    EXPECT_EQ(got->text_style()->oblique_angle(), 0.125);
    EXPECT_EQ(got->text_style()->font_lib(), fonts.lib("txt.shx"));
    EXPECT_EQ(got->text_style()->big_font_lib(), fonts.lib("hztxt.shx"));
    EXPECT_EQ(to_hex(record_bytes(*got)), to_hex(rec));

    // Revision 450 takes the text in; 449 leaves it out.
    Record_Reader r450, r449;
    ASSERT_EQ(r450.read(rec, "(VKT VA0450)"), 0);
    EXPECT_EQ(r450.count(), 1);
    ASSERT_EQ(r449.read(rec, "(VKT VA0449)"), 0);
    EXPECT_EQ(r449.count(), 0);

    // Truncated at every offset: a failure and nothing in the drawing.
    const std::size_t start = rec.size() - operands.size();
    for (std::size_t n = start; n < rec.size(); ++n) {
        Record_Reader rt;
        EXPECT_NE(rt.read_raw(k_header + rec.substr(0, n)), MB_Result::End_Of_Stream) << n;
        EXPECT_EQ(rt.count(), 0) << n;
    }
    // Damaged records, built after reading: a clear result, never a crash or an overrun.
    std::mt19937 rng(89);
    for (int round = 0; round < 300; ++round) {
        Bytes bad = rec;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < flips; ++k) bad[start + rng() % (bad.size() - start)] = static_cast<char>(rng() & 0xFF);
        if (rng() % 3 == 0) bad.resize(start + rng() % (bad.size() - start));
        Record_Reader rm;
        (void)rm.read_raw(k_header + bad + k_trailer);
        if (auto* t = rm.first<MB_Mtext>()) t->build_draw();
    }
}

TEST(Mtext, ConvertedStringParts)
{
    Box_Fonts fonts;
    auto m = mtext(fonts, "{\\fbox.shx;A}\\PB{fC\\Pf");
    ASSERT_FALSE(runs_of(*m).empty());
    m->convert_mtext_string();
    EXPECT_STREQ(m->string(), "{\\fbox.shx;A}\r\nB{fC\r\nf");
    std::vector<std::string> parts;
    for (const MB_String& s : m->string_list()) parts.push_back(s.ascii());
    EXPECT_EQ(parts, (std::vector<std::string>{"{", "box.shx;A}\r\nB{", "C\r\n"}));
    // The runs are still runs: building again and destroying frees each kind as itself.
    EXPECT_FALSE(runs_of(*m).empty());
    m->build_draw();
    for (MB_Text* r : runs_of(*m)) EXPECT_NE(r->string().ascii(), nullptr);
    m->convert_mtext_string();
    EXPECT_EQ(m->string_list().size(), 3u);
}

TEST(Mtext, KeysCopiesAndUndo)
{
    Box_Fonts fonts;
    auto m = full_text(fonts);
    m->set_real(mb_key::Angle, M_PI / 2);
    EXPECT_EQ(m->get_real(mb_key::Angle), M_PI / 2);
    EXPECT_NEAR(m->direction().x(), 0.0, 1e-15);
    EXPECT_EQ(m->direction().y(), 1.0);
    const std::pair<int, double (MB_Mtext::*)() const> reals[] = {
        {-126, &MB_Mtext::linespacing_factor}, {-109, &MB_Mtext::width}, {-112, &MB_Mtext::base_ht}};
    double v = 0.75;
    for (const auto& [key, get] : reals) {
        m->set_real(key, v);
        EXPECT_EQ((m.get()->*get)(), v) << key;
        EXPECT_EQ(m->get_real(key), v) << key;
        v += 1.0;
    }
    for (int key : {-113, -111, -115}) {
        m->set_real(key, v);
        EXPECT_EQ(m->get_real(key), v) << key;
    }
    EXPECT_EQ(m->text_style()->width_scale(), 3.75);
    EXPECT_EQ(m->text_style()->angle(), 3.75);
    m->set_int(-215, 1);
    EXPECT_EQ(m->linespacing_style(), 1);
    EXPECT_EQ(m->get_int(-215), 1);
    m->set_int(-216, 2);
    m->set_int(-200, 5);
    EXPECT_EQ(m->linespacing_style(), 1);
    m->set_point(mb_key::Insert_Point, Qe_Pt(1, 2, 0));
    EXPECT_TRUE(pt_eq(m->get_point(mb_key::Insert_Point), Qe_Pt(1, 2, 0)));
    m->set_string(mb_key::Text, "xyz");
    EXPECT_STREQ(m->get_string(mb_key::Text), "xyz");
    m->set_string(-303, "box.shx");
    EXPECT_STREQ(m->get_string(-303), "box.shx");
    m->set_string(-307, "box.shx");
    EXPECT_STREQ(m->get_string(-307), "box.shx");

    // Copies: into nothing, and into a text that had other values.
    MB_Object* copy = nullptr;
    ASSERT_TRUE(m->copy_to(copy));
    std::unique_ptr<MB_Object> owned(copy);
    auto* c = dynamic_cast<MB_Mtext*>(copy);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(to_hex(record_bytes(*c)), to_hex(record_bytes(*m)));
    EXPECT_NE(c->text_style(), m->text_style());
    MB_Mtext other(Qe_Pt(9, 9, 0), "other");
    other.backword(true);
    MB_Object* target = &other;
    ASSERT_TRUE(m->copy_to(target));
    EXPECT_EQ(to_hex(record_bytes(other)), to_hex(record_bytes(*m)));
    EXPECT_FALSE(other.backword());
    MB_Text not_mtext;
    MB_Object* text_target = &not_mtext;
    EXPECT_FALSE(m->copy_to(text_target));

    Op_Fixture f;
    const struct {
        const char* what;
        std::function<void(MB_Object&)> change;
    } changes[] = {
        {"width", [](MB_Object& o) { static_cast<MB_Mtext&>(o).set_real(-109, 70.0); }},
        {"direction", [](MB_Object& o) { static_cast<MB_Mtext&>(o).set_real(-102, 1.0); }},
        {"spacing", [](MB_Object& o) { static_cast<MB_Mtext&>(o).set_int(-215, 3); }},
        {"point", [](MB_Object& o) { static_cast<MB_Mtext&>(o).set_point(-5, Qe_Pt(9, 9, 0)); }},
        {"text", [](MB_Object& o) { static_cast<MB_Mtext&>(o).set_string(-301, "other"); }},
        {"font", [](MB_Object& o) { static_cast<MB_Mtext&>(o).set_string(-303, "box.shx"); }},
        {"move", [](MB_Object& o) { static_cast<MB_Mtext&>(o).translate(translate_transf(Qe_Vec(3, 4, 0)), 0); }},
    };
    for (const auto& ch : changes) expect_undo_redo_state(f, full_text(fonts).release(), ch.change, ch.what);

    // After undoing a move, the next build puts the runs back where they were.
    auto* moved = full_text(fonts).release();
    moved->build_draw();
    const Qe_Pt first = at(*moved, 0);
    f.drawing->add_object(moved);
    f.command("move", [&] { moved->translate(translate_transf(Qe_Vec(3, 4, 0)), 0); });
    moved->build_draw();
    EXPECT_TRUE(near(at(*moved, 0), first.x() + 3, first.y() + 4));
    f.undo();
    moved->build_draw();
    EXPECT_TRUE(near(at(*moved, 0), first.x(), first.y()));
}

TEST(Mtext, DrawPickAndGrip)
{
    Box_Fonts fonts;
    auto m = mtext(fonts, "{\\C1;AB}\\PC");
    Qe_Qdc qdc;
    Qe_Tran view = scale_transf(1.0);
    Recording_Dc dc;
    m->draw(dc.dc, qdc, view);
    // A, B, C, each with the pen of its run's colour; the line feed draws nothing.
    std::vector<COLORREF> pens;
    for (const Platform_Call& c : dc.calls())
        if (c.name == "Polyline") pens.push_back(c.pen.lopnColor);
    EXPECT_EQ(pens, (std::vector<COLORREF>{0x0000FF, 0x0000FF, static_cast<COLORREF>(k_own)}));

    Qe_Pt_List hits;
    Qe_Pt hit;
    int kind = 0, extra = 0;
    // On the left edge of "A" (x 100, y 190..200).
    EXPECT_TRUE(m->pick(Qe_Pt(100.05, 195, 0), hits, 0.1, hit, kind, extra));
    EXPECT_EQ(kind, 81);
    kind = 0;
    EXPECT_FALSE(m->pick(Qe_Pt(300, 300, 0), hits, 0.1, hit, kind, extra));
    Qe_Pt unused;
    EXPECT_FALSE(m->pick(Qe_Pt(100, 200, 0), unused));
    MB_Mtext none;
    none.build_draw();
    EXPECT_FALSE(none.pick(Qe_Pt(0, 0, 0), hits, 100.0, hit, kind, extra));
    Recording_Dc quiet;
    none.draw(quiet.dc, qdc, view);
    EXPECT_TRUE(quiet.calls().empty());

    Recording_Dc grip, ref;
    m->draw_key_point(grip.dc, qdc, view);
    api_mb_draw_point(ref.dc, Qe_Pt(100, 200, 0), 0, 3, 0);
    EXPECT_EQ(grip.texts(), ref.texts());
}

TEST(Mtext, DefaultStyle)
{
    Box_Fonts fonts;
    MB_Drawing d;
    MB_Mtext m(Qe_Pt(), "A");
    auto* plans = new MB_Text_Style("Plans", "box.shx", nullptr, 3.0, 1.0, 0, 0, 0, 0);
    d.text_style_list().add_tail(plans);
    EXPECT_TRUE(m.init_text_style(d, "PLANS"));
    EXPECT_EQ(m.text_style()->font_lib(), fonts.lib("box.shx"));
    const int styles = d.text_style_list().count();
    EXPECT_FALSE(m.init_text_style(d, "missing"));
    EXPECT_FALSE(m.init_text_style(d, nullptr));
    EXPECT_EQ(d.text_style_list().count(), styles);
    ASSERT_NE(g_text_style, nullptr);
    EXPECT_EQ(m.text_style()->font_lib(), fonts.lib("txt.shx"));
}

}  // namespace
