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
#include "plugins/gressil/dxf_writer.h"

using namespace converter_test;

namespace {

constexpr std::uint32_t rgb(int r, int g, int b)
{
    return static_cast<std::uint32_t>(r | (g << 8) | (b << 16));
}

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
    const std::u16string cases[] = {u"Ab 1", u"\u4E2D\u6587", u"a\U0001F600b", u"x\ny\tz"};
    const char* expected[] = {"Ab 1", "\\U+4E2D\\U+6587", "a\\U+1F600b", "x y z"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(dxf_escape(cases[i].data(), static_cast<int>(cases[i].size())), expected[i]) << i;
    const std::u16string bad = u" a<b>c/d\\e\"f:g;h?i*j|k=l`m ";
    EXPECT_EQ(dxf_table_name(bad.data(), static_cast<int>(bad.size()), "x"), "_a_b_c_d_e_f_g_h_i_j_k_l_m_");
    const std::u16string cjk = u"\u5899";
    EXPECT_EQ(dxf_table_name(cjk.data(), 1, "x"), "\\U+5899");
    EXPECT_EQ(dxf_table_name(nullptr, 0, "fallback"), "fallback");
}

TEST(DxfWriter, RealsReadBackExactlyAndHandlesAreHex)
{
    Work_Dir work("dxf_writer");
    const std::string path = work / "groups.txt";
    const double values[] = {0.1, -1e-300, 123456789.125, 1.0 / 3.0, 5.0, -0.0, NAN, INFINITY};
    {
        std::FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        Dxf_Writer w(f);
        for (double v : values) w.real(10, v);
        w.handle(5, 0xABCDEF);
        w.text(1, "two\nlines");
        EXPECT_TRUE(w.ok());
        std::fclose(f);
    }
    std::vector<dxf_structure::Pair> pairs;
    std::vector<std::string> problems;
    ASSERT_TRUE(dxf_structure::read_pairs(path, pairs, problems));
    ASSERT_EQ(pairs.size(), 10u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(std::strtod(pairs[i].value.c_str(), nullptr), values[i] == 0 ? 0.0 : values[i]) << pairs[i].value;
        EXPECT_NE(pairs[i].value.find_first_of(".eE"), std::string::npos) << pairs[i].value;
    }
    EXPECT_EQ(pairs[5].value, "0.0");
    EXPECT_EQ(pairs[6].value, "0.0");
    EXPECT_EQ(pairs[7].value, "0.0");
    EXPECT_EQ(pairs[8].value, "ABCDEF");
    EXPECT_EQ(pairs[9].value, "two lines");
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

// Writes the drawing with the exporter to a file in the work folder.
std::string export_drawing(MB_Drawing& drawing, const Work_Dir& work, const std::string& name)
{
    const std::string path = work / name;
    std::FILE* f = std::fopen(path.c_str(), "w");
    EXPECT_NE(f, nullptr);
    {
        Dxf_Writer w(f);
        Dxf_Exporter exporter(drawing, w, 0);
        EXPECT_TRUE(exporter.write());
    }
    std::fclose(f);
    return path;
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

// A multi-line text goes out run by run: TEXT where the kernel set each run, and the outlines
// of runs that TEXT cannot show (mirrored glyphs). Spaces and line feeds give nothing.
TEST(DxfExport, MultiLineTextsRunByRun)
{
    Work_Dir work("dxf_mtext");
    text_test::Box_Fonts fonts;
    MB_Drawing drawing;
    auto make = [&](const Qe_Pt& at, bool mirrored) {
        auto* m = new MB_Mtext(at, "{\\C1;A} \\PA");  // box.shx draws only "A"
        m->text_style()->font_lib(fonts.lib("box.shx"));
        m->set_base_ht(2);
        m->backword(mirrored);
        m->general().color(rgb(0, 0, 255));
        m->build_draw();
        drawing.object_list().add_tail(m);
    };
    make(Qe_Pt(0, 0, 0), false);
    make(Qe_Pt(10, 20, 0), true);
    const std::string dxf = export_drawing(drawing, work, "mtext.dxf");
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_TRUE(has_line(report, "style box font=box.shx bigfont= width=1 oblique=0")) << joined(report);
    // Width 0: A, the space and A each on a line of their own, 2 + 1.3184 apart; the
    // mirrored glyphs are squares drawn to the left of their base points.
    EXPECT_EQ(joined(lines_starting(report, "entity ")),
              "entity TEXT layer=0 color=1 at=(0,-2,0) height=2 text=A rotation=0 width=1 oblique=0 style=box\n"
              "entity TEXT layer=0 color=5 at=(0,-8.6368,0) height=2 text=A rotation=0 width=1 oblique=0 style=box\n"
              "entity LWPOLYLINE layer=0 color=1 closed=0 const=0 elevation=0 "
              "points=(10,18,0,0,0)(10,20,0,0,0)(8,20,0,0,0)(8,18,0,0,0)(10,18,0,0,0)\n"
              "entity LWPOLYLINE layer=0 color=5 closed=0 const=0 elevation=0 "
              "points=(10,11.3632,0,0,0)(10,13.3632,0,0,0)(8,13.3632,0,0,0)(8,11.3632,0,0,0)(10,11.3632,0,0,0)\n");
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

namespace {

// A real as dxf_check.py prints it.
std::string r6(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" || s.empty() ? "0" : s;
}

}  // namespace

// Texts laid along arcs and paths and tolerance frames: every run as a TEXT where it stands,
// turned as it is, and a frame's lines as LINEs.
TEST(DxfExport, AlignedTextsAsTheirRunsAndFrames)
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
    for (MB_Drawable* d : std::initializer_list<MB_Drawable*>{arc, path, frame}) {
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
        for (MB_Line* l : lines)
            want.push_back("entity LINE layer=0 color=1 start=(" + r6(l->start().x()) + "," + r6(l->start().y()) +
                           ",0) end=(" + r6(l->end().x()) + "," + r6(l->end().y()) + ",0)");
    }
    ASSERT_EQ(want.size(), 2u + 2u + 2u + 5u);

    const std::string dxf = export_drawing(drawing, work, "aligned.dxf");
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    const std::vector<std::string> got = lines_starting(report, "entity ");
    ASSERT_EQ(got.size(), want.size()) << joined(report);
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i].rfind(want[i], 0), 0u) << got[i] << "\n" << want[i];
}

// A tolerance frame through the whole road: saved, read back by the import library, built,
// and written as its runs and lines; with text explosion, as chains and lines, no text.
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
        for (MB_Text* run : runs) {
            const Qe_Pt& p = run->base_pos();
            want.push_back("entity TEXT layer=0 color=1 at=(" + r6(p.x()) + "," + r6(p.y()) + ",0) height=2.5 text=" +
                           run->string().ascii() + " rotation=0");
        }
        for (MB_Line* l : lines)
            want.push_back("entity LINE layer=0 color=1 start=(" + r6(l->start().x()) + "," + r6(l->start().y()) +
                           ",0) end=(" + r6(l->end().x()) + "," + r6(l->end().y()) + ",0)");
        ASSERT_EQ(want.size(), 4u + 3u + 8u);
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
            ASSERT_EQ(got.size(), want.size()) << joined(report);
            for (std::size_t i = 0; i < want.size(); ++i)
                EXPECT_EQ(got[i].rfind(want[i], 0), 0u) << got[i] << "\n" << want[i];
            continue;
        }
        EXPECT_TRUE(lines_starting(report, "entity TEXT").empty()) << joined(report);
        // The strokes come first (two-point strokes as lines too), the frame's lines last.
        EXPECT_GT(lines_starting(report, "entity LWPOLYLINE").size(), 4u);
        const std::vector<std::string> all_lines = lines_starting(report, "entity LINE");
        ASSERT_GE(all_lines.size(), 8u);
        for (std::size_t i = 0; i < 8; ++i) {
            const std::string& line = all_lines[all_lines.size() - 8 + i];
            EXPECT_EQ(line.rfind(want[4 + 3 + i], 0), 0u) << line;
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
