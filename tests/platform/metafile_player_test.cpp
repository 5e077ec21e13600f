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

}  // namespace
