#pragma once

// Scan conversion for the GDI drawing calls. A call first collects what it covers (spans of
// pixels, each tagged with what paints it), clipped to the surface in 64-bit or double
// arithmetic, and only then writes every covered pixel once through the raster operation. One
// write per pixel per call is what makes drawing twice in NOT-XOR mode restore the image.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/surface_p.h"
#include "platform/win_types.h"

namespace platform {

// What paints a covered pixel; where several cover one pixel the higher value wins, so an
// outline is drawn over the fill it surrounds.
enum class Paint : std::uint8_t { none = 0, brush = 1, pen_gap = 2, pen = 3 };

struct Dpoint {
    double x;
    double y;
};

// Fixed on/off runs of the styled thin pens, in pixels along the major axis.
struct Dash_Pattern {
    const std::uint8_t* runs = nullptr;  // null: solid
    int count = 0;
    int period = 0;
    // Whether step i of the pattern draws.
    bool on(long long i) const;
};
Dash_Pattern dash_pattern_of(int pen_style);

class Coverage {
public:
    // Pixels outside (0, 0, width, height) are never covered.
    Coverage(int width, int height) : m_width(width), m_height(height) {}

    int width() const { return m_width; }
    int height() const { return m_height; }
    // Narrows what is covered to the box (a DC's clip rectangle); the walks stay bounded by
    // the surface.
    void limit_to(const Pixel_Box& box) { m_box = box; }

    // Pixels x0 .. x1 - 1 of row y.
    void add_span(long long y, long long x0, long long x1, Paint p);
    void add_pixel(long long x, long long y, Paint p) { add_span(y, x, x + 1, p); }

    // A thin line from a to b without the pixel at b. step carries the dash position from one
    // segment to the next; gaps are covered as pen_gap.
    void add_thin_line(long long ax, long long ay, long long bx, long long by, const Dash_Pattern& dash,
                       long long& step);
    // Pixels whose centres lie within radius of the segment a-b (a wide pen with round ends).
    void add_capsule(Dpoint a, Dpoint b, double radius, Paint p);
    // Pixels whose centres (x + 0.5, y + 0.5) are inside the rings by the alternate rule.
    void add_even_odd_fill(const std::vector<std::vector<Dpoint>>& rings, Paint p);

    // Writes every covered pixel once: pen pixels in pen_value, gap pixels in gap_value when
    // gaps are painted, brush pixels through brush_value(x, y) (which may skip a pixel).
    template <class Brush>
    void write(Surface& s, int rop2, std::uint32_t pen_value, bool paint_gaps, std::uint32_t gap_value,
               Brush brush_value);

    bool empty() const { return m_spans.empty(); }

private:
    struct Span {
        int y;
        int x0;
        int x1;
        Paint paint;
    };
    int m_width;
    int m_height;
    Pixel_Box m_box{0, 0, m_width, m_height};
    std::vector<Span> m_spans;
    void sort_rows();
};

// Applies a binary raster operation (R2_BLACK .. R2_WHITE) of pen value p to destination d,
// limited to the pixel's bits.
std::uint32_t apply_rop2(int rop2, std::uint32_t p, std::uint32_t d, std::uint32_t mask);
std::uint32_t pixel_mask(int bpp);

// A double clamped into the range where pixel arithmetic in long long stays exact; NaN gives 0.
long long clamp_coord(double v);

template <class Brush>
void Coverage::write(Surface& s, int rop2, std::uint32_t pen_value, bool paint_gaps, std::uint32_t gap_value,
                     Brush brush_value)
{
    if (m_spans.empty() || !s.bits) return;
    sort_rows();
    const std::uint32_t mask = pixel_mask(s.bpp);
    std::vector<Paint> row;
    std::size_t i = 0;
    while (i < m_spans.size()) {
        const int y = m_spans[i].y;
        std::size_t j = i;
        int lo = m_spans[i].x0, hi = m_spans[i].x1;
        while (j < m_spans.size() && m_spans[j].y == y) {
            lo = std::min(lo, m_spans[j].x0);
            hi = std::max(hi, m_spans[j].x1);
            ++j;
        }
        row.assign(static_cast<std::size_t>(hi - lo), Paint::none);
        for (std::size_t k = i; k < j; ++k)
            for (int x = m_spans[k].x0; x < m_spans[k].x1; ++x) {
                Paint& slot = row[static_cast<std::size_t>(x - lo)];
                if (m_spans[k].paint > slot) slot = m_spans[k].paint;
            }
        for (int x = lo; x < hi; ++x) {
            std::uint32_t v;
            switch (row[static_cast<std::size_t>(x - lo)]) {
            case Paint::pen: v = pen_value; break;
            case Paint::pen_gap:
                if (!paint_gaps) continue;
                v = gap_value;
                break;
            case Paint::brush:
                if (!brush_value(x, y, v)) continue;
                break;
            default: continue;
            }
            const std::uint32_t out = apply_rop2(rop2, v, s.value_at(x, y), mask);
            if (s.bpp == 32) {
                // The fourth byte is not part of the colour: left as it was, so that drawing
                // twice in NOT-XOR mode gives back every byte.
                std::uint8_t* p = s.row(y) + 4 * static_cast<std::size_t>(x);
                p[0] = static_cast<std::uint8_t>(out);
                p[1] = static_cast<std::uint8_t>(out >> 8);
                p[2] = static_cast<std::uint8_t>(out >> 16);
            } else {
                s.put_value(x, y, out);
            }
        }
        i = j;
    }
}

}  // namespace platform
