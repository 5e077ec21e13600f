// A drawing of texts in the default style (the kernel's own fonts) and in a TrueType style is
// saved with its outlines, loaded by a fresh operation with the same outlines and exported as a PNG under
// the build folder, whose pixels show every text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/image_readers.h"
#include "common/test_output.h"
#include "kernel/database/system_setting.h"
#include "kernel/display/view_fixture.h"
#include "kernel/text/mtext.h"
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
        // In a TrueType style: filled outlines from the font file.
        {"Tg \xD2\xBB", Qe_Pt(120, 10, 0), RGB(128, 0, 128)},
    };
    std::string file = test_output_path("texts.vkt");
    std::vector<std::vector<Qe_Pt>> saved_runs;
    {
        View v;
        v.op->system_setting()->explode_text(true);
        v.drawing->text_style_list().add_tail(
            new MB_Text_Style("caption", "simsun.ttc", "hztxt.shx", 6.0, 1.0, 0.0, 0.0, 0, 0));
        for (const Placed& p : texts) {
            auto* t = new MB_Text(p.at, MB_String(p.text));
            const bool truetype = p.at.x() > 100;
            EXPECT_EQ(t->init_text_style(*v.drawing, truetype ? "caption" : nullptr), truetype);
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
    // The TrueType text comes back in its TrueType style, drawn filled.
    auto* last = dynamic_cast<MB_Text*>(w.drawing->object_list().get_tail());
    ASSERT_NE(last, nullptr);
    ASSERT_NE(last->text_style()->font_lib(), nullptr);
    EXPECT_TRUE(last->text_style()->font_lib()->is_ttf_font());
    auto* filled = dynamic_cast<MB_Draw_Lines_Sets*>(last->draw_node());
    ASSERT_NE(filled, nullptr);
    EXPECT_TRUE(filled->is_filled());

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

// Formatted multi-line texts in the kernel's own fonts: colour groups, a font switch, a
// paragraph break and a taller run, wrapped at two widths, one attached at its middle and one
// turned. Each colour's pixels lie within the rectangles of that colour's runs.
TEST(Text_View, MultiLineTextsExport)
{
    g_system_resource.free();
    ASSERT_TRUE(g_system_resource.init_dir());
    Y_Dir dir(true);
    const char* format = "{\\C1;Red words} and {\\C5;\\Fgdt.shx;other font}\\P{\\C3;\\H1.5x;Big} end";
    struct Placed {
        Qe_Pt at;
        double width;
        int attach;
        Qe_Vec direction;
    };
    const Placed placed[] = {
        {Qe_Pt(5, 95, 0), 45, 1, Qe_Vec()},
        {Qe_Pt(130, 80, 0), 110, 5, Qe_Vec()},
        {Qe_Pt(160, 5, 0), 60, 7, Qe_Vec(0, 1, 0)},
    };
    View w;
    std::vector<std::pair<COLORREF, Qe_Rect>> coloured;
    for (const Placed& p : placed) {
        auto* m = new MB_Mtext(p.at, format);
        EXPECT_FALSE(m->init_text_style(*w.drawing, nullptr));
        m->set_base_ht(4.0);
        m->set_width(p.width);
        m->set_attachpt(static_cast<char>(p.attach));
        m->set_boxht(12.0);
        m->direction(p.direction);
        m->build_draw();
        w.drawing->add_object(m);
        // The whole text lies in the picture.
        EXPECT_GT(m->rect().lt().x(), 0.0);
        EXPECT_LT(m->rect().rb().x(), 200.0);
        EXPECT_GT(m->rect().rb().y(), 0.0);
        EXPECT_LT(m->rect().lt().y(), 100.0);
        for (Qe_Void_Node* n = m->text_list().head(); n; n = n->next()) {
            auto* run = static_cast<MB_Text*>(n->entity());
            if (!run->rect().is_pt()) coloured.emplace_back(static_cast<COLORREF>(run->general().color()), run->rect());
        }
    }
    Qe_Rect area(Qe_Pt(0, 100, 0), Qe_Pt(200, 0, 0));
    std::string png = test_output_path("mtexts.png");
    ASSERT_TRUE(w.r->export_image(png.data(), area, 0, 300, 0, k_white, 96));
    Rgb_Image img;
    ASSERT_TRUE(read_png(png, img));
    ASSERT_EQ(img.height, 300);
    for (COLORREF colour : {RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 255, 0)}) {
        int inside = 0, outside = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                if (img.at(x, y) != colour) continue;
                const Qe_Pt p(x / 3.0, (300 - y) / 3.0, 0);
                bool in = false;
                for (const auto& [c, r] : coloured) in = in || (c == colour && r.pt_in_rect(p, 1.0));
                (in ? inside : outside) += 1;
            }
        EXPECT_GT(inside, 100) << std::hex << colour;
        EXPECT_EQ(outside, 0) << std::hex << colour;
    }
}

}  // namespace
