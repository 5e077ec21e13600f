// The DXF writer in-process: colours, texts, the group-code writer, and whole drawings read
// back by the structure check, ezdxf and LibreCAD.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "Drakmere.h"
#include "dxf_run.h"
#include "dxf_structure.h"
#include "kernel/text/text_fixture.h"
#include "plugins/gressil/aci.h"
#include "plugins/gressil/dxf_export.h"
#include "plugins/gressil/dxf_mtext.h"
#include "plugins/gressil/dxf_writer.h"
#include "plugins/gressil/raster_files.h"
#include "platform/ximage.h"

using namespace converter_test;

namespace {

TEST(Aci, ExactEntriesNearestColoursAndWhite)
{
    // Every palette colour maps to the first entry that has it.
    for (int i = 1; i < 256; ++i) {
        const std::uint32_t p = aci_palette_rgb(i);
        const std::uint32_t colorref = rgb((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
        int first = 1;
        while (aci_palette_rgb(first) != p) ++first;
        if (p == 0xFFFFFF) first = 7;
        EXPECT_EQ(aci_from_colorref(colorref, rgb(1, 2, 3)), first) << i;
    }
    // The nearest entry, found here by a plain search over all entries.
    const std::uint32_t samples[] = {rgb(254, 1, 1), rgb(10, 200, 30), rgb(120, 120, 121), rgb(3, 3, 90)};
    for (std::uint32_t c : samples) {
        int best = 1;
        double best_d = 1e300;
        for (int i = 1; i < 256; ++i) {
            const std::uint32_t p = aci_palette_rgb(i);
            const double d = std::hypot(std::hypot(double((p >> 16) & 0xFF) - (c & 0xFF),
                                                   double((p >> 8) & 0xFF) - ((c >> 8) & 0xFF)),
                                        double(p & 0xFF) - ((c >> 16) & 0xFF));
            if (d < best_d) best_d = d, best = i;
        }
        EXPECT_EQ(aci_from_colorref(c, rgb(1, 2, 3)), best) << std::hex << c;
    }
    EXPECT_EQ(aci_from_colorref(rgb(255, 255, 255), 0), 7);
    EXPECT_EQ(aci_from_colorref(rgb(255, 0, 0), 0), 1);
    EXPECT_EQ(aci_from_colorref(rgb(0, 0, 255), 0), 5);
    // The background colour shows as its complement: the contrast colour 7.
    EXPECT_EQ(aci_from_colorref(0, 0), 7);
    EXPECT_EQ(aci_from_colorref(rgb(0, 0, 255), rgb(0, 0, 255)), 7);
}

TEST(DxfText, EscapesAndNames)
{
    const char16_t lone[] = {u'a', 0xDC00, u'b', 0xD800};
    const std::pair<std::u16string, const char*> cases[] = {
        {u"Ab 1", "Ab 1"},
        {u"\u4E2D\u6587", "\\U+4E2D\\U+6587"},
        {u"a\U0001F600b", "a\\U+1F600b"},
        {u"x\ny\tz", "x y z"},
        {std::u16string(lone, 4), "a\\U+FFFDb\\U+FFFD"},
        // A backslash that starts the code of one character, as the kernel's texts read it,
        // is that code in the form readers decode; any other is a backslash to readers.
        {u"\\U+0041\\U+", "\\U+0041\\U+005CU+"},
        {u"\\u+00e9!", "\\U+00E9!"},
        {u"\\U+12x4 \\U+12", "\\U+005CU+12x4 \\U+005CU+12"},
        {u"C:\\plan\\", "C:\\U+005Cplan\\U+005C"},
        {u"\\\\U+0041", "\\U+005C\\U+0041"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(dxf_escape(text.data(), static_cast<int>(text.size())), expected) << expected;
    const std::u16string bad = u" a<b>c/d\\e\"f:g;h?i*j|k=l`m ";
    EXPECT_EQ(dxf_table_name(bad.data(), static_cast<int>(bad.size()), "x"), "_a_b_c_d_e_f_g_h_i_j_k_l_m_");
    const std::u16string cjk = u"\u5899";
    EXPECT_EQ(dxf_table_name(cjk.data(), 1, "x"), "\\U+5899");
    // In names only the escapes hold a backslash.
    const std::u16string coded = u"\u5899\\U+0041\\U+";
    EXPECT_EQ(dxf_table_name(coded.data(), static_cast<int>(coded.size()), "x"), "\\U+5899_U+0041_U+");
    EXPECT_EQ(dxf_table_name(nullptr, 0, "fallback"), "fallback");
}

// A multi-line text's codes as MTEXT's: what the kernel reads as a code keeps it, in a form
// whose meaning in MTEXT is the kernel's (a "}" returns to the text's own colour, font and
// height; heights are absolute); what it takes literally stays literal.
TEST(DxfMtext, KernelCodesAsMtextCodes)
{
    struct Case {
        const char* kernel;
        const char* mtext;
    } cases[] = {
        {R"(Mtext line one\PLine two)", R"(Mtext line one\PLine two)"},
        {R"({\C3;Ab}\Pcd)", R"({\C3;Ab}\Pcd)"},
        // A colour outside a group lasts until the next "}" only.
        {R"(\C1;red{x}own)", R"({\C1;red{x}}own)"},
        // Heights are the kernel's, absolute; a "}" closes every group open.
        {R"({\C1;a{\H2x;b}c}d)", R"({\C1;a{\H5;b}}cd)"},
        {R"(\H3;a\H0.5x;b)", R"({\H3;a\H1.5;b})"},
        {R"({\H2;a}\H0.5x;b)", R"({\H2;a}{\H1.25;b})"},
        // A font by name keeps its code as written; "\F;" returns to the text's own font.
        {R"(\Fgdt|c0;x\F;y)", R"({\Fgdt|c0;x\Ftxt.shx;y})"},
        // Codes that change nothing give nothing, and so does a font whose name would open a
        // group in a reader.
        {R"(\C300;a\H;b\Hxyz)", "abyz"},
        {R"(\Fa{b;c)", "c"},
        // Alignment and underlining are kept; one cut short by the end swallows the rest.
        {R"(\A1;x\Ly\A2)", R"(\A1;x\Ly)"},
        // Literal braces and backslashes stay literal; MTEXT's own codes that the kernel takes
        // as letters stay codes; other letters lose their backslash; a caret stays a caret.
        {R"(a\{b\}c\\d\Se/f;\zg^h)", R"(a\{b\}c\\d\Se/f;zg^ h)"},
        {R"(\U+4E2D\u+6587)", R"(\U+4E2D\U+6587)"},
        {"\xC6\xBD  x", R"(\U+5E73  x)"},
    };
    for (const Case& c : cases) EXPECT_EQ(dxf_mtext_content(c.kernel, "txt.shx", 2.5), c.mtext) << c.kernel;
    // Strings of codes cut and mixed at random: the groups written always close, none before
    // it opens, and nothing but ASCII is written.
    std::uint32_t state = 12345;
    const char alphabet[] = "{}\\ACFfHLPSUu+;|x0123456789a ^\xC6\xBD";
    for (int round = 0; round < 2000; ++round) {
        std::string s;
        const int length = static_cast<int>(state % 24);
        for (int i = 0; i < length; ++i) {
            state = state * 1664525u + 1013904223u;
            s += alphabet[(state >> 16) % (sizeof alphabet - 1)];
        }
        state = state * 1664525u + 1013904223u;
        const std::string out = dxf_mtext_content(s, "txt.shx", 2.5);
        int depth = 0;
        bool sound = true;
        for (std::size_t i = 0; i < out.size(); ++i) {
            sound = sound && static_cast<unsigned char>(out[i]) >= 0x20 && static_cast<unsigned char>(out[i]) < 0x7F;
            if (out[i] == '\\') ++i;  // an escaped character or a code's letter
            else if (out[i] == '{') ++depth;
            else if (out[i] == '}') sound = sound && --depth >= 0;
        }
        EXPECT_TRUE(sound && depth == 0) << s << " -> " << out;
    }
    // Tolerance frames: rows as "^J", the kernel's own codes as they are.
    EXPECT_EQ(dxf_tolerance_content("{\\Fgdt;j}%%v0.05%%vA\nB%%v"), "{\\Fgdt;j}%%v0.05%%vA^JB%%v");
}

// A drawable of no DXF kind, shown by the display node it is given.
class Shape : public MB_Geom {
public:
    MB_ID object_id() const override { return ID_POINT_SET; }
    MB_Result serialize(MB_File_IO&) override { return MB_Result::Success; }
    MB_Result materialize(const MB_Opcode&, MB_File_IO&) override { return MB_Result::Success; }
    MB_Result process(MB_File_IO&) override { return MB_Result::Success; }
    void node(MB_Draw_Node* n) { draw_node(n); }
};

// A ray and a construction line, each through a point 5 units along from its base: RAY and
// XLINE with their base points and unit directions. (They are not stored, so only a drawing
// built in memory has them.)
TEST(DxfExport, RaysAndConstructionLines)
{
    Work_Dir work("dxf_rays");
    MB_Drawing drawing;
    drawing.object_list().add_tail(new MB_Ray(Qe_Pt(1, 2, 0), Qe_Pt(4, 6, 0)));
    drawing.object_list().add_tail(new MB_Xline(Qe_Pt(-3, 1, 2), Qe_Pt(-3, -4, 2)));
    for (MB_Object* o = drawing.object_list().get_head(); o; o = o->next()) static_cast<MB_Drawable*>(o)->build_draw();
    const std::string dxf = export_drawing(drawing, work, "rays.dxf");
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_EQ(joined(lines_starting(report, "entity ")),
              "entity RAY layer=0 color=7 start=(1,2,0) direction=(0.6,0.8,0)\n"
              "entity XLINE layer=0 color=7 start=(-3,1,2) direction=(0,-1,0)\n");
    EXPECT_GT(librecad_ink(dxf, work.path()), 0);
}

TEST(DxfExport, DrawablesOfNoDxfKindAreWrittenAsTheirDisplayRuns)
{
    Work_Dir work("dxf_fallback");
    MB_Drawing drawing;
    auto* layer = new MB_Layer(MB_String("shapes"));
    layer->visibility(true);
    layer->color(rgb(255, 0, 0));
    drawing.layer_list().add_tail(layer);

    // Two runs of a dashed line node.
    auto* dashed = new Shape;
    dashed->general().layer(layer);
    dashed->general().color(rgb(0, 0, 255));
    {
        auto* node = new MB_Draw_Lines_Sets(rgb(0, 0, 255), dashed);
        const mb_ulong counts[] = {2, 3};
        const Qe_Pt pts[] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 1, 0}, {4, 0, 0}};
        ASSERT_TRUE(node->init(2, counts, pts));
        dashed->node(node);
    }
    drawing.object_list().add_tail(dashed);
    // A filled polygon under a transform node inside a group node.
    auto* moved = new Shape;
    moved->general().color(rgb(0, 255, 0));
    {
        const Qe_Pt square[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
        auto* solid = new MB_Draw_Solid(const_cast<Qe_Pt*>(square), 4, 0, moved);
        Qe_Tran shift = translate_transf(Qe_Vec(10, 20, 0));
        auto* group = new MB_Draw_Nodes;
        group->node_list().add(new MB_Draw_Trans(shift, solid, 0, moved));
        moved->node(group);
        // The transform node does not own its child: the test keeps it alive.
        static std::unique_ptr<MB_Draw_Solid> keep;
        keep.reset(solid);
    }
    drawing.object_list().add_tail(moved);
    // A curve without a node: its edge points; and a single point.
    auto* edge = new Shape;
    edge->general().color(rgb(255, 255, 255));
    const Qe_Pt edge_pts[] = {{5, 5, 0}, {6, 7, 0}, {7, 5, 0}};
    edge->edge().init(3, edge_pts);
    drawing.object_list().add_tail(edge);
    auto* dot = new Shape;
    dot->general().color(rgb(255, 255, 255));
    const Qe_Pt dot_pt[] = {{-1, -2, 0}};
    dot->edge().init(1, dot_pt);
    drawing.object_list().add_tail(dot);

    const std::string dxf = export_drawing(drawing, work, "fallback.dxf");
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_EQ(joined(lines_starting(report, "entity ")),
              "entity LWPOLYLINE layer=shapes color=5 closed=0 const=0 elevation=0 points=(0,0,0,0,0)(1,0,0,0,0)\n"
              "entity LWPOLYLINE layer=shapes color=5 closed=0 const=0 elevation=0 "
              "points=(2,0,0,0,0)(3,1,0,0,0)(4,0,0,0,0)\n"
              "entity LWPOLYLINE layer=0 color=3 closed=1 const=0 elevation=0 "
              "points=(10,20,0,0,0)(11,20,0,0,0)(11,21,0,0,0)(10,21,0,0,0)\n"
              "entity LWPOLYLINE layer=0 color=7 closed=0 const=0 elevation=0 points=(5,5,0,0,0)(6,7,0,0,0)(7,5,0,0,0)\n"
              "entity POINT layer=0 color=7 at=(-1,-2,0)\n");
    EXPECT_TRUE(has_line(report, "layer shapes color=1 flags=0 linetype=Continuous")) << joined(report);
}

// Multi-line texts as MTEXT, each with its codes; MTEXT has no mirror, so a mirrored text
// reads as written. One whose own height is no height cannot be MTEXT: it goes out run by run,
// TEXT where the kernel set each run (spaces and line feeds give nothing). Values out of DXF's
// ranges are written as the kernel lays them out, or brought into range, without a reader's fix.
TEST(DxfExport, MultiLineTextsAsMtext)
{
    Work_Dir work("dxf_mtext");
    text_test::Box_Fonts fonts;
    MB_Drawing drawing;
    auto make = [&](const Qe_Pt& at, bool mirrored, double height, const char* string) {
        auto* m = new MB_Mtext(at, string);  // box.shx draws only "A"
        m->text_style()->font_lib(fonts.lib("box.shx"));
        m->set_base_ht(height);
        m->backword(mirrored);
        m->general().color(rgb(0, 0, 255));
        m->build_draw();
        drawing.object_list().add_tail(m);
        return m;
    };
    make(Qe_Pt(0, 0, 0), false, 2, "{\\C1;A} \\PA");
    make(Qe_Pt(10, 20, 0), true, 2, "{\\C1;A} \\PA");
    MB_Mtext* flat = make(Qe_Pt(30, 0, 0), false, 0, "{\\C1;\\H2;A} \\P\\H2;A");
    std::vector<MB_Text*> runs;
    std::vector<MB_Line*> lines;
    ASSERT_TRUE(mb_text_parts(*flat, runs, lines));
    ASSERT_EQ(runs.size(), 2u);
    // Values DXF has no room for: the attachment point the kernel lays out as top left, the
    // drawing direction by the style, the line spacing factor within DXF's range.
    MB_Mtext* odd = make(Qe_Pt(50, 0, 0), false, 2, "A");
    odd->set_attachpt(12);
    odd->set_drawdir(7);
    odd->set_linespacing_style(3);
    odd->set_linespacing_factor(10);
    const std::string dxf = export_drawing(drawing, work, "mtext.dxf");
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_TRUE(has_line(report, "style box font=box.shx bigfont= width=1 oblique=0")) << joined(report);
    const std::string mtext = " height=2 width=0 attach=1 flow=5 rotation=0 spacing=1,1 style=box "
                              "text={\\C1;A} \\PA plain=A |A\n";
    std::string want = "entity MTEXT layer=0 color=5 at=(0,0,0)" + mtext + "entity MTEXT layer=0 color=5 at=(10,20,0)" + mtext;
    for (std::size_t i = 0; i < runs.size(); ++i)
        want += "entity TEXT layer=0 color=" + std::string(i == 0 ? "1" : "5") + " at=(30," +
                r6(runs[i]->base_pos().y()) + ",0) height=2 text=A rotation=0 width=1 oblique=0 style=box\n";
    want += "entity MTEXT layer=0 color=5 at=(50,0,0) height=2 width=0 attach=1 flow=5 rotation=0 spacing=1,4 "
            "style=box text=A plain=A\n";
    EXPECT_EQ(joined(lines_starting(report, "entity ")), want);
    EXPECT_GT(librecad_ink(dxf, work.path()), 0);
}

// A text fitted into a frame: DXF's fitted text between the ends of the frame's base line at
// the frame's height, turned along it, without the slant, mirror or vertical layout its style
// has (the kernel's fitted layout has none of them); a frame without length goes out as the
// text's outline.
TEST(DxfExport, FittedTextsAlongTheirFrames)
{
    Work_Dir work("dxf_fitted");
    text_test::Box_Fonts fonts;
    MB_Drawing drawing;
    auto make = [&](const Qe_Pt& p0, const Qe_Pt& p1, const Qe_Pt& p3) {
        auto* text = new MB_Text(p0, MB_String("AA"));
        text->text_style()->font_lib(fonts.lib("box.shx"));
        text->text_style()->height(3);
        text->text_style()->width_scale(1);
        text->text_style()->oblique_angle(0.3);
        text->text_style()->font_style(MB_Text_Style::Vertical | MB_Text_Style::Mirror_Across_Direction);
        text->bound_pts(p0, p1, p1 + (p3 - p0), p3);
        text->build_draw();
        drawing.object_list().add_tail(text);
    };
    make(Qe_Pt(1, 1, 0), Qe_Pt(9, 7, 0), Qe_Pt(-2, 5, 0));
    make(Qe_Pt(20, 0, 0), Qe_Pt(20, 0, 0), Qe_Pt(20, 2, 0));
    const std::string dxf = export_drawing(drawing, work, "fitted.dxf");
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_TRUE(has_line(report, "style box font=box.shx bigfont= width=1 oblique=0")) << joined(report);
    const std::vector<std::string> got = lines_starting(report, "entity ");
    ASSERT_GE(got.size(), 2u) << joined(report);
    EXPECT_EQ(got[0], "entity TEXT layer=0 color=7 at=(1,1,0) height=5 text=AA rotation=36.869898 width=1 oblique=0 "
                      "style=box align=5,0 point=(9,7,0)");
    for (std::size_t i = 1; i < got.size(); ++i) EXPECT_EQ(got[i].rfind("entity LWPOLYLINE", 0), 0u) << got[i];
    EXPECT_GT(librecad_ink(dxf, work.path()), 0);
}

// DXF counts a mesh's vertices in 16 bits: a mesh of more than 32767 vertices a side goes out
// as the runs the kernel draws, not as a POLYLINE mesh whose counts a reader would misread.
TEST(DxfExport, MeshesBeyondDxfCountsAsTheirRuns)
{
    Work_Dir work("dxf_big_mesh");
    MB_Drawing drawing;
    constexpr int n = 32768;
    auto* mesh = new MB_Polygon_Mesh(2, n, 0, 0);
    for (int i = 0; i < 2 * n; ++i) {
        Qe_Pt p(i % n, i / n, 0);
        mesh->add_point(p, i);
    }
    drawing.object_list().add_tail(mesh);
    const std::string dxf = export_drawing(drawing, work, "mesh.dxf");
    const auto report = ezdxf_report(dxf);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_TRUE(lines_starting(report, "entity POLYLINE").empty());
    // Two rows and a column for every vertex of a row.
    EXPECT_EQ(lines_starting(report, "entity LWPOLYLINE").size(), 2u + n);
}

TEST(DxfExport, LayersLineTypesAndBlocks)
{
    Work_Dir work("dxf_tables");
    MB_Drawing drawing;
    auto* dashed = new MB_Line_Type;
    ASSERT_TRUE(dashed->init_dec("DASHED,Dashed __ __ __"));
    ASSERT_TRUE(dashed->init_data("A,0.5,-0.25,0,-0.25"));
    drawing.line_type_list().add_tail(dashed);
    struct Layer_Case {
        const char16_t* name;
        std::uint32_t colour;
        bool on, frozen, locked;
        const char* line;
    } layers[] = {
        {u"walls", rgb(255, 0, 0), true, false, false, "layer walls color=1 flags=0 linetype=DASHED"},
        {u"hidden", rgb(0, 255, 0), false, false, false, "layer hidden color=-3 flags=0 linetype=Continuous"},
        {u"ice", rgb(0, 0, 255), true, true, false, "layer ice color=5 flags=1 linetype=Continuous"},
        {u"safe", rgb(255, 255, 255), true, false, true, "layer safe color=7 flags=4 linetype=Continuous"},
        {u"WALLS", rgb(255, 255, 0), true, false, false, "layer WALLS_2 color=2 flags=0 linetype=Continuous"},
        // Stored as the escape, which ezdxf leaves as it is in names.
        {u"\u5899", rgb(0, 255, 255), true, false, false, "layer \\U+5899 color=4 flags=0 linetype=Continuous"},
        {u"0", rgb(255, 0, 255), true, false, false, "layer 0 color=6 flags=0 linetype=Continuous"},
    };
    for (const Layer_Case& c : layers) {
        auto* layer = new MB_Layer(MB_String(c.name));
        layer->visibility(c.on);
        layer->freeze(c.frozen);
        layer->lock(c.locked);
        layer->color(c.colour);
        if (std::u16string(c.name) == u"walls") layer->line_type(dashed);
        drawing.layer_list().add_tail(layer);
    }
    auto* block = new MB_Block(Qe_Pt(1, 1, 0), MB_String("door"), MB_String("a door"));
    auto* member = new Shape;
    const Qe_Pt member_pts[] = {{1, 1, 0}, {2, 2, 0}};
    member->edge().init(2, member_pts);
    member->general().line_type(dashed);
    block->object_list().add_tail(member);
    drawing.block_list().add_tail(block);
    for (double x : {0.0, 10.0}) {
        auto* insert = new MB_Insert(Qe_Pt(x, 5, 0), std::numbers::pi / 2, 2, -1, 0);
        insert->block(block);
        drawing.object_list().add_tail(insert);
    }

    const std::string dxf = export_drawing(drawing, work, "tables.dxf");
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    for (const Layer_Case& c : layers) EXPECT_TRUE(has_line(report, c.line)) << c.line << "\n" << joined(report);
    EXPECT_TRUE(has_line(report, "linetype DASHED pattern=[0.5,-0.25,0,-0.25]")) << joined(report);
    EXPECT_TRUE(has_line(report, "block door base=(1,1,0)")) << joined(report);
    EXPECT_TRUE(has_line(report, "member door LWPOLYLINE layer=0 color=7 linetype=DASHED closed=0 const=0 "
                                 "elevation=0 points=(1,1,0,0,0)(2,2,0,0,0)"))
        << joined(report);
    EXPECT_EQ(joined(lines_starting(report, "entity ")),
              "entity INSERT layer=0 color=7 block=door at=(0,5,0) scale=2,-1,1 rotation=90\n"
              "entity INSERT layer=0 color=7 block=door at=(10,5,0) scale=2,-1,1 rotation=90\n");
    EXPECT_GT(librecad_ink(dxf, work.path()), 0);
}

}  // namespace


// Texts laid along arcs and paths: every run as a TEXT where it stands, turned as it is. A
// tolerance frame as TOLERANCE, turned by its angle.
TEST(DxfExport, ArcAndPathTextsAsTheirRunsAndFramesAsTolerance)
{
    g_system_resource.free();
    ASSERT_TRUE(g_system_resource.init_dir());
    Work_Dir work("dxf_aligned");
    MB_Operation op;
    ASSERT_TRUE(op.create_drawing("aligned"));
    MB_Drawing& drawing = *op.drawing();
    auto* arc = new MB_Arc_Text(Qe_Pt(5, 5, 0), 0.2, 2.5, 10.0, "", "AB");
    arc->height(2.0);
    auto* path = new MB_Trace_Text();
    const Qe_Pt pts[] = {{0, -20, 0}, {30, -20, 0}, {30, 0, 0}};
    path->pt_set(Qe_Pt_Set(3, pts));
    path->str("PQ");
    path->height(2.0);
    auto* frame = new MB_Tolerance(Qe_Pt(0, -40, 0), "A%%vB");
    frame->set_height(2.0);
    frame->angle(0.25);
    std::vector<std::string> want;
    for (MB_Drawable* d : std::initializer_list<MB_Drawable*>{arc, path}) {
        d->general().color(rgb(255, 0, 0));
        d->build_draw();
        drawing.object_list().add_tail(d);
        std::vector<MB_Text*> runs;
        std::vector<MB_Line*> lines;
        ASSERT_TRUE(mb_text_parts(*d, runs, lines));
        for (MB_Text* run : runs) {
            const Qe_Pt& p = run->base_pos();
            want.push_back("entity TEXT layer=0 color=1 at=(" + r6(p.x()) + "," + r6(p.y()) + "," + r6(p.z()) +
                           ") height=2 text=" + run->string().ascii() +
                           " rotation=" + r6(run->text_style()->angle() * 180.0 / 3.14159265358979323846));
        }
    }
    ASSERT_EQ(want.size(), 2u + 2u);
    frame->general().color(rgb(255, 0, 0));
    frame->build_draw();
    drawing.object_list().add_tail(frame);
    want.push_back("entity TOLERANCE layer=0 color=1 at=(0,-40,0) text=A%%vB direction=(0.968912,0.247404,0) "
                   "dimstyle=Standard dimtxt=2");

    const std::string dxf = export_drawing(drawing, work, "aligned.dxf");
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    const std::vector<std::string> got = lines_starting(report, "entity ");
    ASSERT_EQ(got.size(), want.size()) << joined(report);
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i].rfind(want[i], 0), 0u) << got[i] << "\n" << want[i];
}

// A tolerance frame through the whole road: saved, read back by the import library, built,
// and written as TOLERANCE; with text explosion, as chains and lines, no text.
TEST(DxfExport, ToleranceFrameThroughTheRoad)
{
    g_system_resource.free();
    ASSERT_TRUE(g_system_resource.init_dir());
    Work_Dir work("dxf_tolerance_road");
    const std::string source = work / "frame.vkt";
    std::vector<std::string> want;
    {
        MB_Operation op;
        ASSERT_TRUE(op.create_drawing("frame"));
        auto* frame = new MB_Tolerance(Qe_Pt(3, 4, 0), "{\\Fgdt;j}%%v0.05%%vA\nB%%v");
        frame->set_height(2.5);
        frame->general().color(rgb(255, 0, 0));
        frame->build_draw();
        op.drawing()->object_list().add_tail(frame);
        std::vector<MB_Text*> runs;
        std::vector<MB_Line*> lines;
        ASSERT_TRUE(mb_text_parts(*frame, runs, lines));
        for (MB_Line* l : lines)
            want.push_back("entity LINE layer=0 color=1 start=(" + r6(l->start().x()) + "," + r6(l->start().y()) +
                           ",0) end=(" + r6(l->end().x()) + "," + r6(l->end().y()) + ",0)");
        ASSERT_EQ(runs.size(), 4u);
        ASSERT_EQ(want.size(), 3u + 8u);
        ASSERT_TRUE(op.save_jxb(source.c_str()));
    }
    for (const bool explode : {false, true}) {
        SCOPED_TRACE(explode ? "exploded" : "texts");
        const std::string dxf = work / (explode ? "exploded.dxf" : "texts.dxf");
        const std::string cmd = "env -u PLATFORM_KERNEL_DIR " + shell_quote(PLOTWANE_BIN) +
                                (explode ? " " : " --no-explode-text ") + shell_quote(source) + " " +
                                shell_quote(dxf) + " >out.txt 2>err.txt </dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << read_file(work.path() / "err.txt");
        EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
        const auto report = ezdxf_report(dxf);
        ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
        const std::vector<std::string> got = lines_starting(report, "entity ");
        if (!explode) {
            EXPECT_EQ(joined(got), "entity TOLERANCE layer=0 color=1 at=(3,4,0) text={\\Fgdt;j}%%v0.05%%vA^JB%%v "
                                   "direction=(1,0,0) dimstyle=Standard dimtxt=2.5\n");
            continue;
        }
        EXPECT_TRUE(lines_starting(report, "entity TEXT").empty()) << joined(report);
        // The strokes come first (two-point strokes as lines too), the frame's lines last.
        EXPECT_GT(lines_starting(report, "entity LWPOLYLINE").size(), 4u);
        const std::vector<std::string> all_lines = lines_starting(report, "entity LINE");
        ASSERT_GE(all_lines.size(), 8u);
        for (std::size_t i = 0; i < 8; ++i) {
            const std::string& line = all_lines[all_lines.size() - 8 + i];
            EXPECT_EQ(line.rfind(want[3 + i], 0), 0u) << line;
        }
    }
}

// A group is written as its members, each in its own form, nested groups included.
TEST(DxfExport, GroupsAsTheirMembers)
{
    Work_Dir work("dxf_group");
    MB_Drawing drawing;
    auto* group = new MB_Group;
    group->object_list().add_tail(new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(5, 0, 0)));
    auto* inner = new MB_Group;
    inner->object_list().add_tail(new MB_Circle(Qe_Pt(1, 1, 0), 2));
    group->object_list().add_tail(inner);
    group->object_list().add_tail(new MB_Arc(Qe_Pt(0, 0, 0), 3, 0, std::numbers::pi / 2));
    group->build_draw();
    drawing.object_list().add_tail(group);
    const std::string dxf = export_drawing(drawing, work, "group.dxf");
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_EQ(joined(lines_starting(report, "entity ")),
              "entity LINE layer=0 color=7 start=(0,0,0) end=(5,0,0)\n"
              "entity CIRCLE layer=0 color=7 center=(1,1,0) radius=2\n"
              "entity ARC layer=0 color=7 center=(0,0,0) radius=3 angles=0,90\n");
}

// What cannot be written is counted once per drawable, by its kind, in the order met: a
// group's members count for themselves, a text along a path for its runs, and a drawable that
// shows nothing by its nature (an empty hatch, a multi-line) is no loss.
TEST(DxfExport, UnwrittenDrawablesAreCountedByKind)
{
    Work_Dir work("dxf_unwritten");
    MB_Drawing drawing;
    auto& list = drawing.object_list();
    list.add_tail(new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0)));
    list.add_tail(new MB_Line(Qe_Pt(NAN, 0, 0), Qe_Pt(1, 1, 0)));
    auto* group = new MB_Group;
    group->object_list().add_tail(new MB_Circle(Qe_Pt(1, 1, 0), 2));
    group->object_list().add_tail(new MB_Line(Qe_Pt(0, INFINITY, 0), Qe_Pt(1, 1, 0)));
    list.add_tail(group);
    auto* far_hatch = new MB_Hatch;
    const Qe_Pt far[] = {{0, 0, 0}, {NAN, 0, 0}, {1, NAN, 0}};
    far_hatch->loop_add(new Qe_Loop(far, 3));
    list.add_tail(far_hatch);
    list.add_tail(new MB_Hatch);  // no loop: nothing to draw
    auto* insert = new MB_Insert(Qe_Pt(NAN, 0, 0), 0, 1, 1, 0);
    list.add_tail(insert);
    list.add_tail(new MB_Polyline);  // no vertex: neither form writes anything
    for (MB_Object* o = list.get_head(); o; o = o->next()) static_cast<MB_Drawable*>(o)->build_draw();

    const std::string path = work / "unwritten.dxf";
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::string unwritten;
    {
        Dxf_Writer w(f);
        Dxf_Exporter exporter(drawing, w, 0);
        EXPECT_TRUE(exporter.write());
        unwritten = exporter.unwritten_report();
    }
    std::fclose(f);
    EXPECT_EQ(unwritten, "5 entities not written: line x 2, hatch x 1, block reference x 1, polyline x 1");
    const auto report = ezdxf_report(path);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_EQ(joined(lines_starting(report, "entity ")),
              "entity LINE layer=0 color=7 start=(0,0,0) end=(1,1,0)\n"
              "entity CIRCLE layer=0 color=7 center=(1,1,0) radius=2\n");

    // Nothing lost: no report.
    MB_Drawing plain;
    plain.object_list().add_tail(new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0)));
    std::FILE* g = std::fopen((work / "plain.dxf").c_str(), "w");
    ASSERT_NE(g, nullptr);
    Dxf_Writer w(g);
    Dxf_Exporter exporter(plain, w, 0);
    EXPECT_TRUE(exporter.write());
    EXPECT_EQ(exporter.unwritten_report(), "");
    std::fclose(g);
}

namespace {

RGBQUAD quad(int r, int g, int b)
{
    return RGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0};
}

// w x h pixels, each of its own colour.
CxImage* raster(int w, int h)
{
    auto* image = new CxImage;
    EXPECT_TRUE(image->Create(w, h, 24));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image->SetPixelColor(x, y, quad(40 * x, 60 * y, 200 - 10 * x - 5 * y));
    return image;
}

// The image's frame in drawing units around its centre.
MB_Image* image_in(CxImage* r, const Qe_Pt& centre, double width, double height)
{
    auto* image = new MB_Image(r);
    image->center(centre);
    image->width(width);
    image->height(height);
    return image;
}

}  // namespace

// Images as IMAGE: the frame's lower-left corner, one pixel as U and V, the raster written
// beside the file (a JPEG with the bytes it was read from) and named by its IMAGEDEF, which
// the image dictionary holds and a reactor links back. The stored angle is not drawn, so it
// turns nothing. An image without a raster shows as its frame.
TEST(DxfExport, ImagesWithTheirRastersBesideTheFile)
{
    Work_Dir work("dxf_images");
    MB_Drawing drawing;
    CxImage* png = raster(4, 3);
    MB_Image* first = image_in(png, Qe_Pt(10, 20, 0), 40, 15);
    first->angle(0.3);
    first->general().color(rgb(255, 0, 0));
    drawing.object_list().add_tail(first);
    // A JPEG as read from its bytes.
    std::unique_ptr<CxImage> source(raster(8, 8));
    BYTE* jpeg_bytes = nullptr;
    long jpeg_size = 0;
    ASSERT_TRUE(source->Encode(jpeg_bytes, jpeg_size, CXIMAGE_FORMAT_JPG));
    const std::string jpeg(reinterpret_cast<const char*>(jpeg_bytes), static_cast<std::size_t>(jpeg_size));
    CxImage::FreeMemory(jpeg_bytes);
    auto* jpg = new CxImage(reinterpret_cast<const BYTE*>(jpeg.data()), static_cast<DWORD>(jpeg.size()),
                            CXIMAGE_FORMAT_JPG);
    ASSERT_TRUE(jpg->IsValid());
    // Inside a block: the reactor belongs to the IMAGE there.
    auto* block = new MB_Block(Qe_Pt(0, 0, 0), MB_String("pic"), MB_String(""));
    block->object_list().add_tail(image_in(jpg, Qe_Pt(0, 0, 0), 8, 8));
    drawing.block_list().add_tail(block);
    auto* insert = new MB_Insert(Qe_Pt(100, 0, 0), 0, 1, 1, 0);
    insert->block(block);
    drawing.object_list().add_tail(insert);
    auto* empty = new MB_Image;
    empty->center(Qe_Pt(200, 0, 0));
    empty->width(10);
    empty->height(8);
    drawing.object_list().add_tail(empty);

    const std::string dxf = export_drawing(drawing, work, "images.dxf", true);
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_EQ(joined(lines_starting(report, "member pic ")),
              "member pic IMAGE layer=0 color=7 insert=(-4,-4,0) u=(1,0,0) v=(0,1,0) size=(8,8,0) def=images-1.jpg "
              "defsize=(8,8,0) reactor=True\n");
    EXPECT_EQ(joined(lines_starting(report, "entity ")),
              "entity IMAGE layer=0 color=1 insert=(-10,12.5,0) u=(10,0,0) v=(0,5,0) size=(4,3,0) def=images-2.png "
              "defsize=(4,3,0) reactor=True\n"
              "entity INSERT layer=0 color=7 block=pic at=(100,0,0) scale=1,1,1 rotation=0\n"
              "entity LWPOLYLINE layer=0 color=7 closed=1 const=0 elevation=0 "
              "points=(195,-4,0,0,0)(205,-4,0,0,0)(205,4,0,0,0)(195,4,0,0,0)\n");
    // The rasters: the PNG holds the pixels, the JPEG the very bytes it was read from.
    EXPECT_EQ(read_file(work.path() / "images-1.jpg"), jpeg);
    CxImage back((work / "images-2.png").c_str(), CXIMAGE_FORMAT_PNG);
    ASSERT_TRUE(back.IsValid());
    ASSERT_EQ(back.GetWidth(), 4u);
    ASSERT_EQ(back.GetHeight(), 3u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const RGBQUAD a = back.GetPixelColor(x, y, false), b = png->GetPixelColor(x, y, false);
            EXPECT_TRUE(a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue) << x << "," << y;
        }
    // No temporary file is left.
    for (const auto& entry : fs::directory_iterator(work.path()))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

// LibreCAD finds the raster beside the file and draws it: a dark picture inks far more of the
// page than its frame alone does.
TEST(DxfExport, ReadersDrawTheImagesRaster)
{
    Work_Dir work("dxf_image_drawn");
    MB_Drawing drawing;
    auto* dark = new CxImage;
    ASSERT_TRUE(dark->Create(16, 16, 24));  // black
    drawing.object_list().add_tail(image_in(dark, Qe_Pt(50, 50, 0), 100, 100));
    const std::string with_raster = export_drawing(drawing, work, "dark.dxf", true);
    const std::string frame_only = export_drawing(drawing, work, "frame.dxf", false);
    EXPECT_TRUE(has_line(ezdxf_report(frame_only), "audit errors=0 fixes=0"));
    EXPECT_EQ(read_file(frame_only).find("IMAGE"), std::string::npos);
    const long raster_ink = librecad_ink(with_raster, work.path());
    const long frame_ink = librecad_ink(frame_only, work.path());
    ASSERT_GT(frame_ink, 0);
    EXPECT_GT(raster_ink, 10 * frame_ink);
}

// A raster that cannot be written fails the export: a file that names a missing picture is
// no success.
TEST(DxfExport, ARasterThatCannotBeWrittenFailsTheExport)
{
    Work_Dir work("dxf_image_unwritable");
    MB_Drawing drawing;
    drawing.object_list().add_tail(image_in(raster(2, 2), Qe_Pt(0, 0, 0), 2, 2));
    const std::string path = work / "out.dxf";
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    Dxf_Raster_Files files((work.path() / "missing-folder" / "out.dxf").string());
    {
        Dxf_Writer w(f);
        Dxf_Exporter exporter(drawing, w, 0, &files);
        EXPECT_FALSE(exporter.write());
    }
    std::fclose(f);
}

#include "kernel/entities/all_kinds.h"

namespace {

// Every stored kind, with the degenerate shapes whose own DXF form fails and that are written
// as what they show instead, and texts that go out as TEXT and as their glyphs.
void fill_every_kind(MB_Drawing& d)
{
    auto* layer = new MB_Layer(MB_String("k"));
    layer->visibility(true);
    d.layer_list().add_tail(layer);
    std::vector<MB_Drawable*> all;
    for (const all_kinds::Kind& k : all_kinds::kinds()) all.push_back(k.make(d));
    auto* dot = new MB_Lines;
    const Qe_Pt one[] = {{7, -2, 0}};
    dot->init(1, one);
    all.push_back(dot);
    all.push_back(new MB_Circle(Qe_Pt(4, 4, 0), 0.0));
    auto* text = new MB_Text(Qe_Pt(1, 30, 0), MB_String("As TEXT"));
    (void)text->init_text_style(d, "");
    all.push_back(text);
    // Aligned by its glyphs' box: DXF readers would place it elsewhere, so its glyphs go out.
    MB_Text_Style centred;
    centred.load_default();
    centred.ali_flag(2);
    auto* aligned = new MB_Text(Qe_Pt(1, 40, 0), MB_String("Centred"));
    aligned->init_text_style(&centred);
    all.push_back(aligned);
    for (MB_Drawable* e : all) {
        e->general().layer(layer);
        d.object_list().add_tail(e);
    }
}

}  // namespace

// The road lays entities out only as far as their rectangles; the export lays out what it
// must show from its display: the file is the one a drawing laid out whole gives, extents
// included.
TEST(DxfExport, AsFarAsTheRectanglesIsAsGoodAsLaidOutWhole)
{
    Work_Dir work("dxf_extent_layout");
    MB_Operation op;
    ASSERT_TRUE(op.create_drawing("whole"));
    fill_every_kind(*op.drawing());
    op.drawing()->build_draw();
    const std::string whole = read_file(export_drawing(*op.drawing(), work, "whole.dxf"));

    ASSERT_TRUE(op.create_drawing("extent"));
    MB_Drawing& d = *op.drawing();
    fill_every_kind(d);
    for (MB_Object* o = d.block_list().get_head(); o; o = o->next()) static_cast<MB_Block*>(o)->build_extent();
    for (MB_Object* o = d.object_list().get_head(); o; o = o->next())
        if (o->is_drawable()) static_cast<MB_Drawable*>(o)->build_extent();
    const std::string measured = read_file(export_drawing(d, work, "extent.dxf"));
    EXPECT_NE(whole.find("$EXTMIN"), std::string::npos);
    EXPECT_NE(whole.find("\nPOINT\n"), std::string::npos);  // the one-point chain
    EXPECT_TRUE(whole == measured);
}
