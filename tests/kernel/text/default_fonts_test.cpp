#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kernel/text/font_fixture.h"
#include "kernel/text/shx_library.h"
#include "platform/dib_fixture.h"
#include "platform/gdi_draw.h"

using font_test::draw_char;
using font_test::Strokes;
using font_test::strokes_near;

namespace {

// The Hershey simplex Roman glyphs, read here on their own: each line is one glyph of ASCII
// 32 + its line number; after the 5-digit number and the 3-digit vertex count come pairs of
// characters less 'R', the first pair the left and right bearings, " R" a pen lift.
struct Jhf_Glyph {
    int left = 0, right = 0;
    std::vector<std::vector<std::pair<int, int>>> strokes;
};

std::vector<Jhf_Glyph> read_hershey()
{
    std::vector<Jhf_Glyph> glyphs;
    std::ifstream in(FENDRAL_HERSHEY_JHF);
    std::string line;
    while (std::getline(in, line)) {
        Jhf_Glyph g;
        const int n = std::stoi(line.substr(5, 3));
        g.left = line[8] - 'R';
        g.right = line[9] - 'R';
        g.strokes.emplace_back();
        for (int k = 1; k < n; ++k) {
            const std::string pair = line.substr(8 + 2 * k, 2);
            if (pair == " R")
                g.strokes.emplace_back();
            else
                g.strokes.back().push_back({pair[0] - 'R', pair[1] - 'R'});
        }
        std::erase_if(g.strokes, [](const auto& s) { return s.empty(); });
        glyphs.push_back(g);
    }
    return glyphs;
}

// A glyph in font units: y up from the baseline at Hershey y 9, x from the left bearing.
Strokes in_font_units(const Jhf_Glyph& g, double mul = 1.0, double dx = 0.0)
{
    Strokes out;
    for (const auto& s : g.strokes) {
        std::vector<Qe_Pt> pts;
        for (const auto& [x, y] : s) pts.push_back(Qe_Pt((x - g.left) * mul + dx, (9 - y) * mul, 0.0));
        out.push_back(pts);
    }
    return out;
}

// Uses the kernel's own folder: no override.
struct Default_Folder {
    Default_Folder() : env("PLATFORM_KERNEL_DIR", nullptr)
    {
        g_system_resource.free();
        EXPECT_TRUE(g_system_resource.init_dir());
    }
    ~Default_Folder() { g_system_resource.free(); }
    Scoped_Env env;
};

}  // namespace

TEST(DefaultFonts, ShipBesideTheKernel)
{
    Default_Folder folder;
    const std::string fonts = g_system_resource.fonts_dir();
    ASSERT_GE(fonts.size(), 10u);
    EXPECT_EQ(fonts.substr(fonts.size() - 6), "fonts/");
    for (const char* f : {"hershey-fonts.copyright", "wqy-microhei.copyright"})
        EXPECT_TRUE(std::filesystem::exists(fonts + f)) << f;
    EXPECT_EQ(get_shx_font_type("txt.shx"), 0);
    EXPECT_EQ(get_shx_font_type("gdt.shx"), 0);
    EXPECT_EQ(get_shx_font_type("hztxt.shx"), 1);
    // Styles ask for the file in other cases too.
    MB_Font_Library* txt = g_system_resource.load_font("txt.SHX");
    ASSERT_TRUE(txt);
    EXPECT_EQ(txt->height(), 21.0);
    EXPECT_TRUE(g_system_resource.load_font("hztxt.shx"));
    EXPECT_TRUE(g_system_resource.load_font("gdt.shx"));
}

// Every printable letter of txt.shx (and of gdt.shx) draws the Hershey strokes, and advances
// by the glyph's bearings.
TEST(DefaultFonts, LatinLettersAreTheHersheyStrokes)
{
    Default_Folder folder;
    const std::vector<Jhf_Glyph> jhf = read_hershey();
    ASSERT_EQ(jhf.size(), 96u);
    for (const char* name : {"txt.shx", "gdt.shx"}) {
        MB_Shx_Library lib(name);
        for (unsigned c = 33; c < 127; ++c) {
            SCOPED_TRACE(std::string(name) + " " + char(c));
            Strokes s;
            Qe_Pt pen;
            ASSERT_TRUE(draw_char(lib, c, s, pen, 21.0));
            EXPECT_TRUE(strokes_near(s, in_font_units(jhf[c - 32]), 1e-9));
            EXPECT_NEAR(pen.x(), jhf[c - 32].right - jhf[c - 32].left, 1e-9);
        }
        for (unsigned c : {176u, 177u, 8709u}) {
            Strokes s;
            Qe_Pt pen;
            EXPECT_TRUE(draw_char(lib, c, s, pen, 21.0)) << c;
            EXPECT_FALSE(s.empty()) << c;
        }
    }
}

TEST(DefaultFonts, BigFontHoldsFullWidthFormsAndIdeographs)
{
    Default_Folder folder;
    const std::vector<Jhf_Glyph> jhf = read_hershey();
    MB_Shx_Library lib("hztxt.shx");
    ASSERT_EQ(lib.height(), 63.0);
    // Full-width A: the Hershey A at three times its size, moved right to the middle of its cell.
    Strokes a;
    Qe_Pt pen;
    ASSERT_TRUE(draw_char(lib, 0xA3C1, a, pen, 63.0));
    ASSERT_FALSE(a.empty());
    const double shift = a[0][0].x() - 3.0 * (jhf['A' - 32].strokes[0][0].first - jhf['A' - 32].left);
    EXPECT_GT(shift, 0.0);
    EXPECT_TRUE(strokes_near(a, in_font_units(jhf['A' - 32], 3.0, shift), 1e-9));
    const double cell = pen.x();

    // The ideographic space draws nothing.
    Strokes blank;
    pen = Qe_Pt();
    ASSERT_TRUE(draw_char(lib, 0xA1A1, blank, pen, 10.0));
    EXPECT_TRUE(blank.empty());

    // 国 (GBK B9FA): closed contours that fill the font's height on the baseline.
    Strokes guo;
    pen = Qe_Pt();
    ASSERT_TRUE(draw_char(lib, 0xB9FA, guo, pen, 63.0));
    ASSERT_GE(guo.size(), 2u);
    double y0 = 1e9, y1 = -1e9;
    for (const auto& s : guo) {
        ASSERT_GE(s.size(), 4u);
        EXPECT_NEAR(s.front().x(), s.back().x(), 1e-9);
        EXPECT_NEAR(s.front().y(), s.back().y(), 1e-9);
        for (const Qe_Pt& p : s) y0 = std::min(y0, p.y()), y1 = std::max(y1, p.y());
    }
    EXPECT_NEAR(y0, 0.0, 1e-9);
    EXPECT_NEAR(y1, 63.0, 1e-9);
    EXPECT_NEAR(pen.x(), cell, 2.0);
    // A single-byte code is not in the big font.
    Strokes none;
    EXPECT_FALSE(draw_char(lib, 'A', none, pen, 10.0));
}

// The printable set of txt.shx drawn through the font, against the Hershey strokes drawn
// directly with the same calls: the same pixels. The picture is kept under the build folder.
TEST(DefaultFonts, PrintableSetPicture)
{
    Default_Folder folder;
    const std::vector<Jhf_Glyph> jhf = read_hershey();
    MB_Shx_Library lib("txt.shx");
    constexpr int cols = 16, cell = 48, height = 42;
    Dib font_pic(cols * cell, 6 * cell * 3 / 2, 24), oracle(cols * cell, 6 * cell * 3 / 2, 24);
    for (Dib* d : {&font_pic, &oracle}) std::memset(d->bits, 0xFF, static_cast<std::size_t>(d->stride) * d->h);
    auto polyline = [](Dib& d, const std::vector<Qe_Pt>& pts) {
        std::vector<POINT> p;
        for (const Qe_Pt& q : pts) p.push_back({static_cast<LONG>(std::lround(q.x())), static_cast<LONG>(std::lround(q.y()))});
        Polyline(d.dc, p.data(), static_cast<int>(p.size()));
    };
    for (unsigned c = 32; c < 127; ++c) {
        const int i = static_cast<int>(c - 32);
        const double ox = 4 + (i % cols) * cell, oy = 8 + (i / cols) * cell * 3 / 2 + height;
        // Screen y grows downwards: glyphs are drawn from the baseline up.
        Strokes s;
        Qe_Pt pen(ox, 0.0, 0.0);
        ASSERT_TRUE(draw_char(lib, c, s, pen, height, 1.0));
        for (auto& st : s) {
            for (Qe_Pt& p : st) p = Qe_Pt(p.x(), oy - p.y(), 0.0);
            polyline(font_pic, st);
        }
        for (auto st : in_font_units(jhf[i], 2.0, ox)) {
            for (Qe_Pt& p : st) p = Qe_Pt(p.x(), oy - p.y(), 0.0);
            polyline(oracle, st);
        }
    }
    const std::string dir = std::string(FENDRAL_TEST_OUTPUT_DIR);
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(platform_save_png(font_pic.dc, (dir + "/txt_shx_printable.png").c_str()));
    ASSERT_EQ(font_pic.stride, oracle.stride);
    int inked = 0;
    for (int k = 0; k < font_pic.stride * font_pic.h; ++k) inked += font_pic.bits[k] != 0xFF;
    EXPECT_GT(inked, 1000);
    EXPECT_EQ(std::memcmp(font_pic.bits, oracle.bits, static_cast<std::size_t>(font_pic.stride) * font_pic.h), 0);
}
