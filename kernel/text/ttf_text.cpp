#include "kernel/text/ttf_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "geometry/folders.h"
#include "geometry/pt_list.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/system_setting.h"
#include "kernel/display/draw_node.h"
#include "kernel/text/font_library.h"
#include "kernel/text/text_layout.h"
#include "kernel/text/text_layout_p.h"
#include "kernel/text/text_style.h"
#include "platform/font.h"

using namespace text_placement;

namespace {

// A 64 pixel em is 4096 outline units; 1.444 drawing units of height per 4096 units.
constexpr double k_unit_scale = 0.0003525390625;
constexpr FT_UInt k_pixel_size = 64;
constexpr int k_conic_step_setting = 23;
constexpr int k_max_conic_steps = 64;
constexpr std::size_t k_path_size = 4096;

// The kernel's Chinese face names, as the ANSI code page writes them: 宋体 and 新宋体.
constexpr const char* k_simsun_faces[] = {"\xCB\xCE\xCC\xE5", "\xD0\xC2\xCB\xCE\xCC\xE5"};

// Created on first use and kept for the life of the process.
FT_Library freetype()
{
    static FT_Library library = [] {
        FT_Library l = nullptr;
        return FT_Init_FreeType(&l) == 0 ? l : nullptr;
    }();
    return library;
}

struct Face_Closer {
    void operator()(FT_Face f) const { FT_Done_Face(f); }
};
using Face = std::unique_ptr<FT_FaceRec_, Face_Closer>;

bool readable(const std::string& path)
{
    std::FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "r");
    if (!f) return false;
    std::fclose(f);
    return true;
}

std::string ttf_path(const char* file)
{
    char path[k_path_size];
    return file && platform_ttf_file(file, path, sizeof path) > 0 ? std::string(path) : std::string();
}

// The face's file: SimSun for the two SimSun faces, else the library's own file; the
// default TrueType file when that cannot be read.
std::string face_path(const MB_Font_Library& lib)
{
    const char* face = lib.name().ascii();
    const bool simsun = face && std::any_of(std::begin(k_simsun_faces), std::end(k_simsun_faces),
                                            [&](const char* n) { return std::strcmp(face, n) == 0; });
    std::string path = ttf_path(simsun ? "SimSun.ttc" : lib.file_name());
    if (readable(path)) return path;
    char fallback[folder_buffer_size];
    return get_default_ttf_fname(fallback) ? ttf_path(fallback) : std::string();
}

struct Point2 {
    double x, y;
};

Point2 mid(Point2 a, Point2 b) { return {(a.x + b.x) * 0.5, (a.y + b.y) * 0.5}; }

// One contour of the loaded outline, from point first to point last, as a closed polyline:
// lines between on-curve points, each quadratic arc in `steps` points ending on its end.
void walk_contour(const FT_Outline& o, int first, int last, int steps, Qe_Pt_List& out)
{
    const auto at = [&](int i) { return Point2{double(o.points[i].x), double(o.points[i].y)}; };
    const auto on = [&](int i) { return (o.tags[i] & 1) != 0; };
    const auto add = [&](Point2 p) { out.add_tail(Qe_Pt(p.x, p.y, 0.0)); };

    if (on(first))
        add(at(first));
    else if (on(last))
        add(at(last));
    else
        add(mid(at(last), at(first)));
    for (int i = first; i <= last; ++i) {
        const int n = i == last ? first : i + 1;
        const int p = i == first ? last : i - 1;
        if (on(i)) {
            if (on(n)) add(at(n));
            continue;
        }
        const Point2 c = at(i);
        const Point2 p0 = on(p) ? at(p) : mid(at(p), c);
        const Point2 p2 = on(n) ? at(n) : mid(c, at(n));
        for (int k = 1; k <= steps; ++k) {
            const double u = double(k) / steps, v = 1.0 - u;
            add({v * v * p0.x + 2 * u * v * c.x + u * u * p2.x, v * v * p0.y + 2 * u * v * c.y + u * u * p2.y});
        }
    }
}

// The glyph polylines of every character, the pen moved by each glyph's advance.
struct Contours {
    Qe_Void_List lists;
    ~Contours()
    {
        for (Qe_Void_Node* n = lists.head(); n; n = n->next()) delete static_cast<Qe_Pt_List*>(n->entity());
        lists.clear();
    }
};

void walk_text(FT_Face face, const std::u16string& text, int steps, Contours& out)
{
    FT_Vector pen{0, 0};
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        FT_Set_Transform(face, nullptr, &pen);
        // A glyph that does not load leaves the previous one in the slot: it adds nothing,
        // not even its advance.
        if (FT_Load_Glyph(face, FT_Get_Char_Index(face, cp), FT_LOAD_DEFAULT) != 0) continue;
        const FT_GlyphSlot slot = face->glyph;
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            const FT_Outline& o = slot->outline;
            int first = 0;
            for (int c = 0; c < o.n_contours; ++c) {
                const int last = o.contours[c];
                if (last < first || last >= o.n_points) break;
                auto* list = new Qe_Pt_List;
                walk_contour(o, first, last, steps, *list);
                out.lists.add_tail(list);
                first = last + 1;
            }
        }
        pen.x += slot->advance.x;
    }
}

void clear(MB_Draw_Lines_Sets* node, Qe_Rect* rect, const Qe_Pt& base)
{
    node->free();
    rect->set_rect(base, base);
}

}  // namespace

int mb_ttf_conic_steps()
{
    const long s = api_active_system_setting().get_long_val(k_conic_step_setting);
    return static_cast<int>(std::clamp(s, 1L, long{k_max_conic_steps}));
}

bool ttf_string_2_ptsets(const char* text, const Qe_Pt* base, MB_Text_Style* style, MB_Draw_Lines_Sets* node,
                         Qe_Rect* rect)
{
    if (!text || !base || !style || !node || !rect || !style->font_lib()) return false;
    FT_Library library = freetype();
    FT_Face raw = nullptr;
    const std::string path = face_path(*style->font_lib());
    if (!library || path.empty() || FT_New_Face(library, path.c_str(), 0, &raw) != 0) {
        clear(node, rect, *base);
        return false;
    }
    const Face face(raw);
    if (!FT_IS_SCALABLE(raw) || FT_Set_Pixel_Sizes(raw, 0, k_pixel_size) != 0) {
        clear(node, rect, *base);
        return false;
    }

    Contours contours;
    walk_text(raw, mb_text_to_utf16(text), mb_ttf_conic_steps(), contours);
    Runs r = pack(contours.lists);
    if (r.points.empty()) {
        clear(node, rect, *base);
        return false;
    }

    if (style->oblique_angle() > 0.0) {
        const double t = std::tan(style->oblique_angle());
        for (Qe_Pt& p : r.points) p = Qe_Pt(p.x() + p.y() * t, p.y(), p.z());
    }
    const double h = style->height();
    const double w = style->width_scale();
    apply(r, scale_transf(h * w * k_unit_scale, h * k_unit_scale, 1.0) *
                 rotate_transf(style->angle(), Qe_Vec(0.0, 0.0, 1.0)) *
                 translate_transf(Qe_Vec(base->x(), base->y(), base->z())));
    if (style->font_style() & MB_Text_Style::Vertical) move(r, -h * w * 0.5, -h);
    align_and_mirror(r, *base, style);
    if (!store(r, node, rect)) {
        clear(node, rect, *base);
        return false;
    }
    return true;
}
