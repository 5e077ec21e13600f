#pragma once

// The codecs behind CxImage, one pair per file format, and the conversion of a surface into
// the image's pixel layout. Pixels are 32-bit (blue, green, red, alpha; rows from the top).
//
// Encoders write the whole file into out and return false when they cannot (out is then
// unspecified; the caller drops it).
//
// Decoders read untrusted bytes: every size is checked against the data and against
// max_image_bytes before anything is allocated, library errors (and warnings, which the
// libraries raise for truncated or corrupt data they would otherwise patch over) end the
// decoding on one cleanup path, and false leaves out empty. A file that ends before its
// format's last record counts as truncated.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/surface_p.h"
#include "platform/ximage.h"

namespace platform {

// Largest image held, in bytes of 32-bit pixels.
constexpr std::size_t max_image_bytes = CXIMAGE_MAX_MEMORY;
// Largest encoded file read.
constexpr std::size_t max_file_bytes = std::size_t{1} << 30;

struct Image_View {
    int width = 0;
    int height = 0;
    const std::uint8_t* pixels = nullptr;  // width * 4 bytes per row
    long xdpi = 96;
    long ydpi = 96;
    bool alpha = false;  // the fourth byte of each pixel carries its opacity

    const std::uint8_t* row(int y) const { return pixels + static_cast<std::size_t>(y) * width * 4; }
    // One row as red, green, blue triples into out (width * 3 bytes).
    void rgb_row(int y, std::uint8_t* out) const;
    // One row as red, green, blue, alpha into out (width * 4 bytes).
    void rgba_row(int y, std::uint8_t* out) const;
};

// Why a decoder's allocation was refused.
enum class Refusal { none, over_limit, no_memory };

struct Decoded_Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width * 4 bytes per row; alpha 255 unless alpha
    bool alpha = false;                // the file carried opacity
    long xdpi = 96;
    long ydpi = 96;
    // Pixels allocate may give at most: the caller's budget, within max_image_bytes.
    unsigned long long max_pixels = max_image_bytes / 4;
    // Set by allocate when it refuses: a size past max_pixels, or memory that ran out.
    Refusal refusal = Refusal::none;

    // Sizes the pixels for w x h (opaque black); false, leaving the image empty, for a size
    // of 0, one past max_pixels or max_image_bytes, or when memory runs out.
    bool allocate(long long w, long long h);
    // Whether allocate would take w x h by the limits, noting the refusal when not: for a
    // decoder to ask before it takes a buffer of the image's size of its own.
    bool fits(long long w, long long h);
    // Empties the image; the limit stays.
    void clear();
    // An empty image with the same limit, for a decoder to fill before it hands it over.
    Decoded_Image fresh() const;
    // Takes the refusal of the image a decoder filled; false, for the decoder to return.
    bool failed_as(const Decoded_Image& attempt);
    std::uint8_t* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * width * 4; }
};

// A pixel of opacity a (0 to 255) over the colour under it, channel by channel, rounded.
inline std::uint8_t blend_channel(std::uint8_t src, std::uint8_t dst, unsigned a)
{
    return static_cast<std::uint8_t>((src * a + dst * (255 - a) + 127) / 255);
}


// The colours of every pixel of s, opaque. false when the image would pass max_image_bytes or
// memory runs out.
bool read_surface(const Surface& s, std::vector<std::uint8_t>& pixels);

using Bytes_Out = std::vector<std::uint8_t>;

// The whole file at path (through the path resolver), at most max bytes; false, leaving out
// unchanged, when it cannot be read or is longer.
bool read_file(const char* path, std::size_t max, Bytes_Out& out);

// Writes bytes to path (through the path resolver): under a temporary name beside it first,
// renamed into place when complete, so a failure never leaves a partly written file.
bool write_file_atomically(const char* path, const Bytes_Out& bytes);

// The grey level of a pixel (blue, green, red), for the formats that hold one channel.
inline std::uint8_t luma(const std::uint8_t* bgra)
{
    return static_cast<std::uint8_t>((bgra[2] * 299 + bgra[1] * 587 + bgra[0] * 114 + 500) / 1000);
}

bool encode_bmp(const Image_View& image, Bytes_Out& out);
bool encode_png(const Image_View& image, Bytes_Out& out);
bool encode_jpeg(const Image_View& image, Bytes_Out& out);
bool encode_gif(const Image_View& image, Bytes_Out& out);
bool encode_tiff(const Image_View& image, Bytes_Out& out);
bool encode_ico(const Image_View& image, Bytes_Out& out);
bool encode_tga(const Image_View& image, Bytes_Out& out);
bool encode_pcx(const Image_View& image, Bytes_Out& out);
bool encode_wbmp(const Image_View& image, Bytes_Out& out);
bool encode_wmf(const Image_View& image, Bytes_Out& out);
bool encode_jp2(const Image_View& image, Bytes_Out& out);
bool encode_j2k(const Image_View& image, Bytes_Out& out);
bool encode_pgx(const Image_View& image, Bytes_Out& out);
bool encode_pnm(const Image_View& image, Bytes_Out& out);
bool encode_ras(const Image_View& image, Bytes_Out& out);

bool decode_bmp(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
bool decode_png(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
bool decode_jpeg(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
bool decode_gif(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
bool decode_tiff(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
bool decode_ico(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
bool decode_tga(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
bool decode_pcx(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
bool decode_wbmp(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
// An EMF or WMF drawn at 96 dots per inch (at most 4096 pixels a side), opaque where it
// paints and transparent elsewhere.
bool decode_metafile(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
// JPEG 2000: a JP2 file (boxes) or a bare codestream.
bool decode_jp2(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
bool decode_j2k(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
bool decode_pgx(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
bool decode_pnm(const std::uint8_t* data, std::size_t size, Decoded_Image& out);
bool decode_ras(const std::uint8_t* data, std::size_t size, Decoded_Image& out);

}  // namespace platform
