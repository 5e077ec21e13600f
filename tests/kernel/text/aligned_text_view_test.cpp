// One drawing with an arc text in every placement mode, path texts on an open and a closed
// polyline and a two-row tolerance frame, in the kernel's own fonts, exported as a PNG under
// the build folder: every entity shows in its colour, inside its own rectangle only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/image_readers.h"
#include "common/test_output.h"
#include "kernel/display/view_fixture.h"
#include "kernel/text/arc_text.h"
#include "kernel/text/system_resource.h"
#include "kernel/text/tolerance_frame.h"
#include "kernel/text/trace_text.h"

namespace {

constexpr COLORREF k_white = RGB(255, 255, 255);

TEST(Aligned_Text_View, EveryKindShowsInsideItsRectangle)
{
    g_system_resource.free();
    ASSERT_TRUE(g_system_resource.init_dir());
    Y_Dir dir(true);
    View v;
    std::vector<MB_Drawable*> shown;
    auto add = [&](MB_Drawable* d, COLORREF colour) {
        d->general().color(static_cast<long>(colour));
        d->build_draw();
        v.drawing->add_object(d);
        shown.push_back(d);
    };

    const unsigned long modes[] = {1, 2, 4, 8};
    for (int i = 0; i < 8; ++i) {
        const Qe_Pt centre(25.0 + 50.0 * (i % 4), i < 4 ? 112.0 : 72.0, 0.0);
        auto* arc = new MB_Arc_Text(centre, 0.3, 2.8, 12.0, "", "ARC");
        arc->att(modes[i % 4]);
        arc->rotate180(i >= 4);
        arc->height(4.0);
        arc->space(1.0);
        add(arc, RGB(20 * i, 200 - 20 * i, i % 2 ? 255 : 0));
    }
    const Qe_Pt open[] = {Qe_Pt(10, 40, 0), Qe_Pt(50, 52, 0), Qe_Pt(95, 38, 0)};
    auto* along = new MB_Trace_Text();
    along->pt_set(Qe_Pt_Set(3, open));
    along->str("OPEN PATH");
    along->att(1);
    along->space(5.0);
    along->height(4.0);
    add(along, RGB(255, 0, 0));
    const Qe_Pt closed[] = {Qe_Pt(110, 35, 0), Qe_Pt(190, 35, 0), Qe_Pt(190, 55, 0), Qe_Pt(110, 55, 0),
                            Qe_Pt(110, 35, 0)};
    auto* round = new MB_Trace_Text();
    round->pt_set(Qe_Pt_Set(5, closed));
    round->str("CLOSED PATH TEXT");
    round->height(4.0);
    add(round, RGB(0, 0, 255));
    auto* frame = new MB_Tolerance(Qe_Pt(20, 20, 0), "{\\Fgdt;j}%%v0.05%%vA\n{\\Fgdt;r}%%v0.1%%vB%%v");
    frame->set_height(4.0);
    add(frame, RGB(0, 128, 0));

    Qe_Rect area(Qe_Pt(0, 150, 0), Qe_Pt(200, 0, 0));
    std::string png = test_output_path("aligned_texts.png");
    ASSERT_TRUE(v.r->export_image(png.data(), area, 0, 450, 0, k_white, 96));
    Rgb_Image img;
    ASSERT_TRUE(read_png(png, img));
    ASSERT_EQ(img.height, 450);
    // Drawing point (x, y) at pixel (3x, 450 − 3y).
    for (MB_Drawable* d : shown) {
        const COLORREF colour = static_cast<COLORREF>(d->general().color());
        const Qe_Rect& r = d->rect();
        int inside = 0, outside = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                if (img.at(x, y) != colour) continue;
                const double wx = x / 3.0, wy = (450 - y) / 3.0;
                const bool in = wx > r.lt().x() - 1 && wx < r.rb().x() + 1 && wy > r.rb().y() - 1 && wy < r.lt().y() + 1;
                (in ? inside : outside) += 1;
            }
        EXPECT_GT(inside, 50) << d->object_id();
        EXPECT_EQ(outside, 0) << d->object_id();
    }
}

}  // namespace
