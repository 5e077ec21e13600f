// Builds the default SHX fonts of the kernel:
//   txt.shx    shape font: printable ASCII from the Hershey simplex Roman glyphs, and the
//              degree (176), plus-minus (177) and diameter (8709) signs composed of them;
//   gdt.shx    the same Latin set under the tolerance-symbol font's name;
//   hztxt.shx  big font: the full-width forms A3A1-A3FE from the same glyphs, the
//              ideographic space A1A1, and every other GBK double-byte code that the given
//              TrueType font covers, its outlines flattened into closed strokes.
// Usage: make_default_fonts <simplex-roman.jhf> <cjk-font file> <output folder>
// The output depends only on its inputs: no clock, no randomness, fixed iteration order.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/shx_writer.h"

namespace {

using shx_writer::Bytes;
using Point = std::pair<int, int>;
using Stroke = std::vector<Point>;

struct Glyph {
    int left = 0, right = 0;
    std::vector<Stroke> strokes;  // Hershey coordinates: y grows downwards
};

// Hershey glyph records: number (5), vertex count (3), then count pairs of characters, each
// less 'R'; the first pair is the left and right bearing, " R" lifts the pen. A record may
// continue on the next lines.
bool read_jhf(const std::string& path, std::vector<Glyph>& out)
{
    std::ifstream in(path);
    if (!in) return false;
    std::string line, rec;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        rec += line;
        if (rec.size() < 8) continue;
        const int count = std::atoi(rec.substr(5, 3).c_str());
        if (count < 1) return false;
        if (rec.size() < 8 + 2 * std::size_t(count)) continue;
        Glyph g;
        g.left = rec[8] - 'R';
        g.right = rec[9] - 'R';
        Stroke s;
        for (int k = 1; k < count; ++k) {
            const char a = rec[8 + 2 * k], b = rec[9 + 2 * k];
            if (a == ' ' && b == 'R') {
                if (!s.empty()) g.strokes.push_back(std::move(s));
                s.clear();
                continue;
            }
            s.push_back({a - 'R', b - 'R'});
        }
        if (!s.empty()) g.strokes.push_back(std::move(s));
        out.push_back(std::move(g));
        rec.clear();
    }
    return out.size() == 96;
}

// Shape code builder: integer positions, pen-up moves and strokes as displacements (code 8),
// or, in the compact form used for the big font, short axis and diagonal moves as vector bytes.
class Encoder {
public:
    explicit Encoder(bool compact) : compact_(compact) {}

    void op(std::uint8_t b) { code_.push_back(b); }
    void move_to(Point p)
    {
        step(p.first - x_, p.second - y_);
        x_ = p.first;
        y_ = p.second;
    }
    void stroke(const Stroke& s)
    {
        if (s.size() < 2) return;
        move_to(s[0]);
        op(1);
        for (std::size_t i = 1; i < s.size(); ++i) move_to(s[i]);
        op(2);
    }
    // Ends with a pen-up move to the advance on the baseline: the decoder's advance is the
    // largest x reached.
    Bytes finish(int advance)
    {
        move_to({advance, 0});
        op(0);
        return code_;
    }

private:
    void step(int dx, int dy)
    {
        while (dx != 0 || dy != 0) {
            const int sx = std::max(-127, std::min(127, dx)), sy = std::max(-127, std::min(127, dy));
            const int ax = std::abs(sx), ay = std::abs(sy);
            if (compact_ && (ax == 0 || ay == 0 || ax == ay) && std::max(ax, ay) <= 15) {
                static const int dirs[3][3] = {{10, 12, 14}, {8, -1, 0}, {6, 4, 2}};
                const int d = dirs[(sy > 0) - (sy < 0) + 1][(sx > 0) - (sx < 0) + 1];
                op(static_cast<std::uint8_t>(std::max(ax, ay) << 4 | d));
            } else {
                op(8);
                op(static_cast<std::uint8_t>(static_cast<std::int8_t>(sx)));
                op(static_cast<std::uint8_t>(static_cast<std::int8_t>(sy)));
            }
            dx -= sx;
            dy -= sy;
        }
    }

    bool compact_;
    int x_ = 0, y_ = 0;
    Bytes code_;
};

// The simplex Roman baseline is at Hershey y 9 and capitals reach up to -12: 21 units.
constexpr int k_baseline = 9;
constexpr int k_cap = 21;

// A Hershey glyph in shape units (y up, origin at the left bearing on the baseline), times
// mul, shifted by (dx, dy).
std::vector<Stroke> placed(const Glyph& g, int mul, int dx, int dy)
{
    std::vector<Stroke> out;
    for (const Stroke& s : g.strokes) {
        Stroke t;
        for (const Point& p : s) t.push_back({(p.first - g.left) * mul + dx, (k_baseline - p.second) * mul + dy});
        out.push_back(std::move(t));
    }
    return out;
}

struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -(1 << 30), y1 = -(1 << 30);
};

Box box_of(const std::vector<Stroke>& strokes)
{
    Box b;
    for (const Stroke& s : strokes)
        for (const Point& p : s) {
            b.x0 = std::min(b.x0, p.first);
            b.x1 = std::max(b.x1, p.first);
            b.y0 = std::min(b.y0, p.second);
            b.y1 = std::max(b.y1, p.second);
        }
    return b;
}

Bytes encode(const std::vector<Stroke>& strokes, int advance, bool half_units)
{
    Encoder e(false);
    // Composed signs are drawn in half units: code 3 divides the following lengths by 2.
    if (half_units) {
        e.op(3);
        e.op(2);
    }
    for (const Stroke& s : strokes) e.stroke(s);
    return e.finish(advance);
}

std::vector<shx_writer::Shape> latin_shapes(const std::vector<Glyph>& g)
{
    std::vector<shx_writer::Shape> shapes;
    for (int c = 32; c < 127; ++c) {
        const Glyph& gl = g[c - 32];
        shapes.push_back({unsigned(c), "", encode(placed(gl, 1, 0, 0), gl.right - gl.left, false)});
    }
    auto add = [&](unsigned number, std::vector<Stroke> strokes, int advance) {
        shapes.push_back({number, "", encode(strokes, advance, true)});
    };
    {  // degree: the small o at half size, its top on the capital height
        const Glyph& o = g['o' - 32];
        std::vector<Stroke> s = placed(o, 1, 2, 0);
        const Box b = box_of(s);
        for (Stroke& st : s)
            for (Point& p : st) p.second += 2 * k_cap - b.y1;
        add(176, s, (o.right - o.left) + 4);
    }
    {  // plus-minus: the plus raised, with a copy of its bar on the baseline
        const Glyph& plus = g['+' - 32];
        std::vector<Stroke> s = placed(plus, 2, 0, 0);
        const Box b = box_of(s);
        for (Stroke& st : s)
            for (Point& p : st) p.second += 6 - b.y0;
        Stroke bar;
        for (const Stroke& st : s)
            if (st.size() == 2 && st[0].second == st[1].second) bar = {{st[0].first, 0}, {st[1].first, 0}};
        if (!bar.empty()) s.push_back(bar);
        add(177, s, 2 * (plus.right - plus.left));
    }
    {  // diameter: the capital O crossed by a stroke from below its left to above its right
        const Glyph& o = g['O' - 32];
        std::vector<Stroke> s = placed(o, 2, 0, 0);
        const Box b = box_of(s);
        s.push_back({{b.x0 - 2, b.y0 - 2}, {b.x1 + 2, b.y1 + 2}});
        add(8709, s, 2 * (o.right - o.left));
    }
    return shapes;
}

// ---- the big font ----

// Big-font units: three times the Hershey units, so the full-width Latin forms are exact.
constexpr int k_big_scale = 3;
constexpr int k_big_above = k_cap * k_big_scale;

struct Outline_Sink {
    double scale = 1.0, y0 = 0.0;
    std::vector<std::vector<Point>> contours;
    double cx = 0.0, cy = 0.0;  // last point, font units

    void add(double x, double y)
    {
        const Point p{int(std::lround(x * scale)), int(std::lround((y - y0) * scale))};
        auto& c = contours.back();
        if (c.empty() || c.back() != p) c.push_back(p);
        cx = x;
        cy = y;
    }
};

int ft_move(const FT_Vector* to, void* user)
{
    auto* s = static_cast<Outline_Sink*>(user);
    s->contours.emplace_back();
    s->add(to->x, to->y);
    return 0;
}

int ft_line(const FT_Vector* to, void* user)
{
    static_cast<Outline_Sink*>(user)->add(to->x, to->y);
    return 0;
}

int ft_conic(const FT_Vector* c, const FT_Vector* to, void* user)
{
    auto* s = static_cast<Outline_Sink*>(user);
    const double x0 = s->cx, y0 = s->cy;
    for (int k = 1; k <= 4; ++k) {
        const double u = k / 4.0, v = 1.0 - u;
        s->add(v * v * x0 + 2 * u * v * c->x + u * u * to->x, v * v * y0 + 2 * u * v * c->y + u * u * to->y);
    }
    return 0;
}

int ft_cubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user)
{
    auto* s = static_cast<Outline_Sink*>(user);
    const double x0 = s->cx, y0 = s->cy;
    for (int k = 1; k <= 6; ++k) {
        const double u = k / 6.0, v = 1.0 - u;
        s->add(v * v * v * x0 + 3 * u * v * v * c1->x + 3 * u * u * v * c2->x + u * u * u * to->x,
               v * v * v * y0 + 3 * u * v * v * c1->y + 3 * u * u * v * c2->y + u * u * u * to->y);
    }
    return 0;
}

// Drops points on the straight line between their neighbours (exact integer test).
std::vector<Point> simplified(const std::vector<Point>& c)
{
    std::vector<Point> out;
    for (const Point& p : c) {
        while (out.size() >= 2) {
            const Point& a = out[out.size() - 2];
            const Point& b = out.back();
            const long cross = long(b.first - a.first) * (p.second - a.second) - long(b.second - a.second) * (p.first - a.first);
            const long dot = long(b.first - a.first) * (p.first - b.first) + long(b.second - a.second) * (p.second - b.second);
            if (cross == 0 && dot >= 0)
                out.pop_back();
            else
                break;
        }
        out.push_back(p);
    }
    return out;
}

// The Unicode scalar of a GBK double-byte code, or 0 when it has none.
std::uint32_t gbk_to_unicode(iconv_t cd, unsigned code)
{
    char in[2] = {char(code >> 8), char(code & 0xFF)};
    std::uint32_t out = 0;
    char* ip = in;
    char* op = reinterpret_cast<char*>(&out);
    std::size_t il = 2, ol = 4;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == std::size_t(-1) || il != 0 || ol != 0) return 0;
    return out;
}

bool cjk_shapes(const std::string& font, const std::vector<Glyph>& latin, std::vector<shx_writer::Shape>& shapes,
                std::size_t& covered)
{
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib)) return false;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, font.c_str(), 0, &face)) {
        FT_Done_FreeType(lib);
        return false;
    }
    iconv_t cd = iconv_open("UTF-32LE", "GBK");
    bool ok = cd != iconv_t(-1);
    const FT_Int32 flags = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;
    // The ideograph 国 (U+56FD) sets the scale: its box spans the big font's height, its
    // bottom on the baseline.
    double scale = 1.0, y0 = 0.0;
    int cell = 0;
    if (ok) {
        const FT_UInt ref = FT_Get_Char_Index(face, 0x56FD);
        ok = ref && !FT_Load_Glyph(face, ref, flags) && face->glyph->format == FT_GLYPH_FORMAT_OUTLINE;
        if (ok) {
            FT_BBox b;
            FT_Outline_Get_CBox(&face->glyph->outline, &b);
            ok = b.yMax > b.yMin;
            scale = double(k_big_above) / double(b.yMax - b.yMin);
            y0 = double(b.yMin);
            cell = int(std::lround(face->glyph->advance.x * scale));
        }
    }
    FT_Outline_Funcs funcs{};
    funcs.move_to = ft_move;
    funcs.line_to = ft_line;
    funcs.conic_to = ft_conic;
    funcs.cubic_to = ft_cubic;
    for (unsigned lead = 0x81; ok && lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            const unsigned code = lead << 8 | trail;
            if (code == 0xA1A1) {  // the ideographic space draws nothing and keeps its cell
                Encoder e(true);
                shapes.push_back({code, "", e.finish(cell)});
                continue;
            }
            if (code >= 0xA3A1 && code <= 0xA3FE) {  // full-width Latin, centred in the cell
                const Glyph& g = latin[code - 0xA3A1 + 1];
                const int width = (g.right - g.left) * k_big_scale;
                Encoder e(true);
                for (const Stroke& s : placed(g, k_big_scale, (cell - width) / 2, 0)) e.stroke(s);
                shapes.push_back({code, "", e.finish(cell)});
                continue;
            }
            const std::uint32_t u = gbk_to_unicode(cd, code);
            if (!u) continue;
            const FT_UInt gi = FT_Get_Char_Index(face, u);
            if (!gi || FT_Load_Glyph(face, gi, flags) || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) continue;
            Outline_Sink sink;
            sink.scale = scale;
            sink.y0 = y0;
            if (FT_Outline_Decompose(&face->glyph->outline, &funcs, &sink)) continue;
            Encoder e(true);
            for (auto& c : sink.contours) {
                if (c.size() < 2) continue;
                if (c.front() != c.back()) c.push_back(c.front());  // each contour a closed stroke
                const std::vector<Point> s = simplified(c);
                if (s.size() >= 3) e.stroke(s);
            }
            Bytes code_bytes = e.finish(int(std::lround(face->glyph->advance.x * scale)));
            if (code_bytes.size() > 60000) continue;
            shapes.push_back({code, "", std::move(code_bytes)});
            ++covered;
        }
    }
    if (cd != iconv_t(-1)) iconv_close(cd);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_default_fonts <simplex-roman.jhf> <cjk-font file> <output folder>\n");
        return 2;
    }
    std::vector<Glyph> latin;
    if (!read_jhf(argv[1], latin)) {
        std::fprintf(stderr, "make_default_fonts: cannot read the 96 glyphs of %s\n", argv[1]);
        return 1;
    }
    const std::string dir = std::string(argv[3]) + "/";
    const std::vector<shx_writer::Shape> shapes = latin_shapes(latin);
    shx_writer::Font_Info txt{"txt", k_cap, 7, 0};
    shx_writer::Font_Info gdt{"gdt", k_cap, 7, 0};
    std::vector<shx_writer::Shape> big;
    std::size_t covered = 0;
    if (!cjk_shapes(argv[2], latin, big, covered)) {
        std::fprintf(stderr, "make_default_fonts: cannot read the outlines of %s\n", argv[2]);
        return 1;
    }
    shx_writer::Font_Info hz{"hztxt", k_big_above, 0, 0};
    if (!shx_writer::write_file(dir + "txt.shx", shx_writer::shapes_file(txt, shapes)) ||
        !shx_writer::write_file(dir + "gdt.shx", shx_writer::shapes_file(gdt, shapes)) ||
        !shx_writer::write_file(dir + "hztxt.shx", shx_writer::big_font(hz, big))) {
        std::fprintf(stderr, "make_default_fonts: cannot write into %s\n", argv[3]);
        return 1;
    }
    std::printf("make_default_fonts: txt.shx and gdt.shx %zu shapes, hztxt.shx %zu shapes (%zu from %s)\n",
                shapes.size(), big.size(), covered, argv[2]);
    return 0;
}
