#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "kernel/display/view_fixture.h"
#include "kernel/display/coor_lines.h"
#include "platform/recording_dc.h"

namespace {

enum : int { k_icon = 1, k_grid = 2, k_screen_grid = 14 };
constexpr COLORREF k_grid_colour = RGB(0x12, 0x34, 0x56);
constexpr COLORREF k_icon_colour = 0xAAAAAA;

// The calls of one kind, in order.
std::vector<Platform_Call> calls_named(HDC dc, const std::string& name)
{
    std::vector<Platform_Call> out;
    for (const Platform_Call& c : platform_recorded_calls(dc))
        if (c.name == name) out.push_back(c);
    return out;
}

int trunc_px(double v) { return static_cast<int>(std::trunc(v)); }

void set_switches(MB_Operation& op, bool icon, bool grid, bool screen_grid)
{
    op.system_setting()->set_bool_val(k_icon, icon);
    op.system_setting()->set_bool_val(k_grid, grid);
    op.system_setting()->set_bool_val(k_screen_grid, screen_grid);
}

struct Recording {
    HDC dc = platform_create_recording_dc(nullptr);
    ~Recording() { DeleteDC(dc); }
};

TEST(CoorLines, DrawingGridLinesAndLabels)
{
    Y_Dir dir(true);
    View v;
    v.op->system_setting()->set_long_val(20, static_cast<long>(k_grid_colour));
    set_switches(*v.op, false, true, false);
    Recording rec;
    const Qe_Tran& t = v.r->drawing_to_screen();
    v.r->coor_lines().draw(rec.dc, t, *v.r);

    const auto moves = calls_named(rec.dc, "MoveToEx");
    const auto lines = calls_named(rec.dc, "LineTo");
    ASSERT_EQ(moves.size(), 61u + 101u);
    ASSERT_EQ(lines.size(), 61u + 101u);
    auto px = [&](double x, double y) {
        const Qe_Pt p = Qe_Pt(x, y, 0) * t;
        return std::vector<long long>{trunc_px(p.x()), trunc_px(p.y())};
    };
    for (int i = 0; i <= 60; ++i) {
        EXPECT_EQ(std::vector<long long>(moves[i].args.begin(), moves[i].args.begin() + 2), px(0, i * 10.0)) << i;
        EXPECT_EQ(lines[i].args, px(1000, i * 10.0)) << i;
    }
    for (int j = 0; j <= 100; ++j) {
        EXPECT_EQ(std::vector<long long>(moves[61 + j].args.begin(), moves[61 + j].args.begin() + 2), px(j * 10.0, 0))
            << j;
        EXPECT_EQ(lines[61 + j].args, px(j * 10.0, 600)) << j;
    }
    for (const Platform_Call& c : lines) EXPECT_EQ(c.pen.lopnColor, k_grid_colour);

    // Every second line is labelled with its coordinate, rows 5 pixels above their left end and
    // columns 5 pixels right of their lower end.
    const auto texts = calls_named(rec.dc, "TextOutA");
    ASSERT_EQ(texts.size(), 31u + 51u);
    for (int i = 0; i < 31; ++i) {
        const int y = i * 20;
        const auto at = px(0, y);
        EXPECT_EQ(texts[i].text, std::to_string(y));
        EXPECT_EQ(texts[i].args, (std::vector<long long>{at[0], at[1] - 5, static_cast<long long>(texts[i].text.size())}));
    }
    for (int j = 0; j < 51; ++j) {
        const int x = j * 20;
        const auto at = px(x, 0);
        EXPECT_EQ(texts[31 + j].text, std::to_string(x));
        EXPECT_EQ(texts[31 + j].args,
                  (std::vector<long long>{at[0] + 5, at[1], static_cast<long long>(texts[31 + j].text.size())}));
    }

    // Two label fonts, each selected and then replaced, each with its colour and transparent
    // background; right alignment is set once and kept for the columns.
    int font_selects = 0;
    for (const Platform_Call& c : calls_named(rec.dc, "SelectObject")) font_selects += c.args[0] == OBJ_FONT;
    EXPECT_EQ(font_selects, 4);
    const auto colours = calls_named(rec.dc, "SetTextColor");
    ASSERT_EQ(colours.size(), 2u);
    for (const Platform_Call& c : colours) EXPECT_EQ(c.args[0], static_cast<long long>(k_grid_colour));
    const auto modes = calls_named(rec.dc, "SetBkMode");
    ASSERT_EQ(modes.size(), 2u);
    for (const Platform_Call& c : modes) EXPECT_EQ(c.args[0], TRANSPARENT);
    const auto aligns = calls_named(rec.dc, "SetTextAlign");
    ASSERT_EQ(aligns.size(), 1u);
    EXPECT_EQ(aligns[0].args[0], static_cast<long long>(TA_RIGHT));
    // Everything selected was put back: the DC holds its default pen again.
    LOGPEN pen{};
    EXPECT_NE(GetObject(GetCurrentObject(rec.dc, OBJ_PEN), sizeof pen, &pen), 0);
    EXPECT_NE(pen.lopnColor, k_grid_colour);
}

TEST(CoorLines, SettingsChooseWhatIsDrawn)
{
    struct Case {
        bool icon, grid, screen_grid;
        std::size_t icon_runs, lines, labels;
        bool on_screen;  // the grid lines taken as pixels
    };
    const Case cases[] = {
        {false, false, false, 0, 0, 0, false}, {true, false, false, 7, 0, 0, false},
        {false, true, false, 0, 162, 82, false}, {false, false, true, 0, 162, 0, true},
        {false, true, true, 0, 162, 82, false},  // the drawing grid wins
        {true, true, true, 7, 162, 82, false},   {true, false, true, 7, 162, 0, true},
    };
    Y_Dir dir(true);
    View v;
    v.op->system_setting()->set_long_val(20, static_cast<long>(k_grid_colour));
    v.r->resize();
    for (const Case& c : cases) {
        set_switches(*v.op, c.icon, c.grid, c.screen_grid);
        Recording rec;
        v.r->coor_lines().draw(rec.dc, v.r->drawing_to_screen(), *v.r);
        const auto runs = calls_named(rec.dc, "Polyline");
        EXPECT_EQ(runs.size(), c.icon_runs);
        for (const Platform_Call& r : runs) EXPECT_EQ(r.pen.lopnColor, k_icon_colour);
        const auto lines = calls_named(rec.dc, "LineTo");
        EXPECT_EQ(lines.size(), c.lines);
        EXPECT_EQ(calls_named(rec.dc, "TextOutA").size(), c.labels);
        if (c.on_screen && !lines.empty()) {
            EXPECT_EQ(lines.front().args, (std::vector<long long>{1000, 0}));
            EXPECT_EQ(lines.back().args, (std::vector<long long>{1000, 600}));
        }
    }
}

TEST(CoorLines, NothingWithoutAnOperation)
{
    MB_Draw_Render lone;
    MB_Coor_Lines c;
    Recording rec;
    ASSERT_TRUE(g_operation_list.is_empty());
    c.draw(rec.dc, lone.drawing_to_screen(), lone);
    EXPECT_TRUE(platform_recorded_calls(rec.dc).empty());
}

// The icon's runs as drawn, point by point.
std::vector<std::vector<long long>> icon_runs(MB_Draw_Render& r)
{
    Recording rec;
    r.coor_lines().draw_coor(rec.dc, r.drawing_to_screen(), r);
    std::vector<std::vector<long long>> out;
    for (const Platform_Call& c : calls_named(rec.dc, "Polyline")) out.push_back(c.args);
    return out;
}

// Where the icon's points belong: 2 pixels per unit from the anchor pixel, y up the screen.
void expect_icon_at(const std::vector<std::vector<long long>>& runs, double ax, double ay)
{
    static const double first_run[7][2] = {{0, 0},     {0, 41.74},   {-3.8, 41.74}, {8.23, 53.76},
                                           {20.8, 41.74}, {16.46, 41.74}, {16.46, 0}};
    static const long run_sizes[7] = {7, 7, 2, 2, 3, 2, 5};
    ASSERT_EQ(runs.size(), 7u);
    // Each Polyline is logged as its point count and the points.
    for (int i = 0; i < 7; ++i) {
        ASSERT_EQ(runs[i].size(), static_cast<std::size_t>(2 * run_sizes[i] + 1)) << i;
        EXPECT_EQ(runs[i][0], run_sizes[i]) << i;
    }
    for (int i = 0; i < 7; ++i) {
        EXPECT_NEAR(runs[0][1 + 2 * i], ax + 2 * first_run[i][0], 1.0) << i;
        EXPECT_NEAR(runs[0][2 + 2 * i], ay - 2 * first_run[i][1], 1.0) << i;
    }
}

TEST(CoorLines, IconAtTheOriginOrInsideTheLowerLeftCorner)
{
    Y_Dir dir(true);
    View v;
    // The fitted sheet leaves the origin just below the window (y 308.6 of 300).
    v.r->resize();
    const Qe_Pt o = Qe_Pt(0, 0, 0) * v.r->drawing_to_screen();
    ASSERT_GT(o.y(), 300.0);
    expect_icon_at(icon_runs(*v.r), 10, 300 - 10);

    // The same size in pixels at every zoom.
    for (double k : {0.01, 0.5, 3.0, 250.0}) {
        v.r->scale_view(k, 200, 150);
        v.r->resize();
        const Qe_Pt oo = Qe_Pt(0, 0, 0) * v.r->drawing_to_screen();
        if (oo.x() >= 0 && oo.x() <= 400 && oo.y() >= 0 && oo.y() <= 300)
            expect_icon_at(icon_runs(*v.r), oo.x(), oo.y());
        else
            expect_icon_at(icon_runs(*v.r), 10, 300 - 10);
    }

    // Brought into the view, the origin carries the icon, at every zoom.
    for (double k : {0.2, 1.0, 40.0}) {
        v.r->pan_view(Qe_Pt(0, 0, 0), Qe_Pt(100, 100, 0) * v.r->screen_to_drawing());
        v.r->scale_view(k, 100, 100);
        v.r->resize();
        const Qe_Pt at = Qe_Pt(0, 0, 0) * v.r->drawing_to_screen();
        ASSERT_NEAR(at.x(), 100, 1e-6);
        ASSERT_NEAR(at.y(), 100, 1e-6);
        expect_icon_at(icon_runs(*v.r), 100, 100);
    }
}

TEST(CoorLines, RepaintShowsGridAndIcon)
{
    Y_Dir dir(true);
    View v;
    v.op->system_setting()->set_long_val(20, static_cast<long>(k_grid_colour));
    set_switches(*v.op, true, true, false);
    v.r->pan_view(Qe_Pt(0, 0, 0), Qe_Pt(150, 250, 0) * v.r->screen_to_drawing());
    v.paint();
    // A grid row and a grid column, away from the icon.
    EXPECT_EQ(v.pixel(Qe_Pt(200, 100, 0)), k_grid_colour);
    EXPECT_EQ(v.pixel(Qe_Pt(230, 130, 0)), k_grid_colour);
    // The icon stands at the origin from the second repaint on, which finds the origin in the
    // world rectangle the first one covered: its pixels lie in the 108-pixel box above and
    // right of the origin, and nowhere else.
    v.paint();
    const Qe_Pt o = Qe_Pt(0, 0, 0) * v.r->drawing_to_screen();
    int inside = 0, outside = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            if (v.pixel(x, y) != k_icon_colour) continue;
            const bool near = x >= o.x() - 9 && x <= o.x() + 110 && y >= o.y() - 110 && y <= o.y() + 10;
            ++(near ? inside : outside);
        }
    EXPECT_GT(inside, 200);
    EXPECT_EQ(outside, 0);
    set_switches(*v.op, false, true, false);
    v.paint();
    EXPECT_EQ(v.count(k_icon_colour), 0);
}

}  // namespace
