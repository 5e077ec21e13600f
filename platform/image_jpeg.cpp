// JPEG through libjpeg: baseline, quality 90, JFIF density in dots per inch.

#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <memory>
#include <vector>

#include "platform/image_codecs_p.h"

namespace platform {
namespace {

struct File_Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct Error_Manager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// The library's default ends the process on an error and prints warnings; ours returns to the
// encoder and stays quiet.
[[noreturn]] void on_error(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<Error_Manager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void on_message(j_common_ptr) {}

constexpr int quality = 90;

// No object with a destructor lives in this function: errors arrive by longjmp.
bool write_jpeg(std::FILE* f, const Image_View& image, std::vector<JSAMPLE>& row)
{
    jpeg_compress_struct cinfo{};
    Error_Manager err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = on_error;
    err.base.output_message = on_message;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.write_JFIF_header = TRUE;
    cinfo.density_unit = 1;  // dots per inch
    cinfo.X_density = static_cast<UINT16>(std::clamp(image.xdpi, 1L, 65535L));
    cinfo.Y_density = static_cast<UINT16>(std::clamp(image.ydpi, 1L, 65535L));
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPROW rows[1] = {row.data()};
    for (int y = 0; y < image.height; ++y) {
        image.rgb_row(y, row.data());
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

bool encode_jpeg(const Image_View& image, const char* path)
{
    // JPEG dimensions are 16-bit.
    if (image.width <= 0 || image.height <= 0 || image.width > 65500 || image.height > 65500) return false;
    std::vector<JSAMPLE> row(3 * static_cast<std::size_t>(image.width));
    std::unique_ptr<std::FILE, File_Closer> f(std::fopen(path, "wb"));
    if (!f) return false;
    const bool ok = write_jpeg(f.get(), image, row) && std::ferror(f.get()) == 0;
    return std::fclose(f.release()) == 0 && ok;
}

}  // namespace platform
