#include "kernel/text/ttf_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "geometry/folders.h"
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
std::string find_face_path(const MB_Font_Library& lib)
{
    const char* face = lib.name().ascii();
    const bool simsun = face && std::any_of(std::begin(k_simsun_faces), std::end(k_simsun_faces),
                                            [&](const char* n) { return std::strcmp(face, n) == 0; });
    std::string path = ttf_path(simsun ? "SimSun.ttc" : lib.file_name());
    if (readable(path)) return path;
    char fallback[folder_buffer_size];
    return get_default_ttf_fname(fallback) ? ttf_path(fallback) : std::string();
}

// The same, found once per face name and file name: the font files do not change while the
// kernel runs, and every text of a face would look them up again.
const std::string& face_path(const MB_Font_Library& lib)
{
    static std::unordered_map<std::string, std::string> paths;
    const char* face = lib.name().ascii();
    const char* file = lib.file_name();
    std::string key = face ? face : "";
    key += '\0';
    key += file ? file : "";
    auto it = paths.find(key);
    if (it == paths.end()) it = paths.emplace(std::move(key), find_face_path(lib)).first;
    return it->second;
}

// One glyph as the face loads it at the pen's origin: its outline in 26.6 pixel units and
// its advance. The pen only moves the outline by whole units after the hinting, so a glyph is
// loaded once and placed by adding the pen to its points.
struct Glyph {
    bool loaded = false;
    bool outline = false;
    FT_Pos advance = 0;
    std::vector<FT_Vector> points;
    std::vector<char> tags;
    std::vector<short> contours;
};

// An open face at the text size with the glyphs loaded so far, kept for the life of the
// process as the font files are.
struct Face_Cache {
    FT_Face face = nullptr;
    std::unordered_map<char32_t, Glyph> glyphs;
};

// Glyphs kept per face at most; a text of more distinct characters loads the others each
// time.
constexpr std::size_t k_max_cached_glyphs = 1 << 16;

Face_Cache* open_face(const std::string& path)
{
    static std::unordered_map<std::string, std::unique_ptr<Face_Cache>> faces;
    auto it = faces.find(path);
    if (it != faces.end()) return it->second.get();
    FT_Library library = freetype();
    FT_Face raw = nullptr;
    if (!library || path.empty() || FT_New_Face(library, path.c_str(), 0, &raw) != 0) return nullptr;
    if (!FT_IS_SCALABLE(raw) || FT_Set_Pixel_Sizes(raw, 0, k_pixel_size) != 0) {
        FT_Done_Face(raw);
        return nullptr;
    }
    auto cache = std::make_unique<Face_Cache>();
    cache->face = raw;
    return faces.emplace(path, std::move(cache)).first->second.get();
}

void load_glyph(FT_Face face, char32_t cp, Glyph& g)
{
    FT_Set_Transform(face, nullptr, nullptr);
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, cp), FT_LOAD_DEFAULT) != 0) return;
    const FT_GlyphSlot slot = face->glyph;
    g.loaded = true;
    g.advance = slot->advance.x;
    g.outline = slot->format == FT_GLYPH_FORMAT_OUTLINE;
    if (!g.outline) return;
    const FT_Outline& o = slot->outline;
    const int n = std::max<int>(o.n_points, 0), c = std::max<int>(o.n_contours, 0);
    g.points.assign(o.points, o.points + n);
    g.tags.assign(o.tags, o.tags + n);
    g.contours.assign(o.contours, o.contours + c);
}

const Glyph& glyph_of(Face_Cache& cache, char32_t cp, Glyph& scratch)
{
    if (auto it = cache.glyphs.find(cp); it != cache.glyphs.end()) return it->second;
    if (cache.glyphs.size() >= k_max_cached_glyphs) {
        scratch = Glyph();
        load_glyph(cache.face, cp, scratch);
        return scratch;
    }
    Glyph& g = cache.glyphs[cp];
    load_glyph(cache.face, cp, g);
    return g;
}

struct Point2 {
    double x, y;
};

Point2 mid(Point2 a, Point2 b) { return {(a.x + b.x) * 0.5, (a.y + b.y) * 0.5}; }

// One contour of the glyph, from point first to point last, moved by the pen, as a closed
// polyline: lines between on-curve points, each quadratic arc in `steps` points ending on
// its end.
void walk_contour(const Glyph& g, const FT_Vector& pen, int first, int last, int steps, std::vector<Qe_Pt>& out)
{
    const auto at = [&](int i) { return Point2{double(g.points[i].x + pen.x), double(g.points[i].y + pen.y)}; };
    const auto on = [&](int i) { return (g.tags[i] & 1) != 0; };
    const auto add = [&](Point2 p) { out.emplace_back(p.x, p.y, 0.0); };

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

// The contours of every character as point runs, the pen moved by each glyph's advance.
void walk_text(Face_Cache& face, const std::u16string& text, int steps, Runs& out)
{
    FT_Vector pen{0, 0};
    Glyph scratch;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        const Glyph& g = glyph_of(face, cp, scratch);
        // A glyph that does not load adds nothing, not even its advance.
        if (!g.loaded) continue;
        if (g.outline) {
            int first = 0;
            const int n = static_cast<int>(g.points.size());
            for (short last : g.contours) {
                if (last < first || last >= n) break;
                const std::size_t before = out.points.size();
                walk_contour(g, pen, first, last, steps, out.points);
                out.counts.push_back(static_cast<mb_ulong>(out.points.size() - before));
                first = last + 1;
            }
        }
        pen.x += g.advance;
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
    Face_Cache* face = open_face(face_path(*style->font_lib()));
    if (!face) {
        clear(node, rect, *base);
        return false;
    }

    Runs r;
    walk_text(*face, mb_text_to_utf16(text), mb_ttf_conic_steps(), r);
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
    // Scaled, turned by the angle about z and moved to the base point; written out, as this
    // runs over every point of every glyph.
    const double sx = h * w * k_unit_scale, sy = h * k_unit_scale;
    const double c = std::cos(style->angle()), s = std::sin(style->angle());
    for (Qe_Pt& p : r.points) {
        const double x = p.x() * sx, y = p.y() * sy;
        p = Qe_Pt(x * c - y * s + base->x(), x * s + y * c + base->y(), p.z() + base->z());
    }
    if (style->font_style() & MB_Text_Style::Vertical) move(r, -h * w * 0.5, -h);
    align_and_mirror(r, *base, style);
    if (!store(r, node, rect)) {
        clear(node, rect, *base);
        return false;
    }
    return true;
}
