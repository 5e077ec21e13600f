#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/ellipse.h"
#include "kernel/entities/entity_fixture.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/point_entity.h"

using namespace entity_test;

namespace {

// A drawing with every entity kind of this folder, on a layer, in colours, one dashed.
void fill(MB_Drawing& d)
{
    auto* walls = new MB_Layer(MB_String("walls"));
    walls->color(0x00FF00);
    d.layer_list().add_tail(walls);
    auto* dashed = new MB_Line_Type;
    ASSERT_TRUE(dashed->init_data("A,0.5,-0.25"));
    d.line_type_list().add_tail(dashed);

    auto* line = new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(10, 5, 0));
    line->general().layer(walls);
    line->general().color(0x0000FF);
    line->general().line_type(dashed);
    auto* chain = new MB_Lines;
    const Qe_Pt v[] = {{1, 1, 0}, {4, 1, 0}, {4, 6, 2}};
    chain->init(3, v);
    auto* mlines = new MB_Mlines;
    mlines->init(3, v);
    auto* point = new MB_Point(Qe_Pt(3, 3, 0));
    point->point_type(3);
    point->size(5.0);
    auto* arc = new MB_Arc(Qe_Pt(2, 2, 0), 1.5, 0.5, 4.0);
    arc->general().layer(walls);
    MB_Drawable* all[] = {line,
                          new MB_Ray(Qe_Pt(1, 1, 0), Qe_Pt(2, 3, 0)),
                          new MB_Xline(Qe_Pt(1, 1, 0), Qe_Pt(2, 3, 0)),
                          chain,
                          mlines,
                          new MB_Circle(Qe_Pt(-3, 4, 1), 2.0),
                          arc,
                          new MB_Ellipse(Qe_Pt(5, -5, 0), 4.0, 1.0, 0.3),
                          new MB_Ellipse_Arc(Qe_Pt(5, -5, 0), 4.0, 1.0, 0.3, 1.0, 5.5),
                          point};
    for (MB_Drawable* e : all) {
        e->build_draw();
        d.add_object(e);
    }
}

Bytes save(MB_Drawing& d, bool compressed)
{
    stream_test::Temp_File f;
    MB_File_IO io;
    io.drawing(&d);
    io.heuristics().set_allow_binary_data(compressed);
    EXPECT_TRUE(io.save_jxb(f.path()));
    return f.contents();
}

TEST(Entity_Files, SaveLoadSaveIsByteIdentical)
{
    for (const bool compressed : {false, true}) {
        SCOPED_TRACE(compressed);
        Bytes first;
        {
            Op_Fixture f;
            fill(*f.drawing);
            first = save(*f.drawing, compressed);
        }
        Op_Fixture g;
        stream_test::Temp_File file;
        file.contents(first);
        ASSERT_TRUE(g.op->load_jxb(file.path()));
        // Construction lines and multi-lines are not in the file; the ray is a line now.
        std::vector<int> ids;
        for (MB_Object* o = g.drawing->object_list().get_head(); o; o = o->next()) ids.push_back(o->object_id());
        EXPECT_EQ(ids, (std::vector<int>{50, 50, 51, 18, 3, 27, 28, 98}));
        auto* line = static_cast<MB_Line*>(g.drawing->object_list().get_head());
        ASSERT_NE(line->general().layer(), nullptr);
        EXPECT_EQ(line->general().layer()->name(), MB_String("walls"));
        EXPECT_EQ(line->general().color(), 0x0000FF);
        auto* point = static_cast<MB_Point*>(g.drawing->object_list().get_tail());
        EXPECT_EQ(point->point_type(), 3);
        EXPECT_EQ(point->size(), 5.0);
        EXPECT_EQ(to_hex(save(*g.drawing, compressed)), to_hex(first));
    }
}

}  // namespace
