// The image types beyond the five common ones: each written and read back, each checked both
// ways against Debian's converters (netpbm, OpenJPEG's tools), hostile headers refused before
// their pixels are allocated, and the pixel limit with the bytes it keeps.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/image_readers.h"
#include "common/scratch_dir.h"
#include "common/ximage_bytes.h"
#include "kernel/stream/allocation_watch.h"
#include "platform/ximage.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// 20 x 14 pixels, all different, with some pure black and white.
COLORREF colour_at(int x, int y)
{
    if (x == 0) return RGB(0, 0, 0);
    if (x == 1) return RGB(255, 255, 255);
    return RGB(static_cast<BYTE>(x * 12), static_cast<BYTE>(y * 18), static_cast<BYTE>(255 - x * 5 - y * 7));
}
constexpr int k_w = 20, k_h = 14;

CxImage picture(bool alpha = false)
{
    CxImage image;
    EXPECT_TRUE(image.Create(k_w, k_h, 24));
    if (alpha) {
        EXPECT_TRUE(image.AlphaCreate());
    }
    for (int y = 0; y < k_h; ++y)
        for (int x = 0; x < k_w; ++x) {
            const COLORREF c = colour_at(x, y);
            // Rows of the pixel calls count from the bottom.
            image.SetPixelColor(x, k_h - 1 - y, RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c),
                                                         static_cast<BYTE>(alpha && (x + y) % 3 == 0 ? 0 : 255)},
                                alpha);
        }
    return image;
}

COLORREF top_down(const CxImage& image, int x, int y)
{
    const RGBQUAD q = image.GetPixelColor(x, static_cast<long>(image.GetHeight()) - 1 - y, true);
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

int grey_of(COLORREF c)
{
    return (GetRValue(c) * 299 + GetGValue(c) * 587 + GetBValue(c) * 114 + 500) / 1000;
}

enum class Fidelity { exact, grey, bilevel };

struct Type {
    DWORD type;
    const char* ext;
    Fidelity fidelity;
    bool alpha;  // opacity survives
};

const Type k_types[] = {
    {CXIMAGE_FORMAT_ICO, "ico", Fidelity::exact, true},  {CXIMAGE_FORMAT_TGA, "tga", Fidelity::exact, true},
    {CXIMAGE_FORMAT_PCX, "pcx", Fidelity::exact, false}, {CXIMAGE_FORMAT_WBMP, "wbmp", Fidelity::bilevel, false},
    {CXIMAGE_FORMAT_WMF, "wmf", Fidelity::exact, false}, {CXIMAGE_FORMAT_JP2, "jp2", Fidelity::exact, true},
    {CXIMAGE_FORMAT_JPC, "j2k", Fidelity::exact, true},  {CXIMAGE_FORMAT_PGX, "pgx", Fidelity::grey, false},
    {CXIMAGE_FORMAT_PNM, "ppm", Fidelity::exact, false}, {CXIMAGE_FORMAT_RAS, "ras", Fidelity::exact, false},
};

COLORREF expected(Fidelity f, COLORREF c)
{
    switch (f) {
    case Fidelity::grey: {
        const auto g = static_cast<BYTE>(grey_of(c));
        return RGB(g, g, g);
    }
    case Fidelity::bilevel: return grey_of(c) >= 128 ? RGB(255, 255, 255) : RGB(0, 0, 0);
    default: return c;
    }
}

TEST(Image_Formats, EveryTypeWrittenReadsBackItsPixels)
{
    Scratch_Dir dir;
    for (const Type& t : k_types) {
        SCOPED_TRACE(t.ext);
        for (bool alpha : {false, true}) {
            CxImage source = picture(alpha);
            const Bytes bytes = encoded_bytes(source, t.type);
            ASSERT_FALSE(bytes.empty());
            const std::string path = dir.path() + "/a." + t.ext;
            ASSERT_TRUE(source.Save(path.c_str(), t.type));
            for (const CxImage& back : {CxImage(bytes.data(), static_cast<DWORD>(bytes.size()), t.type),
                                        CxImage(path.c_str(), t.type)}) {
                ASSERT_TRUE(back.IsValid());
                ASSERT_EQ(back.GetWidth(), static_cast<DWORD>(k_w));
                ASSERT_EQ(back.GetHeight(), static_cast<DWORD>(k_h));
                for (int y = 0; y < k_h; ++y)
                    for (int x = 0; x < k_w; ++x) {
                        const bool clear = alpha && t.alpha && (x + y) % 3 == 0;
                        const RGBQUAD q = back.GetPixelColor(x, k_h - 1 - y, true);
                        if (back.AlphaIsValid()) {
                            ASSERT_EQ(q.rgbReserved, clear ? 0 : 255) << x << "," << y;
                        }
                        ASSERT_EQ(top_down(back, x, y), expected(t.fidelity, colour_at(x, y))) << x << "," << y;
                    }
                if (t.alpha && alpha) {
                    EXPECT_TRUE(back.AlphaIsValid());
                }
            }
            // Saved again in its own type: the same bytes.
            CxImage again(bytes.data(), static_cast<DWORD>(bytes.size()), t.type);
            EXPECT_EQ(encoded_bytes(again, t.type), bytes);
        }
    }
}

// ---- Debian's converters as the other side ----

bool run(const std::string& command)
{
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

void write_file(const std::string& path, const Bytes& b)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// The test picture as a raw PPM or PGM, written here.
Bytes ppm(bool grey)
{
    std::string head = std::string(grey ? "P5" : "P6") + "\n" + std::to_string(k_w) + " " + std::to_string(k_h) + "\n255\n";
    Bytes b(head.begin(), head.end());
    for (int y = 0; y < k_h; ++y)
        for (int x = 0; x < k_w; ++x) {
            const COLORREF c = colour_at(x, y);
            if (grey) {
                b.push_back(static_cast<std::uint8_t>(grey_of(c)));
            } else {
                b.push_back(GetRValue(c)), b.push_back(GetGValue(c)), b.push_back(GetBValue(c));
            }
        }
    return b;
}

// Reads any netpbm file (P1 to P7), written here without our codec: the colour of each pixel.
bool read_netpbm(const std::string& path, Rgb_Image& out)
{
    const Bytes b = file_bytes(path);
    std::size_t at = 0;
    const auto token = [&]() {
        std::string t;
        while (at < b.size()) {
            if (b[at] == '#') {
                while (at < b.size() && b[at] != '\n') ++at;
            } else if (std::isspace(b[at])) {
                if (!t.empty()) break;
                ++at;
            } else {
                t += static_cast<char>(b[at++]);
            }
        }
        return t;
    };
    const std::string magic = token();
    int w = 0, h = 0, depth = 1, max = 1;
    if (magic == "P7") {
        for (std::string k = token(); k != "ENDHDR" && !k.empty(); k = token()) {
            if (k == "WIDTH") w = std::stoi(token());
            if (k == "HEIGHT") h = std::stoi(token());
            if (k == "DEPTH") depth = std::stoi(token());
            if (k == "MAXVAL") max = std::stoi(token());
            if (k == "TUPLTYPE") token();
        }
    } else {
        w = std::stoi(token()), h = std::stoi(token());
        if (magic != "P1" && magic != "P4") max = std::stoi(token());
        depth = magic == "P3" || magic == "P6" ? 3 : 1;
    }
    ++at;
    out.width = w, out.height = h;
    out.rgb.clear();
    const bool plain = magic == "P1" || magic == "P2" || magic == "P3";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int s[4] = {0, 0, 0, 0};
            for (int c = 0; c < depth; ++c) {
                if (magic == "P4") {
                    s[c] = (b.at(at + static_cast<std::size_t>(y) * ((w + 7) / 8) + x / 8) >> (7 - x % 8)) & 1;
                } else if (plain) {
                    s[c] = std::stoi(token());
                } else {
                    s[c] = b.at(at++);
                }
            }
            const bool bits = magic == "P1" || magic == "P4" || (magic == "P7" && max == 1);
            const auto v = [&](int k) { return static_cast<std::uint8_t>(bits ? (magic == "P7" ? s[k] * 255 : (s[k] ? 0 : 255)) : s[k] * 255 / max); };
            if (depth >= 3)
                out.rgb.push_back(v(0)), out.rgb.push_back(v(1)), out.rgb.push_back(v(2));
            else
                out.rgb.push_back(v(0)), out.rgb.push_back(v(0)), out.rgb.push_back(v(0));
        }
    return w > 0 && h > 0;
}

struct Oracle {
    DWORD type;
    const char* ext;
    Fidelity fidelity;
    const char* to_netpbm;    // our file (%in) to a netpbm file (%out)
    const char* from_netpbm;  // a netpbm file of the picture (%in, ppm or pgm) to the type (%out)
    bool grey_source;
};

const Oracle k_oracles[] = {
    {CXIMAGE_FORMAT_TGA, "tga", Fidelity::exact, "tgatoppm %in > %out", "ppmtotga -rgb %in > %out", false},
    {CXIMAGE_FORMAT_TGA, "tga", Fidelity::exact, "tgatoppm %in > %out", "ppmtotga -rgb -norle %in > %out", false},
    {CXIMAGE_FORMAT_PCX, "pcx", Fidelity::exact, "pcxtoppm %in > %out", "ppmtopcx -24bit %in > %out", false},
    {CXIMAGE_FORMAT_PCX, "pcx", Fidelity::exact, "pcxtoppm %in > %out", "ppmtopcx -8bit %in > %out", false},
    {CXIMAGE_FORMAT_RAS, "ras", Fidelity::exact, "rasttopnm %in > %out", "pnmtorast -standard %in > %out", false},
    {CXIMAGE_FORMAT_RAS, "ras", Fidelity::exact, "rasttopnm %in > %out", "pnmtorast -rle %in > %out", false},
    {CXIMAGE_FORMAT_WBMP, "wbmp", Fidelity::bilevel, "wbmptopbm %in > %out", "pgmtopbm -threshold %in | pbmtowbmp > %out", true},
    {CXIMAGE_FORMAT_ICO, "ico", Fidelity::exact, "winicontopam %in > %out", "pamtowinicon %in > %out", false},
    {CXIMAGE_FORMAT_PNM, "ppm", Fidelity::exact, "pnmtoplainpnm %in > %out", "pnmtoplainpnm %in > %out", false},
    {CXIMAGE_FORMAT_JP2, "jp2", Fidelity::exact, "opj_decompress -i %in -o %out.ppm >/dev/null && mv %out.ppm %out",
     "opj_compress -n 3 -i %in -o %out.jp2 >/dev/null && mv %out.jp2 %out", false},
    {CXIMAGE_FORMAT_JPC, "j2k", Fidelity::exact, "opj_decompress -i %in -o %out.ppm >/dev/null && mv %out.ppm %out",
     "opj_compress -n 3 -i %in -o %out.j2k >/dev/null && mv %out.j2k %out", false},
    {CXIMAGE_FORMAT_PGX, "pgx", Fidelity::grey,
     "opj_compress -n 3 -i %in -o %in.j2k >/dev/null && opj_decompress -i %in.j2k -o %out.pgm >/dev/null && mv %out.pgm %out",
     "opj_compress -n 3 -i %in -o %in.j2k >/dev/null && opj_decompress -i %in.j2k -o %out.pgx >/dev/null && mv %out_0.pgx %out",
     true},
};

std::string fill(std::string s, const std::string& in, const std::string& out)
{
    for (std::size_t at; (at = s.find("%in")) != std::string::npos;) s.replace(at, 3, in);
    for (std::size_t at; (at = s.find("%out")) != std::string::npos;) s.replace(at, 4, out);
    return s;
}

TEST(Image_Formats, DebiansConvertersReadWhatWeWriteAndWeReadWhatTheyWrite)
{
    Scratch_Dir dir;
    int n = 0;
    for (const Oracle& o : k_oracles) {
        SCOPED_TRACE(o.from_netpbm);
        const std::string base = dir.path() + "/" + std::to_string(n++);
        // Ours, read by theirs.
        CxImage source = picture();
        const std::string ours = base + "-ours." + o.ext, theirs_read = base + "-read.pnm";
        ASSERT_TRUE(source.Save(ours.c_str(), o.type));
        ASSERT_TRUE(run(fill(o.to_netpbm, ours, theirs_read)));
        Rgb_Image read;
        ASSERT_TRUE(read_netpbm(theirs_read, read));
        ASSERT_EQ(read.width, k_w);
        ASSERT_EQ(read.height, k_h);
        for (int y = 0; y < k_h; ++y)
            for (int x = 0; x < k_w; ++x) ASSERT_EQ(read.at(x, y), expected(o.fidelity, colour_at(x, y))) << x << "," << y;
        // Theirs, read by ours.
        const std::string source_pnm = base + (o.grey_source ? "-src.pgm" : "-src.ppm");
        write_file(source_pnm, ppm(o.grey_source));
        const std::string theirs = base + "-theirs." + o.ext;
        ASSERT_TRUE(run(fill(o.from_netpbm, source_pnm, theirs)));
        CxImage back(theirs.c_str(), o.type);
        ASSERT_TRUE(back.IsValid());
        ASSERT_EQ(back.GetWidth(), static_cast<DWORD>(k_w));
        ASSERT_EQ(back.GetHeight(), static_cast<DWORD>(k_h));
        for (int y = 0; y < k_h; ++y)
            for (int x = 0; x < k_w; ++x) {
                const COLORREF want = o.grey_source ? expected(Fidelity::grey, colour_at(x, y)) : colour_at(x, y);
                ASSERT_EQ(top_down(back, x, y), expected(o.fidelity, want)) << x << "," << y;
            }
    }
}

// ---- hostile input ----

TEST(Image_Formats, EveryCutAndMutationIsSafe)
{
    for (const Type& t : k_types) {
        SCOPED_TRACE(t.ext);
        CxImage source = picture(true);
        const Bytes bytes = encoded_bytes(source, t.type);
        for (std::size_t n = 0; n < bytes.size(); n += (t.type == CXIMAGE_FORMAT_WMF ? 7 : 1)) {
            CxImage cut(bytes.data(), static_cast<DWORD>(n), t.type);
            ASSERT_FALSE(cut.IsValid()) << "cut at " << n << " of " << bytes.size();
            // What does not decode is kept all the same.
            EXPECT_EQ(encoded_bytes(cut, t.type), Bytes(bytes.begin(), bytes.begin() + static_cast<long>(n)));
        }
        std::mt19937 rng(7);
        for (int round = 0; round < 200; ++round) {
            Bytes m = bytes;
            for (int i = 0, k = 1 + static_cast<int>(rng() % 4); i < k; ++i) m[rng() % m.size()] = static_cast<std::uint8_t>(rng());
            CxImage mutated(m.data(), static_cast<DWORD>(m.size()), t.type);
            if (mutated.IsValid()) {
                EXPECT_LE(static_cast<unsigned long long>(mutated.GetWidth()) * mutated.GetHeight(), 1ull << 28);
                (void)mutated.GetPixelColor(static_cast<long>(mutated.GetWidth()) - 1, static_cast<long>(mutated.GetHeight()) - 1);
            }
        }
    }
}

void le16_at(Bytes& b, std::size_t at, unsigned v)
{
    b[at] = static_cast<std::uint8_t>(v & 0xFF), b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void le32_put(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void be32_at(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

TEST(Image_Formats, SizesTheDataCannotFillAreRefusedBeforeTheirPixels)
{
    CxImage source = picture();
    struct Case {
        const char* what;
        DWORD type;
        Bytes bytes;
    };
    std::vector<Case> cases;
    {
        Bytes b = encoded_bytes(source, CXIMAGE_FORMAT_TGA);
        le16_at(b, 12, 60000), le16_at(b, 14, 60000);
        cases.push_back({"tga", CXIMAGE_FORMAT_TGA, b});
        b[2] = 10;  // the same claim, run-length encoded
        cases.push_back({"tga rle", CXIMAGE_FORMAT_TGA, b});
    }
    {
        Bytes b = encoded_bytes(source, CXIMAGE_FORMAT_PCX);
        le16_at(b, 8, 60000), le16_at(b, 10, 60000), le16_at(b, 66, 60000);
        cases.push_back({"pcx", CXIMAGE_FORMAT_PCX, b});
    }
    {
        Bytes b = encoded_bytes(source, CXIMAGE_FORMAT_RAS);
        be32_at(b, 4, 100000), be32_at(b, 8, 100000), be32_at(b, 20, 2);
        cases.push_back({"ras rle", CXIMAGE_FORMAT_RAS, b});
    }
    {
        const std::string s = "P6\n60000 60000\n255\n" + std::string(600, 'x');
        cases.push_back({"ppm", CXIMAGE_FORMAT_PNM, Bytes(s.begin(), s.end())});
        const std::string t = "P3\n60000 60000\n255\n" + std::string(600, '1');
        cases.push_back({"plain ppm", CXIMAGE_FORMAT_PNM, Bytes(t.begin(), t.end())});
        const std::string g = "PG ML + 8 60000 60000\n" + std::string(600, 'x');
        cases.push_back({"pgx", CXIMAGE_FORMAT_PGX, Bytes(g.begin(), g.end())});
        const Bytes w = {0, 0, 0x83, 0xD4, 0x60, 0x83, 0xD4, 0x60, 1, 2, 3};
        cases.push_back({"wbmp", CXIMAGE_FORMAT_WBMP, w});
    }
    {
        // A GIF whose screen is 19457 x 8197 and whose one frame declares as much, in a few
        // hundred bytes: no canvas before the frame's lines arrive.
        CxImage small;
        ASSERT_TRUE(small.Create(8, 8, 24));
        Bytes b = encoded_bytes(small, CXIMAGE_FORMAT_GIF);
        le16_at(b, 6, 19457), le16_at(b, 8, 8197);
        for (std::size_t i = 13; i + 9 < b.size(); ++i)
            if (b[i] == 0x2C) {  // the image descriptor
                le16_at(b, i + 5, 19457), le16_at(b, i + 7, 8197);
                break;
            }
        cases.push_back({"gif", CXIMAGE_FORMAT_GIF, b});
    }
    {
        CxImage small;
        ASSERT_TRUE(small.Create(8, 8, 24));
        Bytes b = encoded_bytes(small, CXIMAGE_FORMAT_JPG);
        for (std::size_t i = 2; i + 8 < b.size(); ++i)
            if (b[i] == 0xFF && b[i + 1] == 0xC0) {  // the frame header: height, width
                b[i + 5] = 0xFF, b[i + 6] = 0xF0, b[i + 7] = 0xFF, b[i + 8] = 0xF0;
                break;
            }
        cases.push_back({"jpeg", CXIMAGE_FORMAT_JPG, b});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        allocation_watch_start();
        CxImage image(c.bytes.data(), static_cast<DWORD>(c.bytes.size()), c.type);
        allocation_watch_stop();
        EXPECT_FALSE(image.IsValid());
        EXPECT_LT(allocation_watch_largest(), 4u << 20);
    }
}

TEST(Image_Formats, GifIsItsFirstFrameNotItsScreen)
{
    CxImage small = picture();
    Bytes b = encoded_bytes(small, CXIMAGE_FORMAT_GIF);
    le16_at(b, 6, 19457), le16_at(b, 8, 8197);  // a screen far larger than the frame
    allocation_watch_start();
    CxImage back(b.data(), static_cast<DWORD>(b.size()), CXIMAGE_FORMAT_GIF);
    allocation_watch_stop();
    ASSERT_TRUE(back.IsValid());
    EXPECT_EQ(back.GetWidth(), static_cast<DWORD>(k_w));
    EXPECT_EQ(back.GetHeight(), static_cast<DWORD>(k_h));
    EXPECT_EQ(top_down(back, 5, 6), colour_at(5, 6));
    EXPECT_LT(allocation_watch_largest(), 1u << 20);
}

TEST(Image_Formats, PixelLimitRefusesAndTheBytesStay)
{
    CxImage source = picture();
    for (DWORD type : {DWORD{CXIMAGE_FORMAT_PNG}, DWORD{CXIMAGE_FORMAT_TGA}, DWORD{CXIMAGE_FORMAT_JP2}, DWORD{CXIMAGE_FORMAT_WMF}}) {
        SCOPED_TRACE(type);
        const Bytes bytes = encoded_bytes(source, type);
        CxImage limited(bytes.data(), static_cast<DWORD>(bytes.size()), type, k_w * k_h - 1);
        EXPECT_FALSE(limited.IsValid());
        EXPECT_EQ(limited.GetDecodeResult(), CxImage::Decode_Result::over_limit);
        EXPECT_EQ(encoded_bytes(limited, type), bytes);
        EXPECT_EQ(encoded_bytes(limited, CXIMAGE_FORMAT_UNKNOWN), bytes);
        EXPECT_TRUE(encoded_bytes(limited, CXIMAGE_FORMAT_BMP).empty());  // no pixels to write otherwise
        CxImage enough(bytes.data(), static_cast<DWORD>(bytes.size()), type, k_w * k_h);
        EXPECT_TRUE(enough.IsValid());
        EXPECT_EQ(enough.GetDecodeResult(), CxImage::Decode_Result::decoded);
    }
    const Bytes junk = {1, 2, 3, 4, 5, 6, 7, 8};
    CxImage none(junk.data(), static_cast<DWORD>(junk.size()), CXIMAGE_FORMAT_TGA);
    EXPECT_EQ(none.GetDecodeResult(), CxImage::Decode_Result::not_decoded);
    EXPECT_EQ(encoded_bytes(none, CXIMAGE_FORMAT_TGA), junk);
}

// An icon of 24-bit pixels carries its transparency in the mask after them: rows bottom-up,
// the leftmost pixel in the high bit, a set bit transparent.
TEST(Image_Formats, IconMaskMakesItsPixelsTransparent)
{
    Bytes ico = {0, 0, 1, 0, 1, 0, 3, 2, 0, 0, 1, 0, 24, 0};
    le32_put(ico, 40 + 2 * 12 + 2 * 4), le32_put(ico, 22);
    for (std::uint32_t v : {40u, 3u, 4u}) le32_put(ico, v);  // header: twice the height, for the mask
    ico.insert(ico.end(), {1, 0, 24, 0});
    for (int i = 0; i < 6; ++i) le32_put(ico, 0);
    for (int y = 1; y >= 0; --y) {  // the colour rows, bottom-up, padded to 12 bytes
        for (int x = 0; x < 3; ++x) {
            const COLORREF c = colour_at(x + 2, y);
            ico.insert(ico.end(), {GetBValue(c), GetGValue(c), GetRValue(c)});
        }
        ico.insert(ico.end(), {0, 0, 0});
    }
    ico.insert(ico.end(), {0x20, 0, 0, 0, 0x80, 0, 0, 0});  // bottom row: x 2 clear; top row: x 0 clear
    CxImage back(ico.data(), static_cast<DWORD>(ico.size()), CXIMAGE_FORMAT_ICO);
    ASSERT_TRUE(back.IsValid());
    ASSERT_TRUE(back.AlphaIsValid());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const bool clear = (x == 0 && y == 0) || (x == 2 && y == 1);
            EXPECT_EQ(back.GetPixelColor(x, 1 - y, true).rgbReserved, clear ? 0 : 255) << x << "," << y;
            EXPECT_EQ(top_down(back, x, y), colour_at(x + 2, y)) << x << "," << y;
        }
}

// ---- JPEG 2000 files as their boxes make them ----

void be_put(Bytes& b, std::uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void box(Bytes& out, const char* type, const Bytes& body)
{
    be_put(out, static_cast<std::uint32_t>(8 + body.size()), 4);
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
}

// A JP2 file around a codestream of `components` components: its header, sRGB, and a palette
// whose entries (each of as many 8-bit columns) component 0 indexes, every column mapped.
Bytes jp2_with_palette(const Bytes& codestream, int components, const std::vector<Bytes>& entries)
{
    const auto columns = static_cast<unsigned>(entries.front().size());
    Bytes ihdr, colr, pclr, cmap, header, file = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    be_put(ihdr, k_h, 4), be_put(ihdr, k_w, 4), be_put(ihdr, static_cast<std::uint32_t>(components), 2);
    ihdr.insert(ihdr.end(), {7, 7, 0, 0});
    colr = {1, 0, 0}, be_put(colr, 16, 4);
    be_put(pclr, static_cast<std::uint32_t>(entries.size()), 2), pclr.push_back(static_cast<std::uint8_t>(columns));
    pclr.insert(pclr.end(), columns, 7);
    for (const Bytes& e : entries) pclr.insert(pclr.end(), e.begin(), e.end());
    for (unsigned c = 0; c < columns; ++c) be_put(cmap, 0, 2), cmap.push_back(1), cmap.push_back(static_cast<std::uint8_t>(c));
    box(header, "ihdr", ihdr), box(header, "colr", colr), box(header, "pclr", pclr), box(header, "cmap", cmap);
    Bytes ftyp = {'j', 'p', '2', ' ', 0, 0, 0, 0, 'j', 'p', '2', ' '};
    box(file, "ftyp", ftyp), box(file, "jp2h", header), box(file, "jp2c", codestream);
    return file;
}

// A palette turns the one component it indexes into as many as it has columns, after the
// header was read: the picture has the palette's colours, a palette of one column over a
// three-component codestream gives grey, and one of more columns than a pixel has is refused.
TEST(Image_Formats, Jp2PalettesGiveTheirColours)
{
    Scratch_Dir dir;
    // A one-component codestream of indices, from OpenJPEG's own tool.
    const std::string pgm = dir.path() + "/index.pgm", j2k = dir.path() + "/index.j2k";
    std::string head = "P5\n" + std::to_string(k_w) + " " + std::to_string(k_h) + "\n255\n";
    Bytes indices(head.begin(), head.end());
    for (int y = 0; y < k_h; ++y)
        for (int x = 0; x < k_w; ++x) indices.push_back(static_cast<std::uint8_t>((x + y) % 4));
    write_file(pgm, indices);
    ASSERT_TRUE(run("opj_compress -n 3 -i " + pgm + " -o " + j2k + " >/dev/null"));
    const Bytes grey_stream = file_bytes(j2k);
    const std::vector<Bytes> colours = {{255, 0, 0}, {0, 200, 0}, {10, 20, 250}, {90, 90, 90}};
    const Bytes coloured = jp2_with_palette(grey_stream, 1, colours);
    CxImage back(coloured.data(), static_cast<DWORD>(coloured.size()), CXIMAGE_FORMAT_JP2);
    ASSERT_TRUE(back.IsValid());
    for (int y = 0; y < k_h; ++y)
        for (int x = 0; x < k_w; ++x) {
            const Bytes& c = colours[static_cast<std::size_t>((x + y) % 4)];
            ASSERT_EQ(top_down(back, x, y), RGB(c[0], c[1], c[2])) << x << "," << y;
        }

    // Three components, one palette column: only the column is left, as grey.
    CxImage source = picture();
    std::vector<Bytes> ramp;
    for (int i = 0; i < 256; ++i) ramp.push_back({static_cast<std::uint8_t>(255 - i)});
    const Bytes single = jp2_with_palette(encoded_bytes(source, CXIMAGE_FORMAT_JPC), 3, ramp);
    CxImage grey(single.data(), static_cast<DWORD>(single.size()), CXIMAGE_FORMAT_JP2);
    ASSERT_TRUE(grey.IsValid());
    for (int y = 0; y < k_h; ++y)
        for (int x = 0; x < k_w; ++x) {
            const auto v = static_cast<BYTE>(255 - GetRValue(colour_at(x, y)));
            ASSERT_EQ(top_down(grey, x, y), RGB(v, v, v)) << x << "," << y;
        }

    const Bytes wide = jp2_with_palette(grey_stream, 1, std::vector<Bytes>(4, Bytes(5, 60)));
    CxImage refused(wide.data(), static_cast<DWORD>(wide.size()), CXIMAGE_FORMAT_JP2);
    EXPECT_FALSE(refused.IsValid());
    EXPECT_EQ(encoded_bytes(refused, CXIMAGE_FORMAT_JP2), wide);
}

// Type 11 names ".j2k" files, which hold bare codestreams, and type 12 ".jpc" ones: each
// type reads either form, and keeps its bytes.
TEST(Image_Formats, JpegTwoThousandTypesReadBothForms)
{
    CxImage source = picture();
    const Bytes file = encoded_bytes(source, CXIMAGE_FORMAT_JP2), stream = encoded_bytes(source, CXIMAGE_FORMAT_JPC);
    for (const DWORD type : {DWORD{CXIMAGE_FORMAT_JP2}, DWORD{CXIMAGE_FORMAT_JPC}})
        for (const Bytes* bytes : {&file, &stream}) {
            CxImage back(bytes->data(), static_cast<DWORD>(bytes->size()), type);
            ASSERT_TRUE(back.IsValid()) << type;
            EXPECT_EQ(top_down(back, 7, 5), colour_at(7, 5));
            EXPECT_EQ(encoded_bytes(back, type), *bytes);
        }
}

// Decoders that gather a frame's indices or unpack runs before the pixels ask the limit
// first: an image past it costs none of that memory.
TEST(Image_Formats, PixelLimitIsAskedBeforeAnyBufferOfTheImageSize)
{
    CxImage plain;
    ASSERT_TRUE(plain.Create(2000, 2000, 24));
    const Bytes gif = encoded_bytes(plain, CXIMAGE_FORMAT_GIF);
    // A Sun raster of 2000 x 2000 grey pixels in runs of 256 bytes.
    Bytes ras;
    for (std::uint32_t v : {0x59A66A95u, 2000u, 2000u, 8u, 0u, 2u, 0u, 0u}) be_put(ras, v, 4);
    for (int i = 0; i < 2000 * 2000 / 256; ++i) ras.insert(ras.end(), {0x80, 0xFF, 0x40});
    for (const auto& [type, bytes] : {std::pair{DWORD{CXIMAGE_FORMAT_GIF}, &gif}, std::pair{DWORD{CXIMAGE_FORMAT_RAS}, static_cast<const Bytes*>(&ras)}}) {
        SCOPED_TRACE(type);
        ASSERT_LT(bytes->size(), 100000u);
        allocation_watch_start();
        CxImage limited(bytes->data(), static_cast<DWORD>(bytes->size()), type, 1000);
        allocation_watch_stop();
        EXPECT_EQ(limited.GetDecodeResult(), CxImage::Decode_Result::over_limit);
        EXPECT_LT(allocation_watch_largest(), 2 * bytes->size() + 4096);
        CxImage whole(bytes->data(), static_cast<DWORD>(bytes->size()), type);
        EXPECT_TRUE(whole.IsValid());
    }
}

TEST(Image_Formats, SignaturesNameTheirType)
{
    CxImage source = picture();
    for (DWORD type : {5u, 8u, 10u, 11u, 12u, 13u, 14u, 15u}) {
        const Bytes bytes = encoded_bytes(source, type);
        CxImage sniffed(bytes.data(), static_cast<DWORD>(bytes.size()), CXIMAGE_FORMAT_UNKNOWN);
        EXPECT_TRUE(sniffed.IsValid()) << type;
        EXPECT_EQ(sniffed.GetType(), type);
    }
}

}  // namespace
