// Rotating, mirroring and scaling entity lists. The oracle: what each kind shows after the
// call (edge points, display runs, a reference's members, a group's members) lies within the
// chord error of what it showed before, mapped by the transform as the test computes it with
// plain cos and sin, both ways; kinds that cannot follow a transform are held to their key
// points, and kinds left alone to what they showed. Then the copies and lists a mirror makes,
// undo, refusals and pictures of a drawing of every kind.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/image_readers.h"
#include "common/test_output.h"
#include "geometry/loop.h"
#include "geometry/pt_set.h"
#include "geometry/transform.h"
#include "kernel/database/block.h"
#include "kernel/display/draw_node.h"
#include "kernel/display/view_fixture.h"
#include "kernel/entities/all_kinds.h"
#include "kernel/entities/dimension.h"
#include "kernel/entities/outline_oracle.h"
#include "kernel/operation/flat_transform.h"
#include "kernel/operation/image_output.h"
#include "kernel/operation/undo_redo.h"
#include "kernel/text/arc_text.h"
#include "kernel/text/mtext.h"
#include "kernel/text/text.h"
#include "kernel/text/text_fixture.h"
#include "kernel/text/text_style.h"
#include "kernel/text/tolerance_frame.h"

namespace {

using Runs = std::vector<Outline>;
using Map = std::function<Qe_Pt(const Qe_Pt&)>;

// ---- what an entity shows ----

void sets_runs(const Qe_Pt_Sets& s, const Qe_Tran& t, Runs& out)
{
    const Qe_Pt* p = s.points();
    for (mb_ulong r = 0; r < s.ptset_count(); ++r) {
        Outline run;
        for (mb_ulong i = 0; i < s.vals()[r]; ++i) run.push_back(*p++ * t);
        out.push_back(run);
    }
}

void set_run(const Qe_Pt_Set& s, const Qe_Tran& t, Runs& out)
{
    Outline run;
    for (int i = 0; i < s.count(); ++i) run.push_back(s.points()[i] * t);
    if (!run.empty()) out.push_back(run);
}

void node_runs(MB_Draw_Node* n, const Qe_Tran& t, Runs& out)
{
    if (!n) return;
    if (auto* s = dynamic_cast<MB_Draw_Lines_Set*>(n)) {
        set_run(*s, t, out);
    } else if (auto* s = dynamic_cast<MB_Draw_Lines_Sets*>(n)) {
        sets_runs(*s, t, out);
    } else if (auto* s = dynamic_cast<MB_Draw_Solid*>(n)) {
        set_run(*s, t, out);
    } else if (auto* s = dynamic_cast<MB_Draw_Solids*>(n)) {
        sets_runs(*s, t, out);
    } else if (auto* tr = dynamic_cast<MB_Draw_Trans*>(n)) {
        node_runs(tr->child(), tr->tran() * t, out);
    } else if (auto* g = dynamic_cast<MB_Draw_Nodes*>(n)) {
        for (MB_Draw_Node* m = g->node_list().head(); m; m = m->next()) node_runs(m, t, out);
    }
}

Runs shown(MB_Drawable& d)
{
    Runs out;
    const Qe_Tran none;
    if (auto* ins = dynamic_cast<MB_Insert*>(&d)) {
        out = exploded_outline(*ins, shown);
    } else if (auto* g = dynamic_cast<MB_Group*>(&d)) {
        for (Qe_Void_Node* n = g->object_list().head(); n; n = n->next()) {
            Runs r = shown(*static_cast<MB_Drawable*>(n->entity()));
            out.insert(out.end(), r.begin(), r.end());
        }
    } else if (auto* dim = dynamic_cast<MB_Dimension*>(&d)) {
        if (dim->insert()) return shown(*dim->insert());
        node_runs(dim->draw_node(), none, out);
    } else if (auto* m = dynamic_cast<MB_Mtext*>(&d)) {
        for (Qe_Void_Node* n = m->text_list().head(); n; n = n->next())
            node_runs(static_cast<MB_Text*>(n->entity())->draw_node(), none, out);
    } else if (auto* f = dynamic_cast<MB_Tolerance*>(&d)) {
        for (const auto& run : f->text_list()) node_runs(run->draw_node(), none, out);
        for (const auto& line : f->frame_list()) out.push_back({line->start(), line->end()});
    } else if (auto* image = dynamic_cast<MB_Image*>(&d)) {
        const Qe_Pt c = image->center();
        const double w = image->width() / 2, h = image->height() / 2;
        out.push_back({c + Qe_Vec(-w, -h, 0), c + Qe_Vec(w, -h, 0), c + Qe_Vec(w, h, 0), c + Qe_Vec(-w, h, 0),
                       c + Qe_Vec(-w, -h, 0)});
    } else {
        if (auto* h = dynamic_cast<MB_Hatch*>(&d)) {
            out = hatch_rings(*h);
            for (Qe_Void_Node* n = h->ptsets_list().head(); n; n = n->next())
                sets_runs(*static_cast<Qe_Pt_Sets*>(n->entity()), none, out);
        }
        if (auto* g = dynamic_cast<MB_Geom*>(&d)) set_run(g->edge(), none, out);
        node_runs(d.draw_node(), none, out);
    }
    return out;
}

// The points that fix where an entity is, each its own run.
Runs key_points(MB_Drawable& d)
{
    std::vector<Qe_Pt> k;
    if (auto* l = dynamic_cast<MB_Line*>(&d)) {
        k = {l->start(), l->end()};
    } else if (auto* c = dynamic_cast<MB_Lines*>(&d)) {
        k.assign(c->points(), c->points() + c->count());
    } else if (auto* c = dynamic_cast<MB_Circle*>(&d)) {
        k = {c->center()};
    } else if (auto* e = dynamic_cast<MB_Ellipse*>(&d)) {
        k = {e->center()};
    } else if (auto* p = dynamic_cast<MB_Point*>(&d)) {
        k = {p->point()};
    } else if (auto* p = dynamic_cast<MB_Polyline*>(&d)) {
        for (int i = 0; i < p->count(); ++i) k.push_back(p->pline_pos()[i].point);
    } else if (auto* v = dynamic_cast<MB_Vertex_Geom*>(&d)) {
        k.assign(v->vertices().points(), v->vertices().points() + v->vertices().count());
    } else if (auto* h = dynamic_cast<MB_Hatch*>(&d)) {
        for (const Outline& ring : hatch_rings(*h)) k.insert(k.end(), ring.begin(), ring.end() - 1);
    } else if (auto* i = dynamic_cast<MB_Image*>(&d)) {
        k = {i->center()};
    } else if (auto* i = dynamic_cast<MB_Insert*>(&d)) {
        k = {i->point()};
    } else if (auto* b = dynamic_cast<MB_Bspline*>(&d)) {
        k.assign(b->fitpts().points(), b->fitpts().points() + b->fitpts().count());
    } else if (auto* g = dynamic_cast<MB_Group*>(&d)) {
        Runs all{{g->base_pt()}};
        for (Qe_Void_Node* n = g->object_list().head(); n; n = n->next()) {
            Runs r = key_points(*static_cast<MB_Drawable*>(n->entity()));
            all.insert(all.end(), r.begin(), r.end());
        }
        return all;
    } else if (auto* t = dynamic_cast<MB_Text*>(&d)) {
        k = {t->base_pos()};
    } else if (auto* m = dynamic_cast<MB_Mtext*>(&d)) {
        k = {m->text_pos()};
    } else if (auto* dim = dynamic_cast<MB_Dimension*>(&d)) {
        k = {dim->insert_pt()};
    } else if (auto* f = dynamic_cast<MB_Tolerance*>(&d)) {
        k = {f->text_pos()};
    } else if (auto* a = dynamic_cast<MB_Arc_Text*>(&d)) {
        k = {a->center_pos()};
    }
    Runs out;
    for (const Qe_Pt& p : k) out.push_back({p});
    return out;
}

// The extent of an outline, for a tolerance relative to its size.
double extent(const Runs& runs)
{
    double lo_x = 1e300, hi_x = -1e300, lo_y = 1e300, hi_y = -1e300;
    for (const Outline& r : runs)
        for (const Qe_Pt& p : r) {
            lo_x = std::min(lo_x, p.x());
            hi_x = std::max(hi_x, p.x());
            lo_y = std::min(lo_y, p.y());
            hi_y = std::max(hi_y, p.y());
        }
    return runs.empty() ? 0.0 : std::max(hi_x - lo_x, hi_y - lo_y);
}

// ---- the scene ----

// How a kind answers the transforms.
enum class Follows {
    Whole,      // its shape follows every similarity
    Key,        // its key points follow, its look does not (markers, upright frames)
    Alone,      // rotation and scaling leave it; a mirror copies it unchanged
    // Rotation carries it whole, scaling its key points (a tolerance frame's margin is in
    // drawing units); a mirror makes no copy of it.
    No_Mirror,
    Never,      // left alone, and a mirror makes no copy of it
    // Left alone; its copy is a line (a ray copies as one), which a mirror carries.
    Copied_As_Line,
};

struct Kind {
    std::string name;
    Follows follows;
    std::function<MB_Drawable*(MB_Drawing&)> make;
};

MB_Block* block_of(MB_Drawing& d, const char* name, const Qe_Pt& base)
{
    if (MB_Block* b = d.find_block(name)) return b;
    auto* b = new MB_Block(base, MB_String(name), MB_String("d"));
    d.block_list().add_tail(b);
    return b;
}

MB_Text* box_text(text_test::Box_Fonts& fonts, const Qe_Pt& at, const char* s, double height, double angle)
{
    auto* t = new MB_Text(at, MB_String(s));
    t->text_style()->font_lib(fonts.lib("txt.shx"));
    t->text_style()->big_font_lib(fonts.lib("hztxt.shx"));
    t->text_style()->height(height);
    t->text_style()->width_scale(1.0);
    t->text_style()->angle(angle);
    return t;
}

MB_Mtext* box_mtext(text_test::Box_Fonts& fonts, const Qe_Pt& at, const char* s, const Qe_Vec& direction)
{
    auto* m = new MB_Mtext(at, s);
    m->text_style()->font_lib(fonts.lib("txt.shx"));
    m->text_style()->big_font_lib(fonts.lib("hztxt.shx"));
    m->text_style()->width_scale(1.0);
    m->set_base_ht(1.5);
    m->set_width(8.0);
    m->direction(direction);
    return m;
}

std::vector<Kind> kinds(text_test::Box_Fonts& fonts)
{
    std::vector<Kind> out;
    const std::set<std::string> key_only{"point", "image"};
    const std::set<std::string> alone{"face", "polygon mesh", "polyface mesh"};
    for (const all_kinds::Kind& k : all_kinds::kinds()) {
        const Follows f = key_only.count(k.name)  ? Follows::Key
                          : alone.count(k.name)   ? Follows::Alone
                          : std::string(k.name) == "ray" ? Follows::Copied_As_Line
                                                  : Follows::Whole;
        out.push_back({k.name, f, k.make});
    }
    out.push_back({"wide bulged polyline", Follows::Whole, [](MB_Drawing&) {
                       auto* v = new MB_Pline_Pos[4]{MB_Pline_Pos{{-10, -10, 0}, 0.6, 0.5, 1.0}, MB_Pline_Pos{{-6, -9, 0}, -0.4, 1.0, 0.2},
                                                     MB_Pline_Pos{{-4, -12, 0}, 0.0, 0.3, 0.3}, MB_Pline_Pos{{-8, -14, 0}, 1.0, 0.0, 0.0}};
                       return new MB_Polyline(true, 4, v);
                   }});
    out.push_back({"nested references", Follows::Whole, [](MB_Drawing& d) {
                       MB_Block* inner = block_of(d, "inner", Qe_Pt(1, 0, 0));
                       if (inner->object_list().is_empty()) {
                           inner->object_list().add_tail(new MB_Line(Qe_Pt(1, 0, 0), Qe_Pt(3, 1, 0)));
                           inner->object_list().add_tail(new MB_Arc(Qe_Pt(2, 0, 0), 1.0, 0.2, 2.0));
                       }
                       MB_Block* outer = block_of(d, "outer", Qe_Pt(0, 0, 0));
                       if (outer->object_list().is_empty()) {
                           outer->object_list().add_tail(new MB_Ellipse_Arc(Qe_Pt(0, 0, 0), 2.0, 1.0, 0.3, 0.5, 4.0));
                           auto* nested = new MB_Insert(Qe_Pt(2, 2, 0), 0.8, 1.5, 1.5, 1.0);
                           nested->block(inner);
                           outer->object_list().add_tail(nested);
                       }
                       auto* ins = new MB_Insert(Qe_Pt(12, -8, 0), 0.3, 1.2, 1.2, 1.0);
                       ins->block(outer);
                       return ins;
                   }});
    out.push_back({"text", Follows::Whole, [&fonts](MB_Drawing&) {
                       return box_text(fonts, Qe_Pt(-12, 6, 0), "AB C", 1.5, 0.4);
                   }});
    out.push_back({"multi-line text", Follows::Whole, [&fonts](MB_Drawing&) {
                       return box_mtext(fonts, Qe_Pt(-14, 14, 0), "ABC AB\\PCA", Qe_Vec(std::cos(2.0), std::sin(2.0), 0));
                   }});
    out.push_back({"multi-line text turned below", Follows::Whole, [&fonts](MB_Drawing&) {
                       return box_mtext(fonts, Qe_Pt(16, 14, 0), "AB CA", Qe_Vec(std::cos(-0.7), std::sin(-0.7), 0));
                   }});
    out.push_back({"dimension with reference", Follows::Whole, [](MB_Drawing& d) {
                       MB_Block* b = block_of(d, "*D1", Qe_Pt(0, 0, 0));
                       if (b->object_list().is_empty()) {
                           b->object_list().add_tail(new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(6, 0, 0)));
                           b->object_list().add_tail(new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(0, 2, 0)));
                           b->object_list().add_tail(new MB_Arc(Qe_Pt(6, 0, 0), 0.5, 1.0, 3.0));
                       }
                       auto* dim = new MB_Dimension;
                       dim->dim_pt2(Qe_Pt(-4, -20, 0));
                       dim->dim_pt3(Qe_Pt(2, -20, 0));
                       dim->definition_pt(Qe_Pt(2, -18, 0));
                       dim->block_name("*D1", d);
                       dim->insert_pt(Qe_Pt(-4, -20, 0));
                       return dim;
                   }});
    out.push_back({"dimension without reference", Follows::Never, [](MB_Drawing&) {
                       auto* dim = new MB_Dimension;
                       dim->dim_pt2(Qe_Pt(10, -20, 0));
                       dim->dim_pt3(Qe_Pt(16, -20, 0));
                       dim->definition_pt(Qe_Pt(16, -17, 0));
                       return dim;
                   }});
    out.push_back({"tolerance frame", Follows::No_Mirror, [](MB_Drawing&) {
                       auto* f = new MB_Tolerance(Qe_Pt(20, -14, 0), "%%v0.05%%vA\n%%v0.1%%vB%%v");
                       f->set_height(1.0);
                       f->angle(0.2);
                       return f;
                   }});
    out.push_back({"arc-aligned text", Follows::Never, [](MB_Drawing&) {
                       return new MB_Arc_Text(Qe_Pt(-20, -4, 0), 0.3, 2.8, 3.0, "", "ARC");
                   }});
    out.push_back({"group of texts and groups", Follows::Whole, [&fonts](MB_Drawing&) {
                       auto* g = new MB_Group;
                       g->base_pt(Qe_Pt(24, 20, 0));
                       g->object_list().add(box_text(fonts, Qe_Pt(24, 20, 0), "CAB", 1.0, 0.0));
                       auto* v = new MB_Pline_Pos[2]{MB_Pline_Pos{{22, 22, 0}, 0.5, 0.4, 0.4}, MB_Pline_Pos{{27, 23, 0}, 0.0, 0.0, 0.0}};
                       g->object_list().add(new MB_Polyline(false, 2, v));
                       auto* inner = new MB_Group;
                       inner->base_pt(Qe_Pt(26, 26, 0));
                       inner->object_list().add(box_mtext(fonts, Qe_Pt(26, 26, 0), "AB", Qe_Vec(1, 0, 0)));
                       inner->object_list().add(new MB_Ellipse(Qe_Pt(28, 18, 0), 2.0, 0.5, 1.0));
                       g->object_list().add(inner);
                       return g;
                   }});
    return out;
}

// A view showing a drawing of every kind; the entities in the order of kinds().
struct Scene {
    text_test::Box_Fonts fonts;
    View view{400, 300};
    std::vector<Kind> table = kinds(fonts);
    std::vector<MB_Drawable*> entities;
    Qe_Void_List list;

    Scene()
    {
        long colour = 0x2040A0;
        for (const Kind& k : table) {
            MB_Drawable* e = k.make(*view.drawing);
            e->general().color(colour);
            colour = (colour + 0x1F3B17) & 0xFFFFFF;
            view.drawing->add_object(e);
            entities.push_back(e);
            list.add(e);
        }
        view.drawing->build_draw();
    }
    MB_Drawing& drawing() { return *view.drawing; }
};

// ---- the transforms as the test computes them ----

struct Transform {
    std::string name;
    // The call; out receives a mirror's copies.
    std::function<bool(Qe_Void_List&, Qe_Void_List& out)> apply;
    Map map;
    bool mirror = false;
    // Rotations and uniform scales: every kind that can follow shows the mapped shape.
    bool similar = true;
    bool rotation = false;
};

Map turn(double px, double py, double a)
{
    return [=](const Qe_Pt& q) {
        const double x = q.x() - px, y = q.y() - py;
        return Qe_Pt(px + x * std::cos(a) - y * std::sin(a), py + x * std::sin(a) + y * std::cos(a), q.z());
    };
}

Map reflect(double px, double py, double a)
{
    return [=](const Qe_Pt& q) {
        const double x = q.x() - px, y = q.y() - py;
        const double c = std::cos(2 * a), s = std::sin(2 * a);
        return Qe_Pt(px + c * x + s * y, py + s * x - c * y, q.z());
    };
}

Map stretch(double px, double py, double sx, double sy)
{
    return [=](const Qe_Pt& q) { return Qe_Pt(px + sx * (q.x() - px), py + sy * (q.y() - py), q.z()); };
}

std::vector<Transform> transforms()
{
    std::vector<Transform> out;
    for (const auto& [px, py, a] : {std::tuple{3.0, -2.0, 0.7}, std::tuple{0.0, 0.0, -2.5}})
        out.push_back({"rotate " + std::to_string(a),
                       [=](Qe_Void_List& l, Qe_Void_List&) { return api_mb_rotate_entity_list(l, Qe_Pt(px, py, 0), a); },
                       turn(px, py, a), false, true, true});
    for (const auto& [px, py, a] : {std::tuple{1.0, 2.0, 0.4}, std::tuple{0.0, 0.0, M_PI / 2}, std::tuple{-3.0, 1.0, 2.9}})
        out.push_back({"mirror " + std::to_string(a),
                       [=](Qe_Void_List& l, Qe_Void_List& copies) {
                           return api_mb_mirror_entity_list(l, Qe_Pt(px, py, 0), Qe_Uvec(std::cos(a), std::sin(a), 0),
                                                            copies);
                       },
                       reflect(px, py, a), true});
    for (const auto& [px, py, sx, sy] : {std::tuple{1.0, 1.0, 2.0, 2.0}, std::tuple{2.0, 0.0, -1.5, -1.5},
                                          std::tuple{0.0, 3.0, -2.0, 2.0}, std::tuple{-1.0, 0.0, 0.5, -0.5},
                                          std::tuple{0.0, 0.0, 2.0, 0.5}, std::tuple{4.0, -1.0, -3.0, 1.5}}) {
        Transform t{"scale " + std::to_string(sx) + " " + std::to_string(sy),
                    [=](Qe_Void_List& l, Qe_Void_List&) { return api_mb_scale_entity_list(l, Qe_Pt(px, py, 0), sx, sy); },
                    stretch(px, py, sx, sy)};
        t.similar = std::fabs(sx) == std::fabs(sy);
        out.push_back(t);
    }
    return out;
}

// ---- tests ----

TEST(Flat_Transform, EveryKindShowsTheMappedShape)
{
    for (const Transform& tr : transforms()) {
        SCOPED_TRACE(tr.name);
        Scene s;
        std::vector<Runs> before, keys;
        for (MB_Drawable* e : s.entities) {
            before.push_back(shown(*e));
            keys.push_back(key_points(*e));
        }
        Qe_Void_List out;
        ASSERT_TRUE(tr.apply(s.list, out));
        std::vector<MB_Drawable*> copies;
        for (Qe_Void_Node* n = out.head(); n; n = n->next()) copies.push_back(static_cast<MB_Drawable*>(n->entity()));
        std::size_t next_copy = 0;
        for (std::size_t i = 0; i < s.entities.size(); ++i) {
            const Kind& k = s.table[i];
            SCOPED_TRACE(k.name);
            MB_Drawable* after = s.entities[i];
            if (tr.mirror) {
                // The source stays as it was.
                EXPECT_LT(deviation(shown(*after), before[i]), 1e-9);
                if (k.follows == Follows::Never || k.follows == Follows::No_Mirror) continue;
                if (next_copy >= copies.size()) {
                    ADD_FAILURE() << "no copy";
                    continue;
                }
                after = copies[next_copy++];
                if (k.follows == Follows::Copied_As_Line) {
                    EXPECT_EQ(after->object_id(), MB_Object::ID_LINE);
                    EXPECT_LT(deviation(key_points(*after), mapped(keys[i], tr.map)), 1e-9);
                    continue;
                }
                EXPECT_EQ(after->object_id(), s.entities[i]->object_id());
            }
            EXPECT_FALSE(keys[i].empty());
            const double tol = 0.01 * std::max(1.0, extent(before[i]));
            const bool unchanged =
                k.follows == Follows::Never || k.follows == Follows::Alone || k.follows == Follows::Copied_As_Line;
            if (unchanged) {
                EXPECT_LT(deviation(shown(*after), before[i]), 1e-9);
                EXPECT_LT(deviation(key_points(*after), keys[i]), 1e-9);
                continue;
            }
            const bool whole = k.follows == Follows::Whole || (k.follows == Follows::No_Mirror && tr.rotation);
            if (tr.similar && whole) {
                EXPECT_FALSE(before[i].empty());
                const double d = deviation(shown(*after), mapped(before[i], tr.map));
                EXPECT_LT(d, tol) << "extent " << extent(before[i]);
            }
            EXPECT_LT(deviation(key_points(*after), mapped(keys[i], tr.map)), 1e-9);
        }
        EXPECT_EQ(next_copy, copies.size());
    }
}


std::vector<MB_Object*> members(const MB_Object_List& list)
{
    std::vector<MB_Object*> out;
    for (MB_Object* o = list.get_head(); o; o = o->next()) out.push_back(o);
    return out;
}

std::vector<MB_Object*> items(const Qe_Void_List& list)
{
    std::vector<MB_Object*> out;
    for (Qe_Void_Node* n = list.head(); n; n = n->next()) out.push_back(static_cast<MB_Object*>(n->entity()));
    return out;
}

// After mirroring every kind: out holds, after what it held, exactly the copies that joined
// model space behind the sources, one per kind with a mirrored form, in list order; a group's
// copy keeps only the members that have one.
TEST(Flat_Transform, MirrorAppendsExactlyTheCopiesItKeeps)
{
    Scene s;
    auto* mixed = new MB_Group;
    mixed->object_list().add(new MB_Line(Qe_Pt(0, 40, 0), Qe_Pt(5, 40, 0)));
    mixed->object_list().add(new MB_Arc_Text(Qe_Pt(0, 44, 0), 0.3, 2.8, 3.0, "", "ARC"));
    mixed->object_list().add(new MB_Tolerance(Qe_Pt(2, 46, 0), "%%vA%%v"));
    auto* hollow = new MB_Group;
    hollow->object_list().add(new MB_Arc_Text(Qe_Pt(9, 44, 0), 0.3, 2.8, 3.0, "", "ARC"));
    for (MB_Group* g : {mixed, hollow}) {
        g->build_draw();
        s.drawing().add_object(g);
        s.entities.push_back(g);
        s.list.add(g);
    }
    const std::vector<MB_Object*> before = members(s.drawing().object_list());
    MB_Line held(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0));
    Qe_Void_List out;
    out.add(&held);
    ASSERT_TRUE(api_mb_mirror_entity_list(s.list, Qe_Pt(0, 0, 0), Qe_Uvec(0, 1, 0), out));

    const std::vector<MB_Object*> got = items(out);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front(), &held);
    const std::vector<MB_Object*> copies(got.begin() + 1, got.end());
    std::vector<MB_Object*> expected = before;
    expected.insert(expected.end(), copies.begin(), copies.end());
    EXPECT_EQ(members(s.drawing().object_list()), expected);

    std::size_t c = 0;
    for (std::size_t i = 0; i < s.table.size(); ++i) {
        const Follows f = s.table[i].follows;
        if (f == Follows::Never || f == Follows::No_Mirror) continue;
        ASSERT_LT(c, copies.size());
        const int id = f == Follows::Copied_As_Line ? MB_Object::ID_LINE : s.entities[i]->object_id();
        EXPECT_EQ(copies[c]->object_id(), id) << s.table[i].name;
        ++c;
    }
    // The mixed group's copy: only its line, mirrored; the group of an arc text gets none.
    ASSERT_EQ(c + 1, copies.size());
    auto* group_copy = dynamic_cast<MB_Group*>(copies.back());
    ASSERT_NE(group_copy, nullptr);
    ASSERT_EQ(group_copy->object_list().count(), 1);
    auto* line = dynamic_cast<MB_Line*>(static_cast<MB_Drawable*>(group_copy->object_list().head()->entity()));
    ASSERT_NE(line, nullptr);
    EXPECT_LT(deviation({{line->start(), line->end()}}, {{Qe_Pt(0, 40, 0), Qe_Pt(-5, 40, 0)}}), 1e-12);
    EXPECT_EQ(mixed->object_list().count(), 3);
}

// Two lines mirrored about the y axis: two new lines in the drawing and in out, the sources
// unchanged; with a block open, the copies join the block instead.
TEST(Flat_Transform, MirroredCopiesJoinTheOpenBlock)
{
    View v;
    auto* a = new MB_Line(Qe_Pt(1, 0, 0), Qe_Pt(2, 3, 0));
    auto* b = new MB_Line(Qe_Pt(4, 1, 0), Qe_Pt(5, -1, 0));
    v.drawing->add_object(a);
    v.drawing->add_object(b);
    Qe_Void_List list;
    list.add(a);
    list.add(b);
    Qe_Void_List out;
    ASSERT_TRUE(api_mb_mirror_entity_list(list, Qe_Pt(0, 0, 0), Qe_Uvec(0, 1, 0), out));
    ASSERT_EQ(out.count(), 2);
    EXPECT_EQ(v.drawing->object_list().count(), 4);
    auto* ma = static_cast<MB_Line*>(out.head()->entity());
    EXPECT_LT(deviation({{ma->start(), ma->end()}}, {{Qe_Pt(-1, 0, 0), Qe_Pt(-2, 3, 0)}}), 1e-12);
    EXPECT_EQ(deviation({{a->start(), a->end()}}, {{Qe_Pt(1, 0, 0), Qe_Pt(2, 3, 0)}}), 0.0);

    auto* block = new MB_Block(Qe_Pt(0, 0, 0), MB_String("open"), MB_String("d"));
    v.drawing->open_block(block);
    Qe_Void_List into_block;
    ASSERT_TRUE(api_mb_mirror_entity_list(list, Qe_Pt(0, 0, 0), Qe_Uvec(1, 0, 0), into_block));
    EXPECT_EQ(members(block->object_list()), items(into_block));
    EXPECT_EQ(v.drawing->object_list().count(), 4);
    ASSERT_TRUE(v.drawing->close_block(block));
}

// Each call inside a recorded command is undone and redone whole: every entity shows what it
// showed before (after), and model space holds what it held.
TEST(Flat_Transform, UndoAndRedoOfEachCall)
{
    const std::vector<std::pair<const char*, std::function<bool(Qe_Void_List&, Qe_Void_List&)>>> calls = {
        {"rotate", [](Qe_Void_List& l, Qe_Void_List&) { return api_mb_rotate_entity_list(l, Qe_Pt(1, 2, 0), 0.9); }},
        {"scale", [](Qe_Void_List& l, Qe_Void_List&) { return api_mb_scale_entity_list(l, Qe_Pt(1, 2, 0), -2.0, 1.5); }},
        {"mirror",
         [](Qe_Void_List& l, Qe_Void_List& out) {
             return api_mb_mirror_entity_list(l, Qe_Pt(1, 2, 0), Qe_Uvec(1, 1, 0), out);
         }},
    };
    for (const auto& [what, call] : calls) {
        SCOPED_TRACE(what);
        Scene s;
        MB_Operation& op = *s.view.op;
        op.init_undoredo(&s.drawing());
        const auto snap = [&] {
            std::vector<Runs> r;
            for (MB_Drawable* e : s.entities) r.push_back(shown(*e));
            return r;
        };
        const auto same = [&](const std::vector<Runs>& a, const std::vector<Runs>& b) {
            for (std::size_t i = 0; i < a.size(); ++i)
                EXPECT_LT(deviation(a[i], b[i]), 1e-9) << s.table[i].name;
        };
        const std::vector<Runs> before = snap();
        const std::vector<MB_Object*> list_before = members(s.drawing().object_list());
        Qe_Void_List out;
        op.rec_cmd_begin(what);
        ASSERT_TRUE(call(s.list, out));
        op.rec_cmd_end();
        const std::vector<Runs> after = snap();
        const std::vector<MB_Object*> list_after = members(s.drawing().object_list());
        // A group's copy gets its members back on redo.
        const auto group_sizes = [&] {
            std::vector<int> n;
            for (MB_Object* o : items(out))
                if (auto* g = dynamic_cast<MB_Group*>(o)) n.push_back(g->object_list().count());
            return n;
        };
        const std::vector<int> sizes_after = group_sizes();
        Qe_Void_List touched;
        op.undo(touched);
        for (MB_Drawable* e : s.entities) e->build_draw();
        same(snap(), before);
        EXPECT_EQ(members(s.drawing().object_list()), list_before);
        touched.clear();
        op.redo(touched);
        for (MB_Drawable* e : s.entities) e->build_draw();
        same(snap(), after);
        EXPECT_EQ(members(s.drawing().object_list()), list_after);
        EXPECT_EQ(group_sizes(), sizes_after);
    }
}

// Refused calls: false, and nothing changes, out included.
TEST(Flat_Transform, RefusalsChangeNothing)
{
    const double nan = std::nan(""), inf = INFINITY;
    const std::vector<std::pair<const char*, std::function<bool(Qe_Void_List&, Qe_Void_List&)>>> calls = {
        {"rotate by NaN", [=](Qe_Void_List& l, Qe_Void_List&) { return api_mb_rotate_entity_list(l, Qe_Pt(0, 0, 0), nan); }},
        {"rotate by infinity", [=](Qe_Void_List& l, Qe_Void_List&) { return api_mb_rotate_entity_list(l, Qe_Pt(0, 0, 0), inf); }},
        {"rotate about NaN", [=](Qe_Void_List& l, Qe_Void_List&) { return api_mb_rotate_entity_list(l, Qe_Pt(nan, 0, 0), 1.0); }},
        {"scale x by 0", [](Qe_Void_List& l, Qe_Void_List&) { return api_mb_scale_entity_list(l, Qe_Pt(0, 0, 0), 0.0, 2.0); }},
        {"scale y by 0", [](Qe_Void_List& l, Qe_Void_List&) { return api_mb_scale_entity_list(l, Qe_Pt(0, 0, 0), 2.0, -0.0); }},
        {"scale by NaN", [=](Qe_Void_List& l, Qe_Void_List&) { return api_mb_scale_entity_list(l, Qe_Pt(0, 0, 0), 2.0, nan); }},
        {"scale by infinity", [=](Qe_Void_List& l, Qe_Void_List&) { return api_mb_scale_entity_list(l, Qe_Pt(0, 0, 0), -inf, 1.0); }},
        {"mirror along nothing",
         [](Qe_Void_List& l, Qe_Void_List& out) { return api_mb_mirror_entity_list(l, Qe_Pt(0, 0, 0), Qe_Uvec(0, 0, 1), out); }},
        {"mirror along NaN",
         [=](Qe_Void_List& l, Qe_Void_List& out) { return api_mb_mirror_entity_list(l, Qe_Pt(0, 0, 0), Qe_Uvec(nan, 1, 0), out); }},
        {"mirror about infinity",
         [=](Qe_Void_List& l, Qe_Void_List& out) { return api_mb_mirror_entity_list(l, Qe_Pt(0, inf, 0), Qe_Uvec(1, 0, 0), out); }},
    };
    Scene s;
    std::vector<Runs> before;
    for (MB_Drawable* e : s.entities) before.push_back(shown(*e));
    const std::vector<MB_Object*> list_before = members(s.drawing().object_list());
    for (const auto& [what, call] : calls) {
        SCOPED_TRACE(what);
        Qe_Void_List out;
        EXPECT_FALSE(call(s.list, out));
        EXPECT_TRUE(out.is_empty());
        Qe_Void_List empty;
        EXPECT_FALSE(call(empty, out));
    }
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_LT(deviation(shown(*s.entities[i]), before[i]), 1e-12) << s.table[i].name;
    EXPECT_EQ(members(s.drawing().object_list()), list_before);
}

// Without an active drawing the copies would belong to no one: none is made.
TEST(Flat_Transform, MirrorWithoutActiveDrawingMakesNothing)
{
    ASSERT_EQ(api_active_operation(), nullptr);
    MB_Line line(Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0));
    Qe_Void_List list, out;
    list.add(&line);
    EXPECT_FALSE(api_mb_mirror_entity_list(list, Qe_Pt(0, 0, 0), Qe_Uvec(1, 0, 0), out));
    EXPECT_TRUE(out.is_empty());
    EXPECT_TRUE(api_mb_rotate_entity_list(list, Qe_Pt(0, 0, 0), M_PI));
    EXPECT_LT(deviation({{line.start(), line.end()}}, {{Qe_Pt(0, 0, 0), Qe_Pt(-1, -1, 0)}}), 1e-12);
}


// The values the calls leave, where the picture alone would not pin them.
TEST(Flat_Transform, ValuesAfterEachCall)
{
    View v;
    const auto one = [](MB_Drawable* e) {
        auto list = std::make_unique<Qe_Void_List>();
        list->add(e);
        return list;
    };

    // A reference turned a quarter about the origin: (1, 0) goes to (0, 1), the angle grows.
    auto* door = all_kinds::door_block(*v.drawing);
    auto* ins = new MB_Insert(Qe_Pt(1, 0, 0), 0.25, 1, 1, 1);
    ins->block(door);
    v.drawing->add_object(ins);
    ASSERT_TRUE(api_mb_rotate_entity_list(*one(ins), Qe_Pt(0, 0, 0), M_PI / 2));
    EXPECT_LT((ins->point() - Qe_Pt(0, 1, 0)).len(), 1e-12);
    EXPECT_NEAR(ins->angle(), 0.25 + M_PI / 2, 1e-12);

    // The pattern scale is multiplied by |k| (k the x factor when it is not 1), never reset.
    auto* h = new MB_Hatch;
    h->loop_add(all_kinds::ring(0, 0, 4, 4));
    h->get_hatchtype()->scale(2.0);
    v.drawing->add_object(h);
    ASSERT_TRUE(api_mb_scale_entity_list(*one(h), Qe_Pt(0, 0, 0), 1.0, 1.0));
    EXPECT_DOUBLE_EQ(h->get_hatchtype()->scale(), 2.0);
    ASSERT_TRUE(api_mb_scale_entity_list(*one(h), Qe_Pt(0, 0, 0), -3.0, 2.0));
    EXPECT_DOUBLE_EQ(h->get_hatchtype()->scale(), 6.0);
    ASSERT_TRUE(api_mb_scale_entity_list(*one(h), Qe_Pt(0, 0, 0), 1.0, 0.5));
    EXPECT_DOUBLE_EQ(h->get_hatchtype()->scale(), 3.0);

    // A text under a negative factor takes |k| as its height and reads mirrored.
    auto* text = new MB_Text(Qe_Pt(2, 1, 0), MB_String("AB"));
    text->text_style()->height(1.5);
    v.drawing->add_object(text);
    ASSERT_TRUE(api_mb_scale_entity_list(*one(text), Qe_Pt(0, 0, 0), -2.0, 2.0));
    EXPECT_DOUBLE_EQ(text->text_style()->height(), 3.0);
    EXPECT_TRUE(text->text_style()->font_style() & MB_Text_Style::Mirror_Across_Direction);
    EXPECT_LT((text->base_pos() - Qe_Pt(-4, 2, 0)).len(), 1e-12);

    // A multi-line text's direction is read by its angle (atan2; none for the zero vector),
    // so a direction that is not a unit vector turns as well.
    auto* m = new MB_Mtext(Qe_Pt(0, 0, 0), "A");
    v.drawing->add_object(m);
    ASSERT_TRUE(api_mb_rotate_entity_list(*one(m), Qe_Pt(0, 0, 0), 0.5));
    EXPECT_LT((m->direction() - Qe_Vec(std::cos(0.5), std::sin(0.5), 0)).len(), 1e-12);
    m->direction(Qe_Vec(-3, -4, 0));
    ASSERT_TRUE(api_mb_rotate_entity_list(*one(m), Qe_Pt(0, 0, 0), 0.0));
    EXPECT_LT((m->direction() - Qe_Vec(-0.6, -0.8, 0)).len(), 1e-12);

    // A mirrored elliptic arc: the eccentric angles of the mapped ends on the new axes, its
    // start and end exchanged.
    auto* arc = new MB_Ellipse_Arc(Qe_Pt(0, 0, 0), 4.0, 1.0, 0.0, 0.5, 2.0);
    v.drawing->add_object(arc);
    Qe_Void_List out;
    ASSERT_TRUE(api_mb_mirror_entity_list(*one(arc), Qe_Pt(0, 0, 0), Qe_Uvec(1, 0, 0), out));
    auto* copy = dynamic_cast<MB_Ellipse_Arc*>(static_cast<MB_Object*>(out.head()->entity()));
    ASSERT_NE(copy, nullptr);
    EXPECT_NEAR(copy->start_param(), 2 * M_PI - 2.0, 1e-12);
    EXPECT_NEAR(copy->end_param(), 2 * M_PI - 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(arc->start_param(), 0.5);

    // A dimension without its reference is left as it is, and not rebuilt.
    auto* dim = new MB_Dimension;
    dim->dim_pt3(Qe_Pt(5, 0, 0));
    v.drawing->add_object(dim);
    ASSERT_TRUE(api_mb_rotate_entity_list(*one(dim), Qe_Pt(0, 0, 0), 1.0));
    ASSERT_TRUE(api_mb_scale_entity_list(*one(dim), Qe_Pt(0, 0, 0), 2.0, 2.0));
    EXPECT_EQ((dim->dim_pt3() - Qe_Pt(5, 0, 0)).len(), 0.0);
    EXPECT_EQ(dim->draw_node(), nullptr);
}


// ---- pictures ----

// A picture of the shown entities of a drawing over a fixed world square.
struct Picture {
    static constexpr double k_half = 50.0;  // world units either side of the origin
    static constexpr int k_size = 800;      // pixels a side
    static constexpr double k_scale = k_size / (2 * k_half);
    Rgb_Image image;

    bool take(View& v, const std::string& name)
    {
        Qe_Rect area(Qe_Pt(-k_half, k_half, 0), Qe_Pt(k_half, -k_half, 0));
        std::string png = test_output_path(name);
        return v.r->export_image(png.data(), area, 0, k_size, 0, RGB(255, 255, 255), 96) && read_png(png, image) &&
               image.width == k_size && image.height == k_size;
    }
    static Qe_Pt world(int x, int y) { return Qe_Pt(-k_half + (x + 0.5) / k_scale, k_half - (y + 0.5) / k_scale, 0); }
    // The pixel's colour, or white outside the picture.
    COLORREF at(const Qe_Pt& w, int dx, int dy) const
    {
        const int x = static_cast<int>(std::floor((w.x() + k_half) * k_scale)) + dx;
        const int y = static_cast<int>(std::floor((k_half - w.y()) * k_scale)) + dy;
        return x < 0 || y < 0 || x >= image.width || y >= image.height ? RGB(255, 255, 255) : image.at(x, y);
    }
};

// Inked pixels of a, and how many of them, carried through m into b, find no pixel of their
// colour within two pixels there.
std::pair<int, int> unmatched(const Picture& a, const Picture& b, const Map& m)
{
    int inked = 0, misses = 0;
    for (int y = 0; y < a.image.height; ++y)
        for (int x = 0; x < a.image.width; ++x) {
            const COLORREF c = a.image.at(x, y);
            if (c == RGB(255, 255, 255)) continue;
            ++inked;
            const Qe_Pt w = m(Picture::world(x, y));
            bool found = false;
            for (int dy = -2; dy <= 2 && !found; ++dy)
                for (int dx = -2; dx <= 2 && !found; ++dx) found = b.at(w, dx, dy) == c;
            misses += !found;
        }
    return {inked, misses};
}

// A drawing of every kind, pictured as a PNG under the build folder before and after each
// call. Each kind that follows the transform is also pictured alone, before and after, and
// the two pictures are compared pixel by pixel both ways through the transform. The
// transformed drawing's curves also go out as a JPEG, read back.
TEST(Flat_Transform, PicturesOfEveryKindAgreeThroughTheTransform)
{
    struct Call {
        const char* name;
        std::function<bool(Qe_Void_List&, Qe_Void_List&)> apply;
        Map forth, back;
    };
    const std::vector<Call> calls = {
        {"rotated", [](Qe_Void_List& l, Qe_Void_List&) { return api_mb_rotate_entity_list(l, Qe_Pt(2, 1, 0), 0.6); },
         turn(2, 1, 0.6), turn(2, 1, -0.6)},
        {"mirrored",
         [](Qe_Void_List& l, Qe_Void_List& out) {
             return api_mb_mirror_entity_list(l, Qe_Pt(0, -2, 0), Qe_Uvec(std::cos(1.1), std::sin(1.1), 0), out);
         },
         reflect(0, -2, 1.1), reflect(0, -2, 1.1)},
        {"scaled",
         [](Qe_Void_List& l, Qe_Void_List&) { return api_mb_scale_entity_list(l, Qe_Pt(1, 0, 0), -1.25, 1.25); },
         stretch(1, 0, -1.25, 1.25), stretch(1, 0, -0.8, 0.8)},
    };
    for (const Call& call : calls) {
        SCOPED_TRACE(call.name);
        Scene s;
        const auto show_only = [&](const std::vector<MB_Drawable*>& all, MB_Drawable* one) {
            for (MB_Drawable* e : all) e->flag(e == one ? MB_Drawable::State_Normal : MB_Drawable::State_Hidden);
        };
        // The hatch's pattern lines are held to the outline oracle only. A pattern's lattice
        // is anchored at the drawing's origin (a stored hatch keeps no origin of its own), so
        // after a turn or mirror about another point its lines are the pattern's lines of the
        // new boundary, not the old lines carried over: pictured alone they differ by a phase.
        std::vector<std::size_t> followers;
        for (std::size_t i = 0; i < s.entities.size(); ++i)
            if (s.table[i].follows == Follows::Whole && s.table[i].name != "hatch with islands") followers.push_back(i);
        Picture whole_before;
        ASSERT_TRUE(whole_before.take(s.view, std::string("every_kind_before_") + call.name + ".png"));
        std::vector<Picture> before(s.entities.size());
        for (std::size_t i : followers) {
            show_only(s.entities, s.entities[i]);
            ASSERT_TRUE(before[i].take(s.view, "every_kind_one.png"));
        }
        for (MB_Drawable* e : s.entities) e->flag(MB_Drawable::State_Normal);

        Qe_Void_List out;
        ASSERT_TRUE(call.apply(s.list, out));
        // What each kind became: itself, or its copy.
        std::vector<MB_Drawable*> result = s.entities;
        std::vector<MB_Drawable*> all = s.entities;
        if (!out.is_empty()) {
            std::size_t c = 0;
            for (std::size_t i = 0; i < s.table.size(); ++i) {
                const Follows f = s.table[i].follows;
                if (f == Follows::Never || f == Follows::No_Mirror) continue;
                result[i] = static_cast<MB_Drawable*>(items(out)[c++]);
                all.push_back(result[i]);
            }
            for (MB_Drawable* e : s.entities) e->flag(MB_Drawable::State_Hidden);
        }
        Picture whole_after;
        ASSERT_TRUE(whole_after.take(s.view, std::string("every_kind_") + call.name + ".png"));
        for (std::size_t i : followers) {
            SCOPED_TRACE(s.table[i].name);
            show_only(all, result[i]);
            Picture after;
            ASSERT_TRUE(after.take(s.view, "every_kind_one.png"));
            const auto [inked_after, missed_after] = unmatched(after, before[i], call.back);
            const auto [inked_before, missed_before] = unmatched(before[i], after, call.forth);
            EXPECT_GT(inked_before, 20);
            EXPECT_LE(missed_after, inked_after / 50) << inked_after;
            EXPECT_LE(missed_before, inked_before / 50) << inked_before;
        }
        const std::vector<MB_Drawable*> shown_now = [&] {
            std::vector<MB_Drawable*> v;
            for (std::size_t i : followers) v.push_back(result[i]);
            return v;
        }();

        Qe_Void_List curves;
        for (MB_Drawable* e : shown_now) curves.add(e);
        std::string jpeg = test_output_path(std::string("every_kind_") + call.name + ".jpg");
        ASSERT_TRUE(api_out_put_image(jpeg.data(), 0, 300, 0, 0, curves));
        Rgb_Image decoded;
        ASSERT_TRUE(read_jpeg(jpeg, decoded));
        EXPECT_EQ(decoded.height, 300);
    }
}

}  // namespace
