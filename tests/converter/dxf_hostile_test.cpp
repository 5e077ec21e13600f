// The DXF writer against hostile texts and extreme values: codes a reader would take further
// than the kernel does, escapes across the chunks of a long text, coordinates that are not
// finite or near the end of the doubles' range.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "Drakmere.h"
#include "dxf_run.h"
#include "dxf_structure.h"
#include "kernel/text/text_fixture.h"
#include "plugins/gressil/dxf_mtext.h"
#include "plugins/gressil/dxf_writer.h"

using namespace converter_test;

namespace {

// Whether MTEXT content reads back as a reader reads it with its groups closed and none closed
// before it opens: a code that takes an argument runs to its ";", braces in it being text.
bool groups_close_in_a_reader(const std::string& out)
{
    int depth = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\\') {
            if (++i < out.size() && std::strchr("ACcFfHQSTWp", out[i])) {
                i = out.find(';', i);
                if (i == std::string::npos) return false;  // it swallows the rest
            }
        } else if (out[i] == '{') {
            ++depth;
        } else if (out[i] == '}' && --depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

// MTEXT's codes that read an argument up to a ";" (stacking, oblique, tracking, width,
// paragraph, true colour) are letters to the kernel: they stay codes only where their argument
// is there and holds no brace or backslash, which a reader would otherwise read as text, so
// that a group of the kernel's would close another in the reader, or the code would swallow
// the rest of the text.
TEST(DxfMtext, CodesWithArgumentsOnlyWhereTheArgumentIsPlain)
{
    struct Case {
        const char* kernel;
        const char* mtext;
    } cases[] = {
        {R"(\Sa/b;x)", R"(\Sa/b;x)"},
        {R"(\pxi-3;a\W2;b\Q15;c\T2;d\c255;e)", R"(\pxi-3;a\W2;b\Q15;c\T2;d\c255;e)"},
        {R"(x\Sa{b}c;d}e)", R"(xSa{b}c;de)"},
        {R"(\Sa{b;\C1;c}d)", R"(Sa{b;\C1;c}d)"},
        {R"(\Wa\{;b)", R"(Wa\{;b)"},
        {R"(\Sa/b)", R"(Sa/b)"},
        {R"(\T2)", R"(T2)"},
    };
    for (const Case& c : cases) {
        const std::string out = dxf_mtext_content(c.kernel, "txt.shx", 2.5);
        EXPECT_EQ(out, c.mtext) << c.kernel;
        EXPECT_TRUE(groups_close_in_a_reader(out)) << c.kernel << " -> " << out;
    }
    // Strings of codes cut and mixed at random, as a reader reads the codes.
    std::uint32_t state = 54321;
    const char alphabet[] = "{}\\\\ACFfHLPSTWQpc;|x0123456789a/^\xD6\xD0";
    for (int round = 0; round < 4000; ++round) {
        std::string s;
        const int length = static_cast<int>(state % 28);
        for (int i = 0; i < length; ++i) {
            state = state * 1664525u + 1013904223u;
            s += alphabet[(state >> 16) % (sizeof alphabet - 1)];
        }
        state = state * 1664525u + 1013904223u;
        const std::string out = dxf_mtext_content(s, "txt.shx", 2.5);
        EXPECT_TRUE(groups_close_in_a_reader(out)) << s << " -> " << out;
    }
}

// \M+nXXXX is a double-byte character of the ANSI code page to the kernel's texts: it goes out
// as that character, as the kernel reads it, where readers would show the code itself.
TEST(DxfText, DoubleByteCodesAsTheirCharacters)
{
    ASSERT_EQ(mb_text_to_utf16("\\M+1D6D0"), std::u16string(u"\u4E2D"));
    const std::pair<std::u16string, const char*> cases[] = {
        {u"\\M+1D6D0x", "\\U+4E2Dx"},
        {u"a\\m+1d6d0\\M+1C6BD", "a\\U+4E2D\\U+5E73"},
        // Cut short, or with a digit that is not one: a backslash to readers.
        {u"\\M+1D6D", "\\U+005CM+1D6D"},
        {u"\\M+1D6G0", "\\U+005CM+1D6G0"},
        // A code for a backslash gives a backslash that starts no code in a reader.
        {u"a\\M+1005CU+0041b", "a\\U+005CU+0041b"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(dxf_escape(text.data(), static_cast<int>(text.size())), expected) << expected;
}

// A long MTEXT goes out in chunks, each of which readers decode on its own: an escape cut
// between two would read as its pieces.
TEST(DxfExport, LongMultiLineTextsKeepEachEscapeInOneChunk)
{
    Work_Dir work("dxf_long_mtext");
    text_test::Box_Fonts fonts;
    MB_Drawing drawing;
    // "x" and each character's seven: the first chunk's end falls inside an escape.
    std::string kernel = "x", shown = "x";
    for (int i = 0; i < 100; ++i) {
        kernel += "\xD6\xD0";
        shown += "\xE4\xB8\xAD";  // U+4E2D in UTF-8
    }
    // A literal backslash, and an escape in lower case.
    kernel += "\\\\\\u+4e2d";
    shown += "\\\\\xE4\xB8\xAD";
    auto* m = new MB_Mtext(Qe_Pt(0, 0, 0), kernel.c_str());
    m->text_style()->font_lib(fonts.lib("box.shx"));
    m->set_base_ht(2);
    m->build_draw();
    drawing.object_list().add_tail(m);
    const std::string dxf = export_drawing(drawing, work, "long.dxf");
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    // Chunks of at most 250 characters: groups 3, then the rest in group 1.
    std::vector<dxf_structure::Pair> pairs;
    std::vector<std::string> problems;
    ASSERT_TRUE(dxf_structure::read_pairs(dxf, pairs, problems));
    std::size_t at = 0;
    while (at < pairs.size() && !(pairs[at].code == 0 && pairs[at].value == "MTEXT")) ++at;
    std::vector<std::size_t> chunks;
    for (++at; at < pairs.size() && pairs[at].code != 0 && pairs[at].code != 1; ++at)
        if (pairs[at].code == 3) chunks.push_back(pairs[at].value.size());
    ASSERT_LT(at, pairs.size());
    chunks.push_back(pairs[at].value.size());
    ASSERT_EQ(chunks.size(), 3u);
    for (const std::size_t n : chunks) EXPECT_LE(n, 250u);
    const auto report = ezdxf_report(dxf, "--recover");
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    const std::vector<std::string> got = lines_starting(report, "entity MTEXT");
    ASSERT_EQ(got.size(), 1u) << joined(report);
    EXPECT_NE(got[0].find(" text=" + shown + " plain="), std::string::npos) << got[0];
}

// Coordinates that are not finite leave their entity out, and out of the extents and the view;
// finite ones near the end of the doubles' range give extents, a view on them and the DXF
// forms of meshes and tolerance frames, however their sums overflow.
TEST(DxfExport, ExtentsAndFormsOfNonFiniteAndHugeCoordinates)
{
    g_system_resource.free();
    ASSERT_TRUE(g_system_resource.init_dir());
    Work_Dir work("dxf_extreme");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    {
        MB_Operation op;
        ASSERT_TRUE(op.create_drawing("nan"));
        MB_Drawing& drawing = *op.drawing();
        for (auto* line : {new MB_Line(Qe_Pt(nan, 0, 0), Qe_Pt(1, 1, 0)), new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(10, 5, 0))}) {
            line->build_draw();
            drawing.object_list().add_tail(line);
        }
        const std::string dxf = export_drawing(drawing, work, "nan.dxf");
        const auto report = ezdxf_report(dxf);
        ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
        EXPECT_EQ(joined(lines_starting(report, "entity ")), "entity LINE layer=0 color=7 start=(0,0,0) end=(10,5,0)\n");
        EXPECT_TRUE(has_line(report, "extents min=(0,0,0) max=(10,5,0)")) << joined(report);
        EXPECT_TRUE(has_line(report, "vport center=(5,2.5,0) height=7.333333 aspect=1.5")) << joined(report);
    }
    {
        MB_Operation op;
        ASSERT_TRUE(op.create_drawing("huge"));
        MB_Drawing& drawing = *op.drawing();
        auto* line = new MB_Line(Qe_Pt(1e308, 1e308, 0), Qe_Pt(1.5e308, 1.6e308, 0));
        auto* mesh = new MB_Polygon_Mesh(2, 2, 0, 0);
        Qe_Pt grid[] = {{1e308, 1e308, 0}, {1.2e308, 1e308, 0}, {1e308, 1.2e308, 0}, {1.2e308, 1.2e308, 0}};
        for (int i = 0; i < 4; ++i) mesh->add_point(grid[i], i);
        auto* frame = new MB_Tolerance(Qe_Pt(1.1e308, 1.1e308, 0), "A");
        frame->set_height(2.0);
        for (MB_Drawable* d : std::initializer_list<MB_Drawable*>{line, mesh, frame}) {
            d->build_draw();
            drawing.object_list().add_tail(d);
        }
        const std::string dxf = export_drawing(drawing, work, "huge.dxf");
        const auto report = ezdxf_report(dxf);
        ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
        const std::vector<std::string> got = lines_starting(report, "entity ");
        ASSERT_EQ(got.size(), 3u) << joined(report);
        EXPECT_EQ(got[0].rfind("entity LINE ", 0), 0u) << got[0];
        EXPECT_EQ(got[1].rfind("entity POLYLINE layer=0 color=7 mesh flags=16 m=2 n=2 ", 0), 0u) << got[1];
        EXPECT_EQ(got[2].rfind("entity TOLERANCE ", 0), 0u) << got[2];
        const std::vector<std::string> view = lines_starting(report, "vport ");
        ASSERT_EQ(view.size(), 1u) << joined(report);
        const std::vector<double> centre = values_of(view[0], "center"), height = values_of(view[0], "height");
        ASSERT_EQ(centre.size(), 3u) << view[0];
        ASSERT_EQ(height.size(), 1u) << view[0];
        EXPECT_NEAR(centre[0] / 1.25e308, 1.0, 1e-12) << view[0];
        EXPECT_NEAR(centre[1] / 1.3e308, 1.0, 1e-12) << view[0];
        EXPECT_NEAR(height[0] / (0.3e308 * 2.2), 1.0, 1e-12) << view[0];
    }
}

// A thickness that is not finite, which the kernel does not draw, counts as none, and a
// multi-line text's infinite reference width, which wraps nothing, as DXF's width 0: the
// entity goes out without it instead of being left out.
TEST(DxfExport, AThicknessOrAWidthThatIsNotFiniteIsNone)
{
    Work_Dir work("dxf_nan_thickness");
    text_test::Box_Fonts fonts;
    MB_Drawing drawing;
    auto* line = new MB_Line(Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0));
    line->general().thickness(std::numeric_limits<double>::infinity());
    auto* edge = new MB_Circle(Qe_Pt(0, 0, 0), 5);
    edge->general().thickness(std::numeric_limits<double>::quiet_NaN());
    auto* m = new MB_Mtext(Qe_Pt(0, 0, 0), "A A");
    m->text_style()->font_lib(fonts.lib("box.shx"));
    m->set_base_ht(2);
    m->set_width(std::numeric_limits<double>::infinity());
    for (MB_Drawable* d : std::initializer_list<MB_Drawable*>{line, edge, m}) {
        d->build_draw();
        drawing.object_list().add_tail(d);
    }
    const std::string path = work / "thickness.dxf";
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    {
        Dxf_Writer w(f);
        Dxf_Exporter exporter(drawing, w, 0);
        EXPECT_TRUE(exporter.write());
        EXPECT_EQ(exporter.unwritten_report(), "");
    }
    std::fclose(f);
    const auto report = ezdxf_report(path);
    ASSERT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);
    EXPECT_EQ(joined(lines_starting(report, "entity ")),
              "entity LINE layer=0 color=7 start=(0,0,0) end=(10,0,0)\n"
              "entity CIRCLE layer=0 color=7 center=(0,0,0) radius=5\n"
              "entity MTEXT layer=0 color=7 at=(0,0,0) height=2 width=0 attach=1 flow=5 rotation=0 spacing=1,1 "
              "style=box text=A A plain=A A\n");
}

}  // namespace
