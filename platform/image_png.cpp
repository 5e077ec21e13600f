// PNG through libpng: 8-bit RGB with the resolution in a pHYs chunk.

#include <png.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/image_codecs_p.h"

namespace platform {
namespace {

struct File_Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// libpng reports errors by longjmp: everything with a destructor lives in the caller.
bool write_png(std::FILE* f, const Image_View& image, std::vector<png_byte>& row)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
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
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, static_cast<png_uint_32>(std::lround(image.xdpi / 0.0254)),
                 static_cast<png_uint_32>(std::lround(image.ydpi / 0.0254)), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        image.rgb_row(y, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool encode_png(const Image_View& image, const char* path)
{
    if (image.width <= 0 || image.height <= 0) return false;
    std::vector<png_byte> row(3 * static_cast<std::size_t>(image.width));
    std::unique_ptr<std::FILE, File_Closer> f(std::fopen(path, "wb"));
    if (!f) return false;
    const bool ok = write_png(f.get(), image, row);
    return std::fclose(f.release()) == 0 && ok;
}

}  // namespace platform
