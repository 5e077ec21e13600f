// build_extent: every kind's rectangle (and the state its data derives from the layout) as
// build_draw makes it, with nothing of the display kept, kind by kind against build_draw.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Drakmere.h"
#include "kernel/entities/all_kinds.h"

namespace {

struct Extent_Case {
    std::string name;
    std::function<MB_Drawable*(MB_Drawing&)> make;
};

bool same(const Qe_Pt& a, const Qe_Pt& b)
{
    return a.x() == b.x() && a.y() == b.y() && a.z() == b.z();
}

int loop_index(MB_Hatch& h, const Qe_Loop* loop)
{
    int i = 0;
    for (Qe_Void_Node* n = h.loop_list().head(); n; n = n->next(), ++i)
        if (n->entity() == loop) return i;
    return -1;
}

std::vector<Extent_Case> cases()
{
    std::vector<Extent_Case> out;
    for (const all_kinds::Kind& k : all_kinds::kinds()) out.push_back({k.name, k.make});
    auto add = [&](const char* name, std::function<MB_Drawable*(MB_Drawing&)> make) { out.push_back({name, std::move(make)}); };
    add("line far from the origin", [](MB_Drawing&) {
        return new MB_Line(Qe_Pt(483217.33710000001, 3117420.0519, 2), Qe_Pt(483201.1, 3117460.25, -1));
    });
    add("dashed line", [](MB_Drawing& d) {
        auto* dashed = new MB_Line_Type;
        EXPECT_TRUE(dashed->init_dec("DASHED,__ __") && dashed->init_data("A,0.5,-0.25"));
        d.line_type_list().add_tail(dashed);
        auto* l = new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(3, 4, 0));
        l->general().line_type(dashed);
        return l;
    });
    add("construction line", [](MB_Drawing&) { return new MB_Xline(Qe_Pt(1, 1, 0), Qe_Pt(2, 2, 0)); });
    add("empty chain", [](MB_Drawing&) { return new MB_Lines; });
    add("one-point chain", [](MB_Drawing&) {
        auto* c = new MB_Lines;
        const Qe_Pt p[] = {{7, -2, 0}};
        c->init(1, p);
        return c;
    });
    add("multi-line", [](MB_Drawing&) {
        auto* m = new MB_Mlines(2);
        m->points()[1] = Qe_Pt(5, 5, 0);
        return m;
    });
    add("circle of few points", [](MB_Drawing&) {
        auto* c = new MB_Circle(Qe_Pt(1.25, -3.5, 0), 7.125);
        c->draw_precision(7);
        return c;
    });
    add("circle of many points", [](MB_Drawing&) {
        auto* c = new MB_Circle(Qe_Pt(483217.3371, 3117420.0519, 0), 0.73);
        c->draw_precision(301);
        return c;
    });
    add("zero circle", [](MB_Drawing&) { return new MB_Circle(Qe_Pt(4, 4, 0), 0.0); });
    add("arc across the x axis", [](MB_Drawing&) { return new MB_Arc(Qe_Pt(-1, 2, 0), 3.3, 5.9, 0.4); });
    add("arc from points", [](MB_Drawing&) { return new MB_Arc(Qe_Pt(0, 0, 0), Qe_Pt(2, 0, 0), Qe_Pt(0, 2, 0)); });
    add("closed polyline with bulges", [](MB_Drawing&) {
        auto* v = new MB_Pline_Pos[4];
        v[0].point = Qe_Pt(0, 0, 0);
        v[0].bulge = -0.7;
        v[1].point = Qe_Pt(10.5, 0.25, 0);
        v[2].point = Qe_Pt(10, 8, 0);
        v[2].bulge = 1.0;
        v[3].point = Qe_Pt(-1, 7.75, 0);
        return new MB_Polyline(true, 4, v);
    });
    add("dashed polyline with bulges", [](MB_Drawing& d) {
        auto* dashed = new MB_Line_Type;
        EXPECT_TRUE(dashed->init_dec("DASHED,__ __") && dashed->init_data("A,0.5,-0.25"));
        d.line_type_list().add_tail(dashed);
        auto* v = new MB_Pline_Pos[3];
        v[0].point = Qe_Pt(0, 0, 0);
        v[0].bulge = 0.6;
        v[1].point = Qe_Pt(6, 1, 0);
        v[2].point = Qe_Pt(2, 9, 0);
        auto* p = new MB_Polyline(false, 3, v);
        p->general().line_type(dashed);
        return p;
    });
    add("polyline with widths and a bulge", [](MB_Drawing&) {
        auto* v = new MB_Pline_Pos[4];
        v[0].point = Qe_Pt(0, 0, 0);
        v[0].start_width = 0.5;
        v[0].end_width = 2.0;
        v[1].point = Qe_Pt(8, 0.5, 0);
        v[1].bulge = -0.9;
        v[2].point = Qe_Pt(9, 7, 0);
        v[3].point = Qe_Pt(1, 6, 0);
        auto* p = new MB_Polyline(true, 4, v);
        return p;
    });
    add("polyline of global width turning sharply", [](MB_Drawing&) {
        auto* v = new MB_Pline_Pos[3];
        v[0].point = Qe_Pt(0, 0, 0);
        v[1].point = Qe_Pt(10, 0.5, 0);
        v[2].point = Qe_Pt(0, 1.5, 0);
        auto* p = new MB_Polyline(false, 3, v);
        p->global_width(1.25);
        return p;
    });
    add("one-vertex polyline", [](MB_Drawing&) {
        auto* v = new MB_Pline_Pos[1];
        v[0].point = Qe_Pt(3, 3, 0);
        return new MB_Polyline(false, 1, v);
    });
    add("solid hatch round its islands", [](MB_Drawing&) {
        auto* h = new MB_Hatch;
        h->loop_add(all_kinds::ring(2, 2, 8, 8));
        h->loop_add(all_kinds::ring(0, 0, 10, 10));
        h->loop_add(all_kinds::ring(3, 3, 4, 4));
        h->get_hatchtype()->name(MB_String("_SOLID"));
        h->type(1);  // the enclosing loop is left out
        return h;
    });
    add("offset hatch", [](MB_Drawing&) {
        auto* h = new MB_Hatch;
        h->loop_add(all_kinds::ring(0, 0, 10, 6));
        h->get_hatchtype()->name(MB_String("TAVIMOR_OFFSET"));
        h->get_hatchtype()->scale(1.0);
        h->get_hatchtype()->patterntype(3);
        return h;
    });
    add("hatch without a pattern name", [](MB_Drawing&) {
        auto* h = new MB_Hatch;
        h->loop_add(all_kinds::ring(0, 0, 1, 1));
        h->get_hatchtype()->name(MB_String(""));
        return h;
    });
    add("SHX text", [](MB_Drawing& d) {
        auto* t = new MB_Text(Qe_Pt(12.5, -3.25, 0), MB_String("Level +3.150"));
        (void)t->init_text_style(d, "");
        return t;
    });
    add("turned TrueType text", [](MB_Drawing&) {
        MB_Text_Style style;
        style.load_default();
        style.font_lib("arial.ttf");
        style.height(3.5);
        style.angle(0.6);
        auto* t = new MB_Text(Qe_Pt(-2, 5, 0), MB_String("Bag 80%"));
        t->init_text_style(&style);
        return t;
    });
    return out;
}

// Each kind made twice in one drawing: one laid out by build_draw, one by build_extent.
TEST(Build_Extent, EveryKindGetsTheRectangleOfBuildDrawAndKeepsNoDisplay)
{
    MB_Operation op;
    ASSERT_TRUE(op.create_drawing("extent"));
    MB_Drawing& d = *op.drawing();
    for (const Extent_Case& c : cases()) {
        SCOPED_TRACE(c.name);
        MB_Drawable* drawn = c.make(d);
        MB_Drawable* measured = c.make(d);
        d.object_list().add_tail(drawn);
        d.object_list().add_tail(measured);
        for (MB_Object* o = d.block_list().get_head(); o; o = o->next()) static_cast<MB_Block*>(o)->build_draw();
        drawn->build_draw();
        measured->build_extent();
        EXPECT_TRUE(same(measured->rect().lt(), drawn->rect().lt()));
        EXPECT_TRUE(same(measured->rect().rb(), drawn->rect().rb()));
        const int id = measured->object_id();
        // The kinds of plain geometry keep nothing drawn; the others are simply built.
        const bool plain = id == MB_Object::ID_LINE || id == MB_Object::ID_LINES || id == MB_Object::ID_CIRCLE ||
                           id == MB_Object::ID_ARC || id == MB_Object::ID_POLYLINE || id == MB_Object::ID_TEXT ||
                           id == MB_Object::ID_HATCH || id == MB_Object::ID_XLINE || id == MB_Object::ID_RAY;
        if (plain) {
            EXPECT_EQ(measured->draw_node(), nullptr);
            if (auto* g = dynamic_cast<MB_Geom*>(measured)) {
                EXPECT_EQ(g->edge().count(), 0);
            }
        }
        if (auto* h = dynamic_cast<MB_Hatch*>(measured)) {
            auto& other = static_cast<MB_Hatch&>(*drawn);
            EXPECT_EQ(loop_index(*h, h->excluded_loop()), loop_index(other, other.excluded_loop()));
            EXPECT_EQ(h->loop_list().count(), other.loop_list().count());
            // Only the offset fill keeps what it generated: its rings are its DXF form.
            EXPECT_EQ(h->ptsets_list().count(), h->is_offset() ? other.ptsets_list().count() : 0);
        }
        // Laid out fully afterwards, it is what build_draw makes of it.
        measured->build_draw();
        EXPECT_TRUE(same(measured->rect().lt(), drawn->rect().lt()));
        EXPECT_TRUE(same(measured->rect().rb(), drawn->rect().rb()));
        EXPECT_EQ(measured->draw_node() != nullptr, drawn->draw_node() != nullptr);
    }
}

TEST(Build_Extent, ABlockMeasuresItsMembersAsBuildDrawDoes)
{
    MB_Operation op;
    ASSERT_TRUE(op.create_drawing("blocks"));
    MB_Drawing& d = *op.drawing();
    auto make = [&](const char* name) {
        auto* b = new MB_Block(Qe_Pt(2, -1, 0), MB_String(name), MB_String(""));
        for (const all_kinds::Kind& k : all_kinds::kinds())
            if (std::string(k.name) != "block reference") b->object_list().add_tail(k.make(d));
        auto* text = new MB_Text(Qe_Pt(30, 30, 0), MB_String("TAG"));
        (void)text->init_text_style(d, "");
        b->object_list().add_tail(text);
        d.block_list().add_tail(b);
        return b;
    };
    MB_Block* drawn = make("drawn");
    MB_Block* measured = make("measured");
    drawn->build_draw();
    measured->build_extent();
    EXPECT_TRUE(same(measured->rect().lt(), drawn->rect().lt()));
    EXPECT_TRUE(same(measured->rect().rb(), drawn->rect().rb()));
    EXPECT_EQ(static_cast<MB_Drawable*>(measured->object_list().get_tail())->draw_node(), nullptr);
}

}  // namespace
