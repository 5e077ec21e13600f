// JPEG through libjpeg: written baseline, quality 90, JFIF density in dots per inch; read
// from grey or colour files into RGB.

#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <vector>

#include "platform/image_codecs_p.h"

namespace platform {
namespace {

struct Error_Manager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// The library's default ends the process on an error and prints warnings; ours returns to the
// caller and stays quiet.
[[noreturn]] void on_error(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<Error_Manager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void on_message(j_common_ptr) {}

// Reading treats warnings as errors: libjpeg patches a truncated or corrupt file into a grey
// picture and only warns, which would hand out pixels the file never held.
void on_read_warning(j_common_ptr cinfo, int level)
{
    if (level < 0) on_error(cinfo);
}

// A progressive file may repeat scans without end, each costing a pass over the whole image;
// real encoders write about ten.
constexpr int max_scans = 256;

void limit_scans(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > max_scans)
        on_error(cinfo);
}

constexpr int quality = 90;
constexpr std::size_t chunk = 16384;

// A destination that appends to a byte vector.
struct Vector_Destination {
    jpeg_destination_mgr base;
    Bytes_Out* out;
    std::vector<JOCTET>* buffer;
};

void init_destination(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Vector_Destination*>(cinfo->dest);
    d->base.next_output_byte = d->buffer->data();
    d->base.free_in_buffer = d->buffer->size();
}

boolean empty_output(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Vector_Destination*>(cinfo->dest);
    d->out->insert(d->out->end(), d->buffer->begin(), d->buffer->end());
    init_destination(cinfo);
    return TRUE;
}

void term_destination(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Vector_Destination*>(cinfo->dest);
    const std::size_t used = d->buffer->size() - d->base.free_in_buffer;
    d->out->insert(d->out->end(), d->buffer->begin(), d->buffer->begin() + static_cast<std::ptrdiff_t>(used));
}

// No object with a destructor lives in these functions: errors arrive by longjmp.
bool write_jpeg(Vector_Destination& dest, const Image_View& image, std::vector<JSAMPLE>& row)
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
    dest.base.init_destination = init_destination;
    dest.base.empty_output_buffer = empty_output;
    dest.base.term_destination = term_destination;
    cinfo.dest = &dest.base;
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

bool read_jpeg(const std::uint8_t* data, std::size_t size, Decoded_Image& out, std::vector<JSAMPLE>& row)
{
    jpeg_decompress_struct cinfo{};
    Error_Manager err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = on_error;
    err.base.output_message = on_message;
    err.base.emit_message = on_read_warning;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_progress_mgr progress{};
    progress.progress_monitor = limit_scans;
    cinfo.progress = &progress;
    // The library's working memory (progressive coefficients) is bounded as well.
    cinfo.mem->max_memory_to_use = static_cast<long>(max_image_bytes);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    // Every 8 x 8 block of the first scan takes at least one bit: a file too short for the
    // blocks it declares is refused before their memory is taken.
    const double blocks = std::ceil(cinfo.image_width / 8.0) * std::ceil(cinfo.image_height / 8.0);
    if (blocks > 8.0 * static_cast<double>(size)) on_error(reinterpret_cast<j_common_ptr>(&cinfo));
    if (!out.allocate(cinfo.image_width, cinfo.image_height)) on_error(reinterpret_cast<j_common_ptr>(&cinfo));
    if (cinfo.saw_JFIF_marker && cinfo.X_density > 0 && cinfo.Y_density > 0) {
        if (cinfo.density_unit == 1) {
            out.xdpi = cinfo.X_density, out.ydpi = cinfo.Y_density;
        } else if (cinfo.density_unit == 2) {
            out.xdpi = std::max(1L, static_cast<long>(cinfo.X_density * 2.54 + 0.5));
            out.ydpi = std::max(1L, static_cast<long>(cinfo.Y_density * 2.54 + 0.5));
        }
    }
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3 || cinfo.output_width != static_cast<JDIMENSION>(out.width) ||
        cinfo.output_height != static_cast<JDIMENSION>(out.height))
        on_error(reinterpret_cast<j_common_ptr>(&cinfo));
    row.resize(static_cast<std::size_t>(out.width) * 3);
    JSAMPROW rows[1] = {row.data()};
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = static_cast<int>(cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) on_error(reinterpret_cast<j_common_ptr>(&cinfo));
        std::uint8_t* p = out.row(y);
        for (int x = 0; x < out.width; ++x, p += 4) {
            p[0] = row[3 * static_cast<std::size_t>(x) + 2];
            p[1] = row[3 * static_cast<std::size_t>(x) + 1];
            p[2] = row[3 * static_cast<std::size_t>(x)];
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

bool encode_jpeg(const Image_View& image, Bytes_Out& out)
{
    // JPEG dimensions are 16-bit.
    if (image.width <= 0 || image.height <= 0 || image.width > 65500 || image.height > 65500) return false;
    std::vector<JSAMPLE> row(3 * static_cast<std::size_t>(image.width));
    std::vector<JOCTET> buffer(chunk);
    out.clear();
    Vector_Destination dest{};
    dest.out = &out;
    dest.buffer = &buffer;
    return write_jpeg(dest, image, row);
}

bool decode_jpeg(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out.clear();
    if (!data || size < 3 || data[0] != 0xFF || data[1] != 0xD8) return false;
    Decoded_Image image = out.fresh();
    std::vector<JSAMPLE> row;
    if (!read_jpeg(data, size, image, row)) return out.failed_as(image);
    out = std::move(image);
    return true;
}

}  // namespace platform
