// Texts: the STYLE entries of the texts' styles, and single-line texts, multi-line texts and
// tolerance frames in their DXF forms.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_set>

#include "Drakmere.h"
#include "plugins/gressil/dxf_export.h"
#include "plugins/gressil/dxf_export_p.h"
#include "plugins/gressil/dxf_mtext.h"

namespace {

// What makes two text styles one STYLE entry: name, fonts, width, oblique angle and layout.
std::string style_key(const std::string& name, const std::string& font, const std::string& big, double width,
                      double oblique, bool vertical)
{
    return name + '\n' + font + '\n' + big + '\n' + std::to_string(width) + '\n' + std::to_string(oblique) +
           (vertical ? "\nvertical" : "");
}

// "txt" of "txt.shx", "fonts/simsun" of "fonts/simsun.ttc".
std::string font_stem(const std::string& file)
{
    const std::size_t dot = file.rfind('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

std::string font_file_of(const MB_Font_Library* lib)
{
    const char* f = MB_Text_Style::record_font_name(lib);
    std::string out;
    for (const char* c = f ? f : ""; *c; ++c) out += (*c >= 0x20 && *c < 0x7F) ? *c : '_';
    return out;
}

}  // namespace

using dxf::table_name_of;
using dxf::unique_name;

double dxf::shown_oblique(const MB_Text_Style& style)
{
    return style.oblique_angle() > 0.0 ? style.oblique_angle() : 0.0;
}

void Dxf_Exporter::collect_text_style(const MB_Drawable& text, const MB_Text_Style& style, double width,
                                      double oblique, bool vertical, std::unordered_set<std::string>& names)
{
    const MB_String& own_name = style.name();
    const char16_t* units = own_name.unicode();
    const std::u16string_view name(units ? units : u"", units ? static_cast<std::size_t>(own_name.length()) : 0);
    // The same fonts, name and values make the same key, bit for bit.
    auto same = [&](const Text_Style_Seen& s) {
        return s.font == style.font_lib() && s.big_font == style.big_font_lib() &&
               std::memcmp(&s.width, &width, sizeof width) == 0 &&
               std::memcmp(&s.oblique, &oblique, sizeof oblique) == 0 && s.vertical == vertical && s.name == name;
    };
    for (const Text_Style_Seen& seen : m_text_styles_seen)
        if (same(seen)) {
            m_text_style_of[&text] = seen.entry;
            return;
        }
    const std::string font = font_file_of(style.font_lib());
    const std::string big = font_file_of(style.big_font_lib());
    // A text's own copy of its style carries no name of its own ("*..."): the entry is
    // named after its fonts.
    std::string raw = table_name_of(style.name(), "text");
    if (raw.empty() || raw.front() == '*' || raw.front() == '_')
        raw = font_stem(font) + (big.empty() ? "" : "_" + font_stem(big));
    if (raw.empty()) raw = "text";
    const std::string key = style_key(raw, font, big, width, oblique, vertical);
    auto it = m_text_style_index.find(key);
    if (it == m_text_style_index.end()) {
        it = m_text_style_index.emplace(key, m_text_styles.size()).first;
        m_text_styles.push_back({unique_name(raw, names), font, big, width, oblique, style.height(), vertical});
    }
    m_text_style_of[&text] = it->second;
    constexpr std::size_t k_seen = 8;
    Text_Style_Seen seen{style.font_lib(), style.big_font_lib(), width, oblique, vertical, std::u16string(name),
                         it->second};
    if (m_text_styles_seen.size() < k_seen)
        m_text_styles_seen.push_back(std::move(seen));
    else
        m_text_styles_seen[m_text_styles_seen_next++ % k_seen] = std::move(seen);
}

const std::string& Dxf_Exporter::text_style_name(const MB_Drawable& text) const
{
    static const std::string none;
    auto it = m_text_style_of.find(&text);
    return it == m_text_style_of.end() ? none : m_text_styles[it->second].name;
}

// A text as TEXT, as the kernel lays it out: its style (a vertical one for vertical text), its
// height, turn, width factor and slant, its mirrors (71: 2 backwards, 4 upside down) and its
// alignment by the glyphs' box as DXF's (72/73 and the alignment point 11: the box's centre
// middle-centre, its top left corner top-left, the middle of its bottom bottom-centre and its
// lower right corner bottom-right), with the insertion point on both points as DXF writers
// do for such alignments. A text fitted into a frame is DXF's fitted text between the ends of
// the frame's base line at the frame's height, the kernel's fitted layout having no slant,
// mirror or vertical layout. A text without a collected style, and one fitted into a frame
// without length or height, goes out as its display runs.
bool dxf::write_text(Dxf_Exporter& x, MB_Text& text, std::uint64_t owner)
{
    MB_Text_Style* style = text.text_style();
    const std::string& style_name = x.text_style_name(text);
    if (!style || style_name.empty()) return false;
    const MB_String& string = text.string();
    const char16_t* units = string.unicode();
    // Widened 8-bit text is padded with NULs up to its byte count.
    int n = 0;
    while (units && n < string.length() && units[n]) ++n;
    if (n == 0) return false;
    Qe_Pt first = text.base_pos(), second = first;
    double height = style->height(), rotation = style->angle(), oblique = dxf::shown_oblique(*style);
    int mirror = 0, horizontal = 0, vertical = 0;
    if (const Qe_Pt* frame = text.bound_pts()) {
        first = frame[0];
        second = frame[1];
        const Qe_Vec along = frame[1] - frame[0];
        height = (frame[3] - frame[0]).len();
        if (!(along.len() > 0.0) || !(height > 0.0)) return false;
        rotation = std::atan2(along.y(), along.x());
        oblique = 0.0;
        horizontal = 5;
    } else {
        if (style->font_style() & MB_Text_Style::Mirror_Across_Direction) mirror |= 2;
        if (style->font_style() & MB_Text_Style::Mirror_Across_Normal) mirror |= 4;
        switch (style->ali_flag()) {
        case 2: horizontal = 1, vertical = 2; break;
        case 32: vertical = 3; break;
        case 4096: horizontal = 1, vertical = 1; break;
        case 8192: horizontal = 2, vertical = 1; break;
        default: break;
        }
    }
    Dxf_Writer& w = x.out();
    x.entity_head("TEXT", text, owner);
    w.text(100, "AcDbText");
    x.write_thickness(text);
    w.point(10, first.x(), first.y(), first.z());
    w.real(40, height);
    w.text(1, dxf_escape(units, n));
    w.real(50, dxf::degrees(rotation));
    w.real(41, style->width_scale());
    w.real(51, dxf::degrees(oblique));
    w.text(7, style_name);
    if (mirror) w.integer(71, mirror);
    if (horizontal) w.integer(72, horizontal);
    if (horizontal || vertical) w.point(11, second.x(), second.y(), second.z());
    w.text(100, "AcDbText");
    if (vertical) w.integer(73, vertical);
    return true;
}

namespace {

// A long value goes out in chunks: groups 3 of up to 250 characters, then group 1 with the
// rest. Readers decode a \U+XXXX escape within its group: a chunk ends before an escape, never
// inside one, nor between a backslash and the character it escapes.
void chunked(Dxf_Writer& w, const std::string& value)
{
    constexpr std::size_t k_chunk = 250;
    const std::string_view v(value);
    std::size_t at = 0;
    while (v.size() - at > k_chunk) {
        std::size_t end = at;
        for (;;) {
            const std::size_t step = v[end] != '\\' ? 1 : v.compare(end, 3, "\\U+") == 0 ? 7 : 2;
            if (end + step - at > k_chunk) break;
            end += step;
        }
        w.text(3, v.substr(at, end - at));
        at = end;
    }
    w.text(1, v.substr(at));
}

}  // namespace

// A multi-line text as MTEXT: its string in MTEXT's codes (dxf_mtext_content), its insertion
// point, height, reference width, attachment point, drawing direction, line spacing and turn,
// in the STYLE of its own font. Readers lay it out by their own rules, which are not the
// kernel's; MTEXT has no mirror, so a mirrored text reads as written. One whose height is no
// height goes out as its runs.
bool dxf::write_mtext(Dxf_Exporter& x, MB_Mtext& m, std::uint64_t owner)
{
    const char* string = m.string();
    if (!string) return true;  // the kernel draws nothing either
    const std::string& style_name = x.text_style_name(m);
    const double height = m.base_ht();
    if (style_name.empty() || !std::isfinite(height) || !(height > 0.0)) return false;
    const std::string content = dxf_mtext_content(string, font_file_of(m.text_style()->font_lib()), height);
    const Qe_Pt& at = m.text_pos();
    // Attachment points out of 1 to 9 lay out as 1 (top left); DXF's line spacing factors
    // run from 0.25 to 4.
    const int attach = m.attachpt() >= 1 && m.attachpt() <= 9 ? m.attachpt() : 1;
    const int direction = m.drawdir() == 1 || m.drawdir() == 3 ? m.drawdir() : 5;
    const double factor = std::isfinite(m.linespacing_factor()) ? std::clamp(m.linespacing_factor(), 0.25, 4.0) : 1.0;
    Dxf_Writer& w = x.out();
    x.entity_head("MTEXT", m, owner);
    w.text(100, "AcDbMText");
    w.point(10, at.x(), at.y(), at.z());
    w.real(40, height);
    // An infinite reference width wraps nothing, as DXF's width 0.
    w.real(41, std::isfinite(m.width()) && m.width() > 0.0 ? m.width() : 0.0);
    w.integer(71, attach);
    w.integer(72, direction);
    chunked(w, content);
    w.text(7, style_name);
    w.real(50, dxf::degrees(m.direction_angle()));
    w.integer(73, m.linespacing_style() == 2 ? 2 : 1);
    w.real(44, factor);
    return true;
}

// A tolerance frame as TOLERANCE: its string in TOLERANCE's codes, which are the kernel's
// (dxf_tolerance_content), its position, which is where DXF places a frame too (the middle of
// the first row's left side), its angle as the direction of its x axis, and its text height
// as an override of the dimension style's (DIMTXT). One without a usable position or height
// goes out as its runs and lines.
bool dxf::write_tolerance(Dxf_Exporter& x, MB_Tolerance& frame, std::uint64_t owner)
{
    const std::string content = dxf_tolerance_content(frame.string());
    if (content.empty()) return true;  // nothing to draw
    const Qe_Pt& at = frame.text_pos();
    const double height = frame.height(), angle = frame.angle();
    if (!dxf::finite_point(at) || !std::isfinite(angle) || !std::isfinite(height) || !(height > 0.0)) return false;
    Dxf_Writer& w = x.out();
    x.entity_head("TOLERANCE", frame, owner);
    w.text(100, "AcDbFcf");
    w.text(3, "Standard");
    w.point(10, at.x(), at.y(), at.z());
    w.text(1, content);
    w.point(11, std::cos(angle), std::sin(angle), 0.0);
    w.text(1001, "ACAD");
    w.text(1000, "DSTYLE");
    w.text(1002, "{");
    w.integer(1070, 140);
    w.real(1040, height);
    w.text(1002, "}");
    return true;
}
