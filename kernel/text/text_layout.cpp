#include "kernel/text/text_layout.h"

#include <cmath>
#include <vector>

#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"
#include "geometry/transform.h"
#include "kernel/database/code_page_p.h"
#include "kernel/display/draw_node.h"
#include "kernel/text/font_library.h"
#include "kernel/text/text_style.h"
#include "kernel/text/text_layout_p.h"

namespace {

// One code of the text as the walk reads it.
struct Step {
    enum Kind { Byte, Double_Byte, Percent, Unicode, Mbcs, Backslash } kind = Byte;
    unsigned long code = 0;
    // Which library draws it: the main font, the big font (nothing without one), or the big
    // font when there is one and else the main font.
    enum Lib { Main, Big, Big_Or_Main } lib = Main;
    // The UTF-16 unit of a \U+ code.
    char16_t unit = 0;
    int length = 1;
};

bool is_hex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Up to four hexadecimal digits; the first other character ends the number, and no digit
// gives 0.
unsigned long read_hex4(const char* p)
{
    unsigned long v = 0;
    for (int i = 0; i < 4 && is_hex(p[i]); ++i) {
        const char c = p[i];
        v = v * 16 + static_cast<unsigned long>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return v;
}

// True when s[from..to] holds no terminator; read in order, so nothing past the first
// terminator is touched.
bool has_chars(const char* s, int from, int to)
{
    for (int i = from; i <= to; ++i)
        if (s[i] == '\0') return false;
    return true;
}

// The UTF-16 unit as the double-byte (or single-byte) code of the ANSI code page.
unsigned long unit_to_code(char16_t unit)
{
    char bytes[4] = {};
    const int n = utf16_to_ansi(&unit, 1, bytes, 3);
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    if (n >= 2) return b0 * 256UL + b1;
    // A one-byte result is that byte, never sign-widened.
    return n == 1 ? b0 : 0;
}

// Reads the code at s; false at the terminator and for a code cut short by it.
bool next_step(const char* s, bool ttf, Step& out)
{
    out = Step{};
    const auto c0 = static_cast<unsigned char>(s[0]);
    if (c0 == 0) return false;
    if (c0 >= 0x80) {
        if (s[1] == '\0') return false;
        out.kind = Step::Double_Byte;
        out.code = c0 * 256UL + static_cast<unsigned char>(s[1]);
        out.lib = ttf ? Step::Main : Step::Big;
        out.length = 2;
        return true;
    }
    if (c0 == '%' && s[1] == '%') {
        if (s[2] == '\0') return false;
        out.kind = Step::Percent;
        out.length = 3;
        switch (s[2]) {
        case '%': out.code = 37; break;
        case 'c':
        case 'C': out.code = 8709; break;
        case 'd':
        case 'D': out.code = 176; break;
        case 'p':
        case 'P': out.code = 177; break;
        default: out.code = 0; break;
        }
        return true;
    }
    if (c0 == '\\' && s[1] != '\0' && s[2] == '+') {
        switch (s[1]) {
        case 'M':
        case 'm':
            // The character after '+' (the code page's number) is skipped.
            if (!has_chars(s, 3, 7)) return false;
            out.kind = Step::Mbcs;
            out.code = read_hex4(s + 4);
            out.lib = ttf ? Step::Main : Step::Big_Or_Main;
            out.length = 8;
            return true;
        case 'U':
        case 'u':
            if (!has_chars(s, 3, 6)) return false;
            out.kind = Step::Unicode;
            out.unit = static_cast<char16_t>(read_hex4(s + 3));
            out.code = unit_to_code(out.unit);
            out.lib = ttf ? Step::Main : Step::Big_Or_Main;
            out.length = 7;
            return true;
        case 'S':
        case 's':
            if (ttf) break;
            out.kind = Step::Percent;
            out.code = 0;
            out.lib = Step::Big_Or_Main;
            out.length = 2;
            return true;
        default:
            break;
        }
        out.kind = Step::Backslash;
    }
    out.code = c0;
    return true;
}

// Walks text from pen, each code drawn by its library with (h, w, vertical).
void walk(const char* text, bool ttf, MB_Font_Library* main, MB_Font_Library* big, Qe_Pt& pen, double h, double w,
          bool vertical, Qe_Void_List& out)
{
    if (!text) return;
    Step step;
    for (const char* s = text; next_step(s, ttf, step); s += step.length) {
        MB_Font_Library* lib = main;
        if (step.lib == Step::Big) lib = big;
        if (step.lib == Step::Big_Or_Main) lib = big ? big : main;
        if (lib) (void)lib->char_2_ptlist(step.code, out, pen, h, w, vertical);
    }
}

// The glyph polylines of a walk, freed when it ends.
struct Glyph_Lists {
    Qe_Void_List lists;
    ~Glyph_Lists()
    {
        for (Qe_Void_Node* n = lists.head(); n; n = n->next()) delete static_cast<Qe_Pt_List*>(n->entity());
        lists.clear();
    }
};

bool is_ttf(const MB_Font_Library* lib)
{
    return lib && lib->font_type() == MB_Font_Library::TTF_FONT;
}

}  // namespace

namespace text_placement {

Runs pack(const Qe_Void_List& lists)
{
    Runs r;
    std::size_t total = 0;
    for (Qe_Void_Node* n = lists.head(); n; n = n->next())
        total += static_cast<std::size_t>(static_cast<Qe_Pt_List*>(n->entity())->count());
    r.points.reserve(total);
    for (Qe_Void_Node* n = lists.head(); n; n = n->next()) {
        const auto* l = static_cast<Qe_Pt_List*>(n->entity());
        mb_ulong k = 0;
        for (Qe_Pt_Node* p = l->head(); p; p = p->next(), ++k) r.points.push_back(*p);
        if (k) r.counts.push_back(k);
    }
    return r;
}

// About a point: T(-at), t, T(+at).
Qe_Tran about(const Qe_Pt& at, const Qe_Tran& t)
{
    const Qe_Vec v(at.x(), at.y(), at.z());
    return translate_transf(-v) * t * translate_transf(v);
}

void apply(Runs& r, const Qe_Tran& t)
{
    for (Qe_Pt& p : r.points) p = p * t;
}

void move(Runs& r, double dx, double dy)
{
    for (Qe_Pt& p : r.points) p = Qe_Pt(p.x() + dx, p.y() + dy, p.z());
}

Box box_of(const Runs& r)
{
    Box b{r.points[0].x(), r.points[0].x(), r.points[0].y(), r.points[0].y()};
    for (const Qe_Pt& p : r.points) {
        b.min_x = std::fmin(b.min_x, p.x());
        b.max_x = std::fmax(b.max_x, p.x());
        b.min_y = std::fmin(b.min_y, p.y());
        b.max_y = std::fmax(b.max_y, p.y());
    }
    return b;
}

// The runs become the node's and rect their bounds; false when the node cannot hold them.
bool store(const Runs& r, MB_Draw_Lines_Sets* node, Qe_Rect* rect)
{
    if (!node->init(static_cast<mb_ulong>(r.counts.size()), r.counts.data(), r.points.data())) return false;
    rect->init_by_pts(static_cast<int>(r.points.size()), r.points.data());
    return true;
}

// Moves the runs so that the style's alignment point of their box lies on base, then
// mirrors them about base as the style says.
void align_and_mirror(Runs& r, const Qe_Pt& base, const MB_Text_Style* style)
{
    const Box b = box_of(r);
    double ax = base.x(), ay = base.y();
    switch (style->ali_flag()) {
    case 2:
        ax = b.min_x + (b.max_x - b.min_x) / 2.0;
        ay = b.max_y + (b.min_y - b.max_y) / 2.0;
        break;
    case 32:
        ax = b.min_x;
        ay = b.max_y;
        break;
    case 4096:
        ax = (b.min_x + b.max_x) / 2.0;
        ay = b.min_y;
        break;
    case 8192:
        ax = b.max_x;
        ay = b.min_y;
        break;
    default: break;
    }
    move(r, base.x() - ax, base.y() - ay);

    const double a = style->angle();
    if (style->font_style() & MB_Text_Style::Mirror_Across_Direction)
        apply(r, about(base, reflect_transf(Qe_Vec(std::cos(a), std::sin(a), 0.0))));
    if (style->font_style() & MB_Text_Style::Mirror_Across_Normal)
        apply(r, about(base, reflect_transf(Qe_Vec(std::cos(a + M_PI * 0.5), std::sin(a + M_PI * 0.5), 0.0))));
}

}  // namespace text_placement

using namespace text_placement;

bool ttf_string_2_ptlist(const char* text, Qe_Pt& pen, MB_Text_Style* style, MB_Font_Library* font,
                         Qe_Void_List& out)
{
    if (!style || !font) return true;
    walk(text, true, font, nullptr, pen, style->height(), style->width_scale(),
         (style->font_style() & MB_Text_Style::Vertical) != 0, out);
    return true;
}

bool string_2_ptsets(const char* text, const Qe_Pt& base, MB_Text_Style* style, MB_Draw_Lines_Sets* node,
                     Qe_Rect* rect)
{
    if (!text || !style || !node || !rect || !style->font_lib()) return false;
    MB_Font_Library* main = style->font_lib();
    const bool ttf = is_ttf(main);
    const double h = style->height();
    const double w = style->width_scale();
    const bool vertical = (style->font_style() & MB_Text_Style::Vertical) != 0;

    Glyph_Lists glyphs;
    Qe_Pt pen = base;
    if (ttf)
        (void)ttf_string_2_ptlist(text, pen, style, main, glyphs.lists);
    else
        walk(text, false, main, style->big_font_lib(), pen, h, w, vertical, glyphs.lists);
    Runs r = pack(glyphs.lists);
    if (r.points.empty()) return false;

    // A TrueType font stretches only its spaces by the width scale: the whole text is
    // stretched here. The other fonts took the width factor per glyph.
    const Qe_Tran stretch = ttf ? scale_transf(w, 1.0, 0.0) : Qe_Tran();
    if (style->oblique_angle() > 0.0) {
        const double t = std::tan(style->oblique_angle());
        for (Qe_Pt& p : r.points) p = Qe_Pt(p.x() + (p.y() - base.y()) * t, p.y(), p.z());
    }
    apply(r, about(base, stretch * rotate_transf(style->angle(), Qe_Vec(0.0, 0.0, 1.0))));
    // The vertical shift is along the drawing's axes, whatever the angle.
    if (vertical) move(r, -h * w * 0.5, -h);

    align_and_mirror(r, base, style);
    return store(r, node, rect);
}

bool string_2_ptsets_by_bound(const char* text, const Qe_Pt* frame, MB_Text_Style* style, MB_Draw_Lines_Sets* node,
                              Qe_Rect* rect)
{
    if (!text || !frame || !style || !node || !rect || !style->font_lib()) return false;
    MB_Font_Library* main = style->font_lib();
    const Qe_Pt& p0 = frame[0];
    const double length = (frame[1] - p0).len();
    const double height = (frame[3] - p0).len();

    Glyph_Lists glyphs;
    Qe_Pt pen = p0;
    if (is_ttf(main))
        (void)ttf_string_2_ptlist(text, pen, style, main, glyphs.lists);
    else
        walk(text, false, main, style->big_font_lib(), pen, height, style->width_scale(), false, glyphs.lists);
    Runs r = pack(glyphs.lists);
    if (r.points.empty()) return false;

    // A box without width or height (one straight stroke) keeps that axis as it is.
    const Box b = box_of(r);
    const double bw = b.max_x - b.min_x;
    const double bh = b.max_y - b.min_y;
    const double sx = bw > 0.0 ? length / bw : 1.0;
    const double sy = bh > 0.0 ? height / bh : 1.0;
    const Qe_Vec dir = frame[1] - p0;
    const double angle =
        dir.len() > 0.0 ? angle_between(Qe_Uvec(1.0, 0.0, 0.0), normalise(dir), Qe_Uvec(0.0, 0.0, 1.0)) : 0.0;
    apply(r, about(p0, scale_transf(sx, sy, 1.0) * rotate_transf(angle, Qe_Vec(0.0, 0.0, 1.0))));
    return store(r, node, rect);
}

std::u16string mb_text_to_utf16(const char* text)
{
    std::u16string out;
    if (!text) return out;
    auto narrow = [&out](unsigned long code) {
        char bytes[2];
        int n = 0;
        if (code > 0xFF) bytes[n++] = static_cast<char>((code >> 8) & 0xFF);
        bytes[n++] = static_cast<char>(code & 0xFF);
        char16_t units[2];
        const int k = ansi_to_utf16(bytes, n, units, 2);
        out.append(units, static_cast<std::size_t>(k));
    };
    Step step;
    for (const char* s = text; next_step(s, true, step); s += step.length) {
        switch (step.kind) {
        case Step::Percent:
            if (step.code == 37) out += u'%';
            if (step.code == 176) out += u'\u00B0';
            if (step.code == 177) out += u'\u00B1';
            if (step.code == 8709) out += u'\u2205';
            break;
        case Step::Unicode: out += step.unit; break;
        case Step::Backslash: out += u'\\'; break;
        case Step::Byte:
            if (step.code < 0x80)
                out += static_cast<char16_t>(step.code);
            else
                narrow(step.code);
            break;
        case Step::Double_Byte:
        case Step::Mbcs: narrow(step.code); break;
        }
    }
    return out;
}
