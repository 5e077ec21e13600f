// The metafile player: EMF and WMF records drawn onto device contexts, the caller's state kept,
// and hostile files (cut at every record, absurd sizes and counts, deep saves) refused safely.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "common/metafile_writer.h"
#include "dib_fixture.h"
#include "platform/font.h"
#include "platform/gdi_draw.h"
#include "platform/handles.h"
#include "platform/metafile.h"
#include "platform/recording_dc.h"
#include "platform/ximage.h"

#include <string>

namespace {

using metafile_writer::Bytes;
using metafile_writer::Emf;
using metafile_writer::Wmf;

constexpr COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255), white = RGB(255, 255, 255), black = RGB(0, 0, 0);

BOOL play(HDC dc, const Bytes& b, RECT r)
{
    HENHMETAFILE mf = SetWinMetaFileBits(static_cast<UINT>(b.size()), b.data(), nullptr, nullptr);
    if (!mf) return FALSE;
    const BOOL ok = PlayEnhMetaFile(dc, mf, &r);
    DeleteEnhMetaFile(mf);
    return ok;
}

void fill(Dib& d, COLORREF c)
{
    HBRUSH b = CreateSolidBrush(c);
    const RECT all{0, 0, d.w, d.h};
    FillRect(d.dc, &all, b);
    DeleteObject(b);
}

// The same picture in both kinds: a red rectangle with a blue outline on 40 x 30 units.
Bytes emf_box()
{
    return Emf(40, 30).handles(3).pen(1, PS_SOLID, 0, blue).brush(2, BS_SOLID, red).select(1).select(2)
        .rectangle(10, 5, 30, 25).bytes();
}
Bytes wmf_box(bool placeable)
{
    Wmf w(40, 30, 96, placeable);
    if (!placeable) w.window(0, 0, 40, 30);
    return w.objects(2).pen(PS_SOLID, 0, blue).brush(BS_SOLID, red).select(0).select(1).rectangle(10, 5, 30, 25).bytes();
}

TEST(Metafile_Player, RectangleInEveryKindLandsOnItsPixels)
{
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {{"emf", emf_box()}, {"placeable wmf", wmf_box(true)}, {"plain wmf", wmf_box(false)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int bpp : {32, 24, 16, 8}) {
            Dib d(80, 60, bpp);
            fill(d, white);
            // Twice the picture's size: every unit is 2 x 2 pixels.
            ASSERT_TRUE(play(d.dc, c.bytes, RECT{0, 0, 80, 60}));
            EXPECT_EQ(d.at(40, 30), red);
            EXPECT_EQ(d.at(20, 10), blue);   // top-left corner of the outline
            EXPECT_EQ(d.at(20, 30), blue);   // left edge
            EXPECT_EQ(d.at(22, 12), red);
            EXPECT_EQ(d.at(10, 10), white);  // outside
            EXPECT_EQ(d.at(70, 55), white);
        }
    }
}

TEST(Metafile_Player, CallersStateComesBackAndNothingLeaks)
{
    Dib d(40, 30, 32);
    HPEN pen = CreatePen(PS_DASH, 1, RGB(1, 2, 3));
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    HGDIOBJ old_pen = SelectObject(d.dc, pen);
    HGDIOBJ old_brush = SelectObject(d.dc, brush);
    SetBkMode(d.dc, TRANSPARENT);
    SetROP2(d.dc, R2_NOTXORPEN);
    SetTextColor(d.dc, RGB(7, 8, 9));
    IntersectClipRect(d.dc, 1, 2, 30, 20);
    const long before = platform_gdi_object_count();
    for (const Bytes& b : {emf_box(), wmf_box(true), wmf_box(false)}) ASSERT_TRUE(play(d.dc, b, RECT{0, 0, 40, 30}));
    EXPECT_EQ(platform_gdi_object_count(), before);
    EXPECT_EQ(GetCurrentObject(d.dc, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(d.dc, OBJ_BRUSH), brush);
    EXPECT_EQ(GetBkMode(d.dc), TRANSPARENT);
    EXPECT_EQ(GetROP2(d.dc), R2_NOTXORPEN);
    EXPECT_EQ(GetTextColor(d.dc), RGB(7, 8, 9));
    RECT clip{};
    EXPECT_EQ(GetClipBox(d.dc, &clip), SIMPLEREGION);
    EXPECT_EQ(clip.left, 1);
    EXPECT_EQ(clip.bottom, 20);
    // The caller's clip held during the play: nothing below row 20.
    EXPECT_EQ(d.at(20, 22), black);
    EXPECT_EQ(d.at(20, 15), red);
    SelectObject(d.dc, old_pen);
    SelectObject(d.dc, old_brush);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
}

// A 2 x 2 DIB (top row red, green; bottom row blue, white) stretched onto 20 x 20 pixels, and
// mirrored by a negative width: GDI's row order and mirroring in both kinds.
TEST(Metafile_Player, DibsKeepTheirRowOrderAndMirror)
{
    const Bytes dib = metafile_writer::dib24(2, 2, [](int x, int y) {
        return y == 0 ? (x == 0 ? red : RGB(0, 255, 0)) : (x == 0 ? blue : white);
    });
    const Bytes upright_emf = Emf(20, 20).stretch_dibits(0, 0, 20, 20, dib, 2, 2).bytes();
    const Bytes mirrored_emf = Emf(20, 20).stretch_dibits(19, 0, -20, 20, dib, 2, 2).bytes();
    const Bytes upright_wmf = Wmf(20, 20, 96).stretch_dib(0, 0, 20, 20, dib, 2, 2).bytes();
    for (const Bytes* b : {&upright_emf, &upright_wmf, &mirrored_emf}) {
        const bool mirrored = b == &mirrored_emf;
        Dib d(20, 20, 32);
        ASSERT_TRUE(play(d.dc, *b, RECT{0, 0, 20, 20}));
        EXPECT_EQ(d.at(mirrored ? 15 : 4, 4), red);
        EXPECT_EQ(d.at(mirrored ? 4 : 15, 4), RGB(0, 255, 0));
        EXPECT_EQ(d.at(mirrored ? 15 : 4, 15), blue);
        EXPECT_EQ(d.at(mirrored ? 4 : 15, 15), white);
    }
}

// Where a unit lands: the world transform, the map modes with window and viewport, and a
// frame stretched onto another rectangle.
TEST(Metafile_Player, TransformsAndMapModesPlaceTheRecords)
{
    const auto f = [](float v) { return metafile_writer::float_bits(v); };
    struct Case {
        const char* what;
        Bytes bytes;
        RECT target;
        POINT inside, outside;
    };
    const auto brush = [](Emf e) { return e.handles(2).brush(1, BS_SOLID, red).select(1).select(0x80000008u); };
    const Case cases[] = {
        // Twice the size, moved by (10, 5): the unit square 0..5 covers 10..20 x 5..15.
        {"world", brush(Emf(40, 40)).rec(35, {f(2), f(0), f(0), f(2), f(10), f(5)}).rectangle(0, 0, 5, 5).bytes(),
         RECT{0, 0, 40, 40}, {15, 10}, {25, 10}},
        // Window 0..100 shown on a viewport of 0..40: 50..100 is 20..40.
        {"anisotropic", brush(Emf(40, 40)).rec(17, {8}).rec(9, {100, 100}).rec(11, {40, 40}).rectangle(50, 50, 100, 100).bytes(),
         RECT{0, 0, 40, 40}, {30, 30}, {15, 15}},
        // 0.01 mm with y up: at 96 dpi 1000 units are 37.8 pixels, upwards from the origin.
        {"himetric", brush(Emf(80, 80)).rec(17, {3}).rec(12, {0, 79}).rectangle(0, 0, 1000, 1000).bytes(),
         RECT{0, 0, 80, 80}, {10, 70}, {10, 30}},
        // The frame of 40 x 40 units stretched onto 80 x 80 pixels at (100, 0).
        {"frame", brush(Emf(40, 40)).rectangle(10, 10, 20, 20).bytes(), RECT{100, 0, 180, 80}, {130, 30}, {110, 10}},
        // Turned a quarter: (x, y) to (-y, x), then moved by (30, 0).
        {"turned", brush(Emf(40, 40)).rec(35, {f(0), f(1), f(-1), f(0), f(30), f(0)}).rectangle(0, 0, 10, 20).bytes(),
         RECT{0, 0, 40, 40}, {20, 5}, {25, 15}},
        // A world moved by (10, 0), then doubled before it (2x + 10) or after it (2x + 20).
        {"doubled first", brush(Emf(40, 40)).rec(35, {f(1), f(0), f(0), f(1), f(10), f(0)})
             .rec(36, {f(2), f(0), f(0), f(2), f(0), f(0), 2}).rectangle(0, 0, 5, 5).bytes(),
         RECT{0, 0, 40, 40}, {12, 5}, {22, 5}},
        {"doubled after", brush(Emf(40, 40)).rec(35, {f(1), f(0), f(0), f(1), f(10), f(0)})
             .rec(36, {f(2), f(0), f(0), f(2), f(0), f(0), 3}).rectangle(0, 0, 5, 5).bytes(),
         RECT{0, 0, 40, 40}, {25, 5}, {15, 5}},
        // Window 100 x 100 on a viewport of 40 x 40, the window's width then halved: 25..50 x
        // 50..100 is 20..40 x 20..40.
        {"window scaled", brush(Emf(40, 40)).rec(17, {8}).rec(9, {100, 100}).rec(11, {40, 40})
             .rec(32, {1, 2, 1, 1}).rectangle(25, 50, 50, 100).bytes(),
         RECT{0, 0, 40, 40}, {30, 30}, {15, 30}},
        // The viewport of 20 x 20 doubled in height: 50..100 of a 100-unit window is 10..20 x 20..40.
        {"viewport scaled", brush(Emf(40, 40)).rec(17, {8}).rec(9, {100, 100}).rec(11, {20, 20})
             .rec(31, {1, 1, 2, 1}).rectangle(50, 50, 100, 100).bytes(),
         RECT{0, 0, 40, 40}, {15, 30}, {15, 15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Dib d(200, 100, 32);
        fill(d, white);
        ASSERT_TRUE(play(d.dc, c.bytes, c.target));
        EXPECT_EQ(d.at(c.inside.x, c.inside.y), red);
        EXPECT_EQ(d.at(c.outside.x, c.outside.y), white);
    }
}

TEST(Metafile_Player, ClipsSavesAndPathsWithHoles)
{
    // Clip to 10..20, fill everything: only the clip is red. Saved and restored around a
    // narrower clip and another brush, the first clip and brush come back.
    const Bytes clipped = Emf(40, 40)
                              .handles(3)
                              .brush(1, BS_SOLID, red)
                              .brush(2, BS_SOLID, blue)
                              .select(1)
                              .select(0x80000008u)
                              .rec(30, {10, 10, 20, 20})
                              .rec(33, {})
                              .select(2)
                              .rec(30, {10, 10, 12, 12})
                              .rectangle(0, 0, 40, 40)
                              .rec(34, {static_cast<std::uint32_t>(-1)})
                              .rectangle(14, 0, 40, 40)
                              .bytes();
    Dib d(40, 40, 32);
    fill(d, white);
    ASSERT_TRUE(play(d.dc, clipped, RECT{0, 0, 40, 40}));
    EXPECT_EQ(d.at(11, 11), blue);
    EXPECT_EQ(d.at(16, 16), red);
    EXPECT_EQ(d.at(12, 16), white);
    EXPECT_EQ(d.at(25, 16), white);

    // A path of two nested squares filled by the alternate rule leaves a hole.
    Emf e(40, 40);
    e.handles(2).brush(1, BS_SOLID, red).select(1).rec(59, {});
    e.polygon({{5, 5}, {35, 5}, {35, 35}, {5, 35}}).polygon({{15, 15}, {25, 15}, {25, 25}, {15, 25}});
    e.rec(60, {}).rec(62, {0, 0, 40, 40});
    Dib p(40, 40, 32);
    fill(p, white);
    ASSERT_TRUE(play(p.dc, e.bytes(), RECT{0, 0, 40, 40}));
    EXPECT_EQ(p.at(10, 10), red);
    EXPECT_EQ(p.at(20, 20), white);
    EXPECT_EQ(p.at(38, 38), white);
}

// Clips set by records: an exclusion that takes a band off one side narrows the clip; a
// region copied replaces the clip, one intersected narrows it.
TEST(Metafile_Player, ClipRecordsNarrowOrReplaceTheClip)
{
    // A region of one rectangle, its bounds the same.
    const auto region = [](Emf e, std::uint32_t mode, int l, int t, int r, int b) {
        const auto u = Emf::u;
        return e.rec(75, {48, mode, 32, 1, 1, 16, u(l), u(t), u(r), u(b), u(l), u(t), u(r), u(b)});
    };
    struct Case {
        const char* what;
        Bytes bytes;
        POINT inside, outside;
    };
    const auto red_fill = [](Emf e) { return e.rectangle(0, 0, 40, 40).bytes(); };
    const auto start = [] { return Emf(40, 40).handles(2).brush(1, BS_SOLID, red).select(1).select(0x80000008u); };
    const Case cases[] = {
        {"excluded band", red_fill(start().rec(29, {0, 0, 10, 40})), {15, 20}, {5, 20}},
        {"region copied", red_fill(region(start().rec(30, {10, 10, 20, 20}), 5, 0, 0, 30, 30)), {25, 25}, {35, 35}},
        {"region intersected", red_fill(region(start().rec(30, {10, 10, 20, 20}), 1, 15, 15, 40, 40)), {17, 17}, {12, 12}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Dib d(40, 40, 32);
        fill(d, white);
        ASSERT_TRUE(play(d.dc, c.bytes, RECT{0, 0, 40, 40}));
        EXPECT_EQ(d.at(c.inside.x, c.inside.y), red);
        EXPECT_EQ(d.at(c.outside.x, c.outside.y), white);
    }
}

// The stock brushes by their index: white, light grey, grey, dark grey, black.
TEST(Metafile_Player, StockBrushesPaintTheirGreys)
{
    const int greys[] = {255, 192, 128, 64, 0};
    for (std::uint32_t i = 0; i < 5; ++i) {
        Dib d(10, 10, 32);
        ASSERT_TRUE(play(d.dc, Emf(10, 10).select(0x80000000u | i).select(0x80000008u).rectangle(0, 0, 10, 10).bytes(),
                         RECT{0, 0, 10, 10}));
        EXPECT_EQ(d.at(5, 5), RGB(greys[i], greys[i], greys[i])) << i;
    }
}

// Text records on a recording DC: where each kind puts its text, and the box it paints
// (opaque) or clips to (clipped).
TEST(Metafile_Player, TextRecordsPlaceTheirTextAndBox)
{
    const auto emf_text = [](std::uint32_t options) {
        Bytes t;
        for (std::uint32_t v : {0u, 0u, 0u, 0u, 1u, 0x3F800000u, 0x3F800000u, 7u, 9u, 2u, 76u, options, 1u, 2u, 30u, 20u, 0u})
            metafile_writer::put32(t, v);
        for (char16_t c : std::u16string(u"cd")) metafile_writer::put16(t, c);
        return Emf(40, 40).raw(84, t).bytes();
    };
    const Bytes wmf = Wmf(40, 40, 96)
                          .rec(0x0521, {2, 0x6261, 12, 5})                                      // "ab" at (5, 12)
                          .rec(0x0A32, {9, 7, 2, 6, 1, 2, 30, 20, 0x6463})                     // "cd" at (7, 9)
                          .bytes();
    struct Case {
        const char* what;
        Bytes bytes;
        std::vector<std::string> present, absent;
    };
    const std::string text = "TextOutW 7 9 2 \"cd\"", box = "FillRect 1 2 30 20", clip = "IntersectClipRect 1 2 30 20";
    const Case cases[] = {
        {"wmf", wmf, {"TextOutW 5 12 2 \"ab\"", text, box, clip}, {}},
        {"emf opaque", emf_text(2), {text, box}, {clip}},
        {"emf clipped", emf_text(4), {text, clip}, {box}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HDC rec = platform_create_recording_dc(nullptr);
        ASSERT_TRUE(play(rec, c.bytes, RECT{0, 0, 40, 40}));
        std::vector<std::string> calls;
        for (const Platform_Call& call : platform_recorded_calls(rec)) calls.push_back(platform_call_text(call));
        DeleteDC(rec);
        const auto has = [&](const std::string& s) { return std::find(calls.begin(), calls.end(), s) != calls.end(); };
        for (const std::string& s : c.present) EXPECT_TRUE(has(s)) << s;
        for (const std::string& s : c.absent) EXPECT_FALSE(has(s)) << s;
    }
}

TEST(Metafile_Player, RecordingDcSeesTheCallsAndTextIsDrawn)
{
    metafile_writer::Bytes text;
    for (std::uint32_t v : {0u, 0u, 0u, 0u, 1u, 0x3F800000u, 0x3F800000u, 5u, 8u, 2u, 76u, 0u, 0u, 0u, 0u, 0u, 0u})
        metafile_writer::put32(text, v);
    for (char16_t c : std::u16string(u"ab")) metafile_writer::put16(text, c);
    Bytes font;
    for (std::uint32_t v : {1u, static_cast<std::uint32_t>(-20), 0u, 0u, 0u, 400u, 0u}) metafile_writer::put32(font, v);
    font.resize(font.size() + 64, 0);
    const Bytes b = Emf(40, 40).handles(2).raw(82, font).select(1).rectangle(1, 1, 9, 9).ellipse(10, 10, 20, 20)
                        .rec(24, {RGB(0, 0, 255)}).rec(18, {1}).raw(84, text).bytes();
    HDC rec = platform_create_recording_dc(nullptr);
    ASSERT_TRUE(play(rec, b, RECT{0, 0, 40, 40}));
    std::vector<std::string> names;
    for (const Platform_Call& c : platform_recorded_calls(rec)) names.push_back(platform_call_text(c));
    DeleteDC(rec);
    const auto has = [&](const std::string& s) { return std::find(names.begin(), names.end(), s) != names.end(); };
    EXPECT_TRUE(has("Rectangle 1 1 9 9"));
    EXPECT_TRUE(has("Ellipse 10 10 20 20"));
    EXPECT_TRUE(has("TextOutW 5 8 2 \"ab\""));
    EXPECT_TRUE(has("SaveDC"));
    EXPECT_EQ(names.back().rfind("RestoreDC", 0), 0u);

    Dib d(40, 40, 32);
    fill(d, white);
    ASSERT_TRUE(play(d.dc, b, RECT{0, 0, 40, 40}));
    int ink = 0;
    for (int y = 8; y < 30; ++y)
        for (int x = 5; x < 40; ++x) ink += d.at(x, y) == blue;
    EXPECT_GT(ink, 10);
}

// A pattern brush paints its pattern's mean colour, in both kinds.
TEST(Metafile_Player, PatternBrushesPaintTheirMeanColour)
{
    const Bytes dib = metafile_writer::dib24(2, 2, [](int x, int) { return x ? RGB(200, 0, 100) : RGB(100, 0, 200); });
    Bytes emf_brush;
    for (std::uint32_t v : {1u, 0u, 32u, 40u, 72u, static_cast<std::uint32_t>(dib.size() - 40)}) metafile_writer::put32(emf_brush, v);
    emf_brush.insert(emf_brush.end(), dib.begin(), dib.end());
    const Bytes emf = Emf(20, 20).handles(2).raw(94, emf_brush).select(1).select(0x80000008u).rectangle(0, 0, 21, 21).bytes();
    Bytes wmf_brush;
    metafile_writer::put16(wmf_brush, 5), metafile_writer::put16(wmf_brush, 0);
    wmf_brush.insert(wmf_brush.end(), dib.begin(), dib.end());
    const Bytes wmf = Wmf(20, 20, 96).objects(1).raw(0x0142, wmf_brush).select(0).rectangle(0, 0, 21, 21).bytes();
    for (const Bytes* b : {&emf, &wmf}) {
        Dib d(20, 20, 32);
        ASSERT_TRUE(play(d.dc, *b, RECT{0, 0, 20, 20}));
        EXPECT_EQ(d.at(10, 10), RGB(150, 0, 150));
    }
}

// Transfers without a bitmap fill their target rectangle (x 4..12, y 6..10) black: each kind
// lays out the rectangle's words its own way, the bit-block ones with or without a reserved
// word after the source's place.
TEST(Metafile_Player, WmfTransfersWithoutABitmapFillTheirRectangle)
{
    const int lo = BLACKNESS & 0xFFFF, hi = BLACKNESS >> 16;
    struct Case {
        const char* what;
        unsigned fn;
        std::vector<int> params;
    };
    const Case cases[] = {
        {"pattern", 0x061D, {lo, hi, 4, 8, 6, 4}},                                 // height, width, y, x
        {"bit-block", 0x0940, {lo, hi, 0, 0, 0, 4, 8, 6, 4}},                      // source y, x, reserved, ...
        {"bit-block, no reserved word", 0x0940, {lo, hi, 0, 0, 4, 8, 6, 4}},
        {"stretched", 0x0B41, {lo, hi, 2, 2, 0, 0, 0, 4, 8, 6, 4}},                // source h, w, y, x, reserved, ...
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes body;
        for (int p : c.params) metafile_writer::put16(body, static_cast<unsigned>(p) & 0xFFFF);
        Dib d(20, 20, 32);
        fill(d, white);
        ASSERT_TRUE(play(d.dc, Wmf(20, 20, 96).raw(c.fn, body).bytes(), RECT{0, 0, 20, 20}));
        EXPECT_EQ(d.at(4, 6), black);
        EXPECT_EQ(d.at(11, 9), black);
        for (const POINT p : {POINT{3, 8}, POINT{12, 8}, POINT{8, 5}, POINT{8, 10}}) EXPECT_EQ(d.at(p.x, p.y), white) << p.x << "," << p.y;
    }
}

// ---- hostile files ----

TEST(Metafile_Player, EveryCutAndAbsurdRecordIsSafe)
{
    for (const Bytes& whole : {metafile_writer::every_emf_record(), metafile_writer::every_wmf_record()}) {
        Dib d(60, 60, 24);
        ASSERT_TRUE(play(d.dc, whole, RECT{0, 0, 60, 60}));
        // Cut anywhere: what comes before the cut is drawn, the rest is not read.
        for (std::size_t n = 1; n < whole.size(); ++n) {
            HENHMETAFILE mf = SetWinMetaFileBits(static_cast<UINT>(n), whole.data(), nullptr, nullptr);
            ASSERT_NE(mf, nullptr);
            const RECT r{0, 0, 60, 60};
            EXPECT_FALSE(PlayEnhMetaFile(d.dc, mf, &r)) << n;
            DeleteEnhMetaFile(mf);
        }
        // Seeded changes of a few bytes at a time.
        std::mt19937 rng(3);
        for (int round = 0; round < 2000; ++round) {
            Bytes m = whole;
            for (int i = 0, k = 1 + static_cast<int>(rng() % 4); i < k; ++i) m[rng() % m.size()] = static_cast<BYTE>(rng());
            (void)play(d.dc, m, RECT{0, 0, 60, 60});
        }
    }
    // Counts, sizes and offsets far past the record.
    const std::uint32_t huge = 0x7FFFFFFF;
    const Bytes absurd = Emf(20, 20)
                             .handles(2)
                             .rec(3, {0, 0, 0, 0, huge})                    // polygon of 2^31 points
                             .rec(8, {0, 0, 0, 0, huge, 3, 3})              // poly-polygon
                             .rec(8, {0, 0, 0, 0, 2, 4, 1, 1})              // counts that do not add up
                             .rec(81, {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, huge, 40, huge, 4, 0, 0x00CC0020u, 5, 5})
                             .rec(37, {huge})                               // no such object
                             .rec(38, {huge, 0, 1, 0, 0})
                             .rec(84, {0, 0, 0, 0, 1, 0, 0, 0, 0, huge, 76, 0, 0, 0, 0, 0, 0})
                             .rec(35, {0x7F800000u, 0, 0, 0x7F800000u, 0, 0})  // infinite transform
                             .rec(34, {static_cast<std::uint32_t>(-5)})        // nothing saved
                             .rec(75, {huge, 5})
                             .bytes();
    Dib d(20, 20, 32);
    EXPECT_TRUE(play(d.dc, absurd, RECT{0, 0, 20, 20}));
    // A record whose size passes the file, or is not a whole number of words.
    for (std::uint32_t size : {0u, 6u, 9u, 0xFFFFFFF0u}) {
        Bytes b = Emf(20, 20).rectangle(1, 1, 5, 5).bytes();
        metafile_writer::set32(b, 108 + 4, size);
        EXPECT_FALSE(play(d.dc, b, RECT{0, 0, 20, 20})) << size;
    }
}

// A viewport scaled past every double and a turned world: the mapping holds infinities and
// NaNs, and the shapes, fonts and paths it places are still drawn safely.
TEST(Metafile_Player, AMappingThatOverflowsIsSafe)
{
    const auto f = [](float v) { return metafile_writer::float_bits(v); };
    Bytes font;
    for (std::uint32_t v : {1u, 12u, 0u, 0u, 0u, 400u, 0u}) metafile_writer::put32(font, v);
    font.resize(font.size() + 64, 0);
    Emf e(20, 20);
    e.handles(2).rec(17, {8}).rec(9, {1, 1}).rec(11, {0x7FFFFFFF, 0x7FFFFFFF});
    for (int i = 0; i < 40; ++i) e.rec(31, {0x7FFFFFFF, 1, 0x7FFFFFFF, 1});
    e.rec(35, {f(0), f(1), f(-1), f(0), f(0), f(0)});
    e.ellipse(0, 0, 10, 10).ellipse(5, 5, 5, 5).rec(44, {0, 0, 10, 10, 4, 4}).rec(45, {0, 0, 10, 10, 10, 5, 0, 5});
    e.raw(82, font).select(1).rec(59, {}).ellipse(0, 0, 10, 10).rec(60, {}).rec(62, {0, 0, 20, 20});
    Dib d(20, 20, 32);
    EXPECT_TRUE(play(d.dc, e.bytes(), RECT{0, 0, 20, 20}));
}

// A few bytes a record can ask to repaint the whole picture, or to stroke it with a pen as wide
// as the picture: a play stops after a few dozen pictures' worth of painting, and so does the
// decoding of a metafile as an image. Thin strokes, however long, and real overdraw play.
TEST(Metafile_Player, PaintingIsBoundedByThePicturesPixels)
{
    const auto rects = [](int n) {
        Emf e(400, 400);
        e.handles(2).brush(1, BS_SOLID, red).select(1);
        for (int i = 0; i < n; ++i) e.rectangle(0, 0, 400, 400);
        return e.bytes();
    };
    const auto diagonals = [](int n, std::uint32_t width) {
        Emf e(400, 400);
        e.handles(2).pen(1, PS_SOLID, width, blue).select(1);
        for (int i = 0; i < n; ++i) e.polyline16({{0, 0}, {400, 400}, {0, 400}, {400, 0}});
        return e.bytes();
    };
    struct Case {
        const char* what;
        Bytes bytes;
        bool plays;
    };
    const Case cases[] = {
        {"the picture filled 20 times", rects(20), true},
        {"filled 200 times", rects(200), false},
        {"2000 thin strokes across it", diagonals(2000, 1), true},
        {"200 strokes as wide as it", diagonals(200, 400), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Dib d(400, 400, 32);
        EXPECT_EQ(play(d.dc, c.bytes, RECT{0, 0, 400, 400}), c.plays ? TRUE : FALSE);
        CxImage image(c.bytes.data(), static_cast<DWORD>(c.bytes.size()), CXIMAGE_FORMAT_WMF);
        EXPECT_EQ(image.IsValid(), c.plays);
    }
}

// A million saves never restored, then as many restores: the depth is bounded, the play ends
// and the caller's DC comes back as it was.
TEST(Metafile_Player, DeepSavesAreBounded)
{
    Emf e(20, 20);
    for (int i = 0; i < 200000; ++i) e.rec(33, {});
    e.handles(2).brush(1, BS_SOLID, red).select(1).rectangle(0, 0, 20, 20);
    for (int i = 0; i < 200000; ++i) e.rec(34, {static_cast<std::uint32_t>(-1)});
    Dib d(20, 20, 32);
    const long before = platform_gdi_object_count();
    HGDIOBJ pen = GetCurrentObject(d.dc, OBJ_PEN);
    ASSERT_TRUE(play(d.dc, e.bytes(), RECT{0, 0, 20, 20}));
    EXPECT_EQ(d.at(10, 10), red);
    EXPECT_EQ(GetCurrentObject(d.dc, OBJ_PEN), pen);
    EXPECT_EQ(platform_gdi_object_count(), before);
    EXPECT_FALSE(RestoreDC(d.dc, -1)) << "no state of the play is left on the DC";
}

}  // namespace
