// Dimensions written in-process: each a DIMENSION with its own block of what the kernel built,
// read back by the structure check, ezdxf and LibreCAD.

#include <gtest/gtest.h>

#include "Drakmere.h"
#include "dxf_run.h"
#include "dxf_structure.h"
#include "plugins/gressil/aci.h"

using namespace converter_test;

namespace {

// The entities a dimension's nodes make: one per solid and one per run.
int node_entities(MB_Draw_Node& node)
{
    if (auto* nodes = dynamic_cast<MB_Draw_Nodes*>(&node)) {
        int n = 0;
        for (MB_Draw_Node* c = nodes->node_list().head(); c; c = c->next()) n += node_entities(*c);
        return n;
    }
    if (auto* sets = dynamic_cast<MB_Draw_Lines_Sets*>(&node)) return static_cast<int>(sets->ptset_count());
    return dynamic_cast<MB_Draw_Solid*>(&node) || dynamic_cast<MB_Draw_Lines_Set*>(&node) ? 1 : 0;
}

}  // namespace

// Dimensions as DIMENSION, each with its *Dn block of the geometry the kernel built: solids,
// lines and text strokes in the style's colours. ezdxf measures each from the definition
// points where DXF keeps them for the kind and finds the kernel's measurement; the block
// covers what the kernel's nodes cover.
TEST(DxfExport, DimensionsWithTheirOwnBlocks)
{
    Work_Dir work("dxf_dimensions");
    MB_Drawing drawing;
    const double k_deg = std::numbers::pi / 180.0;
    struct Dim_Case {
        const char* name;
        int kind;
        Qe_Pt p2, p3, p4, d, arc, text;
        int dxf_type;
        // The definition points DXF keeps, in ezdxf's names.
        std::vector<std::pair<const char*, Qe_Pt>> defpoints;
    };
    const Qe_Pt p60(1 + 10 * std::cos(60 * k_deg), 1 + 10 * std::sin(60 * k_deg), 0);
    const Qe_Pt d30(1 + 4 * std::cos(30 * k_deg), 1 + 4 * std::sin(30 * k_deg), 0);
    const Dim_Case cases[] = {
        {"horizontal", MB_Dimension::Linear, {0, 0, 0}, {10, 0, 0}, {}, {10, 5, 0}, {}, {5, 6, 0}, 0,
         {{"defpoint", {10, 5, 0}}, {"defpoint2", {0, 0, 0}}, {"defpoint3", {10, 0, 0}}}},
        {"vertical", MB_Dimension::Linear, {0, 0, 0}, {0, 8, 0}, {}, {-4, 8, 0}, {}, {-5, 4, 0}, 0,
         {{"defpoint", {-4, 8, 0}}, {"defpoint2", {0, 0, 0}}, {"defpoint3", {0, 8, 0}}}},
        {"aligned", MB_Dimension::Aligned, {0, 0, 0}, {6, 8, 0}, {}, {2, 11, 0}, {}, {0, 7, 0}, 1,
         {{"defpoint", {2, 11, 0}}, {"defpoint2", {0, 0, 0}}, {"defpoint3", {6, 8, 0}}}},
        {"angular", MB_Dimension::Angular, {10, 0, 0}, {0, 0, 0}, {8, 8, 0}, {1, 1, 0},
         {5 * std::cos(20 * k_deg), 5 * std::sin(20 * k_deg), 0}, {}, 2,
         {{"defpoint", {8, 8, 0}}, {"defpoint2", {0, 0, 0}}, {"defpoint3", {10, 0, 0}}, {"defpoint4", {1, 1, 0}},
          {"defpoint5", {5 * std::cos(20 * k_deg), 5 * std::sin(20 * k_deg), 0}}}},
        {"diameter", MB_Dimension::Diameter, {}, {}, {30, 0, 0}, {20, 0, 0}, {}, {25, 2, 0}, 3,
         {{"defpoint", {20, 0, 0}}, {"defpoint4", {30, 0, 0}}}},
        {"radius", MB_Dimension::Radius, {}, {}, {5, -20, 0}, {0, -20, 0}, {}, {9, -20, 0}, 4,
         {{"defpoint", {0, -20, 0}}, {"defpoint4", {5, -20, 0}}}},
        {"three_point", MB_Dimension::Angular_3pt, {11, 1, 0}, p60, {1, 1, 0}, d30, {}, {}, 5,
         {{"defpoint", d30}, {"defpoint2", {11, 1, 0}}, {"defpoint3", p60}, {"defpoint4", {1, 1, 0}}}},
    };
    std::vector<MB_Dimension*> dims;
    for (const Dim_Case& c : cases) {
        auto* d = new MB_Dimension;
        d->flag(static_cast<unsigned char>(c.kind));
        d->dim_pt2(c.p2);
        d->dim_pt3(c.p3);
        d->dim_pt4(c.p4);
        d->definition_pt(c.d);
        d->arcdef_pt(c.arc);
        d->text_mid(c.text);
        d->dim_style().color()[0] = rgb(0, 255, 0);
        d->dim_style().color()[1] = rgb(0, 0, 255);
        d->dim_style().color()[2] = rgb(255, 0, 0);
        if (c.kind == MB_Dimension::Aligned) d->dimstyle_name() = "ISO";
        d->build_draw();
        drawing.object_list().add_tail(d);
        dims.push_back(d);
    }
    // A dimension bound to a block shows that block through its reference.
    auto* mark = new MB_Block(Qe_Pt(0, 0, 0), MB_String("mark"), MB_String(""));
    mark->object_list().add_tail(new MB_Line(Qe_Pt(-1, 0, 0), Qe_Pt(1, 0, 0)));
    drawing.block_list().add_tail(mark);
    auto* bound = new MB_Dimension;
    bound->insert_pt(Qe_Pt(50, 50, 0));
    bound->block_name("mark", drawing);
    bound->build_draw();
    drawing.object_list().add_tail(bound);
    // Never built: nothing shows, nothing is written.
    drawing.object_list().add_tail(new MB_Dimension);

    const std::string dxf = export_drawing(drawing, work, "dims.dxf");
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    const std::vector<std::string> got = lines_starting(report, "entity DIMENSION");
    ASSERT_EQ(got.size(), std::size(cases) + 1) << joined(report);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Dim_Case& c = cases[i];
        const MB_Dimension& d = *dims[i];
        SCOPED_TRACE(c.name);
        const std::string& line = got[i];
        const std::string block = "*D" + std::to_string(i + 1);
        // Group 70: the kind, with 32 (the block is this dimension's own) and 128 (the text
        // stands where the dimension says).
        EXPECT_EQ(line.rfind("entity DIMENSION layer=0 color=7 type=" + std::to_string(c.dxf_type) +
                                 " flags=160 block=" + block +
                                 " members=" + std::to_string(node_entities(*dims[i]->draw_node())) + " style=" +
                                 (c.kind == MB_Dimension::Aligned ? "ISO" : "Standard") + " text=",
                             0),
                  0u)
            << line;
        EXPECT_GT(node_entities(*dims[i]->draw_node()), 3);
        const std::vector<double> text = values_of(line, "text");
        ASSERT_EQ(text.size(), 3u) << line;
        EXPECT_NEAR(text[0], dims[i]->text_mid().x(), 1e-6);
        EXPECT_NEAR(text[1], dims[i]->text_mid().y(), 1e-6);
        // The stored measurement, and ezdxf's own from the definition points, in degrees for
        // the angular kinds.
        const bool angular = c.kind == MB_Dimension::Angular || c.kind == MB_Dimension::Angular_3pt;
        ASSERT_EQ(values_of(line, "measurement").size(), 1u) << line;
        EXPECT_NEAR(values_of(line, "measurement")[0] * (angular ? 180.0 / std::numbers::pi : 1.0), d.measurement(),
                    1e-4);
        ASSERT_EQ(values_of(line, "measured").size(), 1u) << line;
        // (ezdxf measures aligned dimensions along the x axis: the stored value stands alone.)
        if (c.kind != MB_Dimension::Aligned) {
            EXPECT_NEAR(values_of(line, "measured")[0], dims[i]->measurement(), 1e-5) << line;
        }
        EXPECT_GT(d.measurement(), 1.0);
        for (const auto& [key, p] : c.defpoints) {
            const std::vector<double> v = values_of(line, key);
            ASSERT_EQ(v.size(), 3u) << key << " " << line;
            EXPECT_NEAR(v[0], p.x(), 1e-6) << key;
            EXPECT_NEAR(v[1], p.y(), 1e-6) << key;
        }
        // The block covers what the nodes cover.
        const std::vector<double> box = values_of(line, "bbox");
        ASSERT_EQ(box.size(), 6u) << line;
        const Qe_Rect& r = dims[i]->rect();
        EXPECT_NEAR(box[0], std::min(r.lt().x(), r.rb().x()), 1e-5);
        EXPECT_NEAR(box[1], std::min(r.lt().y(), r.rb().y()), 1e-5);
        EXPECT_NEAR(box[3], std::max(r.lt().x(), r.rb().x()), 1e-5);
        EXPECT_NEAR(box[4], std::max(r.lt().y(), r.rb().y()), 1e-5);
        // Arrowheads as solids and lines in the line colour, extension lines in theirs.
        const std::vector<std::string> members = lines_starting(report, "member " + block + " ");
        EXPECT_FALSE(lines_starting(members, "member " + block + " SOLID layer=0 color=1 ").empty()) << joined(members);
        if (c.kind <= MB_Dimension::Aligned) {
            EXPECT_FALSE(lines_starting(members, "member " + block + " LINE layer=0 color=3 ").empty())
                << joined(members);
        }
        EXPECT_FALSE(lines_starting(members, "member " + block + " LWPOLYLINE layer=0 color=5 ").empty() &&
                     lines_starting(members, "member " + block + " LINE layer=0 color=5 ").empty())
            << joined(members);
    }
    EXPECT_EQ(
        got.back().rfind("entity DIMENSION layer=0 color=7 type=0 flags=160 block=*D8 members=1 style=Standard", 0),
        0u)
        << got.back();
    EXPECT_TRUE(has_line(report, "member *D8 INSERT layer=0 color=" +
                                     std::to_string(aci_from_colorref(
                                         static_cast<std::uint32_t>(bound->dim_style().color()[2]), 0)) +
                                     " block=mark at=(50,50,0) scale=1,1,1 rotation=0"))
        << joined(report);
    // The style the aligned dimension names, with the sizes and colours it was built with.
    const double* real = dims[2]->dim_style().real_val();
    EXPECT_TRUE(has_line(report, "dimstyle ISO dimasz=" + r6(real[1]) + " dimexo=" + r6(real[6]) + " dimexe=" +
                                     r6(real[5]) + " dimtxt=" + r6(real[15]) + " dimgap=" + r6(real[7]) +
                                     " colors=1,3,5"))
        << joined(report);
    EXPECT_TRUE(lines_starting(report, "dimstyle Standard ").size() == 1u) << joined(report);
    EXPECT_GT(librecad_ink(dxf, work.path()), 0);
}

