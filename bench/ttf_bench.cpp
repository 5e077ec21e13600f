// TrueType texts into outlines: 20 texts of 499 mixed Latin and Chinese characters, laid out
// from the font file (the FreeType path) and glyph by glyph through the device's cached
// outlines, against a plain FreeType walk written here: a face opened per text, each glyph
// loaded and decomposed, conics flattened at the same step count, the same placement.

#include <benchmark/benchmark.h>

#include "ratio_reporter.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "geometry/point.h"
#include "geometry/rect.h"
#include "kernel/display/draw_node.h"
#include "kernel/text/system_resource.h"
#include "kernel/text/text_layout.h"
#include "kernel/text/text_style.h"
#include "kernel/text/ttf_text.h"
#include "platform/codepage.h"
#include "platform/font.h"

namespace {

constexpr int k_texts = 20;
constexpr int k_chars = 499;
constexpr double k_height = 10.0;
constexpr double k_unit = 1.444 / 4096.0;

// Texts in the ANSI code page: three Latin letters to one ideograph of the code page's first
// level, the same every run.
const std::vector<std::string>& texts()
{
    static const std::vector<std::string> t = [] {
        std::vector<std::string> out;
        std::mt19937 rng(21);
        for (int i = 0; i < k_texts; ++i) {
            std::string s;
            for (int c = 0; c < k_chars; ++c) {
                if (c % 4 == 3) {
                    s += static_cast<char>(0xB0 + rng() % 40);
                    s += static_cast<char>(0xA1 + rng() % 94);
                } else {
                    s += static_cast<char>('A' + rng() % 58 % 26 + (rng() % 2 ? 32 : 0));
                }
            }
            out.push_back(s);
        }
        return out;
    }();
    return t;
}

MB_Text_Style& style()
{
    static MB_Text_Style* s = [] {
        auto* st = new MB_Text_Style;
        st->load_default();
        st->font_lib("simsun.ttc");
        st->height(k_height);
        return st;
    }();
    return *s;
}

void BM_freetype_path(benchmark::State& state)
{
    const Qe_Pt base(0, 0, 0);
    for (auto _ : state) {
        std::size_t points = 0;
        for (const std::string& t : texts()) {
            MB_Draw_Lines_Sets node;
            Qe_Rect rect;
            if (!ttf_string_2_ptsets(t.c_str(), &base, &style(), &node, &rect)) state.SkipWithError("no outline");
            points += node.pts_count();
        }
        benchmark::DoNotOptimize(points);
    }
}

void BM_device_path(benchmark::State& state)
{
    const Qe_Pt base(0, 0, 0);
    for (auto _ : state) {
        std::size_t points = 0;
        for (const std::string& t : texts()) {
            MB_Draw_Lines_Sets node;
            Qe_Rect rect;
            if (!string_2_ptsets(t.c_str(), base, &style(), &node, &rect)) state.SkipWithError("no outline");
            points += node.pts_count();
        }
        benchmark::DoNotOptimize(points);
    }
}

struct Walk {
    std::vector<Qe_Pt>* out;
    double pen;
    int steps;
    double lx, ly;
    void add(double x, double y) { out->emplace_back((x + pen) * k_height * k_unit, y * k_height * k_unit, 0.0); }
};

void BM_reference(benchmark::State& state)
{
    char path[4096];
    if (!platform_ttf_file("simsun.ttc", path, sizeof path)) {
        state.SkipWithError("no font");
        return;
    }
    FT_Library lib = nullptr;
    FT_Init_FreeType(&lib);
    FT_Outline_Funcs funcs{};
    funcs.move_to = [](const FT_Vector* to, void* u) {
        auto* w = static_cast<Walk*>(u);
        w->add(double(to->x), double(to->y));
        w->lx = double(to->x), w->ly = double(to->y);
        return 0;
    };
    funcs.line_to = funcs.move_to;
    funcs.conic_to = [](const FT_Vector* c, const FT_Vector* to, void* u) {
        auto* w = static_cast<Walk*>(u);
        for (int k = 1; k <= w->steps; ++k) {
            const double t = double(k) / w->steps, s = 1 - t;
            w->add(s * s * w->lx + 2 * s * t * double(c->x) + t * t * double(to->x),
                   s * s * w->ly + 2 * s * t * double(c->y) + t * t * double(to->y));
        }
        w->lx = double(to->x), w->ly = double(to->y);
        return 0;
    };
    funcs.cubic_to = [](const FT_Vector*, const FT_Vector*, const FT_Vector*, void*) { return 0; };
    for (auto _ : state) {
        std::size_t points = 0;
        for (const std::string& t : texts()) {
            std::vector<char16_t> wide(t.size() + 1);
            const int n = MultiByteToWideChar(CP_ACP, 0, t.c_str(), static_cast<int>(t.size()),
                                              reinterpret_cast<LPWSTR>(wide.data()), static_cast<int>(wide.size()));
            FT_Face face = nullptr;
            if (FT_New_Face(lib, path, 0, &face) != 0) continue;
            FT_Set_Pixel_Sizes(face, 0, 64);
            std::vector<Qe_Pt> pts;
            Walk w{&pts, 0.0, 3, 0, 0};
            for (int i = 0; i < n; ++i) {
                if (FT_Load_Glyph(face, FT_Get_Char_Index(face, wide[static_cast<std::size_t>(i)]), FT_LOAD_DEFAULT) != 0)
                    continue;
                FT_Outline_Decompose(&face->glyph->outline, &funcs, &w);
                w.pen += double(face->glyph->advance.x);
            }
            FT_Done_Face(face);
            points += pts.size();
        }
        benchmark::DoNotOptimize(points);
    }
    FT_Done_FreeType(lib);
}

BENCHMARK(BM_freetype_path)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_device_path)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_reference)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    const int status =
        run_with_ratios(argc, argv, {{"BM_freetype_path", "BM_reference"}, {"BM_device_path", "BM_reference"}});
    g_system_resource.free();
    return status;
}
