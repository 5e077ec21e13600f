// The raster device's polygon fill and line drawing against cairo without antialiasing, on the
// same seeded shapes, at 32 bits per pixel. Prints how many times slower (above 1) or faster
// (below 1) the device is than cairo.

#include <benchmark/benchmark.h>

#include "ratio_reporter.h"
#include <cairo.h>

#include <array>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "geometry/raster_device.h"
#include "platform/window.h"

namespace {

constexpr int size = 512;

struct Shapes {
    std::vector<std::vector<POINT>> polygons;  // each: two rings, the first closed by repeating its start
    std::vector<std::vector<POINT>> rings;     // the same rings one by one, for cairo
    std::vector<std::array<int, 4>> lines;
    Shapes()
    {
        std::mt19937 rng(1234);
        std::uniform_int_distribution<int> c(-40, size + 40);
        for (int i = 0; i < 100; ++i) {
            std::vector<POINT> outer(12), inner(5);
            for (POINT& p : outer) p = POINT{c(rng), c(rng)};
            for (POINT& p : inner) p = POINT{c(rng), c(rng)};
            std::vector<POINT> both = outer;
            both.push_back(outer.front());
            both.insert(both.end(), inner.begin(), inner.end());
            polygons.push_back(both);
            rings.push_back(outer);
            rings.push_back(inner);
        }
        for (int i = 0; i < 2000; ++i) lines.push_back({c(rng), c(rng), c(rng), c(rng)});
    }
};

const Shapes& shapes()
{
    static const Shapes s;
    return s;
}

struct Device {
    Qe_Qdc q;
    Device()
    {
        HDC screen = GetDC(nullptr);
        q.CreateCompatibleDC(screen, size, size, 32);
        ReleaseDC(nullptr, screen);
    }
};

struct Cairo {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size, size);
    cairo_t* cr = cairo_create(s);
    Cairo()
    {
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_set_line_width(cr, 1.0);
        cairo_set_source_rgb(cr, 1, 0, 0);
    }
    ~Cairo()
    {
        cairo_destroy(cr);
        cairo_surface_destroy(s);
    }
};

void qdc_fill(benchmark::State& st)
{
    Device d;
    for (auto _ : st)
        for (std::size_t i = 0; i < shapes().polygons.size(); ++i) {
            const auto& p = shapes().polygons[i];
            d.q.Polygon(p.data(), static_cast<int>(p.size()), 1, static_cast<unsigned long>(i * 2654435761u) & 0xFFFFFF);
        }
}

void cairo_fill_ref(benchmark::State& st)
{
    Cairo c;
    for (auto _ : st) {
        for (std::size_t i = 0; i < shapes().rings.size(); i += 2) {
            for (std::size_t k = i; k < i + 2; ++k) {
                const auto& r = shapes().rings[k];
                cairo_move_to(c.cr, r[0].x, r[0].y);
                for (std::size_t j = 1; j < r.size(); ++j) cairo_line_to(c.cr, r[j].x, r[j].y);
                cairo_close_path(c.cr);
            }
            // Fill and outline, as the device does.
            cairo_fill_preserve(c.cr);
            cairo_stroke(c.cr);
        }
        cairo_surface_flush(c.s);
    }
}

void qdc_lines(benchmark::State& st)
{
    Device d;
    d.q.SetColor(0, false);
    for (auto _ : st)
        for (const auto& l : shapes().lines) d.q.Line(l[0], l[1], l[2], l[3]);
}

void cairo_lines_ref(benchmark::State& st)
{
    Cairo c;
    for (auto _ : st) {
        for (const auto& l : shapes().lines) {
            cairo_move_to(c.cr, l[0] + 0.5, l[1] + 0.5);
            cairo_line_to(c.cr, l[2] + 0.5, l[3] + 0.5);
            cairo_stroke(c.cr);
        }
        cairo_surface_flush(c.s);
    }
}


}  // namespace

BENCHMARK(qdc_fill);
BENCHMARK(cairo_fill_ref);
BENCHMARK(qdc_lines);
BENCHMARK(cairo_lines_ref);

int main(int argc, char** argv)
{
    return run_with_ratios(argc, argv, {{"qdc_fill", "cairo_fill_ref"}, {"qdc_lines", "cairo_lines_ref"}});
}
