#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/scratch_dir.h"
#include "platform/font.h"
#include "platform/gdi.h"

namespace {

constexpr const char* wqy_file = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
constexpr const char* dejavu_file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int cell_height = 80;

// 16.16 pixels, y up.
struct Pt {
    std::int64_t x = 0, y = 0;
};
bool near(Pt a, Pt b, std::int64_t tol) { return std::llabs(a.x - b.x) <= tol && std::llabs(a.y - b.y) <= tol; }

struct Record {
    WORD type = 0;
    std::vector<Pt> points;
};
struct Contour {
    Pt start;
    std::vector<Record> records;
};

// The native layout read back byte by byte, every length checked against what remains;
// nothing when it is malformed.
std::optional<std::vector<Contour>> parse(const std::vector<unsigned char>& b)
{
    const auto u16 = [&](std::size_t at) {
        std::uint16_t v;
        std::memcpy(&v, b.data() + at, 2);
        return v;
    };
    const auto u32 = [&](std::size_t at) {
        std::uint32_t v;
        std::memcpy(&v, b.data() + at, 4);
        return v;
    };
    // FIXED: the fraction, then the signed whole part.
    const auto fixed = [&](std::size_t at) {
        std::int16_t whole;
        std::memcpy(&whole, b.data() + at + 2, 2);
        return std::int64_t{whole} * 65536 + u16(at);
    };
    std::vector<Contour> contours;
    std::size_t at = 0;
    while (at < b.size()) {
        if (b.size() - at < 16) return std::nullopt;
        const std::uint32_t cb = u32(at);
        if (u32(at + 4) != 24 || cb < 16 || cb > b.size() - at) return std::nullopt;
        Contour c;
        c.start = {fixed(at + 8), fixed(at + 12)};
        const std::size_t end = at + cb;
        for (std::size_t p = at + 16; p < end;) {
            if (end - p < 4) return std::nullopt;
            const std::uint16_t type = u16(p), n = u16(p + 2);
            if ((type != 1 && type != 2) || n == 0 || (type == 2 && n < 2) || (end - p - 4) / 8 < n)
                return std::nullopt;
            Record r{type, {}};
            for (std::size_t k = 0; k < n; ++k) r.points.push_back({fixed(p + 4 + 8 * k), fixed(p + 8 + 8 * k)});
            c.records.push_back(std::move(r));
            p += 4 + 8 * std::size_t{n};
        }
        contours.push_back(std::move(c));
        at = end;
    }
    return contours;
}

// A contour as the points on the curve (explicit or implied) and the off-curve controls, in
// order, closed back to its start.
struct Walk {
    std::vector<Pt> on, controls;
};

void push_on(Walk& w, Pt p)
{
    if (w.on.empty() || !near(w.on.back(), p, 0)) w.on.push_back(p);
}

Walk walk_of(const Contour& c)
{
    Walk w;
    push_on(w, c.start);
    for (const Record& r : c.records) {
        if (r.type == 1) {
            for (Pt p : r.points) push_on(w, p);
            continue;
        }
        for (std::size_t k = 0; k + 1 < r.points.size(); ++k) {
            w.controls.push_back(r.points[k]);
            if (k + 2 < r.points.size())
                push_on(w, {(r.points[k].x + r.points[k + 1].x) / 2, (r.points[k].y + r.points[k + 1].y) / 2});
        }
        push_on(w, r.points.back());
    }
    push_on(w, c.start);
    return w;
}

// FreeType's own decomposition of the same glyph: the independent reading of the tags.
std::vector<Walk> freetype_walks(FT_Outline& outline)
{
    std::vector<Walk> walks;
    FT_Outline_Funcs f{};
    f.move_to = [](const FT_Vector* to, void* u) {
        auto& ws = *static_cast<std::vector<Walk>*>(u);
        ws.emplace_back();
        push_on(ws.back(), {to->x * 1024, to->y * 1024});
        return 0;
    };
    f.line_to = [](const FT_Vector* to, void* u) {
        push_on(static_cast<std::vector<Walk>*>(u)->back(), {to->x * 1024, to->y * 1024});
        return 0;
    };
    f.conic_to = [](const FT_Vector* c, const FT_Vector* to, void* u) {
        Walk& w = static_cast<std::vector<Walk>*>(u)->back();
        w.controls.push_back({c->x * 1024, c->y * 1024});
        push_on(w, {to->x * 1024, to->y * 1024});
        return 0;
    };
    f.cubic_to = [](const FT_Vector*, const FT_Vector*, const FT_Vector* to, void* u) {
        push_on(static_cast<std::vector<Walk>*>(u)->back(), {to->x * 1024, to->y * 1024});
        return 0;
    };
    EXPECT_EQ(FT_Outline_Decompose(&outline, &f, &walks), 0);
    return walks;
}

// The test's own FreeType face, sized as a character cell of cell_height pixels.
class Reference_Face {
public:
    explicit Reference_Face(const char* file)
    {
        if (FT_Init_FreeType(&lib_) || FT_New_Face(lib_, file, 0, &face_)) return;
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        const double cell = os2 ? os2->usWinAscent + os2->usWinDescent : face_->ascender - face_->descender;
        const long em = std::lround(cell_height * face_->units_per_EM / cell * 64);
        if (FT_Set_Char_Size(face_, em, em, 72, 72)) face_ = nullptr;
    }
    ~Reference_Face()
    {
        if (face_) FT_Done_Face(face_);
        if (lib_) FT_Done_FreeType(lib_);
    }
    Reference_Face(const Reference_Face&) = delete;
    Reference_Face& operator=(const Reference_Face&) = delete;
    FT_Face face() const { return face_; }
    // The unhinted glyph of a character, glyph 0 when the face lacks it.
    FT_GlyphSlot load(FT_ULong character) const
    {
        if (FT_Load_Glyph(face_, FT_Get_Char_Index(face_, character), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP))
            return nullptr;
        return face_->glyph;
    }

private:
    FT_Library lib_ = nullptr;
    FT_Face face_ = nullptr;
};

// A memory DC with a font of cell_height pixels selected.
struct Font_Dc {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font;
    HGDIOBJ old;
    explicit Font_Dc(const char* face)
        : font(CreateFontA(cell_height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face)),
          old(SelectObject(dc, font))
    {
    }
    ~Font_Dc()
    {
        SelectObject(dc, old);
        DeleteObject(font);
        DeleteDC(dc);
    }
    Font_Dc(const Font_Dc&) = delete;
    Font_Dc& operator=(const Font_Dc&) = delete;

    std::vector<unsigned char> outline(UINT code, GLYPHMETRICS* gm = nullptr, const MAT2* m = nullptr) const
    {
        const DWORD n = GetGlyphOutlineA(dc, code, GGO_NATIVE, gm, 0, nullptr, m);
        if (n == GDI_ERROR || n == 0) return {};
        std::vector<unsigned char> b(n);
        EXPECT_EQ(GetGlyphOutlineA(dc, code, GGO_NATIVE, gm, n, b.data(), m), n) << code;
        return b;
    }
};

struct Character {
    UINT code;
    FT_ULong unicode;
};
const Character characters[] = {
    {'A', 'A'}, {'O', 'O'}, {'g', 'g'}, {'%', '%'},
    {0xD2BB, 0x4E00},  // 一 in GBK
    {0xD3C0, 0x6C38},  // 永 in GBK
    {176, 0xB0},       // degree sign
    {177, 0xB1},       // plus-minus sign
    {8709, 0x2205},    // diameter: the missing glyph where the face has none
};

struct Face_Case {
    const char* face;
    const char* file;
};
const Face_Case faces[] = {{"DejaVu Sans", dejavu_file}, {"WenQuanYi Micro Hei", wqy_file}};

TEST(Glyph_Outline, AgreesWithFreeTypesDecompositionPointForPoint)
{
    bool merged_lines = false, merged_splines = false;
    for (const Face_Case& fc : faces) {
        ASSERT_TRUE(std::filesystem::exists(fc.file)) << "fonts-dejavu-core and fonts-wqy-microhei are needed";
        Reference_Face ref(fc.file);
        ASSERT_NE(ref.face(), nullptr) << fc.file;
        Font_Dc dc(fc.face);
        for (const Character& ch : characters) {
            SCOPED_TRACE(std::string(fc.face) + " code " + std::to_string(ch.code));
            GLYPHMETRICS gm{};
            const std::vector<unsigned char> bytes = dc.outline(ch.code, &gm);
            const std::optional<std::vector<Contour>> contours = parse(bytes);
            ASSERT_TRUE(contours.has_value());
            FT_GlyphSlot slot = ref.load(ch.unicode);
            ASSERT_NE(slot, nullptr);
            const std::vector<Walk> expected = freetype_walks(slot->outline);
            ASSERT_EQ(contours->size(), expected.size());
            ASSERT_FALSE(expected.empty());
            for (std::size_t i = 0; i < expected.size(); ++i) {
                const Contour& c = (*contours)[i];
                const Walk got = walk_of(c);
                // FreeType halves the sum of two 26.6 controls in whole 1/64 pixels.
                ASSERT_EQ(got.on.size(), expected[i].on.size()) << "contour " << i;
                for (std::size_t k = 0; k < got.on.size(); ++k)
                    EXPECT_TRUE(near(got.on[k], expected[i].on[k], 1024)) << "contour " << i << " point " << k;
                ASSERT_EQ(got.controls.size(), expected[i].controls.size()) << "contour " << i;
                for (std::size_t k = 0; k < got.controls.size(); ++k)
                    EXPECT_TRUE(near(got.controls[k], expected[i].controls[k], 0)) << "contour " << i << " control " << k;
                // Lines run in one record; conics share one where the point between them is implied;
                // the line back to the start is left out.
                for (std::size_t r = 0; r < c.records.size(); ++r) {
                    const Record& rec = c.records[r];
                    merged_lines |= rec.type == 1 && rec.points.size() > 1;
                    merged_splines |= rec.type == 2 && rec.points.size() > 2;
                    if (r + 1 == c.records.size()) {
                        if (rec.type == 1) { EXPECT_FALSE(near(rec.points.back(), c.start, 0)) << "closing line written"; }
                        continue;
                    }
                    const Record& next = c.records[r + 1];
                    EXPECT_FALSE(rec.type == 1 && next.type == 1) << "lines split, contour " << i;
                    if (rec.type == 2 && next.type == 2) {
                        const Pt a = rec.points[rec.points.size() - 2], b = next.points[0];
                        EXPECT_FALSE(rec.points.back().x * 2 == a.x + b.x && rec.points.back().y * 2 == a.y + b.y)
                            << "implied point written, contour " << i;
                    }
                }
            }
            // Metrics from FreeType's control box and advance.
            FT_BBox box;
            FT_Outline_Get_CBox(&slot->outline, &box);
            const long left = static_cast<long>(std::floor(box.xMin / 64.0)), right = static_cast<long>(std::ceil(box.xMax / 64.0));
            const long bottom = static_cast<long>(std::floor(box.yMin / 64.0)), top = static_cast<long>(std::ceil(box.yMax / 64.0));
            EXPECT_EQ(gm.gmBlackBoxX, static_cast<UINT>(right - left));
            EXPECT_EQ(gm.gmBlackBoxY, static_cast<UINT>(top - bottom));
            EXPECT_EQ(gm.gmptGlyphOrigin.x, left);
            EXPECT_EQ(gm.gmptGlyphOrigin.y, top);
            EXPECT_EQ(gm.gmCellIncX, std::lround(slot->advance.x / 64.0));
            EXPECT_EQ(gm.gmCellIncY, 0);
        }
    }
    EXPECT_TRUE(merged_lines);
    EXPECT_TRUE(merged_splines);
}

TEST(Glyph_Outline, CharactersMapThroughTheCodePageOrAsUnicode)
{
    Reference_Face ref(dejavu_file);
    ASSERT_NE(ref.face(), nullptr);
    // The degree sign is a glyph of its own, not the missing glyph.
    EXPECT_NE(FT_Get_Char_Index(ref.face(), 0xB0), 0u);
    Font_Dc dc("DejaVu Sans");
    const std::vector<unsigned char> degree = dc.outline(176), missing = dc.outline(0xD2BB);
    ASSERT_FALSE(degree.empty());
    ASSERT_FALSE(missing.empty());
    EXPECT_NE(degree, missing);
    // A code the face lacks gives glyph 0 whatever the code.
    EXPECT_EQ(dc.outline(0x10FFFF), missing);
    EXPECT_EQ(dc.outline(0xFFFFFFFF), missing);
    // A double-byte code converts through the code page; the same number read as a code point
    // would be another character.
    Font_Dc cjk("WenQuanYi Micro Hei");
    EXPECT_EQ(cjk.outline(0xD2BB), cjk.outline(0x4E00));
    EXPECT_NE(cjk.outline(0xD2BB), cjk.outline(0xD2BB & 0xFF7F));
}

// GDI's MAT2 is x' = eM11 x + eM21 y, y' = eM12 x + eM22 y in 16.16.
MAT2 mat2(double m11, double m12, double m21, double m22)
{
    const auto f = [](double v) {
        const auto i = static_cast<std::int32_t>(std::lround(v * 65536));
        FIXED x;
        x.fract = static_cast<WORD>(i & 0xFFFF);
        x.value = static_cast<SHORT>(i >> 16);
        return x;
    };
    return {f(m11), f(m12), f(m21), f(m22)};
}

TEST(Glyph_Outline, MatrixTransformsEveryPoint)
{
    Font_Dc dc("DejaVu Sans");
    const MAT2 identity = mat2(1, 0, 0, 1);
    const std::vector<unsigned char> plain = dc.outline('g');
    EXPECT_EQ(dc.outline('g', nullptr, &identity), plain);
    struct Case {
        double m11, m12, m21, m22;
    } cases[] = {{1, 0, 0.5, 1}, {0, 1, -1, 0}, {2, 0, 0, -0.5}, {1, 0.25, 0, 1}};
    const std::optional<std::vector<Contour>> base = parse(plain);
    ASSERT_TRUE(base.has_value());
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.m11) + " " + std::to_string(c.m12) + " " + std::to_string(c.m21) + " " +
                     std::to_string(c.m22));
        const MAT2 m = mat2(c.m11, c.m12, c.m21, c.m22);
        GLYPHMETRICS gm{};
        const std::optional<std::vector<Contour>> turned = parse(dc.outline('g', &gm, &m));
        ASSERT_TRUE(turned.has_value());
        ASSERT_EQ(turned->size(), base->size());
        const auto apply = [&](Pt p) {
            return Pt{std::llround(c.m11 * p.x + c.m21 * p.y), std::llround(c.m12 * p.x + c.m22 * p.y)};
        };
        std::int64_t x_min = INT64_MAX, y_max = INT64_MIN;
        for (std::size_t i = 0; i < base->size(); ++i) {
            const Contour &a = (*base)[i], &b = (*turned)[i];
            EXPECT_TRUE(near(apply(a.start), b.start, 2));
            ASSERT_EQ(a.records.size(), b.records.size());
            for (std::size_t r = 0; r < a.records.size(); ++r) {
                ASSERT_EQ(a.records[r].type, b.records[r].type);
                ASSERT_EQ(a.records[r].points.size(), b.records[r].points.size());
                for (std::size_t k = 0; k < a.records[r].points.size(); ++k)
                    EXPECT_TRUE(near(apply(a.records[r].points[k]), b.records[r].points[k], 2));
            }
            for (const Record& r : b.records)
                for (Pt p : r.points) x_min = std::min(x_min, p.x), y_max = std::max(y_max, p.y);
            x_min = std::min(x_min, b.start.x), y_max = std::max(y_max, b.start.y);
        }
        EXPECT_EQ(gm.gmptGlyphOrigin.x, static_cast<LONG>(std::floor(x_min / 65536.0)));
        EXPECT_EQ(gm.gmptGlyphOrigin.y, static_cast<LONG>(std::ceil(y_max / 65536.0)));
    }
}

// A bare CFF font named "CubicTest" whose "!" is drawn with cubics: one contour closed by a
// line, one closed by a curve. Units per em 1000, box from -200 to 800.
std::vector<unsigned char> cubic_cff_font()
{
    using Bytes = std::vector<unsigned char>;
    const auto index = [](const std::vector<Bytes>& items) {
        Bytes b{static_cast<unsigned char>(items.size() >> 8), static_cast<unsigned char>(items.size())};
        if (items.empty()) return b;
        b.push_back(2);  // offsets of two bytes
        std::size_t offset = 1;
        const auto put = [&](std::size_t v) {
            b.push_back(static_cast<unsigned char>(v >> 8));
            b.push_back(static_cast<unsigned char>(v));
        };
        put(offset);
        for (const Bytes& item : items) put(offset += item.size());
        for (const Bytes& item : items) b.insert(b.end(), item.begin(), item.end());
        return b;
    };
    // Numbers: five bytes in a DICT, three in a charstring, so that sizes are known in advance.
    const auto dict_int = [](Bytes& b, std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        b.insert(b.end(), {29, static_cast<unsigned char>(u >> 24), static_cast<unsigned char>(u >> 16),
                           static_cast<unsigned char>(u >> 8), static_cast<unsigned char>(u)});
    };
    const auto ops = [](std::initializer_list<std::pair<std::vector<int>, int>> list) {
        Bytes b;
        for (const auto& [args, op] : list) {
            for (int v : args) {
                const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
                b.insert(b.end(), {28, static_cast<unsigned char>(u >> 8), static_cast<unsigned char>(u)});
            }
            b.push_back(static_cast<unsigned char>(op));
        }
        return b;
    };
    constexpr int rmoveto = 21, rrcurveto = 8, endchar = 14;
    const Bytes exclam = ops({
        {{500, 100, 0}, rmoveto},  // advance 500, start (100, 0)
        {{165, 0, 135, 135, 0, 165}, rrcurveto},  // to (400, 300)
        {{0, 165, -30, 135, -135, 135}, rrcurveto},  // to (235, 600); a line closes
        {{365, -600}, rmoveto},  // (600, 0)
        {{165, 0, 135, 135, 0, 165}, rrcurveto},  // (900, 300)
        {{-100, 100, -200, -200, 0, -200}, rrcurveto},  // back to (600, 0)
        {{}, endchar},
    });
    // Glyphs of the standard character set: .notdef, space, exclam.
    const Bytes charstrings = index({{endchar}, {endchar}, exclam});
    const Bytes private_dict{139, 20, 139, 21};  // default and nominal width 0
    const Bytes header{1, 0, 4, 2}, name = index({Bytes{'C', 'u', 'b', 'i', 'c', 'T', 'e', 's', 't'}});
    const Bytes strings = index({}), subrs = index({});
    // The top DICT's size does not depend on the offsets it holds.
    const auto top_dict = [&](std::size_t charstrings_at, std::size_t private_at) {
        Bytes d;
        for (int v : {0, -200, 1000, 800}) dict_int(d, v);
        d.push_back(5);  // FontBBox
        dict_int(d, static_cast<std::int32_t>(charstrings_at));
        d.push_back(17);  // CharStrings
        dict_int(d, static_cast<std::int32_t>(private_dict.size()));
        dict_int(d, static_cast<std::int32_t>(private_at));
        d.push_back(18);  // Private
        return index({d});
    };
    const std::size_t before = header.size() + name.size() + top_dict(0, 0).size() + strings.size() + subrs.size();
    Bytes font = header;
    for (const Bytes* part : {&name}) font.insert(font.end(), part->begin(), part->end());
    const Bytes top = top_dict(before, before + charstrings.size());
    for (const Bytes* part : {&top, &strings, &subrs, &charstrings, &private_dict})
        font.insert(font.end(), part->begin(), part->end());
    return font;
}

struct Cubic {
    Pt p0, c1, c2, p3;
    Pt at(double t) const
    {
        const double s = 1 - t, a = s * s * s, b = 3 * s * s * t, c = 3 * s * t * t, d = t * t * t;
        return {std::llround(a * p0.x + b * c1.x + c * c2.x + d * p3.x), std::llround(a * p0.y + b * c1.y + c * c2.y + d * p3.y)};
    }
};

TEST(Glyph_Outline, CubicsBecomeTwoQuadraticsEach)
{
    Scratch_Dir dir;
    std::filesystem::create_directories(dir.path() + "/fonts");
    const std::vector<unsigned char> cff = cubic_cff_font();
    const std::string file = dir.path() + "/fonts/cubic.otf";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(cff.data()), static_cast<std::streamsize>(cff.size()));
    Scoped_Env env("PLATFORM_WINDOWS_DIR", dir.path().c_str());

    Reference_Face ref(file.c_str());
    ASSERT_NE(ref.face(), nullptr);
    FT_GlyphSlot slot = ref.load('!');
    ASSERT_NE(slot, nullptr);
    ASSERT_EQ(FT_Get_Char_Index(ref.face(), '!'), 2u);
    // FreeType's cubics, contour by contour.
    std::vector<std::vector<Cubic>> cubics;
    FT_Outline_Funcs f{};
    struct State {
        std::vector<std::vector<Cubic>>* out;
        Pt cur;
    } state{&cubics, {}};
    f.move_to = [](const FT_Vector* to, void* u) {
        auto* st = static_cast<State*>(u);
        st->out->emplace_back();
        st->cur = {to->x * 1024, to->y * 1024};
        return 0;
    };
    f.line_to = [](const FT_Vector* to, void* u) {
        static_cast<State*>(u)->cur = {to->x * 1024, to->y * 1024};
        return 0;
    };
    f.conic_to = [](const FT_Vector*, const FT_Vector*, void*) { return 1; };
    f.cubic_to = [](const FT_Vector* a, const FT_Vector* b, const FT_Vector* to, void* u) {
        auto* st = static_cast<State*>(u);
        const Pt p3{to->x * 1024, to->y * 1024};
        st->out->back().push_back({st->cur, {a->x * 1024, a->y * 1024}, {b->x * 1024, b->y * 1024}, p3});
        st->cur = p3;
        return 0;
    };
    ASSERT_EQ(FT_Outline_Decompose(&slot->outline, &f, &state), 0);
    ASSERT_EQ(cubics.size(), 2u);

    Font_Dc dc("CubicTest");
    const std::optional<std::vector<Contour>> contours = parse(dc.outline('!'));
    ASSERT_TRUE(contours.has_value());
    ASSERT_EQ(contours->size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const Contour& c = (*contours)[i];
        // Each cubic is one B-spline of two controls, or two records where its halves meet at a
        // point that is not their controls' midpoint.
        std::vector<Pt> controls, on;
        for (const Record& r : c.records) {
            ASSERT_EQ(r.type, 2) << "contour " << i;
            controls.insert(controls.end(), r.points.begin(), r.points.end() - 1);
        }
        ASSERT_EQ(controls.size(), 2 * cubics[i].size()) << "contour " << i;
        const Walk w = walk_of(c);
        std::vector<Pt> expected{cubics[i].front().p0};
        for (const Cubic& cu : cubics[i]) expected.insert(expected.end(), {cu.at(0.5), cu.p3});
        if (!near(expected.back(), expected.front(), 0)) expected.push_back(expected.front());
        ASSERT_EQ(w.on.size(), expected.size()) << "contour " << i;
        for (std::size_t k = 0; k < expected.size(); ++k)
            EXPECT_TRUE(near(w.on[k], expected[k], 1024)) << "contour " << i << " point " << k;
        // Each quadratic follows its half of the cubic to well under a pixel.
        for (std::size_t k = 0; k < cubics[i].size(); ++k) {
            for (int half = 0; half < 2; ++half) {
                const Pt q0 = w.on[2 * k + half], q1 = controls[2 * k + half], q2 = w.on[2 * k + half + 1];
                for (int j = 0; j <= 16; ++j) {
                    const double t = j / 16.0, s = 1 - t;
                    const Pt q{std::llround(s * s * q0.x + 2 * s * t * q1.x + t * t * q2.x),
                               std::llround(s * s * q0.y + 2 * s * t * q1.y + t * t * q2.y)};
                    const Pt want = cubics[i][k].at((half + t) / 2);
                    EXPECT_TRUE(near(q, want, 65536 / 8)) << "contour " << i << " cubic " << k << " t " << t;
                }
            }
        }
    }
}

TEST(Glyph_Outline, BufferSizesAndRefusals)
{
    Font_Dc dc("DejaVu Sans");
    const DWORD n = GetGlyphOutlineA(dc.dc, 'A', GGO_NATIVE, nullptr, 0, nullptr, nullptr);
    ASSERT_NE(n, GDI_ERROR);
    ASSERT_GT(n, 16u);
    std::vector<unsigned char> exact(n + 8, 0xAB);
    EXPECT_EQ(GetGlyphOutlineA(dc.dc, 'A', GGO_NATIVE, nullptr, n, exact.data(), nullptr), n);
    EXPECT_EQ(exact[n], 0xAB) << "wrote past the outline";
    // A null buffer with a size is still a query.
    EXPECT_EQ(GetGlyphOutlineA(dc.dc, 'A', GGO_NATIVE, nullptr, n, nullptr, nullptr), n);
    // A larger buffer gets the same bytes.
    std::vector<unsigned char> large(n + 8, 0xCD);
    EXPECT_EQ(GetGlyphOutlineA(dc.dc, 'A', GGO_NATIVE, nullptr, n + 8, large.data(), nullptr), n);
    EXPECT_TRUE(std::equal(exact.begin(), exact.begin() + n, large.begin()));

    std::vector<unsigned char> shorter(n, 0xAB);
    GLYPHMETRICS gm;
    std::memset(&gm, 0x5A, sizeof gm);
    const GLYPHMETRICS untouched = gm;
    EXPECT_EQ(GetGlyphOutlineA(dc.dc, 'A', GGO_NATIVE, &gm, n - 1, shorter.data(), nullptr), GDI_ERROR);
    EXPECT_TRUE(std::all_of(shorter.begin(), shorter.end(), [](unsigned char c) { return c == 0xAB; }));
    EXPECT_EQ(std::memcmp(&gm, &untouched, sizeof gm), 0);

    // A space has no contours, but it has an advance.
    std::vector<unsigned char> buf(64, 0xAB);
    EXPECT_EQ(GetGlyphOutlineA(dc.dc, ' ', GGO_NATIVE, &gm, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(GetGlyphOutlineA(dc.dc, ' ', GGO_NATIVE, &gm, 64, buf.data(), nullptr), 0u);
    EXPECT_GT(gm.gmCellIncX, 0);
    EXPECT_EQ(buf[0], 0xAB);

    HDC gone = CreateCompatibleDC(nullptr);
    DeleteDC(gone);
    for (HDC bad : {HDC{}, gone})
        EXPECT_EQ(GetGlyphOutlineA(bad, 'A', GGO_NATIVE, nullptr, 0, nullptr, nullptr), GDI_ERROR);
    for (UINT format : {GGO_METRICS, GGO_BITMAP, GGO_BEZIER, GGO_NATIVE | 0x100u})
        EXPECT_EQ(GetGlyphOutlineA(dc.dc, 'A', format, nullptr, 0, nullptr, nullptr), GDI_ERROR) << format;
}

TEST(Glyph_Outline, DefaultFontWhenNoneIsSelected)
{
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_GT(GetGlyphOutlineA(dc, 'A', GGO_NATIVE, nullptr, 0, nullptr, nullptr), 0u);
    EXPECT_NE(GetGlyphOutlineA(dc, 'A', GGO_NATIVE, nullptr, 0, nullptr, nullptr), GDI_ERROR);
    DeleteDC(dc);
}

// The fonts folder of a scratch Windows folder.
class Ttf_File : public ::testing::Test {
protected:
    void SetUp() override
    {
        fonts = dir.path() + "/fonts";
        std::filesystem::create_directories(fonts + "/Deep/Er");
        for (const std::string f : {"/Top.ttf", "/Deep/Er/Nested.TTC", "/SimHei.ttf", "/notes.txt"})
            std::ofstream(fonts + f) << "x";
        env = std::make_unique<Scoped_Env>("PLATFORM_WINDOWS_DIR", dir.path().c_str());
    }
    std::string lookup(const char* name, DWORD size = 4096)
    {
        std::vector<char> out(size + 1, '#');
        const DWORD n = platform_ttf_file(name, out.data(), size);
        EXPECT_EQ(out[size], '#') << "wrote past the buffer";
        if (size) { EXPECT_EQ(n, std::strlen(out.data())) << name; }
        return n ? std::string(out.data()) : std::string();
    }
    Scratch_Dir dir;
    std::string fonts;
    std::unique_ptr<Scoped_Env> env;
};

TEST_F(Ttf_File, FontsFolderThenTreesThenAliases)
{
    const std::string wqy = wqy_file, dejavu = dejavu_file;
    struct Case {
        const char* name;
        std::string path;
    } cases[] = {
        {"Top.ttf", fonts + "/Top.ttf"},
        {"TOP.TTF", fonts + "/Top.ttf"},
        {"C:\\WINDOWS\\Fonts\\top.ttf", fonts + "/Top.ttf"},  // another machine's folders
        {"/some/where/top.ttf", fonts + "/Top.ttf"},
        {"nested.ttc", fonts + "/Deep/Er/Nested.TTC"},
        {"simhei.ttf", fonts + "/SimHei.ttf"},     // a file of that name comes before the alias
        {"DejaVuSans.ttf", dejavu},                 // the system's fonts tree
        {"SIMSUN.TTC", wqy},
        {"Arial.ttf", dejavu},
        {"missing.ttf", ""},
        {"notes.txt", fonts + "/notes.txt"},  // in the fonts folder itself any file counts
        {"", ""},
        {"fonts\\", ""},
        {"..", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lookup(c.name), c.path) << c.name;
        if (!c.path.empty()) { EXPECT_TRUE(std::filesystem::is_regular_file(c.path)) << c.name; }
    }
    EXPECT_EQ(lookup(nullptr), "");
}

TEST_F(Ttf_File, PathMustFitTheBuffer)
{
    const std::string path = fonts + "/Top.ttf";
    const auto len = static_cast<DWORD>(path.size());
    EXPECT_EQ(lookup("top.ttf", len + 1), path);
    for (DWORD size : {DWORD{0}, DWORD{1}, DWORD{8}, len}) {
        std::vector<char> out(size + 1, '#');
        EXPECT_EQ(platform_ttf_file("top.ttf", out.data(), size), 0u) << size;
        if (size) { EXPECT_EQ(out[0], '\0') << size; }
        EXPECT_EQ(out[size], '#') << size;
    }
}

}  // namespace
