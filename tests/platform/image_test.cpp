#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/image_readers.h"
#include "common/scratch_dir.h"
#include "common/ximage_pixels.h"
#include "dib_fixture.h"
#include "platform/gdi.h"
#include "platform/handles.h"
#include "platform/ximage.h"

namespace {

namespace fs = std::filesystem;

// A small drawing: eight flat colours in blocks, so every format (JPEG within its error) keeps it.
COLORREF block_colour(int x, int y) { return primary(static_cast<unsigned>(x / 8 + (y / 8) * 3)); }

void paint_blocks(Dib& d)
{
    for (int y = 0; y < d.h; ++y)
        for (int x = 0; x < d.w; ++x) {
            std::uint8_t* p = d.bits + (d.h - 1 - y) * d.stride + x * 4;
            const COLORREF c = block_colour(x, y);
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
}

int channel_error(COLORREF a, COLORREF b)
{
    return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                     std::abs(GetBValue(a) - GetBValue(b))});
}

TEST(CxImage, EveryFormatReadsBackThroughItsOwnLibrary)
{
    struct Format {
        DWORD type;
        const char* name;
        std::vector<std::uint8_t> magic;
        bool (*read)(const std::string&, Rgb_Image&);
        bool keeps_dpi;
        int tolerance;  // largest channel error allowed
    };
    const Format formats[] = {
        {CXIMAGE_FORMAT_BMP, "a.bmp", {'B', 'M'}, read_bmp, true, 0},
        {CXIMAGE_FORMAT_GIF, "a.gif", {'G', 'I', 'F', '8', '9', 'a'}, read_gif, false, 0},
        {CXIMAGE_FORMAT_JPG, "a.jpg", {0xFF, 0xD8, 0xFF}, read_jpeg, true, 40},
        {CXIMAGE_FORMAT_PNG, "a.png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, read_png, true, 0},
        {CXIMAGE_FORMAT_TIF, "a.tif", {'I', 'I', 42, 0}, read_tiff, true, 0},
    };
    Scratch_Dir dir;
    Dib d(40, 24, 32);
    paint_blocks(d);
    CxImage image(CXIMAGE_FORMAT_UNKNOWN);
    ASSERT_TRUE(image.CreateFromHBITMAP(d.bmp));
    EXPECT_EQ(image.GetWidth(), 40u);
    EXPECT_EQ(image.GetHeight(), 24u);
    image.SetXDPI(300);
    image.SetYDPI(150);
    for (const Format& f : formats) {
        SCOPED_TRACE(f.name);
        const std::string path = dir.path() + "/" + f.name;
        ASSERT_TRUE(image.Save(path.c_str(), f.type));
        const std::vector<std::uint8_t> bytes = file_bytes(path);
        ASSERT_GE(bytes.size(), f.magic.size());
        EXPECT_TRUE(std::equal(f.magic.begin(), f.magic.end(), bytes.begin()));
        Rgb_Image back;
        ASSERT_TRUE(f.read(path, back));
        ASSERT_EQ(back.width, 40);
        ASSERT_EQ(back.height, 24);
        int worst = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 40; ++x)
                // JPEG blurs block edges; its centres must still hold the colour.
                if (f.tolerance == 0 || (x % 8 > 1 && x % 8 < 6 && y % 8 > 1 && y % 8 < 6))
                    worst = std::max(worst, channel_error(back.at(x, y), block_colour(x, y)));
        EXPECT_LE(worst, f.tolerance);
        if (f.keeps_dpi) {
            EXPECT_NEAR(back.xdpi, 300, 0.05);
            EXPECT_NEAR(back.ydpi, 150, 0.05);
        }
    }
    // Only the five files: no temporary file is left beside them.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 5);
}

TEST(CxImage, GifOfManyColoursUsesTheColourCube)
{
    Scratch_Dir dir;
    Dib d(64, 64, 32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            std::uint8_t* p = d.bits + (63 - y) * d.stride + x * 4;
            p[0] = static_cast<std::uint8_t>(x * 4), p[1] = static_cast<std::uint8_t>(y * 4);
            p[2] = static_cast<std::uint8_t>((x + y) * 2);
        }
    CxImage image;
    ASSERT_TRUE(image.CreateFromHBITMAP(d.bmp));
    const std::string path = dir.path() + "/many.gif";
    ASSERT_TRUE(image.Save(path.c_str(), CXIMAGE_FORMAT_GIF));
    Rgb_Image back;
    ASSERT_TRUE(read_gif(path, back));
    // Levels of the cube are at most 255 / 5 / 2 away from any channel.
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_LE(channel_error(back.at(x, y), d.at(x, y)), 26) << x << "," << y;
}

TEST(CxImage, ReadsBitmapsOfEveryDepth)
{
    for (int bpp : {8, 16, 24, 32}) {
        SCOPED_TRACE(bpp);
        Dib d(13, 7, bpp, bpp % 16 == 0);
        fill_primaries(d, 3);
        CxImage image;
        ASSERT_TRUE(image.CreateFromHBITMAP(d.bmp));
        Dib out(13, 7, 32);
        ASSERT_EQ(image.Draw(out.dc, 0, 0), 1);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x) ASSERT_EQ(out.at(x, y), d.at(x, y));
    }
    // The monochrome default bitmap of a memory DC, made compatible with it.
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP mono = CreateCompatibleBitmap(mem, 9, 3);
    CxImage image;
    ASSERT_TRUE(image.CreateFromHBITMAP(mono));
    EXPECT_EQ(image.GetWidth(), 9u);
    EXPECT_FALSE(image.CreateFromHBITMAP(nullptr));
    EXPECT_EQ(image.GetWidth(), 9u);  // left as it was
    DeleteObject(mono);
    DeleteDC(mem);
    EXPECT_FALSE(image.CreateFromHBITMAP(mono));  // stale
}

TEST(CxImage, SaveFailsCleanly)
{
    Scratch_Dir dir;
    Dib d(10, 10, 32);
    paint_blocks(d);
    CxImage image;
    ASSERT_TRUE(image.CreateFromHBITMAP(d.bmp));
    const std::string existing = dir.path() + "/keep.png";
    ASSERT_TRUE(image.Save(existing.c_str(), CXIMAGE_FORMAT_PNG));
    const std::vector<std::uint8_t> before = file_bytes(existing);

    // Types that name no format, and paths that cannot be written.
    for (DWORD type : {DWORD{CXIMAGE_FORMAT_UNKNOWN}, DWORD{16}, DWORD{99}})
        EXPECT_FALSE(image.Save((dir.path() + "/x.img").c_str(), type)) << type;
    EXPECT_FALSE(image.Save(existing.c_str(), 99));
    EXPECT_FALSE(image.Save((existing + "/inside.png").c_str(), CXIMAGE_FORMAT_PNG));  // under a file
    EXPECT_FALSE(image.Save((dir.path() + "/missing/a.bmp").c_str(), CXIMAGE_FORMAT_BMP));
    EXPECT_FALSE(image.Save("", CXIMAGE_FORMAT_PNG));
    EXPECT_FALSE(image.Save(nullptr, CXIMAGE_FORMAT_PNG));
    // An image too large for GIF fails and leaves the old file as it was.
    Dib wide(70000, 1, 32);
    CxImage long_image;
    ASSERT_TRUE(long_image.CreateFromHBITMAP(wide.bmp));
    EXPECT_FALSE(long_image.Save(existing.c_str(), CXIMAGE_FORMAT_GIF));
    // An empty image has nothing to write.
    image.Destroy();
    EXPECT_FALSE(image.IsValid());
    EXPECT_FALSE(image.Save(existing.c_str(), CXIMAGE_FORMAT_PNG));

    EXPECT_EQ(file_bytes(existing), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(CxImage, SaveGoesThroughThePathResolver)
{
    Scratch_Dir dir;
    fs::create_directories(dir.path() + "/Out");
    Dib d(4, 4, 32);
    CxImage image;
    ASSERT_TRUE(image.CreateFromHBITMAP(d.bmp));
    ASSERT_TRUE(image.Save((dir.path() + "\\OUT\\b.bmp").c_str(), CXIMAGE_FORMAT_BMP));
    EXPECT_TRUE(fs::exists(dir.path() + "/Out/b.bmp"));
}

TEST(CxImage, DrawStretchesIntoTheDc)
{
    Dib src(4, 2, 32);
    paint_blocks(src);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            std::uint8_t* p = src.bits + (1 - y) * src.stride + x * 4;
            const COLORREF c = primary(static_cast<unsigned>(1 + x + 4 * y));
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    CxImage image;
    ASSERT_TRUE(image.CreateFromHBITMAP(src.bmp));

    // Doubled, at (3, 1): each image pixel becomes a 2 x 2 block.
    Dib d(16, 8, 24);
    ASSERT_EQ(image.Draw(d.dc, 3, 1, 8, 4), 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool in = x >= 3 && x < 11 && y >= 1 && y < 5;
            const COLORREF want = in ? primary(static_cast<unsigned>(1 + (x - 3) / 2 + 4 * ((y - 1) / 2))) : 0;
            ASSERT_EQ(d.at(x, y), want) << x << "," << y;
        }

    // The RECT form with a clip: only the clipped part changes.
    Dib e(16, 8, 32);
    RECT where{3, 1, 11, 5}, clip{5, 0, 7, 8};
    ASSERT_EQ(image.Draw(e.dc, where, &clip), 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool in = x >= 5 && x < 7 && y >= 1 && y < 5;
            ASSERT_EQ(e.at(x, y), in ? d.at(x, y) : 0) << x << "," << y;
        }

    // Partly or wholly outside, and huge targets, are clipped without harm.
    EXPECT_EQ(image.Draw(e.dc, -3, -1, 8, 4), 1);
    EXPECT_EQ(image.Draw(e.dc, 2000000000, 2000000000, 2000000000, 2000000000), 1);
    EXPECT_EQ(image.Draw(e.dc, -2000000000, -2000000000, 2000000000, 2000000000), 1);
    EXPECT_EQ(image.Draw(nullptr, 0, 0), 0);
    image.Destroy();
    EXPECT_EQ(image.Draw(e.dc, 0, 0), 0);
}

// The pixels of a line as the classic error-accumulating Bresenham walk visits them, both ends
// included, rows from the top; only those inside w x h are kept.
std::vector<std::pair<int, int>> bresenham(int x0, int y0, int x1, int y1, int w, int h)
{
    std::vector<std::pair<int, int>> out;
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        if (x0 >= 0 && y0 >= 0 && x0 < w && y0 < h) out.emplace_back(x0, y0);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(CxImage, PixelsExistExactlyWhenCreateFoundThem)
{
    CxImage image(CXIMAGE_FORMAT_UNKNOWN);
    EXPECT_EQ(image.GetDIB(), nullptr);
    ASSERT_TRUE(image.Create(5, 4, 24, CXIMAGE_FORMAT_JPG));
    EXPECT_NE(image.GetDIB(), nullptr);
    EXPECT_EQ(image.GetType(), DWORD{CXIMAGE_FORMAT_JPG});
    // Past the class's limit Create refuses before allocating and the old pixels stay.
    EXPECT_FALSE(image.Create(40000, 40000, 24, CXIMAGE_FORMAT_JPG));
    EXPECT_FALSE(image.Create(0, 4, 24, CXIMAGE_FORMAT_JPG));
    EXPECT_NE(image.GetDIB(), nullptr);
    EXPECT_EQ(image.GetWidth(), 5u);
    image.Destroy();
    EXPECT_EQ(image.GetDIB(), nullptr);
    // Nothing to draw on: no harm.
    image.DrawLine(0, 4, 0, 3, RGB(255, 0, 0));
    EXPECT_EQ(image.GetDIB(), nullptr);
}

TEST(CxImage, DrawLineVisitsTheBresenhamPixelsInsideTheImage)
{
    constexpr int w = 40, h = 30;
    constexpr COLORREF red = RGB(255, 0, 0);
    std::mt19937 rng(20261211);
    std::uniform_int_distribution<int> coord(-60, 100);
    auto check = [&](int x1, int y1, int x2, int y2) {
        CxImage image;
        ASSERT_TRUE(image.Create(w, h, 24, CXIMAGE_FORMAT_JPG));
        image.DrawLine(x1, x2, y1, y2, red);  // both x, then both y
        std::vector<std::pair<int, int>> drawn = pixels_of(image, red);
        std::sort(drawn.begin(), drawn.end());
        ASSERT_EQ(drawn, bresenham(x1, y1, x2, y2, w, h)) << x1 << "," << y1 << " -> " << x2 << "," << y2;
    };
    // Every octant, the axes, diagonals, single points and ties (odd and even extents).
    for (int dx = -5; dx <= 5; ++dx)
        for (int dy = -5; dy <= 5; ++dy) check(17, 12, 17 + dx, 12 + dy);
    // Ends anywhere, most of them outside.
    for (int i = 0; i < 2000; ++i) check(coord(rng), coord(rng), coord(rng), coord(rng));

    // Rows count from the top: row 0 is the top row of the picture.
    CxImage image;
    ASSERT_TRUE(image.Create(w, h, 24, CXIMAGE_FORMAT_JPG));
    image.DrawLine(0, 0, 0, 0, RGB(1, 2, 3));
    const RGBQUAD top_left = image.GetPixelColor(0, h - 1);
    EXPECT_EQ(RGB(top_left.rgbRed, top_left.rgbGreen, top_left.rgbBlue), RGB(1, 2, 3));
    const auto* bytes = static_cast<const std::uint8_t*>(image.GetDIB());
    EXPECT_EQ(bytes[0], 3);  // blue, green, red in memory
    EXPECT_EQ(bytes[2], 1);
}

TEST(CxImage, DrawLineWithFarEndsOnlyWalksThePartInside)
{
    constexpr int w = 40, h = 30;
    constexpr COLORREF c = RGB(0, 0, 255);
    auto line = [&](int x1, int x2, int y1, int y2) {
        CxImage image;
        EXPECT_TRUE(image.Create(w, h, 24, CXIMAGE_FORMAT_JPG));
        image.DrawLine(x1, x2, y1, y2, c);
        return pixels_of(image, c);
    };
    std::vector<std::pair<int, int>> row5, diagonal, row15;
    for (int x = 0; x < w; ++x) row5.emplace_back(x, 5), row15.emplace_back(x, 15);
    for (int i = 0; i < h; ++i) diagonal.emplace_back(i, i);
    EXPECT_EQ(line(INT_MIN, INT_MAX, 5, 5), row5);
    EXPECT_EQ(line(INT_MAX, INT_MIN, 5, 5), row5);
    EXPECT_EQ(line(-(1 << 30), 1 << 30, -(1 << 30), 1 << 30), diagonal);
    // From x = -1e9 to 1e9 the line climbs 10 rows; across the image, half-way along, it has
    // climbed between 5 and 5.5 of them, so the walk stays on row 15.
    EXPECT_EQ(line(-1000000000, 1000000000, 10, 20), row15);
    EXPECT_TRUE(line(INT_MIN, INT_MAX, INT_MIN, INT_MIN).empty());
    EXPECT_TRUE(line(INT_MIN, INT_MIN, INT_MIN, INT_MAX).empty());
    EXPECT_TRUE(line(-5, -1, -7, 100).empty());
}

}  // namespace
