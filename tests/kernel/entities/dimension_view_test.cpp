// A view with a dimension of every kind, exported as a picture and read back: each kind's
// colour shows, and only inside its own rectangle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/image_readers.h"
#include "common/test_output.h"
#include "kernel/display/view_fixture.h"
#include "kernel/entities/dim_style.h"
#include "kernel/entities/dimension.h"
#include "kernel/text/system_resource.h"
#include "kernel/text/text_style.h"

namespace {

constexpr COLORREF k_white = RGB(255, 255, 255);

TEST(Dimension_View, EveryKindShowsInsideItsRectangle)
{
    g_system_resource.free();
    ASSERT_TRUE(g_system_resource.init_dir());
    Y_Dir dir(true);
    View v;
    std::vector<MB_Dimension*> shown;
    auto add = [&](unsigned char kind, COLORREF colour, auto&& place) {
        auto* d = new MB_Dimension;
        d->flag(kind);
        for (int i = 0; i < 3; ++i) d->dim_style().color()[i] = static_cast<long>(colour);
        d->dim_style().real_val()[1] = 2.0;
        d->dim_style().real_val()[5] = 1.0;
        d->dim_style().real_val()[6] = 0.5;
        d->dim_style().real_val()[7] = 0.8;
        d->dim_style().text_style().height(3.0);
        place(*d);
        d->general().color(static_cast<long>(colour));
        d->build_draw();
        v.drawing->add_object(d);
        shown.push_back(d);
    };
    const auto P = [](double x, double y) { return Qe_Pt(x, y, 0.0); };
    add(MB_Dimension::Linear, RGB(255, 0, 0), [&](MB_Dimension& d) {
        d.dim_pt2(P(10, 110));
        d.dim_pt3(P(50, 110));
        d.definition_pt(P(50, 125));
        d.text_mid(P(25, 126));
    });
    add(MB_Dimension::Aligned, RGB(0, 160, 0), [&](MB_Dimension& d) {
        d.dim_pt2(P(80, 100));
        d.dim_pt3(P(110, 130));
        d.definition_pt(P(118, 122));
        d.text_mid(P(100, 113));
    });
    add(MB_Dimension::Angular, RGB(0, 0, 255), [&](MB_Dimension& d) {
        d.dim_pt3(P(140, 95));
        d.dim_pt2(P(180, 95));
        d.definition_pt(P(140, 95));
        d.dim_pt4(P(165, 120));
        d.arcdef_pt(P(170, 105));
    });
    add(MB_Dimension::Diameter, RGB(200, 0, 200), [&](MB_Dimension& d) {
        d.definition_pt(P(10, 40));
        d.dim_pt4(P(40, 40));
        d.text_mid(P(55, 40));
    });
    add(MB_Dimension::Radius, RGB(0, 160, 160), [&](MB_Dimension& d) {
        d.definition_pt(P(90, 40));
        d.dim_pt4(P(105, 55));
        d.text_mid(P(115, 65));
    });
    add(MB_Dimension::Angular_3pt, RGB(160, 120, 0), [&](MB_Dimension& d) {
        d.dim_pt4(P(150, 20));
        d.dim_pt2(P(190, 20));
        d.dim_pt3(P(150, 60));
        d.definition_pt(P(175, 45));
    });

    Qe_Rect area(Qe_Pt(0, 150, 0), Qe_Pt(200, 0, 0));
    std::string png = test_output_path("dimensions.png");
    ASSERT_TRUE(v.r->export_image(png.data(), area, 0, 450, 0, k_white, 96));
    Rgb_Image img;
    ASSERT_TRUE(read_png(png, img));
    ASSERT_EQ(img.height, 450);
    // Drawing point (x, y) at pixel (3x, 450 − 3y).
    for (MB_Dimension* d : shown) {
        const COLORREF colour = static_cast<COLORREF>(d->dim_style().color()[2]);
        const Qe_Rect& r = d->rect();
        int inside = 0, outside = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                if (img.at(x, y) != colour) continue;
                const double wx = x / 3.0, wy = (450 - y) / 3.0;
                const bool in = wx > r.lt().x() - 1 && wx < r.rb().x() + 1 && wy > r.rb().y() - 1 && wy < r.lt().y() + 1;
                (in ? inside : outside) += 1;
            }
        EXPECT_GT(inside, 50) << int(d->kind());
        EXPECT_EQ(outside, 0) << int(d->kind());
        EXPECT_NE(d->draw_node(), nullptr);
    }
}

}  // namespace
