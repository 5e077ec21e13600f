#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "kernel/entities/entity_fixture.h"
#include "geometry/dc_draw.h"
#include "geometry/pt_list.h"
#include "geometry/transform.h"
#include "kernel/database/layer.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/line.h"
#include "kernel/test_objects.h"

using namespace entity_test;

namespace {

Bytes chain_record(const std::vector<Qe_Pt>& pts)
{
    Bytes out = "l" + k_no_xdata + le_long(static_cast<mb_long>(pts.size()));
    Qe_Pt running;
    for (const Qe_Pt& p : pts) {
        out += position(p, running);
        running = p;
    }
    return out;
}

const Qe_Pt a(1.5, -2.0, 3.0), b(4.0, 6.25, -1.0);

TEST(Line_Record, GoldenBytes)
{
    const Bytes line = "L" + k_no_xdata + position(a) + position(b, a);
    struct Case {
        const char* name;
        MB_Object* entity;
        Bytes bytes;
    };
    MB_Line* red = plain(new MB_Line(a, b));
    red->general().color(0xFF);
    const std::vector<Qe_Pt> chain{{1, 1, 0}, {5, 1, 2}, {5, -3, 0}};
    MB_Lines* lines = plain(new MB_Lines);
    lines->init(3, chain.data());
    const Case cases[] = {
        {"line", plain(new MB_Line(a, b)), line},
        {"coloured line: its colour record first", red, hex("03") + le_long(0xFF) + line},
        {"ray: written as a line", plain(new MB_Ray(a, b)), line},
        {"chain", lines, chain_record(chain)},
        {"empty chain", plain(new MB_Lines), chain_record({})},
        {"construction line: nothing", plain(new MB_Xline(a, b)), ""},
        {"multi-line: nothing", plain(new MB_Mlines(3)), ""},
    };
    for (const Case& c : cases) {
        MB_Result r = MB_Result::Internal_Error;
        EXPECT_EQ(to_hex(record_bytes(*c.entity, &r)), to_hex(c.bytes)) << c.name;
        EXPECT_EQ(r, 0) << c.name;
        delete c.entity;
    }
}

TEST(Line_Record, ReadBack)
{
    // 'L' and 0x0B read the same way; the general properties in force apply.
    for (const char opcode : {'L', '\x0B'}) {
        Record_Reader rd;
        const Bytes bytes = hex("03") + le_long(0xFF) + Bytes(1, opcode) + k_no_xdata + position(a) + position(b, a);
        ASSERT_EQ(rd.read(bytes), 0);
        auto* l = rd.first<MB_Line>();
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->object_id(), MB_Object::ID_LINE);
        EXPECT_TRUE(pt_eq(l->start(), a));
        EXPECT_TRUE(pt_eq(l->end(), b));
        EXPECT_EQ(l->general().color(), 0xFF);
    }
    // A ray comes back as a plain line with its own colour.
    MB_Ray ray(a, b);
    ray.general().color(0x123456);
    Record_Reader rd;
    ASSERT_EQ(rd.read(record_bytes(ray)), 0);
    auto* l = rd.first<MB_Line>();
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->object_id(), MB_Object::ID_LINE);
    EXPECT_EQ(l->general().color(), 0x123456);
    EXPECT_TRUE(pt_eq(l->end(), b));
    // A chain: vertices relative to each other.
    const std::vector<Qe_Pt> chain{{1, 1, 0}, {5, 1, 2}, {5, -3, 0}};
    Record_Reader rc;
    ASSERT_EQ(rc.read(chain_record(chain)), 0);
    auto* c = rc.first<MB_Lines>();
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(pt_eq(c->points()[i], chain[i]));
    EXPECT_FALSE(c->closed());
}

TEST(Line_Record, TruncatedAndAbsurdRecordsAddNothing)
{
    const Bytes line = hex("03") + le_long(0xFF) + "L" + k_no_xdata + position(a) + position(b, a);
    const Bytes chain = chain_record({{1, 1, 0}, {5, 1, 2}, {5, -3, 0}});
    for (const Bytes& full : {line, chain}) {
        for (std::size_t n = 0; n < full.size(); ++n) {
            Record_Reader rd;
            EXPECT_NE(rd.read_raw(k_header + full.substr(0, n)), 0) << "cut at " << n;
            EXPECT_EQ(rd.count(), 0) << "cut at " << n;
        }
    }
    for (const mb_long count : {mb_long(-1), mb_long(0x7FFFFFFF), mb_long(1 << 24) + 1, mb_long(2)}) {
        Record_Reader rd;
        EXPECT_NE(rd.read_raw(k_header + "l" + k_no_xdata + le_long(count) + position(a)), 0) << count;
        EXPECT_EQ(rd.count(), 0) << count;
    }
}

TEST(Line_Properties, KeysOfTheLine)
{
    MB_Line l(Qe_Pt(1, 1, 5), Qe_Pt(4, 5, 0));
    EXPECT_TRUE(pt_eq(l.get_point(0), Qe_Pt(1, 1, 5)));
    EXPECT_TRUE(pt_eq(l.get_point(1), Qe_Pt(4, 5, 0)));
    EXPECT_TRUE(pt_eq(l.get_point(2), Qe_Pt()));
    EXPECT_TRUE(pt_eq(l.get_point(mb_key::Start), Qe_Pt(1, 1, 5)));
    EXPECT_TRUE(pt_eq(l.get_point(mb_key::End), Qe_Pt(4, 5, 0)));
    EXPECT_TRUE(pt_eq(l.get_point(mb_key::Middle), Qe_Pt(2.5, 3, 2.5)));
    EXPECT_DOUBLE_EQ(l.get_real(mb_key::Length), std::sqrt(50.0));
    EXPECT_DOUBLE_EQ(l.get_real(mb_key::Angle), std::atan2(4.0, 3.0));
    EXPECT_EQ(l.get_int(mb_key::Point_Count), 2);
    // The end turns about the start in the xy plane, at the start's z.
    l.set_real(mb_key::Angle, M_PI / 2);
    EXPECT_NEAR(l.end().x(), 1.0, 1e-12);
    EXPECT_NEAR(l.end().y(), 6.0, 1e-12);
    EXPECT_EQ(l.end().z(), 5.0);
    // Angles of the four quadrants are in [0, 2π).
    const double angles[] = {0.0, 0.5, M_PI, 4.0, 2 * M_PI - 1e-3};
    for (double t : angles) {
        MB_Line m(Qe_Pt(2, 3, 0), Qe_Pt(2 + std::cos(t), 3 + std::sin(t), 0));
        EXPECT_NEAR(m.get_real(mb_key::Angle), t, 1e-12) << t;
    }
    // The length keeps the direction.
    MB_Line n(Qe_Pt(1, 1, 0), Qe_Pt(4, 5, 0));
    n.set_real(mb_key::Length, 10.0);
    EXPECT_NEAR(n.end().x(), 7.0, 1e-12);
    EXPECT_NEAR(n.end().y(), 9.0, 1e-12);
    // A zero-length line stays at its start.
    MB_Line z(a, a);
    z.set_real(mb_key::Length, 3.0);
    EXPECT_TRUE(pt_eq(z.end(), a));
    EXPECT_TRUE(pt_eq(z.get_point_by_param(2.0), a));
    // Set points; points 0 and 1 are read-only; keys it does not know go to the drawable.
    n.set_point(mb_key::Start, Qe_Pt(0, 0, 0));
    n.set_point(0, Qe_Pt(9, 9, 9));
    EXPECT_TRUE(pt_eq(n.start(), Qe_Pt(0, 0, 0)));
    n.set_real(mb_key::Real_Value, 2.5);
    EXPECT_EQ(n.get_real(mb_key::Real_Value), 2.5);
    n.set_int(mb_key::Color, 0x00FF00);
    EXPECT_EQ(n.get_int(mb_key::Color), 0x00FF00);
}

TEST(Line_Properties, Parameters)
{
    MB_Line l(Qe_Pt(1, 1, 0), Qe_Pt(4, 5, 0));
    EXPECT_DOUBLE_EQ(l.get_param(Qe_Pt(4, 5, 0)), 5.0);
    EXPECT_DOUBLE_EQ(l.get_param(Qe_Pt(-2, -3, 0)), 5.0);  // a distance, never negative
    EXPECT_TRUE(pt_eq(l.get_point_by_param(2.5), Qe_Pt(2.5, 3, 0)));
    MB_Geom* made = nullptr;
    ASSERT_TRUE(l.build_by_param(made, 0.0, 2.5));
    auto* part = dynamic_cast<MB_Line*>(made);
    ASSERT_NE(part, nullptr);
    EXPECT_TRUE(pt_eq(part->end(), Qe_Pt(2.5, 3, 0)));
    // Into an existing line; a target of another class is refused.
    MB_Geom* existing = part;
    ASSERT_TRUE(l.build_by_param(existing, 5.0, 0.0));
    EXPECT_TRUE(pt_eq(part->start(), Qe_Pt(4, 5, 0)));
    MB_Lines chain(2);
    MB_Geom* other = &chain;
    EXPECT_FALSE(l.build_by_param(other, 0.0, 1.0));
    // The chain has no parameters of its own: a line at the origin.
    MB_Geom* from_chain = nullptr;
    ASSERT_TRUE(chain.build_by_param(from_chain, 1.0, 2.0));
    EXPECT_TRUE(pt_eq(static_cast<MB_Line*>(from_chain)->end(), Qe_Pt()));
    delete made;
    delete from_chain;
}

TEST(Line_Properties, KeysOfTheChain)
{
    const Qe_Pt v[] = {{0, 0, 0}, {3, 0, 0}, {3, 4, 0}, {0, 4, 0}};
    MB_Lines c;
    c.init(4, v);
    EXPECT_DOUBLE_EQ(c.get_real(mb_key::Length), 10.0);
    EXPECT_DOUBLE_EQ(c.get_real(mb_key::Area), 12.0);
    EXPECT_DOUBLE_EQ(c.get_real(mb_key::Angle), 0.0);
    EXPECT_EQ(c.get_int(mb_key::Point_Count), 4);
    EXPECT_TRUE(pt_eq(c.get_point(2), v[2]));
    EXPECT_TRUE(pt_eq(c.get_point(4), Qe_Pt()));
    EXPECT_TRUE(pt_eq(c.get_point(mb_key::Start), v[0]));
    EXPECT_TRUE(pt_eq(c.get_point(mb_key::End), v[3]));
    c.build_draw();
    EXPECT_TRUE(pt_eq(c.get_point(mb_key::Center), Qe_Pt(1.5, 2, 0)));
    c.set_point(1, Qe_Pt(6, 0, 0));
    c.set_point(9, Qe_Pt(7, 7, 7));  // past the end: ignored
    c.set_point(mb_key::End, Qe_Pt(0, 8, 0));
    EXPECT_TRUE(pt_eq(c.points()[1], Qe_Pt(6, 0, 0)));
    EXPECT_TRUE(pt_eq(c.end(), Qe_Pt(0, 8, 0)));
    // Too short chains answer the origin or 0.0.
    for (int n : {0, 1}) {
        MB_Lines s(n);
        EXPECT_EQ(s.get_real(mb_key::Length), 0.0) << n;
        EXPECT_EQ(s.get_real(mb_key::Angle), 0.0) << n;
        EXPECT_TRUE(pt_eq(s.start(), Qe_Pt())) << n;
        EXPECT_TRUE(pt_eq(s.get_point(mb_key::End), Qe_Pt())) << n;
        s.set_point(mb_key::Start, a);
        s.build_draw();
        EXPECT_EQ(s.edge().count(), n);
        Qe_Pt_List unused;
        Qe_Pt out;
        int kind = 0, extra = 0;
        EXPECT_EQ(s.pick(Qe_Pt(5, 5, 0), unused, 1.0, out, kind, extra), 0);
    }
}

TEST(Line_Pick, Table)
{
    MB_Line l(Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0));
    l.build_draw();
    struct Case {
        Qe_Pt at;
        double tol;
        bool hit;
        int kind;
        Qe_Pt out;
    };
    const Case cases[] = {
        {{0.5, 0.5, 0}, 1.0, true, 13, {0, 0, 0}},       // start
        {{9.6, 0.2, 0}, 1.0, true, 14, {10, 0, 0}},      // end
        {{1, 0, 0}, 20.0, true, 13, {0, 0, 0}},          // within tol of both: the start wins
        {{5, 0.5, 0}, 1.0, true, 51, {5, 0, 0}},         // on the line
        {{5, 1.0, 0}, 1.0, false, 0, {}},                // at tol exactly: no hit
        {{11.5, 0, 0}, 1.0, false, 0, {}},               // beyond the end, outside the box
        {{-1.2, 0, 0}, 1.0, false, 0, {}},
        {{5, 0, 0}, 0.0, false, 0, {}},                  // tol 0 never hits
    };
    for (const Case& c : cases) {
        Qe_Pt_List unused;
        Qe_Pt out(-7, -7, -7);
        int kind = 0, extra = 0;
        const bool hit = l.pick(c.at, unused, c.tol, out, kind, extra) != 0;
        EXPECT_EQ(hit, c.hit) << c.at.x() << "," << c.at.y();
        if (!c.hit) continue;
        EXPECT_EQ(kind, c.kind) << c.at.x();
        EXPECT_TRUE(pt_eq(out, c.out)) << c.at.x();
    }
    // Construction lines and multi-lines are never hit; a chain's vertices come first,
    // then its segments.
    Qe_Pt_List unused;
    Qe_Pt out;
    int kind = 0, extra = 0;
    MB_Ray ray(Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0));
    MB_Xline xl(Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0));
    EXPECT_EQ(ray.pick(Qe_Pt(0, 0, 0), unused, 1.0, out, kind, extra), 0);
    EXPECT_EQ(xl.pick(Qe_Pt(0, 0, 0), unused, 1.0, out, kind, extra), 0);
    const Qe_Pt v[] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}};
    MB_Lines c;
    c.init(3, v);
    EXPECT_EQ(c.pick(Qe_Pt(10, 5, 0), unused, 1.0, out, kind, extra), 0);  // no edge points yet
    c.build_draw();
    ASSERT_EQ(c.pick(Qe_Pt(10.2, 5, 0), unused, 1.0, out, kind, extra), 1);
    EXPECT_EQ(kind, 60);
    EXPECT_TRUE(pt_eq(out, Qe_Pt(10, 5, 0)));
    ASSERT_EQ(c.pick(Qe_Pt(9.5, 0.2, 0), unused, 1.0, out, kind, extra), 1);
    EXPECT_EQ(kind, 22);
    EXPECT_TRUE(pt_eq(out, v[1]));
    MB_Mlines m(3);
    m.init(3, v);
    m.build_draw();
    EXPECT_EQ(m.pick(Qe_Pt(10, 5, 0), unused, 1.0, out, kind, extra), 0);
    EXPECT_EQ(m.edge().count(), 0);
}

TEST(Line_Copy, ClassesOfTheCopies)
{
    MB_Layer layer(MB_String("walls"));
    MB_Ray ray(a, b);
    ray.general().layer(&layer);
    ray.general().color(0x0000FF);
    MB_Object* copy = nullptr;
    ASSERT_TRUE(ray.copy_to(copy));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->object_id(), MB_Object::ID_LINE);
    EXPECT_EQ(dynamic_cast<MB_Ray*>(copy), nullptr);
    EXPECT_TRUE(pt_eq(static_cast<MB_Line*>(copy)->end(), b));
    EXPECT_EQ(static_cast<MB_Line*>(copy)->general().layer(), &layer);
    EXPECT_EQ(static_cast<MB_Line*>(copy)->general().color(), 0x0000FF);
    delete copy;

    const Qe_Pt v[] = {{0, 0, 0}, {10, 0, 0}};
    MB_Mlines ml(2);
    ml.init(2, v);
    ml.closed(true);
    MB_Object* chain = nullptr;
    ASSERT_TRUE(ml.copy_to(chain));
    auto* lines = dynamic_cast<MB_Lines*>(chain);
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(dynamic_cast<MB_Mlines*>(chain), nullptr);
    EXPECT_EQ(lines->count(), 2);
    EXPECT_TRUE(lines->closed());
    EXPECT_TRUE(pt_eq(lines->points()[1], v[1]));

    // Into a target of the class: its state; of another class: refused, target unchanged.
    MB_Line target(Qe_Pt(9, 9, 9), Qe_Pt(8, 8, 8));
    MB_Object* t = &target;
    ASSERT_TRUE(ray.copy_to(t));
    EXPECT_TRUE(pt_eq(target.start(), a));
    MB_Object* wrong = lines;
    MB_Line l(a, b);
    EXPECT_FALSE(l.copy_to(wrong));
    EXPECT_EQ(lines->count(), 2);
    MB_Object* wrong2 = &target;
    EXPECT_FALSE(ml.copy_to(wrong2));
    EXPECT_TRUE(pt_eq(target.start(), a));
    delete chain;
}

TEST(Line_Undo, ChangesInsideACommandAreUndoneToTheBytes)
{
    Op_Fixture f;
    const Qe_Tran turn = rotate_transf(0.7, Qe_Vec(0, 0, 1)) * scale_transf(2.5) * translate_transf(Qe_Vec(3, -1, 0));
    using Change = std::function<void(MB_Object&)>;
    struct Case {
        const char* name;
        MB_Object* entity;
        Change change;
    };
    const Qe_Pt v[] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 1}};
    auto chain = [&] {
        auto* c = new MB_Lines;
        c->init(3, v);
        return c;
    };
    auto* lines_entity = chain();
    const Case cases[] = {
        {"translate", new MB_Line(a, b), [&](MB_Object& o) { static_cast<MB_Line&>(o).translate(turn, 0); }},
        {"start", new MB_Line(a, b), [](MB_Object& o) { static_cast<MB_Line&>(o).start(Qe_Pt(7, 7, 7)); }},
        {"end", new MB_Line(a, b), [](MB_Object& o) { static_cast<MB_Line&>(o).end(Qe_Pt(7, 7, 7)); }},
        {"length", new MB_Line(a, b), [](MB_Object& o) { o.set_real(mb_key::Length, 40.0); }},
        {"angle", new MB_Line(a, b), [](MB_Object& o) { o.set_real(mb_key::Angle, 2.0); }},
        {"start key", new MB_Line(a, b), [](MB_Object& o) { o.set_point(mb_key::Start, Qe_Pt(1, 2, 3)); }},
        {"end key", new MB_Line(a, b), [](MB_Object& o) { o.set_point(mb_key::End, Qe_Pt(1, 2, 3)); }},
        {"ray translate", new MB_Ray(a, b), [&](MB_Object& o) { static_cast<MB_Ray&>(o).translate(turn, 0); }},
        {"chain translate", chain(), [&](MB_Object& o) { static_cast<MB_Lines&>(o).translate(turn, 0); }},
        {"chain vertex", chain(), [](MB_Object& o) { o.set_point(1, Qe_Pt(5, 5, 5)); }},
        {"chain first", chain(), [](MB_Object& o) { o.set_point(mb_key::Start, Qe_Pt(5, 5, 5)); }},
        {"chain last", lines_entity, [](MB_Object& o) { o.set_point(mb_key::End, Qe_Pt(5, 5, 5)); }},
    };
    for (const Case& c : cases) expect_undo_redo_state(f, c.entity, c.change, c.name);

    // Kinds and fields without a stream form: their fields are compared.
    auto fields = [](MB_Object& o) {
        Bytes out;
        if (auto* l = dynamic_cast<MB_Line*>(&o)) out = position(l->start()) + position(l->end());
        if (auto* c = dynamic_cast<MB_Lines*>(&o)) {
            out = Bytes(1, c->closed() ? '1' : '0');
            for (int i = 0; i < c->count(); ++i) out += position(c->points()[i]);
        }
        return out;
    };
    expect_undo_redo_state(
        f, new MB_Xline(a, b), [&](MB_Object& o) { static_cast<MB_Xline&>(o).translate(turn, 0); }, "xline",
        fields);
    expect_undo_redo_state(f, chain(), [](MB_Object& o) { static_cast<MB_Lines&>(o).closed(true); }, "closed",
                           fields);
    auto* ml = new MB_Mlines;
    ml->init(3, v);
    expect_undo_redo_state(
        f, ml, [&](MB_Object& o) { static_cast<MB_Mlines&>(o).translate(turn, 0); }, "mlines", fields);
    // Unrecorded: the chain's init.
    auto* quiet = chain();
    f.drawing->add_object(quiet);
    f.command("init", [&] { quiet->init(1, v); });
    f.undo();
    EXPECT_EQ(quiet->count(), 1);
}

TEST(Line_Display, EdgePointsRectangleAndGrips)
{
    MB_Line l(Qe_Pt(4, 1, 0), Qe_Pt(1, 3, 0));
    l.build_draw();
    ASSERT_EQ(l.edge().count(), 2);
    EXPECT_TRUE(pt_eq(l.rect().lt(), Qe_Pt(1, 3, 0)));
    EXPECT_TRUE(pt_eq(l.rect().rb(), Qe_Pt(4, 1, 0)));
    EXPECT_EQ(l.draw_node(), nullptr);
    // Construction lines have no edge points; their rectangle keeps its value.
    MB_Ray ray(Qe_Pt(4, 1, 0), Qe_Pt(1, 3, 0));
    ray.build_draw();
    EXPECT_EQ(ray.edge().count(), 0);

    const Qe_Tran t = scale_transf(2.0);
    auto reference = [&](bool midpoint) {
        Recording_Dc ref;
        api_mb_draw_point(ref.dc, Qe_Pt(8, 2, 0), 0, 3, 0);
        api_mb_draw_point(ref.dc, Qe_Pt(2, 6, 0), 0, 3, 0);
        if (midpoint) api_mb_draw_point(ref.dc, Qe_Pt(5, 4, 0));
        return ref.texts();
    };
    Qe_Qdc qdc;
    {
        // Without an operation the midpoint marker is not drawn.
        Recording_Dc dc;
        l.draw_key_point(dc.dc, qdc, t);
        EXPECT_EQ(dc.texts(), reference(false));
        l.draw_key_point(nullptr, qdc, t);
    }
    Op_Fixture f;
    for (const bool midpoint : {false, true}) {
        f.settings().set_bool_val(8, midpoint ? 1 : 0);
        Recording_Dc dc;
        l.draw_key_point(dc.dc, qdc, t);
        EXPECT_EQ(dc.texts(), reference(midpoint)) << midpoint;
    }
    // A ray draws the line's grips; a chain one square per vertex.
    const Qe_Pt v[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    MB_Lines c;
    c.init(3, v);
    Recording_Dc dc, ref;
    c.draw_key_point(dc.dc, qdc, Qe_Tran());
    for (const Qe_Pt& p : v) api_mb_draw_point(ref.dc, p, 0, 3, 0);
    EXPECT_EQ(dc.texts(), ref.texts());
}

}  // namespace
