#include "platform/gdi_draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/font_p.h"
#include "platform/gdi_draw_p.h"

namespace platform {
namespace {

constexpr double pi = 3.14159265358979323846;

template <class T>
HGDIOBJ make_stock(std::unique_ptr<T> obj)
{
    obj->stock = true;
    return add_object(std::move(obj));
}

HGDIOBJ stock_black_pen()
{
    static HGDIOBJ h = make_stock(std::make_unique<Pen>());
    return h;
}

HGDIOBJ stock_white_brush()
{
    static HGDIOBJ h = make_stock(std::make_unique<Brush>());
    return h;
}

const Pen& pen_of(const Dc& dc)
{
    const Pen* p = find<Pen>(dc.state.pen);
    return p ? *p : *find<Pen>(stock_black_pen());
}

const Brush& brush_of(const Dc& dc)
{
    const Brush* b = find<Brush>(dc.state.brush);
    return b ? *b : *find<Brush>(stock_white_brush());
}

// The surface the drawing calls write, or null when the DC does not draw.
Surface* target_of(Dc& dc)
{
    if (dc.drawing && dc.drawing->recording && !dc.drawing->draws) return nullptr;
    Surface* s = dc_surface(dc);
    return s && s->bits && s->bpp >= 1 ? s : nullptr;
}

bool in_path(Dc& dc) { return dc.drawing && dc.drawing->path_open; }

bool hatch_on(int x, int y) { return ((x + y) & 7) == 7; }

// A brush's pixel values, converted once per call: the colour, and the background colour that
// a hatch brush paints its gaps with while the background mode is opaque.
struct Brush_Values {
    UINT style;
    std::uint32_t fg;
    std::uint32_t bg;
    bool opaque;
    Brush_Values(const Brush& b, const Dc& dc, const Surface& s)
        : style(b.style), fg(s.value_of(b.colour)), bg(s.value_of(dc.state.bk_color)),
          opaque(dc.state.bk_mode == OPAQUE)
    {
    }
    // The value at a pixel; false where the pixel is left alone.
    bool at(int x, int y, std::uint32_t& v) const
    {
        switch (style) {
        case BS_SOLID: v = fg; return true;
        case BS_HATCHED:
            if (hatch_on(x, y)) {
                v = fg;
                return true;
            }
            v = bg;
            return opaque;
        default: return false;
        }
    }
};

struct Figure {
    std::vector<Dpoint> points;
    bool closed = false;
};

long long round_coord(double v) { return clamp_coord(std::floor(v + 0.5)); }

// Draws the fill rings with the brush (when fill) and the figures with the pen, every covered
// pixel once.
void render(Dc& dc, Surface& s, const std::vector<std::vector<Dpoint>>& fill_rings, const std::vector<Figure>& figures)
{
    const Pen& pen = pen_of(dc);
    const Brush& brush = brush_of(dc);
    Coverage cov(s.width, s.height);
    cov.limit_to(drawable_box(dc, s));
    if (!fill_rings.empty() && brush.style != BS_NULL) cov.add_even_odd_fill(fill_rings, Paint::brush);
    const bool styled = pen.width <= 1 && pen.style >= PS_DASH && pen.style <= PS_DASHDOTDOT;
    if (pen.style != PS_NULL) {
        const Dash_Pattern dash = pen.width <= 1 ? dash_pattern_of(pen.style) : Dash_Pattern{};
        for (const Figure& f : figures) {
            const std::size_t n = f.points.size();
            if (n == 0) continue;
            const std::size_t segments = f.closed ? n : n - 1;
            long long step = 0;
            for (std::size_t k = 0; k < segments; ++k) {
                const Dpoint& a = f.points[k];
                const Dpoint& b = f.points[(k + 1) % n];
                if (pen.width <= 1)
                    cov.add_thin_line(round_coord(a.x), round_coord(a.y), round_coord(b.x), round_coord(b.y), dash, step);
                else
                    cov.add_capsule(a, b, pen.width / 2.0, Paint::pen);
            }
            if (n == 1 && pen.width > 1) cov.add_capsule(f.points[0], f.points[0], pen.width / 2.0, Paint::pen);
        }
    }
    const Brush_Values bv(brush, dc, s);
    cov.write(s, dc.state.rop2, s.value_of(pen.colour), styled && dc.state.bk_mode == OPAQUE,
              s.value_of(dc.state.bk_color), [&bv](int x, int y, std::uint32_t& v) { return bv.at(x, y, v); });
}

std::vector<Dpoint> to_points(const POINT* pts, std::size_t n)
{
    std::vector<Dpoint> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = Dpoint{static_cast<double>(pts[i].x), static_cast<double>(pts[i].y)};
    return v;
}

std::vector<long long> point_args(const POINT* pts, std::size_t n)
{
    std::vector<long long> a;
    a.reserve(2 * n + 1);
    a.push_back(static_cast<long long>(n));
    for (std::size_t i = 0; i < n; ++i) {
        a.push_back(pts[i].x);
        a.push_back(pts[i].y);
    }
    return a;
}

// Adds a figure to the open path.
void path_add(Dc& dc, std::vector<Dpoint> pts)
{
    Dc_Drawing& d = drawing_of(dc);
    Path_Figure f;
    f.points = std::move(pts);
    d.figures.push_back(std::move(f));
    // A closed figure is finished; the next LineTo starts a new one.
    d.figure_open = false;
}

// Points spaced about a pixel apart on the ellipse with centre c and semi-axes a, b, from
// screen angle t0 over sweep (radians, counter-clockwise on the screen).
std::vector<Dpoint> ellipse_points(Dpoint c, double a, double b, double t0, double sweep)
{
    const double perimeter = 2 * pi * std::max(std::abs(a), std::abs(b)) * std::abs(sweep) / (2 * pi);
    // Capped so that a huge ellipse costs no more than a bounded number of segments; each
    // segment's work is bounded by the surface.
    const double n_real = std::clamp(std::ceil(perimeter), 8.0, 65536.0);
    const int n = static_cast<int>(n_real);
    std::vector<Dpoint> pts(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        const double t = t0 + sweep * i / n;
        pts[static_cast<std::size_t>(i)] = Dpoint{c.x + a * std::cos(t), c.y - b * std::sin(t)};
    }
    return pts;
}

// Parametric angle on the ellipse (semi-axes a, b) of the ray from its centre through (dx, dy)
// (y down), measured counter-clockwise on the screen.
double ray_parameter(double a, double b, double dx, double dy)
{
    return std::atan2(-dy * a, dx * b);
}

std::vector<Dpoint> bezier_points(const POINT* pts, std::size_t n)
{
    std::vector<Dpoint> out;
    if (n == 0) return out;
    out.push_back(Dpoint{static_cast<double>(pts[0].x), static_cast<double>(pts[0].y)});
    for (std::size_t i = 0; i + 3 < n; i += 3) {
        Dpoint p[4];
        for (int k = 0; k < 4; ++k) p[k] = Dpoint{static_cast<double>(pts[i + k].x), static_cast<double>(pts[i + k].y)};
        double len = 0;
        for (int k = 0; k < 3; ++k) len += std::hypot(p[k + 1].x - p[k].x, p[k + 1].y - p[k].y);
        const int steps = static_cast<int>(std::clamp(std::ceil(len / 3), 4.0, 4096.0));
        for (int s = 1; s <= steps; ++s) {
            const double t = static_cast<double>(s) / steps, u = 1 - t;
            const double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
            out.push_back(Dpoint{b0 * p[0].x + b1 * p[1].x + b2 * p[2].x + b3 * p[3].x,
                                 b0 * p[0].y + b1 * p[1].y + b2 * p[2].y + b3 * p[3].y});
        }
    }
    return out;
}

void normalise(long long& l, long long& t, long long& r, long long& b)
{
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
}

}  // namespace

Dc_Drawing& drawing_of(Dc& dc)
{
    if (!dc.drawing) dc.drawing = std::make_shared<Dc_Drawing>();
    return *dc.drawing;
}

void record_call(Dc& dc, const char* name, const std::vector<long long>& args)
{
    if (!dc.drawing || !dc.drawing->recording) return;
    Platform_Call c;
    c.name = name;
    c.args = args;
    const Pen& p = pen_of(dc);
    c.pen = LOGPEN{static_cast<UINT>(p.style), POINT{p.width, 0}, p.colour};
    const Brush& b = brush_of(dc);
    c.brush = LOGBRUSH{b.style, b.colour, static_cast<UINT_PTR>(b.hatch)};
    c.rop2 = dc.state.rop2;
    dc.drawing->log().push_back(std::move(c));
}

void record_call(Dc& dc, const char* name, std::initializer_list<long long> args)
{
    if (!dc.drawing || !dc.drawing->recording) return;
    record_call(dc, name, std::vector<long long>(args));
}

void record_text_call(Dc& dc, const char* name, std::initializer_list<long long> args, const char* text, int n)
{
    if (!dc.drawing || !dc.drawing->recording) return;
    record_call(dc, name, std::vector<long long>(args));
    if (text && n > 0) dc.drawing->log().back().text.assign(text, static_cast<std::size_t>(n));
}

bool records_only(const Dc& dc) { return dc.drawing && !dc.drawing->draws; }

void select_default_objects(Dc& dc)
{
    dc.state.pen = static_cast<HPEN>(stock_black_pen());
    dc.state.brush = static_cast<HBRUSH>(stock_white_brush());
    dc.state.font = default_font();
}

}  // namespace platform

using namespace platform;

HPEN CreatePen(int style, int width, COLORREF colour)
{
    if (style < PS_SOLID || style > PS_INSIDEFRAME || width < 0) return nullptr;
    auto p = std::make_unique<Pen>();
    p->style = style == PS_INSIDEFRAME ? PS_SOLID : style;
    p->width = width;
    p->colour = colour & 0xFFFFFF;
    return static_cast<HPEN>(add_object(std::move(p)));
}

HBRUSH CreateSolidBrush(COLORREF colour)
{
    auto b = std::make_unique<Brush>();
    b->colour = colour & 0xFFFFFF;
    return static_cast<HBRUSH>(add_object(std::move(b)));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb)
{
    if (!lb) return nullptr;
    switch (lb->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(lb->lbColor);
    case BS_HATCHED: return CreateHatchBrush(static_cast<int>(lb->lbHatch), lb->lbColor);
    case BS_NULL: {
        auto b = std::make_unique<Brush>();
        b->style = BS_NULL;
        return static_cast<HBRUSH>(add_object(std::move(b)));
    }
    default: return nullptr;
    }
}

HBRUSH CreateHatchBrush(int style, COLORREF colour)
{
    if (style != HS_BDIAGONAL) return nullptr;
    auto b = std::make_unique<Brush>();
    b->style = BS_HATCHED;
    b->hatch = style;
    b->colour = colour & 0xFFFFFF;
    return static_cast<HBRUSH>(add_object(std::move(b)));
}

int GetObject(HGDIOBJ obj, int size, void* out)
{
    Object* o = find_any(obj);
    if (!o) return 0;
    auto give = [&](const auto& value) -> int {
        const int n = static_cast<int>(sizeof value);
        if (!out) return n;
        if (size < n) return 0;
        std::memcpy(out, &value, sizeof value);
        return n;
    };
    switch (o->kind) {
    case Kind::pen: {
        const auto* p = static_cast<Pen*>(o);
        return give(LOGPEN{static_cast<UINT>(p->style), POINT{p->width, 0}, p->colour});
    }
    case Kind::brush: {
        const auto* b = static_cast<Brush*>(o);
        return give(LOGBRUSH{b->style, b->colour, static_cast<UINT_PTR>(b->hatch)});
    }
    case Kind::bitmap: {
        const auto* b = static_cast<Bitmap*>(o);
        const Surface& s = b->surface;
        return give(BITMAP{0, s.width, s.height, static_cast<LONG>(s.stride), 1, static_cast<WORD>(s.bpp),
                           s.bits});
    }
    default: return 0;
    }
}

int SetBkMode(HDC hdc, int mode)
{
    Dc* dc = find_dc(hdc);
    if (!dc || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
    record_call(*dc, "SetBkMode", {mode});
    return std::exchange(dc->state.bk_mode, mode);
}

int GetBkMode(HDC hdc)
{
    Dc* dc = find_dc(hdc);
    return dc ? dc->state.bk_mode : 0;
}

COLORREF SetBkColor(HDC hdc, COLORREF colour)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return CLR_INVALID;
    record_call(*dc, "SetBkColor", {static_cast<long long>(colour)});
    return std::exchange(dc->state.bk_color, colour & 0xFFFFFF);
}

int SetROP2(HDC hdc, int mode)
{
    Dc* dc = find_dc(hdc);
    if (!dc || mode < R2_BLACK || mode > R2_WHITE) return 0;
    record_call(*dc, "SetROP2", {mode});
    return std::exchange(dc->state.rop2, mode);
}

int GetROP2(HDC hdc)
{
    Dc* dc = find_dc(hdc);
    return dc ? dc->state.rop2 : 0;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return CLR_INVALID;
    record_call(*dc, "SetPixel", {x, y, static_cast<long long>(colour)});
    Surface* s = target_of(*dc);
    if (!s || !drawable_box(*dc, *s).contains(x, y)) return CLR_INVALID;
    const std::uint32_t v = s->value_of(colour & 0xFFFFFF);
    s->put_value(x, y, v);
    return s->colour_of(v);
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return FALSE;
    record_call(*dc, "MoveToEx", {x, y});
    if (previous) *previous = dc->state.position;
    dc->state.position = POINT{x, y};
    if (in_path(*dc)) {
        path_add(*dc, {Dpoint{static_cast<double>(x), static_cast<double>(y)}});
        dc->drawing->figure_open = true;
    }
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return FALSE;
    record_call(*dc, "LineTo", {x, y});
    const POINT from = dc->state.position;
    dc->state.position = POINT{x, y};
    const Dpoint a{static_cast<double>(from.x), static_cast<double>(from.y)};
    const Dpoint b{static_cast<double>(x), static_cast<double>(y)};
    if (in_path(*dc)) {
        Dc_Drawing& d = *dc->drawing;
        if (!d.figure_open || d.figures.empty()) {
            path_add(*dc, {a});
            d.figure_open = true;
        }
        d.figures.back().points.push_back(b);
        return TRUE;
    }
    if (Surface* s = target_of(*dc)) render(*dc, *s, {}, {Figure{{a, b}, false}});
    return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* pts, int n)
{
    Dc* dc = find_dc(hdc);
    if (!dc || !pts || n < 2) return FALSE;
    record_call(*dc, "Polyline", point_args(pts, static_cast<std::size_t>(n)));
    auto v = to_points(pts, static_cast<std::size_t>(n));
    if (in_path(*dc)) {
        path_add(*dc, std::move(v));
        return TRUE;
    }
    if (Surface* s = target_of(*dc)) render(*dc, *s, {}, {Figure{std::move(v), false}});
    return TRUE;
}

BOOL Polygon(HDC hdc, const POINT* pts, int n)
{
    Dc* dc = find_dc(hdc);
    if (!dc || !pts || n < 2) return FALSE;
    record_call(*dc, "Polygon", point_args(pts, static_cast<std::size_t>(n)));
    auto v = to_points(pts, static_cast<std::size_t>(n));
    if (in_path(*dc)) {
        path_add(*dc, std::move(v));
        return TRUE;
    }
    if (Surface* s = target_of(*dc)) render(*dc, *s, {v}, {Figure{v, true}});
    return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return FALSE;
    record_call(*dc, "Rectangle", {left, top, right, bottom});
    long long l = left, t = top, r = right, b = bottom;
    normalise(l, t, r, b);
    if (r - l < 1 || b - t < 1) return TRUE;
    auto d = [](long long v) { return static_cast<double>(v); };
    const std::vector<Dpoint> outline{{d(l), d(t)}, {d(r - 1), d(t)}, {d(r - 1), d(b - 1)}, {d(l), d(b - 1)}};
    if (in_path(*dc)) {
        path_add(*dc, outline);
        return TRUE;
    }
    if (Surface* s = target_of(*dc)) {
        const std::vector<Dpoint> area{{d(l), d(t)}, {d(r), d(t)}, {d(r), d(b)}, {d(l), d(b)}};
        render(*dc, *s, {area}, {Figure{outline, true}});
    }
    return TRUE;
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return FALSE;
    record_call(*dc, "Ellipse", {left, top, right, bottom});
    long long l = left, t = top, r = right, b = bottom;
    normalise(l, t, r, b);
    if (r - l < 1 || b - t < 1) return TRUE;
    // The outline runs through the centres of the border pixels, the fill takes the pixels
    // whose centres are inside the ellipse that touches the rectangle's edges.
    const Dpoint oc{(l + r - 1) / 2.0, (t + b - 1) / 2.0};
    auto outline = ellipse_points(oc, (r - l - 1) / 2.0, (b - t - 1) / 2.0, 0, 2 * pi);
    outline.pop_back();
    if (in_path(*dc)) {
        path_add(*dc, std::move(outline));
        return TRUE;
    }
    if (Surface* s = target_of(*dc)) {
        auto area = ellipse_points(Dpoint{(l + r) / 2.0, (t + b) / 2.0}, (r - l) / 2.0, (b - t) / 2.0, 0, 2 * pi);
        area.pop_back();
        render(*dc, *s, {area}, {Figure{std::move(outline), true}});
    }
    return TRUE;
}

BOOL Arc(HDC hdc, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return FALSE;
    record_call(*dc, "Arc", {left, top, right, bottom, xs, ys, xe, ye});
    long long l = left, t = top, r = right, b = bottom;
    normalise(l, t, r, b);
    if (r - l < 1 || b - t < 1) return TRUE;
    const Dpoint c{(l + r - 1) / 2.0, (t + b - 1) / 2.0};
    const double a = (r - l - 1) / 2.0, bb = (b - t - 1) / 2.0;
    const double ts = ray_parameter(std::max(a, 0.5), std::max(bb, 0.5), xs - c.x, ys - c.y);
    const double te = ray_parameter(std::max(a, 0.5), std::max(bb, 0.5), xe - c.x, ye - c.y);
    double sweep = te - ts;
    if (sweep <= 0) sweep += 2 * pi;
    const bool whole = ts == te;
    if (whole) sweep = 2 * pi;
    // The whole ellipse takes the same points as Ellipse's outline.
    auto pts = ellipse_points(c, a, bb, whole ? 0.0 : ts, sweep);
    if (whole) pts.pop_back();
    if (in_path(*dc)) {
        path_add(*dc, std::move(pts));
        return TRUE;
    }
    if (Surface* s = target_of(*dc)) render(*dc, *s, {}, {Figure{std::move(pts), whole}});
    return TRUE;
}

BOOL PolyBezier(HDC hdc, const POINT* pts, DWORD n)
{
    Dc* dc = find_dc(hdc);
    if (!dc || !pts || n < 4 || (n - 1) % 3 != 0) return FALSE;
    record_call(*dc, "PolyBezier", point_args(pts, n));
    auto v = bezier_points(pts, n);
    if (in_path(*dc)) {
        path_add(*dc, std::move(v));
        return TRUE;
    }
    if (Surface* s = target_of(*dc)) render(*dc, *s, {}, {Figure{std::move(v), false}});
    return TRUE;
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    Dc* dc = find_dc(hdc);
    const Brush* b = find<Brush>(brush);
    if (!dc || !rect || !b) return 0;
    record_call(*dc, "FillRect", {rect->left, rect->top, rect->right, rect->bottom});
    Surface* s = target_of(*dc);
    if (!s) return 1;
    const Pixel_Box box = drawable_box(*dc, *s);
    const long long l = std::max<long long>(rect->left, box.x0), t = std::max<long long>(rect->top, box.y0);
    const long long r = std::min<long long>(rect->right, box.x1), bt = std::min<long long>(rect->bottom, box.y1);
    const Brush_Values bv(*b, *dc, *s);
    for (long long y = t; y < bt; ++y)
        for (long long x = l; x < r; ++x) {
            std::uint32_t v;
            if (bv.at(static_cast<int>(x), static_cast<int>(y), v))
                s->put_value(static_cast<int>(x), static_cast<int>(y), v);
        }
    return 1;
}

BOOL BeginPath(HDC hdc)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return FALSE;
    record_call(*dc, "BeginPath", {});
    Dc_Drawing& d = drawing_of(*dc);
    d.figures.clear();
    d.path_open = true;
    d.path_ready = false;
    d.figure_open = false;
    return TRUE;
}

BOOL EndPath(HDC hdc)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return FALSE;
    record_call(*dc, "EndPath", {});
    if (!in_path(*dc)) return FALSE;
    dc->drawing->path_open = false;
    dc->drawing->path_ready = true;
    dc->drawing->figure_open = false;
    return TRUE;
}

BOOL StrokeAndFillPath(HDC hdc)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return FALSE;
    record_call(*dc, "StrokeAndFillPath", {});
    if (!dc->drawing || !dc->drawing->path_ready) return FALSE;
    Dc_Drawing& d = *dc->drawing;
    std::vector<std::vector<Dpoint>> rings;
    std::vector<Figure> figures;
    for (Path_Figure& f : d.figures) {
        rings.push_back(f.points);
        figures.push_back(Figure{std::move(f.points), true});
    }
    d.figures.clear();
    d.path_ready = false;
    if (Surface* s = target_of(*dc)) render(*dc, *s, rings, figures);
    return TRUE;
}
