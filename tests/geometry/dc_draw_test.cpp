#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "geometry/angles.h"
#include "geometry/dc_draw.h"
#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/handles.h"
#include "platform/recording_dc.h"
#include "platform/window.h"

namespace {

// A recording DC without a bitmap: calls are logged, nothing is drawn.
struct Recorder {
    HDC dc = platform_create_recording_dc(nullptr);
    ~Recorder() { DeleteDC(dc); }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const Platform_Call& c : platform_recorded_calls(dc)) out.push_back(platform_call_text(c));
        return out;
    }
    std::vector<Platform_Call> calls() const { return platform_recorded_calls(dc); }
    void clear() { platform_clear_recorded_calls(dc); }
};

using Texts = std::vector<std::string>;

std::string points_text(const char* name, std::initializer_list<std::pair<int, int>> pts)
{
    std::string s = std::string(name) + ' ' + std::to_string(pts.size());
    for (auto [x, y] : pts) s += ' ' + std::to_string(x) + ' ' + std::to_string(y);
    return s;
}

// The 13 control points of four quarter arcs about (cx, cy), mirrored in the row through the
// centre and then turned counter-clockwise on the screen (rows grow downwards) by angle.
std::vector<std::pair<double, double>> ideal_bezier_ellipse(double cx, double cy, double major, double minor,
                                                            double angle)
{
    const double kx = std::trunc(major * 0.5522847498308), ky = std::trunc(minor * 0.5522847498308);
    const double q[13][2] = {{-major, 0}, {-major, -ky}, {-kx, -minor}, {0, -minor}, {kx, -minor},
                             {major, -ky}, {major, 0},    {major, ky},   {kx, minor}, {0, minor},
                             {-kx, minor}, {-major, ky},  {-major, 0}};
    std::vector<std::pair<double, double>> out;
    for (const auto& p : q) {
        const double dx = p[0], dy = -p[1];
        out.push_back({cx + dx * std::cos(angle) + dy * std::sin(angle), cy - dx * std::sin(angle) + dy * std::cos(angle)});
    }
    return out;
}

void expect_bezier_near(const Platform_Call& c, const std::vector<std::pair<double, double>>& ideal)
{
    ASSERT_EQ(c.name, "PolyBezier");
    ASSERT_EQ(c.args.size(), 27u);
    ASSERT_EQ(c.args[0], 13);
    for (std::size_t i = 0; i < 13; ++i) {
        // Truncation of the turned points may move a point by one pixel.
        EXPECT_NEAR(static_cast<double>(c.args[1 + 2 * i]), ideal[i].first, 1.0) << i;
        EXPECT_NEAR(static_cast<double>(c.args[2 + 2 * i]), ideal[i].second, 1.0) << i;
    }
}

TEST(DcDraw, WholeEllipseIsThirteenBezierPoints)
{
    Recorder r;
    // The centre is truncated to (100, 100).
    api_mb_draw_ellipse(r.dc, Qe_Pt(100.7, 100.2, 0), 40, 20, 0.0, 0);
    auto calls = r.calls();
    ASSERT_EQ(calls.size(), 1u);
    expect_bezier_near(calls[0], ideal_bezier_ellipse(100, 100, 40, 20, 0.0));
    r.clear();
    // Turned by π/2: the major axis stands upright and the first point is at the bottom.
    api_mb_draw_ellipse(r.dc, Qe_Pt(100, 100, 0), 40, 20, HALF_PI, 1);
    calls = r.calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].name, "BeginPath");
    expect_bezier_near(calls[1], ideal_bezier_ellipse(100, 100, 40, 20, HALF_PI));
    EXPECT_EQ(calls[1].args[1], 100);
    EXPECT_EQ(calls[1].args[2], 140);
    EXPECT_EQ(calls[2].name, "EndPath");
    EXPECT_EQ(calls[3].name, "StrokeAndFillPath");
}

TEST(DcDraw, EllipseArcFormDrawsTheWholeEllipseForAFullTurn)
{
    Recorder r;
    api_mb_draw_ellipse(r.dc, Qe_Pt(50, 50, 0), 30, 10, 0.0, TWO_PI, 0.0);
    ASSERT_EQ(r.calls().size(), 1u);
    EXPECT_EQ(r.calls()[0].name, "PolyBezier");
    r.clear();
    api_mb_draw_ellipse(r.dc, Qe_Pt(50, 50, 0), 30, 10, 1.0, 1.0, 0.0);
    EXPECT_EQ(r.calls()[0].name, "PolyBezier");
    r.clear();
    // A quarter: 64 points from the major axis end to the minor axis end.
    api_mb_draw_ellipse(r.dc, Qe_Pt(50, 50, 0), 30, 10, 0.0, HALF_PI, 0.0);
    const auto calls = r.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].name, "Polyline");
    ASSERT_EQ(calls[0].args.size(), 129u);
    EXPECT_EQ(calls[0].args[0], 64);
    EXPECT_EQ(calls[0].args[1], 80);
    EXPECT_EQ(calls[0].args[2], 50);
    EXPECT_EQ(calls[0].args[127], 50);
    EXPECT_EQ(calls[0].args[128], 60);
}

TEST(DcDraw, EllipseExSweepIsBoundedToOneTurn)
{
    Recorder r;
    const Qe_Tran id;
    for (auto [start, end, most] : {std::tuple{0.0, 100.0, 101}, {0.0, TWO_PI, 101}, {0.0, 1e300, 101},
                                    {THREE_HALF_PI, HALF_PI, 51}, {0.0, HALF_PI, 26}}) {
        r.clear();
        api_mb_draw_ellipse_ex(r.dc, Qe_Pt(100, 100, 0), 40, 20, 0.0, start, end, id);
        const auto calls = r.calls();
        ASSERT_EQ(calls.size(), 1u);
        const long long n = calls[0].args[0];
        EXPECT_LE(n, most);
        EXPECT_GE(n, most - 1);
        // Every point lies on the ellipse.
        for (long long i = 0; i < n; ++i) {
            const double x = calls[0].args[1 + 2 * i] - 100.0, y = calls[0].args[2 + 2 * i] - 100.0;
            EXPECT_NEAR(x * x / 1600 + y * y / 400, 1.0, 0.12);
        }
    }
    r.clear();
    api_mb_draw_ellipse_ex(r.dc, Qe_Pt(0, 0, 0), 4, 2, 0.0, std::nan(""), 1.0, id);
    EXPECT_TRUE(r.calls().empty());
}

TEST(DcDraw, RectangleIsAClosedFivePointPolylineInAPathWhenFilled)
{
    Recorder r;
    api_mb_draw_rect(r.dc, Qe_Pt(1.9, 2.2, 0), Qe_Pt(10.5, 20.7, 0), 0.0, 1);
    const std::string poly = points_text("Polyline", {{1, 2}, {10, 2}, {10, 20}, {1, 20}, {1, 2}});
    EXPECT_EQ(r.texts(), (Texts{"BeginPath", poly, "EndPath", "StrokeAndFillPath"}));
    r.clear();
    api_mb_draw_rect(r.dc, Qe_Pt(1.9, 2.2, 0), Qe_Pt(10.5, 20.7, 0), 0.0, 0);
    EXPECT_EQ(r.texts(), Texts{poly});
}

TEST(DcDraw, PointMarkers)
{
    Recorder r;
    const Qe_Pt p(20.6, 30.3, 0);
    struct Case {
        int style, size, fill;
        Texts expected;
    };
    const Case cases[] = {
        {0, 4, 1, {"Rectangle 16 26 24 34"}},
        {0, 4, 0, {points_text("Polyline", {{16, 26}, {24, 26}, {24, 34}, {16, 34}, {16, 26}})}},
        {1, 4, 1, {"Ellipse 16 26 24 34"}},
        {1, 4, 0, {"Arc 16 26 24 34 0 0 0 0"}},
        {2, 4, 0, {"MoveToEx 20 26", "LineTo 20 35", "MoveToEx 16 30", "LineTo 25 30"}},
        {3, 4, 0, {"MoveToEx 16 26", "LineTo 24 34", "MoveToEx 24 26", "LineTo 16 34"}},
        {4, 4, 0,
         {"MoveToEx 16 26", "LineTo 24 34", "MoveToEx 24 26", "LineTo 16 34", "MoveToEx 16 30", "LineTo 24 30",
          "MoveToEx 20 26", "LineTo 20 34"}},
        {7, 4, 0, {}},
        {-1, 4, 1, {}},
    };
    for (const Case& c : cases) {
        r.clear();
        api_mb_draw_point(r.dc, p, c.style, c.size, c.fill);
        EXPECT_EQ(r.texts(), c.expected) << "style " << c.style << " fill " << c.fill;
    }
    // Size 3 circles are fixed patterns of short lines.
    for (int fill : {0, 1}) {
        r.clear();
        api_mb_draw_point(r.dc, p, 1, 3, fill);
        const auto calls = r.calls();
        ASSERT_FALSE(calls.empty());
        for (const Platform_Call& c : calls) EXPECT_TRUE(c.name == "MoveToEx" || c.name == "LineTo");
    }
    // Star and triangle: T = (20, 10) turned about (20, 30); vertices near the ideal ones.
    for (auto [style, count, steps] : {std::tuple{5, 6, 5}, {6, 4, 3}}) {
        r.clear();
        api_mb_draw_point(r.dc, Qe_Pt(20, 30, 0), style, 20, 0);
        const auto calls = r.calls();
        ASSERT_EQ(calls.size(), 1u);
        ASSERT_EQ(calls[0].name, "Polyline");
        ASSERT_EQ(calls[0].args[0], count);
        const std::vector<int> order = style == 5 ? std::vector<int>{0, 3, 1, 4, 2, 0} : std::vector<int>{0, 1, 2, 0};
        for (int i = 0; i < count; ++i) {
            const int k = order[static_cast<std::size_t>(i)];
            const double a = TWO_PI * k / steps;
            const double x = 20 + 20 * std::sin(a), y = 30 - 20 * std::cos(a);
            EXPECT_NEAR(static_cast<double>(calls[0].args[1 + 2 * i]), x, 1.5 * k + 0.01) << style << " " << i;
            EXPECT_NEAR(static_cast<double>(calls[0].args[2 + 2 * i]), y, 1.5 * k + 0.01) << style << " " << i;
        }
    }
    r.clear();
    api_mb_draw_point(r.dc, p);
    EXPECT_EQ(r.texts(), (Texts{"SetPixel 20 30 16711680", "SetPixel 19 30 16711680", "SetPixel 21 30 16711680",
                                "SetPixel 20 29 16711680", "SetPixel 20 31 16711680"}));
}

TEST(DcDraw, RotatePointTruncates)
{
    POINT p{10, 0};
    api_mb_rotate_point(p, POINT{0, 0}, HALF_PI);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 10);
    p = POINT{3, 4};
    api_mb_rotate_point(p, POINT{1, 1}, 0.3);
    EXPECT_EQ(p.x, static_cast<LONG>(1 + std::cos(0.3) * 2 - std::sin(0.3) * 3));
    EXPECT_EQ(p.y, static_cast<LONG>(1 + std::cos(0.3) * 3 + std::sin(0.3) * 2));
}

TEST(DcDraw, ArcsLinesAndCircles)
{
    Recorder r;
    // Two different points on one pixel: nothing.
    api_mb_draw_arc(r.dc, Qe_Pt(10.2, 5.1, 0), Qe_Pt(10.7, 5.9, 0), Qe_Pt(0, 0, 0), 11.0);
    EXPECT_TRUE(r.calls().empty());
    api_mb_draw_arc(r.dc, Qe_Pt(10.2, 5.1, 0), Qe_Pt(10.2, 5.1, 0), Qe_Pt(0, 0, 0), 11.0);
    EXPECT_EQ(r.texts(), Texts{"Arc -11 -11 11 11 10 5 10 5"});
    r.clear();
    api_mb_draw_arc(r.dc, Qe_Pt(0, 0, 0), 1.0, 0.0, 1.0, Qe_Pt(1, 0, 0), Qe_Pt(0, 1, 0));
    api_mb_draw_line(r.dc, Qe_Pt(1.5, 2.5, 0), Qe_Pt(-3.5, 4.9, 0));
    api_mb_draw_circle(r.dc, Qe_Pt(50, 40, 0), 10.5, 1);
    api_mb_draw_circle(r.dc, Qe_Pt(50, 40, 0), 10.5, 0);
    api_mb_draw_triangle(r.dc, Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0), Qe_Pt(5, 8, 0), 1);
    api_mb_draw_triangle(r.dc, Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0), Qe_Pt(5, 8, 0), 0);
    EXPECT_EQ(r.texts(), (Texts{"MoveToEx 1 2", "LineTo -3 4", "Ellipse 39 29 60 50", "Arc 39 29 60 50 0 0 0 0",
                                points_text("Polygon", {{0, 0}, {10, 0}, {5, 8}, {0, 0}}),
                                points_text("Polyline", {{0, 0}, {10, 0}, {5, 8}, {0, 0}})}));
    // The transformed circle: n + 1 points from c + (0, r), one run drawn by the point sets.
    r.clear();
    api_mb_draw_circle(r.dc, Qe_Pt(50, 40, 0), 10, Qe_Tran(), 4);
    EXPECT_EQ(r.texts(), Texts{points_text("Polyline", {{50, 50}, {40, 40}, {50, 30}, {60, 40}, {50, 50}})});
    r.clear();
    api_mb_draw_circle(r.dc, Qe_Pt(50, 40, 0), 10, Qe_Tran(), 0);
    EXPECT_TRUE(r.calls().empty());
}

TEST(DcDraw, ArrowStyles)
{
    Recorder r;
    HGDIOBJ pen = GetCurrentObject(r.dc, OBJ_PEN), brush = GetCurrentObject(r.dc, OBJ_BRUSH);
    const long live = platform_gdi_object_count();
    // Style 2 draws nothing and touches nothing.
    api_mb_draw_arrow(r.dc, Qe_Tran(), 0xFF, Qe_Pt(10, 10, 0), Qe_Uvec(1, 0, 0), 8, 3, 2);
    EXPECT_TRUE(r.calls().empty());
    // Style 1: the outline in the current pen; the base is behind the tip along dir.
    api_mb_draw_arrow(r.dc, Qe_Tran(), 0xFF, Qe_Pt(10, 10, 0), Qe_Uvec(1, 0, 0), 8, 3, 1);
    EXPECT_EQ(r.texts(), Texts{points_text("Polyline", {{10, 10}, {18, 7}, {18, 13}, {10, 10}})});
    // Style 0: filled with a solid brush and pen of the colour, both given back afterwards.
    r.clear();
    api_mb_draw_arrow(r.dc, Qe_Tran(), 0x00FF00, Qe_Pt(10, 10, 0), Qe_Uvec(0, 1, 0), 8, 3, 0);
    const auto calls = r.calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].name, "SelectObject");
    EXPECT_EQ(calls[1].name, "SelectObject");
    EXPECT_EQ(platform_call_text(calls[2]), points_text("Polygon", {{10, 10}, {13, 18}, {7, 18}, {10, 10}}));
    EXPECT_EQ(calls[2].pen.lopnColor, 0x00FF00u);
    EXPECT_EQ(calls[2].pen.lopnStyle, static_cast<UINT>(PS_SOLID));
    EXPECT_EQ(calls[2].pen.lopnWidth.x, 0);
    EXPECT_EQ(calls[2].brush.lbStyle, BS_SOLID);
    EXPECT_EQ(calls[2].brush.lbColor, 0x00FF00u);
    EXPECT_EQ(GetCurrentObject(r.dc, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(r.dc, OBJ_BRUSH), brush);
    EXPECT_EQ(platform_gdi_object_count(), live);
}

TEST(DcDraw, PointContainersDrawThroughTheTransform)
{
    Recorder r;
    const Qe_Tran t = scale_transf(2.0);
    Qe_Pt_List list;
    list.draw(r.dc, t);
    EXPECT_TRUE(r.calls().empty());
    list.add(Qe_Pt(1, 2, 0));
    list.add(Qe_Pt(3.4, 5.3, 0));
    list.draw(r.dc, t);
    EXPECT_EQ(r.texts(), Texts{points_text("Polyline", {{2, 4}, {6, 10}})});

    r.clear();
    const Qe_Pt three[] = {Qe_Pt(0, 0, 0), Qe_Pt(5, 0, 0), Qe_Pt(5, 5, 0)};
    Qe_Pt_Set set(3, three);
    set.draw(r.dc, t);
    EXPECT_EQ(r.texts(), Texts{points_text("Polyline", {{0, 0}, {10, 0}, {10, 10}})});

    // Runs: a single point in the pen's colour, a filled closed run, an open run.
    r.clear();
    HPEN pen = CreatePen(PS_SOLID, 0, 0x123456);
    HGDIOBJ old_pen = SelectObject(r.dc, pen);
    HGDIOBJ brush = GetCurrentObject(r.dc, OBJ_BRUSH);
    const long live = platform_gdi_object_count();
    const mb_ulong counts[] = {1, 4, 2, 0};
    const Qe_Pt pts[] = {Qe_Pt(3, 3, 0), Qe_Pt(0, 0, 0), Qe_Pt(4, 0, 0), Qe_Pt(4, 4, 0), Qe_Pt(0, 0, 0),
                         Qe_Pt(1, 1, 0), Qe_Pt(2, 2, 0)};
    Qe_Pt_Sets sets(4, counts, pts);
    sets.is_filled(true);
    r.clear();
    sets.draw(r.dc, t, 0xABCDEF);
    const auto calls = r.calls();
    const Texts expected{"SetPixel 6 6 1193046",
                         "SelectObject 2",
                         "BeginPath",
                         points_text("Polyline", {{0, 0}, {8, 0}, {8, 8}, {0, 0}}),
                         "EndPath",
                         "StrokeAndFillPath",
                         "SelectObject 2",
                         points_text("Polyline", {{2, 2}, {4, 4}})};
    EXPECT_EQ(r.texts(), expected);
    ASSERT_EQ(calls.size(), expected.size());
    EXPECT_EQ(calls[5].brush.lbColor, 0xABCDEFu);
    EXPECT_EQ(GetCurrentObject(r.dc, OBJ_BRUSH), brush);
    EXPECT_EQ(platform_gdi_object_count(), live);
    SelectObject(r.dc, old_pen);
    DeleteObject(pen);
}

TEST(DcDraw, PointSetIntoTheRasterDevice)
{
    Qe_Qdc q;
    HDC screen = GetDC(nullptr);
    ASSERT_NE(q.CreateCompatibleDC(screen, 20, 20, 24), nullptr);
    ReleaseDC(nullptr, screen);
    q.SetColor(0, false);
    BITMAP bm{};
    GetObject(q.GetBitmap(), sizeof bm, &bm);
    auto count = [&] {
        int n = 0;
        const auto* b = static_cast<const unsigned char*>(bm.bmBits);
        for (int i = 0; i < bm.bmWidthBytes * bm.bmHeight; i += 1) n += b[i] != 0xFF;
        return n;
    };
    // Two points on one pixel: nothing.
    const Qe_Pt same[] = {Qe_Pt(2.1, 2.1, 0), Qe_Pt(2.9, 2.7, 0)};
    Qe_Pt_Set(2, same).draw(q, Qe_Tran());
    EXPECT_EQ(count(), 0);
    // Two points: one line without its far end; three: a polyline.
    const Qe_Pt two[] = {Qe_Pt(2, 2, 0), Qe_Pt(12, 2, 0)};
    Qe_Pt_Set(2, two).draw(q, Qe_Tran());
    EXPECT_EQ(count(), 10 * 3);
    const Qe_Pt three[] = {Qe_Pt(2, 5, 0), Qe_Pt(12, 5, 0), Qe_Pt(12, 15, 0)};
    Qe_Pt_Set(3, three).draw(q, Qe_Tran());
    EXPECT_EQ(count(), 10 * 3 + 20 * 3);
    // Far-away points are clamped, not undefined.
    const Qe_Pt far[] = {Qe_Pt(-1e30, 10, 0), Qe_Pt(1e30, 10, 0), Qe_Pt(std::nan(""), 0, 0)};
    Qe_Pt_Set(3, far).draw(q, Qe_Tran());
}

}  // namespace
