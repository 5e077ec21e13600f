#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "geometry/loop.h"
#include "geometry/loop_search.h"
#include "geometry/transform.h"
#include "platform/gdi.h"
#include "platform/recording_dc.h"

namespace {

std::vector<std::string> recorded(HDC dc)
{
    std::vector<std::string> out;
    for (const Platform_Call& c : platform_recorded_calls(dc)) out.push_back(platform_call_text(c));
    return out;
}

TEST(LoopDraw, RingIsClosedTransformedAndTruncated)
{
    HDC dc = platform_create_recording_dc(nullptr);
    const Qe_Pt pts[] = {{0, 0, 0}, {10.7, 0, 0}, {10.7, 5.2, 0}, {-0.5, 5.2, 0}};
    const Qe_Loop loop(pts, 4);
    loop.draw(dc, translate_transf(Qe_Vec(1, 2, 0)));
    // Truncation toward zero: 11.7 -> 11, 7.2 -> 7, 0.5 -> 0.
    EXPECT_EQ(recorded(dc), (std::vector<std::string>{"Polyline 5 1 2 11 2 11 7 0 7 1 2"}));
    platform_clear_recorded_calls(dc);
    Qe_Loop().draw(dc, Qe_Tran());
    EXPECT_TRUE(recorded(dc).empty());
    DeleteDC(dc);
}

TEST(LoopDraw, SearchMarksEveryIntersectionPointWithACircle)
{
    const Qe_Pt pts[] = {{0, 0, 0}, {20, 0, 0}, {20, 20, 0}, {0, 20, 0}};
    Qe_Loop square(pts, 4);
    Qe_Search_Loops search;
    search.input_list().add(&square);
    search.loop2segments();
    search.init();
    HDC dc = platform_create_recording_dc(nullptr);
    search.draw_test(dc, scale_transf(2.0));
    std::vector<std::string> calls = recorded(dc);
    std::sort(calls.begin(), calls.end());
    // A circle of radius 5 pixels around each corner, after the transform.
    EXPECT_EQ(calls, (std::vector<std::string>{"Ellipse -5 -5 5 5", "Ellipse -5 35 5 45", "Ellipse 35 -5 45 5",
                                               "Ellipse 35 35 45 45"}));
    DeleteDC(dc);
}

}  // namespace
