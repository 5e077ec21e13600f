#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/dc_draw.h"
#include "geometry/pt_list.h"
#include "geometry/transform.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/ellipse.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entity_base/entity_properties.h"

using namespace entity_test;

namespace {

const Qe_Pt c0(1.5, -2.0, 3.0);

Bytes ellipse_record(const Qe_Pt& c, std::vector<double> values, char opcode, const Qe_Pt& running = Qe_Pt())
{
    Bytes out = Bytes(1, opcode) + k_no_xdata + position(c, running);
    for (double v : values) out += le_double(v);
    return out;
}

// (x'/a)² + (y'/b)² of p in the ellipse's own frame.
double implicit(const MB_Ellipse& e, const Qe_Pt& p)
{
    const double dx = p.x() - e.center().x(), dy = p.y() - e.center().y();
    const double ca = std::cos(e.angle()), sa = std::sin(e.angle());
    const double u = (dx * ca + dy * sa) / e.major(), v = (-dx * sa + dy * ca) / e.minor();
    return u * u + v * v;
}

// The parameter t of a point on the ellipse.
double parameter(const MB_Ellipse& e, const Qe_Pt& p)
{
    const double dx = p.x() - e.center().x(), dy = p.y() - e.center().y();
    const double ca = std::cos(e.angle()), sa = std::sin(e.angle());
    return std::atan2((-dx * sa + dy * ca) / e.minor(), (dx * ca + dy * sa) / e.major());
}

TEST(Ellipse_Record, GoldenBytesAndReadBack)
{
    MB_Ellipse* e = plain(new MB_Ellipse(c0, 4.0, 1.5, 0.3));
    MB_Ellipse_Arc* arc = plain(new MB_Ellipse_Arc(c0, 4.0, 1.5, 0.3, 0.5, 5.0));
    const Bytes full = ellipse_record(c0, {4.0, 1.5, 0.3}, 'E');
    const Bytes part = ellipse_record(c0, {4.0, 1.5, 0.3, 0.5, 5.0}, 'O');
    EXPECT_EQ(to_hex(record_bytes(*e)), to_hex(full));
    EXPECT_EQ(to_hex(record_bytes(*arc)), to_hex(part));
    delete e;
    delete arc;

    Record_Reader rd;
    // The second centre is relative to the first.
    ASSERT_EQ(rd.read(full + ellipse_record(c0, {4.0, 1.5, 0.3, 0.5, 5.0}, 'O', c0)), 0);
    ASSERT_EQ(rd.count(), 2);
    auto* re = rd.first<MB_Ellipse>();
    ASSERT_NE(re, nullptr);
    EXPECT_EQ(re->object_id(), MB_Object::ID_ELLIPSE);
    EXPECT_TRUE(pt_eq(re->center(), c0));
    EXPECT_EQ(re->major(), 4.0);
    EXPECT_EQ(re->minor(), 1.5);
    EXPECT_EQ(re->angle(), 0.3);
    auto* ra = dynamic_cast<MB_Ellipse_Arc*>(re->next());
    ASSERT_NE(ra, nullptr);
    EXPECT_EQ(ra->start_angle(), 0.5);
    EXPECT_EQ(ra->end_angle(), 5.0);
    EXPECT_TRUE(pt_eq(ra->center(), c0));

    for (const Bytes& rec : {full, part}) {
        for (std::size_t n = 0; n < rec.size(); ++n) {
            Record_Reader t;
            EXPECT_NE(t.read_raw(k_header + rec.substr(0, n)), 0) << n;
            EXPECT_EQ(t.count(), 0) << n;
        }
    }
}

TEST(Ellipse_Shape, ConstructionFromTheAxis)
{
    MB_Ellipse e(Qe_Pt(10, 0, 0), Qe_Pt(0, 4, 0), 0.5);
    EXPECT_EQ(e.major(), 4.0);
    EXPECT_EQ(e.minor(), 2.0);
    EXPECT_DOUBLE_EQ(e.angle(), M_PI / 2);
    EXPECT_NEAR(e.get_para_pos(0).x(), 10.0, 1e-12);
    EXPECT_NEAR(e.get_para_pos(0).y(), 4.0, 1e-12);
    EXPECT_NEAR(e.get_para_pos(M_PI).y(), -4.0, 1e-12);
    EXPECT_NEAR(e.get_major_vector().y(), 4.0, 1e-12);
    EXPECT_NEAR(e.get_minor_vector().x(), -2.0, 1e-12);
    MB_Ellipse_Arc a(Qe_Pt(10, 0, 0), Qe_Pt(0, 4, 0), 0.5, 0.0, M_PI);
    EXPECT_NEAR(a.get_point(mb_key::End).y(), -4.0, 1e-12);
    EXPECT_NEAR(a.get_point(mb_key::Start).y(), 4.0, 1e-12);
}

TEST(Ellipse_Shape, OutlinePoints)
{
    MB_Ellipse e(Qe_Pt(2, -1, 5), 4.0, 1.5, 0.6);
    e.build_draw();
    const Qe_Pt_Set& s = e.edge();
    ASSERT_EQ(s.count(), 81);
    EXPECT_TRUE(pt_eq(s.points()[0], s.points()[80]));
    for (int i = 0; i < 81; ++i) {
        EXPECT_NEAR(implicit(e, s.points()[i]), 1.0, 1e-12) << i;
        EXPECT_EQ(s.points()[i].z(), 0.0) << i;
        if (i < 80) {
            EXPECT_NEAR(std::remainder(parameter(e, s.points()[i]) - i * 2 * M_PI / 80, 2 * M_PI), 0, 1e-12);
        }
    }
    EXPECT_EQ(e.get_point(mb_key::Center).z(), 5.0);
    EXPECT_DOUBLE_EQ(e.get_real(mb_key::Area), M_PI * 6.0);
}

TEST(Ellipse_Shape, ArcPoints)
{
    const Qe_Pt c(0, 0, 2);
    struct Case {
        double start, end;
        long precision;
        int points;
    };
    const Case cases[] = {
        {0.0, M_PI / 2, 0, 16},              // 2π/59 apart while below π/2, then P(π/2)
        {3 * M_PI / 2, M_PI / 2, 0, 31},     // through parameter 0
        {1.0, 1.0, 0, 1},                    // a single point
        {0.0, 5 * M_PI, 0, 60},              // more than a turn: one turn
        {0.0, M_PI, 1, 2},                   // precision clamped to 2
        {0.0, M_PI, -3, 31},                 // own precision below 1: the default
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.start);
        SCOPED_TRACE(k.end);
        MB_Ellipse_Arc a(c, 3.0, 1.0, 0.4, k.start, k.end);
        a.draw_precision(k.precision);
        a.build_draw();
        const Qe_Pt_Set& s = a.edge();
        ASSERT_EQ(s.count(), k.points);
        EXPECT_TRUE(pt_eq(s.points()[s.count() - 1], a.get_para_pos(k.end)));
        // Parameters increase by the step from the first point on.
        const double step = 2 * M_PI / ((k.precision > 0 ? std::max(k.precision, 2L) : 60) - 1);
        const double from = k.end - k.start > 2 * M_PI ? k.end - 2 * M_PI : (k.start > k.end ? k.start - 2 * M_PI : k.start);
        for (int i = 0; i + 1 < s.count(); ++i) {
            EXPECT_NEAR(implicit(a, s.points()[i]), 1.0, 1e-12);
            EXPECT_NEAR(std::remainder(parameter(a, s.points()[i]) - (from + i * step), 2 * M_PI), 0, 1e-9) << i;
            EXPECT_EQ(s.points()[i].z(), 0.0);
        }
    }
    // The arc through parameter 0 has its points on both sides of it.
    MB_Ellipse_Arc through(c, 3.0, 1.0, 0.0, 3 * M_PI / 2, M_PI / 2);
    through.build_draw();
    bool below = false, above = false;
    for (int i = 0; i < through.edge().count(); ++i) {
        const double t = parameter(through, through.edge().points()[i]);
        below = below || (t < 0 && t > -0.2);
        above = above || (t > 0 && t < 0.2);
    }
    EXPECT_TRUE(below && above);
    // Ellipse precisions below 2 are clamped too.
    for (long p : {1L, 2L}) {
        MB_Ellipse e(c, 3.0, 1.0, 0.0);
        e.draw_precision(p);
        e.build_draw();
        EXPECT_EQ(e.edge().count(), 3);
    }
}

TEST(Ellipse_Shape, PerimeterAgainstTheIntegral)
{
    const double axes[][2] = {{1, 1}, {3, 1}, {10, 1}, {1, 0}, {5, 4.9}, {2, 7}, {100, 0.01}};
    for (const auto& ab : axes) {
        const double a = ab[0], b = ab[1];
        // Simpson's rule on the arc-length integral.
        const int n = 20000;
        const double h = 2 * M_PI / n;
        auto f = [&](double t) { return std::sqrt(a * a * std::sin(t) * std::sin(t) + b * b * std::cos(t) * std::cos(t)); };
        double sum = f(0) + f(2 * M_PI);
        for (int i = 1; i < n; ++i) sum += (i % 2 ? 4 : 2) * f(i * h);
        const double exact = sum * h / 3;
        MB_Ellipse e(Qe_Pt(), a, b, 0.3);
        EXPECT_LT(std::fabs(e.get_real(mb_key::Length) - exact) / exact, 5e-4) << a << " " << b;
    }
    MB_Ellipse zero;
    EXPECT_EQ(zero.get_real(mb_key::Length), 0.0);
}

TEST(Ellipse_Properties, KeysTransformsAndCopies)
{
    MB_Ellipse_Arc a(c0, 4.0, 2.0, 0.5, 0.25, 3.0);
    EXPECT_TRUE(pt_eq(a.get_point(mb_key::Center), c0));
    EXPECT_EQ(a.get_real(mb_key::Angle), 0.5);
    EXPECT_EQ(a.get_real(mb_key::Radius), 2.0);
    EXPECT_EQ(a.get_real(mb_key::Major), 4.0);
    EXPECT_EQ(a.get_real(mb_key::Start_Angle), 0.25);
    EXPECT_EQ(a.get_real(mb_key::End_Angle), 3.0);
    EXPECT_EQ(a.get_real(mb_key::Length), 0.0);  // the ellipse's alone
    a.set_real(mb_key::Major, 6.0);
    a.set_real(mb_key::Radius, 1.0);
    a.set_real(mb_key::Angle, 0.0);
    a.set_real(mb_key::Start_Angle, 9.0);  // read-only here
    a.set_point(mb_key::Center, Qe_Pt());
    EXPECT_TRUE(pt_eq(a.get_point(mb_key::Start), Qe_Pt(6 * std::cos(0.25), std::sin(0.25), 0)));
    EXPECT_EQ(a.start_angle(), 0.25);

    // A scaling moves only the centre.
    MB_Ellipse e(Qe_Pt(1, 1, 0), 4.0, 2.0, 0.5);
    e.translate(scale_transf(3.0) * rotate_transf(1.0, Qe_Vec(0, 0, 1)), 0);
    EXPECT_EQ(e.major(), 4.0);
    EXPECT_EQ(e.angle(), 0.5);
    EXPECT_NEAR((e.center() - Qe_Pt()).len(), 3 * std::sqrt(2.0), 1e-12);

    MB_Object* copy = nullptr;
    ASSERT_TRUE(a.copy_to(copy));
    auto* ca = dynamic_cast<MB_Ellipse_Arc*>(copy);
    ASSERT_NE(ca, nullptr);
    EXPECT_EQ(ca->end_angle(), 3.0);
    EXPECT_EQ(ca->major(), 6.0);
    MB_Object* ce = nullptr;
    ASSERT_TRUE(e.copy_to(ce));
    EXPECT_EQ(ce->object_id(), MB_Object::ID_ELLIPSE);
    // An elliptic arc refuses a full ellipse; both refuse a circle.
    MB_Object* target = ce;
    EXPECT_FALSE(a.copy_to(target));
    EXPECT_EQ(static_cast<MB_Ellipse*>(ce)->major(), 4.0);
    MB_Circle circle;
    MB_Object* t = &circle;
    EXPECT_FALSE(e.copy_to(t));
    delete copy;
    delete ce;
}

TEST(Ellipse_Pick, CentreThenOutline)
{
    MB_Ellipse e(Qe_Pt(0, 0, 0), 4.0, 2.0, 0.0);
    Qe_Pt_List unused;
    Qe_Pt out;
    int kind = 0, extra = 0;
    EXPECT_EQ(e.pick(Qe_Pt(4, 0.05, 0), unused, 0.1, out, kind, extra), 0);  // not built yet
    e.build_draw();
    ASSERT_EQ(e.pick(Qe_Pt(0.05, 0, 0), unused, 0.1, out, kind, extra), 1);
    EXPECT_EQ(kind, 16);
    ASSERT_EQ(e.pick(Qe_Pt(0, 2.05, 0), unused, 0.1, out, kind, extra), 1);
    EXPECT_EQ(kind, 54);
    EXPECT_NEAR(out.y(), 2.0, 1e-9);
    EXPECT_EQ(e.pick(Qe_Pt(0, 3, 0), unused, 0.1, out, kind, extra), 0);
    MB_Ellipse_Arc a(Qe_Pt(0, 0, 0), 4.0, 2.0, 0.0, 0.0, M_PI / 2);
    a.build_draw();
    EXPECT_EQ(a.pick(Qe_Pt(0, -2.0, 0), unused, 0.1, out, kind, extra), 0);
    ASSERT_EQ(a.pick(Qe_Pt(0, 2.0, 0), unused, 0.1, out, kind, extra), 1);
    EXPECT_EQ(kind, 54);
}

TEST(Ellipse_Undo, ChangesInsideACommandAreUndoneToTheBytes)
{
    Op_Fixture f;
    const Qe_Tran turn = rotate_transf(0.7, Qe_Vec(0, 0, 1)) * scale_transf(2.5) * translate_transf(Qe_Vec(3, -1, 0));
    auto ellipse = [] { return new MB_Ellipse(c0, 4.0, 2.0, 0.5); };
    auto arc = [] { return new MB_Ellipse_Arc(c0, 4.0, 2.0, 0.5, 0.25, 3.0); };
    struct Case {
        const char* name;
        MB_Object* entity;
        std::function<void(MB_Object&)> change;
    };
    const Case cases[] = {
        {"translate", ellipse(), [&](MB_Object& o) { static_cast<MB_Ellipse&>(o).translate(turn, 0); }},
        {"arc translate", arc(), [&](MB_Object& o) { static_cast<MB_Ellipse&>(o).translate(turn, 0); }},
        {"centre", ellipse(), [](MB_Object& o) { o.set_point(mb_key::Center, Qe_Pt(7, 7, 7)); }},
        {"rotation", ellipse(), [](MB_Object& o) { o.set_real(mb_key::Angle, 1.5); }},
        {"minor", arc(), [](MB_Object& o) { o.set_real(mb_key::Radius, 1.5); }},
        {"major", arc(), [](MB_Object& o) { o.set_real(mb_key::Major, 1.5); }},
        {"arc centre", arc(), [](MB_Object& o) { o.set_point(mb_key::Center, Qe_Pt(7, 7, 7)); }},
    };
    for (const Case& c : cases) expect_undo_redo_state(f, c.entity, c.change, c.name);
    // The plain accessors record nothing.
    auto* e = ellipse();
    f.drawing->add_object(e);
    f.command("major", [&] { e->major(9.0); });
    f.undo();
    EXPECT_EQ(e->major(), 9.0);
}

TEST(Ellipse_Display, CentreGrip)
{
    Qe_Qdc qdc;
    const Qe_Tran t = scale_transf(2.0);
    for (MB_Ellipse* e : {new MB_Ellipse(Qe_Pt(1, 2, 0), 3, 1, 0), static_cast<MB_Ellipse*>(new MB_Ellipse_Arc(
                                                                       Qe_Pt(1, 2, 0), 3, 1, 0, 0, 1))}) {
        Recording_Dc dc, ref;
        e->draw_key_point(dc.dc, qdc, t);
        e->draw_key_point(nullptr, qdc, t);
        api_mb_draw_point(ref.dc, Qe_Pt(2, 4, 0), 0, 3, 0);
        EXPECT_EQ(dc.texts(), ref.texts());
        delete e;
    }
}

}  // namespace
