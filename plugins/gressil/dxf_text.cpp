// Texts: the STYLE entries of the texts' styles, and texts in their DXF form.

#include <cmath>
#include <numbers>
#include <unordered_set>

#include "Drakmere.h"
#include "plugins/gressil/dxf_export.h"
#include "plugins/gressil/dxf_export_p.h"

namespace {

// What makes two text styles one STYLE entry: name, fonts, width and oblique angle.
std::string style_key(const std::string& name, const std::string& font, const std::string& big, double width,
                      double oblique)
{
    return name + '\n' + font + '\n' + big + '\n' + std::to_string(width) + '\n' + std::to_string(oblique);
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

void Dxf_Exporter::collect_text_style(MB_Text& text, std::unordered_set<std::string>& names)
{
    MB_Text_Style* style = text.text_style();
    if (!style) return;
    const std::string font = font_file_of(style->font_lib());
    const std::string big = font_file_of(style->big_font_lib());
    // A text's own copy of its style carries no name of its own ("*..."): the entry is
    // named after its fonts.
    std::string raw = table_name_of(style->name(), "text");
    if (raw.empty() || raw.front() == '*' || raw.front() == '_') raw = font_stem(font) + (big.empty() ? "" : "_" + font_stem(big));
    if (raw.empty()) raw = "text";
    const std::string key = style_key(raw, font, big, style->width_scale(), style->oblique_angle());
    auto it = m_text_style_index.find(key);
    if (it == m_text_style_index.end()) {
        it = m_text_style_index.emplace(key, m_text_styles.size()).first;
        m_text_styles.push_back({unique_name(raw, names), font, big, style->width_scale(), style->oblique_angle(),
                                 style->height()});
    }
    m_text_style_of[&text] = it->second;
}

const std::string& Dxf_Exporter::text_style_name(const MB_Text& text) const
{
    static const std::string none;
    auto it = m_text_style_of.find(&text);
    return it == m_text_style_of.end() ? none : m_text_styles[it->second].name;
}

// A text as TEXT: left-aligned on its baseline, without a frame, mirror or vertical layout
// (the kernel aligns the other ways by the glyphs' own box, which DXF readers do not).
// Those, and texts without a collected style, go out as their display runs.
bool dxf::write_text(Dxf_Exporter& x, MB_Text& text, std::uint64_t owner)
{
    MB_Text_Style* style = text.text_style();
    const std::string& style_name = x.text_style_name(text);
    if (!style || style_name.empty() || text.bound_pts() || style->ali_flag() != 0 || style->font_style() != 0 ||
        style->oblique_angle() < 0.0)
        return false;
    const MB_String& string = text.string();
    const char16_t* units = string.unicode();
    // Widened 8-bit text is padded with NULs up to its byte count.
    int n = 0;
    while (units && n < string.length() && units[n]) ++n;
    if (n == 0) return false;
    const Qe_Pt& at = text.base_pos();
    Dxf_Writer& w = x.out();
    x.entity_head("TEXT", text, owner);
    w.text(100, "AcDbText");
    w.point(10, at.x(), at.y(), at.z());
    w.real(40, style->height());
    w.text(1, dxf_escape(units, n));
    w.real(50, style->angle() * 180.0 / std::numbers::pi);
    w.real(41, style->width_scale());
    w.real(51, style->oblique_angle() * 180.0 / std::numbers::pi);
    w.text(7, style_name);
    w.text(100, "AcDbText");
    return true;
}
