// TrueType fonts drawn from the device's glyph outlines: outline buffers built by hand and
// read into Bezier points, hostile buffers, the glyph cache, and the glyphs of real faces
// against FreeType's own decomposition of the same outlines.

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "geometry/pt_list.h"
#include "kernel/text/system_resource.h"
#include "kernel/text/ttf_library.h"
#include "platform/font.h"

namespace {

using Points = std::vector<std::pair<long, long>>;

// 16.16 fixed from a double, as the device writes it.
FIXED fx(double v)
{
    const auto raw = static_cast<std::int32_t>(std::lround(v * 65536.0));
    const auto u = static_cast<std::uint32_t>(raw);
    return FIXED{static_cast<WORD>(u & 0xFFFF), static_cast<SHORT>(static_cast<std::uint16_t>(u >> 16))};
}
POINTFX pfx(double x, double y) { return POINTFX{fx(x), fx(y)}; }

// Builds a GGO_NATIVE buffer byte by byte: polygons of line and spline records.
class Outline_Buffer {
public:
    void polygon(double x, double y)
    {
        close();
        m_start = m_bytes.size();
        put32(0);
        put32(TT_POLYGON_TYPE);
        put(pfx(x, y));
    }
    void record(WORD type, const std::vector<std::pair<double, double>>& pts)
    {
        put16(type);
        put16(static_cast<WORD>(pts.size()));
        for (const auto& [x, y] : pts) put(pfx(x, y));
    }
    // Patches the byte count of the last polygon.
    void close()
    {
        if (m_start == npos) return;
        const auto cb = static_cast<std::uint32_t>(m_bytes.size() - m_start);
        std::memcpy(m_bytes.data() + m_start, &cb, 4);
        m_start = npos;
    }
    std::vector<unsigned char> bytes()
    {
        close();
        return m_bytes;
    }

private:
    static constexpr std::size_t npos = std::size_t(-1);
    template <class T>
    void put(const T& v)
    {
        const auto* p = reinterpret_cast<const unsigned char*>(&v);
        m_bytes.insert(m_bytes.end(), p, p + sizeof v);
    }
    void put16(WORD v) { put(v); }
    void put32(std::uint32_t v) { put(v); }
    std::vector<unsigned char> m_bytes;
    std::size_t m_start = npos;
};

// The contours of an outline, y up again, through ttfrender_to_ptsets.
std::vector<Points> contours_of(const MB_TTF_Outline& outline, Qe_Pt* extent = nullptr)
{
    Qe_Void_List lists;
    Qe_Pt ext(-1, -1, 0);
    ttfrender_to_ptsets(nullptr, &outline, lists, ext);
    if (extent) *extent = ext;
    std::vector<Points> out;
    for (Qe_Void_Node* n = lists.head(); n; n = n->next()) {
        auto* l = static_cast<Qe_Pt_List*>(n->entity());
        Points pts;
        for (Qe_Pt_Node* p = l->head(); p; p = p->next()) pts.emplace_back(std::lround(p->x()), std::lround(p->y()));
        out.push_back(pts);
        delete l;
    }
    return out;
}

std::vector<Points> read_buffer(std::vector<unsigned char> bytes)
{
    MB_TTF_Outline outline;
    EXPECT_EQ(outline.Create(reinterpret_cast<const TTPOLYGONHEADER*>(bytes.data()),
                             static_cast<unsigned long>(bytes.size())),
              1);
    return contours_of(outline);
}

}  // namespace

TEST(TTFOutline, FixedValuesRoundHalvesUp)
{
    const std::pair<double, long> cases[] = {{2.5, 3},   {-2.5, -2}, {1.5, 2},   {-1.5, -1}, {0.49998, 0},
                                             {-0.5, 0},  {-0.50002, -1}, {100.0, 100}, {-32768.0, -32768}};
    for (const auto& [v, want] : cases) EXPECT_EQ(mb_fixed_to_long(fx(v)), want) << v;
}

// Each outline is read into Bezier points, every one a polyline vertex: lines as s, e, s, e;
// quadratic pieces through their cubic controls; a closing line only where the contour is
// open.
TEST(TTFOutline, BuffersBecomeBezierPoints)
{
    struct Case {
        const char* what;
        double sx, sy;
        std::vector<std::pair<WORD, std::vector<std::pair<double, double>>>> records;
        Points want;
    };
    const Case cases[] = {
        {"line, closed by a line back",
         0, 0,
         {{TT_PRIM_LINE, {{10, 0}}}},
         {{0, 0}, {10, 0}, {0, 0}, {10, 0}, {0, 0}, {10, 0}, {0, 0}}},
        {"quadratic",
         0, 0,
         {{TT_PRIM_QSPLINE, {{30, 30}, {60, 0}}}},
         {{0, 0}, {20, 20}, {40, 20}, {60, 0}, {0, 0}, {60, 0}, {0, 0}}},
        {"closed contour gets no closing line",
         0, 0,
         {{TT_PRIM_LINE, {{10, 0}, {10, 10}, {0, 0}}}},
         {{0, 0}, {10, 0}, {0, 0}, {10, 0}, {10, 10}, {10, 0}, {10, 10}, {0, 0}, {10, 10}, {0, 0}}},
        {"spline with two controls: the implied point is their midpoint",
         0, 0,
         {{TT_PRIM_QSPLINE, {{12, 12}, {24, 12}, {36, 0}}, }, {TT_PRIM_LINE, {{0, 0}}}},
         {{0, 0}, {8, 8}, {14, 12}, {18, 12}, {22, 12}, {28, 8}, {36, 0}, {0, 0}, {36, 0}, {0, 0}}},
        {"a record of another kind is stepped over",
         0, 0,
         {{TT_PRIM_CSPLINE, {{5, 5}, {6, 6}, {7, 7}}}, {TT_PRIM_LINE, {{10, 0}, {0, 0}}}},
         {{0, 0}, {10, 0}, {7, 7}, {10, 0}, {0, 0}, {10, 0}, {0, 0}}},
        {"start point rounds halves up",
         2.5, -2.5,
         {{TT_PRIM_LINE, {{2.5, -2.5}}}},
         {{3, -2}, {3, -2}, {3, -2}, {3, -2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Outline_Buffer b;
        b.polygon(c.sx, c.sy);
        for (const auto& [type, pts] : c.records) b.record(type, pts);
        const std::vector<Points> got = read_buffer(b.bytes());
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], c.want);
    }
}

TEST(TTFOutline, PolygonsAndTheirBounds)
{
    Outline_Buffer b;
    b.polygon(0, 0);
    b.record(TT_PRIM_LINE, {{10, 0}, {10, 10}, {0, 0}});
    b.polygon(20, 0);
    b.record(TT_PRIM_LINE, {{30, 0}, {30, -10}, {20, 0}});
    std::vector<unsigned char> two = b.bytes();
    MB_TTF_Outline outline;
    outline.Create(reinterpret_cast<const TTPOLYGONHEADER*>(two.data()), static_cast<unsigned long>(two.size()));
    ASSERT_EQ(outline.GetContourCount(), 2);
    EXPECT_EQ(outline.GetContour(2), nullptr);
    EXPECT_EQ(outline.GetContour(-1), nullptr);
    // Stored y down; turned back on the way out. The extent starts at 0 and takes the
    // largest x and y.
    EXPECT_EQ(outline.GetContour(0)->at(4).y, -10);
    Qe_Pt extent;
    const std::vector<Points> got = contours_of(outline, &extent);
    EXPECT_EQ(got[1].front(), (std::pair<long, long>(20, 0)));
    EXPECT_DOUBLE_EQ(extent.x(), 30.0);
    EXPECT_DOUBLE_EQ(extent.y(), 10.0);
    outline.Destroy();
    EXPECT_EQ(outline.GetContourCount(), 0);

    // A header of another type ends the walk; so does a byte count beyond the buffer.
    std::vector<unsigned char> stop = two;
    const std::uint32_t cb0 = 16 + 4 + 3 * 8;
    const std::uint32_t other = 25;
    std::memcpy(stop.data() + cb0 + 4, &other, 4);
    EXPECT_EQ(read_buffer(stop).size(), 1u);
    std::vector<unsigned char> lying = two;
    const std::uint32_t huge = 1u << 30;
    std::memcpy(lying.data() + cb0, &huge, 4);
    EXPECT_EQ(read_buffer(lying).size(), 1u);
    std::memcpy(lying.data(), &huge, 4);
    EXPECT_EQ(read_buffer(lying).size(), 0u);
    // A record whose point count runs past its polygon is not read.
    std::vector<unsigned char> long_record = two;
    const WORD many = 500;
    std::memcpy(long_record.data() + 16 + 2, &many, 2);
    const std::vector<Points> first_cut = read_buffer(long_record);
    ASSERT_EQ(first_cut.size(), 2u);
    EXPECT_EQ(first_cut[0], (Points{{0, 0}}));
}

// Every prefix and thousands of mutations of a real-looking buffer are read without a read
// or write outside it (the sanitizers watch), and never yield more contours than polygons.
TEST(TTFOutline, HostileBuffersStayInside)
{
    Outline_Buffer b;
    for (int k = 0; k < 4; ++k) {
        b.polygon(k * 10.0, 0);
        b.record(TT_PRIM_LINE, {{k * 10.0 + 5, 0}, {k * 10.0 + 5, 5}});
        b.record(TT_PRIM_QSPLINE, {{k * 10.0 + 3, 8}, {k * 10.0 + 1, 8}, {k * 10.0, 0}});
    }
    const std::vector<unsigned char> whole = b.bytes();
    for (std::size_t n = 0; n <= whole.size(); ++n) {
        // An exactly sized heap copy, so that a read past the end is caught.
        std::vector<unsigned char> prefix(whole.begin(), whole.begin() + static_cast<long>(n));
        auto copy = std::make_unique<unsigned char[]>(n ? n : 1);
        if (n > 0) std::memcpy(copy.get(), prefix.data(), n);
        MB_TTF_Outline o;
        o.Create(reinterpret_cast<const TTPOLYGONHEADER*>(copy.get()), static_cast<unsigned long>(n));
        EXPECT_LE(o.GetContourCount(), 4);
    }
    std::mt19937 rng(2026);
    for (int round = 0; round < 3000; ++round) {
        std::vector<unsigned char> m = whole;
        const int flips = 1 + static_cast<int>(rng() % 6);
        for (int f = 0; f < flips; ++f) m[rng() % m.size()] = static_cast<unsigned char>(rng());
        auto copy = std::make_unique<unsigned char[]>(m.size());
        std::memcpy(copy.get(), m.data(), m.size());
        MB_TTF_Outline o;
        o.Create(reinterpret_cast<const TTPOLYGONHEADER*>(copy.get()), static_cast<unsigned long>(m.size()));
        EXPECT_LE(o.GetContourCount(), 4);
    }
}

TEST(TTFOutline, GlyphCacheKeepsOrderAndFindsByCode)
{
    MB_TTF_Char_List list;
    auto* a = new MB_TTF_Char(65);
    auto* b = new MB_TTF_Char(0xD2BB);
    EXPECT_TRUE(list.add_ttf_char(a));
    EXPECT_TRUE(list.add_ttf_char(b));
    EXPECT_FALSE(list.add_ttf_char(a));
    EXPECT_FALSE(list.add_ttf_char(nullptr));
    EXPECT_EQ(list.head(), a);
    EXPECT_EQ(list.tail(), b);
    EXPECT_EQ(a->next(), b);
    EXPECT_EQ(b->prev(), a);
    EXPECT_EQ(list.find(0xD2BB), b);
    EXPECT_EQ(list.find(66), nullptr);
    auto* contour = new Qe_Pt_List;
    contour->add_tail(Qe_Pt(1, 2, 0));
    a->pts_list().add_tail(contour);
    list.kill_all();
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_EQ(list.find(65), nullptr);
}

namespace {

// The on-curve points of code's outline as FreeType decomposes it at the size the device
// gives a font with an 80 unit cell, unhinted; and the control box's upper corner.
struct Decomposed {
    std::vector<Points> contours;
    double max_x = 0, max_y = 0;
};

std::pair<long, long> whole_pixels(const FT_Vector* v)
{
    return {std::lround(v->x / 64.0), std::lround(v->y / 64.0)};
}

bool decompose(const std::string& file, char32_t code, Decomposed& out)
{
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) return false;
    FT_Face face = nullptr;
    bool ok = FT_New_Face(lib, file.c_str(), 0, &face) == 0;
    if (ok) {
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        const double cell = os2 && os2->usWinAscent + os2->usWinDescent > 0
                                ? double(os2->usWinAscent + os2->usWinDescent)
                                : double(face->ascender - face->descender);
        const double em = 80.0 * face->units_per_EM / cell;
        ok = FT_Set_Char_Size(face, 0, std::lround(em * 64), 72, 72) == 0 &&
             FT_Load_Glyph(face, FT_Get_Char_Index(face, code), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0;
    }
    if (ok) {
        FT_Outline_Funcs funcs{};
        funcs.move_to = [](const FT_Vector* to, void* u) {
            static_cast<Decomposed*>(u)->contours.push_back({whole_pixels(to)});
            return 0;
        };
        funcs.line_to = [](const FT_Vector* to, void* u) {
            static_cast<Decomposed*>(u)->contours.back().push_back(whole_pixels(to));
            return 0;
        };
        funcs.conic_to = [](const FT_Vector*, const FT_Vector* to, void* u) {
            static_cast<Decomposed*>(u)->contours.back().push_back(whole_pixels(to));
            return 0;
        };
        funcs.cubic_to = [](const FT_Vector*, const FT_Vector*, const FT_Vector* to, void* u) {
            static_cast<Decomposed*>(u)->contours.back().push_back(whole_pixels(to));
            return 0;
        };
        ok = FT_Outline_Decompose(&face->glyph->outline, &funcs, &out) == 0;
        FT_BBox box;
        FT_Outline_Get_CBox(&face->glyph->outline, &box);
        out.max_x = box.xMax / 64.0;
        out.max_y = box.yMax / 64.0;
    }
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return ok;
}

// True when every point of want appears, in order, among got's vertices within tol.
bool in_order(const Points& want, const std::vector<Qe_Pt>& got, double tol)
{
    std::size_t k = 0;
    for (const auto& [x, y] : want) {
        while (k < got.size() && (std::fabs(got[k].x() - x) > tol || std::fabs(got[k].y() - y) > tol)) ++k;
        if (k == got.size()) return false;
    }
    return true;
}

std::vector<std::vector<Qe_Pt>> glyph_contours(MB_TTF_Char& glyph)
{
    std::vector<std::vector<Qe_Pt>> out;
    for (Qe_Void_Node* n = glyph.pts_list().head(); n; n = n->next()) {
        std::vector<Qe_Pt> pts;
        for (Qe_Pt_Node* p = static_cast<Qe_Pt_List*>(n->entity())->head(); p; p = p->next()) pts.push_back(*p);
        out.push_back(pts);
    }
    return out;
}

std::string ttf_path(const char* name)
{
    char path[4096];
    return platform_ttf_file(name, path, sizeof path) ? std::string(path) : std::string();
}

class TTF_Device : public ::testing::Test {
protected:
    void SetUp() override { g_system_resource.free(); }
    void TearDown() override { g_system_resource.free(); }
};

}  // namespace

// The device's glyphs hold FreeType's on-curve points in order, with the same contours, and
// their extent is the control box's upper corner.
TEST_F(TTF_Device, GlyphsFollowFreeTypesOutlines)
{
    struct Case {
        const char* file;
        unsigned short code;  // as the kernel asks for it
        char32_t character;
    };
    const Case cases[] = {
        {"arial.ttf", 'A', U'A'},      {"arial.ttf", 'O', U'O'},      {"arial.ttf", 'g', U'g'},
        {"arial.ttf", '%', U'%'},      {"simsun.ttc", 'A', U'A'},     {"simsun.ttc", 0xD2BB, U'\u4E00'},
        {"simsun.ttc", 0xD3C0, U'\u6C38'}, {"arial.ttf", 176, U'\u00B0'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.code));
        MB_TTF_Library lib(c.file);
        std::unique_ptr<MB_TTF_Char> glyph(lib.create_ttf_char(c.code));
        ASSERT_NE(glyph, nullptr);
        Decomposed want;
        ASSERT_TRUE(decompose(ttf_path(c.file), c.character, want));
        const auto got = glyph_contours(*glyph);
        ASSERT_EQ(got.size(), want.contours.size());
        for (std::size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(in_order(want.contours[i], got[i], 1.0)) << "contour " << i;
        EXPECT_NEAR(glyph->end_pos().x(), want.max_x, 1.0);
        EXPECT_NEAR(lib.height(), std::max(1.0, want.max_y), 1.0);
    }
}

TEST_F(TTF_Device, LibraryNamesAndPen)
{
    MB_TTF_Library lib("arial.ttf");
    EXPECT_STREQ(lib.name().ascii(), "DejaVu Sans");
    EXPECT_EQ(lib.font_type(), MB_Font_Library::TTF_FONT);
    EXPECT_TRUE(lib.is_ttf_font());
    MB_TTF_Library nameless("no-such-font.ttf");
    EXPECT_STREQ(nameless.name().ascii(), "Arial");

    // Spaces: 0.67 h w along x, or down for vertical text; nothing drawn.
    for (unsigned long space : {32ul, 0xA1A1ul}) {
        Qe_Void_List out;
        Qe_Pt pen(1, 2, 0);
        EXPECT_TRUE(lib.char_2_ptlist(space, out, pen, 10.0, 2.0, false));
        EXPECT_NEAR(pen.x(), 1 + 13.4, 1e-12);
        EXPECT_TRUE(lib.char_2_ptlist(space, out, pen, 10.0, 2.0, true));
        EXPECT_NEAR(pen.y(), 2 - 13.4, 1e-12);
        EXPECT_TRUE(out.is_empty());
    }

    // A glyph is scaled by h / 57 and advances 1.1 times its scaled width whatever the width
    // factor; drawing it again uses the cached glyph.
    const auto draw = [&](double h, double w, Qe_Pt& pen) {
        Qe_Void_List out;
        EXPECT_TRUE(lib.char_2_ptlist('A', out, pen, h, w, false));
        std::vector<std::vector<Qe_Pt>> pts;
        for (Qe_Void_Node* n = out.head(); n; n = n->next()) {
            auto* l = static_cast<Qe_Pt_List*>(n->entity());
            std::vector<Qe_Pt> v;
            for (Qe_Pt_Node* p = l->head(); p; p = p->next()) v.push_back(*p);
            pts.push_back(v);
            delete l;
        }
        return pts;
    };
    Qe_Pt pen(1, 2, 0);
    const auto at57 = draw(57.0, 1.0, pen);
    MB_TTF_Char* glyph = lib.char_list().find('A');
    ASSERT_NE(glyph, nullptr);
    EXPECT_NEAR(pen.x(), 1 + 1.1 * glyph->end_pos().x(), 1e-9);
    const auto originals = glyph_contours(*glyph);
    ASSERT_EQ(at57.size(), originals.size());
    EXPECT_NEAR(at57[0][0].x(), originals[0][0].x() + 1, 1e-9);
    EXPECT_NEAR(at57[0][0].y(), originals[0][0].y() + 2, 1e-9);
    Qe_Pt wide(0, 0, 0);
    const auto at114 = draw(114.0, 3.0, wide);
    EXPECT_NEAR(wide.x(), 2 * 1.1 * glyph->end_pos().x(), 1e-9);
    EXPECT_NEAR(at114[0][0].x(), 2 * originals[0][0].x(), 1e-9);
    EXPECT_EQ(lib.char_list().head(), lib.char_list().tail());
}
