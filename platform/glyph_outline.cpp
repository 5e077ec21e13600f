// FreeType outlines in the native glyph outline layout: one polygon header per contour, then
// line and quadratic B-spline records.

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/font.h"
#include "platform/font_p.h"

namespace platform {
namespace {

// Points in 16.16 pixels before the caller's matrix is applied. 26.6 values times 1024 are
// even, so the midpoint of two of them is exact.
struct Fx {
    std::int64_t x = 0, y = 0;
};

Fx from_26_6(const FT_Vector& v) { return {static_cast<std::int64_t>(v.x) * 1024, static_cast<std::int64_t>(v.y) * 1024}; }
Fx midpoint(Fx a, Fx b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }

struct Segment {
    bool conic = false;
    Fx control;  // conics only
    Fx to;
    // The end point is the midpoint of this control and the next one (two off-curve points in
    // a row, or the two halves of a cubic), so the next conic continues the same B-spline.
    bool implied = false;
};

// A cubic as two quadratics: the halves at t = 1/2, each replaced by the quadratic whose
// control is where the cubic's two control tangents would meet on average. The shared point
// is the midpoint of the two controls, so the pair is one B-spline record.
void add_cubic(Fx p0, Fx c1, Fx c2, Fx p3, std::vector<Segment>& segs)
{
    struct P {
        double x, y;
    };
    const auto d = [](Fx f) { return P{static_cast<double>(f.x), static_cast<double>(f.y)}; };
    const auto mid = [](P a, P b) { return P{(a.x + b.x) / 2, (a.y + b.y) / 2}; };
    const auto quad_control = [](P q0, P q1, P q2, P q3) {
        return P{(3 * (q1.x + q2.x) - (q0.x + q3.x)) / 4, (3 * (q1.y + q2.y) - (q0.y + q3.y)) / 4};
    };
    const auto fx = [](P p) { return Fx{std::llround(p.x), std::llround(p.y)}; };
    const P a0 = d(p0), a1 = d(c1), a2 = d(c2), a3 = d(p3);
    const P m01 = mid(a0, a1), m12 = mid(a1, a2), m23 = mid(a2, a3);
    const P l = mid(m01, m12), r = mid(m12, m23), m = mid(l, r);
    const Fx q1 = fx(quad_control(a0, m01, l, m)), q2 = fx(quad_control(m, r, m23, a3));
    segs.push_back({true, q1, midpoint(q1, q2), true});
    segs.push_back({true, q2, p3, false});
}

// The segments of contour [first, last] after its start point, read as FreeType reads the
// tags (a contour may start off-curve); the closing line back to the start is not included.
// False for tags that make no curve.
bool contour_segments(const FT_Outline& o, int first, int last, Fx& start, std::vector<Segment>& segs)
{
    const auto pt = [&](int i) { return from_26_6(o.points[i]); };
    const auto tag = [&](int i) { return FT_CURVE_TAG(o.tags[i]); };
    int i = first, end = last;
    if (tag(first) == FT_CURVE_TAG_ON) {
        start = pt(first);
        i = first + 1;
    } else if (tag(first) == FT_CURVE_TAG_CONIC && tag(last) != FT_CURVE_TAG_CUBIC) {
        if (tag(last) == FT_CURVE_TAG_ON) {
            start = pt(last);
            end = last - 1;
        } else {
            start = midpoint(pt(last), pt(first));
        }
    } else {
        return false;  // a contour cannot start on a cubic control
    }
    Fx cur = start;
    while (i <= end) {
        const int t = tag(i);
        if (t == FT_CURVE_TAG_ON) {
            cur = pt(i++);
            segs.push_back({false, {}, cur, false});
        } else if (t == FT_CURVE_TAG_CONIC) {
            Fx control = pt(i++);
            for (;;) {
                if (i > end) {
                    segs.push_back({true, control, start, false});
                    cur = start;
                    break;
                }
                const Fx q = pt(i);
                const int tq = tag(i++);
                if (tq == FT_CURVE_TAG_ON) {
                    segs.push_back({true, control, q, false});
                    cur = q;
                    break;
                }
                if (tq != FT_CURVE_TAG_CONIC) return false;
                cur = midpoint(control, q);
                segs.push_back({true, control, cur, true});
                control = q;
            }
        } else {
            if (i + 1 > end || tag(i + 1) != FT_CURVE_TAG_CUBIC) return false;
            const Fx c1 = pt(i), c2 = pt(i + 1);
            i += 2;
            // As FreeType does, the point after two cubic controls ends the curve.
            const Fx to = i <= end ? pt(i++) : start;
            add_cubic(cur, c1, c2, to, segs);
            cur = to;
        }
    }
    return true;
}

struct Record {
    WORD type = TT_PRIM_LINE;
    std::vector<Fx> points;
};

constexpr std::size_t max_record_points = std::numeric_limits<WORD>::max();

// Consecutive lines share a record; consecutive conics share one when the point between them
// is the midpoint of their controls. Records are split where the point count would overflow.
std::vector<Record> records_of(const std::vector<Segment>& segs)
{
    std::vector<Record> records;
    const Segment* previous = nullptr;
    for (const Segment& s : segs) {
        Record* last = records.empty() ? nullptr : &records.back();
        if (!s.conic) {
            if (last && last->type == TT_PRIM_LINE && last->points.size() < max_record_points)
                last->points.push_back(s.to);
            else
                records.push_back({TT_PRIM_LINE, {s.to}});
        } else {
            const bool joins = last && last->type == TT_PRIM_QSPLINE && previous && previous->conic &&
                               (previous->implied ||
                                (2 * previous->to.x == previous->control.x + s.control.x &&
                                 2 * previous->to.y == previous->control.y + s.control.y)) &&
                               last->points.size() < max_record_points;
            if (joins) {
                last->points.back() = s.control;
                last->points.push_back(s.to);
            } else {
                records.push_back({TT_PRIM_QSPLINE, {s.control, s.to}});
            }
        }
        previous = &s;
    }
    return records;
}

class Writer {
public:
    Writer(const FT_Matrix* m, Native_Outline& out) : matrix_(m), out_(out) {}

    bool point(Fx p)
    {
        std::int64_t x = p.x, y = p.y;
        if (matrix_) {
            const double fx = static_cast<double>(p.x), fy = static_cast<double>(p.y);
            const double tx = (static_cast<double>(matrix_->xx) * fx + static_cast<double>(matrix_->xy) * fy) / 65536.0;
            const double ty = (static_cast<double>(matrix_->yx) * fx + static_cast<double>(matrix_->yy) * fy) / 65536.0;
            if (!(std::fabs(tx) < 2147483647.0 && std::fabs(ty) < 2147483647.0)) return false;
            x = std::llround(tx);
            y = std::llround(ty);
        }
        constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min(), hi = std::numeric_limits<std::int32_t>::max();
        if (x < lo || x > hi || y < lo || y > hi) return false;
        if (out_.empty) {
            out_.x_min = out_.x_max = x;
            out_.y_min = out_.y_max = y;
            out_.empty = false;
        }
        out_.x_min = std::min(out_.x_min, x), out_.x_max = std::max(out_.x_max, x);
        out_.y_min = std::min(out_.y_min, y), out_.y_max = std::max(out_.y_max, y);
        POINTFX f;
        f.x = to_fixed(x);
        f.y = to_fixed(y);
        append(&f, sizeof f);
        return true;
    }
    void append(const void* p, std::size_t n)
    {
        const auto* b = static_cast<const unsigned char*>(p);
        out_.bytes.insert(out_.bytes.end(), b, b + n);
    }

private:
    static FIXED to_fixed(std::int64_t v)
    {
        const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
        FIXED f;
        f.fract = static_cast<WORD>(u & 0xFFFF);
        f.value = static_cast<SHORT>(static_cast<std::int16_t>(u >> 16));
        return f;
    }
    const FT_Matrix* matrix_;
    Native_Outline& out_;
};

}  // namespace

bool native_outline(const FT_Outline_& outline, const FT_Matrix_* matrix, Native_Outline& out)
{
    Native_Outline result;
    Writer w(matrix, result);
    const int contours = outline.n_contours, points = outline.n_points;
    if (contours < 0 || points < 0 || (contours > 0 && (!outline.contours || !outline.points || !outline.tags)))
        return false;
    int first = 0;
    for (int c = 0; c < contours; ++c) {
        const int last = outline.contours[c];
        if (last < first || last >= points) return false;
        Fx start;
        std::vector<Segment> segs;
        if (!contour_segments(outline, first, last, start, segs)) return false;
        const std::vector<Record> records = records_of(segs);
        std::size_t cb = sizeof(TTPOLYGONHEADER);
        for (const Record& r : records) cb += 4 + r.points.size() * sizeof(POINTFX);
        if (cb > std::numeric_limits<DWORD>::max()) return false;
        // TTPOLYGONHEADER field by field: cb, dwType, pfxStart.
        const DWORD head[2] = {static_cast<DWORD>(cb), TT_POLYGON_TYPE};
        w.append(head, sizeof head);
        if (!w.point(start)) return false;
        for (const Record& r : records) {
            const WORD curve[2] = {r.type, static_cast<WORD>(r.points.size())};  // wType, cpfx
            w.append(curve, sizeof curve);
            for (const Fx& p : r.points)
                if (!w.point(p)) return false;
        }
        first = last + 1;
    }
    if (result.bytes.size() > std::numeric_limits<DWORD>::max()) return false;
    out = std::move(result);
    return true;
}

}  // namespace platform
