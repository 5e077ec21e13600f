// The terminal converter run as a program: its exit status, its output and its messages.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>

#include <zlib.h>

#include "converter_fixture.h"
#include "platform/ximage.h"
#include "dxf_run.h"
#include "dxf_structure.h"

using namespace converter_test;

namespace {

std::string quote(const std::string& s)
{
    return shell_quote(s);
}

TEST(Plotwane, UsageErrorsExitWithTwo)
{
    Work_Dir work("plotwane_usage");
    for (const char* args : {"", "a b c", "--bogus a.vkt", "''", "a.vkt ''"}) {
        const Program_Run r = run_plotwane(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage: plotwane [--no-explode-text] SOURCE [TARGET]"), std::string::npos) << args;
        EXPECT_EQ(r.out, "") << args;
    }
    const Program_Run help = run_plotwane("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: plotwane", 0), 0u);
}

// Without arguments plotwane opens its window; when $DISPLAY names a display that cannot be
// opened it says so before the usage.
TEST(Plotwane, NoArgumentsWithoutADisplay)
{
    Work_Dir work("plotwane_no_display");
    const std::string usage = "usage: plotwane [--no-explode-text] SOURCE [TARGET]\n";
    const std::pair<const char*, std::string> cases[] = {
        {"-u DISPLAY", usage},
        {"DISPLAY=", usage},
        {"DISPLAY=:31999", "plotwane: cannot open display \":31999\" for the conversion window\n" + usage},
    };
    for (const auto& [env, starts] : cases) {
        const Program_Run r = run_plotwane("", env);
        EXPECT_EQ(r.status, 2) << env;
        EXPECT_EQ(r.err.substr(0, starts.size()), starts) << env;
        EXPECT_EQ(r.out, "") << env;
    }
}

TEST(Plotwane, MissingSourceIsOneLineOnStderrAndExitOne)
{
    Work_Dir work("plotwane_missing");
    const Program_Run r = run_plotwane(quote(work / "none.vkt"));
    EXPECT_EQ(r.status, 1);
    // Off a terminal nothing but the box is printed; the box text is UTF-8, with the path.
    EXPECT_EQ(r.err, "Plotwane: \xE6\xB2\xA1\xE6\x9C\x89\xE6\x89\xBE\xE5\x88\xB0\xE6\x96\x87\xE4\xBB\xB6: " +
                         (work / "none.vkt") + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(work.path() / "none.dxf"));
}

TEST(Plotwane, UnsupportedInputFailsWithoutTarget)
{
    Work_Dir work("plotwane_dwf");
    write_file(work / "plan.dwf", "(DWF V06.00)");
    const Program_Run r = run_plotwane(quote(work / "plan.dwf"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Plotwane: Import of " + (work / "plan.dwf") + " failed: unsupported input format\n");
    EXPECT_FALSE(fs::exists(work.path() / "plan.dxf"));
}

// A small native drawing: two layers and two lines.
std::string make_source(const Work_Dir& work, const std::string& name)
{
    const std::string path = work / name;
    MB_Operation op;
    EXPECT_TRUE(op.create_drawing("small"));
    auto* layer = new MB_Layer(MB_String("lines"));
    layer->visibility(true);
    layer->color(0x0000FF);
    op.drawing()->layer_list().add_tail(layer);
    for (double y : {0.0, 10.0}) {
        auto* line = new MB_Line(Qe_Pt(0, y, 0), Qe_Pt(50, y + 5, 0));
        line->general().layer(layer);
        line->general().color(0x00FF00);
        op.drawing()->object_list().add_tail(line);
    }
    EXPECT_TRUE(op.save_jxb(path.c_str()));
    return path;
}

// A blank PNG of w x h pixels at 1 bit, its rows deflated as they are made: a few tens of
// kilobytes that declare far more pixels than an image may hold.
std::vector<unsigned char> blank_png(std::uint32_t w, std::uint32_t h)
{
    std::vector<unsigned char> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&](const char* type, const std::vector<unsigned char>& data) {
        for (int i = 3; i >= 0; --i) out.push_back(static_cast<unsigned char>(data.size() >> (8 * i)));
        std::vector<unsigned char> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        out.insert(out.end(), body.begin(), body.end());
        const uLong crc = crc32(0, body.data(), static_cast<uInt>(body.size()));
        for (int i = 3; i >= 0; --i) out.push_back(static_cast<unsigned char>(crc >> (8 * i)));
    };
    std::vector<unsigned char> ihdr;
    for (std::uint32_t v : {w, h})
        for (int i = 3; i >= 0; --i) ihdr.push_back(static_cast<unsigned char>(v >> (8 * i)));
    ihdr.insert(ihdr.end(), {1, 0, 0, 0, 0});
    chunk("IHDR", ihdr);
    std::vector<unsigned char> idat, row(1 + (w + 7) / 8, 0), buffer(1 << 16);
    z_stream z{};
    deflateInit(&z, 9);
    for (std::uint32_t y = 0; y <= h; ++y) {
        z.next_in = row.data();
        z.avail_in = y < h ? static_cast<uInt>(row.size()) : 0;
        do {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, y < h ? Z_NO_FLUSH : Z_FINISH);
            idat.insert(idat.end(), buffer.data(), buffer.data() + (buffer.size() - z.avail_out));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    chunk("IDAT", idat);
    chunk("IEND", {});
    return out;
}

TEST(Plotwane, AnImagePastThePixelBudgetIsOneLineAndExitOne)
{
    Work_Dir work("plotwane_image_budget");
    const std::string source = work / "scan.vkt";
    {
        // 20000 x 20000 pixels: more than the drawing may hold, refused before any is made.
        const std::vector<unsigned char> png = blank_png(20000, 20000);
        ASSERT_LT(png.size(), 200000u);
        auto* raster = new CxImage(png.data(), static_cast<DWORD>(png.size()), CXIMAGE_FORMAT_PNG);
        ASSERT_FALSE(raster->IsValid());
        MB_Operation op;
        ASSERT_TRUE(op.create_drawing("scan"));
        auto* image = new MB_Image(raster);
        image->image_format(CXIMAGE_FORMAT_PNG);
        op.drawing()->object_list().add_tail(image);
        ASSERT_TRUE(op.save_jxb(source.c_str()));
    }
    const Program_Run r = run_plotwane(quote(source));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Plotwane: Import of " + source + " failed: its images need more pixels than allowed\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(work.path() / "scan.dxf"));
}

TEST(Plotwane, ConvertsAndPrintsTheTarget)
{
    Work_Dir work("plotwane_convert");
    const std::string source = make_source(work, "small.vkt");
    write_file(work / "small.dxf", "an older file");
    const Program_Run r = run_plotwane(quote(source));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, work / "small.dxf" + "\n");
    EXPECT_EQ(r.err, "");
    const std::string dxf = work / "small.dxf";
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    EXPECT_EQ(joined(lines_starting(report, "entity ")),
              "entity LINE layer=lines color=3 start=(0,0,0) end=(50,5,0)\n"
              "entity LINE layer=lines color=3 start=(0,10,0) end=(50,15,0)\n")
        << joined(report);
    EXPECT_TRUE(has_line(report, "audit errors=0 fixes=0"));
    EXPECT_TRUE(has_line(report, "layer lines color=1 flags=0 linetype=Continuous"));
    // Written with the usual permissions, not those of a private temporary file.
    EXPECT_NE(fs::status(dxf).permissions() & fs::perms::group_read, fs::perms::none);
    // Nothing else is left in the folder.
    for (const auto& entry : fs::directory_iterator(work.path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

TEST(Plotwane, ExportFailuresLeaveNoTarget)
{
    Work_Dir work("plotwane_export_fails");
    const std::string source = make_source(work, "small.vkt");
    fs::create_directories(work.path() / "a-folder.dxf");
    // The one line says why; the log has it too, with the export library's words.
    const std::pair<std::string, const char*> cases[] = {
        {work / "small.dwg", "DWG output is not supported"},
        {work / "no/such/folder/small.dxf", "no such file or directory"},
        {work / "a-folder.dxf", "not a regular file"},
    };
    for (const auto& [target, reason] : cases) {
        const Program_Run r = run_plotwane(quote(source) + " " + quote(target));
        EXPECT_EQ(r.status, 1) << target;
        EXPECT_EQ(r.err, "Plotwane: Export to " + target + " failed: " + reason + "\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_NE(read_file(work.path() / "jxb.log").find("could not be written: " + (work / "small.dwg") +
                                                       ": DWG output is not supported"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(work.path() / "small.dwg"));
    EXPECT_TRUE(fs::is_directory(work.path() / "a-folder.dxf"));
    EXPECT_TRUE(fs::is_empty(work.path() / "a-folder.dxf"));
    for (const auto& entry : fs::directory_iterator(work.path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

// On a terminal the status line is rewritten while the conversion runs, and cleared at the end.
TEST(Plotwane, StatusLineOnATerminal)
{
    Work_Dir work("plotwane_terminal");
    const std::string source = work / "many.vkt";
    {
        // Enough lines that the conversion outlasts a few timer ticks: 150,000 came to less
        // than one on a fast machine in a Release build, and the line never showed.
        MB_Operation op;
        ASSERT_TRUE(op.create_drawing("many"));
        for (int i = 0; i < 600000; ++i)
            op.drawing()->object_list().add_tail(new MB_Line(Qe_Pt(i % 400, i / 400, 0), Qe_Pt(i % 400 + 1, i / 400, 0)));
        ASSERT_TRUE(op.save_jxb(source.c_str()));
    }
    // script(1) gives the program a terminal and copies what it writes there to a file.
    const std::string inner = "env -u PLATFORM_KERNEL_DIR " + shell_quote(PLOTWANE_BIN) + " " + shell_quote(source);
    const std::string cmd = "script -qefc " + shell_quote(inner) + " " + shell_quote(work / "typescript") +
                            " </dev/null >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string shown = read_file(work.path() / "typescript");
    EXPECT_NE(shown.find("\r\033[KMessage: processing object... - "), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r\033[K" + work / "many.dxf"), std::string::npos) << shown;
}

// The drawing that scripts/run converts, made at build time.
TEST(Plotwane, SampleDrawing)
{
    Work_Dir work("plotwane_sample");
    const std::string dxf = work / "sample.dxf";
    const Program_Run r = run_plotwane(quote(SAMPLE_DRAWING) + " " + quote(dxf));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dxf_structure::check(dxf), std::vector<std::string>{});
    const auto report = ezdxf_report(dxf);
    EXPECT_TRUE(has_line(report, "audit errors=0 fixes=0")) << joined(report);

    // Every drawable of the source is in the file as its DXF kind. Each layer is there too.
    MB_Operation op;
    ASSERT_TRUE(op.load_jxb(SAMPLE_DRAWING));
    std::map<std::string, std::size_t> expected;
    std::size_t texts = 0, filled_texts = 0;
    for (MB_Object* o = op.drawing()->object_list().get_head(); o; o = o->next()) {
        switch (o->object_id()) {
        case MB_Object::ID_LINE: ++expected["LINE"]; break;
        case MB_Object::ID_LINES:
        case MB_Object::ID_POLYLINE: ++expected["LWPOLYLINE"]; break;
        case MB_Object::ID_CIRCLE: ++expected["CIRCLE"]; break;
        case MB_Object::ID_ARC: ++expected["ARC"]; break;
        case MB_Object::ID_ELLIPSE:
        case MB_Object::ID_ELLIPSE_ARC: ++expected["ELLIPSE"]; break;
        case MB_Object::ID_POINT: ++expected["POINT"]; break;
        case MB_Object::ID_SOLID: ++expected["SOLID"]; break;
        case MB_Object::ID_INSERT: ++expected["INSERT"]; break;
        case MB_Object::ID_HATCH: ++expected["HATCH"]; break;
        case MB_Object::ID_TEXT:
            ++texts;
            // (a font the process could not find earlier stays missing: a failure, not a crash)
            if (const MB_Font_Library* font = static_cast<MB_Text*>(o)->text_style()->font_lib(); !font)
                ADD_FAILURE() << "a text of the sample has no font";
            else if (font->is_ttf_font())
                ++filled_texts;
            break;
        default: ADD_FAILURE() << "a kind the sample is not expected to hold: " << o->object_id();
        }
    }
    std::map<std::string, std::size_t> written;
    for (const std::string& line : lines_starting(report, "entity ")) ++written[line.substr(7, line.find(' ', 7) - 7)];
    EXPECT_GE(expected.size(), 8u);
    // Texts are exploded into their outlines: shape-font strokes as chains, TrueType outlines
    // as chains and one solid hatch of the glyphs' regions.
    EXPECT_GE(texts, 3u);
    EXPECT_GE(filled_texts, 1u);
    EXPECT_EQ(written["TEXT"], 0u);
    for (const auto& [kind, n] : expected) {
        if (kind == "LWPOLYLINE") EXPECT_GE(written[kind], n + texts * 3) << kind;
        else if (kind == "HATCH") EXPECT_EQ(written[kind], n + filled_texts) << kind;
        else EXPECT_EQ(written[kind], n) << kind;
    }
    for (MB_Object* o = op.drawing()->layer_list().get_head(); o; o = o->next()) {
        const std::string name = static_cast<MB_Layer*>(o)->name().ascii();
        EXPECT_FALSE(lines_starting(report, "layer " + name + " ").empty()) << name;
    }
    // The room's outline is closed in the file, so all four walls are drawn.
    EXPECT_TRUE(has_line(report, "entity LWPOLYLINE layer=walls color=1 closed=1 const=0 elevation=0 "
                                 "points=(20,20,0,0,0)(90,20,0,0,0)(90,100,0,0,0)(20,100,0,0,0)"))
        << joined(report);
    // The block and its two references: a plain one and a turned, enlarged, mirrored one.
    for (const char* line : {"block mark base=(0,0,0)",
                             "member mark LINE layer=details color=3 start=(-3,0,0) end=(3,0,0)",
                             "entity INSERT layer=details color=3 block=mark at=(170,100,0) scale=1,1,1 rotation=0",
                             "entity INSERT layer=details color=3 block=mark at=(185,100,0) scale=1.5,-1.5,1 rotation=30"})
        EXPECT_TRUE(has_line(report, line)) << line << "\n" << joined(report);
    // ezdxf's own explosion of the references gives the lines the kernel explodes them into.
    std::vector<std::array<double, 4>> kernel_lines;
    for (MB_Object* o = op.drawing()->object_list().get_head(); o; o = o->next()) {
        auto* ins = dynamic_cast<MB_Insert*>(o);
        if (!ins) continue;
        MB_Drawing scratch;
        ins->explode(&scratch);
        for (MB_Object* c = scratch.object_list().get_head(); c; c = c->next())
            if (auto* l = dynamic_cast<MB_Line*>(c))
                kernel_lines.push_back({l->start().x(), l->start().y(), l->end().x(), l->end().y()});
    }
    const auto exploded = lines_starting(ezdxf_report(dxf, "--explode"), "exploded mark ");
    ASSERT_EQ(exploded.size(), kernel_lines.size()) << joined(exploded);
    EXPECT_EQ(kernel_lines.size(), 4u);
    for (std::size_t i = 0; i < exploded.size(); ++i) {
        std::array<double, 4> v{};
        ASSERT_EQ(std::sscanf(exploded[i].c_str(), "exploded mark %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3]), 4);
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(v[k], kernel_lines[i][k], 1e-9) << exploded[i];
    }
    EXPECT_GT(librecad_ink(dxf, work.path()), 0);
}

}  // namespace
