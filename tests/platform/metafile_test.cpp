// Metafile handles and pictures loaded from EMF, placeable WMF and raster bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/metafile_bytes.h"
#include "dib_fixture.h"
#include "platform/handles.h"
#include "platform/metafile.h"
#include "platform/ximage.h"

namespace {

using Bytes = std::vector<BYTE>;
using metafile_bytes::emf;
using metafile_bytes::placeable;

TEST(Metafile, HandleOwnsACopy)
{
    const long before = platform_gdi_object_count();
    Bytes bits = placeable(0, 0, 100, 50, 1000);
    HENHMETAFILE mf = SetWinMetaFileBits(static_cast<UINT>(bits.size()), bits.data(), nullptr, nullptr);
    ASSERT_NE(mf, nullptr);
    EXPECT_EQ(platform_gdi_object_count(), before + 1);
    std::fill(bits.begin(), bits.end(), 0);  // the handle keeps its own copy
    Bytes back(GetEnhMetaFileBits(mf, 0, nullptr));
    ASSERT_EQ(back.size(), bits.size());
    ASSERT_EQ(GetEnhMetaFileBits(mf, static_cast<UINT>(back.size()), back.data()), back.size());
    EXPECT_EQ(back, placeable(0, 0, 100, 50, 1000));
    EXPECT_EQ(GetEnhMetaFileBits(mf, 3, back.data()), 0u);

    {
        Dib d(4, 4, 32);
        const RECT r{0, 0, 4, 4};
        EXPECT_EQ(PlayEnhMetaFile(d.dc, mf, &r), TRUE);  // nothing but an end record
        EXPECT_EQ(PlayEnhMetaFile(nullptr, mf, &r), FALSE);
        EXPECT_EQ(PlayEnhMetaFile(d.dc, mf, nullptr), FALSE);
    }
    EXPECT_EQ(DeleteEnhMetaFile(mf), TRUE);
    EXPECT_EQ(DeleteEnhMetaFile(mf), FALSE);  // stale
    EXPECT_EQ(GetEnhMetaFileBits(mf, 0, nullptr), 0u);
    EXPECT_EQ(platform_gdi_object_count(), before);
    EXPECT_EQ(SetWinMetaFileBits(0, bits.data(), nullptr, nullptr), nullptr);
    EXPECT_EQ(SetWinMetaFileBits(4, nullptr, nullptr, nullptr), nullptr);
}

TEST(Picture, SizesComeFromEachKindsHeader)
{
    struct Case {
        const char* what;
        Bytes bytes;
        Platform_Picture::Kind kind;
        LONG w, h;
    };
    CxImage raster;
    ASSERT_TRUE(raster.Create(96, 48, 24));
    BYTE* png = nullptr;
    long png_size = 0;
    ASSERT_TRUE(raster.Encode(png, png_size, CXIMAGE_FORMAT_PNG));
    const Bytes png_bytes(png, png + png_size);
    CxImage::FreeMemory(png);
    const Case cases[] = {
        {"emf", emf(2000, 1500), Platform_Picture::Kind::Enhanced_Metafile, 2000, 1500},
        {"wmf at 1000 per inch", placeable(0, 0, 1000, 500, 1000), Platform_Picture::Kind::Placeable_Metafile, 2540,
         1270},
        {"wmf box upside down", placeable(100, 300, -100, 0, 100), Platform_Picture::Kind::Placeable_Metafile, 5080,
         7620},
        {"png at 96 dpi", png_bytes, Platform_Picture::Kind::Raster, 2540, 1270},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto p = Platform_Picture::load(c.bytes.data(), c.bytes.size());
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->kind(), c.kind);
        LONG w = 0, h = 0;
        EXPECT_EQ(p->get_Width(&w), S_OK);
        EXPECT_EQ(p->get_Height(&h), S_OK);
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(p->bytes(), c.bytes);
        EXPECT_EQ(p->get_Width(nullptr), E_POINTER);
        // Every truncation is refused.
        for (std::size_t n = 0; n < c.bytes.size(); ++n)
            ASSERT_EQ(Platform_Picture::load(c.bytes.data(), n), nullptr) << "cut at " << n;
    }
}

TEST(Picture, DamagedHeadersAreRefused)
{
    Bytes bad_sum = placeable(0, 0, 100, 100, 1000);
    bad_sum[20] ^= 1;
    Bytes no_inch = placeable(0, 0, 100, 100, 0);
    Bytes bad_signature = emf(10, 10);
    bad_signature[40] = 'X';
    Bytes wrong_length = emf(10, 10);
    wrong_length[48] = 200;
    Bytes empty_frame = emf(0, 10);
    Bytes endless = emf(10, 10);
    endless[88] = 2;  // the end record is another kind: the file never ends
    for (const Bytes* b : {&bad_sum, &no_inch, &bad_signature, &wrong_length, &empty_frame, &endless})
        EXPECT_EQ(Platform_Picture::load(b->data(), b->size()), nullptr);
    EXPECT_EQ(Platform_Picture::load(nullptr, 10), nullptr);
}

TEST(Picture, RasterRendersUpright)
{
    CxImage raster;
    ASSERT_TRUE(raster.Create(2, 2, 24));
    raster.SetPixelColor(0, 1, RGBQUAD{0, 0, 255, 0});  // top-left red
    raster.SetPixelColor(1, 0, RGBQUAD{255, 0, 0, 0});  // bottom-right blue
    BYTE* bmp = nullptr;
    long size = 0;
    ASSERT_TRUE(raster.Encode(bmp, size, CXIMAGE_FORMAT_BMP));
    auto p = Platform_Picture::load(bmp, static_cast<std::size_t>(size));
    CxImage::FreeMemory(bmp);
    ASSERT_NE(p, nullptr);
    LONG w = 0, h = 0;
    (void)p->get_Width(&w), (void)p->get_Height(&h);
    Dib d(4, 4, 32);
    // Bottom edge at y = 4, a negative height, the whole picture from its bottom-left.
    EXPECT_EQ(p->Render(d.dc, 0, 4, 4, -4, 0, 0, w, h, nullptr), S_OK);
    EXPECT_EQ(d.at(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(d.at(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(d.at(3, 3), RGB(0, 0, 255));
    EXPECT_EQ(d.at(3, 0), RGB(0, 0, 0));
    EXPECT_EQ(p->Render(nullptr, 0, 4, 4, -4, 0, 0, w, h, nullptr), E_FAIL);

    const Bytes e = emf(100, 100);
    auto m = Platform_Picture::load(e.data(), e.size());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->image(), nullptr);
    EXPECT_EQ(m->Render(d.dc, 0, 4, 4, -4, 0, 0, 100, 100, nullptr), S_OK);
}

}  // namespace
