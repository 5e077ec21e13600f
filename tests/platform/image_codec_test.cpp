// Decoding and encoding images in memory, pixel access, opacity, rotation and drawing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/image_readers.h"
#include "common/scratch_dir.h"
#include "common/ximage_bytes.h"
#include "dib_fixture.h"
#include "platform/gdi.h"
#include "platform/ximage.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

RGBQUAD quad(int r, int g, int b, int a = 255)
{
    return RGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), static_cast<BYTE>(a)};
}

// 16 x 12 pixels, every one a different colour (fewer than 256: GIF keeps them exactly).
CxImage gradient()
{
    CxImage image;
    EXPECT_TRUE(image.Create(16, 12, 24));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) image.SetPixelColor(x, y, quad(x * 16, y * 20, 255 - x * 8 - y * 4));
    return image;
}

// Cells of 3 x 3 pixels: opaque red, fully transparent blue and half-transparent green.
int cell_alpha(int x, int y)
{
    static constexpr int alphas[] = {255, 0, 128};
    return alphas[(x / 3 + y / 3) % 3];
}

CxImage checkerboard(bool half_alpha)
{
    CxImage image;
    EXPECT_TRUE(image.Create(12, 9, 32));
    EXPECT_TRUE(image.AlphaCreate());
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) {
            int a = cell_alpha(x, y);
            if (a == 128 && !half_alpha) a = 255;
            image.SetPixelColor(x, y,
                                a == 255 ? quad(255, 0, 0)
                                : a == 0 ? quad(0, 0, 255, 0)
                                         : quad(0, 200, 0, 128),
                                true);
        }
    return image;
}

bool same_colour(const RGBQUAD& a, const RGBQUAD& b)
{
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

struct Format {
    DWORD type;
    const char* name;
    bool (*read)(const std::string&, Rgb_Image&);
    // Opacity that survives: 0 none (read back opaque), 1 only fully transparent, 2 every level.
    int alpha;
};

const Format k_lossless[] = {
    {CXIMAGE_FORMAT_BMP, "bmp", read_bmp, 0},
    {CXIMAGE_FORMAT_GIF, "gif", read_gif, 1},
    {CXIMAGE_FORMAT_PNG, "png", read_png, 2},
    {CXIMAGE_FORMAT_TIF, "tif", read_tiff, 2},
};

TEST(ImageCodecs, LosslessFormatsGiveBackTheirPixels)
{
    Scratch_Dir dir;
    for (const Format& f : k_lossless) {
        SCOPED_TRACE(f.name);
        CxImage source = gradient();
        const Bytes bytes = encoded_bytes(source, f.type);
        ASSERT_FALSE(bytes.empty());
        CxImage back(bytes.data(), static_cast<DWORD>(bytes.size()), f.type);
        ASSERT_TRUE(back.IsValid());
        ASSERT_EQ(back.GetWidth(), 16u);
        ASSERT_EQ(back.GetHeight(), 12u);
        EXPECT_FALSE(back.AlphaIsValid());
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) ASSERT_TRUE(same_colour(back.GetPixelColor(x, y), source.GetPixelColor(x, y)));

        // The format's own library reads the same bytes; its rows run from the top.
        const std::string path = dir.path() + "/g." + f.name;
        {
            std::FILE* out = std::fopen(path.c_str(), "wb");
            ASSERT_NE(out, nullptr);
            std::fwrite(bytes.data(), 1, bytes.size(), out);
            std::fclose(out);
        }
        Rgb_Image theirs;
        ASSERT_TRUE(f.read(path, theirs));
        ASSERT_EQ(theirs.width, 16);
        ASSERT_EQ(theirs.height, 12);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                const RGBQUAD c = source.GetPixelColor(x, 11 - y);
                ASSERT_EQ(theirs.at(x, y), RGB(c.rgbRed, c.rgbGreen, c.rgbBlue)) << x << "," << y;
            }

        // Opacity, as far as the format carries it.
        CxImage board = checkerboard(f.alpha == 2);
        const Bytes alpha_bytes = encoded_bytes(board, f.type);
        CxImage alpha_back(alpha_bytes.data(), static_cast<DWORD>(alpha_bytes.size()), f.type);
        ASSERT_TRUE(alpha_back.IsValid());
        EXPECT_EQ(alpha_back.AlphaIsValid(), f.alpha > 0);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 12; ++x) {
                const RGBQUAD want = board.GetPixelColor(x, y), got = alpha_back.GetPixelColor(x, y);
                ASSERT_EQ(got.rgbReserved, f.alpha ? want.rgbReserved : 255) << x << "," << y;
                if (want.rgbReserved != 0 || f.alpha == 2) {
                    ASSERT_TRUE(same_colour(got, want)) << x << "," << y;
                }
            }
    }
}

TEST(ImageCodecs, HandWrittenBitmapsDecode)
{
    // 3 x 2, 8 bits with a 2-entry palette, rows top-down (negative height), rows padded to 4.
    // clang-format off
    const Bytes paletted = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0,                // file header, data at 62
        40, 0, 0, 0, 3, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 8, 0,  // 3 x -2, 8 bits
        0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0,
        0x10, 0x20, 0x30, 0, 0xFF, 0xFF, 0xFF, 0,  // palette: (r 0x30, g 0x20, b 0x10), white
        0, 1, 0, 0,                                // top row
        1, 1, 0, 0};                               // bottom row
    // clang-format on
    CxImage a(paletted.data(), static_cast<DWORD>(paletted.size()), CXIMAGE_FORMAT_BMP);
    ASSERT_TRUE(a.IsValid());
    ASSERT_EQ(a.GetWidth(), 3u);
    ASSERT_EQ(a.GetHeight(), 2u);
    // Pixel rows count from the bottom.
    EXPECT_TRUE(same_colour(a.GetPixelColor(0, 1), quad(0x30, 0x20, 0x10)));
    EXPECT_TRUE(same_colour(a.GetPixelColor(1, 1), quad(255, 255, 255)));
    EXPECT_TRUE(same_colour(a.GetPixelColor(2, 1), quad(0x30, 0x20, 0x10)));
    EXPECT_TRUE(same_colour(a.GetPixelColor(0, 0), quad(255, 255, 255)));

    // 2 x 1, 32 bits with channel masks and an alpha mask in a 56-byte header, bottom-up.
    // clang-format off
    Bytes masked = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 70, 0, 0, 0, 56, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 32, 0,
                    3, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                    0, 0, 0, 0xFF,   // red mask: top byte
                    0, 0, 0xFF, 0,   // green
                    0, 0xFF, 0, 0,   // blue
                    0xFF, 0, 0, 0,   // alpha: low byte
                    0x80, 0x33, 0x22, 0x11, 0xFF, 0, 0, 0xFF};
    // clang-format on
    CxImage b(masked.data(), static_cast<DWORD>(masked.size()), CXIMAGE_FORMAT_UNKNOWN);
    ASSERT_TRUE(b.IsValid());
    EXPECT_EQ(b.GetType(), static_cast<DWORD>(CXIMAGE_FORMAT_BMP));
    EXPECT_TRUE(b.AlphaIsValid());
    const RGBQUAD p = b.GetPixelColor(0, 0);
    EXPECT_TRUE(same_colour(p, quad(0x11, 0x22, 0x33)));
    EXPECT_EQ(p.rgbReserved, 0x80);
    EXPECT_TRUE(same_colour(b.GetPixelColor(1, 0), quad(255, 0, 0)));

    // Data that ends before its last row, a palette index past the palette's size.
    masked.pop_back();
    EXPECT_FALSE(CxImage(masked.data(), static_cast<DWORD>(masked.size()), CXIMAGE_FORMAT_BMP).IsValid());
}

TEST(ImageCodecs, JpegStaysCloseAndIsNeverCompressedAgain)
{
    CxImage source;
    ASSERT_TRUE(source.Create(64, 48, 24));
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) source.SetPixelColor(x, y, quad(x * 4, y * 5, 128 + (x - y)));
    const Bytes bytes = encoded_bytes(source, CXIMAGE_FORMAT_JPG);
    CxImage back(bytes.data(), static_cast<DWORD>(bytes.size()), CXIMAGE_FORMAT_JPG);
    ASSERT_TRUE(back.IsValid());
    double squared = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const RGBQUAD a = source.GetPixelColor(x, y), b = back.GetPixelColor(x, y);
            for (int d : {a.rgbRed - b.rgbRed, a.rgbGreen - b.rgbGreen, a.rgbBlue - b.rgbBlue}) squared += d * d;
        }
    const double psnr = 10 * std::log10(255.0 * 255.0 / (squared / (64 * 48 * 3)));
    EXPECT_GT(psnr, 35.0);

    // Decoded bytes come back unchanged, in a copy too; once a pixel changes they are encoded
    // afresh.
    EXPECT_EQ(encoded_bytes(back, CXIMAGE_FORMAT_JPG), bytes);
    CxImage copy(back, true, true, true);
    EXPECT_EQ(encoded_bytes(copy, CXIMAGE_FORMAT_JPG), bytes);
    EXPECT_NE(encoded_bytes(back, CXIMAGE_FORMAT_PNG).size(), 0u);
    back.SetPixelColor(0, 0, quad(255, 255, 255));
    EXPECT_NE(encoded_bytes(back, CXIMAGE_FORMAT_JPG), bytes);
    EXPECT_EQ(encoded_bytes(copy, CXIMAGE_FORMAT_JPG), bytes);  // the copy's pixels are its own
}

TEST(ImageCodecs, EveryTruncationAndMutationGivesNoPixels)
{
    const Format all[] = {
        k_lossless[0], k_lossless[1], k_lossless[2], k_lossless[3], {CXIMAGE_FORMAT_JPG, "jpg", nullptr, 0}};
    for (const Format& f : all) {
        SCOPED_TRACE(f.name);
        CxImage source = gradient();
        const Bytes bytes = encoded_bytes(source, f.type);
        ASSERT_FALSE(bytes.empty());
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            CxImage cut(bytes.data(), static_cast<DWORD>(n), f.type);
            ASSERT_FALSE(cut.IsValid()) << "cut at " << n << " of " << bytes.size();
        }
        // Changed bytes may still decode (a changed pixel is a picture all the same), but never
        // into more pixels than the file could describe, and never past the image's bounds.
        std::mt19937 rng(12345);
        for (int round = 0; round < 300; ++round) {
            Bytes m = bytes;
            const int changes = 1 + static_cast<int>(rng() % 4);
            for (int i = 0; i < changes; ++i) m[rng() % m.size()] = static_cast<std::uint8_t>(rng());
            CxImage mutated(m.data(), static_cast<DWORD>(m.size()), f.type);
            if (mutated.IsValid()) {
                EXPECT_LE(static_cast<unsigned long long>(mutated.GetWidth()) * mutated.GetHeight(), 1ull << 28);
                (void)mutated.GetPixelColor(static_cast<long>(mutated.GetWidth()) - 1,
                                            static_cast<long>(mutated.GetHeight()) - 1);
            }
        }
    }
    // No bytes; bytes of another type; types that name no format.
    EXPECT_FALSE(CxImage(nullptr, 10, CXIMAGE_FORMAT_PNG).IsValid());
    const Bytes png = [] {
        CxImage g = gradient();
        return encoded_bytes(g, CXIMAGE_FORMAT_PNG);
    }();
    for (DWORD type : {1u, 2u, 3u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u, 15u})
        EXPECT_FALSE(CxImage(png.data(), static_cast<DWORD>(png.size()), type).IsValid()) << type;
    for (DWORD type : {16u, 99u}) {
        CxImage g = gradient();
        BYTE* out = nullptr;
        long size = -1;
        EXPECT_FALSE(g.Encode(out, size, type)) << type;
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(size, -1);
    }
    CxImage empty;
    BYTE* out = nullptr;
    long size = 0;
    EXPECT_FALSE(empty.Encode(out, size, CXIMAGE_FORMAT_PNG));
}

TEST(ImageCodecs, HugeDeclaredSizesAreRefused)
{
    // PNG headers with valid checksums: 65535 x 65535 pixels (16 GiB, past the bound), and
    // 16000 x 16000 (within it, but far more than the few hundred bytes can hold): refused
    // before any pixel memory is taken.
    CxImage g = gradient();
    for (std::uint32_t side : {65535u, 16000u}) {
        Bytes png = encoded_bytes(g, CXIMAGE_FORMAT_PNG);
        for (int i = 0; i < 8; ++i)
            png[16 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(side >> (24 - 8 * (i % 4)));
        // The header chunk's checksum, computed over its type and data.
        std::uint32_t crc = 0xFFFFFFFFu;
        for (int i = 12; i < 29; ++i) {
            crc ^= png[static_cast<std::size_t>(i)];
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
        crc ^= 0xFFFFFFFFu;
        for (int i = 0; i < 4; ++i)
            png[29 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        EXPECT_FALSE(CxImage(png.data(), static_cast<DWORD>(png.size()), CXIMAGE_FORMAT_PNG).IsValid()) << side;
    }

    // A BMP that claims 40000 x 40000 pixels of 32 bits in a few bytes.
    Bytes bmp = encoded_bytes(g, CXIMAGE_FORMAT_BMP);
    bmp[18] = 0x40, bmp[19] = 0x9C, bmp[20] = 0, bmp[21] = 0;
    bmp[22] = 0x40, bmp[23] = 0x9C, bmp[24] = 0, bmp[25] = 0;
    EXPECT_FALSE(CxImage(bmp.data(), static_cast<DWORD>(bmp.size()), CXIMAGE_FORMAT_BMP).IsValid());
}

TEST(ImageCodecs, FilesDecodeByTypeOrSignature)
{
    Scratch_Dir dir;
    CxImage g = gradient();
    const std::string path = dir.path() + "/a.gif";
    ASSERT_TRUE(g.Save(path.c_str(), CXIMAGE_FORMAT_GIF));
    CxImage by_type(path.c_str(), CXIMAGE_FORMAT_GIF);
    CxImage by_bytes(path.c_str(), CXIMAGE_FORMAT_UNKNOWN);
    CxImage wrong(path.c_str(), CXIMAGE_FORMAT_PNG);
    CxImage missing((dir.path() + "/none.gif").c_str(), CXIMAGE_FORMAT_GIF);
    EXPECT_TRUE(by_type.IsValid());
    EXPECT_TRUE(by_bytes.IsValid());
    EXPECT_EQ(by_bytes.GetType(), static_cast<DWORD>(CXIMAGE_FORMAT_GIF));
    EXPECT_FALSE(wrong.IsValid());
    EXPECT_FALSE(missing.IsValid());
    // Saved again in its own type: the same file.
    const std::string again = dir.path() + "/b.gif";
    ASSERT_TRUE(by_type.Save(again.c_str(), CXIMAGE_FORMAT_GIF));
    EXPECT_EQ(file_bytes(again), file_bytes(path));
}

TEST(ImageCodecs, QuarterTurnsMovePixelsExactly)
{
    // 3 x 2, rows from the bottom: a b c over d e f... stored bottom row first.
    CxImage image;
    ASSERT_TRUE(image.Create(3, 2, 24));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) image.SetPixelColor(x, y, quad(10 * x + 1, 10 * y + 1, 0));
    auto id = [](const RGBQUAD& c) { return (c.rgbRed - 1) / 10 + 10 * ((c.rgbGreen - 1) / 10); };  // x + 10 y

    CxImage turned(image, true, true, true);
    ASSERT_TRUE(turned.Rotate(90));
    ASSERT_EQ(turned.GetWidth(), 2u);
    ASSERT_EQ(turned.GetHeight(), 3u);
    EXPECT_FALSE(turned.AlphaIsValid());
    // Counter-clockwise with y up: the pixel at (x, y) goes to (H - 1 - y, x).
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(id(turned.GetPixelColor(1 - y, x)), x + 10 * y);

    CxImage half;
    ASSERT_TRUE(image.Rotate(180, &half));
    EXPECT_EQ(image.GetWidth(), 3u);  // the source stays
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(id(half.GetPixelColor(2 - x, 1 - y)), x + 10 * y);

    CxImage full(image, true, true, true);
    ASSERT_TRUE(full.Rotate(-360));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(id(full.GetPixelColor(x, y)), x + 10 * y);

    EXPECT_FALSE(CxImage().Rotate(90));
    EXPECT_FALSE(image.Rotate(NAN));
}

TEST(ImageCodecs, OtherAnglesGrowTheCanvasWithTransparentCorners)
{
    CxImage image;
    ASSERT_TRUE(image.Create(20, 10, 24));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) image.SetPixelColor(x, y, quad(200, 100, 50));
    ASSERT_TRUE(image.Rotate(45));
    // The turned rectangle's box: (20 + 10) / sqrt 2 on each side.
    EXPECT_EQ(image.GetWidth(), 22u);
    EXPECT_EQ(image.GetHeight(), 22u);
    ASSERT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(image.GetPixelColor(0, 0).rgbReserved, 0);
    EXPECT_EQ(image.GetPixelColor(21, 21).rgbReserved, 0);
    EXPECT_EQ(image.GetPixelColor(11, 11).rgbReserved, 255);
    EXPECT_TRUE(same_colour(image.GetPixelColor(11, 11), quad(200, 100, 50)));
}

TEST(ImageCodecs, DrawSkipsTheTransparentColourAndBlendsByOpacity)
{
    CxImage image;
    ASSERT_TRUE(image.Create(2, 1, 24));
    image.SetPixelColor(0, 0, quad(255, 0, 0));
    image.SetPixelColor(1, 0, quad(0, 0, 255));
    Dib d(4, 2, 32);
    std::fill(d.bits, d.bits + d.stride * d.h, 0xFF);

    image.SetTransColor(quad(255, 0, 0));
    EXPECT_EQ(image.Draw(d.dc, 0, 0, 4, 2), 1);  // no index: nothing is transparent
    EXPECT_EQ(d.at(0, 0), RGB(255, 0, 0));

    std::fill(d.bits, d.bits + d.stride * d.h, 0xFF);
    image.SetTransIndex(image.GetPixelIndex(0, 0));
    EXPECT_EQ(image.Draw(d.dc, 0, 0, 4, 2), 1);
    EXPECT_EQ(d.at(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(d.at(1, 1), RGB(255, 255, 255));
    EXPECT_EQ(d.at(2, 0), RGB(0, 0, 255));
    image.SetTransIndex(-1);

    std::fill(d.bits, d.bits + d.stride * d.h, 0xFF);
    ASSERT_TRUE(image.AlphaCreate());
    image.AlphaSet(51);  // one fifth
    EXPECT_EQ(image.Draw(d.dc, 0, 0, 4, 2), 1);
    EXPECT_EQ(d.at(0, 0), RGB(255, 204, 204));
    EXPECT_EQ(d.at(3, 1), RGB(204, 204, 255));
    image.AlphaSet(0);
    std::fill(d.bits, d.bits + d.stride * d.h, 0x00);
    EXPECT_EQ(image.Draw(d.dc, 0, 0, 4, 2), 1);
    EXPECT_EQ(d.at(0, 0), RGB(0, 0, 0));
}

TEST(ImageCodecs, DeepCopiesOwnTheirPixels)
{
    CxImage board = checkerboard(true);
    board.SetTransIndex(0);
    board.SetTransColor(quad(1, 2, 3));
    CxImage all(board, true, true, true);
    CxImage opaque(board, true, true, false);
    CxImage bare(board, false, false, false);
    board.SetPixelColor(0, 0, quad(9, 9, 9));
    EXPECT_TRUE(same_colour(all.GetPixelColor(0, 0), quad(255, 0, 0)));
    EXPECT_TRUE(all.AlphaIsValid());
    EXPECT_EQ(all.GetTransIndex(), 0);
    EXPECT_TRUE(same_colour(all.GetTransColor(), quad(1, 2, 3)));
    EXPECT_FALSE(opaque.AlphaIsValid());
    EXPECT_EQ(opaque.GetPixelColor(4, 0).rgbReserved, 255);
    EXPECT_FALSE(bare.IsValid());
    // Outside the image.
    EXPECT_TRUE(same_colour(all.GetPixelColor(-1, 0), quad(0, 0, 0)));
    EXPECT_TRUE(same_colour(all.GetPixelColor(12, 0), quad(0, 0, 0)));
}

}  // namespace

namespace {

// A progressive JPEG of one grey component whose scan script has n_bands spectral bands, each
// sent in n_passes successive-approximation passes: 1 + n_passes x n_bands scans.
Bytes progressive_jpeg(int n_bands, int n_passes)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 16;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    std::vector<jpeg_scan_info> scans;
    scans.push_back(jpeg_scan_info{1, {0, 0, 0, 0}, 0, 0, 0, 0});
    const int width = 63 / n_bands;
    // Pass p sends bit n_passes - 1 - p: the first with Ah 0, each later one refining by a bit.
    for (int pass = 0; pass < n_passes; ++pass)
        for (int b = 0; b < n_bands; ++b) {
            const int ss = 1 + b * width, se = b == n_bands - 1 ? 63 : ss + width - 1;
            const int al = n_passes - 1 - pass, ah = pass == 0 ? 0 : al + 1;
            scans.push_back(jpeg_scan_info{1, {0, 0, 0, 0}, ss, se, ah, al});
        }
    cinfo.scan_info = scans.data();
    cinfo.num_scans = static_cast<int>(scans.size());
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) row[static_cast<std::size_t>(x)] = static_cast<JSAMPLE>(x * 16 + y);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
}

TEST(ImageCodecs, ProgressiveJpegScansAreBounded)
{
    // Grey files read as colour; a usual script decodes, one of more than 256 scans does not.
    const Bytes usual = progressive_jpeg(9, 2);
    CxImage ok(usual.data(), static_cast<DWORD>(usual.size()), CXIMAGE_FORMAT_JPG);
    ASSERT_TRUE(ok.IsValid());
    EXPECT_EQ(ok.GetWidth(), 16u);
    const Bytes endless = progressive_jpeg(63, 5);  // 316 scans
    CxImage refused(endless.data(), static_cast<DWORD>(endless.size()), CXIMAGE_FORMAT_JPG);
    EXPECT_FALSE(refused.IsValid());
}

}  // namespace
