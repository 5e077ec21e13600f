#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>
#include <cstring>
#include <cmath>
#include <numbers>
#include <random>
#include <string>

#include "common/scratch_dir.h"
#include "dib_fixture.h"
#include "platform/font.h"
#include "platform/gdi_draw.h"
#include "platform/gdi.h"
#include "platform/handles.h"
#include "platform/recording_dc.h"

namespace {

constexpr COLORREF red = RGB(255, 0, 0);
constexpr COLORREF black = RGB(0, 0, 0);
constexpr COLORREF white = RGB(255, 255, 255);

// 宋体, 新宋体 and 文泉驿微米黑 in GBK.
constexpr const char* songti = "\xCB\xCE\xCC\xE5";
constexpr const char* new_songti = "\xD0\xC2\xCB\xCE\xCC\xE5";
constexpr const char* wqy_chinese_name = "\xCE\xC4\xC8\xAA\xE6\xE4\xCE\xA2\xC3\xD7\xBA\xDA";

constexpr const char* wqy_file = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
constexpr const char* dejavu_file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

HFONT make_font(int height, const char* face, int escapement = 0)
{
    return CreateFontA(height, 0, escapement, escapement, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 3, 2, 1, 0x31, face);
}

// The pixels of one colour: their bounding box and the principal direction of their spread.
struct Ink {
    long count = 0;
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;  // inclusive
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;

    Ink(const Dib& d, COLORREF c)
    {
        for (int y = 0; y < d.h; ++y)
            for (int x = 0; x < d.w; ++x) {
                if (d.at(x, y) != c) continue;
                ++count;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
                sx += x, sy += y, sxx += double(x) * x, syy += double(y) * y, sxy += double(x) * y;
            }
    }
    // Angle of the main axis in degrees, counter-clockwise on the screen (y down), in (-90, 90].
    double axis_degrees() const
    {
        const double n = static_cast<double>(count);
        const double vxx = sxx / n - (sx / n) * (sx / n), vyy = syy / n - (sy / n) * (sy / n);
        const double vxy = sxy / n - (sx / n) * (sy / n);
        return -0.5 * std::atan2(2 * vxy, vxx - vyy) * 180 / std::numbers::pi;
    }
};

// Draws text with one font into a fresh black 32-bit DIB and hands back the DIB.
struct Canvas {
    Dib d;
    HFONT font;
    HGDIOBJ old;
    Canvas(int w, int h, HFONT f) : d(w, h, 32, false), font(f), old(SelectObject(d.dc, f))
    {
        SetTextColor(d.dc, red);
    }
    ~Canvas()
    {
        SelectObject(d.dc, old);
        DeleteObject(font);
    }
    SIZE extent(const char* s) const
    {
        SIZE size{};
        EXPECT_TRUE(GetTextExtentPoint32A(d.dc, s, static_cast<int>(std::strlen(s)), &size));
        return size;
    }
    void out(int x, int y, const char* s, UINT align)
    {
        SetTextAlign(d.dc, align);
        ASSERT_TRUE(TextOutA(d.dc, x, y, s, static_cast<int>(std::strlen(s))));
    }
};

TEST(DeviceFont, FaceNamesResolveThroughAliasesFamiliesAndDefault)
{
    struct Case {
        const char* face;
        const char* file;
    };
    const Case cases[] = {
        {songti, wqy_file},
        {new_songti, wqy_file},
        {"Arial", dejavu_file},
        {"ARIAL", dejavu_file},
        {"DejaVu Serif", "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf"},
        {"dejavu sans mono", "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"},
        {"WenQuanYi Micro Hei", wqy_file},
        {wqy_chinese_name, wqy_file},  // the name table's Chinese family name
        {"No Such Face", wqy_file},
        {"", wqy_file},
        {nullptr, wqy_file},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.face ? c.face : "(null)");
        char path[512];
        int index = -1;
        const DWORD n = platform_font_file(c.face, path, sizeof path, &index);
        EXPECT_EQ(std::string(path), c.file);
        EXPECT_EQ(n, std::strlen(c.file));
        EXPECT_EQ(index, 0);
    }
    char tiny[8];
    EXPECT_EQ(platform_font_file("Arial", tiny, sizeof tiny, nullptr), 0u);
    EXPECT_STREQ(tiny, "");
}

TEST(DeviceFont, AliasesOutliveAFontsFolderWithoutThem)
{
    // A fonts folder of its own: family names are looked up there only, the aliases and the
    // default still reach the fonts the system installed.
    Scratch_Dir dir;
    std::filesystem::create_directories(dir.path() + "/fonts/sub");
    std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf",
                               dir.path() + "/fonts/sub/Bold.TTF");
    Scoped_Env env("PLATFORM_WINDOWS_DIR", dir.path().c_str());
    char path[512];
    ASSERT_GT(platform_font_file("DejaVu Serif", path, sizeof path, nullptr), 0u);
    EXPECT_EQ(std::string(path), dir.path() + "/fonts/sub/Bold.TTF");
    ASSERT_GT(platform_font_file("DejaVu Sans", path, sizeof path, nullptr), 0u);
    EXPECT_EQ(std::string(path), wqy_file);
    ASSERT_GT(platform_font_file("Arial", path, sizeof path, nullptr), 0u);
    EXPECT_EQ(std::string(path), dejavu_file);
}

TEST(TextOut, GlyphIsFreeTypesOwnMonochromeRendering)
{
    // The GBK bytes of 中 must reach the CJK glyph: the test renders U+4E2D itself and expects
    // exactly those pixels, at the baseline point, in the text colour and nowhere else.
    Canvas c(60, 50, make_font(-24, songti));
    c.out(10, 35, "\xD6\xD0", TA_LEFT | TA_BASELINE);

    FT_Library lib = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(lib, wqy_file, 0, &face), 0);
    ASSERT_EQ(FT_Set_Char_Size(face, 24 * 64, 24 * 64, 72, 72), 0);
    ASSERT_EQ(FT_Load_Char(face, 0x4E2D, FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP | FT_LOAD_RENDER | FT_LOAD_MONOCHROME),
              0);
    const FT_Bitmap& bm = face->glyph->bitmap;
    long expected = 0;
    for (int y = 0; y < c.d.h; ++y)
        for (int x = 0; x < c.d.w; ++x) {
            const int r = y - (35 - face->glyph->bitmap_top), col = x - (10 + face->glyph->bitmap_left);
            const bool ink = r >= 0 && col >= 0 && r < int(bm.rows) && col < int(bm.width) &&
                             (bm.buffer[r * bm.pitch + (col >> 3)] & (0x80 >> (col & 7)));
            expected += ink;
            // The default background mode is opaque with a white background.
            ASSERT_TRUE(c.d.at(x, y) == (ink ? red : white) || (!ink && c.d.at(x, y) == black)) << x << "," << y;
        }
    EXPECT_GT(expected, 40);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
}

TEST(TextOut, OpaqueModeFillsExactlyTheCell)
{
    Canvas c(120, 60, make_font(20, "Arial"));
    const SIZE size = c.extent("Hxg");
    EXPECT_EQ(size.cy, 20);  // a positive height is the cell's height
    c.out(30, 15, "Hxg", TA_LEFT | TA_TOP);
    for (int y = 0; y < c.d.h; ++y)
        for (int x = 0; x < c.d.w; ++x) {
            const bool in_cell = x >= 30 && x < 30 + size.cx && y >= 15 && y < 15 + size.cy;
            const COLORREF p = c.d.at(x, y);
            ASSERT_TRUE(in_cell ? (p == white || p == red) : p == black) << x << "," << y;
        }
    EXPECT_GT(Ink(c.d, red).count, 30);
}

TEST(TextOut, OpaqueCellTurnsWithTheText)
{
    // At 90 degrees the cell stands upright: cy wide and cx high, above the reference point.
    Canvas c(80, 120, make_font(20, "Arial", 900));
    const SIZE size = c.extent("Hxg");
    c.out(30, 100, "Hxg", TA_LEFT | TA_TOP);
    for (int y = 0; y < c.d.h; ++y)
        for (int x = 0; x < c.d.w; ++x) {
            const bool in_cell = x >= 30 && x < 30 + size.cy && y >= 100 - size.cx && y < 100;
            const COLORREF p = c.d.at(x, y);
            ASSERT_TRUE(in_cell ? (p == white || p == red) : p == black) << x << "," << y;
        }
}

TEST(TextOut, WeightAndSlantShowInTheInk)
{
    const auto draw = [](int weight, DWORD italic) {
        Canvas c(200, 60, CreateFontA(-30, 0, 0, 0, weight, italic, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "DejaVu Sans"));
        c.out(10, 10, "IIII", TA_LEFT | TA_TOP);
        const Ink all(c.d, red);
        // Horizontal position of the ink in the top and bottom rows of the letters.
        int top_left = INT_MAX, bottom_left = INT_MAX;
        for (int x = 0; x < c.d.w; ++x) {
            if (c.d.at(x, all.top) == red) top_left = std::min(top_left, x);
            if (c.d.at(x, all.bottom) == red) bottom_left = std::min(bottom_left, x);
        }
        return std::make_pair(all.count, top_left - bottom_left);
    };
    const auto regular = draw(FW_NORMAL, 0);  // ink count, lean in pixels
    const auto bold = draw(FW_BOLD, 0);
    const auto italic = draw(FW_NORMAL, 1);
    EXPECT_GT(bold.first, regular.first * 5 / 4);
    EXPECT_EQ(regular.second, 0);
    EXPECT_GE(italic.second, 3);  // letters lean to the right
}

TEST(TextOut, AlignmentPlacesTheReferencePoint)
{
    // The same text drawn with each alignment must be the TA_LEFT | TA_TOP drawing moved by
    // the extent: left / centre / right along x, top / baseline / bottom along y.
    HFONT probe = make_font(-22, "Arial");
    Canvas ref(220, 120, probe);
    const SIZE size = ref.extent("HHH");
    ref.out(100, 50, "HHH", TA_LEFT | TA_TOP);
    const Ink base(ref.d, red);
    ASSERT_GT(base.count, 50);
    EXPECT_GE(base.left, 100);
    EXPECT_LE(base.right, 100 + size.cx);
    EXPECT_GE(base.top, 50);
    EXPECT_LE(base.bottom, 50 + size.cy);

    // Capital H stands on the baseline: with TA_BASELINE its lowest row is the one above y.
    Canvas bl(220, 120, make_font(-22, "Arial"));
    bl.out(100, 50, "HHH", TA_LEFT | TA_BASELINE);
    EXPECT_EQ(Ink(bl.d, red).bottom, 49);

    struct Case {
        UINT align;
        int dx;  // expected shift of the ink relative to TA_LEFT | TA_TOP
        int dy;
    };
    const Case cases[] = {
        {TA_RIGHT | TA_TOP, -size.cx, 0},
        {TA_CENTER | TA_TOP, -size.cx / 2, 0},
        {TA_LEFT | TA_BOTTOM, 0, -size.cy},
        {TA_RIGHT | TA_BOTTOM, -size.cx, -size.cy},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.align);
        Canvas c(220, 120, make_font(-22, "Arial"));
        c.out(100, 50, "HHH", k.align);
        const Ink ink(c.d, red);
        EXPECT_EQ(ink.count, base.count);
        EXPECT_NEAR(ink.left, base.left + k.dx, 1);
        EXPECT_NEAR(ink.top, base.top + k.dy, 1);
    }
}

TEST(TextOut, EscapementTurnsTheRun)
{
    for (int tenths : {0, 300, 600, 900, 1350, -450}) {
        SCOPED_TRACE(tenths);
        Canvas c(300, 300, make_font(-16, "Arial", tenths));
        c.out(150, 150, "HHHHHHHHHHHH", TA_LEFT | TA_BASELINE);
        const Ink ink(c.d, red);
        ASSERT_GT(ink.count, 100);
        const double want = tenths / 10.0;
        // Axes are directions without a sense: compare modulo 180 degrees.
        EXPECT_NEAR(std::remainder(ink.axis_degrees() - want, 180.0), 0.0, 4.0);
        // The run starts at the reference point and leaves it in the escapement's direction.
        const double a = tenths / 10.0 * std::numbers::pi / 180;
        const double cx = ink.sx / double(ink.count) - 150, cy = ink.sy / double(ink.count) - 150;
        EXPECT_GT(cx * std::cos(a) - cy * std::sin(a), 40.0);
    }
}

// The background mode and raster operation setters come with the GDI drawing calls.
TEST(TextOut, TransparentModeAndRasterOperationsLeaveInkAlone)
{
    long reference = -1;
    for (int rop : {R2_COPYPEN, R2_NOTXORPEN, R2_BLACK, R2_WHITE}) {
        SCOPED_TRACE(rop);
        Canvas c(120, 50, make_font(-20, "Arial"));
        EXPECT_EQ(SetBkMode(c.d.dc, TRANSPARENT), OPAQUE);
        SetROP2(c.d.dc, rop);
        // Twice in the same place: a raster operation such as NOT-XOR would undo the first.
        c.out(10, 10, "Hxg", TA_LEFT | TA_TOP);
        c.out(10, 10, "Hxg", TA_LEFT | TA_TOP);
        const Ink ink(c.d, red);
        EXPECT_EQ(ink.count + Ink(c.d, black).count, 120 * 50);  // no cell, nothing mixed
        if (reference < 0) reference = ink.count;
        EXPECT_EQ(ink.count, reference);
        EXPECT_GT(ink.count, 30);
    }
}

TEST(TextOut, OpaqueCellTakesTheBackgroundColour)
{
    Canvas c(80, 40, make_font(-16, "Arial"));
    SetBkColor(c.d.dc, RGB(0, 0, 255));
    SetROP2(c.d.dc, R2_NOTXORPEN);
    c.out(5, 5, "Hx", TA_LEFT | TA_TOP);
    const SIZE size = c.extent("Hx");
    EXPECT_EQ(Ink(c.d, RGB(0, 0, 255)).count + Ink(c.d, red).count, size.cx * size.cy);
}

TEST(TextOut, MovesTheCurrentPositionWithUpdateCp)
{
    Canvas c(200, 60, make_font(-20, "Arial"));
    const SIZE size = c.extent("H");
    c.out(0, 0, "H", TA_UPDATECP | TA_TOP);
    const int first_right = Ink(c.d, red).right;
    c.out(0, 0, "H", TA_UPDATECP | TA_TOP);
    const Ink both(c.d, red);
    EXPECT_NEAR(both.right, first_right + size.cx, 1);
}

TEST(TextOut, ArbitraryBytesAndAnglesStayInsideTheSurface)
{
    // Any bytes (invalid GBK included) at any angle, size and place: no fault, and under the
    // sanitizers no write outside the pixel memory.
    std::mt19937 rng(14);
    HFONT base = make_font(-12, "Arial");
    {
        Dib d(37, 23, 24);
        SelectObject(d.dc, base);
        for (int round = 0; round < 300; ++round) {
            std::string text(1 + rng() % 12, '\0');
            for (char& ch : text) ch = static_cast<char>(rng() % 256);
            const int height = static_cast<int>(rng() % 80) - 40;
            HFONT f = CreateFontA(height, static_cast<int>(rng() % 30), static_cast<int>(rng() % 7200) - 3600, 0,
                                  static_cast<int>(rng() % 1000), rng() % 2, rng() % 2, rng() % 2, DEFAULT_CHARSET, 0, 0,
                                  0, 0, rng() % 2 ? songti : "Arial");
            ASSERT_EQ(SelectObject(d.dc, f), base);
            SetTextAlign(d.dc, static_cast<UINT>(rng() % 32));
            TextOutA(d.dc, static_cast<int>(rng() % 120) - 40, static_cast<int>(rng() % 100) - 40, text.data(),
                     static_cast<int>(text.size()));
            SelectObject(d.dc, base);
            ASSERT_TRUE(DeleteObject(f));
        }
    }
    EXPECT_TRUE(DeleteObject(base));
}

TEST(TextOut, BadArgumentsFailCleanly)
{
    const long live = platform_gdi_object_count();
    HFONT huge = make_font(-1000000, "Arial");
    {
        Dib d(20, 20, 32);
        EXPECT_FALSE(TextOutA(nullptr, 0, 0, "a", 1));
        EXPECT_FALSE(TextOutA(d.dc, 0, 0, nullptr, 1));
        EXPECT_FALSE(TextOutA(d.dc, 0, 0, "a", -1));
        EXPECT_TRUE(TextOutA(d.dc, 0, 0, "", 0));
        EXPECT_EQ(SetTextAlign(nullptr, TA_RIGHT), GDI_ERROR);
        EXPECT_EQ(SetTextColor(nullptr, red), 0xFFFFFFFFu);
        EXPECT_EQ(SetTextAlign(d.dc, TA_RIGHT), TA_LEFT | TA_TOP);
        EXPECT_EQ(GetTextAlign(d.dc), TA_RIGHT);
        EXPECT_EQ(SetTextColor(d.dc, red), black);
        EXPECT_EQ(GetTextColor(d.dc), red);

        // A new DC starts with the default font selected, as GDI's does.
        SetTextAlign(d.dc, TA_LEFT | TA_TOP);
        EXPECT_TRUE(TextOutA(d.dc, 2, 2, "H", 1));
        EXPECT_GT(Ink(d, red).count, 5);

        // Text far outside is clipped; sizes no screen shows are refused, not rendered.
        HFONT normal = make_font(-12, "Arial");
        const HGDIOBJ default_font = GetCurrentObject(d.dc, OBJ_FONT);
        EXPECT_NE(default_font, nullptr);
        EXPECT_EQ(SelectObject(d.dc, normal), default_font);
        EXPECT_TRUE(TextOutA(d.dc, INT_MAX - 5, INT_MIN + 5, "HH", 2));
        EXPECT_TRUE(TextOutA(d.dc, -2000000000, 2000000000, "HH", 2));
        EXPECT_EQ(SelectObject(d.dc, huge), normal);
        EXPECT_FALSE(TextOutA(d.dc, 0, 0, "H", 1));
        SIZE size{};
        EXPECT_FALSE(GetTextExtentPoint32A(d.dc, "H", 1, &size));
        EXPECT_TRUE(DeleteObject(normal));
        EXPECT_FALSE(DeleteObject(huge));  // a font in use stays alive
        EXPECT_FALSE(DeleteObject(normal));  // stale
    }
    EXPECT_TRUE(DeleteObject(huge));
    EXPECT_EQ(platform_gdi_object_count(), live);
}

}  // namespace

namespace {

TEST(TextOut, RecordingDcLogsTextCallsWithTheirText)
{
    HDC rec = platform_create_recording_dc(nullptr);
    ASSERT_NE(rec, nullptr);
    SetTextColor(rec, RGB(1, 2, 3));
    SetTextAlign(rec, TA_RIGHT);
    EXPECT_TRUE(TextOutA(rec, 10, -5, "120", 3));
    EXPECT_TRUE(TextOutA(rec, 0, 0, "", 0));
    std::vector<std::string> texts;
    for (const Platform_Call& c : platform_recorded_calls(rec)) texts.push_back(platform_call_text(c));
    EXPECT_EQ(texts, (std::vector<std::string>{"SetTextColor 197121", "SetTextAlign 2", "TextOutA 10 -5 3 \"120\"",
                                               "TextOutA 0 0 0"}));
    DeleteDC(rec);
}

}  // namespace

// The raster-operation text call inks exactly TextOutA's pixels, each once: twice in NOT-XOR
// mode gives the surface back at every depth, and TextOutA itself keeps ignoring the mode.
TEST(TextOutRop, InksTextOutsPixelsThroughTheRasterOperation)
{
    const char* text = "Hxg\xCB\xCE";
    const int n = static_cast<int>(std::strlen(text));
    Canvas plain(140, 50, make_font(-22, "Arial"));
    SetBkMode(plain.d.dc, TRANSPARENT);
    plain.out(10, 40, text, TA_LEFT | TA_BOTTOM);
    const Ink reference(plain.d, red);
    ASSERT_GT(reference.count, 30);

    for (int bpp : {8, 16, 24, 32}) {
        SCOPED_TRACE(bpp);
        Dib d(140, 50, bpp);
        fill_primaries(d, 3);
        std::vector<COLORREF> start;
        for (int y = 0; y < d.h; ++y)
            for (int x = 0; x < d.w; ++x) start.push_back(d.at(x, y));
        HFONT font = make_font(-22, "Arial");
        HGDIOBJ old = SelectObject(d.dc, font);
        SetBkMode(d.dc, TRANSPARENT);
        SetTextColor(d.dc, red);
        SetTextAlign(d.dc, TA_LEFT | TA_BOTTOM);
        SetROP2(d.dc, R2_NOTXORPEN);
        ASSERT_TRUE(platform_text_out_rop(d.dc, 10, 40, text, n));
        // Only inked pixels change; in the colour formats NOT-XOR with red turns green and blue
        // over, so every inked pixel changes (an 8-bit index may land on the same colour).
        long changed = 0;
        for (int y = 0; y < d.h; ++y)
            for (int x = 0; x < d.w; ++x) {
                const bool differs = d.at(x, y) != start[static_cast<std::size_t>(y * d.w + x)];
                changed += differs;
                if (differs || bpp > 8) {
                    EXPECT_EQ(differs, plain.d.at(x, y) == red) << x << ", " << y;
                }
            }
        if (bpp > 8) {
            EXPECT_EQ(changed, reference.count);
        }
        EXPECT_GT(changed, 0);
        ASSERT_TRUE(platform_text_out_rop(d.dc, 10, 40, text, n));
        for (int y = 0; y < d.h; ++y)
            for (int x = 0; x < d.w; ++x) ASSERT_EQ(d.at(x, y), start[static_cast<std::size_t>(y * d.w + x)]);
        SelectObject(d.dc, old);
        DeleteObject(font);
    }

    // Recorded under its own name, with its text.
    HDC rec = platform_create_recording_dc(nullptr);
    EXPECT_TRUE(platform_text_out_rop(rec, 1, 2, "ab", 2));
    const auto calls = platform_recorded_calls(rec);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(platform_call_text(calls[0]), "platform_text_out_rop 1 2 2 \"ab\"");
    EXPECT_FALSE(platform_text_out_rop(rec, 0, 0, nullptr, 3));
    DeleteDC(rec);
}
