#pragma once

// cairo as the oracle of even-odd fills: which pixels of a w x h image cairo covers, without
// antialiasing, with the rings shifted by (shift, shift) first. cairo samples pixel centres,
// so a shift of 0.5 samples pixel (x, y) at the point (x, y).

#include <cairo.h>

#include <cstddef>
#include <random>
#include <vector>

#include "platform/win_types.h"

inline std::vector<bool> cairo_even_odd_fill(const std::vector<std::vector<POINT>>& rings, int w, int h, double shift)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_translate(cr, shift, shift);
    for (const auto& r : rings) {
        if (r.empty()) continue;
        cairo_move_to(cr, r[0].x, r[0].y);
        for (std::size_t i = 1; i < r.size(); ++i) cairo_line_to(cr, r[i].x, r[i].y);
        cairo_close_path(cr);
    }
    cairo_fill(cr);
    cairo_surface_flush(s);
    std::vector<bool> in(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) in[static_cast<std::size_t>(y) * w + x] = data[y * stride + x] != 0;
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return in;
}

// Fill cases for a w x h image: two nested rectangles (the area between them is filled), then
// count seeded sets of one to three random rings of 3 to 8 vertices reaching margin beyond
// the image.
inline std::vector<std::vector<std::vector<POINT>>> seeded_fill_cases(unsigned seed, int count, int w, int h,
                                                                      int margin)
{
    const int l = w / 8, t = h / 8, r = w - l, b = h - t;
    std::vector<std::vector<std::vector<POINT>>> cases = {
        {{{l, t}, {r, t}, {r, b}, {l, b}}, {{w / 3, h / 3}, {2 * w / 3, h / 3}, {2 * w / 3, 2 * h / 3}, {w / 3, 2 * h / 3}}}};
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> x(-margin, w + margin), y(-margin, h + margin), nring(1, 3), nvert(3, 8);
    for (int i = 0; i < count; ++i) {
        std::vector<std::vector<POINT>> rings(static_cast<std::size_t>(nring(rng)));
        for (auto& ring : rings) {
            ring.resize(static_cast<std::size_t>(nvert(rng)));
            for (POINT& p : ring) p = POINT{x(rng), y(rng)};
        }
        cases.push_back(rings);
    }
    return cases;
}
