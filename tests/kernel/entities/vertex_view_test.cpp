// A composed view of polylines, a solid, a face and both meshes, exported as a PNG beside
// the tests and checked pixel by pixel.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/image_readers.h"
#include "common/test_output.h"
#include "kernel/display/view_fixture.h"
#include "kernel/entities/mesh.h"
#include "kernel/entities/polyline.h"
#include "kernel/entities/solid.h"

namespace {

constexpr COLORREF k_white = RGB(255, 255, 255);
constexpr COLORREF k_red = RGB(255, 0, 0);
constexpr COLORREF k_blue = RGB(0, 0, 255);
constexpr COLORREF k_green = RGB(0, 160, 0);
constexpr COLORREF k_magenta = RGB(255, 0, 255);
constexpr COLORREF k_brown = RGB(128, 64, 0);

template <class E>
E* coloured(View& v, E* e, COLORREF c)
{
    e->general().color(static_cast<long>(c));
    e->build_draw();
    v.drawing->add_object(e);
    return e;
}

// The scene: a wide polyline with a tapering arc, a solid, a face with its edge 2-3 hidden,
// a 3 x 3 polygon mesh and a polyface mesh of two triangles.
void add_scene(View& v)
{
    // A wide polyline: a straight band, a tapering arc, then a thin tail.
    auto* p = new MB_Polyline;
    const struct {
        double x, y, bulge, w0, w1;
    } vs[] = {{10, 10, 0, 4, 4}, {50, 10, 0.6, 4, 0}, {80, 40, 0, 0, 0}, {80, 48, 0, 0, 0}};
    for (const auto& s : vs) {
        MB_Pline_Pos& pos = p->get_new_pline_pos();
        pos.point = Qe_Pt(s.x, s.y, 0);
        pos.bulge = s.bulge;
        pos.start_width = s.w0;
        pos.end_width = s.w1;
    }
    coloured(v, p, k_red);
    coloured(v, new MB_Solid(Qe_Pt(100, 10, 0), Qe_Pt(130, 10, 0), Qe_Pt(130, 40, 0), Qe_Pt(100, 40, 0)), k_blue);
    auto* face = new MB_Face(4);
    face->points()[0] = Qe_Pt(10, 60, 0);
    face->points()[1] = Qe_Pt(40, 60, 0);
    face->points()[2] = Qe_Pt(40, 90, 0);
    face->points()[3] = Qe_Pt(10, 90, 0);
    face->face_flag(MB_Face::Hide_Edge_23);
    coloured(v, face, k_green);
    auto* grid = new MB_Polygon_Mesh(3, 3, 0, 0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) grid->points()[i * 3 + j] = Qe_Pt(55 + 15 * j, 60 + 15 * i, 0);
    coloured(v, grid, k_magenta);
    auto* faces = new MB_Polyface_Mesh(4, 2);
    faces->points()[0] = Qe_Pt(100, 60, 0);
    faces->points()[1] = Qe_Pt(130, 60, 0);
    faces->points()[2] = Qe_Pt(130, 90, 0);
    faces->points()[3] = Qe_Pt(100, 90, 0);
    faces->set_size(4, 0);
    faces->set_size(4, 1);
    const int refs[] = {1, 2, 3, 0, 1, 3, 4, 0};
    coloured(v, faces, k_brown);
    for (int r = 0; r < 8; ++r) faces->set_face_pos(refs[r], r);

}

TEST(Vertex_View, ComposedDrawingExportsEveryKind)
{
    Y_Dir dir(true);
    View v;
    add_scene(v);
    Qe_Rect area(Qe_Pt(0, 100, 0), Qe_Pt(140, 0, 0));
    const std::string path = test_output_path("vertex_entities.png");
    std::string writable = path;
    ASSERT_TRUE(v.r->export_image(writable.data(), area, 0, 300, 0, k_white, 96));
    Rgb_Image img;
    ASSERT_TRUE(read_png(path, img));
    ASSERT_EQ(img.width, 420);
    ASSERT_EQ(img.height, 300);
    // Drawing point (x, y) at pixel (3x, 300 − 3y).
    auto at = [&](double x, double y) { return img.at(static_cast<int>(3 * x), static_cast<int>(300 - 3 * y)); };
    EXPECT_EQ(at(30, 10.5), k_red);      // inside the wide band
    EXPECT_EQ(at(30, 13.5), k_white);    // beyond its half width
    EXPECT_EQ(at(115, 25), k_blue);      // inside the solid
    EXPECT_EQ(at(25, 60), k_green);      // the face's first edge
    EXPECT_EQ(at(25, 75), k_white);      // inside the face: not filled
    int magenta = 0, brown = 0, green_top = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const COLORREF c = img.at(x, y);
            magenta += c == k_magenta;
            brown += c == k_brown;
            green_top += c == k_green && y < 300 - 3 * 89 && y > 300 - 3 * 91 && x > 3 * 12 && x < 3 * 38;
        }
    // Six grid lines of 90 pixels; two triangles share the diagonal.
    EXPECT_GE(magenta, 6 * 85);
    EXPECT_GE(brown, 5 * 85);
    EXPECT_EQ(green_top, 0);  // the hidden edge 2-3
}

// The live view draws every kind through the raster device, meshes and faces included.
TEST(Vertex_View, TheViewDrawsEveryKind)
{
    Y_Dir dir(true);
    View v(420, 300);
    add_scene(v);
    v.op->zoom_all();
    v.paint();
    const struct {
        COLORREF colour;
        Qe_Pt on;
    } items[] = {{k_red, {30, 10, 0}},  {k_blue, {115, 25, 0}},   {k_green, {25, 60, 0}},
                 {k_magenta, {62, 75, 0}}, {k_brown, {115, 60, 0}}};
    for (const auto& it : items) {
        EXPECT_GT(v.count(it.colour), 0) << it.colour;
        // The pixel at the point on the entity, or one of its neighbours, has its colour.
        EXPECT_TRUE(v.shows_near(it.on, it.colour)) << it.colour;
    }
}

}  // namespace
