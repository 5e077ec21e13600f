// The flat query and edit functions: rectangles, grips, selector lists and kind names; the
// placeholders, deletion, a list drawn onto a DC, splits, unused blocks and a layer moved
// between drawings.

#include <gtest/gtest.h>

#include <iconv.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "geometry/rect.h"
#include "geometry/void_list.h"
#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/dimension.h"
#include "kernel/entities/group.h"
#include "kernel/entities/insert.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/point_entity.h"
#include "kernel/operation/flat_create.h"
#include "kernel/operation/flat_edit.h"
#include "kernel/operation/flat_fixture.h"
#include "kernel/operation/operation.h"
#include "platform/gdi.h"
#include "platform/recording_dc.h"

namespace {

using flat_test::near;

std::vector<void*> items(const Qe_Void_List& list)
{
    std::vector<void*> out;
    for (Qe_Void_Node* n = list.head(); n; n = n->next()) out.push_back(n->entity());
    return out;
}

// The name in GBK, converted from its UTF-8 spelling by the C library: an oracle apart from
// the byte table under test.
std::string gbk(const char* utf8)
{
    iconv_t cd = iconv_open("GBK", "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string in(utf8);
    char out[64] = {};
    char* ip = in.data();
    char* op = out;
    size_t il = in.size(), ol = sizeof out - 1;
    EXPECT_NE(iconv(cd, &ip, &il, &op, &ol), static_cast<size_t>(-1));
    iconv_close(cd);
    return std::string(out, op);
}

class Flat_Edit : public flat_test::Flat_Drawing {
protected:
    MB_Line* line(const Qe_Pt& a, const Qe_Pt& b)
    {
        MB_Line* l = nullptr;
        EXPECT_TRUE(api_mb_create_line(l, a, b));
        return l;
    }
    MB_Circle* circle(double x, double y, double r) { return reinterpret_cast<MB_Circle*>(api_mb_create_circle(x, y, r)); }
    MB_Layer* layer(const char* name)
    {
        MB_Layer* l = nullptr;
        EXPECT_TRUE(api_mb_create_layer(l, name, 1, 0, true, false, false));
        return l;
    }
};

}  // namespace

// One object's rectangle: a drawable's own, a layer's union over its entities, and the cases
// that leave the rectangle as it was.
TEST_F(Flat_Edit, RectangleOfOneObject)
{
    MB_Line* l = line({0, 0, 0}, {2, 1, 0});
    MB_Circle* c = circle(5, 5, 1);
    MB_Layer* on = layer("ON");
    MB_Layer* empty = layer("EMPTY");
    l->general().layer(on);
    c->general().layer(on);

    // The circle's rectangle is that of its tessellation, a little inside the true circle.
    const Qe_Pt ct = c->rect().lt(), cb = c->rect().rb();
    ASSERT_TRUE(near(ct, {4, 6, 0}, 2e-3) && near(cb, {6, 4, 0}, 2e-3));
    const Qe_Rect before(Qe_Pt(7, 8, 0), Qe_Pt(9, 1, 0));
    struct Case {
        const char* what;
        MB_Object* object;
        MB_Drawing* drawing;
        Qe_Pt lt, rb;
    } cases[] = {
        {"line", l, d, {0, 1, 0}, {2, 0, 0}},
        {"circle", c, d, ct, cb},
        {"layer: union of its entities", on, d, {0, ct.y(), 0}, {cb.x(), 0, 0}},
        {"layer without entities", empty, d, before.lt(), before.rb()},
        {"layer without a drawing", on, nullptr, before.lt(), before.rb()},
        {"null", nullptr, d, before.lt(), before.rb()},
    };
    for (const Case& k : cases) {
        Qe_Rect r = before;
        api_mb_get_entity_rect(k.object, r, k.drawing);
        EXPECT_TRUE(near(r.lt(), k.lt) && near(r.rb(), k.rb)) << k.what;
    }
}

// Both list forms give the same union and skip what has no rectangle; an empty list or one
// without drawables leaves the rectangle.
TEST_F(Flat_Edit, UnionOfAListInBothForms)
{
    MB_Layer* lay = layer("L");
    MB_Line* l = line({0, 0, 0}, {2, 1, 0});
    MB_Circle* c = circle(5, 5, 1);
    Qe_Rect r(Qe_Pt(7, 8, 0), Qe_Pt(9, 1, 0));
    ASSERT_TRUE(api_mb_get_entity_list_rect(d->object_list(), r));
    EXPECT_TRUE(near(r.lt(), {0, c->rect().lt().y(), 0}) && near(r.rb(), {c->rect().rb().x(), 0, 0}));

    Qe_Void_List list;
    list.add(lay);  // a layer among the items is passed over, not read as a drawable
    list.add(l);
    Qe_Rect v(Qe_Pt(7, 8, 0), Qe_Pt(9, 1, 0));
    ASSERT_TRUE(api_mb_get_entity_list_rect(list, v));
    EXPECT_TRUE(near(v.lt(), {0, 1, 0}) && near(v.rb(), {2, 0, 0}));

    Qe_Void_List only_layer;
    only_layer.add(lay);
    EXPECT_FALSE(api_mb_get_entity_list_rect(only_layer, v));
    EXPECT_FALSE(api_mb_get_entity_list_rect(d->block_list(), v));
    EXPECT_TRUE(near(v.lt(), {0, 1, 0}) && near(v.rb(), {2, 0, 0}));
}

// The nine grip points of the list's rectangle (0, 0)-(6, 6), each found within tol, the
// earlier one winning where two are near; tol is a strict bound.
TEST_F(Flat_Edit, GripCodesOfTheListRectangle)
{
    Qe_Void_List empty;
    EXPECT_EQ(api_mb_get_entity_list_rect_relation(empty, {0, 0, 0}, 100), -1);

    Qe_Void_List list;
    list.add(line({0, 0, 0}, {2, 1, 0}));
    list.add(line({6, 6, 0}, {4, 4, 0}));
    struct Case {
        Qe_Pt p;
        double tol;
        int code;
    } cases[] = {
        {{0, 6, 0}, 0.1, 28},     {{6, 0, 0}, 0.1, 31},     {{0, 0, 0}, 0.1, 29},  {{6, 6, 0}, 0.1, 30},
        {{3, 3, 0}, 0.1, 23},     {{0, 3, 0}, 0.1, 26},     {{6, 3, 0}, 0.1, 27},  {{3, 0, 0}, 0.1, 24},
        {{3, 6, 0}, 0.1, 25},     {{0.05, 5.95, 0}, 0.1, 28}, {{0, 6, 0}, 0.0, -1}, {{1, 6, 0}, 1.0, -1},
        {{1, 6, 0}, 1.0001, 28},  {{1.5, 4.5, 0}, 3.0, 28},  // (0, 6) and the centre both near: the corner is tried first
        {{2.9, 3, 0}, 3.0, 23},   {{10, 10, 0}, 1.0, -1},
    };
    for (const Case& k : cases)
        EXPECT_EQ(api_mb_get_entity_list_rect_relation(list, k.p, k.tol), k.code) << k.p.x() << "," << k.p.y() << " tol " << k.tol;
}

// Every selector: what it lists, in order, and that the list is emptied first.
TEST_F(Flat_Edit, ListsBySelector)
{
    MB_Layer* a = layer("A");
    MB_Layer* b = layer("B");
    MB_Line* l1 = line({0, 0, 0}, {1, 0, 0});
    MB_Line* off = line({0, 1, 0}, {1, 1, 0});
    MB_Circle* c = circle(0, 0, 1);
    off->general().disable(true);
    ASSERT_TRUE(op->add_entity_to_selection(c, false));
    ASSERT_TRUE(op->add_entity_to_selection(l1, false));

    std::vector<void*> layers;
    for (MB_Object* o = d->layer_list().get_head(); o; o = o->next()) layers.push_back(o);
    ASSERT_GE(layers.size(), 2u);
    EXPECT_EQ(layers[layers.size() - 2], a);
    EXPECT_EQ(layers.back(), b);

    MB_Line stray({0, 0, 0}, {1, 1, 0});
    struct Case {
        long value;
        std::vector<void*> want;
    } cases[] = {
        {-11, layers},
        {-4, {}},
        {-3, {}},
        {-2, {c, l1}},
        {-1, {l1, c}},
        {reinterpret_cast<long>(off), {off}},
        {reinterpret_cast<long>(&stray), {&stray}},
        {0, {}},
        {-5, {}},
        {-10, {}},
        {-12, {}},
        {-1000, {}},
    };
    for (const Case& k : cases) {
        Qe_Void_List list;
        list.add(&stray);  // emptied first
        api_mb_get_entity_list_by_obj_id(list, k.value, *op);
        EXPECT_EQ(items(list), k.want) << k.value;
    }

    // An empty selection gives an empty list.
    ASSERT_TRUE(op->clear_selectlist(false));
    op->selection().clear();
    Qe_Void_List list;
    list.add(&stray);
    api_mb_get_entity_list_by_obj_id(list, -2, *op);
    EXPECT_TRUE(list.is_empty());
}

// Every kind's name in GBK against the converter's bytes; unknown ids; the buffer size cut at
// a character boundary.
TEST(Flat_Edit_Names, KindNames)
{
    const struct {
        long id;
        const char* utf8;
    } names[] = {
        {3, "圆弧"},     {4, "弧形文字"}, {10, "样条曲线"}, {18, "圆"},       {22, "尺寸"},
        {27, "椭圆"},    {28, "椭圆弧"},  {44, "剖面线"},   {45, "块插入"},   {47, "图片"},
        {50, "直线"},    {51, "折线"},    {71, "多义线"},   {79, "封闭区域"}, {88, "文字"},
        {93, "轨迹文字"}, {97, "多行文字"}, {98, "点"},      {101, "面"},      {103, "组"},
        {200, "未知"},   {0, "未知"},     {-1, "未知"},     {48, "未知"},     {94, "未知"},
    };
    for (const auto& n : names) {
        char buf[16];
        std::memset(buf, 'x', sizeof buf);
        EXPECT_TRUE(api_mb_get_object_type_name(n.id, buf, 0)) << n.id;
        const std::string want = gbk(n.utf8);
        EXPECT_EQ(std::string(buf), want) << n.id;
        EXPECT_LE(want.size() + 1, 9u);
        EXPECT_EQ(buf[want.size() + 1], 'x') << "written past the terminator";
        std::memset(buf, 'x', sizeof buf);
        EXPECT_TRUE(api_mb_get_object_type_name(n.id, buf, static_cast<int>(want.size() + 1))) << "exact fit " << n.id;
        EXPECT_EQ(std::string(buf), want);
    }

    // Sizes that cut: whole characters only, always terminated, nothing past the size.
    const struct {
        long id;
        int size;
        const char* utf8;
    } cuts[] = {
        {50, 3, "直"}, {50, 4, "直"}, {50, 2, ""}, {50, 1, ""}, {4, 8, "弧形文"}, {4, 5, "弧形"}, {103, 2, ""},
    };
    for (const auto& k : cuts) {
        char buf[16];
        std::memset(buf, 'x', sizeof buf);
        EXPECT_FALSE(api_mb_get_object_type_name(k.id, buf, k.size)) << k.id << " size " << k.size;
        EXPECT_EQ(std::string(buf), gbk(k.utf8)) << k.id << " size " << k.size;
        for (int i = k.size; i < 16; ++i) EXPECT_EQ(buf[i], 'x') << "byte " << i << " written, size " << k.size;
    }

    char buf[16] = "keep";
    EXPECT_FALSE(api_mb_get_object_type_name(50, nullptr, 9));
    EXPECT_FALSE(api_mb_get_object_type_name(50, buf, -1));
    EXPECT_STREQ(buf, "keep");
}

// ---- edits ----

namespace {

// A drawable without a display node: it draws its edge points as one polyline in the pen the
// caller selected, so what the list drawing sets up shows in the recorded calls.
class Edge_Geom : public MB_Geom {
public:
    Edge_Geom(std::initializer_list<Qe_Pt> pts)
    {
        const std::vector<Qe_Pt> v(pts);
        edge().init(static_cast<int>(v.size()), v.data());
        rect().init_by_pts(static_cast<int>(v.size()), v.data());
    }
    MB_ID object_id() const override { return ID_LINES; }
    MB_Result serialize(MB_File_IO&) override { return MB_Result::Success; }
    MB_Result materialize(const MB_Opcode&, MB_File_IO&) override { return MB_Result::Success; }
    MB_Result process(MB_File_IO&) override { return MB_Result::Success; }
};

std::vector<Platform_Call> polylines(HDC dc)
{
    std::vector<Platform_Call> out;
    for (const Platform_Call& c : platform_recorded_calls(dc))
        if (c.name == "Polyline") out.push_back(c);
    return out;
}

std::vector<Qe_Pt> chain_points(MB_Lines& l)
{
    return std::vector<Qe_Pt>(l.points(), l.points() + l.count());
}

bool same_points(const std::vector<Qe_Pt>& a, const std::vector<Qe_Pt>& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!near(a[i], b[i], 1e-9)) return false;
    return true;
}

}  // namespace

// The placeholders give their stated results and leave the drawing as it was.
TEST_F(Flat_Edit, PlaceholdersChangeNothing)
{
    MB_Line* l = line({0, 0, 0}, {1, 0, 0});
    ASSERT_TRUE(op->add_entity_to_selection(l, false));
    char name[] = "cmd";
    EXPECT_FALSE(api_mb_delete_selection(*d));
    api_mb_clear_selectlist(*d, true);
    EXPECT_EQ(api_mb_rect_select(*d, {-5, -5, 0}, {5, 5, 0}, false), 0);
    api_mb_undo(*d);
    api_mb_redo(*d);
    api_mb_begin_cmd(*d, name);
    api_mb_end_cmd(*d);
    EXPECT_EQ(d->object_list().get_head(), l);
    EXPECT_EQ(op->selection().count(), 1);
    EXPECT_TRUE(near(l->start(), {0, 0, 0}) && near(l->end(), {1, 0, 0}));
}

// The drawing forms of delete and move do what they name and say whether they did: a true
// from them is never work left undone.
TEST_F(Flat_Edit, DrawingFormsOfDeleteAndMoveDoTheirJob)
{
    MB_Line* l = line({0, 0, 0}, {1, 0, 0});
    EXPECT_TRUE(api_mb_moveto_entity(*d, l, {1, 1, 0}, {6, 6, 0}));
    EXPECT_TRUE(near(l->start(), {5, 5, 0}) && near(l->end(), {6, 5, 0}));
    EXPECT_FALSE(api_mb_moveto_entity(*d, nullptr, {0, 0, 0}, {1, 0, 0}));
    EXPECT_FALSE(api_mb_moveto_entity(*d, l, {0, 0, 0}, {HUGE_VAL, 0, 0}));
    EXPECT_TRUE(near(l->start(), {5, 5, 0}));
    MB_Drawing unhosted;
    EXPECT_FALSE(api_mb_delete_entity(unhosted, l, false));
    EXPECT_EQ(d->object_list().get_head(), l);
    EXPECT_TRUE(api_mb_delete_entity(*d, l, false));
    EXPECT_TRUE(d->object_list().is_empty());
}

TEST_F(Flat_Edit, DeleteThroughTheOperation)
{
    MB_Line* l = line({0, 0, 0}, {1, 0, 0});
    MB_Line stray({0, 0, 0}, {1, 1, 0});
    EXPECT_FALSE(api_mb_delete_entity(nullptr, *op));
    EXPECT_FALSE(api_mb_delete_entity(&stray, *op));  // not in the drawing: left alone
    EXPECT_TRUE(api_mb_delete_entity(l, *op));
    EXPECT_TRUE(d->object_list().is_empty());
}

// The list is fitted into the area about (cx, cy), y up, in a red pen of width 1 that is
// released afterwards; the refusals draw nothing.
TEST_F(Flat_Edit, ListDrawnOntoADeviceContext)
{
    HDC dc = platform_create_recording_dc(nullptr);
    ASSERT_NE(dc, nullptr);
    const HGDIOBJ pen_before = GetCurrentObject(dc, OBJ_PEN);

    // Rectangle (0, 0)-(10, 5), area 100 x 50 inside the margin: scale 10 about (5, 2.5).
    Edge_Geom slope{{0, 0, 0}, {10, 5, 0}};
    Edge_Geom level{{0, 0, 0}, {10, 0, 0}};
    Edge_Geom dot{{3, 3, 0}, {3, 3, 0}};
    Qe_Void_List list;
    list.add(&slope);
    ASSERT_TRUE(api_mb_draw_object_list_on_dc(dc, list, 60, 40, 104, 54));
    auto calls = polylines(dc);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (std::vector<long long>{2, 10, 65, 110, 15}));
    EXPECT_EQ(calls[0].pen.lopnColor, 0x0000FFu);
    EXPECT_EQ(calls[0].pen.lopnWidth.x, 1);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen_before);

    // The smaller ratio wins: a taller area leaves the scale at 10.
    platform_clear_recorded_calls(dc);
    ASSERT_TRUE(api_mb_draw_object_list_on_dc(dc, list, 60, 40, 104, 504));
    calls = polylines(dc);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (std::vector<long long>{2, 10, 65, 110, 15}));

    // A level line has no height: the width alone fits it.
    Qe_Void_List flat;
    flat.add(&level);
    platform_clear_recorded_calls(dc);
    ASSERT_TRUE(api_mb_draw_object_list_on_dc(dc, flat, 50, 50, 24, 100));
    calls = polylines(dc);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (std::vector<long long>{2, 40, 50, 60, 50}));

    Qe_Void_List point, empty;
    point.add(&dot);
    const struct {
        const char* what;
        HDC hdc;
        Qe_Void_List* list;
        int w, h;
    } refusals[] = {
        {"null DC", nullptr, &list, 104, 54}, {"empty list", dc, &empty, 104, 54}, {"no width", dc, &list, 0, 54},
        {"no height", dc, &list, 104, -3},    {"width within the margin", dc, &list, 4, 54},
        {"height within the margin", dc, &list, 104, 4}, {"a point has no extent", dc, &point, 104, 54},
    };
    for (const auto& k : refusals) {
        platform_clear_recorded_calls(dc);
        EXPECT_FALSE(api_mb_draw_object_list_on_dc(k.hdc, *k.list, 60, 40, k.w, k.h)) << k.what;
        EXPECT_TRUE(platform_recorded_calls(dc).empty()) << k.what;
    }
    DeleteDC(dc);
}

// A line split at a picked point: the two pieces joined give the line back; undo restores it
// and takes the new piece away; redo splits again.
TEST_F(Flat_Edit, BreakALine)
{
    op->init_undoredo(d);
    MB_Line* l = line({0, 0, 0}, {10, 0, 0});
    op->rec_cmd_begin("break");
    ASSERT_TRUE(api_mb_break_geom(l, {4, 0.05, 0}, 0.1, *d));
    op->rec_cmd_end();
    ASSERT_EQ(d->object_list().count(), 2);
    auto* tail = static_cast<MB_Line*>(d->object_list().get_tail());
    ASSERT_EQ(tail->object_id(), MB_Object::ID_LINE);
    EXPECT_TRUE(near(l->start(), {0, 0, 0}) && near(l->end(), {4, 0, 0}));
    EXPECT_TRUE(near(tail->start(), l->end()) && near(tail->end(), {10, 0, 0}));
    EXPECT_TRUE(near(tail->rect().rb(), {10, 0, 0}));  // built

    Qe_Void_List touched;
    op->undo(touched);
    EXPECT_EQ(d->object_list().count(), 1);
    EXPECT_TRUE(near(l->start(), {0, 0, 0}) && near(l->end(), {10, 0, 0}));
    touched.clear();
    op->redo(touched);
    EXPECT_EQ(d->object_list().count(), 2);
    EXPECT_TRUE(near(l->end(), {4, 0, 0}));

    // At an end point: nothing to split. Off the line: no pick.
    MB_Line* m = line({0, 5, 0}, {10, 5, 0});
    EXPECT_TRUE(api_mb_break_geom(m, {10, 5.01, 0}, 0.1, *d));
    EXPECT_FALSE(api_mb_break_geom(m, {5, 6, 0}, 0.1, *d));
    EXPECT_EQ(d->object_list().count(), 3);
    EXPECT_TRUE(near(m->end(), {10, 5, 0}));
}

// A chain split on a segment: the copy holds the points up to the split, the chain the rest;
// joined they give the chain back, and undo restores it whole.
TEST_F(Flat_Edit, BreakAChain)
{
    op->init_undoredo(d);
    double xs[4] = {0, 10, 10, 0}, ys[4] = {0, 0, 10, 10};
    auto* chain = reinterpret_cast<MB_Lines*>(api_mb_create_lines(xs, ys, 4));
    ASSERT_NE(chain, nullptr);
    const std::vector<Qe_Pt> original = chain_points(*chain);

    op->rec_cmd_begin("break");
    ASSERT_TRUE(api_mb_break_geom(chain, {10.02, 4, 0}, 0.1, *d));
    op->rec_cmd_end();
    ASSERT_EQ(d->object_list().count(), 2);
    auto* head = static_cast<MB_Lines*>(d->object_list().get_tail());
    ASSERT_EQ(head->object_id(), MB_Object::ID_LINES);
    std::vector<Qe_Pt> joined = chain_points(*head);
    ASSERT_EQ(joined.size(), 3u);
    EXPECT_TRUE(near(joined.back(), {10, 4, 0}));
    EXPECT_TRUE(near(chain->points()[0], joined.back()));
    joined.pop_back();
    const std::vector<Qe_Pt> rest = chain_points(*chain);
    joined.insert(joined.end(), rest.begin() + 1, rest.end());
    EXPECT_TRUE(same_points(joined, original));
    EXPECT_TRUE(near(chain->edge()[0], {10, 4, 0}));  // rebuilt

    Qe_Void_List touched;
    op->undo(touched);
    EXPECT_EQ(d->object_list().count(), 1);
    EXPECT_TRUE(same_points(chain_points(*chain), original));
    touched.clear();
    op->redo(touched);
    EXPECT_EQ(d->object_list().count(), 2);
    EXPECT_EQ(chain->count(), 3);

    // The first and the last point refuse; a vertex has nothing to split.
    auto* other = reinterpret_cast<MB_Lines*>(api_mb_create_lines(xs, ys, 4));
    EXPECT_FALSE(api_mb_break_geom(other, {0, 0, 0}, 0.1, *d));
    EXPECT_FALSE(api_mb_break_geom(other, {0, 10, 0}, 0.1, *d));
    EXPECT_TRUE(api_mb_break_geom(other, {10, 10.01, 0}, 0.1, *d));
    EXPECT_EQ(other->count(), 4);
    EXPECT_EQ(d->object_list().count(), 3);
}

// The piece made goes to the open block; the kinds that are never split.
TEST_F(Flat_Edit, BreakKinds)
{
    MB_Line* l = line({0, 0, 0}, {10, 0, 0});
    const double origin[3] = {0, 0, 0};
    MB_Block* b = nullptr;
    ASSERT_TRUE(api_mb_create_block(b, "OPEN", origin));
    ASSERT_TRUE(api_mb_break_geom(l, {5, 0, 0}, 0.1, *d));
    EXPECT_EQ(b->object_list().count(), 1);
    ASSERT_TRUE(api_mb_end_block(b));
    EXPECT_EQ(d->object_list().count(), 1);

    MB_Circle* c = circle(0, 0, 5);
    EXPECT_TRUE(api_mb_break_geom(c, {5, 0, 0}, 0.1, *d));
    MB_Point* p = nullptr;
    const double at[3] = {20, 20, 0};
    ASSERT_TRUE(api_mb_create_point(p, at));
    EXPECT_FALSE(api_mb_break_geom(p, {20, 20, 0}, 0.1, *d));
    EXPECT_FALSE(api_mb_break_geom(nullptr, {0, 0, 0}, 0.1, *d));
    EXPECT_EQ(d->object_list().count(), 3);
}

namespace {

MB_Block* add_block(MB_Drawing& d, const char* name)
{
    auto* b = new MB_Block(Qe_Pt(), MB_String(name), MB_String(""));
    d.block_list().add_tail(b);
    return b;
}

MB_Insert* insert_of(MB_Block* b, MB_Layer* layer = nullptr)
{
    auto* i = new MB_Insert(Qe_Pt(1, 2, 0), 0, 1, 1, 1);
    i->block(b);
    i->general().layer(layer);
    return i;
}

MB_Line* plain_line(MB_Layer* layer, MB_Line_Type* type = nullptr)
{
    auto* l = new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0));
    l->general().layer(layer);
    l->general().line_type(type);
    return l;
}

std::vector<std::string> block_names(MB_Drawing& d)
{
    std::vector<std::string> out;
    for (MB_Object* o = d.block_list().get_head(); o; o = o->next())
        out.push_back(static_cast<MB_Block*>(o)->name().ascii());
    return out;
}

}  // namespace

// Blocks used only inside other blocks, by a dimension, inside a group or in the hidden list
// stay; only the block nothing uses goes.
TEST_F(Flat_Edit, SimplifyCountsEveryReference)
{
    MB_Block* outer = add_block(*d, "OUTER");
    MB_Block* inner = add_block(*d, "INNER");
    MB_Block* dim_only = add_block(*d, "DIM");
    MB_Block* in_group = add_block(*d, "GROUPED");
    MB_Block* hidden = add_block(*d, "HIDDEN");
    add_block(*d, "UNUSED");
    inner->object_list().add_tail(plain_line(nullptr));
    outer->object_list().add_tail(insert_of(inner));
    d->object_list().add_tail(insert_of(outer));
    auto* dim = new MB_Dimension;
    dim->block_name("DIM", *d);
    ASSERT_NE(dim->insert(), nullptr);
    ASSERT_EQ(dim->insert()->block(), dim_only);
    d->object_list().add_tail(dim);
    auto* group = new MB_Group;
    group->object_list().add(insert_of(in_group));
    d->object_list().add_tail(group);
    MB_Insert* hidden_ref = insert_of(hidden);
    d->hide_list().add_tail(hidden_ref);

    EXPECT_TRUE(api_mb_simplify_drawing(*d));
    EXPECT_EQ(block_names(*d), (std::vector<std::string>{"OUTER", "INNER", "DIM", "GROUPED", "HIDDEN"}));
    EXPECT_FALSE(api_mb_simplify_drawing(*d));  // every block is used now
    EXPECT_EQ(block_names(*d).size(), 5u);
    // The hidden list does not own what it holds.
    d->hide_list().remove(hidden_ref);
    delete hidden_ref;
}

namespace {

bool in_list(MB_Object_List& list, const void* obj)
{
    for (MB_Object* o = list.get_head(); o; o = o->next())
        if (o == obj) return true;
    return false;
}

// Every drawable a drawing holds, members of blocks and groups and dimensions' references
// included, each with a note of where it was found.
void each_drawable(MB_Drawing& d, const std::function<void(MB_Drawable&, const std::string&)>& f)
{
    std::function<void(MB_Drawable&, const std::string&)> one = [&](MB_Drawable& e, const std::string& where) {
        f(e, where);
        if (e.object_id() == MB_Object::ID_GROUP)
            for (Qe_Void_Node* n = static_cast<MB_Group&>(e).object_list().head(); n; n = n->next())
                one(*static_cast<MB_Drawable*>(n->entity()), where + " group member");
        if (e.object_id() == MB_Object::ID_DIMENSION && static_cast<MB_Dimension&>(e).insert())
            one(*static_cast<MB_Dimension&>(e).insert(), where + " dimension reference");
    };
    for (MB_Object* o = d.object_list().get_head(); o; o = o->next()) one(static_cast<MB_Drawable&>(*o), "model space");
    for (MB_Object* b = d.block_list().get_head(); b; b = b->next())
        for (MB_Object* o = static_cast<MB_Block*>(b)->object_list().get_head(); o; o = o->next())
            one(static_cast<MB_Drawable&>(*o), std::string("block ") + static_cast<MB_Block*>(b)->name().ascii());
}

// What in d refers to a layer, line type or block that is not d's own.
std::vector<std::string> foreign_references(MB_Drawing& d)
{
    std::vector<std::string> out;
    each_drawable(d, [&](MB_Drawable& e, const std::string& where) {
        if (e.general().layer() && !in_list(d.layer_list(), e.general().layer())) out.push_back(where + ": layer");
        if (e.general().line_type() && !in_list(d.line_type_list(), e.general().line_type()))
            out.push_back(where + ": line type");
        if ((e.object_id() == MB_Object::ID_INSERT) && static_cast<MB_Insert&>(e).block() &&
            !in_list(d.block_list(), static_cast<MB_Insert&>(e).block()))
            out.push_back(where + ": block");
    });
    for (MB_Object* o = d.layer_list().get_head(); o; o = o->next())
        if (MB_Line_Type* t = static_cast<MB_Layer*>(o)->line_type(); t && !in_list(d.line_type_list(), t))
            out.push_back(std::string("layer ") + static_cast<MB_Layer*>(o)->name().ascii() + ": line type");
    return out;
}

MB_Layer* add_layer(MB_Drawing& d, const char* name)
{
    auto* l = new MB_Layer(MB_String(name));
    d.layer_list().add_tail(l);
    return l;
}

MB_Line_Type* add_line_type(MB_Drawing& d, const char* name)
{
    auto* t = new MB_Line_Type;
    t->name(name);
    d.line_type_list().add_tail(t);
    return t;
}

// Two drawings: source holds layer "L" with a line, inserts of blocks only it uses (with a
// nested block), of a block source still uses elsewhere and of a block target has too, a
// group with a member on a layer source still uses, and a dimension whose reference uses a
// block; target holds its own block "SHARED".
struct Two_Drawings {
    std::unique_ptr<MB_Drawing> target = std::make_unique<MB_Drawing>();
    std::unique_ptr<MB_Drawing> source = std::make_unique<MB_Drawing>();
    MB_Layer *l = nullptr, *k = nullptr;
    MB_Line_Type* dash = nullptr;
    MB_Block *moved = nullptr, *nested = nullptr, *kept = nullptr, *shared = nullptr, *target_shared = nullptr,
             *dim_block = nullptr;
    MB_Drawable *line = nullptr, *ins_moved = nullptr, *ins_kept = nullptr, *ins_shared = nullptr, *group = nullptr,
                *dim = nullptr, *stay_k = nullptr, *stay_kept = nullptr, *stay_shared = nullptr;

    explicit Two_Drawings(bool target_has_l)
    {
        MB_Drawing& s = *source;
        l = add_layer(s, "L");
        k = add_layer(s, "K");
        dash = add_line_type(s, "DASH");
        l->line_type(dash);
        moved = add_block(s, "MOVED");
        nested = add_block(s, "NESTED");
        kept = add_block(s, "KEPT");
        shared = add_block(s, "SHARED");
        dim_block = add_block(s, "DIMBLOCK");
        nested->object_list().add_tail(plain_line(k, dash));
        moved->object_list().add_tail(insert_of(nested, k));
        kept->object_list().add_tail(plain_line(k));
        shared->object_list().add_tail(plain_line(k));
        dim_block->object_list().add_tail(plain_line(k));

        line = plain_line(l, dash);
        ins_moved = insert_of(moved, l);
        ins_kept = insert_of(kept, l);
        ins_shared = insert_of(shared, l);
        auto* g = new MB_Group;
        g->general().layer(l);
        g->object_list().add(plain_line(k, dash));
        group = g;
        auto* dm = new MB_Dimension;
        dm->general().layer(l);
        dm->block_name("DIMBLOCK", s);
        dm->insert()->general().layer(k);
        dim = dm;
        stay_k = plain_line(k);
        stay_kept = insert_of(kept, k);
        stay_shared = insert_of(shared, k);
        for (MB_Drawable* e : {line, stay_k, ins_moved, ins_kept, stay_kept, ins_shared, group, dim, stay_shared})
            s.object_list().add_tail(e);

        target_shared = add_block(*target, "SHARED");
        target_shared->object_list().add_tail(plain_line(nullptr));
        if (target_has_l) add_layer(*target, "L");
    }
};

}  // namespace

// After the move neither drawing refers to a layer, line type or block of the other; each
// block goes where the rules say, and either drawing can go first.
TEST(Flat_Edit_Layer_Move, NoReferenceCrossesBetweenTheDrawings)
{
    for (const bool target_has_l : {false, true}) {
        for (const bool source_first : {false, true}) {
            SCOPED_TRACE(std::string(target_has_l ? "target has L" : "target lacks L") +
                         (source_first ? ", source destroyed first" : ", target destroyed first"));
            Two_Drawings w(target_has_l);
            MB_Drawing& t = *w.target;
            MB_Drawing& s = *w.source;
            char name[] = "l";  // names match in any case
            ASSERT_TRUE(api_mb_insert_layer(t, s, name));

            EXPECT_EQ(foreign_references(t), std::vector<std::string>{});
            EXPECT_EQ(foreign_references(s), std::vector<std::string>{});

            // Model space: the six entities of L moved in order; three stay.
            const std::vector<MB_Drawable*> moved{w.line, w.ins_moved, w.ins_kept, w.ins_shared, w.group, w.dim};
            std::vector<MB_Drawable*> in_target, in_source;
            for (MB_Object* o = t.object_list().get_head(); o; o = o->next()) in_target.push_back(static_cast<MB_Drawable*>(o));
            for (MB_Object* o = s.object_list().get_head(); o; o = o->next()) in_source.push_back(static_cast<MB_Drawable*>(o));
            EXPECT_EQ(in_target, moved);
            EXPECT_EQ(in_source, (std::vector<MB_Drawable*>{w.stay_k, w.stay_kept, w.stay_shared}));

            // Layer L: target's own when it had one, else moved (source no longer uses it).
            MB_Layer* tl = t.find_layer("L");
            ASSERT_NE(tl, nullptr);
            EXPECT_EQ(tl == w.l, !target_has_l);
            EXPECT_EQ(s.find_layer("L") != nullptr, target_has_l);
            for (MB_Drawable* e : moved) EXPECT_EQ(e->general().layer(), tl);
            // The moved entities lose their line types; a moved layer keeps its own, copied.
            EXPECT_EQ(w.line->general().line_type(), nullptr);
            if (!target_has_l) {
                ASSERT_NE(tl->line_type(), nullptr);
                EXPECT_NE(tl->line_type(), w.dash);
                EXPECT_STREQ(tl->line_type()->name(), "DASH");
            }
            // Layer K is still used by source: copied.
            MB_Layer* tk = t.find_layer("K");
            ASSERT_NE(tk, nullptr);
            EXPECT_NE(tk, w.k);
            EXPECT_EQ(s.find_layer("K"), w.k);

            // Blocks: MOVED and NESTED moved; KEPT copied; SHARED taken from target; the
            // dimension's block moved with it.
            auto* im = static_cast<MB_Insert*>(w.ins_moved);
            EXPECT_EQ(im->block(), w.moved);
            EXPECT_TRUE(in_list(t.block_list(), w.moved));
            EXPECT_FALSE(in_list(s.block_list(), w.moved));
            auto* nested_ref = static_cast<MB_Insert*>(w.moved->object_list().get_head());
            EXPECT_EQ(nested_ref->block(), w.nested);
            EXPECT_TRUE(in_list(t.block_list(), w.nested));
            EXPECT_EQ(nested_ref->general().layer(), tk);
            auto* ik = static_cast<MB_Insert*>(w.ins_kept);
            EXPECT_NE(ik->block(), w.kept);
            EXPECT_EQ(std::string(ik->block()->name().ascii()), "KEPT");
            EXPECT_EQ(static_cast<MB_Insert*>(w.stay_kept)->block(), w.kept);
            EXPECT_TRUE(in_list(s.block_list(), w.kept));
            EXPECT_EQ(static_cast<MB_Insert*>(w.ins_shared)->block(), w.target_shared);
            EXPECT_EQ(static_cast<MB_Insert*>(w.stay_shared)->block(), w.shared);
            EXPECT_EQ(static_cast<MB_Dimension*>(w.dim)->insert()->block(), w.dim_block);
            EXPECT_TRUE(in_list(t.block_list(), w.dim_block));
            EXPECT_EQ(static_cast<MB_Dimension*>(w.dim)->insert()->general().layer(), tk);

            if (source_first) {
                w.source.reset();
                w.target.reset();
            } else {
                w.target.reset();
                w.source.reset();
            }
        }
    }
}

// Nothing to move: no such layer, or nothing on it; a drawing into itself.
TEST(Flat_Edit_Layer_Move, Refusals)
{
    MB_Drawing target, source;
    add_layer(source, "EMPTY");
    MB_Block* b = add_block(source, "UNUSED");
    char empty[] = "EMPTY", missing[] = "NONE";
    EXPECT_FALSE(api_mb_insert_layer(target, source, missing));
    EXPECT_FALSE(api_mb_insert_layer(target, source, empty));
    EXPECT_FALSE(api_mb_insert_layer(target, source, nullptr));
    EXPECT_TRUE(in_list(source.block_list(), b));  // nothing done, nothing simplified
    MB_Layer* l = add_layer(source, "L");
    source.object_list().add_tail(plain_line(l));
    char name[] = "L";
    EXPECT_FALSE(api_mb_insert_layer(source, source, name));
    EXPECT_EQ(source.object_list().count(), 1);
}
