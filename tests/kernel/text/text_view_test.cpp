// A drawing of texts in the default style (the kernel's own fonts) is saved with its
// outlines, loaded by a fresh operation with the same outlines and exported as a PNG under
// the build folder, whose pixels show every text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/image_readers.h"
#include "common/test_output.h"
#include "kernel/database/system_setting.h"
#include "kernel/display/view_fixture.h"
#include "kernel/text/system_resource.h"
#include "kernel/text/text.h"
#include "kernel/text/text_fixture.h"
#include "kernel/text/text_style.h"

namespace {

constexpr COLORREF k_white = RGB(255, 255, 255);

struct Placed {
    const char* text;
    Qe_Pt at;
    COLORREF colour;
};

// Every text's runs, in drawing order.
std::vector<std::vector<Qe_Pt>> all_runs(MB_Drawing& d)
{
    std::vector<std::vector<Qe_Pt>> out;
    for (MB_Object* o = d.object_list().get_head(); o; o = o->next()) {
        auto* t = dynamic_cast<MB_Text*>(o);
        auto* node = t ? dynamic_cast<MB_Draw_Lines_Sets*>(t->draw_node()) : nullptr;
        out.push_back(node ? text_test::points_of(*node) : std::vector<Qe_Pt>{});
    }
    return out;
}

TEST(Text_View, DefaultStyleTextsSaveLoadAndExport)
{
    // The real fonts beside the kernel, and a shared default style made with them.
    g_system_resource.free();
    ASSERT_TRUE(g_system_resource.init_dir());
    Y_Dir dir(true);
    const Placed texts[] = {
        {"Drakmere 45%%d %%p0.5", Qe_Pt(5, 70, 0), RGB(255, 0, 0)},
        {"\xD6\xD0\xCE\xC4 \\U+4E00", Qe_Pt(5, 40, 0), RGB(0, 0, 255)},
        {"ABC", Qe_Pt(5, 10, 0), RGB(0, 128, 0)},
    };
    std::string file = test_output_path("texts.vkt");
    std::vector<std::vector<Qe_Pt>> saved_runs;
    {
        View v;
        v.op->system_setting()->explode_text(true);
        for (const Placed& p : texts) {
            auto* t = new MB_Text(p.at, MB_String(p.text));
            EXPECT_FALSE(t->init_text_style(*v.drawing, nullptr));
            t->general().color(static_cast<long>(p.colour));
            t->build_draw();
            ASSERT_NE(t->draw_node(), nullptr) << p.text;
            v.drawing->add_object(t);
        }
        saved_runs = all_runs(*v.drawing);
        MB_File_IO io;
        io.drawing(v.drawing);
        ASSERT_TRUE(io.save_jxb(file.data()));
    }

    View w;
    w.op->system_setting()->explode_text(true);
    ASSERT_TRUE(w.op->load_jxb(file.data()));
    const std::vector<std::vector<Qe_Pt>> loaded = all_runs(*w.drawing);
    ASSERT_EQ(loaded.size(), saved_runs.size());
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        EXPECT_FALSE(loaded[i].empty()) << i;
        EXPECT_TRUE(text_test::points_near(loaded[i], saved_runs[i], 0.0)) << i;
    }

    Qe_Rect area(Qe_Pt(0, 100, 0), Qe_Pt(200, 0, 0));
    std::string png = test_output_path("texts.png");
    ASSERT_TRUE(w.r->export_image(png.data(), area, 0, 300, 0, k_white, 96));
    Rgb_Image img;
    ASSERT_TRUE(read_png(png, img));
    ASSERT_EQ(img.height, 300);
    // Drawing point (x, y) at pixel (3x, 300 − 3y): each text shows in its colour in its
    // band of 8 units above its base line, and nowhere else.
    for (const Placed& p : texts) {
        int inside = 0, outside = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                if (img.at(x, y) != p.colour) continue;
                const double dy = (300 - y) / 3.0 - p.at.y();
                (dy > -3.0 && dy < 11.0 ? inside : outside) += 1;
            }
        EXPECT_GT(inside, 100) << p.text;
        EXPECT_EQ(outside, 0) << p.text;
    }
}

}  // namespace
