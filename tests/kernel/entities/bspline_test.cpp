#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <vector>

#include "curves/nurbs.h"
#include "curves/spline_fit.h"
#include "curves/spline_gen.h"
#include "geometry/pt_list.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "kernel/entities/bspline.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/line.h"

using namespace entity_test;

namespace {

const std::vector<Qe_Pt> k_fit = {Qe_Pt(0, 0, 0), Qe_Pt(10, 8, 0), Qe_Pt(20, 0, 0), Qe_Pt(30, -8, 0),
                                  Qe_Pt(40, 0, 0)};

// A spline through the points, with the general properties the stream starts with, so
// that its record carries no attribute records.
std::unique_ptr<MB_Bspline> fit_spline(const std::vector<Qe_Pt>& pts = k_fit)
{
    auto b = std::make_unique<MB_Bspline>(0, static_cast<int>(pts.size()));
    for (std::size_t i = 0; i < pts.size(); ++i) b->fitpts().points()[i] = pts[i];
    b->general().color(0);
    b->general().width(1.0);
    return b;
}

// Four control points and a knot array of five (the library reads knots 0 to 4).
std::unique_ptr<MB_Bspline> control_spline(double z = 0.0)
{
    auto b = std::make_unique<MB_Bspline>(4, 0);
    const Qe_Pt ctl[] = {Qe_Pt(0, 0, z), Qe_Pt(10, 20, z), Qe_Pt(20, -20, z), Qe_Pt(30, 0, z)};
    for (int i = 0; i < 4; ++i) b->ctlpts().points()[i] = ctl[i];
    b->create_kont_array(5);
    for (int i = 0; i < 5; ++i) b->knot()[i] = i;
    b->general().color(0);
    b->general().width(1.0);
    return b;
}

Bytes w_record(const std::vector<Qe_Pt>& pts)
{
    Bytes b = "W" + le_long(static_cast<mb_long>(pts.size()));
    Qe_Pt running;
    for (const Qe_Pt& p : pts) {
        b += position(p, running);
        running = p;
    }
    return b;
}

// Every member, for the undo oracle and the copy checks.
Bytes dump(MB_Object& o)
{
    auto& b = dynamic_cast<MB_Bspline&>(o);
    std::ostringstream s;
    s.precision(17);
    auto pts = [&](Qe_Pt_Set& set) {
        s << set.count() << ':';
        for (int i = 0; i < set.count(); ++i)
            s << set.points()[i].x() << ',' << set.points()[i].y() << ',' << set.points()[i].z() << ';';
    };
    pts(b.ctlpts());
    pts(b.fitpts());
    s << '|' << b.starttangent().x() << ',' << b.starttangent().y() << '|' << b.endtangent().x() << ','
      << b.endtangent().y() << '|' << b.fittol() << '|' << b.degree() << '|' << b.spline_flag() << '|' << b.weight()
      << '|' << b.knot_number() << ':';
    for (unsigned long i = 0; i < b.knot_number(); ++i) s << b.knot()[i] << ';';
    return s.str();
}

// The nearest point of the polyline to p, by dense sampling of every segment.
Qe_Pt brute_nearest(const Qe_Pt_Set& edge, const Qe_Pt& p)
{
    double best = std::numeric_limits<double>::infinity();
    Qe_Pt best_pt;
    for (int i = 0; i + 1 < edge.count(); ++i) {
        const Qe_Pt a = edge.points()[i], b = edge.points()[i + 1];
        for (int k = 0; k <= 1000; ++k) {
            const double t = k / 1000.0;
            const Qe_Pt q(a.x() + t * (b.x() - a.x()), a.y() + t * (b.y() - a.y()), 0.0);
            const double d = std::hypot(p.x() - q.x(), p.y() - q.y());
            if (d < best) {
                best = d;
                best_pt = q;
            }
        }
    }
    return best_pt;
}

double plane_distance(const Qe_Pt& a, const Qe_Pt& b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

TEST(Bspline_Record, GoldenFitPointsWithoutExtendedData)
{
    auto b = fit_spline();
    // Tangents, degree, knots, control points and an id are not written: no data block.
    b->starttangent(1, 0, 0);
    b->degree(2);
    b->set_id(7);
    b->ctlpts().init(3);
    b->create_kont_array(4);
    std::fill(b->knot(), b->knot() + 4, 1.0);
    EXPECT_EQ(to_hex(record_bytes(*b)), to_hex(w_record(k_fit)));

    Record_Reader rd;
    ASSERT_EQ(rd.read(hex("03") + le_long(0xFF) + w_record(k_fit)), 0);
    auto* r = rd.first<MB_Bspline>();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->object_id(), MB_Object::ID_BSPLINE);
    ASSERT_EQ(r->fitpts().count(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(pt_eq(r->fitpts().points()[i], k_fit[i])) << i;
    EXPECT_EQ(r->general().color(), 0xFF);
    // Everything else has the defaults of a new spline.
    MB_Bspline fresh;
    r->fitpts().init(0);
    r->general().color(0);
    EXPECT_EQ(dump(*r), dump(fresh));
}

// A spline given by control points is written as fit points along its curve; read back,
// the fit through them (the curve the reload draws) lies within resfit of the original
// everywhere, both ways. The distance is measured against dense polylines of both curves.
TEST(Bspline_Record, ControlPointsAreWrittenAsPointsAlongTheirCurve)
{
    struct Case {
        const char* what;
        std::vector<Qe_Pt> control;
    };
    const Case cases[] = {
        {"four points", {Qe_Pt(0, 0, 0), Qe_Pt(10, 20, 0), Qe_Pt(20, -20, 0), Qe_Pt(30, 0, 0)}},
        {"a long wave at z 3",
         {Qe_Pt(0, 0, 3), Qe_Pt(10, 20, 3), Qe_Pt(20, -20, 3), Qe_Pt(30, 0, 3), Qe_Pt(45, 30, 3), Qe_Pt(60, 5, 3),
          Qe_Pt(70, -25, 3), Qe_Pt(95, 40, 3)}},
        {"tight turns", {Qe_Pt(0, 0, 0), Qe_Pt(2, 0, 0), Qe_Pt(2, 2, 0), Qe_Pt(0, 2, 0), Qe_Pt(0, 0.5, 0),
                         Qe_Pt(1.5, 0.5, 0)}},
        // A wave a few hundredths across: resfit alone would let the reload flatten it.
        {"a small wave", {Qe_Pt(0, 0, 0), Qe_Pt(0.01, 0.02, 0), Qe_Pt(0.02, -0.02, 0), Qe_Pt(0.03, 0, 0),
                          Qe_Pt(0.045, 0.03, 0)}},
    };
    // n points of the curve, evenly in its parameter.
    const auto dense = [](const CCurve& curve, int n) {
        std::vector<Qe_Pt> out;
        for (int i = 0; i <= n; ++i) {
            Qe_Pt p;
            EXPECT_EQ(curve.point(curve.start_param() + (curve.end_param() - curve.start_param()) * i / n, p), 0);
            out.emplace_back(p.x(), p.y(), 0.0);
        }
        return out;
    };
    const auto farthest = [](const std::vector<Qe_Pt>& from, const std::vector<Qe_Pt>& to) {
        double worst = 0.0;
        for (const Qe_Pt& p : from) {
            double best = std::numeric_limits<double>::infinity();
            for (std::size_t i = 0; i + 1 < to.size(); ++i) {
                const Qe_Pt& a = to[i];
                const Qe_Pt& b = to[i + 1];
                const double dx = b.x() - a.x(), dy = b.y() - a.y(), l2 = dx * dx + dy * dy;
                const double t = l2 > 0 ? std::clamp(((p.x() - a.x()) * dx + (p.y() - a.y()) * dy) / l2, 0.0, 1.0) : 0.0;
                best = std::min(best, std::hypot(p.x() - a.x() - t * dx, p.y() - a.y() - t * dy));
            }
            worst = std::max(worst, best);
        }
        return worst;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int n = static_cast<int>(c.control.size());
        auto b = std::make_unique<MB_Bspline>(n, 0);
        for (int i = 0; i < n; ++i) b->ctlpts().points()[i] = c.control[i];
        b->create_kont_array(static_cast<unsigned long>(n + 1));
        for (int i = 0; i <= n; ++i) b->knot()[i] = i;
        b->general().color(0);
        b->general().width(1.0);

        Record_Reader rd;
        ASSERT_EQ(rd.read(record_bytes(*b)), 0);
        auto* r = rd.first<MB_Bspline>();
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->ctlpts().count(), 0);
        const int f = r->fitpts().count();
        ASSERT_GE(f, 2);
        EXPECT_LE(f, MB_Bspline::k_max_sampled_points);

        // The original, as the library draws it (control points at z 0, weights 1).
        std::vector<double> ctl, ones(static_cast<std::size_t>(n), 1.0);
        for (const Qe_Pt& p : c.control) ctl.insert(ctl.end(), {p.x(), p.y(), 0.0});
        int status = 0;
        std::unique_ptr<CNURBS> original(make_control_spline(3, n + 1, b->knot(), n,
                                                             reinterpret_cast<const double(*)[3]>(ctl.data()),
                                                             ones.data(), status));
        ASSERT_NE(original, nullptr);
        // The reload's curve: the fit through its fit points, with no end tangents.
        std::vector<double> fit;
        for (int i = 0; i < f; ++i) {
            const Qe_Pt& p = r->fitpts().points()[i];
            EXPECT_EQ(p.z(), 0.0);
            fit.insert(fit.end(), {p.x(), p.y(), p.z()});
        }
        double none[3] = {0, 0, 0};
        CNURBS* made = nullptr;
        ASSERT_EQ(GetFittingSpline(f, reinterpret_cast<double(*)[3]>(fit.data()), 1e-5, none, none, 0, made), 0);
        std::unique_ptr<CNURBS> refit(made);
        const std::vector<Qe_Pt> a = dense(*original, 400), a_fine = dense(*original, 20000);
        const std::vector<Qe_Pt> z = dense(*refit, 400), z_fine = dense(*refit, 20000);
        // Within resfit, and within a hundred-thousandth of the control polygon's extent
        // (but no closer than resabs).
        double lo_x = c.control[0].x(), hi_x = lo_x, lo_y = c.control[0].y(), hi_y = lo_y;
        for (const Qe_Pt& p : c.control) {
            lo_x = std::min(lo_x, p.x()), hi_x = std::max(hi_x, p.x());
            lo_y = std::min(lo_y, p.y()), hi_y = std::max(hi_y, p.y());
        }
        const double allowed = std::max(resabs, std::min(resfit, 1e-5 * std::max(hi_x - lo_x, hi_y - lo_y)));
        EXPECT_LE(farthest(a, z_fine), allowed);
        EXPECT_LE(farthest(z, a_fine), allowed);
        // The ends are the curve's.
        EXPECT_NEAR(r->fitpts().points()[0].x(), a.front().x(), 1e-9);
        EXPECT_NEAR(r->fitpts().points()[f - 1].y(), a.back().y(), 1e-9);
    }
    // Control points the library makes no curve of (too few knots) have nothing to sample.
    auto polygon = control_spline();
    polygon->knot_number(4);
    std::vector<Qe_Pt> none;
    EXPECT_FALSE(polygon->sampled_fit_points(none));
    EXPECT_TRUE(none.empty());
}

// Control polygons whose sampling outgrows what the fitter takes (a long one from the
// start, a sharp zigzag as it is refined) still go out as points along their curve, the
// finest the fitter made, never as an empty record.
TEST(Bspline_Record, LongControlPolygonsAreWrittenAsTheFinestFit)
{
    struct Case {
        const char* what;
        int count;
        double (*y)(int);
    };
    const Case cases[] = {
        {"a zigzag of 200", 200, [](int i) { return i % 2 ? 1000.0 : -1000.0; }},
        {"a wave of 1200", 1200, [](int i) { return 50.0 * std::sin(0.3 * i); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto b = std::make_unique<MB_Bspline>(c.count, 0);
        std::vector<double> ctl, ones(static_cast<std::size_t>(c.count), 1.0);
        for (int i = 0; i < c.count; ++i) {
            b->ctlpts().points()[i] = Qe_Pt(i, c.y(i), 0);
            ctl.insert(ctl.end(), {double(i), c.y(i), 0.0});
        }
        b->create_kont_array(static_cast<unsigned long>(c.count + 1));
        for (int i = 0; i <= c.count; ++i) b->knot()[i] = i;
        b->general().color(0);
        b->general().width(1.0);

        Record_Reader rd;
        ASSERT_EQ(rd.read(record_bytes(*b)), 0);
        auto* r = rd.first<MB_Bspline>();
        ASSERT_NE(r, nullptr);
        const int f = r->fitpts().count();
        ASSERT_GE(f, c.count);
        // Every point written lies on the curve, from its start to its end.
        int status = 0;
        std::unique_ptr<CNURBS> curve(make_control_spline(3, c.count + 1, b->knot(), c.count,
                                                          reinterpret_cast<const double(*)[3]>(ctl.data()),
                                                          ones.data(), status));
        ASSERT_NE(curve, nullptr);
        Qe_Pt start, end;
        ASSERT_EQ(curve->point(curve->start_param(), start), 0);
        ASSERT_EQ(curve->point(curve->end_param(), end), 0);
        EXPECT_NEAR(r->fitpts().points()[0].x(), start.x(), 1e-9);
        EXPECT_NEAR(r->fitpts().points()[0].y(), start.y(), 1e-9);
        EXPECT_NEAR(r->fitpts().points()[f - 1].x(), end.x(), 1e-9);
        EXPECT_NEAR(r->fitpts().points()[f - 1].y(), end.y(), 1e-9);
        double worst = 0.0;
        for (int i = 0; i < f; ++i) {
            const Qe_Pt& p = r->fitpts().points()[i];
            Qe_Pt foot;
            double t = 0.0, d2 = 0.0;
            const double guess = curve->start_param() + (curve->end_param() - curve->start_param()) * i / (f - 1);
            ASSERT_EQ(curve->project_from(p, guess, foot, t, d2), 0);
            worst = std::max(worst, std::sqrt(d2));
        }
        EXPECT_LE(worst, 1e-6);
    }
}

TEST(Bspline_Record, BadInputFailsCleanly)
{
    const Bytes full = w_record(k_fit);
    for (std::size_t n = 1; n < full.size(); ++n) {
        Record_Reader rd;
        EXPECT_NE(rd.read_raw(k_header + full.substr(0, n)), 0) << n;
        EXPECT_EQ(rd.count(), 0) << n;
    }
    // A count far beyond what the file holds allocates nothing and fails.
    for (mb_long count : {mb_long(0x7FFFFFFF), mb_long(-1), mb_long(1 << 20)}) {
        Record_Reader rd;
        EXPECT_NE(rd.read("W" + le_long(count) + position(Qe_Pt(1, 2, 3))), 0) << count;
        EXPECT_EQ(rd.count(), 0);
    }
    // Only 'W' is a spline record: anything else reads nothing.
    MB_Bspline other;
    stream_test::Stream s;
    ASSERT_EQ(s.open_read(full.substr(1)), 0);
    EXPECT_EQ(other.materialize(stream_test::single('L'), s.io), MB_Result::Invalid_Data);
    EXPECT_EQ(s.io.stream_position(), 0);
    EXPECT_EQ(other.fitpts().count(), 0);
    EXPECT_EQ(s.io.close(), 0);
}

TEST(Bspline_Shape, FitCurvePassesThroughItsPoints)
{
    // Fit points keep their z in the fit.
    std::vector<Qe_Pt> pts = k_fit;
    pts[2].set_z(5.0);
    auto b = fit_spline(pts);
    b->build_draw();
    const Qe_Pt_Set& e = b->edge();
    ASSERT_GT(e.count(), 10);
    for (const Qe_Pt& p : pts) {
        double best = std::numeric_limits<double>::infinity();
        for (int i = 0; i < e.count(); ++i) best = std::min(best, (e.points()[i] - p).len());
        EXPECT_LT(best, 1e-6) << p.x();
    }
    EXPECT_TRUE(pt_eq(e.points()[0], pts.front()));
    EXPECT_TRUE(pt_eq(e.points()[e.count() - 1], pts.back()));
    // The rectangle is the extent of the edge points.
    double top = -1e300, bottom = 1e300;
    for (int i = 0; i < e.count(); ++i) {
        top = std::max(top, e.points()[i].y());
        bottom = std::min(bottom, e.points()[i].y());
    }
    EXPECT_EQ(b->rect().lt().x(), 0.0);
    EXPECT_EQ(b->rect().rb().x(), 40.0);
    EXPECT_EQ(b->rect().lt().y(), top);
    EXPECT_EQ(b->rect().rb().y(), bottom);
    // Collinear fit points give their line.
    auto line = fit_spline({Qe_Pt(0, 0, 0), Qe_Pt(1, 2, 0), Qe_Pt(3, 6, 0), Qe_Pt(4, 8, 0)});
    line->build_draw();
    ASSERT_GE(line->edge().count(), 2);
    for (int i = 0; i < line->edge().count(); ++i) {
        const Qe_Pt& p = line->edge().points()[i];
        EXPECT_NEAR(p.y(), 2.0 * p.x(), 1e-9);
    }
    // Length and area of the edge points.
    double length = 0.0;
    for (int i = 1; i < e.count(); ++i) length += std::hypot(e.points()[i].x() - e.points()[i - 1].x(),
                                                             e.points()[i].y() - e.points()[i - 1].y());
    EXPECT_GT(length, 40.0);
    EXPECT_NEAR(line->get_real(mb_key::Length), std::hypot(4.0, 8.0), 1e-9);
    EXPECT_NEAR(line->get_real(mb_key::Area), 0.0, 1e-9);
}

TEST(Bspline_Shape, ControlPointsAndTheirFallbacks)
{
    // Control points with z are drawn at z = 0.
    auto curve = control_spline(4.0);
    curve->build_draw();
    const int n = curve->edge().count();
    ASSERT_GT(n, 4);
    for (int i = 0; i < n; ++i) EXPECT_EQ(curve->edge().points()[i].z(), 0.0) << i;

    struct Case {
        const char* what;
        unsigned long knots;  // the count set after the array of five
        bool polygon;
    };
    const Case cases[] = {
        {"a knot count above the control count draws the curve", 5, false},
        {"a knot count equal to the control count: the control polygon", 4, true},
        {"a count set above the array stays at the array", 1000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto b = control_spline(4.0);
        b->knot_number(c.knots);
        EXPECT_LE(b->knot_number(), b->knot_capacity());
        b->build_draw();
        if (c.polygon) {
            ASSERT_EQ(b->edge().count(), 4);
            for (int i = 0; i < 4; ++i) {
                const Qe_Pt& p = b->ctlpts().points()[i];
                EXPECT_TRUE(pt_eq(b->edge().points()[i], Qe_Pt(p.x(), p.y(), 0.0)));
            }
        } else {
            EXPECT_EQ(b->edge().count(), n);
        }
    }

    // A failed fit (every point the same) keeps the display it had.
    auto b = fit_spline();
    b->build_draw();
    const int before = b->edge().count();
    for (int i = 0; i < b->fitpts().count(); ++i) b->fitpts().points()[i] = Qe_Pt(1, 1, 0);
    b->build_draw();
    EXPECT_EQ(b->edge().count(), before);
    // Without points nothing is drawn and nothing changes.
    MB_Bspline empty;
    empty.build_draw();
    EXPECT_EQ(empty.edge().count(), 0);
}

TEST(Bspline_Knots, CountNeverExceedsTheArray)
{
    auto b = control_spline();
    b->knot_number(7);
    EXPECT_EQ(b->knot_number(), 5u);
    b->knot_number(3);
    EXPECT_EQ(b->knot_number(), 3u);
    // The copy reads as many knots as the count says: never past the array.
    b->knot_number(1u << 30);
    MB_Object* copy = nullptr;
    ASSERT_TRUE(b->copy_to(copy));
    std::unique_ptr<MB_Object> owned(copy);
    EXPECT_EQ(dump(*copy), dump(*b));
    EXPECT_EQ(static_cast<MB_Bspline*>(copy)->knot_number(), 5u);
    // A new array replaces the count; an empty one leaves none.
    b->create_kont_array(0);
    EXPECT_EQ(b->knot_number(), 0u);
    EXPECT_EQ(b->knot(), nullptr);
    b->knot_number(4);
    EXPECT_EQ(b->knot_number(), 0u);
    b->build_draw();  // no knots: the control polygon
    EXPECT_EQ(b->edge().count(), 4);
}

TEST(Bspline_Copy, EveryMemberIntoNewAndExistingTargets)
{
    auto b = control_spline(2.0);
    b->fitpts().init(2);
    b->fitpts().points()[1] = Qe_Pt(3, 4, 5);
    b->starttangent(0, 3, 0);
    b->endtangent(Qe_Uvec(1, 1, 0));
    b->fittol(0.25);
    b->degree(2);
    b->spline_flag(6);
    b->weight(2.5);
    b->general().color(0x123456);

    MB_Object* fresh = nullptr;
    ASSERT_TRUE(b->copy_to(fresh));
    std::unique_ptr<MB_Object> owned(fresh);
    EXPECT_EQ(dump(*fresh), dump(*b));
    EXPECT_EQ(static_cast<MB_Bspline*>(fresh)->general().color(), 0x123456);
    EXPECT_NE(static_cast<MB_Bspline*>(fresh)->knot(), b->knot());

    // An existing spline with knots of its own takes every member; the arrays stay apart.
    auto target = fit_spline();
    target->create_kont_array(9);
    MB_Object* t = target.get();
    ASSERT_TRUE(b->copy_to(t));
    EXPECT_EQ(dump(*target), dump(*b));
    b->knot()[0] = 42.0;
    EXPECT_EQ(target->knot()[0], 0.0);
    // Copying into itself changes nothing.
    MB_Object* self = b.get();
    const Bytes before = dump(*b);
    ASSERT_TRUE(b->copy_to(self));
    EXPECT_EQ(dump(*b), before);
    // Other classes are refused.
    MB_Line line;
    MB_Object* other = &line;
    EXPECT_FALSE(b->copy_to(other));
    // By-value copies are deep as well.
    MB_Bspline copied(*b);
    EXPECT_EQ(dump(copied), dump(*b));
    EXPECT_NE(copied.knot(), b->knot());
    MB_Bspline assigned;
    assigned = copied;
    EXPECT_EQ(dump(assigned), dump(*b));
}

TEST(Bspline_Undo, RecordedSettersAndTranslateComeBack)
{
    Op_Fixture f;
    const Snapshot fields = [](MB_Object& o) { return dump(o); };
    expect_undo_redo_state(
        f, control_spline().release(), [](MB_Object& o) { static_cast<MB_Bspline&>(o).spline_flag(3); },
        "spline flag", fields);
    expect_undo_redo_state(
        f, fit_spline().release(),
        [](MB_Object& o) {
            auto& b = static_cast<MB_Bspline&>(o);
            b.starttangent(0, 1, 0);
            b.endtangent(1, 0, 0);
        },
        "tangents", fields);
    // A change that grows the knot array: undo gives back the old array and count.
    expect_undo_redo_state(
        f, control_spline().release(),
        [](MB_Object& o) {
            auto& b = static_cast<MB_Bspline&>(o);
            b.spline_flag(1);
            b.create_kont_array(12);
            for (int i = 0; i < 12; ++i) b.knot()[i] = 0.5 * i;
            b.fittol(0.5);
            b.weight(3.0);
        },
        "knots", fields);
    expect_undo_redo_state(
        f, fit_spline().release(),
        [](MB_Object& o) { static_cast<MB_Bspline&>(o).translate(translate_transf(Qe_Vec(5, -2, 0)), 0); },
        "translate");
}

TEST(Bspline_Transform, TranslateMovesBothPointSets)
{
    auto b = control_spline(1.0);
    b->fitpts().init(2);
    b->fitpts().points()[0] = Qe_Pt(1, 1, 1);
    b->fitpts().points()[1] = Qe_Pt(5, 1, 1);
    b->starttangent(1, 0, 0);
    b->build_draw();
    ASSERT_GT(b->edge().count(), 0);
    const Qe_Pt first = b->edge().points()[0];
    b->translate(translate_transf(Qe_Vec(10, 0, 0)), 0);
    EXPECT_TRUE(pt_eq(b->ctlpts().points()[0], Qe_Pt(10, 0, 1)));
    EXPECT_TRUE(pt_eq(b->fitpts().points()[0], Qe_Pt(11, 1, 1)));
    EXPECT_EQ(b->starttangent().x(), 1.0);
    EXPECT_EQ(b->starttangent().y(), 0.0);
    EXPECT_EQ(b->knot()[4], 4.0);
    // The display follows at the next build.
    EXPECT_TRUE(pt_eq(b->edge().points()[0], first));
}

TEST(Bspline_Properties, Keys)
{
    auto b = fit_spline();
    b->ctlpts().init(2);
    b->starttangent(0, 2, 0);
    b->endtangent(-1, 0, 0);
    EXPECT_TRUE(pt_eq(b->get_point(1), k_fit[1]));
    EXPECT_TRUE(pt_eq(b->get_point(-15), Qe_Pt(0, 1, 0)));
    EXPECT_TRUE(pt_eq(b->get_point(-16), Qe_Pt(-1, 0, 0)));
    EXPECT_EQ(b->get_int(-209), 5);
    EXPECT_EQ(b->get_int(-210), 2);
    b->set_point(3, Qe_Pt(7, 7, 7));
    EXPECT_TRUE(pt_eq(b->fitpts().points()[3], Qe_Pt(7, 7, 7)));
    b->set_point(5, Qe_Pt(9, 9, 9));  // past the fit points: nothing
    EXPECT_TRUE(pt_eq(b->get_point(5), Qe_Pt()));
    // Keys of the drawable.
    b->set_int(mb_key::Color, 0x4455);
    EXPECT_EQ(b->get_int(mb_key::Color), 0x4455);
    EXPECT_EQ(b->get_real(mb_key::Length), 0.0);  // not built: no edge points
}

TEST(Bspline_Pick, AgreesWithTheBruteForceDistance)
{
    auto b = fit_spline();
    b->build_draw();
    const Qe_Pt_Set& e = b->edge();
    const double tol = 0.8;
    Qe_Pt_List hits;
    int hit_count = 0, miss_count = 0;
    for (double x = -2.0; x <= 42.0; x += 0.83) {
        for (double y = -12.0; y <= 12.0; y += 0.61) {
            const Qe_Pt p(x, y, 0);
            Qe_Pt out(99, 99, 99);
            int kind = 0, extra = 0;
            const bool hit = b->pick(p, hits, tol, out, kind, extra);
            const Qe_Pt q = brute_nearest(e, p);
            const double d = plane_distance(p, q);
            // Away from the boundary of reach (the sampling is 1/1000 of a segment).
            if (std::fabs(d - tol) < 2e-3) continue;
            EXPECT_EQ(hit, d < tol) << x << ' ' << y << " at " << d;
            if (!hit) {
                ++miss_count;
                continue;
            }
            ++hit_count;
            EXPECT_EQ(kind, 55);
            EXPECT_LT(plane_distance(out, q), 2e-2) << x << ' ' << y;
            EXPECT_NEAR(plane_distance(out, p), d, 2e-4) << x << ' ' << y;
        }
    }
    EXPECT_GT(hit_count, 50);
    EXPECT_GT(miss_count, 50);
    // Beyond the curve's ends by more than tol: no hit.
    Qe_Pt out;
    int kind = 0, extra = 0;
    EXPECT_FALSE(b->pick(Qe_Pt(-1.2, 0, 0), hits, 1.0, out, kind, extra));
    EXPECT_FALSE(b->pick(Qe_Pt(41.2, 0, 0), hits, 1.0, out, kind, extra));
    // No points, or fewer than two edge points: never a hit.
    MB_Bspline empty;
    EXPECT_FALSE(empty.pick(Qe_Pt(), hits, 100.0, out, kind, extra));
}

TEST(Bspline_Draw, GripsOnTheRasterDevicesOwnContext)
{
    auto b = fit_spline();
    Raster r(60, 30);
    Recording_Dc dc;
    b->draw_key_point(dc.dc, r.q, translate_transf(Qe_Vec(10, 15, 0)));
    EXPECT_TRUE(dc.texts().empty());
    // Five outlines of 7 x 7 pixels, apart from each other.
    EXPECT_EQ(r.drawn(), 5 * 24);
    // The curve itself draws through its edge points.
    b->build_draw();
    Raster curve(60, 30);
    Qe_Tran t = translate_transf(Qe_Vec(5, 15, 0));
    b->draw(nullptr, curve.q, t);
    EXPECT_GT(curve.drawn(), 40);
}

}  // namespace

