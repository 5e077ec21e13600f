#include <gtest/gtest.h>

#include "geometry/angles.h"
#include "kernel/text/font_fixture.h"
#include "kernel/text/shp_library.h"
#include "kernel/text/shx_library.h"
#include "platform/gdi.h"
#include "platform/window.h"

using font_test::runs_of;
using font_test::Strokes;
using font_test::strokes_near;

TEST(FontChar, PacksStrokesOfTwoPointsOrMore)
{
    MB_Font_Char c(65);
    EXPECT_EQ(c.index(), 65);
    c.new_pos_list();
    c.add_pos(0, 0);  // a single point: dropped
    c.new_pos_list();
    c.add_pos(1, 0);
    c.add_pos(1, 2);
    c.new_pos_list();  // empty: dropped
    c.new_pos_list();
    c.add_pos(3, 0);
    c.add_pos(4, 0);
    c.add_pos(4, 1);
    c.set_end_pos(5, 0);
    c.conver_list_to_set();
    EXPECT_EQ(c.position_list().count(), 2);
    EXPECT_TRUE(strokes_near(runs_of(c.position_set()),
                             {{Qe_Pt(1, 0, 0), Qe_Pt(1, 2, 0)}, {Qe_Pt(3, 0, 0), Qe_Pt(4, 0, 0), Qe_Pt(4, 1, 0)}}, 0));

    // Placed by a transform and moved by the pen; the pen moves on by the transformed end.
    Qe_Void_List out;
    Qe_Pt pen(10.0, 0.0, 0.0);
    c.char_2_pts_sets(out, scale_transf(2.0, 3.0, 1.0), pen);
    ASSERT_EQ(out.count(), 1);
    auto* sets = static_cast<Qe_Pt_Sets*>(out.first());
    EXPECT_TRUE(strokes_near(runs_of(*sets),
                             {{Qe_Pt(12, 0, 0), Qe_Pt(12, 6, 0)}, {Qe_Pt(16, 0, 0), Qe_Pt(18, 0, 0), Qe_Pt(18, 3, 0)}},
                             1e-12));
    EXPECT_DOUBLE_EQ(pen.x(), 20.0);
    delete sets;
}

TEST(FontChar, SinglePointsPackIntoNothingButStillAdvance)
{
    MB_Font_Char c(66);
    c.new_pos_list();
    c.add_pos(1, 1);
    c.new_pos_list();
    c.add_pos(2, 2);
    c.set_end_pos(7, 0);
    c.conver_list_to_set();
    EXPECT_TRUE(c.position_list().is_empty());
    EXPECT_EQ(c.position_set().ptset_count(), 0u);
    Qe_Void_List out;
    Qe_Pt pen(10.0, 0.0, 0.0);
    c.char_2_pts_sets(out, Qe_Tran(), pen);
    EXPECT_TRUE(out.is_empty());
    EXPECT_DOUBLE_EQ(pen.x(), 17.0);
}

TEST(FontChar, DrawPlacesThroughScaleTurnAndPen)
{
    MB_Font_Char c(67);
    c.new_pos_list();
    c.add_pos(0, 0);
    c.add_pos(4, 0);
    c.set_end_pos(4, 0);
    c.conver_list_to_set();
    HDC dc = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 40, 40);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    Qe_Pt pen(10.0, 10.0, 0.0);
    // Scale 2 and a quarter turn: the end (4, 0) lands 8 above the pen.
    c.draw(dc, Qe_Tran(), 2.0, HALF_PI, pen);
    EXPECT_NEAR(pen.x(), 10.0, 1e-9);
    EXPECT_NEAR(pen.y(), 18.0, 1e-9);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    EXPECT_EQ(c.object_id(), MB_Object::ID_FONT_CHAR);
    EXPECT_EQ(c.object_type(), MB_Object::TYPE_ATTRIBUTE);
}

TEST(FontLibrary, FileNameIsBounded)
{
    MB_Shp_Library lib;
    const std::string name(400, 'n');
    lib.file_name(name.c_str());
    EXPECT_EQ(std::string(lib.file_name()), name.substr(0, 255));
    lib.file_name(nullptr);
    EXPECT_STREQ(lib.file_name(), "");
    EXPECT_FALSE(lib.is_ttf_font());
    EXPECT_EQ(lib.font_char_set(1), nullptr);
    EXPECT_TRUE(lib.name().length() == 0);
    EXPECT_TRUE(lib.desc().length() == 0);
    MB_Shx_Library shx;
    EXPECT_FALSE(shx.is_ttf_font());
    EXPECT_EQ(shx.font_char_set(65), nullptr);
}
