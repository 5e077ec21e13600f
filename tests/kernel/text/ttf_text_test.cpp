// TrueType texts laid out from the font file, against FreeType's own decomposition of the
// same glyphs (written here through FT_Outline_Decompose, with the curves sampled in the
// test), and the placement, face choice and failures around it.

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/freetype_text.h"
#include "common/scratch_dir.h"
#include "geometry/pt_list.h"
#include "kernel/database/system_setting.h"
#include "kernel/display/draw_node.h"
#include "kernel/operation/operation.h"
#include "kernel/text/font_fixture.h"
#include "kernel/text/system_resource.h"
#include "kernel/text/text_style.h"
#include "kernel/text/ttf_library.h"
#include "kernel/text/ttf_text.h"
#include "platform/font.h"

namespace {

constexpr double k_unit = 1.444 / 4096.0;

using freetype_text::Contour;
using freetype_text::P;
using freetype_text::Reference;

std::string ttf_file(const char* name)
{
    char path[4096];
    return platform_ttf_file(name, path, sizeof path) ? std::string(path) : std::string();
}

// FreeType's decomposition puts the implied on-curve points of successive controls on whole
// outline units, where the layout takes exact midpoints: half a unit apart at most.
double half_unit(double h, double w) { return 0.5 * h * std::max(w, 1.0) * k_unit + 1e-9; }

std::vector<Contour> runs_of(const MB_Draw_Lines_Sets& node)
{
    std::vector<Contour> out;
    mb_ulong at = 0;
    for (mb_ulong r = 0; r < node.ptset_count(); ++r) {
        Contour c;
        for (mb_ulong k = 0; k < node.vals()[r]; ++k, ++at) c.push_back({node.points()[at].x(), node.points()[at].y()});
        out.push_back(c);
    }
    return out;
}

// Places reference points as a style of height h, width scale w at base does, unrotated.
std::vector<Contour> placed(std::vector<Contour> cs, double h, double w, P base)
{
    for (Contour& c : cs)
        for (P& p : c) p = {p.x * h * w * k_unit + base.x, p.y * h * k_unit + base.y};
    return cs;
}

void expect_same(const std::vector<Contour>& got, const std::vector<Contour>& want, double tol)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].size(), want[i].size()) << "contour " << i;
        for (std::size_t k = 0; k < got[i].size(); ++k) {
            EXPECT_NEAR(got[i][k].x, want[i][k].x, tol) << i << ":" << k;
            EXPECT_NEAR(got[i][k].y, want[i][k].y, tol) << i << ":" << k;
        }
    }
}

double area(const Contour& c)
{
    double a = 0;
    for (std::size_t i = 0; i < c.size(); ++i) {
        const P& p = c[i];
        const P& q = c[(i + 1) % c.size()];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2;
}

// A registry of its own; the style takes the TrueType library of file.
class TTF_Text : public ::testing::Test {
protected:
    void SetUp() override { g_system_resource.free(); }
    void TearDown() override { g_system_resource.free(); }

    MB_Text_Style style(const char* file, double h = 10.0, double w = 1.0)
    {
        MB_Text_Style s;
        s.load_default();
        s.font_lib(file);
        s.height(h);
        s.width_scale(w);
        return s;
    }
    std::vector<Contour> lay_out(const char* text, MB_Text_Style& s, P base = {0, 0}, Qe_Rect* rect_out = nullptr)
    {
        MB_Draw_Lines_Sets node;
        Qe_Rect rect;
        const Qe_Pt b(base.x, base.y, 0);
        EXPECT_TRUE(ttf_string_2_ptsets(text, &b, &s, &node, &rect));
        if (rect_out) *rect_out = rect;
        return runs_of(node);
    }
};

}  // namespace

TEST_F(TTF_Text, OutlinesAreFreeTypesContoursSampledAtTheStepCount)
{
    const std::string dejavu = ttf_file("arial.ttf");
    ASSERT_FALSE(dejavu.empty());
    Reference ref(dejavu);
    ASSERT_TRUE(ref.ok);
    MB_Text_Style s = style("arial.ttf", 10.0, 1.5);
    ASSERT_NE(s.font_lib(), nullptr);
    ASSERT_EQ(s.font_lib()->font_type(), MB_Font_Library::TTF_FONT);

    // The default three steps per conic; the whole contour closes on its start.
    const P base{100, -20};
    for (const char* text : {"A", "O", "g%", "AOg"}) {
        SCOPED_TRACE(text);
        const std::u32string wide(text, text + std::strlen(text));
        const std::vector<Contour> got = lay_out(text, s, base);
        const std::vector<Contour> want = placed(ref.outline(wide, 3), 10.0, 1.5, base);
        expect_same(got, want, half_unit(10.0, 1.5));
        for (const Contour& c : got) {
            EXPECT_NEAR(c.front().x, c.back().x, 1e-9);
            EXPECT_NEAR(c.front().y, c.back().y, 1e-9);
        }
    }
}

TEST_F(TTF_Text, ChineseTextThroughTheCodePage)
{
    const std::string wqy = ttf_file("simsun.ttc");
    ASSERT_FALSE(wqy.empty());
    Reference ref(wqy);
    ASSERT_TRUE(ref.ok);
    MB_Text_Style s = style("simsun.ttc");
    // 一 and 永 in the ANSI code page, then a Latin letter and a decoded degree sign.
    const std::vector<Contour> got = lay_out("\xD2\xBB\xD3\xC0" "A%%d", s);
    const std::vector<Contour> want = placed(ref.outline(U"\u4E00\u6C38A\u00B0", 3), 10.0, 1.0, {0, 0});
    expect_same(got, want, half_unit(10.0, 1.0));
}

TEST_F(TTF_Text, StepCountComesFromTheSettingsAndIsBounded)
{
    const std::string dejavu = ttf_file("arial.ttf");
    Reference ref(dejavu);
    ASSERT_TRUE(ref.ok);
    MB_Text_Style s = style("arial.ttf");
    auto op = std::make_unique<MB_Operation>();
    const std::pair<long, int> cases[] = {{3, 3}, {0, 1}, {-5, 1}, {7, 7}, {64, 64}, {1000, 64}};
    for (const auto& [setting, steps] : cases) {
        SCOPED_TRACE(setting);
        op->system_setting()->set_long_val(23, setting);
        EXPECT_EQ(mb_ttf_conic_steps(), steps);
        expect_same(lay_out("O", s), placed(ref.outline(U"O", steps), 10.0, 1.0, {0, 0}), half_unit(10.0, 1.0));
    }

    // At 64 steps the filled area is the outline's within a thousandth: compared with the
    // same contours sampled finely.
    op->system_setting()->set_long_val(23, 64);
    const std::vector<Contour> fine = placed(ref.outline(U"O", 4096), 10.0, 1.0, {0, 0});
    const std::vector<Contour> got = lay_out("O", s);
    double a = 0, b = 0;
    for (const Contour& c : got) a += area(c);
    for (const Contour& c : fine) b += area(c);
    ASSERT_GT(std::fabs(b), 0.0);
    EXPECT_NEAR(a / b, 1.0, 1e-3);
}

TEST_F(TTF_Text, ScaleAdvanceAndPlacement)
{
    const std::string dejavu = ttf_file("arial.ttf");
    Reference ref(dejavu);
    ASSERT_TRUE(ref.ok);

    // The pen moves by each glyph's advance; at height 10 a 64 pixel em is 14.44 units.
    std::vector<double> pens;
    (void)ref.outline(U"HH", 3, &pens);
    MB_Text_Style s = style("arial.ttf");
    const std::vector<Contour> hh = lay_out("HH", s);
    ASSERT_EQ(hh.size() % 2, 0u);
    const double step = hh[hh.size() / 2].front().x - hh.front().front().x;
    EXPECT_NEAR(step, pens[1] * 10.0 * k_unit, 1e-9);
    EXPECT_NEAR(4096 * 10.0 * k_unit, 14.44, 1e-12);

    const std::vector<Contour> upright = lay_out("Ag", s);
    const auto box = [](const std::vector<Contour>& cs) {
        double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
        for (const Contour& c : cs)
            for (const P& p : c) {
                x0 = std::min(x0, p.x);
                x1 = std::max(x1, p.x);
                y0 = std::min(y0, p.y);
                y1 = std::max(y1, p.y);
            }
        return std::array<double, 4>{x0, x1, y0, y1};
    };
    const P base{5, 7};
    struct Case {
        const char* what;
        long ali;
        long font_style;
        double oblique;
        // Where the upright, unaligned point (x, y) relative to base should go.
        P (*expect)(P p, const std::array<double, 4>& b);
        double width = 1.0;
    };
    const Case cases[] = {
        {"oblique 0 stays upright", 0, 0, 0.0, [](P p, const std::array<double, 4>&) { return p; }},
        {"negative oblique stays upright", 0, 0, -0.3, [](P p, const std::array<double, 4>&) { return p; }},
        {"oblique slants about the baseline", 0, 0, 0.3,
         [](P p, const std::array<double, 4>&) { return P{p.x + p.y * std::tan(0.3), p.y}; }},
        {"bottom centre on the base", 4096, 0, 0.0,
         [](P p, const std::array<double, 4>& b) { return P{p.x - (b[0] + b[1]) / 2, p.y - b[2]}; }},
        {"centre on the base", 2, 0, 0.0,
         [](P p, const std::array<double, 4>& b) { return P{p.x - (b[0] + b[1]) / 2, p.y - (b[2] + b[3]) / 2}; }},
        {"top left on the base", 32, 0, 0.0, [](P p, const std::array<double, 4>& b) { return P{p.x - b[0], p.y - b[3]}; }},
        {"bottom right on the base", 8192, 0, 0.0,
         [](P p, const std::array<double, 4>& b) { return P{p.x - b[1], p.y - b[2]}; }},
        {"mirrored: reads backwards", 0, 0x80, 0.0, [](P p, const std::array<double, 4>&) { return P{-p.x, p.y}; }},
        {"mirrored upside down", 0, 0x40, 0.0, [](P p, const std::array<double, 4>&) { return P{p.x, -p.y}; }},
        {"vertical", 0, 0x100, 0.0, [](P p, const std::array<double, 4>&) { return P{p.x - 5.0, p.y - 10.0}; }},
        // Narrowed, and moved left by half its height times the width factor.
        {"vertical at half width", 0, 0x100, 0.0,
         [](P p, const std::array<double, 4>&) { return P{0.5 * p.x - 2.5, p.y - 10.0}; }, 0.5},
    };
    const auto rel = [](const std::vector<Contour>& cs) {
        std::vector<Contour> out = cs;
        for (Contour& c : out)
            for (P& p : c) p = {p.x, p.y};
        return out;
    };
    const std::array<double, 4> b = box(upright);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MB_Text_Style t = style("arial.ttf", 10.0, c.width);
        t.ali_flag(c.ali);
        t.font_style(c.font_style);
        t.oblique_angle(c.oblique);
        const std::vector<Contour> got = lay_out("Ag", t, base);
        std::vector<Contour> want = rel(upright);
        for (Contour& k : want)
            for (P& p : k) {
                const P q = c.expect(p, b);
                p = {q.x + base.x, q.y + base.y};
            }
        expect_same(got, want, 1e-9);
    }

    // Turned by the angle about the base point.
    MB_Text_Style turned = style("arial.ttf");
    turned.angle(M_PI / 2);
    const std::vector<Contour> got = lay_out("Ag", turned, base);
    std::vector<Contour> want = upright;
    for (Contour& k : want)
        for (P& p : k) p = {base.x - p.y, base.y + p.x};
    expect_same(got, want, 1e-9);
}

TEST_F(TTF_Text, FaceChoiceAndFailures)
{
    MB_Text_Style simsun = style("simsun.ttc");
    const std::vector<Contour> reference = lay_out("A\xD2\xBB", simsun);
    ASSERT_FALSE(reference.empty());

    // The SimSun faces draw with SimSun whatever their file; a missing file draws with the
    // default TrueType file.
    for (const char* face : {"\xCB\xCE\xCC\xE5", "\xD0\xC2\xCB\xCE\xCC\xE5"}) {
        MB_TTF_Library lib("absent-face.ttf");
        lib.name() = face;
        MB_Text_Style s = style("simsun.ttc");
        s.font_lib(&lib);
        expect_same(lay_out("A\xD2\xBB", s), reference, 1e-9);
    }
    MB_TTF_Library missing("no-such-font.ttf");
    MB_Text_Style s = style("simsun.ttc");
    s.font_lib(&missing);
    expect_same(lay_out("A\xD2\xBB", s), reference, 1e-9);

    // A font file that is there but cut short gives no outline at all: the node keeps no
    // runs, the rectangle lies on the base point and the caller hears of it.
    Scratch_Dir windows;
    std::filesystem::create_directories(windows.path() + "/fonts");
    {
        std::ifstream in(ttf_file("arial.ttf"), std::ios::binary);
        std::vector<char> head(2000);
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        std::ofstream(windows.path() + "/fonts/Broken.ttf", std::ios::binary).write(head.data(), in.gcount());
    }
    Scoped_Env env("PLATFORM_WINDOWS_DIR", windows.path().c_str());
    MB_TTF_Library broken("broken.ttf");
    s.font_lib(&broken);
    MB_Draw_Lines_Sets node;
    Qe_Pt pts[2] = {Qe_Pt(0, 0, 0), Qe_Pt(1, 1, 0)};
    ASSERT_TRUE(node.init(mb_ulong{2}, pts));
    Qe_Rect rect;
    const Qe_Pt base(3, 4, 0);
    EXPECT_FALSE(ttf_string_2_ptsets("A", &base, &s, &node, &rect));
    EXPECT_EQ(node.ptset_count(), 0u);
    EXPECT_EQ(rect.lt().x(), 3.0);
    EXPECT_EQ(rect.rb().y(), 4.0);
}

TEST_F(TTF_Text, CharactersTheFaceLacksDrawItsMissingGlyph)
{
    const std::string dejavu = ttf_file("arial.ttf");
    Reference ref(dejavu);
    ASSERT_TRUE(ref.ok);
    MB_Text_Style s = style("arial.ttf");
    // DejaVu Sans has no ideographs: the missing-glyph box stands in and advances the pen.
    expect_same(lay_out("\xD2\xBB" "A", s), placed(ref.outline(U"\u4E00A", 3), 10.0, 1.0, {0, 0}), half_unit(10.0, 1.0));
}
