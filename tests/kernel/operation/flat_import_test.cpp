// An importer's road through the flat functions only: a drawing of every composite kind is
// made, its texts exploded, rendered to a picture, saved and read back.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/image_readers.h"
#include "common/test_output.h"
#include "geometry/loop.h"
#include "geometry/void_list.h"
#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/display/view_fixture.h"
#include "kernel/entities/dimension.h"
#include "kernel/entities/group.h"
#include "kernel/entities/insert.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/mesh.h"
#include "kernel/operation/flat_create.h"
#include "kernel/operation/flat_create_block.h"
#include "kernel/operation/flat_create_composite.h"
#include "kernel/operation/flat_explode.h"
#include "kernel/stream/file_io.h"
#include "kernel/text/mtext.h"
#include "kernel/text/text.h"

namespace {

constexpr COLORREF k_white = RGB(255, 255, 255);

char* text(const char* s)
{
    return const_cast<char*>(s);
}

// Whether anything is drawn at pixel (x, y) or one of its eight neighbours.
bool drawn_near(const Rgb_Image& img, int x, int y)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (img.at(x + dx, y + dy) != k_white) return true;
    return false;
}

// The kinds of model space as a stream keeps them: arc texts are not written, a group writes
// its members in its place, a dimension the entities of its picture (or its block reference).
std::vector<int> stored_kinds(MB_Drawing& d)
{
    std::vector<int> out;
    for (MB_Object* o = d.object_list().get_head(); o; o = o->next()) {
        if (o->object_id() == MB_Object::ID_ARC_TEXT) continue;
        if (auto* dim = dynamic_cast<MB_Dimension*>(o)) {
            if (dim->insert()) out.push_back(MB_Object::ID_INSERT);
            std::vector<std::unique_ptr<MB_Drawable>> parts;
            dim->picture_entities(parts);
            for (const auto& part : parts) out.push_back(part->object_id());
            continue;
        }
        if (o->object_id() == MB_Object::ID_GROUP) {
            for (Qe_Void_Node* n = static_cast<MB_Group*>(o)->object_list().head(); n; n = n->next())
                out.push_back(static_cast<MB_Object*>(n->entity())->object_id());
            continue;
        }
        out.push_back(o->object_id());
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(Flat_Import, EveryCompositeKindDrawnSavedAndReadBack)
{
    Y_Dir dir(true);
    View v;
    MB_Drawing& d = *v.drawing;

    // Texts in a TrueType style.
    MB_Text_Style* style = nullptr;
    ASSERT_TRUE(api_mb_create_text_style(style, "TT", "arial.ttf", nullptr, 5, 1, 0, 0, 0, 0));
    MB_Text* single = nullptr;
    const double text_at[3] = {5, 85, 0};
    ASSERT_TRUE(api_mb_create_text(single, "Ab", "TT", text_at, 8, 1, 0));
    auto* multi = reinterpret_cast<MB_Mtext*>(
        api_mb_create_mtext(text("one two"), text("TT"), Qe_Pt(5, 70, 0), Qe_Pt(1, 0, 0), 40, 5, 1, 1, 1, 1));
    ASSERT_NE(multi, nullptr);
    ASSERT_NE(api_mb_create_arc_text(text("ARC"), text("TT"), 115, 80, 0, 15, 0.5, 2.5), 0);
    Qe_Pt tol_at(60, 90, 0);
    ASSERT_NE(api_mb_create_tolerance(tol_at, 0, text("A%%c0.1"), 4), 0);

    // Curves, meshes and a hatch.
    const Qe_Pt fit[4] = {{60, 50, 0}, {70, 60, 0}, {80, 50, 0}, {90, 60, 0}};
    ASSERT_NE(api_mb_create_bspline(fit, 4, 1, 0, 0, 1, 0, 0), 0);
    MB_Polygon_Mesh* mesh = nullptr;
    ASSERT_NE(api_mb_create_Polygon_mesh(mesh, 3, 2, 0, 0), 0);
    ASSERT_NE(api_mb_create_polyface_mesh(4, 2), 0);
    Qe_Loop square;
    for (const Qe_Pt& p : {Qe_Pt(100, 10, 0), Qe_Pt(130, 10, 0), Qe_Pt(130, 40, 0), Qe_Pt(100, 40, 0)}) square.add(p);
    Qe_Void_List loops;
    loops.add(&square);
    ASSERT_NE(api_mb_create_hatch(loops, nullptr, 1, 0, 0), 0);

    // Dimensions: one kept, one frozen into a block and its reference.
    ASSERT_NE(api_mb_create_dimension(Qe_Pt(5, 40, 0), Qe_Pt(45, 40, 0), Qe_Pt(25, 50, 0), Qe_Pt(45, 50, 0),
                                      Qe_Pt(), 0),
              0);
    EXPECT_EQ(api_mb_create_dimension(Qe_Pt(60, 20, 0), Qe_Pt(90, 20, 0), Qe_Pt(75, 30, 0), 0), 0);

    // A block of a line, placed twice its size at (20, 20); a group of two circles.
    MB_Line* line = nullptr;
    ASSERT_TRUE(api_mb_create_line(line, Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0)));
    Qe_Void_List parts;
    parts.add(line);
    ASSERT_NE(api_mb_create_block("PART", "a part", Qe_Pt(0, 0, 0), parts), 0);
    ASSERT_NE(api_mb_create_insert("PART", Qe_Pt(20, 20, 0), 2, 2, 1, 0, true), 0);
    Qe_Void_List circles;
    circles.add(reinterpret_cast<MB_Object*>(api_mb_create_circle(10, 10, 3)));
    circles.add(reinterpret_cast<MB_Object*>(api_mb_create_circle(20, 10, 3)));
    ASSERT_NE(api_mb_create_group(text("circles"), circles), 0);

    // The texts' outlines as chains.
    Qe_Void_List chains;
    ASSERT_TRUE(api_explode_text(single, 0, &d, chains));
    const int from_single = chains.count();
    EXPECT_GT(from_single, 0);
    ASSERT_TRUE(api_explode_mtext(multi, 0, &d, chains));
    EXPECT_GT(chains.count(), from_single);

    // The picture: drawing point (x, y) at pixel (3x, 300 - 3y).
    Qe_Rect area(Qe_Pt(0, 100, 0), Qe_Pt(140, 0, 0));
    const std::string png = test_output_path("flat_import.png");
    std::string writable = png;
    ASSERT_TRUE(v.r->export_image(writable.data(), area, 0, 300, 0, k_white, 96));
    Rgb_Image img;
    ASSERT_TRUE(read_png(png, img));
    ASSERT_EQ(img.width, 420);
    // The reference's line runs from (20, 20) to (40, 20).
    EXPECT_TRUE(drawn_near(img, 90, 240));
    EXPECT_FALSE(drawn_near(img, 90, 225));
    // The frozen dimension's line along y = 30, placed by its reference.
    EXPECT_TRUE(drawn_near(img, 225, 210));

    // Saved and read back: the kinds with a stream form come back.
    const std::string file = test_output_path("flat_import.vkt");
    MB_File_IO out;
    out.drawing(&d);
    ASSERT_TRUE(out.save_jxb(file.c_str()));
    MB_Drawing back;
    MB_File_IO in;
    in.drawing(&back);
    ASSERT_TRUE(in.load_jxb(file.c_str()));
    EXPECT_EQ(stored_kinds(back), stored_kinds(d));
    MB_Block* part = back.find_block("PART");
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->object_list().count(), 1);
    bool bound = false;
    for (MB_Object* o = back.object_list().get_head(); o; o = o->next())
        if (o->object_id() == MB_Object::ID_INSERT && static_cast<MB_Insert*>(o)->block() == part) bound = true;
    EXPECT_TRUE(bound);
}
