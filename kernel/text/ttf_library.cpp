#include "kernel/text/ttf_library.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "geometry/pt_list.h"
#include "geometry/ttf_name.h"
#include "kernel/stream/file_io.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/window.h"

namespace {

// Glyph heights are measured against this cell height; char_2_ptlist scales by height / 57,
// about the em of such a cell.
constexpr int k_cell_height = 80;
constexpr double k_glyph_scale = 0.017543859649122806;
constexpr double k_space_advance = 0.67;
constexpr double k_glyph_gap = 1.1;
constexpr unsigned long k_ideographic_space = 0xA1A1;

std::int32_t fixed_value(const FIXED& f)
{
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(f.value)) << 16) |
                                     f.fract);
}

FIXED to_fixed(std::int64_t v)
{
    const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
    return FIXED{static_cast<WORD>(u & 0xFFFF), static_cast<SHORT>(static_cast<std::uint16_t>(u >> 16))};
}

POINT to_point(const POINTFX& p) { return POINT{mb_fixed_to_long(p.x), mb_fixed_to_long(p.y)}; }

// The midpoint of two fixed points, each coordinate (a + b) / 2 truncated.
POINTFX midpoint(const POINTFX& a, const POINTFX& b)
{
    const auto mid = [](const FIXED& u, const FIXED& v) {
        return to_fixed((std::int64_t{fixed_value(u)} + fixed_value(v)) / 2);
    };
    return POINTFX{mid(a.x, b.x), mid(a.y, b.y)};
}

bool same(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }

// Reads a T at offset of the buffer; the caller has checked that it fits.
template <class T>
T read_at(const unsigned char* base, std::size_t offset)
{
    T v;
    std::memcpy(&v, base + offset, sizeof v);
    return v;
}

constexpr std::size_t k_curve_head = offsetof(TTPOLYCURVE, apfx);

}  // namespace

// ---- glyphs and the cache ----

MB_TTF_Char::~MB_TTF_Char()
{
    for (Qe_Void_Node* n = m_pts_list.head(); n; n = n->next()) delete static_cast<Qe_Pt_List*>(n->entity());
    m_pts_list.clear();
}

bool MB_TTF_Char_List::add_ttf_char(MB_TTF_Char* c)
{
    if (!c || c->prev() || c->next() || c == m_head) return false;
    c->prev(m_tail);
    if (m_tail)
        m_tail->next(c);
    else
        m_head = c;
    m_tail = c;
    m_by_code.try_emplace(c->index(), c);
    return true;
}

MB_TTF_Char* MB_TTF_Char_List::find(unsigned long code) const
{
    const auto it = m_by_code.find(code);
    return it == m_by_code.end() ? nullptr : it->second;
}

void MB_TTF_Char_List::kill_all()
{
    for (MB_TTF_Char* c = m_head; c;) {
        MB_TTF_Char* next = c->next();
        delete c;
        c = next;
    }
    m_head = m_tail = nullptr;
    m_by_code.clear();
}

// ---- outlines ----

LONG mb_fixed_to_long(const FIXED& f)
{
    const std::int32_t v = fixed_value(f);
    return static_cast<LONG>((v >> 16) + ((v >> 15) & 1));
}

int MakeBezierFromLine(std::vector<POINT>& out, POINT s, POINT e)
{
    out.insert(out.end(), {s, e, s, e});
    return 4;
}

int MakeBezierFromQBSpline(std::vector<POINT>& out, POINTFX p, POINTFX q, POINTFX r)
{
    const POINT a = to_point(p), b = to_point(q), c = to_point(r);
    const POINT c1{a.x + 2 * (b.x - a.x) / 3, a.y + 2 * (b.y - a.y) / 3};
    const POINT c2{b.x + (c.x - b.x) / 3, b.y + (c.y - b.y) / 3};
    out.insert(out.end(), {a, c1, c2, c});
    return 4;
}

int AppendPolyLineToBezier(std::vector<POINT>& out, POINTFX start, const POINTFX* pts, int count)
{
    int written = 0;
    std::vector<POINT> line;
    POINTFX current = start;
    for (int i = 0; pts && i < count; ++i) {
        line.clear();
        MakeBezierFromLine(line, to_point(current), to_point(pts[i]));
        out.insert(out.end(), line.begin() + 1, line.end());
        written += 3;
        current = pts[i];
    }
    return written;
}

int AppendQuadBSplineToBezier(std::vector<POINT>& out, POINTFX start, const POINTFX* pts, int count)
{
    int written = 0;
    std::vector<POINT> curve;
    POINTFX p = start;
    for (int i = 0; pts && i < count;) {
        const POINTFX q = pts[i];
        POINTFX r;
        if (i + 1 >= count) {
            // A record that ends on an off-curve point: the curve ends there.
            r = q;
            i += 1;
        } else if (i + 1 == count - 1) {
            r = pts[i + 1];
            i += 2;
        } else {
            r = midpoint(pts[i], pts[i + 1]);
            i += 1;
        }
        curve.clear();
        MakeBezierFromQBSpline(curve, p, q, r);
        out.insert(out.end(), curve.begin() + 1, curve.end());
        written += 3;
        p = r;
    }
    return written;
}

int CloseContour(std::vector<POINT>& out)
{
    if (out.empty()) return 0;
    std::vector<POINT> line;
    MakeBezierFromLine(line, out.back(), out.front());
    out.insert(out.end(), line.begin() + 1, line.end());
    return 3;
}

const MB_TTF_Outline::Contour* MB_TTF_Outline::GetContour(int i) const
{
    return i >= 0 && i < GetContourCount() ? &m_contours[static_cast<std::size_t>(i)] : nullptr;
}

int MB_TTF_Outline::Create(const TTPOLYGONHEADER* buffer, unsigned long size)
{
    const auto* base = reinterpret_cast<const unsigned char*>(buffer);
    if (!base) return 1;
    const std::size_t total = size;
    std::size_t pos = 0;
    std::vector<POINTFX> pts;
    while (total - pos >= sizeof(TTPOLYGONHEADER)) {
        const auto header = read_at<TTPOLYGONHEADER>(base, pos);
        if (header.dwType != TT_POLYGON_TYPE) break;
        // A polygon that claims more than the buffer holds, or less than its own header,
        // ends the walk: nothing after it can be trusted to start where it should.
        if (header.cb < sizeof(TTPOLYGONHEADER) || header.cb > total - pos) break;
        const std::size_t end = pos + header.cb;
        Contour contour{to_point(header.pfxStart)};
        POINTFX current = header.pfxStart;
        for (std::size_t r = pos + sizeof(TTPOLYGONHEADER); end - r >= k_curve_head;) {
            const WORD type = read_at<WORD>(base, r + offsetof(TTPOLYCURVE, wType));
            const WORD count = read_at<WORD>(base, r + offsetof(TTPOLYCURVE, cpfx));
            const std::size_t bytes = k_curve_head + std::size_t{count} * sizeof(POINTFX);
            if (count == 0 || bytes > end - r) break;
            pts.resize(count);
            std::memcpy(pts.data(), base + r + k_curve_head, std::size_t{count} * sizeof(POINTFX));
            if (type == TT_PRIM_LINE)
                AppendPolyLineToBezier(contour, current, pts.data(), count);
            else if (type == TT_PRIM_QSPLINE)
                AppendQuadBSplineToBezier(contour, current, pts.data(), count);
            // Records of other kinds are stepped over; the next starts where this one ended.
            current = pts.back();
            r += bytes;
        }
        if (!same(contour.back(), contour.front())) CloseContour(contour);
        for (POINT& p : contour) p.y = -p.y;
        m_contours.push_back(std::move(contour));
        pos = end;
    }
    return 1;
}

std::unique_ptr<MB_TTF_Outline> CreateOutline(HDC dc, long code)
{
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS metrics{};
    const auto c = static_cast<UINT>(code);
    const DWORD size = GetGlyphOutlineA(dc, c, GGO_NATIVE, &metrics, 0, nullptr, &identity);
    if (size == GDI_ERROR) return nullptr;
    auto outline = std::make_unique<MB_TTF_Outline>();
    if (size == 0) return outline;
    std::vector<unsigned char> buffer(size);
    if (GetGlyphOutlineA(dc, c, GGO_NATIVE, &metrics, size, buffer.data(), &identity) == GDI_ERROR) return nullptr;
    // The buffer is read bytewise, whatever its alignment.
    outline->Create(reinterpret_cast<const TTPOLYGONHEADER*>(buffer.data()), size);
    return outline;
}

std::unique_ptr<MB_TTF_Outline> CreateOutline(HDC dc, const char* text)
{
    if (!text || !text[0]) return nullptr;
    const auto b0 = static_cast<unsigned char>(text[0]);
    const long code = std::strlen(text) == 2 ? b0 * 256L + static_cast<unsigned char>(text[1]) : b0;
    return CreateOutline(dc, code);
}

void ttfrender_to_ptsets(HDC, const MB_TTF_Outline* outline, Qe_Void_List& out, Qe_Pt& extent)
{
    if (!outline) return;
    double max_x = 0.0, max_y = 0.0;
    for (int i = 0; i < outline->GetContourCount(); ++i) {
        auto* list = new Qe_Pt_List;
        for (const POINT& p : *outline->GetContour(i)) {
            const double x = p.x, y = -static_cast<double>(p.y);
            list->add_tail(Qe_Pt(x, y, 0.0));
            if (x > max_x) max_x = x;
            if (y > max_y) max_y = y;
        }
        out.add_tail(list);
    }
    extent = Qe_Pt(max_x, max_y, extent.z());
}

int draw_ttf_outline(HDC dc, const MB_TTF_Outline* outline, int x, int y)
{
    if (!outline) return 0;
    for (int i = 0; i < outline->GetContourCount(); ++i) {
        const MB_TTF_Outline::Contour& c = *outline->GetContour(i);
        for (std::size_t k = 0; k < c.size(); ++k) {
            const int px = static_cast<int>(c[k].x) + x, py = static_cast<int>(c[k].y) + y;
            if (k == 0)
                MoveToEx(dc, px, py, nullptr);
            else
                LineTo(dc, px, py);
        }
    }
    return outline->GetContourCount();
}

// ---- the library ----

MB_TTF_Library::MB_TTF_Library(const char* file)
{
    file_name(file);
    create_font_name();
}

void MB_TTF_Library::create_font_name()
{
    // The name reader leaves the buffer as it was when it finds no name.
    char face[ttf_face_name_size] = "Arial";
    (void)get_ttf_name_by_file(file_name(), face, sizeof face);
    name() = face;
}

MB_TTF_Char* MB_TTF_Library::create_ttf_char(unsigned short code)
{
    auto glyph = std::make_unique<MB_TTF_Char>(code);
    if (code == 32) return glyph.release();

    HDC dc = GetDC(nullptr);
    if (!dc) return nullptr;
    HFONT font = CreateFontA(k_cell_height, 0, 0, 0, 0, 0, 0, 0, DEFAULT_CHARSET, 3, 2, 1, 49, name().ascii());
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    const std::unique_ptr<MB_TTF_Outline> outline = font ? CreateOutline(dc, static_cast<long>(code)) : nullptr;
    Qe_Pt extent;
    ttfrender_to_ptsets(dc, outline.get(), glyph->pts_list(), extent);
    if (extent.y() > m_char_height) m_char_height = extent.y();
    if (extent.x() > m_max_width) m_max_width = extent.x();
    glyph->end_pos(Qe_Pt(extent.x(), extent.x() / 3.0, 0.0));
    if (old) SelectObject(dc, old);
    if (font) DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return glyph.release();
}

bool MB_TTF_Library::char_2_ptlist(unsigned long code, Qe_Void_List& out, Qe_Pt& pen, double height,
                                   double width_factor, bool vertical)
{
    if (code == 32 || code == k_ideographic_space) {
        const double g = height * width_factor * k_space_advance;
        if (vertical)
            pen = Qe_Pt(pen.x(), pen.y() - g, pen.z());
        else
            pen = Qe_Pt(pen.x() + g, pen.y(), pen.z());
        return true;
    }
    // Glyph codes are at most two bytes; anything wider cannot be a character of the face.
    if (code > 0xFFFF) return false;
    MB_TTF_Char* glyph = m_char_list.find(code);
    if (!glyph) {
        glyph = create_ttf_char(static_cast<unsigned short>(code));
        if (!glyph) return false;
        m_char_list.add_ttf_char(glyph);
    }
    if (!glyph->pts_list().head()) return true;

    const double s = height * k_glyph_scale;
    for (Qe_Void_Node* n = glyph->pts_list().head(); n; n = n->next()) {
        const auto* contour = static_cast<const Qe_Pt_List*>(n->entity());
        auto* placed = new Qe_Pt_List;
        for (const Qe_Pt_Node* p = contour->head(); p; p = p->next())
            placed->add_tail(Qe_Pt(p->x() * s + pen.x(), p->y() * s + pen.y(), p->z() * s + pen.z()));
        out.add_tail(placed);
    }
    pen = Qe_Pt(pen.x() + k_glyph_gap * glyph->end_pos().x() * s, pen.y(), 0.0);
    return true;
}

MB_Result MB_TTF_Library::serialize(MB_File_IO&)
{
    return MB_Result::Success;
}
