#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "curves/spline_gen.h"
#include "geometry/pt_list.h"
#include "kernel/operation/operation.h"
#include "kernel/operation/rubber.h"
#include "platform/gdi.h"
#include "platform/recording_dc.h"

namespace {

struct P2 {
    double x, y;
};

double dist_to_segment(P2 p, P2 a, P2 b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double l2 = dx * dx + dy * dy;
    double u = l2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / l2 : 0;
    u = std::fmax(0, std::fmin(1, u));
    return std::hypot(p.x - (a.x + u * dx), p.y - (a.y + u * dy));
}

double dist_to_run(P2 p, const std::vector<P2>& run)
{
    if (run.size() == 1) return std::hypot(p.x - run[0].x, p.y - run[0].y);
    double best = INFINITY;
    for (std::size_t i = 0; i + 1 < run.size(); ++i) best = std::fmin(best, dist_to_segment(p, run[i], run[i + 1]));
    return best;
}

std::vector<P2> run_of(const MB_Rubber_Spline& s)
{
    std::vector<P2> out;
    for (const POINT& p : s.pixels()) out.push_back({double(p.x), double(p.y)});
    return out;
}

// The same fit sampled densely: the curve library's control points and knots, evaluated here
// with de Boor's algorithm.
std::vector<P2> fine_fit(const std::vector<Qe_Pt>& pts, const Qe_Tran& t)
{
    std::vector<double> in;
    for (const Qe_Pt& p : pts) in.insert(in.end(), {p.x(), p.y(), p.z()});
    double zero[3] = {0, 0, 0};
    int nc = 0, nk = 0;
    double(*ctrl)[3] = nullptr;
    double* knots = nullptr;
    const int rc = gr_splinegen2(3, static_cast<int>(pts.size()), reinterpret_cast<double(*)[3]>(in.data()), 1e-5, zero,
                                 zero, 0, 1.0, nullptr, nullptr, &nc, &ctrl, &nk, &knots);
    std::vector<P2> out;
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(nk, nc + 4);
    if (rc == 0 && nk == nc + 4 && nc >= 4) {
        const int p = 3;
        const double u0 = knots[p], u1 = knots[nc];
        const int samples = 4000;
        for (int i = 0; i <= samples; ++i) {
            const double u = u0 + (u1 - u0) * i / samples;
            int k = p;
            while (k < nc - 1 && u >= knots[k + 1]) ++k;
            double d[4][2];
            for (int j = 0; j <= p; ++j) d[j][0] = ctrl[k - p + j][0], d[j][1] = ctrl[k - p + j][1];
            for (int r = 1; r <= p; ++r)
                for (int j = p; j >= r; --j) {
                    const double den = knots[j + 1 + k - r] - knots[j + k - p];
                    const double a = den > 0 ? (u - knots[j + k - p]) / den : 0;
                    d[j][0] = (1 - a) * d[j - 1][0] + a * d[j][0];
                    d[j][1] = (1 - a) * d[j - 1][1] + a * d[j][1];
                }
            const Qe_Pt q = Qe_Pt(d[p][0], d[p][1], 0) * t;
            out.push_back({q.x(), q.y()});
        }
    }
    std::free(ctrl);
    std::free(knots);
    return out;
}

// How far a point of the curve may lie from the run: the tessellation's chord tolerance in
// pixels, plus the truncation of the run's points to whole pixels.
const double k_reach = MB_Rubber_Spline::k_tess_pixels + std::sqrt(2.0) + 1e-9;

P2 pixel_of(const Qe_Pt& p, const Qe_Tran& t)
{
    const Qe_Pt q = p * t;
    return {std::trunc(q.x()), std::trunc(q.y())};
}

TEST(RubberSpline, EmptyListHasNoPoints)
{
    MB_Operation op;
    Qe_Pt_List none;
    const MB_Rubber_Spline s(none, Qe_Pt(3, 4, 0), Qe_Tran());
    EXPECT_TRUE(s.pixels().empty());
    EXPECT_TRUE(MB_Rubber_Spline().pixels().empty());
    HDC rec = platform_create_recording_dc(nullptr);
    MB_Rubber_Spline copy(none, Qe_Pt(), Qe_Tran());
    copy.draw(rec, Qe_Tran());
    EXPECT_TRUE(platform_recorded_calls(rec).empty());
    DeleteDC(rec);
}

// One point and the cursor give the straight run between them.
TEST(RubberSpline, OnePointAndTheCursorIsStraight)
{
    MB_Operation op;
    const Qe_Tran t = scale_transf(5.0) * translate_transf(Qe_Vec(20, 30, 0));
    Qe_Pt_List one;
    one.add_tail(Qe_Pt(1, 2, 0));
    const MB_Rubber_Spline s(one, Qe_Pt(21, 9, 0), t);
    const std::vector<P2> run = run_of(s);
    ASSERT_GE(run.size(), 2u);
    const P2 a = pixel_of(Qe_Pt(1, 2, 0), t), b = pixel_of(Qe_Pt(21, 9, 0), t);
    EXPECT_LE(std::hypot(run.front().x - a.x, run.front().y - a.y), 1.0);
    EXPECT_LE(std::hypot(run.back().x - b.x, run.back().y - b.y), 1.0);
    for (const P2& p : run) EXPECT_LE(dist_to_segment(p, a, b), 1.0);
}

// Through several points at two zooms: each input point lies on the run, and the run follows
// the finely tessellated fit to the pixel tolerance (plus the truncation to whole pixels).
TEST(RubberSpline, RunFollowsTheFitAtEveryZoom)
{
    MB_Operation op;
    const std::vector<Qe_Pt> picks = {Qe_Pt(0, 0, 0), Qe_Pt(3, 4, 0), Qe_Pt(7, -1, 0), Qe_Pt(10, 3, 0)};
    const Qe_Pt cursor(12, 8, 0);
    std::vector<Qe_Pt> all = picks;
    all.push_back(cursor);
    Qe_Pt_List list;
    for (const Qe_Pt& p : picks) list.add_tail(p);
    std::size_t coarse = 0;
    for (double zoom : {4.0, 150.0}) {
        SCOPED_TRACE(zoom);
        const Qe_Tran t = scale_transf(zoom) * translate_transf(Qe_Vec(100, 100, 0));
        const MB_Rubber_Spline s(list, cursor, t);
        const std::vector<P2> run = run_of(s);
        ASSERT_GE(run.size(), 2u);
        for (const Qe_Pt& p : all) EXPECT_LE(dist_to_run(pixel_of(p, t), run), k_reach);
        const std::vector<P2> fine = fine_fit(all, t);
        ASSERT_FALSE(fine.empty());
        for (const P2& p : run) EXPECT_LE(dist_to_run(p, fine), std::sqrt(2.0) + 1e-9);
        for (std::size_t i = 0; i + 1 < run.size(); ++i) {
            const P2 mid{(run[i].x + run[i + 1].x) / 2, (run[i].y + run[i + 1].y) / 2};
            EXPECT_LE(dist_to_run(mid, fine), k_reach);
        }
        if (coarse == 0)
            coarse = run.size();
        else
            EXPECT_GT(run.size(), coarse);  // a closer view needs more points
    }
}

// A cursor resting on the last pick, or picks repeated, still show the curve.
TEST(RubberSpline, RepeatedPointsDoNotMakeTheCurveVanish)
{
    MB_Operation op;
    const Qe_Tran t = scale_transf(10.0);
    Qe_Pt_List list;
    list.add_tail(Qe_Pt(1, 1, 0));
    list.add_tail(Qe_Pt(1, 1, 0));
    list.add_tail(Qe_Pt(4, 6, 0));
    list.add_tail(Qe_Pt(8, 2, 0));
    const MB_Rubber_Spline s(list, Qe_Pt(8, 2, 0), t);
    const std::vector<P2> run = run_of(s);
    ASSERT_GE(run.size(), 3u);
    EXPECT_LE(dist_to_run(pixel_of(Qe_Pt(4, 6, 0), t), run), k_reach);
    Qe_Pt_List lone;
    lone.add_tail(Qe_Pt(2, 2, 0));
    EXPECT_TRUE(MB_Rubber_Spline(lone, Qe_Pt(2, 2, 0), t).pixels().empty());

    // Drawn as one polyline in the node's pen.
    HDC rec = platform_create_recording_dc(nullptr);
    MB_Rubber_Spline drawn(list, Qe_Pt(9, 9, 0), t);
    drawn.draw(rec, t);
    int polylines = 0;
    for (const Platform_Call& c : platform_recorded_calls(rec))
        if (c.name == "Polyline") {
            ++polylines;
            EXPECT_EQ(c.args.size(), 2 * drawn.pixels().size() + 1);  // the count, then the points
            EXPECT_EQ(c.pen.lopnColor, static_cast<COLORREF>(drawn.color()));
        }
    EXPECT_EQ(polylines, 1);
    DeleteDC(rec);
}

// The rubber band's adder makes a spline node only inside a frame.
TEST(RubberSpline, JoinsTheNewListOnlyInsideAFrame)
{
    MB_Operation op;
    MB_Rubber rb;
    Qe_Pt_List list;
    list.add_tail(Qe_Pt(0, 0, 0));
    rb.draw_spline(list, Qe_Pt(5, 5, 0), Qe_Tran());
    EXPECT_TRUE(rb.new_list().is_empty());
    rb.xor_flag(false);
    rb.draw_begin();
    rb.draw_spline(list, Qe_Pt(5, 5, 0), Qe_Tran());
    ASSERT_EQ(rb.new_list().count(), 1);
    EXPECT_NE(dynamic_cast<MB_Rubber_Spline*>(static_cast<MB_Rubber_Node*>(rb.new_list().first())), nullptr);
}

}  // namespace
