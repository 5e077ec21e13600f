// The flat creation functions of the composite kinds: where each object lands and what it
// holds, given objects appended again, hostile counts, refusals, and undo of what they made.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "geometry/loop.h"
#include "geometry/void_list.h"
#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/mb_string.h"
#include "kernel/entities/bspline.h"
#include "kernel/entities/dim_style.h"
#include "kernel/entities/hatch.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/point_entity.h"
#include "kernel/entities/mesh.h"
#include "kernel/operation/flat_create.h"
#include "kernel/operation/flat_create_composite.h"
#include "kernel/operation/flat_fixture.h"
#include "kernel/operation/operation.h"
#include "kernel/operation/undo_redo.h"
#include "kernel/text/arc_text.h"
#include "kernel/text/mtext.h"
#include "kernel/text/text.h"
#include "kernel/text/text_style.h"
#include "kernel/text/tolerance_frame.h"
#include "kernel/text/trace_text.h"

namespace {

using flat_test::members;
using flat_test::near;

MB_Object* object(mb_handle h)
{
    return reinterpret_cast<MB_Object*>(h);
}

// A loop through the given corners; the caller owns it.
std::unique_ptr<Qe_Loop> loop_of(std::initializer_list<Qe_Pt> corners)
{
    auto loop = std::make_unique<Qe_Loop>();
    for (const Qe_Pt& p : corners) loop->add(p);
    return loop;
}

std::vector<Qe_Pt> loop_points(const Qe_Loop& loop)
{
    std::vector<Qe_Pt> out;
    const Qe_Loop_Node* n = loop.head();
    for (long i = 0; i < loop.count(); ++i, n = n->next()) out.push_back(n->point());
    return out;
}

class Composite : public flat_test::Flat_Drawing {
protected:
    // Every list a creation may touch, for comparing before and after.
    struct Snapshot {
        std::vector<MB_Object*> objects, blocks, dim_styles, text_styles;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snap()
    {
        return Snapshot{members(d->object_list()), members(d->block_list()), members(d->dim_style_list()),
                        members(d->text_style_list())};
    }
};

}  // namespace

// Every creation function, with model space as the target and again with a block open: the
// kind made, the list it joins, what it holds, and whether its display exists.
TEST_F(Composite, CreationTable)
{
    enum class Target { Entities, Dim_Styles, Text_Styles };
    struct Case {
        const char* what;
        std::function<MB_Object*()> make;
        MB_Object::MB_ID id;
        Target target;
        bool built;
        // Whether the display exists, by what the kind builds.
        std::function<bool(MB_Object*)> shown;
        std::function<void(MB_Object*)> check;
    };
    const auto edge_made = [](MB_Object* o) { return static_cast<MB_Geom*>(o)->edge().count() > 1; };
    const auto no_display = [](MB_Object*) { return false; };
    const Qe_Pt fit[4] = {{0, 0, 0}, {1, 2, 0}, {3, 2, 0}, {4, 0, 0}};
    double knots[8] = {0, 0, 0, 0, 1, 1, 1, 1};
    const double at[3] = {5, 6, 0};
    std::unique_ptr<Qe_Loop> square = loop_of({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}});
    const std::string long_line = "45, 0, 0, 0, 1" + std::string(300, ' ');
    Qe_Pt tol_pos(2, 3, 0);
    double xs[2] = {0, 30}, ys[2] = {0, 0};
    const auto path = static_cast<long>(api_mb_create_lines(xs, ys, 2));

    const Case cases[] = {
        {"spline by fit points", [&] { return object(api_mb_create_bspline(fit, 4, 3, 0, 0, 0, -2, 0)); },
         MB_Object::ID_BSPLINE, Target::Entities, true, edge_made, [&](MB_Object* o) {
             auto* s = static_cast<MB_Bspline*>(o);
             ASSERT_EQ(s->fitpts().count(), 4);
             for (int i = 0; i < 4; ++i) EXPECT_TRUE(near(s->fitpts()[i], fit[i])) << i;
             EXPECT_TRUE(near(Qe_Pt(s->starttangent().x(), s->starttangent().y(), 0), {1, 0, 0}));
             EXPECT_TRUE(near(Qe_Pt(s->endtangent().x(), s->endtangent().y(), 0), {0, -1, 0}));
         }},
        {"spline by control points", [&] { return object(api_mb_create_bspline(3, fit, 4, knots, 8, 0, 0, 0, 0, 0, 0)); },
         MB_Object::ID_BSPLINE, Target::Entities, true, edge_made, [&](MB_Object* o) {
             auto* s = static_cast<MB_Bspline*>(o);
             EXPECT_EQ(s->degree(), 3);
             EXPECT_EQ(s->fitpts().count(), 0);
             ASSERT_EQ(s->ctlpts().count(), 4);
             EXPECT_TRUE(near(s->ctlpts()[2], fit[2]));
             ASSERT_EQ(s->knot_number(), 8u);
             EXPECT_NE(s->knot(), knots);
             EXPECT_EQ(s->knot()[4], 1.0);
         }},
        {"polygon mesh", [&] { MB_Polygon_Mesh* m = nullptr; const mb_handle h = api_mb_create_Polygon_mesh(m, 3, 2, 0, 0); EXPECT_EQ(object(h), m); return m; },
         MB_Object::ID_POLYGON_MESH, Target::Entities, true,
         [](MB_Object* o) { return static_cast<MB_Polygon_Mesh*>(o)->runs().pts_count() > 0; }, [](MB_Object* o) {
             auto* m = static_cast<MB_Polygon_Mesh*>(o);
             EXPECT_EQ(m->meshm(), 3);
             EXPECT_EQ(m->meshn(), 2);
             EXPECT_EQ(m->vertices().count(), 6);
         }},
        {"polygon mesh with a density grid", [&] { MB_Polygon_Mesh* m = nullptr; (void)api_mb_create_Polygon_mesh(m, 2, 2, 3, 4); return m; },
         MB_Object::ID_POLYGON_MESH, Target::Entities, true,
         [](MB_Object* o) { return static_cast<MB_Polygon_Mesh*>(o)->runs().pts_count() > 0; }, [](MB_Object* o) {
             auto* m = static_cast<MB_Polygon_Mesh*>(o);
             EXPECT_EQ(m->meshm_density(), 3);
             EXPECT_EQ(m->vertices().count(), 4 + 12);
         }},
        {"polyface mesh, not built", [&] { return object(api_mb_create_polyface_mesh(5, 2)); },
         MB_Object::ID_POLYFACE_MESH, Target::Entities, false,
         [](MB_Object* o) { return static_cast<MB_Polyface_Mesh*>(o)->runs().pts_count() > 0; }, [](MB_Object* o) {
             auto* m = static_cast<MB_Polyface_Mesh*>(o);
             EXPECT_EQ(m->meshm(), 5u);
             EXPECT_EQ(m->meshn(), 2u);
             EXPECT_EQ(m->vertices().count(), 5);
             EXPECT_EQ(m->face_pos(1, 3), 0);
         }},
        {"hatch of loops", [&] {
             Qe_Void_List loops;
             loops.add(square.get());
             return object(api_mb_create_hatch(loops, nullptr, 9, 9, 9));
         },
         MB_Object::ID_HATCH, Target::Entities, false, no_display, [&](MB_Object* o) {
             auto* h = static_cast<MB_Hatch*>(o);
             EXPECT_EQ(h->general().color(), 0x00FF00FF);
             ASSERT_EQ(h->loop_list().count(), 1);
             EXPECT_NE(h->loop_list().first(), square.get());
             EXPECT_EQ(h->get_hatchtype()->string_list().count(), 0);
             EXPECT_EQ(h->get_hatchtype()->scale(), 1.0);
         }},
        {"hatch with pattern lines", [&] {
             Qe_Void_List loops, lines;
             loops.add(square.get());
             lines.add(const_cast<char*>("0, 0, 0, 0, 2"));
             lines.add(const_cast<char*>(long_line.c_str()));
             return object(api_mb_create_hatch(loops, lines, const_cast<char*>("LINES"), 2.0, 0.25));
         },
         MB_Object::ID_HATCH, Target::Entities, true,
         [](MB_Object* o) { return static_cast<MB_Hatch*>(o)->ptsets_list().count() > 0; }, [&](MB_Object* o) {
             auto* h = static_cast<MB_Hatch*>(o);
             EXPECT_EQ(h->general().color(), 0x00FF00FF);
             const MB_Hatch_Type& type = *h->get_hatchtype();
             EXPECT_STREQ(type.name().ascii(), "LINES");
             EXPECT_EQ(type.scale(), 2.0);
             EXPECT_EQ(type.angle(), 0.25);
             ASSERT_EQ(type.string_list().count(), 2);
             // Pattern lines are taken whole, however long.
             EXPECT_EQ(std::string(static_cast<const MB_String*>(type.string_list().get(1))->ascii()), long_line);
         }},
        {"text", [&] { MB_Text* t = nullptr; EXPECT_TRUE(api_mb_create_text(t, "abc", "standard", at, 4, 0.5, 0.3)); return t; },
         MB_Object::ID_TEXT, Target::Entities, true, [](MB_Object* o) { return static_cast<MB_Text*>(o)->draw_node() != nullptr; },
         [](MB_Object* o) {
             auto* t = static_cast<MB_Text*>(o);
             EXPECT_STREQ(t->string().ascii(), "abc");
             EXPECT_TRUE(near(t->base_pos(), {5, 6, 0}));
             EXPECT_EQ(t->text_style()->height(), 4.0);
             EXPECT_EQ(t->text_style()->width_scale(), 0.5);
             EXPECT_EQ(t->text_style()->angle(), 0.3);
         }},
        {"multi-line text", [&] {
             return object(api_mb_create_mtext(const_cast<char*>("one two"), nullptr, Qe_Pt(1, 1, 0), Qe_Pt(0, 1, 0),
                                               40, 3.5, 2, 1.5, 5, 3));
         },
         MB_Object::ID_MTEXT, Target::Entities, true,
         [](MB_Object* o) { return static_cast<MB_Mtext*>(o)->text_list().count() > 0; }, [](MB_Object* o) {
             auto* t = static_cast<MB_Mtext*>(o);
             EXPECT_STREQ(t->string(), "one two");
             EXPECT_TRUE(near(t->text_pos(), {1, 1, 0}));
             EXPECT_EQ(t->width(), 40.0);
             EXPECT_EQ(t->base_ht(), 3.5);
             EXPECT_EQ(t->boxht(), 3.5);
             EXPECT_EQ(t->linespacing_style(), 2);
             EXPECT_EQ(t->linespacing_factor(), 1.5);
             EXPECT_EQ(t->attachpt(), 5);
             EXPECT_EQ(t->drawdir(), 3);
             EXPECT_TRUE(near(Qe_Pt(t->direction().x(), t->direction().y(), t->direction().z()), {0, 1, 0}));
         }},
        {"arc text", [&] { return object(api_mb_create_arc_text(const_cast<char*>("ARC"), const_cast<char*>("st"), 1, 2, 0, 20, 0.5, 2.5)); },
         MB_Object::ID_ARC_TEXT, Target::Entities, true,
         [](MB_Object* o) { return !static_cast<MB_Arc_Text*>(o)->text_list().empty(); }, [](MB_Object* o) {
             auto* t = static_cast<MB_Arc_Text*>(o);
             EXPECT_STREQ(t->str(), "ARC");
             EXPECT_STREQ(t->text_name(), "st");
             EXPECT_TRUE(near(t->center_pos(), {1, 2, 0}));
             EXPECT_EQ(t->radius(), 20.0);
             EXPECT_EQ(t->start_angle(), 0.5);
             EXPECT_EQ(t->end_angle(), 2.5);
         }},
        {"path text", [&] { return object(api_mb_create_trace_text(path, "PATH", 2, 1, 1, 0, 1, false, false, false, nullptr, 0)); },
         MB_Object::ID_TRACE_TEXT, Target::Entities, true,
         [](MB_Object* o) { return !static_cast<MB_Trace_Text*>(o)->text_list().empty(); }, [](MB_Object* o) {
             auto* t = static_cast<MB_Trace_Text*>(o);
             EXPECT_STREQ(t->str(), "PATH");
             ASSERT_EQ(t->pt_set().count(), 2);
             EXPECT_TRUE(near(t->pt_set()[1], {30, 0, 0}));
         }},
        {"tolerance frame", [&] { return object(api_mb_create_tolerance(tol_pos, 0.7, const_cast<char*>("A%%c0.1"), 2.5)); },
         MB_Object::ID_TOLERANCE, Target::Entities, true,
         [](MB_Object* o) { return !static_cast<MB_Tolerance*>(o)->frame_list().empty(); }, [](MB_Object* o) {
             auto* t = static_cast<MB_Tolerance*>(o);
             EXPECT_STREQ(t->string(), "A%%c0.1");
             EXPECT_TRUE(near(t->text_pos(), {2, 3, 0}));
             EXPECT_EQ(t->angle(), 0.7);
             EXPECT_EQ(t->height(), 2.5);
         }},
        {"dimension style", [&] { MB_Dim_Style* s = nullptr; const mb_handle h = api_mb_create_dim_style(s, const_cast<char*>("DS")); EXPECT_EQ(object(h), s); return s; },
         MB_Object::ID_DIM_STYLE, Target::Dim_Styles, false, no_display,
         [](MB_Object* o) { EXPECT_STREQ(static_cast<MB_Dim_Style*>(o)->name().ascii(), "DS"); }},
        {"text style", [&] {
             MB_Text_Style* s = nullptr;
             EXPECT_TRUE(api_mb_create_text_style(s, "TS", "txt.shx", nullptr, 3, 0.8, 0.1, 0.2, 7, 8));
             return s;
         },
         MB_Object::ID_TEXT_STYLE, Target::Text_Styles, false, no_display, [](MB_Object* o) {
             auto* s = static_cast<MB_Text_Style*>(o);
             EXPECT_STREQ(s->name().ascii(), "TS");
             EXPECT_EQ(s->height(), 3.0);
             EXPECT_EQ(s->width_scale(), 0.8);
             EXPECT_EQ(s->oblique_angle(), 0.1);
             EXPECT_EQ(s->angle(), 0.2);
         }},
    };

    const double origin[3] = {0, 0, 0};
    for (const bool in_block : {false, true}) {
        MB_Block* block = nullptr;
        if (in_block) {
            ASSERT_TRUE(api_mb_create_block(block, "B", origin));
        }
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(k.what) + (in_block ? ", block open" : ""));
            MB_Object_List& target = k.target == Target::Dim_Styles    ? d->dim_style_list()
                                     : k.target == Target::Text_Styles ? d->text_style_list()
                                     : in_block                        ? block->object_list()
                                                                       : d->object_list();
            const std::vector<MB_Object*> model = members(d->object_list());
            const std::vector<MB_Object*> before = members(target);
            MB_Object* o = k.make();
            ASSERT_NE(o, nullptr);
            EXPECT_EQ(o->object_id(), k.id);
            const std::vector<MB_Object*> now = members(target);
            ASSERT_EQ(now.size(), before.size() + 1);
            EXPECT_EQ(now.back(), o);
            // Entities made with a block open and table objects leave model space alone.
            if (in_block || k.target != Target::Entities) {
                EXPECT_EQ(members(d->object_list()), model);
            }
            EXPECT_EQ(k.shown(o), k.built);
            k.check(o);
        }
        if (in_block) {
            ASSERT_TRUE(api_mb_end_block(block));
        }
    }
}

// A given object is appended only when it stands in no list: the same mesh twice leaves the
// list as it was, and one standing before the tail stays where it is.
TEST_F(Composite, GivenObjectsStay)
{
    MB_Polygon_Mesh* mesh = nullptr;
    const mb_handle first = api_mb_create_Polygon_mesh(mesh, 2, 2, 0, 0);
    ASSERT_NE(first, 0);
    const std::vector<MB_Object*> once = members(d->object_list());
    EXPECT_EQ(api_mb_create_Polygon_mesh(mesh, 7, 7, 0, 0), first);
    EXPECT_EQ(members(d->object_list()), once);
    // The sizes are not taken by a mesh already made.
    EXPECT_EQ(mesh->meshm(), 2);

    const mb_handle circle = api_mb_create_circle(0, 0, 1);
    EXPECT_EQ(api_mb_create_Polygon_mesh(mesh, -1, -1, -1, -1), first);
    EXPECT_EQ(members(d->object_list()), (std::vector<MB_Object*>{object(first), object(circle)}));

    // A mesh the caller made joins the list and is built.
    MB_Polygon_Mesh* own = new MB_Polygon_Mesh(2, 3, 0, 0);
    MB_Polygon_Mesh* given = own;
    EXPECT_EQ(object(api_mb_create_Polygon_mesh(given, 0, 0, 0, 0)), own);
    EXPECT_EQ(given, own);
    EXPECT_EQ(members(d->object_list()).back(), own);
    EXPECT_GT(own->runs().pts_count(), 0u);

    MB_Dim_Style* style = nullptr;
    ASSERT_NE(api_mb_create_dim_style(style, const_cast<char*>("one")), 0);
    MB_Dim_Style* other = nullptr;
    ASSERT_NE(api_mb_create_dim_style(other, const_cast<char*>("two")), 0);
    const std::vector<MB_Object*> styles = members(d->dim_style_list());
    // Renamed where it stands.
    EXPECT_EQ(object(api_mb_create_dim_style(style, const_cast<char*>("three"))), style);
    EXPECT_EQ(members(d->dim_style_list()), styles);
    EXPECT_STREQ(style->name().ascii(), "three");
}

// Counts from the caller that are too small, negative, unbacked or too large make nothing,
// and nothing is read from arrays they would overrun.
TEST_F(Composite, HostileCounts)
{
    Qe_Pt pts[2] = {{0, 0, 0}, {1, 1, 0}};
    double knots[2] = {0, 1};
    MB_Polygon_Mesh* none = nullptr;
    const std::vector<std::pair<const char*, std::function<mb_handle()>>> calls = {
        {"one fit point", [&] { return api_mb_create_bspline(pts, 1, 0, 0, 0, 0, 0, 0); }},
        {"no fit points", [&] { return api_mb_create_bspline(pts, 0, 0, 0, 0, 0, 0, 0); }},
        {"negative fit count", [&] { return api_mb_create_bspline(pts, -5, 0, 0, 0, 0, 0, 0); }},
        {"fit count beyond memory", [&] { return api_mb_create_bspline(pts, INT_MAX, 0, 0, 0, 0, 0, 0); }},
        {"null fit points", [&] { return api_mb_create_bspline(nullptr, 4, 0, 0, 0, 0, 0, 0); }},
        {"one control point", [&] { return api_mb_create_bspline(3, pts, 1, knots, 2, 0, 0, 0, 0, 0, 0); }},
        {"null control points", [&] { return api_mb_create_bspline(3, nullptr, 2, knots, 2, 0, 0, 0, 0, 0, 0); }},
        {"control count beyond memory", [&] { return api_mb_create_bspline(3, pts, INT_MAX, knots, 2, 0, 0, 0, 0, 0, 0); }},
        {"negative knot count", [&] { return api_mb_create_bspline(3, pts, 2, knots, -1, 0, 0, 0, 0, 0, 0); }},
        {"knots counted, none given", [&] { return api_mb_create_bspline(3, pts, 2, nullptr, 6, 0, 0, 0, 0, 0, 0); }},
        {"knot count beyond memory", [&] { return api_mb_create_bspline(3, pts, 2, knots, INT_MAX, 0, 0, 0, 0, 0, 0); }},
        {"negative mesh rows", [&] { return api_mb_create_Polygon_mesh(none, -1, 4, 0, 0); }},
        {"negative mesh columns", [&] { return api_mb_create_Polygon_mesh(none, 4, -1, 0, 0); }},
        {"negative density", [&] { return api_mb_create_Polygon_mesh(none, 2, 2, -3, 2); }},
        {"mesh overflowing an int", [&] { return api_mb_create_Polygon_mesh(none, 65536, 65536, 0, 0); }},
        {"mesh overflowing with its density", [&] { return api_mb_create_Polygon_mesh(none, INT_MAX, 1, INT_MAX, 1); }},
        {"largest sizes", [&] { return api_mb_create_Polygon_mesh(none, INT_MAX, INT_MAX, INT_MAX, INT_MAX); }},
        {"mesh beyond memory", [&] { return api_mb_create_Polygon_mesh(none, 5000, 5000, 0, 0); }},
        {"negative polyface vertices", [&] { return api_mb_create_polyface_mesh(-1, 2); }},
        {"negative polyface faces", [&] { return api_mb_create_polyface_mesh(4, -2); }},
        {"polyface beyond memory", [&] { return api_mb_create_polyface_mesh(4, INT_MAX); }},
    };
    const Snapshot before = snap();
    for (const auto& [what, call] : calls) {
        SCOPED_TRACE(what);
        EXPECT_EQ(call(), 0);
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(snap(), before);
    }
    // At the edges of what is taken: two points, no knots (drawn as its polygon), empty meshes.
    EXPECT_NE(api_mb_create_bspline(pts, 2, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_NE(api_mb_create_bspline(3, pts, 2, nullptr, 0, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_NE(api_mb_create_Polygon_mesh(none, 0, 0, 0, 0), 0);
    EXPECT_NE(api_mb_create_polyface_mesh(0, 0), 0);
}

// Without an active operation, or with a null argument that is read, nothing is made and
// out-parameters stay as they were.
TEST_F(Composite, Refusals)
{
    Qe_Pt pts[3] = {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}};
    const double at[3] = {0, 0, 0};
    std::unique_ptr<Qe_Loop> square = loop_of({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
    Qe_Void_List loops, empty, only_null, lines;
    loops.add(square.get());
    only_null.add(nullptr);
    MB_Text* text = nullptr;
    MB_Polygon_Mesh* mesh = nullptr;
    MB_Dim_Style* dim_style = nullptr;
    MB_Text_Style* text_style = nullptr;
    Qe_Pt p(0, 0, 0);
    char s[] = "x";
    const auto null_refusals = [&]() -> std::vector<std::pair<const char*, std::function<mb_handle()>>> {
        return {
            {"hatch without loops", [&] { return api_mb_create_hatch(empty, s, 1, 0, 0); }},
            {"hatch of null loops", [&] { return api_mb_create_hatch(only_null, s, 1, 0, 0); }},
            {"pattern hatch without loops", [&] { return api_mb_create_hatch(empty, lines, s, 1, 0); }},
            {"pattern hatch without a name", [&] { return api_mb_create_hatch(loops, lines, nullptr, 1, 0); }},
            {"text without a string", [&] { return mb_handle(api_mb_create_text(text, nullptr, "x", at, 1, 1, 0)); }},
            {"text without a position", [&] { return mb_handle(api_mb_create_text(text, "x", "x", nullptr, 1, 1, 0)); }},
            {"multi-line text without a string", [&] { return api_mb_create_mtext(nullptr, s, p, p, 1, 1, 1, 1, 1, 1); }},
            {"arc text without a string", [&] { return api_mb_create_arc_text(nullptr, s, 0, 0, 0, 1, 0, 1); }},
            {"tolerance without a string", [&] { return api_mb_create_tolerance(p, 0, nullptr, 1); }},
            {"dimension style without a name", [&] { return api_mb_create_dim_style(dim_style, nullptr); }},
            {"text style without a name", [&] { return mb_handle(api_mb_create_text_style(text_style, nullptr, "txt.shx", nullptr, 1, 1, 0, 0, 0, 0)); }},
            {"five-argument dimension style", [&] { return api_mb_create_dim_style(s, s, nullptr, nullptr, nullptr); }},
        };
    };
    const Snapshot before = snap();
    for (const auto& [what, call] : null_refusals()) {
        SCOPED_TRACE(what);
        EXPECT_EQ(call(), 0);
        EXPECT_EQ(snap(), before);
    }

    // No active operation: every function refuses.
    op.reset();
    d = nullptr;
    const std::vector<std::pair<const char*, std::function<mb_handle()>>> without = {
        {"spline", [&] { return api_mb_create_bspline(pts, 3, 0, 0, 0, 0, 0, 0); }},
        {"control spline", [&] { return api_mb_create_bspline(3, pts, 3, nullptr, 0, 0, 0, 0, 0, 0, 0); }},
        {"polygon mesh", [&] { return api_mb_create_Polygon_mesh(mesh, 2, 2, 0, 0); }},
        {"polyface mesh", [&] { return api_mb_create_polyface_mesh(2, 2); }},
        {"hatch", [&] { return api_mb_create_hatch(loops, s, 1, 0, 0); }},
        {"pattern hatch", [&] { return api_mb_create_hatch(loops, lines, s, 1, 0); }},
        {"text", [&] { return mb_handle(api_mb_create_text(text, "x", "x", at, 1, 1, 0)); }},
        {"multi-line text", [&] { return api_mb_create_mtext(s, s, p, p, 1, 1, 1, 1, 1, 1); }},
        {"arc text", [&] { return api_mb_create_arc_text(s, s, 0, 0, 0, 1, 0, 1); }},
        {"tolerance", [&] { return api_mb_create_tolerance(p, 0, s, 1); }},
        {"dimension style", [&] { return api_mb_create_dim_style(dim_style, s); }},
        {"text style", [&] { return mb_handle(api_mb_create_text_style(text_style, "x", "txt.shx", nullptr, 1, 1, 0, 0, 0, 0)); }},
    };
    for (const auto& [what, call] : without) {
        SCOPED_TRACE(what);
        EXPECT_EQ(call(), 0);
    }
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(dim_style, nullptr);
    EXPECT_EQ(text_style, nullptr);
    EXPECT_EQ(square->count(), 3);
}

// The hatch takes copies of the caller's loops: the first form closes every copy, the second
// keeps each loop's flag; the caller's loops are untouched and stay the caller's.
TEST_F(Composite, HatchLoopsAreCopies)
{
    std::unique_ptr<Qe_Loop> outer = loop_of({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}});
    std::unique_ptr<Qe_Loop> inner = loop_of({{3, 3, 0}, {6, 3, 0}, {6, 6, 0}});
    inner->closed(false);
    Qe_Void_List loops, lines;
    loops.add(outer.get());
    loops.add(nullptr);
    loops.add(inner.get());
    lines.add(nullptr);
    lines.add(const_cast<char*>("0, 0, 0, 0, 1"));
    for (const bool with_pattern : {false, true}) {
        SCOPED_TRACE(with_pattern ? "with pattern" : "loops only");
        const mb_handle h = with_pattern ? api_mb_create_hatch(loops, lines, const_cast<char*>("P"), 1, 0)
                                         : api_mb_create_hatch(loops, const_cast<char*>("P"), 1, 0, 0);
        ASSERT_NE(h, 0);
        auto* hatch = static_cast<MB_Hatch*>(object(h));
        ASSERT_EQ(hatch->loop_list().count(), 2);
        const auto* a = static_cast<const Qe_Loop*>(hatch->loop_list().get(0));
        const auto* b = static_cast<const Qe_Loop*>(hatch->loop_list().get(1));
        EXPECT_NE(a, outer.get());
        EXPECT_NE(b, inner.get());
        const std::vector<Qe_Pt> want_a = loop_points(*outer), got_a = loop_points(*a);
        const std::vector<Qe_Pt> want_b = loop_points(*inner), got_b = loop_points(*b);
        ASSERT_EQ(got_a.size(), want_a.size());
        ASSERT_EQ(got_b.size(), want_b.size());
        for (std::size_t i = 0; i < got_a.size(); ++i) EXPECT_TRUE(near(got_a[i], want_a[i])) << i;
        for (std::size_t i = 0; i < got_b.size(); ++i) EXPECT_TRUE(near(got_b[i], want_b[i])) << i;
        EXPECT_TRUE(a->closed());
        EXPECT_EQ(b->closed(), !with_pattern);
        EXPECT_EQ(hatch->get_hatchtype()->string_list().count(), with_pattern ? 1 : 0);
    }
    EXPECT_FALSE(inner->closed());
    EXPECT_EQ(outer->count(), 4);
}

// A spline by control points follows its knots: with a clamped knot vector of one span the
// curve is the cubic Bezier of its control points, solved here for every edge point.
TEST_F(Composite, ControlSplineFollowsItsKnots)
{
    const Qe_Pt ctl[4] = {{0, 0, 0}, {1, 3, 0}, {3, 3, 0}, {4, 0, 0}};
    double knots[8] = {0, 0, 0, 0, 1, 1, 1, 1};
    auto* s = static_cast<MB_Bspline*>(object(api_mb_create_bspline(3, ctl, 4, knots, 8, 0, 0, 0, 0, 0, 0)));
    ASSERT_NE(s, nullptr);
    const Qe_Pt_Set& edge = s->edge();
    ASSERT_GT(edge.count(), 4);
    const auto bezier = [&](double t) {
        const double u = 1 - t, b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
        return Qe_Pt(b0 * ctl[0].x() + b1 * ctl[1].x() + b2 * ctl[2].x() + b3 * ctl[3].x(),
                     b0 * ctl[0].y() + b1 * ctl[1].y() + b2 * ctl[2].y() + b3 * ctl[3].y(), 0);
    };
    EXPECT_TRUE(near(edge[0], ctl[0], 1e-9));
    EXPECT_TRUE(near(edge[edge.count() - 1], ctl[3], 1e-9));
    for (int i = 0; i < edge.count(); ++i) {
        // x rises with t on this curve: find t by bisection, then compare y.
        double lo = 0, hi = 1;
        for (int k = 0; k < 80; ++k) {
            const double mid = (lo + hi) / 2;
            (bezier(mid).x() < edge[i].x() ? lo : hi) = mid;
        }
        EXPECT_NEAR(edge[i].y(), bezier(lo).y(), 1e-7) << i;
    }
    // Other knots give another curve: the knots were taken.
    double uniform[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    auto* other = static_cast<MB_Bspline*>(object(api_mb_create_bspline(3, ctl, 4, uniform, 8, 0, 0, 0, 0, 0, 0)));
    ASSERT_NE(other, nullptr);
    ASSERT_GT(other->edge().count(), 0);
    EXPECT_FALSE(near(other->edge()[0], ctl[0], 1e-3));
}

// A path text takes the edge of the geometry its first argument names, as a handle or as a
// selector; anything that gives no geometry with a path of two points or more makes nothing.
TEST_F(Composite, PathTextResolvesItsPath)
{
    double xs[3] = {0, 10, 10}, ys[3] = {0, 0, 5};
    const mb_handle chain = api_mb_create_lines(xs, ys, 3);
    const mb_handle circle = api_mb_create_circle(20, 0, 4);
    ASSERT_NE(chain, 0);
    ASSERT_NE(circle, 0);
    struct Case {
        const char* what;
        long path;
        mb_handle source;
    };
    const Case made[] = {
        {"a chain's handle", static_cast<long>(chain), chain},
        {"a circle's handle", static_cast<long>(circle), circle},
        {"the first of model space", -1, chain},
    };
    for (const Case& c : made) {
        SCOPED_TRACE(c.what);
        const mb_handle h = api_mb_create_trace_text(c.path, "PATH", 1.5, 2, 0.5, 0.25, 4, true, true, true, "st", 0);
        ASSERT_NE(h, 0);
        auto* t = static_cast<MB_Trace_Text*>(object(h));
        EXPECT_EQ(t->object_id(), MB_Object::ID_TRACE_TEXT);
        EXPECT_EQ(members(d->object_list()).back(), t);
        EXPECT_STREQ(t->str(), "PATH");
        EXPECT_STREQ(t->style_name(), "st");
        EXPECT_EQ(t->space(), 1.5);
        EXPECT_EQ(t->height(), 2.0);
        EXPECT_EQ(t->width_scale(), 0.5);
        EXPECT_EQ(t->offset(), 0.25);
        EXPECT_EQ(t->att(), 4u);
        EXPECT_TRUE(t->rotate180());
        EXPECT_TRUE(t->is_loop());
        EXPECT_TRUE(t->backword());
        EXPECT_FALSE(t->text_list().empty());
        // The path is a copy of the source's edge points.
        const Qe_Pt_Set& edge = static_cast<MB_Geom*>(object(c.source))->edge();
        ASSERT_EQ(t->pt_set().count(), edge.count());
        EXPECT_NE(t->pt_set().points(), edge.points());
        for (int i = 0; i < edge.count(); ++i) EXPECT_TRUE(near(t->pt_set()[i], edge[i])) << i;
    }

    MB_Line* unbuilt = nullptr;
    const double a[3] = {0, 0, 0}, b[3] = {1, 0, 0};
    ASSERT_TRUE(api_mb_create_line(unbuilt, a, b));
    MB_Text* text = nullptr;
    ASSERT_TRUE(api_mb_create_text(text, "t", nullptr, a, 1, 1, 0));
    const mb_handle point = api_mb_create_point(Qe_Pt(1, 1, 0), 0, 1);
    const Case refused[] = {
        {"selector 0", 0, 0},
        {"an unlisted selector", -3, 0},
        {"the layers", -11, 0},
        {"an empty selection", -2, 0},
        {"a text", reinterpret_cast<long>(static_cast<MB_Object*>(text)), 0},
        {"a point: no path", static_cast<long>(point), 0},
        {"a line not yet built: no path", reinterpret_cast<long>(static_cast<MB_Object*>(unbuilt)), 0},
    };
    const Snapshot before = snap();
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(api_mb_create_trace_text(c.path, "PATH", 1, 1, 1, 0, 4, false, false, false, nullptr, 0), 0);
        EXPECT_EQ(snap(), before);
    }
    EXPECT_EQ(api_mb_create_trace_text(static_cast<long>(chain), nullptr, 1, 1, 1, 0, 4, false, false, false, nullptr, 0), 0);
    EXPECT_EQ(snap(), before);
    op.reset();
    EXPECT_EQ(api_mb_create_trace_text(-1, "PATH", 1, 1, 1, 0, 4, false, false, false, nullptr, 0), 0);
}

// A text takes the drawing's style of its name (any case) and changes only its own copy; an
// unknown or missing name gives the default style.
TEST_F(Composite, TextStyles)
{
    MB_Text_Style* style = nullptr;
    ASSERT_TRUE(api_mb_create_text_style(style, "Notes", "txt.shx", nullptr, 9, 1, 0, 0, 0, 0));
    const double at[3] = {0, 0, 0};
    MB_Text* text = nullptr;
    ASSERT_TRUE(api_mb_create_text(text, "n", "NOTES", at, 2, 0.75, 0.5));
    ASSERT_NE(text->text_style(), style);
    EXPECT_STREQ(text->text_style()->name().ascii(), "Notes");
    EXPECT_EQ(text->text_style()->height(), 2.0);
    EXPECT_EQ(style->height(), 9.0);
    EXPECT_EQ(style->width_scale(), 1.0);

    for (const char* name : {"unknown", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(name ? name : "null");
        MB_Text* plain = nullptr;
        ASSERT_TRUE(api_mb_create_text(plain, "p", name, at, 3, 1, 0));
        EXPECT_STRNE(plain->text_style()->name().ascii(), "Notes");
        EXPECT_EQ(plain->text_style()->height(), 3.0);
    }
    auto* m = static_cast<MB_Mtext*>(object(api_mb_create_mtext(const_cast<char*>("m"), const_cast<char*>("notes"),
                                                                Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0), 0, 1, 1, 1, 1, 1)));
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->text_style()->name().ascii(), "Notes");
}

// Each creation inside a recorded command is undone and redone (a spline's tangents are
// recorded as modifications of the new spline); a command dropped after undo frees what it
// held.
TEST_F(Composite, UndoOfCreations)
{
    op->init_undoredo(d);
    // The first text of the process makes the shared default style and adds it to its drawing
    // unrecorded: made here, so that each step changes only what it creates.
    (void)mb_make_shared_text_style();
    const Qe_Pt pts[3] = {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}};
    std::unique_ptr<Qe_Loop> square = loop_of({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
    const double at[3] = {0, 0, 0};
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"spline", [&] { (void)api_mb_create_bspline(pts, 3, 1, 0, 0, 1, 0, 0); }},
        {"control spline", [&] { (void)api_mb_create_bspline(2, pts, 3, nullptr, 0, 0, 1, 0, 0, 1, 0); }},
        {"meshes", [&] {
             MB_Polygon_Mesh* m = nullptr;
             (void)api_mb_create_Polygon_mesh(m, 2, 2, 0, 0);
             (void)api_mb_create_polyface_mesh(3, 1);
         }},
        {"hatch", [&] {
             Qe_Void_List loops;
             loops.add(square.get());
             (void)api_mb_create_hatch(loops, const_cast<char*>("SOLID"), 1, 0, 0);
         }},
        {"texts", [&] {
             MB_Text* t = nullptr;
             (void)api_mb_create_text(t, "t", nullptr, at, 1, 1, 0);
             (void)api_mb_create_mtext(const_cast<char*>("m"), nullptr, Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0), 0, 1, 1, 1, 1, 1);
             (void)api_mb_create_arc_text(const_cast<char*>("a"), nullptr, 0, 0, 0, 5, 0, 1);
             Qe_Pt p(0, 0, 0);
             (void)api_mb_create_tolerance(p, 0, const_cast<char*>("T"), 1);
         }},
        {"styles", [&] {
             MB_Dim_Style* ds = nullptr;
             (void)api_mb_create_dim_style(ds, const_cast<char*>("D"));
             MB_Text_Style* ts = nullptr;
             (void)api_mb_create_text_style(ts, "S", "txt.shx", nullptr, 1, 1, 0, 0, 0, 0);
         }},
    };
    for (const auto& [what, step] : steps) {
        SCOPED_TRACE(what);
        undo_cycle<Snapshot>(what, step, [this] { return snap(); });
    }
}
