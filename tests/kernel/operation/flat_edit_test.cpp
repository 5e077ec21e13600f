// The flat query and edit functions: rectangles, grips, selector lists and kind names.

#include <gtest/gtest.h>

#include <iconv.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "geometry/rect.h"
#include "geometry/void_list.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/line.h"
#include "kernel/operation/flat_create.h"
#include "kernel/operation/flat_edit.h"
#include "kernel/operation/operation.h"

namespace {

bool same(const Qe_Pt& a, const Qe_Pt& b, double tol = 1e-9)
{
    return std::fabs(a.x() - b.x()) <= tol && std::fabs(a.y() - b.y()) <= tol && std::fabs(a.z() - b.z()) <= tol;
}

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

class Flat_Edit : public ::testing::Test {
protected:
    void SetUp() override
    {
        op = std::make_unique<MB_Operation>();
        ASSERT_TRUE(op->create_drawing("edit"));
        d = op->drawing();
    }
    void TearDown() override { op.reset(); }

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

    std::unique_ptr<MB_Operation> op;
    MB_Drawing* d = nullptr;
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
    ASSERT_TRUE(same(ct, {4, 6, 0}, 2e-3) && same(cb, {6, 4, 0}, 2e-3));
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
        EXPECT_TRUE(same(r.lt(), k.lt) && same(r.rb(), k.rb)) << k.what;
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
    EXPECT_TRUE(same(r.lt(), {0, c->rect().lt().y(), 0}) && same(r.rb(), {c->rect().rb().x(), 0, 0}));

    Qe_Void_List list;
    list.add(lay);  // a layer among the items is passed over, not read as a drawable
    list.add(l);
    Qe_Rect v(Qe_Pt(7, 8, 0), Qe_Pt(9, 1, 0));
    ASSERT_TRUE(api_mb_get_entity_list_rect(list, v));
    EXPECT_TRUE(same(v.lt(), {0, 1, 0}) && same(v.rb(), {2, 0, 0}));

    Qe_Void_List only_layer;
    only_layer.add(lay);
    EXPECT_FALSE(api_mb_get_entity_list_rect(only_layer, v));
    EXPECT_FALSE(api_mb_get_entity_list_rect(d->block_list(), v));
    EXPECT_TRUE(same(v.lt(), {0, 1, 0}) && same(v.rb(), {2, 0, 0}));
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
