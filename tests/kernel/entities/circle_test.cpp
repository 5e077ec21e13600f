#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/dc_draw.h"
#include "geometry/pt_list.h"
#include "geometry/transform.h"
#include "kernel/database/line_type.h"
#include "kernel/display/draw_node.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/line.h"

using namespace entity_test;

namespace {

const Qe_Pt c0(1.5, -2.0, 3.0);

Bytes circle_record(const Qe_Pt& c, double r)
{
    return "\x12" + k_no_xdata + position(c) + le_double(r);
}

Bytes arc_record(const Qe_Pt& c, double r, double s, double e)
{
    return Bytes(1, '\x01') + k_no_xdata + position(c) + le_double(r) + le_double(s) + le_double(e);
}

TEST(Circle_Record, GoldenBytesAndReadBack)
{
    MB_Circle* circle = plain(new MB_Circle(c0, 2.5));
    MB_Arc* arc = plain(new MB_Arc(c0, 2.5, 0.25, 4.0));
    EXPECT_EQ(to_hex(record_bytes(*circle)), to_hex(circle_record(c0, 2.5)));
    EXPECT_EQ(to_hex(record_bytes(*arc)), to_hex(arc_record(c0, 2.5, 0.25, 4.0)));
    delete circle;
    delete arc;

    // 0x12 and 'e' both read a circle.
    for (const char opcode : {'\x12', 'e'}) {
        Record_Reader rd;
        Bytes rec = circle_record(c0, 2.5);
        rec[0] = opcode;
        ASSERT_EQ(rd.read(hex("03") + le_long(0xFF) + rec), 0);
        auto* c = rd.first<MB_Circle>();
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->object_id(), MB_Object::ID_CIRCLE);
        EXPECT_TRUE(pt_eq(c->center(), c0));
        EXPECT_EQ(c->radius(), 2.5);
        EXPECT_EQ(c->general().color(), 0xFF);
    }
    // An arc's points come from its angles.
    Record_Reader rd;
    ASSERT_EQ(rd.read(arc_record(c0, 2.0, 0.0, M_PI / 2)), 0);
    auto* a = rd.first<MB_Arc>();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->object_id(), MB_Object::ID_ARC);
    EXPECT_TRUE(pt_eq(a->start(), Qe_Pt(3.5, -2.0, 3.0)));
    EXPECT_NEAR(a->end().x(), 1.5, 1e-15);
    EXPECT_EQ(a->end().y(), 0.0);
    // An 'a' record carries nothing but the general properties in force.
    Record_Reader bare;
    ASSERT_EQ(bare.read(hex("03") + le_long(0xFF) + "a"), 0);
    auto* z = bare.first<MB_Arc>();
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z->radius(), 0.0);
    EXPECT_EQ(z->end_angle(), 0.0);
    EXPECT_TRUE(pt_eq(z->center(), Qe_Pt()));
    EXPECT_EQ(z->general().color(), 0xFF);
    // Opcodes the arc does not know: not valid for it, nothing read.
    MB_Arc other;
    stream_test::Stream s;
    ASSERT_EQ(s.open_read(arc_record(c0, 2.0, 0.0, 1.0)), 0);
    EXPECT_EQ(other.materialize(stream_test::single('L'), s.io), MB_Result::Invalid_Data);
    EXPECT_EQ(s.io.stream_position(), 0);
    EXPECT_EQ(s.io.close(), 0);
}

TEST(Circle_Record, TruncatedRecordsAddNothing)
{
    for (const Bytes& full : {circle_record(c0, 2.5), arc_record(c0, 2.5, 0.25, 4.0)}) {
        for (std::size_t n = 0; n < full.size(); ++n) {
            Record_Reader rd;
            EXPECT_NE(rd.read_raw(k_header + full.substr(0, n)), 0) << n;
            EXPECT_EQ(rd.count(), 0) << n;
        }
    }
}

TEST(Circle_Shape, OutlinePoints)
{
    const Qe_Pt c(2, -1, 4);
    const double r = 3.0;
    MB_Circle circle(c, r);
    circle.build_draw();
    const Qe_Pt_Set& e = circle.edge();
    ASSERT_EQ(e.count(), 60);
    EXPECT_TRUE(pt_eq(e.points()[0], e.points()[59]));
    EXPECT_NEAR(e.points()[0].x(), 2.0, 1e-15);
    EXPECT_EQ(e.points()[0].y(), -4.0);
    for (int i = 0; i < 60; ++i) {
        const Qe_Pt& p = e.points()[i];
        EXPECT_NEAR(std::hypot(p.x() - c.x(), p.y() - c.y()), r, 1e-9) << i;
        EXPECT_EQ(p.z(), 4.0);
        // Counter-clockwise from the bottom, 2π/59 apart.
        const double a = std::atan2(p.y() - c.y(), p.x() - c.x());
        const double expected = -M_PI / 2 + i * 2 * M_PI / 59;
        EXPECT_NEAR(std::remainder(a - expected, 2 * M_PI), 0.0, 1e-12) << i;
    }
    EXPECT_NEAR(circle.rect().lt().x(), -1.0, 1e-2);
    EXPECT_NEAR(circle.rect().lt().y(), 2.0, 1e-2);
    EXPECT_DOUBLE_EQ(circle.get_real(mb_key::Length), 6 * M_PI);
    EXPECT_DOUBLE_EQ(circle.get_real(mb_key::Area), 9 * M_PI);
    EXPECT_EQ(circle.get_real(mb_key::Radius), 3.0);
}

TEST(Circle_Shape, PrecisionIsClamped)
{
    struct Case {
        long own;
        long setting;
        int points;
    };
    const Case cases[] = {
        {0, 60, 60}, {-4, 60, 60}, {1, 60, 2}, {2, 60, 2}, {7, 60, 7}, {0, 1, 2}, {0, 0, 2}, {0, -9, 2},
        {0, 1L << 40, 65536},
    };
    Op_Fixture f;
    for (const Case& c : cases) {
        f.settings().set_long_val(15, static_cast<long>(c.setting));
        f.settings().set_long_val(14, static_cast<long>(c.setting));
        MB_Circle circle(Qe_Pt(), 1.0);
        circle.draw_precision(c.own);
        circle.build_draw();
        EXPECT_EQ(circle.edge().count(), c.points) << c.own << " " << c.setting;
        MB_Arc arc(Qe_Pt(), 1.0, 0.0, 1.0);
        arc.draw_precision(c.own);
        arc.build_draw();
        EXPECT_EQ(arc.edge().count(), c.points) << c.own << " " << c.setting;
        // Two points are the first and the last.
        if (c.points == 2) {
            EXPECT_TRUE(pt_eq(arc.edge().points()[1], arc.end()));
        }
    }
}

TEST(Arc_Shape, SweepsMiddlesAndAreas)
{
    const Qe_Pt c(1, 2, 0);
    const double r = 2.0;
    struct Case {
        double start, end;
        double sweep;
        Qe_Pt middle;
    };
    const Case cases[] = {
        {3 * M_PI / 2, M_PI / 2, M_PI, {3, 2, 0}},     // through angle 0
        {0.0, M_PI, M_PI, {1, 4, 0}},                  // exactly π
        {0.0, M_PI / 2, M_PI / 2, {1 + std::sqrt(2.0), 2 + std::sqrt(2.0), 0}},
        {0.0, 3 * M_PI / 2, 3 * M_PI / 2, {1 - std::sqrt(2.0), 2 + std::sqrt(2.0), 0}},
        {1.0, 1.0, 0.0, {1 + 2 * std::cos(1.0), 2 + 2 * std::sin(1.0), 0}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.start);
        MB_Arc arc(c, r, k.start, k.end);
        EXPECT_NEAR(arc.get_real(mb_key::Angle), k.sweep, 1e-15);
        const Qe_Pt m = arc.get_point(mb_key::Middle);
        EXPECT_NEAR(m.x(), k.middle.x(), 1e-12);
        EXPECT_NEAR(m.y(), k.middle.y(), 1e-12);
        EXPECT_NEAR(arc.get_real(mb_key::Length), r * k.sweep, 1e-12);
        EXPECT_NEAR(arc.get_real(mb_key::Area), 0.5 * r * r * (k.sweep - std::sin(k.sweep)), 1e-12);
        arc.build_draw();
        const Qe_Pt_Set& e = arc.edge();
        ASSERT_EQ(e.count(), 30);
        EXPECT_TRUE(pt_eq(e.points()[0], arc.start()));
        for (int i = 0; i < 30; ++i) {
            const Qe_Pt& p = e.points()[i];
            EXPECT_NEAR(std::hypot(p.x() - c.x(), p.y() - c.y()), r, 1e-9);
            const double a = std::atan2(p.y() - c.y(), p.x() - c.x());
            EXPECT_NEAR(std::remainder(a - (k.start + i * k.sweep / 29), 2 * M_PI), 0.0, 1e-9) << i;
        }
    }
    // Exactly π has the middle on the left of the chord from start to end.
    MB_Arc half(c, r, 0.0, M_PI);
    EXPECT_EQ(half.get_real(mb_key::Angle), M_PI);
    // The point constructor keeps the end as given; build_draw moves it onto the circle.
    MB_Arc by_points(Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0), Qe_Pt(0, 5, 0));
    EXPECT_EQ(by_points.radius(), 1.0);
    EXPECT_DOUBLE_EQ(by_points.end_angle(), M_PI / 2);
    EXPECT_TRUE(pt_eq(by_points.end(), Qe_Pt(0, 5, 0)));
    by_points.build_draw();
    EXPECT_NEAR(by_points.end().y(), 1.0, 1e-15);
    // Angle setters leave the points until the next build.
    by_points.set_real(mb_key::End_Angle, M_PI);
    EXPECT_NEAR(by_points.get_point(mb_key::End).y(), 1.0, 1e-15);
    by_points.build_start_end_pos();
    EXPECT_NEAR(by_points.get_point(mb_key::End).x(), -1.0, 1e-15);
}

TEST(Circle_Pick, Tables)
{
    Qe_Pt_List unused;
    struct Case {
        Qe_Pt at;
        double tol;
        int kind;  // 0: no hit
        Qe_Pt out;
    };
    // A circle: the centre even when the radius is below tol; the pick point itself on
    // the outline.
    MB_Circle small(Qe_Pt(0, 0, 0), 0.5);
    MB_Circle circle(Qe_Pt(0, 0, 0), 5.0);
    const Case circle_cases[] = {
        {{0.3, 0, 0}, 1.0, 16, {0, 0, 0}},
        {{0, 5.4, 0}, 1.0, 53, {0, 5.4, 0}},
        {{3, 4.2, 0}, 1.0, 53, {3, 4.2, 0}},
        {{0, 6.0, 0}, 1.0, 0, {}},
        {{2, 2, 0}, 1.0, 0, {}},
    };
    for (const Case& k : circle_cases) {
        Qe_Pt out;
        int kind = 0, extra = 0;
        EXPECT_EQ(circle.pick(k.at, unused, k.tol, out, kind, extra), k.kind ? 1 : 0) << k.at.y();
        if (!k.kind) continue;
        EXPECT_EQ(kind, k.kind);
        EXPECT_TRUE(pt_eq(out, k.out));
    }
    Qe_Pt out;
    int kind = 0, extra = 0;
    ASSERT_EQ(small.pick(Qe_Pt(0.4, 0, 0), unused, 1.0, out, kind, extra), 1);
    EXPECT_EQ(kind, 16);
    // An arc: centre, start, end, then its outline.
    MB_Arc arc(Qe_Pt(0, 0, 0), 1.0, 0.0, M_PI / 2);
    const Case arc_cases[] = {
        {{0.1, 0.1, 0}, 2.0, 16, {0, 0, 0}},   // the centre first, though start and end are near
        {{1.1, 0, 0}, 0.5, 13, {1, 0, 0}},
        {{0, 1.2, 0}, 0.5, 14, {std::cos(M_PI / 2), 1, 0}},
        {{0.72, 0.72, 0}, 0.1, 52, {}},
        {{-0.7, -0.7, 0}, 0.1, 0, {}},          // on the circle, not on the arc
    };
    MB_Arc unbuilt(arc);
    EXPECT_EQ(unbuilt.pick(Qe_Pt(0.72, 0.72, 0), unused, 0.1, out, kind, extra), 0);
    arc.build_draw();
    for (const Case& k : arc_cases) {
        EXPECT_EQ(arc.pick(k.at, unused, k.tol, out, kind, extra), k.kind ? 1 : 0) << k.at.x();
        if (!k.kind) continue;
        EXPECT_EQ(kind, k.kind) << k.at.x();
        if (k.kind != 52) {
            EXPECT_TRUE(pt_eq(out, k.out));
        } else {
            EXPECT_NEAR(std::hypot(out.x(), out.y()), 1.0, 2e-3);
        }
    }
}

TEST(Circle_Transform, CircleKeepsItsRadiusArcScalesAndMirrors)
{
    const Qe_Tran s = scale_transf(2.0) * translate_transf(Qe_Vec(1, 0, 0));
    MB_Circle circle(Qe_Pt(1, 1, 0), 2.0);
    circle.translate(s, 0);
    EXPECT_TRUE(pt_eq(circle.center(), Qe_Pt(3, 2, 0)));
    EXPECT_EQ(circle.radius(), 2.0);

    MB_Arc arc(Qe_Pt(1, 1, 0), 2.0, 0.0, M_PI / 2);
    arc.translate(s, 0);
    EXPECT_TRUE(pt_eq(arc.center(), Qe_Pt(3, 2, 0)));
    EXPECT_EQ(arc.radius(), 4.0);
    EXPECT_NEAR(arc.end_angle(), M_PI / 2, 1e-12);

    // Mirrored in the y axis, the arc from 0 to π/2 runs from π/2 to π, still
    // counter-clockwise.
    MB_Arc m(Qe_Pt(0, 0, 0), 1.0, 0.0, M_PI / 2);
    m.build_draw();
    m.translate(reflect_transf(Qe_Vec(1, 0, 0)), 0);
    EXPECT_NEAR(m.start_angle(), M_PI / 2, 1e-12);
    EXPECT_NEAR(m.end_angle(), M_PI, 1e-12);
    EXPECT_NEAR(m.get_real(mb_key::Angle), M_PI / 2, 1e-12);
    EXPECT_EQ(m.radius(), 1.0);
    // The edge points of a drawn (normal) arc move with it.
    EXPECT_NEAR(m.edge().points()[0].x(), -1.0, 1e-12);
}

TEST(Circle_Copy, ClassesOfTheCopies)
{
    MB_Arc arc(c0, 2.0, 0.5, 2.5);
    MB_Object* copy = nullptr;
    ASSERT_TRUE(arc.copy_to(copy));
    auto* a = dynamic_cast<MB_Arc*>(copy);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->end_angle(), 2.5);
    EXPECT_TRUE(pt_eq(a->start(), arc.start()));
    delete copy;
    MB_Circle circle(c0, 3.0);
    MB_Object* cc = nullptr;
    ASSERT_TRUE(circle.copy_to(cc));
    EXPECT_EQ(cc->object_id(), MB_Object::ID_CIRCLE);
    delete cc;
    // A circle copies into an arc (radius and centre); an arc refuses a circle; both refuse
    // a line.
    MB_Arc target(Qe_Pt(), 1.0, 0.0, 1.0);
    MB_Object* t = &target;
    ASSERT_TRUE(circle.copy_to(t));
    EXPECT_EQ(target.radius(), 3.0);
    EXPECT_EQ(target.end_angle(), 1.0);
    MB_Circle other(Qe_Pt(), 9.0);
    MB_Object* o = &other;
    EXPECT_FALSE(arc.copy_to(o));
    EXPECT_EQ(other.radius(), 9.0);
    MB_Line line(Qe_Pt(), Qe_Pt(1, 1, 1));
    MB_Object* l = &line;
    EXPECT_FALSE(circle.copy_to(l));
    EXPECT_FALSE(arc.copy_to(l));
    // Into an arc: angles, centre and radius, and its points from them.
    MB_Object* t2 = &target;
    ASSERT_TRUE(arc.copy_to(t2));
    EXPECT_TRUE(pt_eq(target.end(), arc.end()));
}

TEST(Circle_Undo, ChangesInsideACommandAreUndoneToTheBytes)
{
    Op_Fixture f;
    const Qe_Tran turn = rotate_transf(0.7, Qe_Vec(0, 0, 1)) * scale_transf(2.5) * translate_transf(Qe_Vec(3, -1, 0));
    using Change = std::function<void(MB_Object&)>;
    auto circle = [] { return new MB_Circle(c0, 2.0); };
    auto arc = [] { return new MB_Arc(c0, 2.0, 0.5, 2.0); };
    struct Case {
        const char* name;
        MB_Object* entity;
        Change change;
    };
    const Case cases[] = {
        {"circle translate", circle(), [&](MB_Object& o) { static_cast<MB_Circle&>(o).translate(turn, 0); }},
        {"circle centre", circle(), [](MB_Object& o) { static_cast<MB_Circle&>(o).center(Qe_Pt(5, 5, 5)); }},
        {"circle radius", circle(), [](MB_Object& o) { static_cast<MB_Circle&>(o).radius(7.0); }},
        {"circle radius key", circle(), [](MB_Object& o) { o.set_real(mb_key::Radius, 7.0); }},
        {"circle centre key", circle(), [](MB_Object& o) { o.set_point(mb_key::Center, Qe_Pt(1, 1, 1)); }},
        {"arc translate", arc(), [&](MB_Object& o) { static_cast<MB_Arc&>(o).translate(turn, 0); }},
        {"arc mirror", arc(),
         [&](MB_Object& o) { static_cast<MB_Arc&>(o).translate(reflect_transf(Qe_Vec(0, 1, 0)), 0); }},
        {"arc start angle", arc(), [](MB_Object& o) { static_cast<MB_Arc&>(o).start_angle(1.0); }},
        {"arc end angle", arc(), [](MB_Object& o) { static_cast<MB_Arc&>(o).end_angle(1.0); }},
        {"arc start key", arc(), [](MB_Object& o) { o.set_real(mb_key::Start_Angle, 0.1); }},
        {"arc end key", arc(), [](MB_Object& o) { o.set_real(mb_key::End_Angle, 0.1); }},
        {"arc radius key", arc(), [](MB_Object& o) { o.set_real(mb_key::Radius, 0.1); }},
        {"arc centre key", arc(), [](MB_Object& o) { o.set_point(mb_key::Center, Qe_Pt(0, 0, 0)); }},
    };
    for (const Case& c : cases) expect_undo_redo_state(f, c.entity, c.change, c.name);
    // The arc's points are a cache of its angles, not in its record, and copies derive
    // them again: undo puts a point set directly back, redo gives the derived one.
    auto* a = arc();
    f.drawing->add_object(a);
    const Qe_Pt start = a->start();
    f.command("start point", [&] { a->start(Qe_Pt(9, 9, 9)); });
    f.undo();
    EXPECT_TRUE(pt_eq(a->start(), start));
    f.redo();
    EXPECT_TRUE(pt_eq(a->start(), start));
}

TEST(Circle_Display, GripsAndDashedNodes)
{
    const Qe_Tran t = scale_transf(2.0);
    Qe_Qdc qdc;
    MB_Circle circle(Qe_Pt(1, 2, 0), 1.0);
    Recording_Dc dc, ref;
    circle.draw_key_point(dc.dc, qdc, t);
    api_mb_draw_point(ref.dc, Qe_Pt(2, 4, 0), 0, 3, 0);
    EXPECT_EQ(dc.texts(), ref.texts());
    MB_Arc arc(Qe_Pt(1, 2, 0), 1.0, 0.0, M_PI / 2);
    Recording_Dc da, ra;
    arc.draw_key_point(da.dc, qdc, t);
    api_mb_draw_point(ra.dc, Qe_Pt(4, 4, 0), 0, 3, 0);
    api_mb_draw_point(ra.dc, Qe_Pt(2, 6, 0), 0, 3, 0);
    api_mb_draw_point(ra.dc, Qe_Pt(2, 4, 0));
    EXPECT_EQ(da.texts(), ra.texts());
    arc.draw_key_point(nullptr, qdc, t);
    // A dashed line type gives a node; a plain one none.
    MB_Line_Type dashed;
    ASSERT_TRUE(dashed.init_data("A,0.5,-0.25"));
    circle.general().line_type(&dashed);
    circle.build_draw();
    ASSERT_NE(circle.draw_node(), nullptr);
    EXPECT_EQ(circle.draw_node()->draw_node_id(), MB_Draw_Node::Draw_Lines_Sets);
    circle.general().line_type(nullptr);
    circle.build_draw();
    EXPECT_EQ(circle.draw_node(), nullptr);
}

}  // namespace
