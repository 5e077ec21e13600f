// Exploding a block reference: each copy shows what the reference showed. The oracle maps
// each member's drawn outline through the reference and compares it, both ways, with the
// copy's outline (within the tessellations' chord error), and compares the pixels of the
// drawn reference with those of the drawn copies.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "geometry/loop.h"
#include "geometry/transform.h"
#include "kernel/database/block.h"
#include "kernel/entities/bspline.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/group.h"
#include "kernel/entities/ellipse.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entities/full_transform.h"
#include "kernel/entities/hatch.h"
#include "kernel/entities/hatch_lines.h"
#include "kernel/entities/outline_oracle.h"
#include "kernel/entities/image.h"
#include "kernel/entities/insert.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/polyline.h"
#include "kernel/entities/solid.h"
#include "platform/ximage.h"

using namespace entity_test;

namespace {

constexpr double k_deg = M_PI / 180.0;

// The points that show an entity, in world coordinates, one run per drawn piece: edge points,
// corners, hatch loops; a reference's through its exploded copies.
std::vector<Outline> outline(MB_Drawable& d)
{
    if (auto* ins = dynamic_cast<MB_Insert*>(&d)) return exploded_outline(*ins, outline);
    if (auto* h = dynamic_cast<MB_Hatch*>(&d)) return hatch_rings(*h);
    if (auto* g = dynamic_cast<MB_Geom*>(&d)) {
        Qe_Pt_Set& e = g->edge();
        return {Outline(e.points(), e.points() + e.count())};
    }
    return {};
}

MB_Pline_Pos vertex(double x, double y, double bulge = 0, double w0 = 0, double w1 = 0)
{
    MB_Pline_Pos v;
    v.point = Qe_Pt(x, y, 0);
    v.bulge = bulge;
    v.start_width = w0;
    v.end_width = w1;
    return v;
}

// The polyline takes an array made with new[].
MB_Polyline* polyline(const std::vector<MB_Pline_Pos>& v)
{
    auto* owned = new MB_Pline_Pos[v.size()];
    std::copy(v.begin(), v.end(), owned);
    return new MB_Polyline(false, static_cast<unsigned short>(v.size()), owned);
}

MB_Hatch* solid_hatch(std::vector<Qe_Pt> ring)
{
    auto* h = new MB_Hatch;
    h->loop_add(new Qe_Loop(ring.data(), static_cast<int>(ring.size())));
    h->get_hatchtype()->name(MB_String("_SOLID"));
    return h;
}

struct Scene {
    MB_Drawing drawing;
    MB_Block* block = nullptr;
    MB_Block* inner = nullptr;
};

// The block of every kind that explodes (base point (3, 1)), and a nested reference at the
// given angle to a block of a line and an arc (base point (1, 0)).
void build_scene(Scene& s, bool bulged_wide_polyline, double nested_angle)
{
    s.inner = new MB_Block(Qe_Pt(1, 0, 0), MB_String("inner"), MB_String("d"));
    s.inner->object_list().add_tail(new MB_Line(Qe_Pt(1, 0, 0), Qe_Pt(3, 1, 0)));
    s.inner->object_list().add_tail(new MB_Arc(Qe_Pt(2, 0, 0), 1.0, 0.2, 2.0));
    s.drawing.block_list().add_tail(s.inner);
    s.block = new MB_Block(Qe_Pt(3, 1, 0), MB_String("outer"), MB_String("d"));
    MB_Object_List& m = s.block->object_list();
    m.add_tail(new MB_Circle(Qe_Pt(2, 3, 0), 1.5));
    m.add_tail(new MB_Arc(Qe_Pt(6, 1, 0), 2.0, 0.3, 2.5));
    m.add_tail(new MB_Arc(Qe_Pt(6, 1, 0), 1.0, 5.5, 1.0));  // through angle 0
    m.add_tail(new MB_Ellipse(Qe_Pt(-2, 2, 0), 3.0, 1.0, 0.4));
    m.add_tail(new MB_Ellipse_Arc(Qe_Pt(0, -3, 0), 3.0, 1.2, 0.2, 0.5, 4.0));
    m.add_tail(new MB_Ellipse_Arc(Qe_Pt(0, -3, 0), 2.0, 1.0, 1.0, 5.0, 1.5));  // through parameter 0
    if (bulged_wide_polyline)
        m.add_tail(polyline({vertex(-4, -1, 0, 0.2, 0.4), vertex(-1, -1, 0.5, 0.4, 0.4), vertex(1, 1)}));
    else
        m.add_tail(polyline({vertex(-4, -1), vertex(-1, -1), vertex(1, 1)}));
    m.add_tail(new MB_Solid(Qe_Pt(7, 4, 0), Qe_Pt(9, 4, 0), Qe_Pt(7, 5, 0), Qe_Pt(9, 6, 0)));
    m.add_tail(solid_hatch({{-5, 4, 0}, {-3, 4, 0}, {-3, 6, 0}, {-5, 6, 0}}));
    auto* raster = new CxImage;
    EXPECT_TRUE(raster->Create(2, 2, 24));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) raster->SetPixelColor(x, y, RGBQUAD{40, static_cast<BYTE>(90 * x), static_cast<BYTE>(90 * y), 0});
    auto* image = new MB_Image(raster);
    image->center(Qe_Pt(-6, -4, 0));
    image->width(2.0);
    image->height(1.5);
    m.add_tail(image);
    auto* nested = new MB_Insert(Qe_Pt(4, 4, 0), nested_angle, 1.5, 1.0, 1.0);
    nested->block(s.inner);
    m.add_tail(nested);
    long colour = 0x101010;
    for (MB_Object* o = m.get_head(); o; o = o->next()) {
        static_cast<MB_Drawable*>(o)->general().color(colour);
        colour += 0x151515;
    }
    s.drawing.block_list().add_tail(s.block);
    s.drawing.build_draw();
}

// Every non-white pixel of one raster has a non-white pixel within one pixel in the other.
int unmatched(const Raster& a, const Raster& b, int w, int h)
{
    auto inked = [](const Raster& r, int x, int y) { return r.pixel(x, y) != RGB(255, 255, 255); };
    int misses = 0;
    for (int y = 1; y + 1 < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            if (!inked(a, x, y)) continue;
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx) found = inked(b, x + dx, y + dy);
            misses += !found;
        }
    return misses;
}

struct Exploded {
    std::vector<std::unique_ptr<MB_Drawable>> copies;
};

Exploded explode(MB_Insert& ins)
{
    MB_Drawing into;
    ins.explode(&into);
    Exploded out;
    while (MB_Object* o = into.object_list().get_head()) {
        into.object_list().remove(o);
        o->next(nullptr);
        o->prev(nullptr);
        out.copies.emplace_back(static_cast<MB_Drawable*>(o));
    }
    return out;
}

void check_explode(double sx, double sy, bool bulged_wide_polyline, double nested_angle)
{
    Scene s;
    build_scene(s, bulged_wide_polyline, nested_angle);
    MB_Insert ins(Qe_Pt(10, 5, 0), 30 * k_deg, sx, sy, 1);
    ins.block(s.block);
    ins.build_draw();
    const Qe_Tran m = s.block->tran() * ins.trans();
    Exploded ex = explode(ins);
    ASSERT_EQ(static_cast<long>(ex.copies.size()), s.block->object_list().count());

    int i = 0;
    for (MB_Object* o = s.block->object_list().get_head(); o; o = o->next(), ++i) {
        auto& member = *static_cast<MB_Drawable*>(o);
        MB_Drawable& copy = *ex.copies[i];
        SCOPED_TRACE("member " + std::to_string(i) + " (id " + std::to_string(member.object_id()) + ")");
        EXPECT_EQ(copy.general().color(), member.general().color());
        if (auto* image = dynamic_cast<MB_Image*>(&member)) {
            // Its frame stays axis-aligned: centre mapped, sides scaled along their axes.
            auto& c = dynamic_cast<MB_Image&>(copy);
            EXPECT_NEAR((c.center() - image->center() * m).len(), 0.0, 1e-9);
            EXPECT_NEAR(c.width(), image->width() * std::fabs(sx), 1e-9);
            EXPECT_NEAR(c.height(), image->height() * std::fabs(sy), 1e-9);
            continue;
        }
        const double dev = deviation(outline(copy), mapped(outline(member), m));
        // The chord error of two tessellations of a curve a few units across, at most.
        EXPECT_LT(dev, 0.02);
    }

    // The copies draw the reference's pixels.
    constexpr int w = 320, h = 320;
    const Qe_Tran view = scale_transf(6.0) * translate_transf(Qe_Vec(60, 160, 0));
    Raster shown(w, h), copies(w, h);
    Qe_Tran v = view;
    ins.draw(nullptr, shown.q, v);
    for (auto& c : ex.copies) {
        copies.q.SetColor(static_cast<unsigned long>(c->general().color()), true);
        c->draw(nullptr, copies.q, v);
    }
    EXPECT_GT(shown.drawn(), 1000);
    EXPECT_EQ(unmatched(shown, copies, w, h), 0);
    EXPECT_EQ(unmatched(copies, shown, w, h), 0);
}

TEST(Insert_Explode, TurnedMirroredScaledReferenceShowsTheSame)
{
    check_explode(2, -2, true, 20 * k_deg);
}

TEST(Insert_Explode, NonUniformScaleForKindsThatHoldIt)
{
    check_explode(2, -1.5, false, 0);
}

// Circles and arcs become ellipses under a non-uniform map, mirrored arcs keep running
// counter-clockwise, and widths and bulges follow the map.
TEST(Full_Transform, KindsChangeWhereTheyMust)
{
    const Qe_Tran squash = scale_transf(2, 1, 1);
    MB_Circle circle(Qe_Pt(1, 1, 0), 1.0);
    std::unique_ptr<MB_Drawable> made(apply_full_transform(circle, squash));
    ASSERT_NE(made.get(), &circle);
    auto* e = dynamic_cast<MB_Ellipse*>(made.get());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->object_id(), MB_Object::ID_ELLIPSE);
    EXPECT_NEAR(e->major(), 2.0, 1e-12);
    EXPECT_NEAR(e->minor(), 1.0, 1e-12);
    EXPECT_NEAR(std::sin(e->angle()), 0.0, 1e-12);
    EXPECT_TRUE(pt_eq(e->center(), Qe_Pt(2, 1, 0)));
    EXPECT_EQ(circle.radius(), 1.0) << "the source stays as it was";

    MB_Arc arc(Qe_Pt(0, 0, 0), 1.0, 0.0, M_PI / 2);
    std::unique_ptr<MB_Drawable> arc_made(apply_full_transform(arc, squash));
    auto* ea = dynamic_cast<MB_Ellipse_Arc*>(arc_made.get());
    ASSERT_NE(ea, nullptr);
    EXPECT_NEAR((ea->get_para_pos(ea->start_param()) - Qe_Pt(2, 0, 0)).len(), 0.0, 1e-12);
    EXPECT_NEAR((ea->get_para_pos(ea->end_param()) - Qe_Pt(0, 1, 0)).len(), 0.0, 1e-12);

    // A mirror in y: the quarter from (1, 0) to (0, 1) becomes the one from (0, −1) to (1, 0).
    const Qe_Tran mirror = reflect_transf(Qe_Vec(0, 1, 0)) * scale_transf(3.0);
    MB_Arc m(Qe_Pt(0, 0, 0), 1.0, 0.0, M_PI / 2);
    ASSERT_EQ(apply_full_transform(m, mirror), &m);
    EXPECT_NEAR(m.radius(), 3.0, 1e-12);
    EXPECT_NEAR(m.start_angle(), 1.5 * M_PI, 1e-12);
    EXPECT_NEAR(m.end_angle(), 0.0, 1e-12);

    std::unique_ptr<MB_Polyline> owner(polyline({vertex(0, 0, 0.5, 1, 2), vertex(4, 0)}));
    MB_Polyline& p = *owner;
    p.global_width(0.5);
    ASSERT_EQ(apply_full_transform(p, mirror), &p);
    EXPECT_EQ(p.pline_pos()[0].bulge, -0.5);
    EXPECT_NEAR(p.pline_pos()[0].start_width, 3.0, 1e-12);
    EXPECT_NEAR(p.pline_pos()[0].end_width, 6.0, 1e-12);
    EXPECT_NEAR(p.global_width(), 1.5, 1e-12);
    EXPECT_TRUE(pt_eq(p.pline_pos()[1].point, Qe_Pt(12, 0, 0)));

    // A hatch's pattern turns and scales with it; its loops move.
    MB_Hatch h;
    const Qe_Pt ring[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    h.loop_add(new Qe_Loop(ring, 3));
    h.get_hatchtype()->angle(0.25);
    h.get_hatchtype()->scale(2.0);
    ASSERT_EQ(apply_full_transform(h, rotate_transf(0.5, Qe_Vec(0, 0, 1)) * scale_transf(3.0)), &h);
    EXPECT_NEAR(h.get_hatchtype()->angle(), 0.75, 1e-12);
    EXPECT_NEAR(h.get_hatchtype()->scale(), 6.0, 1e-12);
    const auto* loop = static_cast<Qe_Loop*>(h.loop_list().head()->entity());
    EXPECT_NEAR(loop->head()->next()->point().x(), 3 * std::cos(0.5), 1e-12);

    // A group's members are mapped whole; one that changes kind is replaced in the group.
    MB_Group g;
    g.object_list().add(new MB_Circle(Qe_Pt(1, 0, 0), 1.0));
    g.object_list().add(new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0)));
    ASSERT_EQ(apply_full_transform(g, squash), &g);
    auto* member = static_cast<MB_Drawable*>(g.object_list().head()->entity());
    ASSERT_EQ(member->object_id(), MB_Object::ID_ELLIPSE);
    EXPECT_TRUE(pt_eq(static_cast<MB_Ellipse*>(member)->center(), Qe_Pt(2, 0, 0)));
    EXPECT_TRUE(pt_eq(static_cast<MB_Line*>(g.object_list().head()->next()->entity())->end(), Qe_Pt(2, 1, 0)));

    // A B-spline's end tangents turn with it.
    MB_Bspline spline(0, 2);
    spline.fitpts().points()[1] = Qe_Pt(1, 0, 0);
    spline.starttangent(1, 0, 0);
    ASSERT_EQ(apply_full_transform(spline, rotate_transf(M_PI / 2, Qe_Vec(0, 0, 1))), &spline);
    EXPECT_NEAR(spline.starttangent().y(), 1.0, 1e-12);
    EXPECT_NEAR(spline.fitpts().points()[1].y(), 1.0, 1e-12);

    // A nested reference composes the maps: (angle, scales) of the product.
    MB_Insert ins(Qe_Pt(1, 0, 0), 0.0, 1, 2, 1);
    ASSERT_EQ(apply_full_transform(ins, rotate_transf(M_PI / 2, Qe_Vec(0, 0, 1))), &ins);
    EXPECT_NEAR(ins.angle(), M_PI / 2, 1e-12);
    EXPECT_NEAR(ins.scale()[0], 1.0, 1e-12);
    EXPECT_NEAR(ins.scale()[1], 2.0, 1e-12);
    EXPECT_NEAR((ins.point() - Qe_Pt(0, 1, 0)).len(), 0.0, 1e-12);
}

// What the kinds cannot hold under a non-uniform map, pinned: a bulge stays circular, and a
// turned nested reference keeps a turn and two scales, which shear cannot be.
TEST(Full_Transform, NonUniformLimits)
{
    const Qe_Tran squash = scale_transf(2, 1, 1);
    std::unique_ptr<MB_Polyline> owner(polyline({vertex(0, 0, 1.0), vertex(2, 0)}));
    MB_Polyline& p = *owner;
    p.build_draw();
    const auto before = mapped(outline(p), squash);
    ASSERT_EQ(apply_full_transform(p, squash), &p);
    p.build_draw();
    EXPECT_GT(deviation(outline(p), before), 0.5) << "a half circle squashed is a half ellipse, not a half circle";

    MB_Drawing d;
    auto* b = new MB_Block(Qe_Pt(), MB_String("b"), MB_String("d"));
    b->object_list().add_tail(new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0)));
    b->object_list().add_tail(new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(0, 1, 0)));
    d.block_list().add_tail(b);
    d.build_draw();
    MB_Insert turned(Qe_Pt(), M_PI / 4, 1, 1, 1);
    turned.block(b);
    turned.build_transf();
    const auto shown = mapped(outline(turned), squash);
    ASSERT_EQ(apply_full_transform(turned, squash), &turned);
    EXPECT_GT(deviation(outline(turned), shown), 0.1);
}

}  // namespace
