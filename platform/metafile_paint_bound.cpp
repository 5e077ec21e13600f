// The painting a metafile's play may do: each drawing call is charged the pixels it paints
// (a filled box, strokes along points with the pen), within the picture's clip, and the play
// stops once the sum passes a few dozen times the clip (Player::spent).

#include <algorithm>
#include <cmath>

#include "platform/metafile_player_p.h"

namespace platform {
namespace {

// Real pictures paint each pixel a few times; a file that repaints its whole frame over and
// over in a few bytes a record would otherwise cost minutes.
constexpr double work_per_clip_pixel = 32;
constexpr double work_besides = 1 << 22;

}  // namespace

double Player::clip_area() const
{
    return std::max(0.0, double(m_base_clip.right) - m_base_clip.left) *
           std::max(0.0, double(m_base_clip.bottom) - m_base_clip.top);
}

double Player::work_limit() const
{
    return work_per_clip_pixel * clip_area() + work_besides;
}

void Player::charge_box(double x0, double y0, double x1, double y1)
{
    // Within the clip; a side that is not a number covers nothing.
    const auto within = [](double v, LONG lo, LONG hi) {
        return v == v ? std::clamp(v, double(lo), double(std::max(lo, hi))) : double(lo);
    };
    const RECT& k = m_base_clip;
    const double l = within(std::min(x0, x1), k.left, k.right), r = within(std::max(x0, x1), k.left, k.right);
    const double t = within(std::min(y0, y1), k.top, k.bottom), b = within(std::max(y0, y1), k.top, k.bottom);
    m_work += (r - l) * (b - t);
}

RECT Player::charged_box(double l, double t, double r, double b)
{
    const POINT a = pixel(l, t), c = pixel(r, b);
    const RECT k{std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x), std::max(a.y, c.y)};
    const double x0 = k.left, y0 = k.top, x1 = k.right, y1 = k.bottom;
    charge_box(x0, y0, x1, y1);
    const Dpoint outline[] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    charge_strokes(outline, true);
    return k;
}

void Player::charge_strokes(std::span<const Dpoint> pts, bool closed)
{
    if (m_state.pen_px <= 0 || pts.empty()) return;
    const double clip = clip_area();
    // Each stroke paints its length times the pen's width, at most the clip.
    const auto stroke = [&](const Dpoint& a, const Dpoint& b) {
        const double painted = (std::hypot(b.x - a.x, b.y - a.y) + 1) * m_state.pen_px;
        m_work += painted < clip ? painted : clip;
    };
    for (std::size_t i = 1; i < pts.size(); ++i) stroke(pts[i - 1], pts[i]);
    if (closed && pts.size() > 2) stroke(pts.back(), pts.front());
}

}  // namespace platform
