// The flat creation and make functions: where each object lands and what it holds, closed
// forms for the derived geometry, nested blocks, refusals, and undo of what they made.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/metafile_bytes.h"
#include "common/png_writer.h"
#include "common/scratch_dir.h"
#include "kernel/operation/flat_fixture.h"
#include "geometry/loop.h"
#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"
#include "kernel/database/block.h"
#include "kernel/database/color.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/database/named_view.h"
#include "kernel/database/system_setting.h"
#include "kernel/entities/bspline.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/ellipse.h"
#include "kernel/entities/image.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/point_entity.h"
#include "kernel/entities/polyline.h"
#include "kernel/entities/solid.h"
#include "kernel/operation/flat_create.h"
#include "kernel/operation/operation.h"
#include "kernel/operation/undo_redo.h"
#include "kernel/text/system_resource.h"
#include "kernel/text/text.h"
#include "kernel/text/text_style.h"
#include "platform/ximage.h"

using flat_test::members;
using flat_test::near;
using Flat = flat_test::Flat_Drawing;

// Every creation function: the kind made, the list it joins, what it holds, and whether its
// display exists.
TEST_F(Flat, CreationTable)
{
    struct Case {
        const char* what;
        std::function<MB_Object*()> make;
        MB_Object::MB_ID id;
        bool built;
        std::function<void(MB_Object*)> check;
    };
    const double xyz[3] = {1, 2, 3};
    const double a[3] = {0, 0, 0}, b[3] = {4, 0, 0}, c[3] = {4, 3, 0}, e[3] = {0, 3, 0};
    double xs[3] = {0, 5, 5}, ys[3] = {0, 0, 5};
    Qe_Pt pl[3] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}};
    double w1[3] = {1, 2, 3}, w2[3] = {4, 5, 6}, bu[3] = {0.5, 0, 0};
    Qe_Pt centre(1, 1, 0), f1(0, 0, 0), f2(1, 0, 0), f3(1, 1, 0), f4(0, 1, 0);
    const Case cases[] = {
        {"point by xyz", [&] { MB_Point* p = nullptr; EXPECT_TRUE(api_mb_create_point(p, xyz)); return p; },
         MB_Object::ID_POINT, false, [](MB_Object* o) { EXPECT_TRUE(near(static_cast<MB_Point*>(o)->get_point(-1), {1, 2, 3})); }},
        {"point with type and size", [&] { return reinterpret_cast<MB_Object*>(api_mb_create_point(Qe_Pt(5, 6, 0), 3, 4.5)); },
         MB_Object::ID_POINT, false, [](MB_Object* o) {
             auto* p = static_cast<MB_Point*>(o);
             EXPECT_EQ(p->point_type(), 3);
             EXPECT_EQ(p->size(), 4.5);
         }},
        {"line", [&] { MB_Line* l = nullptr; EXPECT_TRUE(api_mb_create_line(l, Qe_Pt(1, 1, 0), Qe_Pt(2, 3, 0))); return l; },
         MB_Object::ID_LINE, true, [](MB_Object* o) { EXPECT_TRUE(near(static_cast<MB_Line*>(o)->end(), {2, 3, 0})); }},
        {"line by arrays, not built", [&] { MB_Line* l = nullptr; EXPECT_TRUE(api_mb_create_line(l, a, b)); return l; },
         MB_Object::ID_LINE, false, [](MB_Object* o) { EXPECT_TRUE(near(static_cast<MB_Line*>(o)->end(), {4, 0, 0})); }},
        {"chain to fill", [&] { MB_Lines* l = nullptr; EXPECT_TRUE(api_mb_create_lines(l, 3)); return l; },
         MB_Object::ID_LINES, false, [](MB_Object* o) { EXPECT_EQ(static_cast<MB_Lines*>(o)->pt_set().count(), 3); }},
        {"chain by arrays", [&] { return reinterpret_cast<MB_Object*>(api_mb_create_lines(xs, ys, 3)); },
         MB_Object::ID_LINES, true, [](MB_Object* o) { EXPECT_TRUE(near(static_cast<MB_Lines*>(o)->pt_set()[2], {5, 5, 0})); }},
        {"rectangle", [&] { return reinterpret_cast<MB_Object*>(api_mb_create_rect(0, 0, 2, 1)); },
         MB_Object::ID_LINES, true, [](MB_Object* o) {
             const Qe_Pt want[5] = {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}, {0, 0, 0}};
             const Qe_Pt_Set& s = static_cast<MB_Lines*>(o)->pt_set();
             ASSERT_EQ(s.count(), 5);
             for (int i = 0; i < 5; ++i) EXPECT_TRUE(near(s[i], want[i])) << i;
         }},
        {"arc", [&] { return reinterpret_cast<MB_Object*>(api_mb_create_arc(xyz, 2, 0.5, 1.5)); },
         MB_Object::ID_ARC, true, [](MB_Object* o) {
             auto* arc = static_cast<MB_Arc*>(o);
             EXPECT_EQ(arc->radius(), 2.0);
             EXPECT_DOUBLE_EQ(arc->get_real(-120), 0.5);
         }},
        {"circle", [&] { return reinterpret_cast<MB_Object*>(api_mb_create_circle(3, 4, 5)); },
         MB_Object::ID_CIRCLE, true, [](MB_Object* o) { EXPECT_TRUE(near(static_cast<MB_Circle*>(o)->center(), {3, 4, 0})); }},
        {"ellipse", [&] { return reinterpret_cast<MB_Object*>(api_mb_create_ellipse(centre, 4, 2, 0.3)); },
         MB_Object::ID_ELLIPSE, true, [](MB_Object* o) { EXPECT_EQ(static_cast<MB_Ellipse*>(o)->minor(), 2.0); }},
        {"elliptic arc", [&] { return reinterpret_cast<MB_Object*>(api_mb_create_ellipse_arc(centre, 4, 2, 0.3, 0.1, 2.0)); },
         MB_Object::ID_ELLIPSE_ARC, true, [](MB_Object* o) { EXPECT_EQ(static_cast<MB_Ellipse_Arc*>(o)->major(), 4.0); }},
        {"polyline to fill", [&] { MB_Polyline* p = nullptr; EXPECT_TRUE(api_mb_create_polyline(p, 4, true)); return p; },
         MB_Object::ID_POLYLINE, false, [](MB_Object* o) {
             auto* p = static_cast<MB_Polyline*>(o);
             EXPECT_EQ(p->count(), 4);
             EXPECT_TRUE(p->closed());
         }},
        {"polyline by arrays, flag 2 is open", [&] { return reinterpret_cast<MB_Object*>(api_mb_create_polyline(3, pl, w1, w2, bu, 2)); },
         MB_Object::ID_POLYLINE, true, [](MB_Object* o) {
             auto* p = static_cast<MB_Polyline*>(o);
             EXPECT_FALSE(p->closed());
             EXPECT_EQ(p->pline_pos()[1].start_width, 2.0);
             EXPECT_EQ(p->pline_pos()[2].end_width, 6.0);
             EXPECT_EQ(p->pline_pos()[0].bulge, 0.5);
         }},
        {"polyline without widths or bulges, closed", [&] { return reinterpret_cast<MB_Object*>(api_mb_create_polyline(3, pl, nullptr, nullptr, nullptr, 1)); },
         MB_Object::ID_POLYLINE, true, [](MB_Object* o) {
             auto* p = static_cast<MB_Polyline*>(o);
             EXPECT_TRUE(p->closed());
             EXPECT_EQ(p->pline_pos()[1].bulge, 0.0);
         }},
        {"solid by corners, at least four points", [&] { MB_Solid* s = nullptr; EXPECT_TRUE(api_mb_create_solid(s, a, b, c, e, 2)); return s; },
         MB_Object::ID_SOLID, false, [](MB_Object* o) {
             auto* s = static_cast<MB_Solid*>(o);
             ASSERT_EQ(s->vertices().count(), 4);
             EXPECT_TRUE(near(s->vertices()[3], {0, 3, 0}));
         }},
        {"solid by arrays", [&] { return reinterpret_cast<MB_Object*>(api_mb_create_solid(xs, ys, 3)); },
         MB_Object::ID_SOLID, true, [](MB_Object* o) { EXPECT_EQ(static_cast<MB_Solid*>(o)->vertices().count(), 3); }},
        {"face", [&] { return reinterpret_cast<MB_Object*>(api_mb_create_face(5, f1, f2, f3, f4)); },
         // A face draws its corners itself: building gives it its rectangle only.
         MB_Object::ID_FACE, false, [](MB_Object* o) {
             auto* f = static_cast<MB_Face*>(o);
             EXPECT_DOUBLE_EQ(std::fabs(f->rect().rb().x() - f->rect().lt().x()), 1.0);
             EXPECT_EQ(f->face_flag(), 5);
             EXPECT_TRUE(near(f->vertices()[2], {1, 1, 0}));
         }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        const std::size_t before = members(d->object_list()).size();
        MB_Object* o = k.make();
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->object_id(), k.id);
        const std::vector<MB_Object*> now = members(d->object_list());
        ASSERT_EQ(now.size(), before + 1);
        EXPECT_EQ(now.back(), o);
        // Built: a display node, or the tessellated edge that a curve-like entity draws.
        auto* geom = dynamic_cast<MB_Geom*>(o);
        EXPECT_EQ(static_cast<MB_Drawable*>(o)->draw_node() != nullptr || (geom && geom->edge().count() > 0), k.built);
        k.check(o);
    }
}

TEST_F(Flat, TablesAndProperties)
{
    MB_Layer* layer = nullptr;
    ASSERT_TRUE(api_mb_create_layer(layer, "walls", 0x0000FF, 0, true, true, false));
    EXPECT_EQ(members(d->layer_list()).back(), layer);
    EXPECT_STREQ(layer->name().ascii(), "walls");
    EXPECT_EQ(layer->color(), 0x0000FFu);
    EXPECT_TRUE(layer->lock());
    EXPECT_FALSE(layer->freeze());

    MB_Line_Type* lt = nullptr;
    double lengths[2] = {5, -2};
    const std::string long_name(300, 'n');
    const mb_handle h = api_mb_create_line_type(lt, const_cast<char*>(long_name.c_str()), const_cast<char*>("dash"), 7,
                                                2, lengths, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(lt, nullptr);
    EXPECT_EQ(h, reinterpret_cast<mb_handle>(static_cast<MB_Object*>(lt)));
    EXPECT_EQ(std::string(lt->name()).size(), 255u);
    EXPECT_STREQ(lt->desc(), "dash");
    EXPECT_EQ(lt->pattern_length(), 7.0);
    ASSERT_EQ(lt->linetype_loop().count(), 2);
    EXPECT_EQ(lt->linetype_loop().head()->next()->val(), -2.0);
    EXPECT_EQ(members(d->line_type_list()).back(), lt);
    // Given again: it stays where it stands, and the list is whole.
    auto* other = new MB_Line_Type;
    d->line_type_list().add_tail(other);
    (void)api_mb_create_line_type(lt, const_cast<char*>("x"), nullptr, 1, 0, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr);
    EXPECT_EQ(members(d->line_type_list()), (std::vector<MB_Object*>{lt, other}));

    MB_Named_View* view = nullptr;
    ASSERT_NE(api_mb_create_viewport(view, const_cast<char*>("front")), 0);
    EXPECT_STREQ(view->name().ascii(), "front");
    EXPECT_TRUE(near(view->rb(), {0, 0, 0}));
    EXPECT_EQ(members(d->named_view_list()).back(), view);

    // Properties: colour and the layer of that id; a chain's point by index.
    MB_Line* line = nullptr;
    ASSERT_TRUE(api_mb_create_line(line, Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0)));
    MB_Drawable* as_drawable = line;
    EXPECT_TRUE(api_set_drawable_prop(as_drawable, 0x00FF00, 0, static_cast<long>(layer->id())));
    EXPECT_EQ(line->general().color(), 0x00FF00);
    EXPECT_EQ(line->general().layer(), layer);
    MB_Drawable* none = nullptr;
    EXPECT_FALSE(api_set_drawable_prop(none, 1, 0, 0));
    MB_Lines* chain = nullptr;
    ASSERT_TRUE(api_mb_create_lines(chain, 2));
    MB_Drawable* as_chain = chain;
    EXPECT_TRUE(api_mb_set_ptset_pos(as_chain, 1, 7, 8, 9));
    EXPECT_TRUE(near(chain->pt_set()[1], {7, 8, 9}));
    EXPECT_FALSE(api_mb_set_ptset_pos(as_chain, 2, 0, 0, 0));
    EXPECT_FALSE(api_mb_set_ptset_pos(as_chain, -1, 0, 0, 0));
    EXPECT_TRUE(api_mb_set_ptset_pos(as_drawable, 0, 5, 5, 5));  // not a chain: left alone
    EXPECT_TRUE(near(line->start(), {0, 0, 0}));

    MB_Polyline* pl = nullptr;
    ASSERT_TRUE(api_mb_create_polyline(pl, 2, false));
    EXPECT_TRUE(api_mb_set_pline_pos(pl, 1, 3, 4, 0));
    EXPECT_TRUE(near(pl->pline_pos()[1].point, {3, 4, 0}));
    EXPECT_FALSE(api_mb_set_pline_pos(pl, 2, 0, 0, 0));
    EXPECT_FALSE(api_mb_set_pline_pos(pl, -1, 0, 0, 0));
}

TEST_F(Flat, PaletteAndLayerColours)
{
    const std::pair<int, COLORREF> entries[] = {
        {0, 0x000000}, {1, 0x0000FF}, {2, 0x00FFFF}, {3, 0x00FF00}, {4, 0xFFFF00}, {5, 0xFF0000},
        {6, 0xFF00FF}, {7, 0x000000}, {8, 0x989898}, {9, 0xC0C0C0}, {10, 0x0000FF}, {11, 0x8080FF},
        {12, 0x0000A6}, {13, 0x5353A6}, {14, 0x000080}, {15, 0x404080}, {16, 0x00004C}, {17, 0x26264C},
        {18, 0x000026}, {19, 0x131326}, {20, 0x0040FF}, {21, 0x809FFF}, {22, 0x0029A6}, {23, 0x5368A6},
        {250, 0x545454}, {255, 0xBBBBBB},
    };
    for (const auto& [i, want] : entries) EXPECT_EQ(mb_palette_colorref(i), want) << i;
    // Hues by group: yellow at 50, green at 90, cyan at 130, blue at 170, magenta at 210.
    for (const auto& [i, want] : std::vector<std::pair<int, COLORREF>>{
             {50, 0x00FFFF}, {90, 0x00FF00}, {130, 0xFFFF00}, {170, 0xFF0000}, {210, 0xFF00FF}})
        EXPECT_EQ(mb_palette_colorref(i), want) << i;

    EXPECT_EQ(api_mb_get_color_byindex(1, 0), 0x0000FFu);
    MB_Layer* first = nullptr;
    MB_Layer* second = nullptr;
    ASSERT_TRUE(api_mb_create_layer(first, "a", 0x123456, 0, true, false, false));
    ASSERT_TRUE(api_mb_create_layer(second, "b", 0x654321, 0, true, false, false));
    const int base = static_cast<int>(members(d->layer_list()).size()) - 2;
    EXPECT_EQ(api_mb_get_color_byindex(256, static_cast<short>(base)), 0x123456u);
    EXPECT_EQ(api_mb_get_color_byindex(-1, static_cast<short>(base + 1)), 0x654321u);
    // Outside the palette, or a layer that is not there: the colour of new entities.
    const auto fallback =
        static_cast<COLORREF>(api_active_system_setting().get_long_val(MB_System_Setting::k_long_color));
    for (const auto& [index, n] : std::vector<std::pair<short, short>>{{256, 999}, {-1, -3}, {300, 0}, {-7, 0}})
        EXPECT_EQ(api_mb_get_color_byindex(index, n), fallback) << index << " " << n;
}

TEST_F(Flat, EllipseFromThreePoints)
{
    // p2 on the minor axis gives b = |p2 - c|; p2 at or beyond the major axis's end, none.
    std::unique_ptr<MB_Ellipse> e(api_mb_create_ellipse3pt(Qe_Pt(1, 1, 0), Qe_Pt(5, 1, 0), Qe_Pt(1, 3, 0)));
    ASSERT_NE(e, nullptr);
    EXPECT_DOUBLE_EQ(e->major(), 4.0);
    EXPECT_DOUBLE_EQ(e->minor(), 2.0);
    EXPECT_EQ(e->draw_node(), nullptr);
    EXPECT_EQ(api_mb_create_ellipse3pt(Qe_Pt(0, 0, 0), Qe_Pt(4, 0, 0), Qe_Pt(4, 1, 0)), nullptr);
    EXPECT_EQ(api_mb_create_ellipse3pt(Qe_Pt(0, 0, 0), Qe_Pt(0, 5e-7, 0), Qe_Pt(1, 1, 0)), nullptr);
    // Random triples: the third point lies on the ellipse made.
    std::mt19937 rng(25);
    std::uniform_real_distribution<double> u(-10, 10);
    int made = 0;
    for (int i = 0; i < 500; ++i) {
        const Qe_Pt c(u(rng), u(rng), 0), p1(u(rng), u(rng), 0), p2(u(rng), u(rng), 0);
        std::unique_ptr<MB_Ellipse> el(api_mb_create_ellipse3pt(c, p1, p2));
        if (!el) continue;
        ++made;
        const double ang = std::atan2(p1.y() - c.y(), p1.x() - c.x());
        const double dx = p2.x() - c.x(), dy = p2.y() - c.y();
        const double x = dx * std::cos(ang) + dy * std::sin(ang), y = -dx * std::sin(ang) + dy * std::cos(ang);
        EXPECT_NEAR(x * x / (el->major() * el->major()) + y * y / (el->minor() * el->minor()), 1.0, 1e-9);
    }
    EXPECT_GT(made, 50);
}

TEST_F(Flat, BulgeArcsIntoLoops)
{
    for (const double bulge : {0.5, 1.0, -0.3, -2.0}) {
        SCOPED_TRACE(bulge);
        MB_Pline_Pos a, b;
        a.point = Qe_Pt(1, 1, 0);
        b.point = Qe_Pt(5, 3, 0);
        a.bulge = bulge;
        Qe_Loop loop;
        convert_arc_2_lines(a, b, &loop);
        std::vector<Qe_Pt> pts;
        for (Qe_Loop_Node* n = loop.head(); n; n = n->next()) {
            pts.push_back(n->point());
            if (n->next() == loop.head()) break;
        }
        ASSERT_EQ(pts.size(), 49u);
        // The centre from the bulge, computed here: along the chord's normal from its middle.
        const double dx = 4, dy = 2, chord = std::hypot(dx, dy);
        const double r = chord * (1 + bulge * bulge) / (4 * std::fabs(bulge));
        const double sagitta = chord / 2 * bulge;
        const Qe_Pt mid(3, 2, 0);
        const double nx = dy / chord, ny = -dx / chord;  // right of the chord
        const Qe_Pt q(mid.x() + nx * sagitta, mid.y() + ny * sagitta, 0);
        Qe_Pt centre;
        double radius = 0;
        ASSERT_TRUE(api_mb_get_3ptcircle(a.point, q, b.point, centre, radius));
        EXPECT_NEAR(radius, r, 1e-9);
        EXPECT_TRUE(near(pts.front(), a.point, 1e-9));
        double last = std::atan2(pts[0].y() - centre.y(), pts[0].x() - centre.x());
        double swept = 0;
        for (const Qe_Pt& p : pts) {
            EXPECT_NEAR(std::hypot(p.x() - centre.x(), p.y() - centre.y()), r, 1e-9);
            double ang = std::atan2(p.y() - centre.y(), p.x() - centre.x());
            double step = std::remainder(ang - last, 2 * M_PI);
            EXPECT_GE(step * (bulge > 0 ? 1 : -1), -1e-12);
            swept += step;
            last = ang;
        }
        EXPECT_FALSE(near(pts.back(), b.point, 1e-6));
        EXPECT_GT(std::fabs(swept), 0.0);
    }
    // A bulge or a chord too small for a circle: a's point only; no loop: nothing.
    MB_Pline_Pos a, b;
    a.point = Qe_Pt(1, 1, 0);
    b.point = Qe_Pt(2, 1, 0);
    a.bulge = 1e-9;
    Qe_Loop loop;
    convert_arc_2_lines(a, b, &loop);
    EXPECT_EQ(loop.count(), 1);
    convert_arc_2_lines(a, b, nullptr);
}

TEST_F(Flat, NestedBlocks)
{
    const double origin[3] = {0, 0, 0};
    MB_Block* outer = nullptr;
    MB_Block* inner = nullptr;
    MB_Line* l = nullptr;
    const std::size_t blocks_before = members(d->block_list()).size();
    ASSERT_TRUE(api_mb_create_block(outer, "A", origin));
    ASSERT_TRUE(api_mb_create_line(l, Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0)));
    ASSERT_TRUE(api_mb_create_block(inner, "B", origin));
    const mb_handle circle = api_mb_create_circle(0, 0, 1);
    // Only the innermost block closes.
    EXPECT_FALSE(api_mb_end_block(outer));
    ASSERT_TRUE(api_mb_end_block(inner));
    const mb_handle arc = api_mb_create_arc(origin, 1, 0, 1);
    ASSERT_TRUE(api_mb_end_block(outer));

    const std::vector<MB_Object*> blocks = members(d->block_list());
    ASSERT_EQ(blocks.size(), blocks_before + 2);
    EXPECT_EQ(blocks[blocks_before], inner);
    EXPECT_EQ(blocks[blocks_before + 1], outer);
    EXPECT_EQ(members(inner->object_list()), (std::vector<MB_Object*>{reinterpret_cast<MB_Object*>(circle)}));
    EXPECT_EQ(members(outer->object_list()), (std::vector<MB_Object*>{l, reinterpret_cast<MB_Object*>(arc)}));
    EXPECT_TRUE(members(d->object_list()).empty());
    EXPECT_EQ(d->temp_block(), nullptr);
    EXPECT_STREQ(outer->desc().ascii(), " ");
    // With no block open a block is appended; one already there stays.
    EXPECT_TRUE(api_mb_end_block(outer));
    EXPECT_EQ(members(d->block_list()).size(), blocks_before + 2);
    // New lines go to model space again.
    ASSERT_TRUE(api_mb_create_line(l, Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0)));
    EXPECT_EQ(members(d->object_list()).back(), l);

    // Blocks left open are freed with the drawing (the sanitizers watch).
    MB_Block* left = nullptr;
    ASSERT_TRUE(api_mb_create_block(left, "L1", origin));
    ASSERT_TRUE(api_mb_create_block(left, "L2", origin));
}

TEST(FlatRefusals, NoOperationOrNullArguments)
{
    MB_Line* line = nullptr;
    MB_Point* point = nullptr;
    const double xyz[3] = {1, 2, 3};
    double xs[1] = {0};
    EXPECT_FALSE(api_mb_create_line(line, Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0)));
    EXPECT_FALSE(api_mb_create_point(point, xyz));
    EXPECT_EQ(api_mb_create_circle(0, 0, 1), 0);
    EXPECT_EQ(api_mb_create_rect(0, 0, 1, 1), 0);
    EXPECT_EQ(api_mb_get_color_byindex(3, 0), 0x00FF00u);
    EXPECT_EQ(line, nullptr);
    EXPECT_EQ(point, nullptr);

    MB_Operation op;
    ASSERT_TRUE(op.create_drawing("refusals"));
    MB_Drawing& d = *op.drawing();
    MB_Lines* lines = nullptr;
    MB_Block* block = nullptr;
    MB_Layer* layer = nullptr;
    MB_Solid* solid = nullptr;
    EXPECT_FALSE(api_mb_create_point(point, nullptr));
    EXPECT_FALSE(api_mb_create_line(line, nullptr, xyz));
    EXPECT_FALSE(api_mb_create_lines(lines, 0));
    EXPECT_EQ(api_mb_create_lines(nullptr, xs, 1), 0);
    EXPECT_EQ(api_mb_create_lines(xs, xs, 0), 0);
    EXPECT_EQ(api_mb_create_lines(xs, xs, -4), 0);
    EXPECT_EQ(api_mb_create_solid(xs, xs, 0), 0);
    EXPECT_EQ(api_mb_create_solid(nullptr), 0);
    EXPECT_FALSE(api_mb_create_solid(solid, xyz, xyz, nullptr, xyz, 4));
    EXPECT_EQ(api_mb_create_arc(nullptr, 1, 0, 1), 0);
    EXPECT_EQ(api_mb_create_polyline(0, nullptr, nullptr, nullptr, nullptr, 0), 0);
    EXPECT_FALSE(api_mb_create_block(block, nullptr, xyz));
    EXPECT_FALSE(api_mb_create_layer(layer, nullptr, 0, 0, true, false, false));
    EXPECT_FALSE(api_mb_end_block(block));
    EXPECT_TRUE(d.object_list().is_empty());
    EXPECT_EQ(line, nullptr);
    EXPECT_EQ(lines, nullptr);
}

// Each creation inside a recorded command is undone and redone; the lists equal their
// snapshots, and a command dropped after undo frees what it held.
TEST_F(Flat, UndoOfCreations)
{
    op->init_undoredo(d);
    MB_Undo_Redo* rec = op->undo_redo();
    ASSERT_NE(rec, nullptr);
    const double origin[3] = {0, 0, 0};
    struct Snapshot {
        std::vector<MB_Object*> objects, blocks, layers, line_types, views;
        bool operator==(const Snapshot&) const = default;
    };
    const auto snap = [&] {
        return Snapshot{members(d->object_list()), members(d->block_list()), members(d->layer_list()),
                        members(d->line_type_list()), members(d->named_view_list())};
    };
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"line", [&] { MB_Line* l = nullptr; (void)api_mb_create_line(l, Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0)); }},
        {"layer", [&] { MB_Layer* l = nullptr; (void)api_mb_create_layer(l, "L", 1, 0, true, false, false); }},
        {"line type", [&] { MB_Line_Type* t = nullptr; (void)api_mb_create_line_type(t, const_cast<char*>("T"), nullptr, 1, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }},
        {"named view", [&] { MB_Named_View* v = nullptr; (void)api_mb_create_viewport(v, const_cast<char*>("V")); }},
        {"block with members", [&] {
             MB_Block* b = nullptr;
             (void)api_mb_create_block(b, "B", origin);
             (void)api_mb_create_circle(0, 0, 2);
             (void)api_mb_create_rect(0, 0, 1, 1);
             (void)api_mb_end_block(b);
         }},
    };
    for (const auto& [what, step] : steps) {
        SCOPED_TRACE(what);
        undo_cycle<Snapshot>(what, step, snap);
    }
}

TEST_F(Flat, MakeFunctions)
{
    op->init_undoredo(d);
    MB_Line* line = nullptr;
    ASSERT_TRUE(api_mb_create_line(line, Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0)));
    op->rec_cmd_begin("make line");
    api_mb_make_line(line, Qe_Pt(5, 5, 0), Qe_Pt(6, 7, 0));
    op->rec_cmd_end();
    EXPECT_TRUE(near(line->start(), {5, 5, 0}));
    Qe_Void_List touched;
    op->undo(touched);
    EXPECT_TRUE(near(line->start(), {0, 0, 0}));
    EXPECT_TRUE(near(line->end(), {1, 0, 0}));
    touched.clear();
    op->redo(touched);
    EXPECT_TRUE(near(line->end(), {6, 7, 0}));
    // A null pointer: a new line in no list.
    MB_Line* fresh = nullptr;
    api_mb_make_line(fresh, Qe_Pt(1, 1, 0), Qe_Pt(2, 2, 0));
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->next(), nullptr);
    EXPECT_EQ(fresh->draw_node(), nullptr);
    delete fresh;

    // Chains and solids from point lists; an empty list makes nothing.
    Qe_Pt_List empty, pts;
    for (int i = 0; i < 4; ++i) pts.add_tail(Qe_Pt(i, i * i, 0));
    MB_Lines* chain = nullptr;
    EXPECT_FALSE(api_mb_make_lines(chain, empty));
    EXPECT_EQ(chain, nullptr);
    ASSERT_TRUE(api_mb_make_lines(chain, pts));
    EXPECT_TRUE(near(chain->pt_set()[3], {3, 9, 0}));
    Qe_Pt_List two;
    two.add_tail(Qe_Pt(1, 1, 0));
    two.add_tail(Qe_Pt(2, 2, 0));
    ASSERT_TRUE(api_mb_make_lines(chain, two));
    EXPECT_EQ(chain->pt_set().count(), 2);
    delete chain;
    MB_Solid* solid = nullptr;
    EXPECT_FALSE(api_mb_make_solid(solid, empty));
    ASSERT_TRUE(api_mb_make_solid(solid, pts));
    EXPECT_EQ(solid->vertices().count(), 4);
    delete solid;

    // Circles: radius bounds, three points.
    MB_Circle* circle = nullptr;
    EXPECT_FALSE(api_mb_make_circle(circle, Qe_Pt(0, 0, 0), 5e-7));
    EXPECT_EQ(circle, nullptr);
    ASSERT_TRUE(api_mb_make_circle(circle, Qe_Pt(0, 0, 0), -2));
    EXPECT_EQ(circle->radius(), -2.0);
    EXPECT_FALSE(api_mb_make_circle_3pt(circle, Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0), Qe_Pt(2, 2, 0)));
    EXPECT_EQ(circle->radius(), -2.0);
    ASSERT_TRUE(api_mb_make_circle_3pt(circle, Qe_Pt(1, 0, 0), Qe_Pt(0, 1, 0), Qe_Pt(-1, 0, 0)));
    EXPECT_NEAR(circle->radius(), 1.0, 1e-12);
    delete circle;

    // Arcs: radius from the start point; through three points, counter-clockwise via m.
    MB_Arc* arc = nullptr;
    api_mb_make_arc_cse(arc, Qe_Pt(0, 0, 0), Qe_Pt(2, 0, 0), Qe_Pt(0, 5, 0));
    ASSERT_NE(arc, nullptr);
    EXPECT_DOUBLE_EQ(arc->radius(), 2.0);
    delete arc;
    struct Three {
        Qe_Pt s, m, e;
    };
    const Three triples[] = {
        {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}},    // counter-clockwise
        {{-1, 0, 0}, {0, 1, 0}, {1, 0, 0}},    // clockwise
        {{3, 1, 0}, {1, 4, 0}, {-2, 0.5, 0}},  // counter-clockwise, off the origin
        {{-2, 0.5, 0}, {1, -3, 0}, {3, 1, 0}},
    };
    for (const Three& t : triples) {
        for (const bool sem : {false, true}) {
            MB_Arc* a = nullptr;
            if (sem)
                api_mb_make_arc_sem(a, t.s, t.e, t.m);
            else
                api_mb_make_arc_sme(a, t.s, t.m, t.e);
            ASSERT_NE(a, nullptr);
            Qe_Pt c;
            double r = 0;
            ASSERT_TRUE(api_mb_get_3ptcircle(t.s, t.m, t.e, c, r));
            EXPECT_NEAR(a->radius(), r, 1e-9);
            const double a1 = a->get_real(-120), a2 = a->get_real(-121);
            const double am = std::atan2(t.m.y() - c.y(), t.m.x() - c.x());
            // m lies within the counter-clockwise sweep from a1 to a2.
            const auto ccw = [](double from, double to) {
                double d = std::fmod(to - from, 2 * M_PI);
                return d < 0 ? d + 2 * M_PI : d;
            };
            EXPECT_LT(ccw(a1, am), ccw(a1, a2));
            // An arc already held is left as it is.
            const double before = a->radius();
            api_mb_make_arc_sme(a, Qe_Pt(0, 0, 0), Qe_Pt(5, 5, 0), Qe_Pt(9, 0, 0));
            EXPECT_EQ(a->radius(), before);
            delete a;
        }
    }
    MB_Arc* none = nullptr;
    api_mb_make_arc_sme(none, Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0), Qe_Pt(2, 2, 0));
    EXPECT_EQ(none, nullptr);

    // Texts: a null style is the default style; a text already held is left.
    MB_Text* text = nullptr;
    EXPECT_TRUE(api_mb_make_text(text, const_cast<char*>("abc"), Qe_Pt(1, 2, 0), nullptr, 7.5, *d));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text_style()->height(), 7.5);
    MB_Text* held = text;
    EXPECT_TRUE(api_mb_make_text(text, const_cast<char*>("x"), Qe_Pt(0, 0, 0), nullptr, 1, *d));
    EXPECT_EQ(text, held);
    delete text;

    Qe_Void_List list;
    EXPECT_TRUE(api_mb_kill_object(line));
    EXPECT_TRUE(api_mb_kill_object_list(list));
    EXPECT_TRUE(api_mb_translate_list(list, Qe_Tran()));
    EXPECT_EQ(members(d->object_list()).back(), line);
}

TEST_F(Flat, MakeSplineAndImage)
{
    Qe_Pt_List empty, pts;
    for (int i = 0; i < 5; ++i) pts.add_tail(Qe_Pt(i, (i % 2) * 3.0, 0));
    MB_Bspline* spline = nullptr;
    EXPECT_FALSE(api_mb_make_spline(spline, empty));
    EXPECT_EQ(spline, nullptr);
    ASSERT_TRUE(api_mb_make_spline(spline, pts));
    ASSERT_EQ(spline->fitpts().count(), 5);
    EXPECT_TRUE(near(spline->fitpts()[3], {3, 3, 0}));
    EXPECT_EQ(spline->next(), nullptr);
    Qe_Pt_List other;
    other.add_tail(Qe_Pt(9, 9, 0));
    other.add_tail(Qe_Pt(8, 8, 0));
    MB_Bspline* held = spline;
    EXPECT_TRUE(api_mb_make_spline(spline, other));
    EXPECT_EQ(spline, held);
    EXPECT_EQ(spline->fitpts().count(), 5);
    delete spline;

    // Rasters take their pixel size, metafiles their size times 0.01; the centre and the
    // file's name and type are kept. A file that cannot be read still makes an image.
    Scratch_Dir dir;
    CxImage source;
    ASSERT_TRUE(source.Create(7, 3, 24, CXIMAGE_FORMAT_BMP));
    struct Case {
        std::string file;
        DWORD format;
        bool read;
        double width, height;
        int type;
    };
    const std::vector<Case> cases = {
        {"a.bmp", CXIMAGE_FORMAT_BMP, true, 7, 3, 1},
        {"b.png", CXIMAGE_FORMAT_PNG, true, 7, 3, 4},
        {"c.JPG", CXIMAGE_FORMAT_JPG, true, 7, 3, 3},
        {"d.emf", 0, true, 20, 10, 10},
        {"e.wmf", 0, true, 0, 0, 10},
        {"missing.png", 0, false, 0, 0, 4},
    };
    {
        const auto put = [&](const char* name, const metafile_bytes::Bytes& b) {
            std::ofstream(dir.path() + "/" + name, std::ios::binary)
                .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        };
        put("d.emf", metafile_bytes::emf(2000, 1000));
        put("e.wmf", metafile_bytes::placeable(0, 0, 1440, 720, 1440));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = dir.path() + "/" + c.file;
        if (c.format) {
            ASSERT_TRUE(source.Save(path.c_str(), c.format));
        }
        MB_Image* image = nullptr;
        Qe_Pt centre(4, 5, 0);
        EXPECT_EQ(api_mb_make_image(image, const_cast<char*>(path.c_str()), centre), c.read);
        ASSERT_NE(image, nullptr);
        EXPECT_STREQ(image->get_filename(), path.c_str());
        EXPECT_EQ(image->image_format(), c.type);
        EXPECT_TRUE(near(image->center(), centre));
        if (c.read && c.width > 0) {
            EXPECT_DOUBLE_EQ(image->width(), c.width);
            EXPECT_DOUBLE_EQ(image->height(), c.height);
        }
        if (c.read && c.type == 10) {
            EXPECT_GT(image->width(), 0.0);
        }
        delete image;
    }
}

// The three image forms share their steps: name, type, picture and centre, then the append
// rule. Only the form of the active operation reads metafiles as pictures (a hundredth of
// their size); the other two give every file to the raster class. The drawing's form does not
// build the frame.
TEST_F(Flat, CreateImageFromFiles)
{
    Scratch_Dir dir(true);  // the log goes to the current folder
    const std::string png = dir.path() + "/photo.png", wmf = dir.path() + "/plan.wmf";
    const std::vector<unsigned char> grey(9 * 4 * 3, 0x80);
    ASSERT_TRUE(write_png(png, grey.data(), 9, 4));
    {
        const metafile_bytes::Bytes b = metafile_bytes::placeable(0, 0, 1440, 720, 1440);  // 1 x 0.5 inch
        std::ofstream(wmf, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    const Qe_Pt centre(10, 20, 0);
    enum Form { Flat_Active, Of_Operation, Of_Drawing };
    const auto create = [&](Form form, const std::string& path) -> MB_Image* {
        char* p = const_cast<char*>(path.c_str());
        switch (form) {
        case Flat_Active: return reinterpret_cast<MB_Image*>(api_mb_create_image(p, centre));
        case Of_Operation: return api_mb_create_image(*op, p, centre);
        case Of_Drawing: return api_mb_create_image(*d, p, centre);
        }
        return nullptr;
    };
    struct Case {
        Form form;
        const std::string& path;
        int type;
        double width, height;
        bool picture, built, raster;
    };
    // Without the picture form, a metafile is drawn into pixels: 1 x 0.5 inch at 96 dpi.
    const Case cases[] = {
        {Flat_Active, png, 4, 9, 4, true, true, true},
        {Flat_Active, wmf, 10, 25.4, 12.7, true, true, false},
        {Of_Operation, png, 4, 9, 4, true, true, true},
        {Of_Operation, wmf, 10, 96, 48, false, true, true},
        {Of_Drawing, png, 4, 9, 4, true, false, true},
        {Of_Drawing, wmf, 10, 96, 48, false, false, true},
    };
    for (const bool in_block : {false, true}) {
        MB_Block* block = nullptr;
        const double origin[3] = {0, 0, 0};
        if (in_block) {
            ASSERT_TRUE(api_mb_create_block(block, "frame", origin));
        }
        MB_Object_List& target = in_block ? block->object_list() : d->object_list();
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.form) + " " + c.path + (in_block ? " in a block" : ""));
            MB_Image* image = create(c.form, c.path);
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(members(target).back(), image);
            EXPECT_STREQ(image->get_filename(), c.path.c_str());
            EXPECT_EQ(image->image_format(), c.type);
            EXPECT_DOUBLE_EQ(image->width(), c.width);
            EXPECT_DOUBLE_EQ(image->height(), c.height);
            EXPECT_EQ(image->image() && image->image()->IsValid(), c.raster);
            EXPECT_EQ(image->picture() != nullptr, c.picture && c.type == 10);
            EXPECT_TRUE(near(image->center(), centre));
            // Built: the bounding rectangle is the frame.
            EXPECT_EQ(near(image->rect().lt(), image->lt()) && near(image->rect().rb(), image->rb()), c.built);
        }
        if (in_block) {
            ASSERT_TRUE(api_mb_end_block(block));
        }
    }

    // A file that cannot be read still makes an image, without a picture; the log says why.
    const std::string missing = dir.path() + "/gone.png";
    MB_Image* empty = api_mb_create_image(*d, const_cast<char*>(missing.c_str()), centre);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(members(d->object_list()).back(), empty);
    EXPECT_DOUBLE_EQ(empty->width(), 0);
    std::ifstream log_file("jxb.log");
    const std::string log((std::istreambuf_iterator<char>(log_file)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find(missing), std::string::npos) << log;

    // No path: nothing made.
    const long count = d->object_list().count();
    EXPECT_EQ(api_mb_create_image(nullptr, centre), 0);
    EXPECT_EQ(api_mb_create_image(*op, nullptr, centre), nullptr);
    EXPECT_EQ(api_mb_create_image(*d, nullptr, centre), nullptr);
    EXPECT_EQ(d->object_list().count(), count);
}
