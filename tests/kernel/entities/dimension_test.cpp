#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/pt_list.h"
#include "geometry/rect.h"
#include "geometry/transform.h"
#include "kernel/database/block.h"
#include "kernel/display/draw_node.h"
#include "kernel/entities/dim_style.h"
#include "kernel/entities/dimension.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entities/insert.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/solid.h"
#include "kernel/text/text_layout.h"
#include "kernel/text/text_style.h"

using namespace entity_test;

namespace {

constexpr double k_deg = M_PI / 180.0;
constexpr double k_arrow = 2.0;
constexpr double k_extension = 1.5;
constexpr double k_offset = 0.5;
constexpr double k_gap = 1.0;

Qe_Pt pt(double x, double y) { return Qe_Pt(x, y, 0.0); }

// A dimension with sizes that keep every value apart.
std::unique_ptr<MB_Dimension> make_dim(unsigned char kind)
{
    auto d = std::make_unique<MB_Dimension>();
    d->flag(kind);
    double* r = d->dim_style().real_val();
    r[1] = k_arrow;
    r[5] = k_extension;
    r[6] = k_offset;
    r[7] = k_gap;
    d->dim_style().text_style().height(2.5);
    for (int i = 0; i < 3; ++i) d->dim_style().color()[i] = 10 + i;
    return d;
}

std::vector<MB_Draw_Node*> nodes_of(MB_Dimension& d)
{
    std::vector<MB_Draw_Node*> out;
    auto* group = dynamic_cast<MB_Draw_Nodes*>(d.draw_node());
    if (!group) return out;
    for (MB_Draw_Node* n = group->node_list().head(); n; n = n->next()) out.push_back(n);
    return out;
}

std::map<int, int> count_by_id(MB_Dimension& d)
{
    std::map<int, int> out;
    for (MB_Draw_Node* n : nodes_of(d)) out[n->draw_node_id()] += 1;
    return out;
}

// The extension lines: Lines_Sets nodes in colour 0 (runs: the feature point, the line).
std::vector<MB_Draw_Lines_Sets*> extension_lines(MB_Dimension& d)
{
    std::vector<MB_Draw_Lines_Sets*> out;
    for (MB_Draw_Node* n : nodes_of(d))
        if (n->draw_node_id() == MB_Draw_Node::Draw_Lines_Sets && n->color() == 10)
            out.push_back(static_cast<MB_Draw_Lines_Sets*>(n));
    return out;
}

MB_Draw_Lines_Sets* text_node(MB_Dimension& d)
{
    for (MB_Draw_Node* n : nodes_of(d))
        if (n->draw_node_id() == MB_Draw_Node::Draw_Lines_Sets && n->color() == 11)
            return static_cast<MB_Draw_Lines_Sets*>(n);
    return nullptr;
}

MB_Draw_Lines_Set* arc_node(MB_Dimension& d)
{
    for (MB_Draw_Node* n : nodes_of(d))
        if (n->draw_node_id() == MB_Draw_Node::Draw_Lines_Set && static_cast<MB_Draw_Lines_Set*>(n)->count() > 2)
            return static_cast<MB_Draw_Lines_Set*>(n);
    return nullptr;
}

bool near(const Qe_Pt& a, const Qe_Pt& b, double tol = 1e-9)
{
    return std::fabs(a.x() - b.x()) < tol && std::fabs(a.y() - b.y()) < tol;
}

std::string show(const Qe_Pt& p)
{
    std::ostringstream s;
    s << "(" << p.x() << ", " << p.y() << ")";
    return s.str();
}

// The text laid out independently at base with angle a and the dimension's style.
Qe_Rect layout_rect(MB_Dimension& d, const char* text, const Qe_Pt& base, double a)
{
    MB_Text_Style style(d.dim_style().text_style());
    style.angle(a);
    MB_Draw_Lines_Sets node;
    Qe_Rect rect;
    EXPECT_TRUE(string_2_ptsets(text, base, &style, &node, &rect)) << text;
    return rect;
}

bool same_rect(const Qe_Rect& a, const Qe_Rect& b)
{
    return near(a.lt(), b.lt(), 1e-9) && near(a.rb(), b.rb(), 1e-9);
}

}  // namespace

TEST(Dimension, LinearAndAlignedKinds)
{
    struct Case {
        const char* what;
        unsigned char kind;
        Qe_Pt p2, p3, d, p;
        double preset;
        double measurement;
        const char* text;
        Qe_Pt text_base;  // the text's base: P lifted by the gap
        double text_angle;
        // Extension lines: feature point and end of the drawn part.
        std::vector<std::pair<Qe_Pt, Qe_Pt>> extensions;
        int lines, solids;
    };
    const Case cases[] = {
        {"horizontal", MB_Dimension::Linear, pt(0, 0), pt(10, 0), pt(10, 5), pt(5, 6), 0.0, 10.0, "10.00",
         pt(5, 6 + k_gap), 0.0, {{pt(0, 0), pt(0, 5 + k_extension)}, {pt(10, 0), pt(10, 5 + k_extension)}}, 1, 2},
        {"vertical", MB_Dimension::Linear, pt(0, 0), pt(0, 8), pt(20, 0), pt(21, 4), 0.0, 8.0, "8.00",
         pt(21 - k_gap, 4), M_PI / 2, {{pt(0, 0), pt(20 + k_extension, 0)}, {pt(0, 8), pt(20 + k_extension, 8)}}, 1, 2},
        {"aligned", MB_Dimension::Aligned, pt(0, 0), pt(3, 4), pt(7, 1), pt(5, 3), 0.0, 5.0, "5.00",
         pt(5 - 0.8 * k_gap, 3 + 0.6 * k_gap), std::atan2(4.0, 3.0),
         {{pt(0, 0), pt(4, -3) + Qe_Vec(0.8, -0.6, 0) * k_extension},
          {pt(3, 4), pt(7, 1) + Qe_Vec(0.8, -0.6, 0) * k_extension}},
         1, 2},
        {"aligned keeps a preset measurement", MB_Dimension::Aligned, pt(0, 0), pt(3, 4), pt(7, 1), pt(5, 3), 12.0,
         12.0, "12.00", pt(5 - 0.8 * k_gap, 3 + 0.6 * k_gap), std::atan2(4.0, 3.0),
         {{pt(0, 0), pt(4, -3) + Qe_Vec(0.8, -0.6, 0) * k_extension},
          {pt(3, 4), pt(7, 1) + Qe_Vec(0.8, -0.6, 0) * k_extension}},
         1, 2},
        // The feature point on the dimension line: that extension line is left out.
        {"coinciding feature point", MB_Dimension::Linear, pt(0, 5), pt(10, 0), pt(10, 5), pt(5, 6), 0.0, 10.0,
         "10.00", pt(5, 6 + k_gap), 0.0, {{pt(10, 0), pt(10, 5 + k_extension)}}, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto d = make_dim(c.kind);
        d->dim_pt2(c.p2);
        d->dim_pt3(c.p3);
        d->definition_pt(c.d);
        d->text_mid(c.p);
        d->measurement(c.preset);
        d->build_draw();
        EXPECT_NEAR(d->measurement(), c.measurement, 1e-12);
        auto counts = count_by_id(*d);
        EXPECT_EQ(counts[MB_Draw_Node::Draw_Lines_Set], c.lines);
        EXPECT_EQ(counts[MB_Draw_Node::Draw_Solid], c.solids);
        EXPECT_EQ(counts[MB_Draw_Node::Draw_Lines_Sets], static_cast<int>(c.extensions.size()) + 1);
        const auto ext = extension_lines(*d);
        ASSERT_EQ(ext.size(), c.extensions.size());
        for (std::size_t i = 0; i < ext.size(); ++i) {
            ASSERT_EQ(ext[i]->ptset_count(), 2u);
            const Qe_Pt f = ext[i]->get_point(0, 0);
            const Qe_Pt from = ext[i]->get_point(1, 0);
            const Qe_Pt to = ext[i]->get_point(1, 1);
            EXPECT_TRUE(near(f, c.extensions[i].first)) << show(f);
            EXPECT_NEAR((from - f).len(), k_offset, 1e-9);
            EXPECT_TRUE(near(to, c.extensions[i].second)) << show(to);
        }
        MB_Draw_Lines_Sets* text = text_node(*d);
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(same_rect(*text->rect(), layout_rect(*d, c.text, c.text_base, c.text_angle)));
        EXPECT_NEAR(d->dim_style().text_style().angle(), c.text_angle, 1e-12);
    }
}

TEST(Dimension, TextNeverReadsUpsideDown)
{
    // The aligned text runs along p3 − p2; directions in (π/2, 3π/2] are turned by π.
    struct Case {
        Qe_Vec dir;
        double angle;
    };
    const Case cases[] = {
        {Qe_Vec(1, 0, 0), 0.0},          {Qe_Vec(-1, 0, 0), 0.0},           {Qe_Vec(0, 1, 0), M_PI / 2},
        {Qe_Vec(0, -1, 0), M_PI / 2},    {Qe_Vec(-1, -1, 0), M_PI / 4},     {Qe_Vec(1, -1, 0), 7 * M_PI / 4},
        {Qe_Vec(-1, 1, 0), 7 * M_PI / 4}, {Qe_Vec(-1, 0.001, 0), 2 * M_PI - std::atan2(0.001, 1)},
    };
    for (const Case& c : cases) {
        auto d = make_dim(MB_Dimension::Aligned);
        d->dim_pt2(pt(0, 0));
        d->dim_pt3(Qe_Pt() + c.dir * 10.0);
        d->definition_pt(pt(3, 3));
        d->build_draw();
        double a = d->dim_style().text_style().angle();
        EXPECT_NEAR(a, c.angle, 1e-9) << c.dir.x() << ", " << c.dir.y();
    }
}

TEST(Dimension, DiameterAndRadiusKinds)
{
    struct Case {
        const char* what;
        unsigned char kind;
        Qe_Pt d, p4, p;
        const char* text;
        int lines, solids, texts;
        // The text's start relative to P along unit(P − D), in text widths: −1 moved back,
        // +1 moved forward, 0 at P.
        int shift;
    };
    const Case cases[] = {
        {"diameter, text outside to +x", MB_Dimension::Diameter, pt(0, 0), pt(10, 0), pt(15, 0), "%%%%c%.2f", 2,
         2, 1, -1},
        {"diameter, text outside to -x", MB_Dimension::Diameter, pt(10, 0), pt(0, 0), pt(-5, 0), "%%%%c%.2f", 2,
         2, 1, 0},
        {"diameter, text outside straight up", MB_Dimension::Diameter, pt(0, 0), pt(0, -10), pt(0, 12),
         "%%%%c%.2f", 2, 2, 1, -1},
        {"diameter, text inside to -x", MB_Dimension::Diameter, pt(10, 0), pt(0, 0), pt(6, 0), "%%%%c%.2f", 1, 1,
         1, 1},
        {"diameter, text inside to +x", MB_Dimension::Diameter, pt(0, 0), pt(10, 0), pt(6, 0), "%%%%c%.2f", 1, 1,
         1, 0},
        {"diameter, text on the circle", MB_Dimension::Diameter, pt(0, 0), pt(10, 0), pt(0, 10), "", 0, 0, 0, 0},
        {"radius, text outside to +x", MB_Dimension::Radius, pt(0, 0), pt(5, 0), pt(8, 0), "R%.2f", 1, 1, 1, -1},
        {"radius, text inside to -y", MB_Dimension::Radius, pt(0, 0), pt(0, -5), pt(0, -2), "R%.2f", 1, 1, 1, 1},
        {"radius, text on the circle", MB_Dimension::Radius, pt(0, 0), pt(5, 0), pt(-5, 0), "", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto d = make_dim(c.kind);
        d->definition_pt(c.d);
        d->dim_pt4(c.p4);
        d->text_mid(c.p);
        d->build_draw();
        const double m = (c.p4 - c.d).len();
        EXPECT_DOUBLE_EQ(d->measurement(), m);
        auto counts = count_by_id(*d);
        EXPECT_EQ(counts[MB_Draw_Node::Draw_Lines_Set], c.lines);
        EXPECT_EQ(counts[MB_Draw_Node::Draw_Solid], c.solids);
        EXPECT_EQ(counts[MB_Draw_Node::Draw_Lines_Sets], c.texts);
        if (!c.texts) continue;
        char text[64];
        std::snprintf(text, sizeof text, c.text, m);
        // The text's width along its own direction, then where it must start.
        Qe_Rect flat = layout_rect(*d, text, Qe_Pt(), 0.0);
        const Qe_Uvec along = normalise(c.p - c.d);
        const Qe_Pt start = c.p + along * (c.shift * flat.width());
        Qe_Uvec dir = normalise(c.p4 - c.d);
        double a = std::atan2(dir.y(), dir.x());
        if (a < 0) a += 2 * M_PI;
        if (a > M_PI / 2 && a <= 3 * M_PI / 2) {
            a += M_PI;
            dir = -dir;
        }
        if (a >= 2 * M_PI) a -= 2 * M_PI;
        const Qe_Uvec lift = normalise(dir * Qe_Vec(0, 0, -1));
        EXPECT_TRUE(same_rect(*text_node(*d)->rect(), layout_rect(*d, text, start + lift * k_gap, a)));
    }
    // The lead line of the outside diameter: twice the arrowhead length beyond D.
    auto d = make_dim(MB_Dimension::Diameter);
    d->dim_pt4(pt(10, 0));
    d->text_mid(pt(15, 0));
    d->build_draw();
    bool lead = false;
    for (MB_Draw_Node* n : nodes_of(*d))
        if (n->draw_node_id() == MB_Draw_Node::Draw_Lines_Set) {
            auto* l = static_cast<MB_Draw_Lines_Set*>(n);
            lead |= near(l->points()[0], pt(0, 0)) && near(l->points()[1], pt(-2 * k_arrow, 0));
        }
    EXPECT_TRUE(lead);
    // The diameter sign is drawn in front of the number.
    EXPECT_GT(text_node(*d)->rect()->width(), layout_rect(*d, "10.00", Qe_Pt(), 0.0).width() + 1.0);
}

TEST(Dimension, AngularSectorFollowsTheArcPoint)
{
    // Legs along +x (p3 -> p2) and along 45 degrees (D -> p4), meeting at the origin.
    struct Case {
        double arc_angle;
        double start, sweep;
    };
    const Case cases[] = {
        {20, 0, 45}, {100, 45, 135}, {200, 180, 45}, {300, 225, 135},
        // On a ray: the arc starts at that ray.
        {0, 0, 45}, {180, 180, 45},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arc_angle);
        auto d = make_dim(MB_Dimension::Angular);
        d->dim_pt3(pt(0, 0));
        d->dim_pt2(pt(10, 0));
        d->definition_pt(pt(1, 1));
        d->dim_pt4(pt(8, 8));
        d->arcdef_pt(pt(5 * std::cos(c.arc_angle * k_deg), 5 * std::sin(c.arc_angle * k_deg)));
        d->build_draw();
        EXPECT_NEAR(d->measurement(), c.sweep, 1e-9);
        MB_Draw_Lines_Set* arc = arc_node(*d);
        ASSERT_NE(arc, nullptr);
        EXPECT_EQ(arc->count(), static_cast<int>(std::fmax(std::trunc(c.sweep / 3), 18)));
        const Qe_Pt first = arc->points()[0];
        const Qe_Pt last = arc->points()[arc->count() - 1];
        EXPECT_TRUE(near(first, pt(5 * std::cos(c.start * k_deg), 5 * std::sin(c.start * k_deg)), 1e-9)) << show(first);
        const double e = (c.start + c.sweep) * k_deg;
        EXPECT_TRUE(near(last, pt(5 * std::cos(e), 5 * std::sin(e)), 1e-9)) << show(last);
        const double mid = (c.start + c.sweep / 2) * k_deg;
        EXPECT_TRUE(near(d->text_mid(), pt(5 * std::cos(mid), 5 * std::sin(mid)), 1e-9));
        EXPECT_EQ(count_by_id(*d)[MB_Draw_Node::Draw_Solid], 2);
    }
}

TEST(Dimension, AngularPointCountsAndExtensionLines)
{
    struct Case {
        double leg_angle, radius, arc_angle;
        int points;
        // The first point of each extension line (none when both arc ends are on the legs).
        std::vector<Qe_Pt> from;
    };
    const Case cases[] = {
        {30, 5, 15, 18, {}},
        {90, 5, 45, 30, {}},
        // Beyond the legs' segments (ends at 10 and at 8·√2): from the segments' far ends.
        {45, 15, 20, 18, {pt(10, 0), pt(8, 8)}},
        // Behind the vertex: from the vertex.
        {45, 5, 200, 18, {pt(0, 0), pt(0, 0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leg_angle);
        auto d = make_dim(MB_Dimension::Angular);
        d->dim_pt3(pt(0, 0));
        d->dim_pt2(pt(10, 0));
        const double l = c.leg_angle * k_deg;
        d->definition_pt(pt(std::cos(l), std::sin(l)));
        d->dim_pt4(pt(8 * std::sqrt(2.0) * std::cos(l), 8 * std::sqrt(2.0) * std::sin(l)));
        d->arcdef_pt(pt(c.radius * std::cos(c.arc_angle * k_deg), c.radius * std::sin(c.arc_angle * k_deg)));
        d->build_draw();
        ASSERT_NE(arc_node(*d), nullptr);
        EXPECT_EQ(arc_node(*d)->count(), c.points);
        const auto ext = extension_lines(*d);
        ASSERT_EQ(ext.size(), c.from.size());
        for (std::size_t i = 0; i < ext.size(); ++i)
            EXPECT_TRUE(near(ext[i]->get_point(0, 0), c.from[i], 1e-9)) << show(ext[i]->get_point(0, 0));
    }
}

TEST(Dimension, ThreePointAngular)
{
    struct Case {
        double a2, ad;  // the angle of p3 and of the arc point, p2 along +x
        double sweep;
        int points;
    };
    const Case cases[] = {
        {90, 45, 90, 30},
        {90, 200, 270, 90},
        // Small sweeps still draw an arc of two points.
        {2, 1, 2, 2},
        {5, 2, 5, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a2);
        auto d = make_dim(MB_Dimension::Angular_3pt);
        d->dim_pt4(pt(1, 1));
        d->dim_pt2(pt(11, 1));
        d->dim_pt3(pt(1 + 10 * std::cos(c.a2 * k_deg), 1 + 10 * std::sin(c.a2 * k_deg)));
        d->definition_pt(pt(1 + 4 * std::cos(c.ad * k_deg), 1 + 4 * std::sin(c.ad * k_deg)));
        d->build_draw();
        EXPECT_NEAR(d->measurement(), c.sweep, 1e-9);
        MB_Draw_Lines_Set* arc = arc_node(*d);
        if (c.points == 2) {
            // Two points are the two arc ends.
            for (MB_Draw_Node* n : nodes_of(*d))
                if (n->draw_node_id() == MB_Draw_Node::Draw_Lines_Set) arc = static_cast<MB_Draw_Lines_Set*>(n);
        }
        ASSERT_NE(arc, nullptr);
        EXPECT_EQ(arc->count(), c.points);
        const double s = (c.ad < c.a2 ? 0 : c.a2) * k_deg;
        const double e = s + c.sweep * k_deg;
        EXPECT_TRUE(near(arc->points()[0], pt(1 + 4 * std::cos(s), 1 + 4 * std::sin(s)), 1e-9));
        EXPECT_TRUE(near(arc->points()[arc->count() - 1], pt(1 + 4 * std::cos(e), 1 + 4 * std::sin(e)), 1e-9));
        // Both arc ends lie on the legs: no extension line.
        EXPECT_TRUE(extension_lines(*d).empty());
    }
}

TEST(Dimension, DegenerateInputBuildsFewerNodes)
{
    // Parallel and opposite legs.
    for (const Qe_Pt& p4 : {pt(10, 5), pt(-10, 5)}) {
        auto d = make_dim(MB_Dimension::Angular);
        d->dim_pt2(pt(10, 0));
        d->definition_pt(pt(0, 5));
        d->dim_pt4(p4);
        d->arcdef_pt(pt(3, 3));
        d->build_draw();
        EXPECT_TRUE(nodes_of(*d).empty());
    }
    // Kinds 6 and 7 build an empty collection; non-finite points build nothing.
    for (unsigned char kind : {6, 7}) {
        auto d = make_dim(kind);
        d->build_draw();
        ASSERT_NE(d->draw_node(), nullptr);
        EXPECT_TRUE(nodes_of(*d).empty());
    }
    auto d = make_dim(MB_Dimension::Angular);
    d->dim_pt2(pt(10, 0));
    d->dim_pt4(pt(0, 10));
    d->arcdef_pt(pt(NAN, 1));
    d->build_draw();
    EXPECT_TRUE(nodes_of(*d).empty());
}

TEST(Dimension, PicksItsNodesAsKind82)
{
    auto d = make_dim(MB_Dimension::Linear);
    d->dim_pt3(pt(10, 0));
    d->definition_pt(pt(10, 5));
    d->text_mid(pt(5, 6));
    d->build_draw();
    Qe_Pt_List hits;
    Qe_Pt out;
    int kind = 0, extra = 0;
    EXPECT_EQ(d->pick(pt(5, 5.05), hits, 0.1, out, kind, extra), 1);
    EXPECT_EQ(kind, Pick_Dimension);
    EXPECT_EQ(d->pick(pt(5, 2), hits, 0.1, out, kind, extra), 0);
}

namespace {

MB_Block* add_block(MB_Drawing& drawing, const char* name)
{
    auto* b = new MB_Block(Qe_Pt(), MB_String(name), MB_String("d"));
    auto* l = new MB_Line(pt(0, 0), pt(10, 0));
    l->general().color(RGB(200, 0, 0));
    b->object_list().add_tail(l);
    b->build_draw();
    drawing.block_list().add_tail(b);
    return b;
}

}  // namespace

TEST(Dimension, BoundDimensionDrawsAndPicksThroughItsReference)
{
    MB_Drawing drawing;
    MB_Block* block = add_block(drawing, "*D1");
    auto d = make_dim(MB_Dimension::Linear);
    d->dim_pt3(pt(10, 0));
    d->definition_pt(pt(10, 5));
    d->dim_style().color()[2] = RGB(0, 0, 200);
    d->block_name("*D1", drawing);
    ASSERT_NE(d->insert(), nullptr);
    EXPECT_EQ(d->insert()->block(), block);
    EXPECT_STREQ(d->pseundo_blk().ascii(), "*D1");
    d->insert_pt(pt(20, 20));
    d->build_draw();
    EXPECT_EQ(d->draw_node(), nullptr);
    EXPECT_EQ(d->insert()->general().color(), RGB(0, 0, 200));
    EXPECT_TRUE(near(d->insert()->point(), pt(20, 20)));

    Qe_Pt_List hits;
    Qe_Pt out;
    int kind = 0, extra = 0;
    // The block's line, moved to the insertion point, answers; the built kind's nodes do not.
    EXPECT_EQ(d->pick(pt(25, 20), hits, 0.1, out, kind, extra), 1);
    EXPECT_NE(kind, Pick_Dimension);
    EXPECT_EQ(d->pick(pt(5, 5), hits, 0.1, out, kind, extra), 0);

    // Drawn in style colour 2, not in the member's own colour.
    Raster r(64, 64);
    Qe_Tran t = scale_transf(2.0) * translate_transf(Qe_Vec(-10, 0, 0));
    d->draw(nullptr, r.q, t);
    EXPECT_GT(r.count(RGB(0, 0, 200)), 0);
    EXPECT_EQ(r.count(RGB(200, 0, 0)), 0);

    // A name without a block unbinds.
    d->block_name("*nothing", drawing);
    EXPECT_EQ(d->insert(), nullptr);
    EXPECT_STREQ(d->pseundo_blk().ascii(), "*nothing");
    d->block_name(nullptr, drawing);
    EXPECT_STREQ(d->pseundo_blk().ascii(), "*nothing");
}

namespace {

// Every field a copy and an undo must keep, as text.
Bytes dump(MB_Object& o)
{
    auto& d = dynamic_cast<MB_Dimension&>(o);
    std::ostringstream s;
    s.precision(17);
    for (const Qe_Pt& p : {d.definition_pt(), d.text_mid(), d.insert_pt(), d.dim_pt2(), d.dim_pt3(), d.dim_pt4(),
                           d.arcdef_pt()})
        s << p.x() << ',' << p.y() << ',' << p.z() << ';';
    s << int(d.flag()) << ';' << d.measurement() << ';' << d.text_angle() << ';' << d.real_val() << ';';
    s << (d.dim_text().ascii() ? d.dim_text().ascii() : "") << ';';
    s << (d.pseundo_blk().ascii() ? d.pseundo_blk().ascii() : "") << ';';
    s << (d.dimstyle_name().ascii() ? d.dimstyle_name().ascii() : "") << ';';
    s << d.dim_style().color()[2] << ';' << d.dim_style().real_val()[1] << ';' << (d.insert() != nullptr);
    return s.str();
}

std::unique_ptr<MB_Dimension> full_dimension(MB_Drawing* drawing)
{
    auto d = make_dim(MB_Dimension::Aligned);
    d->dim_pt2(pt(0, 0));
    d->dim_pt3(pt(3, 4));
    d->definition_pt(pt(7, 1));
    d->arcdef_pt(pt(2, 9));
    d->measurement(12.0);
    d->text_angle(0.25);
    d->dim_text("<>");
    d->dimstyle_name() = "ISO";
    d->dim_style().color()[2] = 77;
    d->dim_style().real_val()[1] = 3.5;
    if (drawing) d->block_name("*D1", *drawing);
    return d;
}

}  // namespace

TEST(Dimension, CopiesKeepEveryField)
{
    MB_Drawing drawing;
    add_block(drawing, "*D1");
    auto d = full_dimension(&drawing);
    d->build_draw();
    const Bytes want = dump(*d);

    MB_Object* made = nullptr;
    ASSERT_TRUE(d->copy_to(made));
    std::unique_ptr<MB_Object> owned(made);
    auto* copy = dynamic_cast<MB_Dimension*>(made);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(dump(*copy), want);
    EXPECT_EQ(copy->kind(), MB_Dimension::Aligned);
    EXPECT_NE(copy->insert(), d->insert());
    EXPECT_EQ(copy->insert()->block(), d->insert()->block());

    // Into an existing dimension (as undo restores one).
    MB_Object* target = new MB_Dimension;
    std::unique_ptr<MB_Object> owned_target(target);
    ASSERT_TRUE(d->copy_to(target));
    EXPECT_EQ(dump(*target), want);

    // Copy construction and assignment own their nodes and reference.
    MB_Dimension constructed(*d);
    EXPECT_EQ(dump(constructed), want);
    EXPECT_EQ(constructed.draw_node(), nullptr);
    EXPECT_NE(constructed.insert(), d->insert());
    MB_Dimension assigned;
    assigned.build_draw();
    assigned = *d;
    EXPECT_EQ(dump(assigned), want);
    EXPECT_NE(assigned.insert(), d->insert());
    EXPECT_NE(&assigned.dim_style(), &d->dim_style());
}

TEST(Dimension, RealKeysAndTheDimensionRecord)
{
    auto d = make_dim(MB_Dimension::Linear);
    for (int key : {-115, -113, -112, -111, -102}) {
        d->set_real(key, 5.0);
        EXPECT_EQ(d->get_real(key), 0.0) << key;
    }
    d->set_real(mb_key::Real_Value, 2.5);
    EXPECT_EQ(d->get_real(mb_key::Real_Value), 2.5);
    // A dimension record carries nothing: it adds nothing and the records after it are read.
    Record_Reader rd;
    MB_Line line(Qe_Pt(1.5, 2, 0), Qe_Pt(4, 8, 0));
    ASSERT_EQ(rd.read(Bytes("X") + record_bytes(line) + Bytes("XX")), 0);
    ASSERT_EQ(rd.count(), 1);
    auto* back = rd.first<MB_Line>();
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(pt_eq(back->end(), Qe_Pt(4, 8, 0)));
}

// Saved, a dimension is the plain entities of its picture: node by node, a solid for each
// arrowhead, a chain for each line and arc and for each run of the extension lines and the
// text strokes, with the points drawn and each node's colour, and the dimension's width.
// A bound dimension is its block reference, at its insertion point in style colour 2.
TEST(Dimension, SavedAsThePlainEntitiesOfItsPicture)
{
    for (const unsigned char kind : {MB_Dimension::Linear, MB_Dimension::Angular, MB_Dimension::Diameter}) {
        SCOPED_TRACE(int(kind));
        auto d = make_dim(kind);
        d->dim_pt2(pt(0, 0));
        d->dim_pt3(pt(10, 0));
        d->definition_pt(kind == MB_Dimension::Angular ? pt(0, 1) : pt(10, 5));
        d->dim_pt4(kind == MB_Dimension::Angular ? pt(5, 8) : pt(6, 0));
        d->arcdef_pt(pt(4, 3));
        d->text_mid(kind == MB_Dimension::Diameter ? pt(14, 3) : pt(5, 5));
        d->general().width(2.5);
        d->build_draw();

        // What the nodes draw, as (colour, kind, points) in order.
        struct Piece {
            long colour;
            int id;
            std::vector<Qe_Pt> pts;
        };
        std::vector<Piece> drawn;
        for (MB_Draw_Node* n : nodes_of(*d)) {
            if (auto* solid = dynamic_cast<MB_Draw_Solid*>(n)) {
                drawn.push_back({n->color(), MB_Object::ID_SOLID,
                                 std::vector<Qe_Pt>(solid->points(), solid->points() + solid->count())});
            } else if (auto* set = dynamic_cast<MB_Draw_Lines_Set*>(n)) {
                drawn.push_back(
                    {n->color(), MB_Object::ID_LINES, std::vector<Qe_Pt>(set->points(), set->points() + set->count())});
            } else if (auto* sets = dynamic_cast<MB_Draw_Lines_Sets*>(n)) {
                const Qe_Pt* p = sets->points();
                for (mb_ulong r = 0; r < sets->ptset_count(); p += sets->vals()[r], ++r)
                    drawn.push_back({n->color(), MB_Object::ID_LINES, std::vector<Qe_Pt>(p, p + sets->vals()[r])});
            }
        }
        ASSERT_GT(drawn.size(), 5u);

        Record_Reader rd;
        ASSERT_EQ(rd.read(record_bytes(*d)), 0);
        ASSERT_EQ(rd.count(), static_cast<long>(drawn.size()));
        std::size_t i = 0;
        for (MB_Object* o = rd.drawing().object_list().get_head(); o; o = o->next(), ++i) {
            ASSERT_EQ(o->object_id(), drawn[i].id) << i;
            auto* e = static_cast<MB_Drawable*>(o);
            EXPECT_EQ(e->general().color(), drawn[i].colour) << i;
            EXPECT_EQ(e->general().width(), 2.5) << i;
            const Qe_Pt_Set& pts = o->object_id() == MB_Object::ID_SOLID ? static_cast<MB_Solid*>(o)->vertices()
                                                                         : static_cast<MB_Lines*>(o)->pt_set();
            ASSERT_EQ(pts.count(), static_cast<int>(drawn[i].pts.size())) << i;
            for (int k = 0; k < pts.count(); ++k) EXPECT_TRUE(near(pts.points()[k], drawn[i].pts[k])) << i << ' ' << k;
        }
    }

    // Bound: its block reference.
    MB_Drawing drawing;
    MB_Block* block = add_block(drawing, "*D1");
    auto d = make_dim(MB_Dimension::Linear);
    d->dim_style().color()[2] = RGB(0, 0, 200);
    d->block_name("*D1", drawing);
    d->insert_pt(pt(20, 20));
    Record_Reader rd;
    MB_Block* again = add_block(rd.drawing(), "*D1");
    ASSERT_EQ(rd.read(record_bytes(*d)), 0);
    ASSERT_EQ(rd.count(), 1);
    auto* ref = rd.first<MB_Insert>();
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(ref->block(), again);
    EXPECT_NE(ref->block(), block);
    EXPECT_TRUE(near(ref->point(), pt(20, 20)));
    EXPECT_EQ(ref->general().color(), RGB(0, 0, 200));
}

TEST(Dimension, UndoAndRedoRestoreTheFields)
{
    Op_Fixture f;
    add_block(*f.drawing, "*D1");
    expect_undo_redo_state(
        f, full_dimension(f.drawing).release(),
        [](MB_Object& o) { static_cast<MB_Dimension&>(o).translate(translate_transf(Qe_Vec(3, -2, 0)), 0); },
        "translate", dump);
    expect_undo_redo_state(
        f, full_dimension(f.drawing).release(), [](MB_Object& o) { o.set_real(mb_key::Real_Value, 9.0); },
        "set_real", dump);
}

TEST(Dimension, MadeInsideARecordedCommandOwnsItsParts)
{
    Op_Fixture f;
    add_block(*f.drawing, "*D1");
    const long before = f.drawing->object_list().count();
    f.command("dimension", [&] {
        auto* d = full_dimension(f.drawing).release();
        d->build_draw();
        f.drawing->add_object(d);
        auto* style = new MB_Dim_Style;
        f.drawing->dim_style_list().add_tail(style);
    });
    EXPECT_EQ(f.drawing->object_list().count(), before + 1);
    // The command names the dimension and the style, nothing they own.
    ASSERT_NE(f.rec->last_cmd(), nullptr);
    int steps = 0;
    for (const MB_Sub_Command* s = f.rec->last_cmd()->sub_command_head(); s; s = s->next()) {
        ++steps;
        EXPECT_TRUE(s->right_object() == f.drawing->object_list().get_tail() ||
                    s->right_object() == f.drawing->dim_style_list().get_tail());
    }
    EXPECT_EQ(steps, 2);
    f.undo();
    EXPECT_EQ(f.drawing->object_list().count(), before);
    EXPECT_EQ(f.drawing->dim_style_list().count(), 0);
    f.redo();
    // Only the dimension and the style come back: the reference, the embedded style and
    // the text styles were never drawing content.
    EXPECT_EQ(f.drawing->object_list().count(), before + 1);
    EXPECT_EQ(f.drawing->dim_style_list().count(), 1);
    EXPECT_EQ(f.drawing->text_style_list().count(), 0);
    auto* d = dynamic_cast<MB_Dimension*>(f.drawing->object_list().get_tail());
    ASSERT_NE(d, nullptr);
    EXPECT_NE(d->insert(), nullptr);
    // A dropped command deletes what it made, once.
    f.undo();
    f.command("other", [&] { f.drawing->add_object(new MB_Line(pt(0, 0), pt(1, 1))); });
    EXPECT_EQ(f.drawing->dim_style_list().count(), 0);
}

TEST(Dimension, ExtremePointsBuildWithoutFault)
{
    // Overflowing differences, infinities and NaNs in every kind: a bounded build.
    const double big = 1e308;
    const Qe_Pt points[] = {pt(big, -big), pt(-big, big), pt(big, big), pt(0, 0), pt(INFINITY, 1), pt(1, NAN)};
    for (unsigned char kind = 0; kind < 8; ++kind)
        for (const Qe_Pt& a : points)
            for (const Qe_Pt& b : points) {
                auto d = make_dim(kind);
                d->dim_pt2(a);
                d->dim_pt3(b);
                d->dim_pt4(b);
                d->definition_pt(pt(-1, 2));
                d->text_mid(a);
                d->arcdef_pt(b);
                d->build_draw();
                ASSERT_NE(d->draw_node(), nullptr);
                for (MB_Draw_Node* n : nodes_of(*d)) {
                    if (n->draw_node_id() == MB_Draw_Node::Draw_Lines_Set) {
                        EXPECT_LE(static_cast<MB_Draw_Lines_Set*>(n)->count(), 120);
                    }
                }
            }
}
