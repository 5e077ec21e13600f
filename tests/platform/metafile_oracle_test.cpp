// Metafiles drawn by the player and by independent renderers from Debian: an EMF through
// libemf2svg (emf2svg-conv), a WMF through libwmf (wmf2svg), both to pixels by librsvg
// (rsvg-convert). The
// pictures are compared pixel by pixel within a small tolerance: the others smooth their
// edges, the player does not.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "common/image_readers.h"
#include "common/metafile_writer.h"
#include "common/png_writer.h"
#include "common/scratch_dir.h"
#include "common/test_output.h"
#include "dib_fixture.h"
#include "platform/gdi_draw.h"
#include "platform/metafile.h"
#include "platform/ximage.h"

namespace {

using metafile_writer::Bytes;
using metafile_writer::Emf;
using metafile_writer::Wmf;

constexpr COLORREF red = RGB(220, 30, 30), blue = RGB(20, 40, 200), green = RGB(30, 160, 60), white = RGB(255, 255, 255);

void write_file(const std::string& path, const Bytes& b)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// The player's picture on a white w x h DIB, as red, green, blue rows.
Rgb_Image play(const Bytes& b, int w, int h)
{
    Dib d(w, h, 32);
    HBRUSH back = CreateSolidBrush(white);
    const RECT all{0, 0, w, h};
    FillRect(d.dc, &all, back);
    DeleteObject(back);
    HENHMETAFILE mf = SetWinMetaFileBits(static_cast<UINT>(b.size()), b.data(), nullptr, nullptr);
    EXPECT_TRUE(PlayEnhMetaFile(d.dc, mf, &all));
    DeleteEnhMetaFile(mf);
    Rgb_Image out;
    out.width = w, out.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const COLORREF c = d.at(x, y);
            out.rgb.push_back(GetRValue(c)), out.rgb.push_back(GetGValue(c)), out.rgb.push_back(GetBValue(c));
        }
    return out;
}

// Pixels of a that no pixel within one step of the same place in b matches (every channel
// within 128: the colours of the tests are further apart than that, a smoothed edge is not),
// as a share of all: edges the other side smooths or places half a pixel away do not count;
// a shape missing, moved or in another colour does.
double differing(const Rgb_Image& a, const Rgb_Image& b)
{
    if (a.width != b.width || a.height != b.height) return 1.0;
    const auto close = [&](int x, int y, int u, int v) {
        if (u < 0 || v < 0 || u >= b.width || v >= b.height) return false;
        const std::uint8_t* p = &a.rgb[(static_cast<std::size_t>(y) * a.width + x) * 3];
        const std::uint8_t* q = &b.rgb[(static_cast<std::size_t>(v) * b.width + u) * 3];
        for (int c = 0; c < 3; ++c)
            if (std::abs(int(p[c]) - int(q[c])) > 128) return false;
        return true;
    };
    long n = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx) found = close(x, y, x + dx, y + dy);
            n += !found;
        }
    return static_cast<double>(n) / (a.width * a.height);
}

// libwmf writes opacity too: its PNG read through the image class, over white.
Rgb_Image read_rgba_png(const std::string& path)
{
    Rgb_Image out;
    const CxImage png(path.c_str(), CXIMAGE_FORMAT_PNG);
    out.width = static_cast<int>(png.GetWidth()), out.height = static_cast<int>(png.GetHeight());
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const RGBQUAD q = png.GetPixelColor(x, out.height - 1 - y, true);
            const int a = png.AlphaIsValid() ? q.rgbReserved : 255;
            for (int c : {q.rgbRed, q.rgbGreen, q.rgbBlue}) out.rgb.push_back(static_cast<std::uint8_t>((c * a + 255 * (255 - a)) / 255));
        }
    return out;
}

// Both pictures are kept in the test output folder, for a look.
void keep(const std::string& name, const Rgb_Image& img)
{
    write_png((test_output_dir() / name).string(), img.rgb.data(), img.width, img.height);
}

TEST(Metafile_Oracle, EmfDrawsAsLibemf2svgDrawsIt)
{
    constexpr int w = 160, h = 120;
    // Stripes 10 pixels wide drawn at their own size: the other side smooths a stretched
    // bitmap, and turns a bottom-up one over (the row order is pinned by the player's tests).
    const Bytes dib = metafile_writer::dib24(40, 40, [](int x, int) { return (x / 10) % 2 ? RGB(0, 0, 0) : RGB(255, 200, 0); });
    Emf e(w, h);
    e.handles(6)
        .brush(1, BS_SOLID, red)
        .pen(2, PS_SOLID, 0, blue)
        .select(1)
        .select(2)
        .rectangle(10, 10, 70, 50)
        .brush(3, BS_SOLID, green)
        .select(3)
        .ellipse(80, 10, 150, 60)
        .select(2)
        .polyline16({{10, 70}, {60, 110}, {110, 70}})
        .brush(5, BS_SOLID, blue)
        .select(5)
        .select(0x80000008u)  // the null pen
        .polygon({{120, 70}, {150, 110}, {100, 110}})
        .stretch_dibits(40, 60, 40, 40, dib, 40, 40);
    const Bytes bytes = e.bytes();
    Scratch_Dir dir;
    const std::string emf = dir.path() + "/a.emf", svg = dir.path() + "/a.svg", png = dir.path() + "/a.png";
    write_file(emf, bytes);
    ASSERT_EQ(std::system(("emf2svg-conv -i " + emf + " -o " + svg + " -w " + std::to_string(w) + " -h " +
                           std::to_string(h) + " 2>/dev/null")
                              .c_str()),
              0);
    ASSERT_EQ(std::system(("rsvg-convert -w " + std::to_string(w) + " -h " + std::to_string(h) + " -b white -o " + png +
                           " " + svg + " 2>/dev/null")
                              .c_str()),
              0);
    Rgb_Image theirs;
    ASSERT_TRUE(read_png(png, theirs));
    const Rgb_Image ours = play(bytes, w, h);
    keep("metafile_oracle_emf_ours.png", ours);
    keep("metafile_oracle_emf_theirs.png", theirs);
    EXPECT_LT(differing(ours, theirs), 0.01);
    EXPECT_LT(differing(theirs, ours), 0.01);
    // Each shape is there in its colour.
    EXPECT_EQ(ours.at(40, 30), red);
    EXPECT_EQ(ours.at(115, 35), green);
    EXPECT_EQ(ours.at(125, 100), blue);
}

TEST(Metafile_Oracle, WmfDrawsAsLibwmfDrawsIt)
{
    constexpr int w = 160, h = 120;
    Wmf m(w, h, 96);
    // A background over the whole frame first: libwmf fits what the records draw, rather than
    // the placeable box, to its picture.
    m.window(0, 0, w, h)
        .objects(5)
        .brush(BS_SOLID, RGB(250, 250, 250))
        .pen(PS_NULL, 0, 0)
        .select(0)
        .select(1)
        .rectangle(0, 0, w + 1, h + 1)
        .remove(0)
        .remove(1)
        .brush(BS_SOLID, red)    // slot 0
        .pen(PS_SOLID, 1, blue)  // slot 1
        .select(0)
        .select(1)
        .rectangle(10, 10, 70, 50)
        .brush(BS_SOLID, green)  // slot 2
        .select(2)
        .ellipse(80, 10, 150, 60)
        .remove(0)
        .brush(BS_SOLID, blue)  // takes the freed slot 0
        .select(0)
        .polygon({{120, 70}, {150, 110}, {100, 110}});
    const Bytes bytes = m.bytes();
    Scratch_Dir dir;
    const std::string wmf = dir.path() + "/a.wmf", svg = dir.path() + "/a.svg", png = dir.path() + "/a.png";
    write_file(wmf, bytes);
    ASSERT_EQ(std::system(("wmf2svg -o " + svg + " " + wmf + " >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(std::system(("rsvg-convert -w " + std::to_string(w) + " -h " + std::to_string(h) + " -b white -o " + png +
                           " " + svg + " 2>/dev/null")
                              .c_str()),
              0);
    const Rgb_Image theirs = read_rgba_png(png);
    const Rgb_Image ours = play(bytes, w, h);
    keep("metafile_oracle_wmf_ours.png", ours);
    keep("metafile_oracle_wmf_theirs.png", theirs);
    EXPECT_LT(differing(ours, theirs), 0.01);
    EXPECT_LT(differing(theirs, ours), 0.01);
    EXPECT_EQ(ours.at(40, 30), red);
    EXPECT_EQ(ours.at(115, 35), green);
    EXPECT_EQ(ours.at(125, 100), blue);
}

}  // namespace
