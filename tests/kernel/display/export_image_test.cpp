#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/box_catcher.h"
#include "common/image_readers.h"
#include "common/scratch_dir.h"
#include "common/test_output.h"
#include "kernel/display/view_fixture.h"
#include "platform/clipboard.h"
#include "platform/handles.h"
#include "platform/message_box.h"
#include "platform/metafile.h"
#include "platform/snapshot.h"
#include "platform/window.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"
#include "platform/ximage.h"

namespace {

namespace fs = std::filesystem;

constexpr COLORREF k_white = RGB(255, 255, 255);
constexpr COLORREF k_red = RGB(255, 0, 0);
constexpr COLORREF k_blue = RGB(0, 0, 255);

// The region of the tests: 200 wide, 100 high, lower-left corner at (0, 0).
Qe_Rect region()
{
    return Qe_Rect(Qe_Pt(0, 100, 0), Qe_Pt(200, 0, 0));
}

// A view with three red strokes whose pixels tell the transform: a row across the middle of
// the region, a column at x 150 and a short stroke near the top-left corner.
struct Export_View : View {
    Export_View()
    {
        add({Qe_Pt(0, 50, 0), Qe_Pt(200, 50, 0)}, k_red);
        add({Qe_Pt(150, 0, 0), Qe_Pt(150, 100, 0)}, k_red);
        add({Qe_Pt(10, 90, 0), Qe_Pt(20, 90, 0)}, k_red);
    }
    bool export_to(const std::string& path, long height = 300, long background = k_white, long dpi = 150)
    {
        Qe_Rect r = region();
        std::string p = path;
        return this->r->export_image(p.data(), r, 0, height, 0, background, dpi);
    }
    bool export_to_clipboard(long height = 300, long background = k_white)
    {
        Qe_Rect r = region();
        return this->r->export_image(nullptr, r, 0, height, 0, background, 96);
    }
};

std::string magic_of(const std::string& path)
{
    const std::vector<std::uint8_t> b = file_bytes(path);
    auto starts = [&](std::initializer_list<int> m) {
        if (b.size() < m.size()) return false;
        std::size_t i = 0;
        for (int c : m)
            if (b[i++] != c) return false;
        return true;
    };
    if (starts({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return "png";
    if (starts({0xFF, 0xD8, 0xFF})) return "jpeg";
    if (starts({'B', 'M'})) return "bmp";
    if (starts({'G', 'I', 'F', '8'})) return "gif";
    if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42})) return "tiff";
    return "?";
}

bool read_any(const std::string& kind, const std::string& path, Rgb_Image& out)
{
    if (kind == "png") return read_png(path, out);
    if (kind == "jpeg") return read_jpeg(path, out);
    if (kind == "bmp") return read_bmp(path, out);
    if (kind == "gif") return read_gif(path, out);
    if (kind == "tiff") return read_tiff(path, out);
    return false;
}

bool near_colour(COLORREF a, COLORREF b, int tol)
{
    // A lossy format blurs the colour of a 1-pixel stroke into its background (JPEG keeps colour
    // at half resolution): red there is what is clearly redder than it is green or blue.
    if (tol > 0 && b == k_red) return GetRValue(a) > GetGValue(a) + 40 && GetRValue(a) > GetBValue(a) + 40;
    return std::abs(GetRValue(a) - GetRValue(b)) <= tol && std::abs(GetGValue(a) - GetGValue(b)) <= tol &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tol;
}

// The strokes of Export_View at scale 3, y turned down: row y 50 at pixel row 150, column x 150
// at pixel column 450, the corner stroke from (30, 30) to (60, 30).
void expect_strokes(const Rgb_Image& img, int tol, const std::string& what)
{
    ASSERT_EQ(img.width, 600) << what;
    ASSERT_EQ(img.height, 300) << what;
    for (auto [x, y] : {std::pair{10, 150}, std::pair{300, 150}, std::pair{590, 150}, std::pair{450, 20},
                        std::pair{450, 280}, std::pair{30, 30}, std::pair{45, 30}, std::pair{59, 30}})
        EXPECT_TRUE(near_colour(img.at(x, y), k_red, tol)) << what << " stroke at " << x << "," << y << ": " << std::hex << img.at(x, y);
    for (auto [x, y] : {std::pair{5, 5}, std::pair{300, 100}, std::pair{200, 250}, std::pair{45, 40}})
        EXPECT_TRUE(near_colour(img.at(x, y), k_white, tol)) << what << " background at " << x << "," << y;
}

TEST(ExportImage, FormatByExtensionReadBackByItsLibrary)
{
    struct Case {
        const char* name;
        const char* kind;
        int tol;  // JPEG is lossy
    };
    const Case cases[] = {
        {"a.Png", "png", 0},   {"b.PNG", "png", 0},   {"c.bmp", "bmp", 0},   {"d.gif", "gif", 0},
        {"e.TIF", "tiff", 0},  {"f.jpg", "jpeg", 60}, {"noext", "jpeg", 60}, {"g.jpeg", "jpeg", 60},
        {"h.tiff", "jpeg", 60},  // only "tif" names TIFF
        {"i.png.jpg", "jpeg", 60},
    };
    Y_Dir dir(true);
    Scratch_Dir tmp;
    Export_View v;
    for (const Case& c : cases) {
        const std::string path = tmp.path() + "/" + c.name;
        const long before = platform_gdi_object_count();
        ASSERT_TRUE(v.export_to(path)) << c.name;
        EXPECT_EQ(platform_gdi_object_count(), before) << c.name;
        EXPECT_EQ(magic_of(path), c.kind) << c.name;
        Rgb_Image img;
        ASSERT_TRUE(read_any(c.kind, path, img)) << c.name;
        expect_strokes(img, c.tol, c.name);
        if (std::string(c.kind) != "gif") {
            EXPECT_NEAR(img.xdpi, 150, 0.5) << c.name;
            EXPECT_NEAR(img.ydpi, 150, 0.5) << c.name;
        }
    }
}

TEST(ExportImage, SizeFollowsTheRegion)
{
    struct Case {
        Qe_Rect rect;
        long height;
        int w, h;
    };
    const Case cases[] = {
        {region(), 300, 600, 300},
        {Qe_Rect(Qe_Pt(-5, 40, 0), Qe_Pt(5, 0, 0)), 400, 100, 400},
        {Qe_Rect(Qe_Pt(0, 3, 0), Qe_Pt(1000, 0, 0)), 3, 1000, 3},
        {Qe_Rect(Qe_Pt(0, 7, 0), Qe_Pt(10, 0, 0)), 100, 142, 100},  // 142.857 truncated
    };
    Y_Dir dir(true);
    Scratch_Dir tmp;
    View v;
    for (const Case& c : cases) {
        const std::string path = tmp.path() + "/s.png";
        Qe_Rect r = c.rect;
        std::string p = path;
        ASSERT_TRUE(v.r->export_image(p.data(), r, 0, c.height, 0, k_white, 96));
        Rgb_Image img;
        ASSERT_TRUE(read_png(path, img));
        EXPECT_EQ(img.width, c.w);
        EXPECT_EQ(img.height, c.h);
    }
}

TEST(ExportImage, ToTheClipboard)
{
    Y_Dir dir(true);
    Export_View v;
    for (bool empty_path : {false, true}) {
        const long before = platform_gdi_object_count();
        if (empty_path)
            ASSERT_TRUE(v.export_to(""));
        else
            ASSERT_TRUE(v.export_to_clipboard());
        // The clipboard holds the bitmap now: one object more.
        EXPECT_EQ(platform_gdi_object_count(), before + 1);
        HBITMAP b = platform_clipboard_bitmap();
        ASSERT_NE(b, nullptr);
        CxImage img;
        ASSERT_TRUE(img.CreateFromHBITMAP(b));
        EXPECT_EQ(img.GetWidth(), 600u);
        EXPECT_EQ(img.GetHeight(), 300u);
        COLORREF c = 0;
        ASSERT_TRUE(platform_read_pixel(b, 450, 20, &c));
        EXPECT_EQ(c, k_red);
        ASSERT_TRUE(platform_read_pixel(b, 5, 5, &c));
        EXPECT_EQ(c, k_white);
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        CloseClipboard();
        EXPECT_EQ(platform_gdi_object_count(), before);
    }

    // A clipboard that cannot be opened takes nothing: false, and the bitmap is freed.
    ASSERT_TRUE(OpenClipboard(nullptr));
    const long before = platform_gdi_object_count();
    EXPECT_FALSE(v.export_to_clipboard());
    EXPECT_EQ(platform_gdi_object_count(), before);
    EXPECT_EQ(platform_clipboard_bitmap(), nullptr);
    CloseClipboard();
}

TEST(ExportImage, TooLargeTellsTheUserAndWritesNothing)
{
    Y_Dir dir(true);
    Scratch_Dir tmp;
    Export_View v;
    // 40000 x 20000 pixels pass what a bitmap may hold; 4e9 pixels pass an int.
    for (long height : {20000L, 2000000000L}) {
        Box_Catcher boxes;
        const std::string path = tmp.path() + "/big.png";
        const long before = platform_gdi_object_count();
        EXPECT_FALSE(v.export_to(path, height));
        EXPECT_EQ(platform_gdi_object_count(), before) << "the memory DC and window DC are freed";
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, "The image is too large,Out of memery!");
        EXPECT_EQ(boxes.boxes[0].caption, "Tavimor Error Message");
        EXPECT_EQ(boxes.boxes[0].type, MB_OK);
        EXPECT_FALSE(fs::exists(path));
    }
}

TEST(ExportImage, DegenerateRequestsFailSilently)
{
    struct Case {
        Qe_Rect rect;
        long height;
    };
    const Case cases[] = {
        {Qe_Rect(Qe_Pt(0, 0.0005, 0), Qe_Pt(200, 0, 0)), 300},  // too low a region
        {Qe_Rect(Qe_Pt(0, 100, 0), Qe_Pt(0.0009, 0, 0)), 300},  // too narrow
        {region(), 1},                                          // one pixel high
        {Qe_Rect(Qe_Pt(0, 100, 0), Qe_Pt(0.6, 0, 0)), 300},     // 1.8 pixels wide: fine
        {region(), 0},
        {region(), -300},
    };
    Y_Dir dir(true);
    Scratch_Dir tmp;
    View v;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        Box_Catcher boxes;
        std::string path = tmp.path() + "/d" + std::to_string(i) + ".png";
        Qe_Rect r = cases[i].rect;
        const bool ok = v.r->export_image(path.data(), r, 0, cases[i].height, 0, k_white, 96);
        EXPECT_EQ(ok, i == 3) << i;
        EXPECT_EQ(fs::exists(path), i == 3) << i;
        EXPECT_TRUE(boxes.boxes.empty()) << i;
    }
}

TEST(ExportImage, FailedSavesReturnFalse)
{
    Y_Dir dir(true);
    Scratch_Dir tmp;
    Export_View v;
    for (const std::string& path : {tmp.path() + "/no-such-folder/a.png", tmp.path() + "/no-such-folder/A.WMF"}) {
        const long before = platform_gdi_object_count();
        EXPECT_FALSE(v.export_to(path)) << path;
        EXPECT_EQ(platform_gdi_object_count(), before) << path;
        EXPECT_FALSE(fs::exists(path)) << path;
    }
}

// The view as a placeable WMF whose one drawing record is a stretched DIB: played back onto a
// bitmap of its size, and read as an image, it gives the exported pixels exactly.
TEST(ExportImage, WmfHoldsOneStretchedDibThatPlaysBackPixelForPixel)
{
    Y_Dir dir(true);
    Scratch_Dir tmp;
    Export_View v;
    const std::string path = tmp.path() + "/view.WMF";
    ASSERT_TRUE(v.export_to(path, 300, k_white, 96));
    ASSERT_TRUE(v.export_to_clipboard(300));
    HBITMAP shown = platform_clipboard_bitmap();
    ASSERT_NE(shown, nullptr);

    const std::vector<std::uint8_t> b = file_bytes(path);
    ASSERT_GT(b.size(), 22u + 18u);
    EXPECT_EQ(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24), 0x9AC6CDD7u);
    // The records after the headers: their functions, walked by their sizes.
    std::vector<unsigned> functions;
    for (std::size_t at = 22 + 18; at + 6 <= b.size();) {
        const std::size_t words = b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::size_t>(b[at + 3]) << 24);
        functions.push_back(b[at + 4] | (b[at + 5] << 8));
        ASSERT_GE(words, 3u);
        at += 2 * words;
    }
    EXPECT_EQ(std::count(functions.begin(), functions.end(), 0x0F43u), 1) << "one stretched DIB";
    EXPECT_EQ(functions.back(), 0u) << "and the end record";
    for (unsigned f : functions) EXPECT_TRUE(f == 0x0F43u || f == 0x020Bu || f == 0x020Cu || f == 0u) << f;

    // Played back by the metafile player, and read as an image.
    BITMAP info{};
    ASSERT_TRUE(GetObject(shown, sizeof info, &info));
    const int w = info.bmWidth, h = info.bmHeight;
    HENHMETAFILE mf = SetWinMetaFileBits(static_cast<UINT>(b.size()), b.data(), nullptr, nullptr);
    ASSERT_NE(mf, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    HBITMAP played = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, played);
    const RECT all{0, 0, w, h};
    ASSERT_TRUE(PlayEnhMetaFile(dc, mf, &all));
    CxImage read(path.c_str(), CXIMAGE_FORMAT_WMF);
    ASSERT_TRUE(read.IsValid());
    ASSERT_EQ(read.GetWidth(), static_cast<DWORD>(w));
    ASSERT_EQ(read.GetHeight(), static_cast<DWORD>(h));
    int red = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            COLORREF want = 0, got = 0;
            ASSERT_TRUE(platform_read_pixel(shown, x, y, &want));
            ASSERT_TRUE(platform_read_pixel(played, x, y, &got));
            ASSERT_EQ(got, want) << x << "," << y;
            const RGBQUAD q = read.GetPixelColor(x, h - 1 - y, false);
            ASSERT_EQ(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue), want) << x << "," << y;
            red += want == k_red;
        }
    EXPECT_GT(red, 100) << "the strokes are in the picture";
    SelectObject(dc, old);
    DeleteObject(played);
    DeleteDC(dc);
    DeleteEnhMetaFile(mf);
}

TEST(ExportImage, WhatTheImageShows)
{
    Y_Dir dir(true);
    View v;
    constexpr COLORREF green = RGB(0, 255, 0);
    // In the background colour: drawn in its complement.
    v.add({Qe_Pt(0, 20, 0), Qe_Pt(200, 20, 0)}, green);
    // Selected or hidden: not drawn.
    Test_Geom* selected = v.add({Qe_Pt(0, 40, 0), Qe_Pt(200, 40, 0)}, k_red);
    v.select(selected);
    Test_Geom* hidden = v.add({Qe_Pt(0, 60, 0), Qe_Pt(200, 60, 0)}, k_red);
    hidden->flag(MB_Drawable::State_Hidden);
    // A face outside the region is not drawn either, although the views always draw faces; it
    // would show if it were, its stroke running into the region.
    Test_Geom* face = v.add({Qe_Pt(100, 80, 0), Qe_Pt(100, 500, 0)}, k_blue, MB_Object::ID_FACE);
    face->rect() = Qe_Rect(Qe_Pt(300, 600, 0), Qe_Pt(400, 500, 0));
    // Inside: drawn in its own colour.
    v.add({Qe_Pt(0, 80, 0), Qe_Pt(200, 80, 0)}, k_blue);

    Qe_Rect r = region();
    ASSERT_TRUE(v.r->export_image(nullptr, r, 0, 300, 0, green, 96));
    HBITMAP b = platform_clipboard_bitmap();
    ASSERT_NE(b, nullptr);
    // World y maps to pixel row 300 - 3y.
    struct Probe {
        int x, y;
        COLORREF colour;
    };
    const Probe probes[] = {
        {300, 240, RGB(255, 0, 255)},  // the complement of the background
        {300, 180, green},             // selected: absent
        {300, 120, green},             // hidden: absent
        {300, 60, k_blue},
        {300, 30, green},              // the face's stroke: absent
        {5, 5, green},
    };
    for (const Probe& p : probes) {
        COLORREF c = 0;
        ASSERT_TRUE(platform_read_pixel(b, p.x, p.y, &c));
        EXPECT_EQ(c, p.colour) << p.x << "," << p.y;
    }
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
}

// A small drawing exported beside the tests, for a look in any image viewer.
TEST(ExportImage, SamplesForAViewer)
{
    Y_Dir dir(true);
    View v;
    // A house: walls, roof, door and a window, each in its colour.
    v.add({Qe_Pt(20, 10, 0), Qe_Pt(120, 10, 0), Qe_Pt(120, 70, 0), Qe_Pt(20, 70, 0), Qe_Pt(20, 10, 0)}, RGB(0, 0, 0));
    v.add({Qe_Pt(10, 65, 0), Qe_Pt(70, 100, 0), Qe_Pt(130, 65, 0)}, k_red);
    v.add({Qe_Pt(40, 10, 0), Qe_Pt(40, 45, 0), Qe_Pt(60, 45, 0), Qe_Pt(60, 10, 0)}, RGB(128, 64, 0));
    v.add({Qe_Pt(80, 35, 0), Qe_Pt(105, 35, 0), Qe_Pt(105, 55, 0), Qe_Pt(80, 55, 0), Qe_Pt(80, 35, 0)}, k_blue);
    Qe_Rect r(Qe_Pt(0, 110, 0), Qe_Pt(140, 0, 0));
    for (const char* name : {"export_sample.png", "export_sample.jpg"}) {
        std::string path = test_output_path(name);
        ASSERT_TRUE(v.r->export_image(path.data(), r, 0, 330, 0, k_white, 96)) << path;
        Rgb_Image img;
        ASSERT_TRUE(std::string(name).ends_with("png") ? read_png(path, img) : read_jpeg(path, img)) << path;
        EXPECT_EQ(img.width, 420);
        EXPECT_EQ(img.height, 330);
    }
}

}  // namespace
