#include "platform/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>
#include <string>
#include <system_error>
#include <vector>

#include "platform/codepage.h"
#include "platform/font_p.h"
#include "platform/gdi_draw_p.h"
#include "platform/gdi_p.h"
#include "platform/path.h"
#include "platform/system.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The face names the kernel and drawings use for their Chinese text, and the Latin face of
// dimension styles, stand for fonts that Debian installs. Paths are below the fonts folder;
// when the fonts folder is elsewhere they are looked up in the system's fonts tree as well.
struct Alias {
    const char* face;  // bytes in the ANSI code page
    const char* file;
};
constexpr Alias aliases[] = {
    {"\xCB\xCE\xCC\xE5", "truetype/wqy/wqy-microhei.ttc"},          // 宋体
    {"\xD0\xC2\xCB\xCE\xCC\xE5", "truetype/wqy/wqy-microhei.ttc"},  // 新宋体
    {"Arial", "truetype/dejavu/DejaVuSans.ttf"},
};
constexpr const char* default_files[] = {"truetype/wqy/wqy-microhei.ttc", "truetype/dejavu/DejaVuSans.ttf"};
constexpr const char* system_fonts_folder = "/usr/share/fonts";

// Bounds on the walk through the fonts folder, which may be any tree a user configured.
constexpr int max_folder_depth = 8;
constexpr std::size_t max_font_files = 4096;
constexpr FT_Long max_faces_per_file = 64;
constexpr FT_UInt max_names_per_face = 256;

// Sizes beyond this many pixels per em are refused rather than rendered.
constexpr double max_em_pixels = 4096.0;
// The size CreateFontA's height 0 stands for: a 16-pixel character cell.
constexpr int default_cell_height = 16;

struct Indexed_Face {
    std::string file;
    int index = 0;
    std::vector<std::u16string> families;  // lower-cased ASCII letters
    int weight = FW_NORMAL;
    bool italic = false;
    int width_class = 5;  // 5 is the normal width
};

// How far a face of the family is from the style asked for: weight, then slant, then width.
int style_distance(const Indexed_Face& f, int weight, bool italic)
{
    return std::abs(f.weight - weight) + (f.italic != italic ? 1000 : 0) + std::abs(f.width_class - 5) * 50;
}

struct Engine {
    std::mutex mutex;
    FT_Library library = nullptr;
    bool init_failed = false;
    std::map<std::pair<std::string, int>, FT_Face> faces;
    std::string indexed_folder;
    bool folder_indexed = false;
    std::vector<Indexed_Face> folder_faces;
    std::map<std::string, std::vector<std::string>> font_trees;  // font files below a folder
};

// Built on first use and never destroyed, like the handle table: fonts may be used from other
// libraries' static destructors.
Engine& engine()
{
    static Engine* e = new Engine;
    return *e;
}

bool ready(Engine& e)
{
    if (!e.library && !e.init_failed) e.init_failed = FT_Init_FreeType(&e.library) != 0;
    return e.library != nullptr;
}

std::u16string lower_ascii(std::u16string s)
{
    for (char16_t& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return s;
}

std::u16string widen_ascii(const char* s)
{
    std::u16string out;
    for (; s && *s; ++s) out.push_back(static_cast<unsigned char>(*s));
    return out;
}

// ANSI text to UTF-16; empty when it does not convert.
std::u16string to_utf16(const char* text, int count)
{
    if (!text || count <= 0) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text, count, nullptr, 0);
    if (n <= 0) return {};
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text, count, reinterpret_cast<LPWSTR>(out.data()), n) != n) return {};
    return out;
}

std::string fonts_folder()
{
    char buf[4096];
    const UINT n = GetWindowsDirectoryA(buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return {};
    return std::string(buf, n) + "/fonts";
}

bool regular_file(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

// A relative font path in the fonts folder, else in the system's fonts tree.
std::string installed_file(const std::string& folder, const char* relative)
{
    for (const std::string& root : {folder, std::string(system_fonts_folder)}) {
        const std::string p = root + "/" + relative;
        if (regular_file(p)) return p;
    }
    return {};
}

bool font_extension(const fs::path& p)
{
    std::string ext = p.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".ttf" || ext == ".ttc" || ext == ".otf";
}

// Family names of a face: FreeType's own, and every family name record of the name table in
// the Unicode encodings, so that a face can be asked for by its localised name.
std::vector<std::u16string> family_names(FT_Face face)
{
    std::vector<std::u16string> names;
    if (face->family_name) names.push_back(lower_ascii(widen_ascii(face->family_name)));
    const FT_UInt count = std::min(FT_Get_Sfnt_Name_Count(face), max_names_per_face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) != 0 || name.name_id != 1) continue;
        const bool utf16be = (name.platform_id == 3 && (name.encoding_id == 1 || name.encoding_id == 10)) ||
                             name.platform_id == 0;
        if (!utf16be || name.string_len % 2 != 0) continue;
        std::u16string s;
        for (FT_UInt k = 0; k + 1 < name.string_len; k += 2)
            s.push_back(static_cast<char16_t>((name.string[k] << 8) | name.string[k + 1]));
        names.push_back(lower_ascii(std::move(s)));
    }
    return names;
}

// The font files below a folder, a bounded walk, sorted: directory order is arbitrary, and
// sorting makes the choice between equal names repeatable.
std::vector<std::string> font_files_below(const std::string& folder)
{
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    std::vector<std::string> files;
    for (; !ec && it != fs::recursive_directory_iterator() && files.size() < max_font_files; it.increment(ec)) {
        if (it.depth() >= max_folder_depth) it.disable_recursion_pending();
        std::error_code fec;
        if (it->is_regular_file(fec) && font_extension(it->path())) files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void index_folder(Engine& e, const std::string& folder)
{
    if (e.folder_indexed && e.indexed_folder == folder) return;
    e.folder_faces.clear();
    e.indexed_folder = folder;
    e.folder_indexed = true;
    for (const std::string& file : font_files_below(folder)) {
        FT_Long faces = 1;
        for (FT_Long i = 0; i < faces && i < max_faces_per_file; ++i) {
            FT_Face face = nullptr;
            if (FT_New_Face(e.library, file.c_str(), i, &face) != 0) break;
            faces = face->num_faces;
            Indexed_Face f{file, static_cast<int>(i), family_names(face)};
            f.italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
            f.weight = (face->style_flags & FT_STYLE_FLAG_BOLD) ? FW_BOLD : FW_NORMAL;
            const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
            if (os2 && os2->version != 0xFFFF) {
                if (os2->usWeightClass >= 100 && os2->usWeightClass <= 1000) f.weight = os2->usWeightClass;
                if (os2->usWidthClass >= 1 && os2->usWidthClass <= 9) f.width_class = os2->usWidthClass;
            }
            e.folder_faces.push_back(std::move(f));
            FT_Done_Face(face);
        }
    }
}

bool ascii_equal_nocase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

// Caller holds the engine's lock.
bool resolve_face(Engine& e, const char* face, int weight, bool italic, std::string& file, int& index)
{
    const std::string folder = fonts_folder();
    index = 0;
    if (face && *face) {
        for (const Alias& a : aliases) {
            // The Chinese names are compared byte for byte, the Latin one without regard to case.
            const bool match = static_cast<unsigned char>(a.face[0]) < 0x80 ? ascii_equal_nocase(face, a.face)
                                                                              : std::strcmp(face, a.face) == 0;
            if (!match) continue;
            file = installed_file(folder, a.file);
            if (!file.empty()) return true;
        }
        const std::u16string want = lower_ascii(to_utf16(face, static_cast<int>(std::strlen(face))));
        if (!want.empty() && ready(e)) {
            index_folder(e, folder);
            const Indexed_Face* best = nullptr;
            const int want_weight = weight <= 0 ? FW_NORMAL : weight;
            for (const Indexed_Face& f : e.folder_faces) {
                if (std::find(f.families.begin(), f.families.end(), want) == f.families.end()) continue;
                if (!best || style_distance(f, want_weight, italic) < style_distance(*best, want_weight, italic))
                    best = &f;
            }
            if (best) {
                file = best->file;
                index = best->index;
                return true;
            }
        }
    }
    for (const char* d : default_files) {
        file = installed_file(folder, d);
        if (!file.empty()) return true;
    }
    if (ready(e)) {
        index_folder(e, folder);
        if (!e.folder_faces.empty()) {
            file = e.folder_faces.front().file;
            index = e.folder_faces.front().index;
            return true;
        }
    }
    file.clear();
    return false;
}

// TrueType files the kernel names by file name, and the installed fonts that stand for them.
struct File_Alias {
    const char* file;
    const char* installed;  // below the fonts folder, or the system's fonts tree
};
constexpr File_Alias file_aliases[] = {
    {"simsun.ttc", "truetype/wqy/wqy-microhei.ttc"},
    {"simhei.ttf", "truetype/wqy/wqy-microhei.ttc"},
    {"arial.ttf", "truetype/dejavu/DejaVuSans.ttf"},
};

// Caller holds the engine's lock. name is a bare file name.
std::string find_ttf_file(Engine& e, const std::string& name)
{
    const std::string folder = fonts_folder();
    if (!folder.empty()) {
        char resolved[4096];
        if (platform_resolve_path((folder + "/" + name).c_str(), resolved, sizeof resolved) && regular_file(resolved))
            return resolved;
    }
    // The walks are cached: a tree of fonts does not change while the kernel runs.
    const std::string roots[] = {folder, system_fonts_folder};
    for (const std::string& root : roots) {
        if (root.empty() || (&root == &roots[1] && root == roots[0])) continue;
        auto [it, fresh] = e.font_trees.try_emplace(root);
        if (fresh) it->second = font_files_below(root);
        for (const std::string& f : it->second)
            if (ascii_equal_nocase(fs::path(f).filename().c_str(), name.c_str())) return f;
    }
    for (const File_Alias& a : file_aliases) {
        if (!ascii_equal_nocase(name.c_str(), a.file)) continue;
        std::string f = installed_file(folder, a.installed);
        if (!f.empty()) return f;
    }
    return {};
}

FT_Face open_face(Engine& e, const std::string& file, int index)
{
    if (file.empty() || !ready(e)) return nullptr;
    const auto key = std::make_pair(file, index);
    if (auto it = e.faces.find(key); it != e.faces.end()) return it->second;
    FT_Face face = nullptr;
    if (FT_New_Face(e.library, file.c_str(), index, &face) != 0) return nullptr;
    if (!FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        return nullptr;
    }
    e.faces.emplace(key, face);
    return face;
}


// A font at its size: pixels per em, the cell above and below the baseline, and the line
// positions of underline and strike-out, all in pixels.
struct Sized_Font {
    FT_Face face = nullptr;
    double ascent = 0;
    double descent = 0;
    double underline_offset = 0;  // below the baseline
    double strike_offset = 0;     // above the baseline
    double line_thickness = 1;
    FT_Matrix matrix{};           // rotation and slant, for glyphs
    double angle = 0;             // radians, counter-clockwise
    FT_Pos embolden = 0;
};

// The cell metrics GDI uses are the OS/2 table's Windows ascent and descent when present.
void design_metrics(FT_Face face, double& ascent, double& descent, double& avg_width)
{
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    } else {
        ascent = face->ascender;
        descent = -static_cast<double>(face->descender);
    }
    if (ascent + descent <= 0) {
        ascent = face->units_per_EM * 0.8;
        descent = face->units_per_EM * 0.2;
    }
    avg_width = os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : face->units_per_EM / 2.0;
}

FT_Fixed fixed_16_16(double v) { return static_cast<FT_Fixed>(std::lround(v * 65536.0)); }

// Caller holds the engine's lock.
bool size_font(Engine& e, const Font& font, Sized_Font& out)
{
    FT_Face face = open_face(e, font.file, font.face_index);
    if (!face || face->units_per_EM == 0) return false;
    const double upem = face->units_per_EM;
    double asc = 0, desc = 0, avg = 0;
    design_metrics(face, asc, desc, avg);
    double em_y = 0;
    if (font.height < 0)
        em_y = -static_cast<double>(font.height);
    else
        em_y = (font.height == 0 ? default_cell_height : font.height) * upem / (asc + desc);
    double em_x = em_y;
    if (font.width > 0) em_x = font.width * upem / avg;
    if (!(em_y >= 1.0 / 64 && em_x >= 1.0 / 64) || em_y > max_em_pixels || em_x > max_em_pixels) return false;
    if (FT_Set_Char_Size(face, std::lround(em_x * 64), std::lround(em_y * 64), 72, 72) != 0) return false;

    out.face = face;
    out.ascent = std::round(asc * em_y / upem);
    out.descent = std::round(desc * em_y / upem);
    out.underline_offset = std::max(1.0, -face->underline_position * em_y / upem);
    out.line_thickness = std::max(1.0, std::round(face->underline_thickness * em_y / upem));
    out.strike_offset = std::round(out.ascent * 0.3);
    out.angle = font.escapement / 10.0 * std::numbers::pi / 180.0;
    const double c = std::cos(out.angle), s = std::sin(out.angle);
    // Glyph space is y-up: rotation times an optional slant of x by a fifth of y.
    // Bold and italic are synthesised only where the face itself is not already so.
    const double shear = font.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC) ? 0.2 : 0.0;
    out.matrix.xx = fixed_16_16(c);
    out.matrix.xy = fixed_16_16(c * shear - s);
    out.matrix.yx = fixed_16_16(s);
    out.matrix.yy = fixed_16_16(s * shear + c);
    const bool synthetic_bold = font.weight > 550 && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    out.embolden = synthetic_bold ? std::max<FT_Pos>(32, std::lround(em_y * 64 / 24)) : 0;
    return true;
}

constexpr FT_Int32 load_flags = FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP;

struct Glyph_Run {
    std::vector<FT_UInt> glyphs;
    std::vector<double> pen;  // offset of each glyph along the text, pixels
    double width = 0;
};

// Glyph indices and advances of the unrotated text.
void lay_out(const Sized_Font& sf, const std::u16string& text, Glyph_Run& run)
{
    FT_Set_Transform(sf.face, nullptr, nullptr);
    FT_Pos pen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        const FT_UInt g = FT_Get_Char_Index(sf.face, cp);
        run.glyphs.push_back(g);
        run.pen.push_back(pen / 64.0);
        // A glyph the font file cannot give takes no room; the rest of the text still draws.
        if (FT_Load_Glyph(sf.face, g, load_flags) == 0) pen += sf.face->glyph->advance.x;
    }
    run.width = pen / 64.0;
}

struct Vec2 {
    double x, y;
};
Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
Vec2 operator*(double k, Vec2 a) { return {k * a.x, k * a.y}; }

// Fills the convex quadrilateral a b c d (in order) by pixel centres, clipped to the box.
void fill_quad(Surface& s, const Pixel_Box& box, const std::array<Vec2, 4>& q, COLORREF colour)
{
    double x0 = q[0].x, x1 = q[0].x, y0 = q[0].y, y1 = q[0].y;
    for (const Vec2& p : q) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    // Clamped to the box before conversion, so far-away text cannot overflow an int.
    const auto clamp_to = [](double v, long long lo, long long hi) {
        return static_cast<int>(std::clamp(v, double(lo), double(std::max(lo, hi))));
    };
    const int px0 = clamp_to(std::floor(x0), box.x0, box.x1), px1 = clamp_to(std::ceil(x1), box.x0, box.x1);
    const int py0 = clamp_to(std::floor(y0), box.y0, box.y1), py1 = clamp_to(std::ceil(y1), box.y0, box.y1);
    if (px0 >= px1 || py0 >= py1) return;
    // Orientation of the quad, so that "inside" is the same side of every edge. Edges are
    // half-open: a centre on the left or top edge is in, on the right or bottom edge out.
    double area = 0;
    for (int i = 0; i < 4; ++i) area += q[i].x * q[(i + 1) % 4].y - q[(i + 1) % 4].x * q[i].y;
    if (area == 0) return;
    const double sign = area > 0 ? 1.0 : -1.0;
    const std::uint32_t v = s.value_of(colour);
    for (int y = py0; y < py1; ++y) {
        for (int x = px0; x < px1; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            bool inside = true;
            for (int i = 0; i < 4 && inside; ++i) {
                const Vec2 a = q[i], b = q[(i + 1) % 4];
                const double cross = sign * ((b.x - a.x) * (cy - a.y) - (b.y - a.y) * (cx - a.x));
                const bool top_left = (b.y - a.y) * sign < 0 || ((b.y == a.y) && (b.x - a.x) * sign > 0);
                inside = cross > 0 || (cross == 0 && top_left);
            }
            if (inside) s.put_value(x, y, v);
        }
    }
}

// The band from `from` to `to` pixels below the baseline (negative: above), along the run.
std::array<Vec2, 4> band(Vec2 origin, Vec2 u, Vec2 d, double length, double from, double to)
{
    return {origin + from * d, origin + length * u + from * d, origin + length * u + to * d, origin + to * d};
}

void draw_glyph_bitmap(Surface& s, const Pixel_Box& box, const FT_Bitmap& bm, long left, long top,
                       std::uint32_t value)
{
    if (bm.pixel_mode != FT_PIXEL_MODE_MONO || bm.pitch <= 0) return;
    const auto pitch = static_cast<std::size_t>(bm.pitch);
    for (unsigned r = 0; r < bm.rows; ++r) {
        const long long y = static_cast<long long>(top) + r;
        if (y < box.y0 || y >= box.y1) continue;
        const unsigned char* row = bm.buffer + r * pitch;
        for (unsigned c = 0; c < bm.width; ++c) {
            if (!(row[c >> 3] & (0x80 >> (c & 7)))) continue;
            const long long x = static_cast<long long>(left) + c;
            if (box.contains(x, y)) s.put_value(static_cast<int>(x), static_cast<int>(y), value);
        }
    }
}

Font* font_of(Dc& dc)
{
    Font* f = find<Font>(dc.state.font);
    return f ? f : find<Font>(default_font());
}

}  // namespace

HFONT default_font()
{
    static HFONT h = [] {
        auto f = std::make_unique<Font>();
        f->stock = true;
        Engine& e = engine();
        std::lock_guard lock(e.mutex);
        resolve_face(e, nullptr, FW_NORMAL, false, f->file, f->face_index);
        return static_cast<HFONT>(add_object(std::move(f)));
    }();
    return h;
}

}  // namespace platform

using namespace platform;

HFONT CreateFontA(int height, int width, int escapement, int, int weight, DWORD italic, DWORD underline,
                  DWORD strike_out, DWORD, DWORD, DWORD, DWORD, DWORD, LPCSTR face)
{
    auto f = std::make_unique<Font>();
    f->height = height;
    f->width = std::max(0, width);
    // Whole turns are dropped so that the angle stays exact in double precision.
    f->escapement = escapement % 3600;
    f->weight = weight;
    f->italic = italic != 0;
    f->underline = underline != 0;
    f->strike_out = strike_out != 0;
    Engine& e = engine();
    {
        std::lock_guard lock(e.mutex);
        resolve_face(e, face, weight, italic != 0, f->file, f->face_index);
    }
    return static_cast<HFONT>(add_object(std::move(f)));
}

COLORREF SetTextColor(HDC hdc, COLORREF colour)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return 0xFFFFFFFF;
    record_call(*dc, "SetTextColor", {static_cast<long long>(colour)});
    const COLORREF previous = dc->state.text_color;
    dc->state.text_color = colour & 0x00FFFFFF;
    return previous;
}

COLORREF GetTextColor(HDC hdc)
{
    Dc* dc = find_dc(hdc);
    return dc ? dc->state.text_color : 0xFFFFFFFF;
}

UINT SetTextAlign(HDC hdc, UINT align)
{
    Dc* dc = find_dc(hdc);
    if (!dc) return GDI_ERROR;
    record_call(*dc, "SetTextAlign", {static_cast<long long>(align)});
    const UINT previous = dc->state.text_align;
    dc->state.text_align = align & (TA_UPDATECP | TA_CENTER | TA_BASELINE);
    return previous;
}

UINT GetTextAlign(HDC hdc)
{
    Dc* dc = find_dc(hdc);
    return dc ? dc->state.text_align : GDI_ERROR;
}

BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, SIZE* size)
{
    Dc* dc = find_dc(hdc);
    if (!dc || !size || count < 0 || (count > 0 && !text)) return FALSE;
    Font* font = font_of(*dc);
    if (!font) return FALSE;
    const std::u16string wide = to_utf16(text, count);
    if (count > 0 && wide.empty()) return FALSE;
    Engine& e = engine();
    std::lock_guard lock(e.mutex);
    Sized_Font sf;
    Glyph_Run run;
    if (!size_font(e, *font, sf)) return FALSE;
    lay_out(sf, wide, run);
    size->cx = static_cast<LONG>(std::lround(run.width));
    size->cy = static_cast<LONG>(sf.ascent + sf.descent);
    return TRUE;
}

namespace {

// Glyph pixels gathered before they are written, so that a raster operation touches each pixel
// once however the glyphs overlap.
struct Ink_Mask {
    Surface mask;
    bool ready = false;
};

// The body of TextOutA and platform_text_out_rop. With ink_mask the ink (glyphs, underline and
// strike-out) is gathered there instead of being written.
BOOL text_out(Dc* dc, int x, int y, const std::u16string& wide, Ink_Mask* ink_mask)
{
    Surface* s = dc_surface(*dc);
    Font* font = font_of(*dc);
    if (!s || !font) return FALSE;

    Engine& e = engine();
    std::lock_guard lock(e.mutex);
    Sized_Font sf;
    Glyph_Run run;
    if (!size_font(e, *font, sf)) return FALSE;
    lay_out(sf, wide, run);

    const Dc_State& st = dc->state;
    const bool update_cp = (st.text_align & TA_UPDATECP) != 0;
    const Vec2 ref = update_cp ? Vec2{static_cast<double>(st.position.x), static_cast<double>(st.position.y)}
                               : Vec2{static_cast<double>(x), static_cast<double>(y)};
    // u runs along the text, d points from the baseline towards the descent; y is down.
    const Vec2 u{std::cos(sf.angle), -std::sin(sf.angle)};
    const Vec2 d{std::sin(sf.angle), std::cos(sf.angle)};
    double along = 0;
    switch (st.text_align & TA_CENTER) {
    case TA_CENTER: along = -run.width / 2; break;
    case TA_RIGHT: along = -run.width; break;
    default: break;
    }
    double down = sf.ascent;
    switch (st.text_align & TA_BASELINE) {
    case TA_BASELINE: down = 0; break;
    case TA_BOTTOM: down = -sf.descent; break;
    default: break;
    }
    // Whole pixels, as the desktop places text, so the glyphs look the same whatever the
    // alignment; along a turned run the glyphs keep their fractions.
    Vec2 origin = ref + along * u + down * d;
    origin = {std::round(origin.x), std::round(origin.y)};

    const Pixel_Box box = drawable_box(*dc, *s);
    if (st.bk_mode == OPAQUE) fill_quad(*s, box, band(origin, u, d, run.width, -sf.ascent, sf.descent), st.bk_color);

    // Raster operations do not apply to TextOutA: every ink pixel takes the text colour.
    Surface* ink_target = s;
    std::uint32_t ink = s->value_of(st.text_color);
    COLORREF ink_colour = st.text_color;
    if (ink_mask) {
        if (!ink_mask->mask.allocate(s->width, s->height, 8, false)) return FALSE;
        ink_mask->ready = true;
        ink_target = &ink_mask->mask;
        ink = 1;
        ink_colour = RGB(255, 255, 255);
    }
    FT_GlyphSlot slot = sf.face->glyph;
    const double reach = 4 * (sf.ascent + sf.descent) + 4;
    for (std::size_t i = 0; i < run.glyphs.size(); ++i) {
        const Vec2 p = origin + run.pen[i] * u;
        // Glyphs that cannot reach the surface are not rendered.
        if (p.x < -reach || p.y < -reach || p.x > s->width + reach || p.y > s->height + reach) continue;
        const double fx = std::floor(p.x), fy = std::floor(p.y);
        // The fraction of a pixel travels with the glyph; FreeType's y axis points up.
        FT_Vector delta{std::lround((p.x - fx) * 64), -std::lround((p.y - fy) * 64)};
        FT_Matrix m = sf.matrix;
        FT_Set_Transform(sf.face, &m, &delta);
        if (FT_Load_Glyph(sf.face, run.glyphs[i], load_flags) != 0) continue;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) continue;
        if (sf.embolden) FT_Outline_Embolden(&slot->outline, sf.embolden);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) continue;
        draw_glyph_bitmap(*ink_target, box, slot->bitmap, static_cast<long>(fx) + slot->bitmap_left,
                          static_cast<long>(fy) - slot->bitmap_top, ink);
    }
    FT_Set_Transform(sf.face, nullptr, nullptr);

    if (font->underline)
        fill_quad(*ink_target, box, band(origin, u, d, run.width, sf.underline_offset, sf.underline_offset + sf.line_thickness),
                  ink_colour);
    if (font->strike_out)
        fill_quad(*ink_target, box, band(origin, u, d, run.width, -sf.strike_offset - sf.line_thickness, -sf.strike_offset),
                  ink_colour);

    if (update_cp) {
        const double move = (st.text_align & TA_CENTER) == TA_CENTER ? 0
                            : (st.text_align & TA_CENTER) == TA_RIGHT ? -run.width
                                                                       : run.width;
        dc->state.position.x = static_cast<LONG>(std::lround(ref.x + move * u.x));
        dc->state.position.y = static_cast<LONG>(std::lround(ref.y + move * u.y));
    }
    return TRUE;
}

}  // namespace

BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int count)
{
    Dc* dc = find_dc(hdc);
    if (!dc || count < 0 || (count > 0 && !text)) return FALSE;
    record_text_call(*dc, "TextOutA", {x, y, count}, text, count);
    if (records_only(*dc)) return TRUE;
    if (count == 0) return TRUE;
    const std::u16string wide = to_utf16(text, count);
    return !wide.empty() && text_out(dc, x, y, wide, nullptr);
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count)
{
    Dc* dc = find_dc(hdc);
    if (!dc || count < 0 || (count > 0 && !text)) return FALSE;
    if (dc->drawing && dc->drawing->recording) {
        // Logged as UTF-8, so the record reads as the text drawn.
        std::string utf8;
        for (int i = 0; i < count; ++i) {
            const char32_t c = text[i];
            if (c < 0x80) {
                utf8 += static_cast<char>(c);
            } else if (c < 0x800) {
                utf8 += static_cast<char>(0xC0 | (c >> 6));
                utf8 += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                utf8 += static_cast<char>(0xE0 | (c >> 12));
                utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                utf8 += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        record_text_call(*dc, "TextOutW", {x, y, count}, utf8.data(), static_cast<int>(utf8.size()));
    }
    if (records_only(*dc) || count == 0) return TRUE;
    return text_out(dc, x, y, std::u16string(text, text + count), nullptr);
}

BOOL platform_text_out_rop(HDC hdc, int x, int y, LPCSTR text, int count)
{
    Dc* dc = find_dc(hdc);
    if (!dc || count < 0 || (count > 0 && !text)) return FALSE;
    record_text_call(*dc, "platform_text_out_rop", {x, y, count}, text, count);
    if (records_only(*dc)) return TRUE;
    if (count == 0) return TRUE;
    const std::u16string wide = to_utf16(text, count);
    Ink_Mask gathered;
    if (wide.empty() || !text_out(dc, x, y, wide, &gathered)) return FALSE;
    if (!gathered.ready) return TRUE;
    Surface* s = dc_surface(*dc);
    if (!s) return FALSE;
    const std::uint32_t pen = s->value_of(dc->state.text_color);
    const std::uint32_t mask = pixel_mask(s->bpp);
    for (int py = 0; py < s->height; ++py)
        for (int px = 0; px < s->width; ++px)
            if (gathered.mask.value_at(px, py) != 0)
                s->put_value(px, py, apply_rop2(dc->state.rop2, pen, s->value_at(px, py), mask));
    return TRUE;
}

DWORD platform_font_file(LPCSTR face, LPSTR out, DWORD size, int* face_index)
{
    if (!out || size == 0) return 0;
    out[0] = '\0';
    std::string file;
    int index = 0;
    {
        Engine& e = engine();
        std::lock_guard lock(e.mutex);
        if (!resolve_face(e, face, FW_NORMAL, false, file, index)) return 0;
    }
    if (file.size() >= size) return 0;
    std::memcpy(out, file.c_str(), file.size() + 1);
    if (face_index) *face_index = index;
    return static_cast<DWORD>(file.size());
}

namespace {

// The character a glyph outline code stands for: ASCII as it is, a double-byte character of the
// ANSI code page through that code page, anything else (or a pair that does not convert) as a
// Unicode code point.
FT_ULong character_of(UINT code)
{
    if (code < 0x80) return code;
    const unsigned lead = code >> 8, trail = code & 0xFF;
    if (code <= 0xFFFF && lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F) {
        const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        WCHAR wide[2];
        if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, 2, wide, 2) == 1) return wide[0];
    }
    return code;
}

FT_Fixed fixed_of(FIXED f) { return static_cast<FT_Fixed>(f.value) * 65536 + f.fract; }

// 16.16 to whole pixels, outward.
LONG floor_pixels(std::int64_t v) { return static_cast<LONG>(v >= 0 ? v / 65536 : -((-v + 65535) / 65536)); }
LONG ceil_pixels(std::int64_t v) { return -floor_pixels(-v); }

}  // namespace

DWORD GetGlyphOutlineA(HDC hdc, UINT code, UINT format, GLYPHMETRICS* metrics, DWORD size, LPVOID buffer,
                       const MAT2* matrix)
{
    Dc* dc = find_dc(hdc);
    if (!dc || format != GGO_NATIVE) return GDI_ERROR;
    Font* font = font_of(*dc);
    if (!font) return GDI_ERROR;
    FT_Matrix m{};
    const FT_Matrix* transform = nullptr;
    if (matrix) {
        m.xx = fixed_of(matrix->eM11);
        m.xy = fixed_of(matrix->eM21);
        m.yx = fixed_of(matrix->eM12);
        m.yy = fixed_of(matrix->eM22);
        if (m.xx != 0x10000 || m.xy != 0 || m.yx != 0 || m.yy != 0x10000) transform = &m;
    }
    Native_Outline outline;
    FT_Vector advance{};
    {
        Engine& e = engine();
        std::lock_guard lock(e.mutex);
        Sized_Font sf;
        if (!size_font(e, *font, sf)) return GDI_ERROR;
        // The outline as designed: no hinting, no rotation of the font's escapement, no
        // synthesised bold or slant. A character the face lacks maps to glyph 0, the face's
        // missing-glyph shape.
        FT_Set_Transform(sf.face, nullptr, nullptr);
        const FT_UInt glyph = FT_Get_Char_Index(sf.face, character_of(code));
        if (FT_Load_Glyph(sf.face, glyph, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return GDI_ERROR;
        const FT_GlyphSlot slot = sf.face->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return GDI_ERROR;
        if (!native_outline(slot->outline, transform, outline)) return GDI_ERROR;
        advance = slot->advance;
        if (transform) FT_Vector_Transform(&advance, transform);
    }
    const auto needed = static_cast<DWORD>(outline.bytes.size());
    if (buffer && size != 0) {
        if (size < needed) return GDI_ERROR;
        if (needed) std::memcpy(buffer, outline.bytes.data(), needed);
    }
    if (metrics) {
        GLYPHMETRICS g{};
        // A glyph without ink has a box of one pixel at the pen, as the desktop reports it.
        g.gmBlackBoxX = g.gmBlackBoxY = 1;
        if (!outline.empty) {
            const LONG left = floor_pixels(outline.x_min), right = ceil_pixels(outline.x_max);
            const LONG bottom = floor_pixels(outline.y_min), top = ceil_pixels(outline.y_max);
            g.gmBlackBoxX = static_cast<UINT>(std::max<LONG>(1, right - left));
            g.gmBlackBoxY = static_cast<UINT>(std::max<LONG>(1, top - bottom));
            g.gmptGlyphOrigin = {left, top};
        }
        const auto clamp_short = [](FT_Pos v) {
            return static_cast<SHORT>(std::clamp<long>(std::lround(v / 64.0), SHRT_MIN, SHRT_MAX));
        };
        g.gmCellIncX = clamp_short(advance.x);
        g.gmCellIncY = clamp_short(advance.y);
        *metrics = g;
    }
    return needed;
}

DWORD platform_ttf_file(LPCSTR file_name, LPSTR out, DWORD size)
{
    if (!out || size == 0) return 0;
    out[0] = '\0';
    if (!file_name) return 0;
    // Only the file name counts: a caller's folders are those of another machine.
    std::string name = file_name;
    if (const std::size_t slash = name.find_last_of("/\\"); slash != std::string::npos) name.erase(0, slash + 1);
    if (name.empty() || name == "." || name == "..") return 0;
    std::string file;
    {
        Engine& e = engine();
        std::lock_guard lock(e.mutex);
        file = find_ttf_file(e, name);
    }
    if (file.empty() || file.size() >= size) return 0;
    std::memcpy(out, file.c_str(), file.size() + 1);
    return static_cast<DWORD>(file.size());
}
