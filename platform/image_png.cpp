// PNG through libpng: written as 8-bit RGB (RGBA when the image carries opacity) with the
// resolution in a pHYs chunk; read from any colour type and depth, expanded to 8-bit RGBA.

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/image_codecs_p.h"

namespace platform {
namespace {

void append(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<Bytes_Out*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

void no_flush(png_structp) {}

struct Source {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

void take(png_structp png, png_bytep to, png_size_t n)
{
    auto* s = static_cast<Source*>(png_get_io_ptr(png));
    if (n > s->size - s->at) png_error(png, "truncated");
    std::memcpy(to, s->data + s->at, n);
    s->at += n;
}

// Warnings (a bad ancillary chunk) are not fatal: libpng drops the chunk.
void quiet_warning(png_structp, png_const_charp) {}
[[noreturn]] void jump_error(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// libpng reports errors by longjmp: everything with a destructor lives in the caller.
bool write_png(Bytes_Out& out, const Image_View& image, std::vector<png_byte>& row)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, jump_error, quiet_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, append, no_flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 image.alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, static_cast<png_uint_32>(std::lround(image.xdpi / 0.0254)),
                 static_cast<png_uint_32>(std::lround(image.ydpi / 0.0254)), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        if (image.alpha)
            image.rgba_row(y, row.data());
        else
            image.rgb_row(y, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// The same rule: out is the caller's.
bool read_png(Source& src, Decoded_Image& out)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, jump_error, quiet_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &src, take);
    // Ancillary chunks (text, profiles) are bounded so a small file cannot ask for much memory.
    png_set_chunk_malloc_max(png, 8u << 20);
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    const int colour = png_get_color_type(png, info);
    const bool alpha = (colour & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    // Deflate expands at most 1032 times: a file too short to hold the rows it declares is
    // refused before their memory is taken.
    const double row_bytes =
        (static_cast<double>(w) * png_get_bit_depth(png, info) * png_get_channels(png, info) + 7) / 8 + 1;
    if (row_bytes * h > 1032.0 * static_cast<double>(src.size)) png_error(png, "too short");
    if (!out.allocate(w, h)) png_error(png, "too large");
    out.alpha = alpha;
    png_uint_32 xppm = 0, yppm = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xppm, &yppm, &unit) && unit == PNG_RESOLUTION_METER) {
        out.xdpi = xppm ? std::max(1L, std::lround(xppm * 0.0254)) : 96;
        out.ydpi = yppm ? std::max(1L, std::lround(yppm * 0.0254)) : 96;
    }
    png_set_expand(png);  // palettes, low depths and tRNS to full channels
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // opaque alpha where the file has none
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(w) * 4) png_error(png, "layout");
    // Row by row into the image, pass after pass: interlaced files combine in place.
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < out.height; ++y) png_read_row(png, out.row(y), nullptr);
    png_read_end(png, nullptr);  // a file cut before its end chunk fails here
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

bool encode_png(const Image_View& image, Bytes_Out& out)
{
    if (image.width <= 0 || image.height <= 0) return false;
    std::vector<png_byte> row((image.alpha ? 4 : 3) * static_cast<std::size_t>(image.width));
    out.clear();
    return write_png(out, image, row);
}

bool decode_png(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out.clear();
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
    Source src{data, size};
    Decoded_Image image = out.fresh();
    if (!read_png(src, image)) return out.failed_as(image);
    out = std::move(image);
    return true;
}

}  // namespace platform
