// The flat text explosion functions: chains against FreeType's own decomposition of the
// glyphs, where they go, composite texts run by run, the text hatch's loops, pattern and
// fill, and the refusals.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/freetype_text.h"
#include "geometry/loop.h"
#include "geometry/void_list.h"
#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/system_setting.h"
#include "kernel/display/draw_node.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entities/hatch.h"
#include "kernel/entity_base/line.h"
#include "kernel/operation/flat_explode.h"
#include "kernel/operation/operation.h"
#include "kernel/text/mtext.h"
#include "kernel/text/text.h"
#include "kernel/text/text_fixture.h"
#include "kernel/text/text_style.h"
#include "kernel/text/trace_text.h"
#include "platform/font.h"

namespace {

// Outline units (26.6 values at a 64 pixel em) per unit of text height.
constexpr double k_unit = 1.444 / 4096.0;
constexpr long k_red = 0x0000FF;
constexpr long k_green = 0x00FF00;
constexpr long k_blue = 0xFF0000;
constexpr int k_steps = 5;

using freetype_text::Contour;

std::string ttf_file(const char* name)
{
    char path[4096];
    return platform_ttf_file(name, path, sizeof path) ? std::string(path) : std::string();
}

std::vector<Qe_Pt> points_of(const MB_Lines& chain)
{
    return std::vector<Qe_Pt>(chain.points(), chain.points() + chain.count());
}

std::vector<Qe_Pt> points_of(const Qe_Loop& loop)
{
    std::vector<Qe_Pt> out;
    const Qe_Loop_Node* v = loop.head();
    for (long i = 0; i < loop.count() && v; ++i, v = v->next()) out.push_back(v->point());
    return out;
}

// The runs of a text's node, each as its points.
std::vector<std::vector<Qe_Pt>> node_runs(MB_Drawable& text)
{
    std::vector<std::vector<Qe_Pt>> out;
    auto* node = dynamic_cast<MB_Draw_Lines_Sets*>(text.draw_node());
    if (!node) return out;
    const Qe_Pt* p = node->points();
    for (mb_ulong r = 0; r < node->ptset_count(); ++r) {
        out.emplace_back(p, p + node->vals()[r]);
        p += node->vals()[r];
    }
    return out;
}

std::vector<MB_Object*> members(const MB_Object_List& list)
{
    std::vector<MB_Object*> out;
    for (MB_Object* o = list.get_head(); o; o = o->next()) out.push_back(o);
    return out;
}

std::vector<void*> entries(const Qe_Void_List& list)
{
    std::vector<void*> out;
    for (Qe_Void_Node* n = list.head(); n; n = n->next()) out.push_back(n->entity());
    return out;
}

// The chains of the out list after its first skip entries.
std::vector<MB_Lines*> chains_of(const Qe_Void_List& out, std::size_t skip = 0)
{
    std::vector<MB_Lines*> chains;
    const std::vector<void*> all = entries(out);
    for (std::size_t i = skip; i < all.size(); ++i) {
        auto* o = static_cast<MB_Object*>(all[i]);
        EXPECT_EQ(o->object_id(), MB_Object::ID_LINES);
        chains.push_back(static_cast<MB_Lines*>(o));
    }
    return chains;
}

class Flat_Explode : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_system_resource.free();
        op = std::make_unique<MB_Operation>();
        ASSERT_TRUE(op->create_drawing("explode"));
        d = op->drawing();
        op->system_setting()->set_long_val(MB_System_Setting::k_long_conic_steps, k_steps);
    }
    void TearDown() override
    {
        op.reset();
        g_system_resource.free();
    }

    // A text in font file at height h, laid out at base in red; in model space unless the
    // caller takes it.
    MB_Text* text_in(const char* file, const char* s, Qe_Pt base = Qe_Pt(0, 0, 0), double h = 10.0, bool build = true,
                     bool place = true)
    {
        MB_Text_Style style;
        style.load_default();
        style.font_lib(file);
        style.height(h);
        EXPECT_NE(style.font_lib(), nullptr) << file;
        auto* text = new MB_Text(base, MB_String(s));
        text->init_text_style(&style);
        text->general().color(k_red);
        if (build) text->build_draw();
        if (place) d->object_list().add_tail(text);
        return text;
    }

    std::unique_ptr<MB_Operation> op;
    MB_Drawing* d = nullptr;
};

}  // namespace

// One chain per contour of FreeType's glyphs, in run order, with the node's points and the
// text's colour (not its layer); appended to model space, or to the block being defined.
TEST_F(Flat_Explode, TrueTypeTextGivesOneChainPerGlyphContour)
{
    const std::string file = ttf_file("arial.ttf");
    ASSERT_FALSE(file.empty());
    freetype_text::Reference ref(file);
    ASSERT_TRUE(ref.ok);
    const Qe_Pt base(100, -20, 0);
    const double h = 10.0;
    std::vector<Contour> want = ref.outline(U"O8i", k_steps);
    ASSERT_EQ(want.size(), 2u + 3u + 2u);
    for (Contour& c : want)
        for (freetype_text::P& p : c) p = {p.x * h * k_unit + base.x(), p.y * h * k_unit + base.y()};
    // The layout puts implied on-curve points on exact midpoints, FreeType on whole units.
    const double tol = 0.5 * h * k_unit + 1e-9;

    auto* layer = new MB_Layer(MB_String("texts"));
    d->layer_list().add_tail(layer);
    for (const bool in_block : {false, true}) {
        SCOPED_TRACE(in_block ? "block open" : "model space");
        d->object_list().kill_all();
        MB_Text* text = text_in("arial.ttf", "O8i", base, h);
        text->general().layer(layer);
        const MB_Lines fresh;  // what a new entity takes
        auto* block = new MB_Block;
        if (in_block) d->open_block(block);
        Qe_Void_List out;
        int held = 0;
        (void)out.add(&held);

        ASSERT_TRUE(api_explode_text(text, 0, d, out));
        const std::vector<MB_Lines*> chains = chains_of(out, 1);
        EXPECT_EQ(entries(out).front(), &held);
        ASSERT_EQ(chains.size(), want.size());
        const std::vector<std::vector<Qe_Pt>> runs = node_runs(*text);
        ASSERT_EQ(runs.size(), chains.size());
        for (std::size_t i = 0; i < chains.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(chains[i]->general().color(), k_red);
            EXPECT_EQ(chains[i]->general().layer(), fresh.general().layer());
            EXPECT_NE(chains[i]->general().layer(), layer);
            EXPECT_TRUE(text_test::points_near(points_of(*chains[i]), runs[i], 0.0));
            std::vector<Qe_Pt> ft;
            for (const freetype_text::P& p : want[i]) ft.emplace_back(p.x, p.y, 0.0);
            EXPECT_TRUE(text_test::points_near(points_of(*chains[i]), ft, tol));
        }
        // The text stays where it was; the chains follow it or stand in the open block.
        std::vector<MB_Object*> model{text};
        if (!in_block) model.insert(model.end(), chains.begin(), chains.end());
        EXPECT_EQ(members(d->object_list()), model);
        EXPECT_EQ(members(block->object_list()),
                  in_block ? std::vector<MB_Object*>(chains.begin(), chains.end()) : std::vector<MB_Object*>{});
        if (in_block)
            ASSERT_TRUE(d->close_block(block));
        else
            delete block;
    }
}

// A multi-line text gives its first line's runs, then its second's, each chain in the colour
// of the run it came from.
TEST_F(Flat_Explode, MultiLineTextGivesItsLinesInOrder)
{
    text_test::Box_Fonts fonts;
    auto* m = new MB_Mtext(Qe_Pt(10, 20, 0), "{\\C1;A}B\\PC");
    m->text_style()->font_lib(fonts.lib("txt.shx"));
    m->set_base_ht(2.0);
    // With a width, runs share a line until a line feed.
    m->set_width(100.0);
    m->general().color(k_green);
    m->build_draw();
    d->object_list().add_tail(m);

    Qe_Void_List out;
    ASSERT_TRUE(api_explode_mtext(m, 0, d, out));
    const std::vector<MB_Lines*> chains = chains_of(out);
    ASSERT_EQ(chains.size(), 3u);
    std::vector<long> colours;
    std::vector<text_test::Box> boxes;
    for (MB_Lines* c : chains) {
        colours.push_back(c->general().color());
        EXPECT_EQ(c->count(), 5);
        boxes.push_back(text_test::box_of(points_of(*c)));
    }
    EXPECT_EQ(colours, (std::vector<long>{k_red, k_green, k_green}));
    // A then B on the first line, C below them.
    EXPECT_DOUBLE_EQ(boxes[0].min_y, boxes[1].min_y);
    EXPECT_LT(boxes[0].max_x, boxes[1].min_x);
    EXPECT_LT(boxes[2].max_y, boxes[0].min_y);
    EXPECT_DOUBLE_EQ(boxes[2].min_x, boxes[0].min_x);
    std::vector<MB_Object*> model{m};
    model.insert(model.end(), chains.begin(), chains.end());
    EXPECT_EQ(members(d->object_list()), model);
}

// A path text gives the characters along its path in order, in its colour.
TEST_F(Flat_Explode, PathTextGivesItsCharactersAlongThePath)
{
    text_test::Box_Fonts fonts;
    auto* path = new MB_Trace_Text();
    const Qe_Pt pts[] = {{0, 0, 0}, {30, 0, 0}};
    path->pt_set(Qe_Pt_Set(2, pts));
    path->str("ABC");
    path->height(2.0);
    path->general().color(k_blue);
    path->build_draw();
    d->object_list().add_tail(path);

    Qe_Void_List out;
    ASSERT_TRUE(api_explode_tracetext(path, 0, d, out));
    const std::vector<MB_Lines*> chains = chains_of(out);
    ASSERT_EQ(chains.size(), 3u);
    // Fitted to the whole path: the characters stand at 0, 15 and 30.
    const double at[] = {0, 15, 30};
    for (std::size_t i = 0; i < chains.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(chains[i]->general().color(), k_blue);
        const text_test::Box b = text_test::box_of(points_of(*chains[i]));
        EXPECT_NEAR(b.min_x, at[i], 1e-9);
        EXPECT_NEAR(b.max_x - b.min_x, 2.0, 1e-9);
        EXPECT_NEAR(b.min_y, 0.0, 1e-9);
    }
}

// Refusals make nothing; a composite text that was never built has no lines to give, and a
// stroke-font text explodes into its strokes.
TEST_F(Flat_Explode, RefusalsAndTextsWithoutOutlines)
{
    text_test::Box_Fonts fonts;
    MB_Text* unbuilt = text_in("txt.shx", "AB", Qe_Pt(0, 0, 0), 10.0, false);
    auto* mtext = new MB_Mtext(Qe_Pt(0, 0, 0), "AB");
    d->object_list().add_tail(mtext);
    auto* path = new MB_Trace_Text();
    path->str("AB");
    d->object_list().add_tail(path);
    const std::size_t before = members(d->object_list()).size();

    struct Case {
        const char* name;
        bool result;
        std::function<bool(Qe_Void_List&)> call;
    };
    const Case cases[] = {
        {"null text", false, [&](Qe_Void_List& o) { return api_explode_text(nullptr, 0, d, o); }},
        {"null multi-line text", false, [&](Qe_Void_List& o) { return api_explode_mtext(nullptr, 0, d, o); }},
        {"null path text", false, [&](Qe_Void_List& o) { return api_explode_tracetext(nullptr, 0, d, o); }},
        {"null drawing", false, [&](Qe_Void_List& o) { return api_explode_mtext(mtext, 0, nullptr, o); }},
        {"text never built", false, [&](Qe_Void_List& o) { return api_explode_text(unbuilt, 0, d, o); }},
        {"multi-line text never built", true, [&](Qe_Void_List& o) { return api_explode_mtext(mtext, 0, d, o); }},
        {"path text never built", true, [&](Qe_Void_List& o) { return api_explode_tracetext(path, 0, d, o); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Qe_Void_List out;
        EXPECT_EQ(c.call(out), c.result);
        EXPECT_TRUE(out.is_empty());
        EXPECT_EQ(members(d->object_list()).size(), before);
    }

    // A stroke font's text: its strokes.
    unbuilt->build_draw();
    Qe_Void_List out;
    ASSERT_TRUE(api_explode_text(unbuilt, 0, d, out));
    EXPECT_EQ(chains_of(out).size(), 2u);

    // Without an active operation nothing is made, even into a drawing of its own.
    std::unique_ptr<MB_Text> kept(text_in("txt.shx", "AB", Qe_Pt(0, 0, 0), 10.0, true, false));
    op.reset();
    MB_Drawing alone;
    Qe_Void_List none;
    EXPECT_FALSE(api_explode_text(kept.get(), 0, &alone, none));
    EXPECT_TRUE(none.is_empty());
    EXPECT_TRUE(alone.object_list().is_empty());
}

// An "O" gives one hatch of its two contours, filled by parity: the ring is painted, the
// counter is left empty. Its colour is the settings' colour of new entities (long 1), not
// the background's (long 0) nor the text's. A block being defined receives it.
TEST_F(Flat_Explode, TextHatchOfAnOLeavesItsCounterEmpty)
{
    const std::string file = ttf_file("arial.ttf");
    freetype_text::Reference ref(file);
    ASSERT_TRUE(ref.ok);
    const double h = 40.0, s = h * k_unit;
    const std::vector<Contour> o = ref.outline(U"O", k_steps);
    ASSERT_EQ(o.size(), 2u);
    // The outer contour and the counter's boxes, in outline units.
    std::vector<text_test::Box> boxes;
    for (const Contour& c : o) {
        std::vector<Qe_Pt> pts;
        for (const freetype_text::P& p : c) pts.emplace_back(p.x, p.y, 0.0);
        boxes.push_back(text_test::box_of(pts));
    }
    if (boxes[1].max_x - boxes[1].min_x > boxes[0].max_x - boxes[0].min_x) std::swap(boxes[0], boxes[1]);
    const text_test::Box& outer = boxes[0];
    const text_test::Box& counter = boxes[1];
    // The glyph centred on a 60 pixel square, so that the device's y direction does not matter.
    constexpr int k_side = 60;
    const Qe_Pt base((k_side - (outer.min_x + outer.max_x) * s) / 2, (k_side - (outer.min_y + outer.max_y) * s) / 2, 0);
    ASSERT_GT(outer.min_x * s + base.x(), 2.0);
    ASSERT_LT(outer.max_y * s + base.y(), k_side - 2.0);

    EXPECT_EQ(op->system_setting()->get_long_val(1), 0xFFFFFF);
    op->system_setting()->set_long_val(1, k_green);
    op->system_setting()->set_long_val(0, k_blue);
    MB_Text* text = text_in("arial.ttf", "O", base, h);
    ASSERT_EQ(api_create_hatch_by_text(text, const_cast<char*>("solid"), 0.5, 2.0), 1);
    ASSERT_EQ(d->object_list().count(), 2);
    auto* hatch = dynamic_cast<MB_Hatch*>(d->object_list().get_tail());
    ASSERT_NE(hatch, nullptr);
    EXPECT_EQ(hatch->general().color(), k_green);
    EXPECT_STREQ(hatch->get_hatchtype()->name().ascii(), "solid");
    EXPECT_TRUE(hatch->get_hatchtype()->string_list().is_empty());
    EXPECT_TRUE(hatch->is_solid());
    // The loops are the node's runs.
    const std::vector<std::vector<Qe_Pt>> runs = node_runs(*text);
    const std::vector<void*> loops = entries(hatch->loop_list());
    ASSERT_EQ(loops.size(), 2u);
    for (std::size_t i = 0; i < loops.size(); ++i) {
        // A loop is closed by itself: the run's closing point is not repeated.
        std::vector<Qe_Pt> ring = runs[i];
        ring.pop_back();
        EXPECT_TRUE(text_test::points_near(points_of(*static_cast<Qe_Loop*>(loops[i])), ring, 0.0)) << i;
    }

    entity_test::Raster r(k_side, k_side);
    Qe_Tran id;
    hatch->draw(nullptr, r.q, id);
    const int mid = k_side / 2;
    const int counter_x = static_cast<int>((counter.min_x + counter.max_x) / 2 * s + base.x());
    const int left_x = static_cast<int>((outer.min_x + counter.min_x) / 2 * s + base.x());
    const int right_x = static_cast<int>((outer.max_x + counter.max_x) / 2 * s + base.x());
    EXPECT_EQ(r.pixel(left_x, mid), RGB(0, 255, 0));
    EXPECT_EQ(r.pixel(right_x, mid), RGB(0, 255, 0));
    EXPECT_EQ(r.pixel(counter_x, mid), RGB(255, 255, 255));
    EXPECT_EQ(r.pixel(1, 1), RGB(255, 255, 255));
    // Nothing in the text's own colour.
    EXPECT_EQ(r.count(RGB(255, 0, 0)), 0);

    // With a block being defined, the hatch is the block's.
    auto* block = new MB_Block;
    d->open_block(block);
    ASSERT_EQ(api_create_hatch_by_text(text, const_cast<char*>("SOLID"), 0, 1), 1);
    EXPECT_EQ(d->object_list().count(), 2);
    ASSERT_EQ(block->object_list().count(), 1);
    EXPECT_EQ(block->object_list().get_head()->object_id(), MB_Object::ID_HATCH);
    ASSERT_TRUE(d->close_block(block));
}

// The pattern: a solid name keeps its case and has no lines; anything else is "LINES" with
// the parts between semicolons as lines, whole however long, and the angle and scale given.
TEST_F(Flat_Explode, TextHatchPatterns)
{
    const std::string long_line = "45,0,0,0,0.125," + std::string(285, '1');
    ASSERT_EQ(long_line.size(), 300u);
    struct Case {
        std::string pattern;
        const char* name;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"solid", "solid", {}},
        {"_Solid", "_Solid", {}},
        {"a;b", "LINES", {"a", "b"}},
        {";0,0,0,0,1;;45,0,0,0,2;", "LINES", {"0,0,0,0,1", "45,0,0,0,2"}},
        {"solid;", "LINES", {"solid"}},
        {long_line, "LINES", {long_line}},
        {"", "LINES", {}},
    };
    MB_Text* text = text_in("arial.ttf", "O");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        std::string pattern = c.pattern;
        ASSERT_EQ(api_create_hatch_by_text(text, pattern.data(), 0.25, 3.0), 1);
        auto* hatch = dynamic_cast<MB_Hatch*>(d->object_list().get_tail());
        ASSERT_NE(hatch, nullptr);
        MB_Hatch_Type& type = *hatch->get_hatchtype();
        EXPECT_STREQ(type.name().ascii(), c.name);
        std::vector<std::string> lines;
        for (void* e : entries(type.string_list())) lines.emplace_back(static_cast<MB_String*>(e)->ascii());
        EXPECT_EQ(lines, c.lines);
        const bool solid = c.lines.empty() && std::string(c.name) != "LINES";
        EXPECT_EQ(type.angle(), solid ? 0.0 : 0.25);
        EXPECT_EQ(type.scale(), solid ? 1.0 : 3.0);
        EXPECT_EQ(hatch->loop_list().count(), 2);
    }
}

// Nothing is made without an operation, for a null text or pattern, a stroke-font text, a
// text never built or one whose outlines enclose nothing.
TEST_F(Flat_Explode, TextHatchRefusals)
{
    text_test::Box_Fonts fonts;
    MB_Text* shx = text_in("txt.shx", "AB");
    ASSERT_FALSE(node_runs(*shx).empty());
    MB_Text* unbuilt = text_in("arial.ttf", "O", Qe_Pt(0, 0, 0), 10.0, false);
    MB_Text* blank = text_in("arial.ttf", " ");
    MB_Text* good = text_in("arial.ttf", "O");
    char solid[] = "SOLID";
    struct Case {
        const char* name;
        MB_Text* text;
        char* pattern;
    };
    const Case cases[] = {
        {"null text", nullptr, solid},
        {"null pattern", good, nullptr},
        {"stroke font", shx, solid},
        {"never built", unbuilt, solid},
        {"nothing enclosed", blank, solid},
    };
    const std::size_t before = members(d->object_list()).size();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(api_create_hatch_by_text(c.text, c.pattern, 0, 1), 0);
        EXPECT_EQ(members(d->object_list()).size(), before);
    }

    std::unique_ptr<MB_Text> kept(text_in("arial.ttf", "O", Qe_Pt(0, 0, 0), 10.0, true, false));
    op.reset();
    EXPECT_EQ(api_create_hatch_by_text(kept.get(), solid, 0, 1), 0);
}
