#pragma once

// Readers of image files for tests, each written through the format's own Debian library
// (BMP by hand), so that files our code writes are checked by someone else's decoder.

#include <cstdio>
#include <jpeglib.h>
#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win_types.h"

// Pixels as read back from a file: red, green, blue per pixel, rows from the top.
struct Rgb_Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    double xdpi = 0, ydpi = 0;
    COLORREF at(int x, int y) const
    {
        const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
        return RGB(p[0], p[1], p[2]);
    }
};

inline std::vector<std::uint8_t> file_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Readers written for the test, each through the format's own library (BMP by hand).
inline bool read_png(const std::string& path, Rgb_Image& out)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    out.width = static_cast<int>(png_get_image_width(png, info));
    out.height = static_cast<int>(png_get_image_height(png, info));
    if (png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB || png_get_bit_depth(png, info) != 8) longjmp(png_jmpbuf(png), 1);
    png_uint_32 rx = 0, ry = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &rx, &ry, &unit) && unit == PNG_RESOLUTION_METER)
        out.xdpi = rx * 0.0254, out.ydpi = ry * 0.0254;
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y) png_read_row(png, &out.rgb[static_cast<std::size_t>(y) * out.width * 3], nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return true;
}

inline bool read_jpeg(const std::string& path, Rgb_Image& out)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    if (cinfo.density_unit == 1) out.xdpi = cinfo.X_density, out.ydpi = cinfo.Y_density;
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &out.rgb[static_cast<std::size_t>(cinfo.output_scanline) * out.width * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return true;
}

inline bool read_gif(const std::string& path, Rgb_Image& out)
{
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) return false;
    bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1;
    if (ok) {
        const SavedImage& img = gif->SavedImages[0];
        const ColorMapObject* map = img.ImageDesc.ColorMap ? img.ImageDesc.ColorMap : gif->SColorMap;
        out.width = img.ImageDesc.Width;
        out.height = img.ImageDesc.Height;
        ok = map != nullptr;
        for (int i = 0; ok && i < out.width * out.height; ++i) {
            const GifColorType c = map->Colors[img.RasterBits[i]];
            out.rgb.insert(out.rgb.end(), {c.Red, c.Green, c.Blue});
        }
    }
    DGifCloseFile(gif, &error);
    return ok;
}

inline bool read_tiff(const std::string& path, Rgb_Image& out)
{
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return false;
    std::uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    float rx = 0, ry = 0;
    std::uint16_t unit = 0;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &rx) && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &ry) &&
        TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &unit) && unit == RESUNIT_INCH)
        out.xdpi = rx, out.ydpi = ry;
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(w) * h);
    const bool ok = TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0) == 1;
    TIFFClose(tif);
    out.width = static_cast<int>(w);
    out.height = static_cast<int>(h);
    for (std::uint32_t v : raster)
        out.rgb.insert(out.rgb.end(), {static_cast<std::uint8_t>(TIFFGetR(v)), static_cast<std::uint8_t>(TIFFGetG(v)),
                                       static_cast<std::uint8_t>(TIFFGetB(v))});
    return ok;
}

inline std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline bool read_bmp(const std::string& path, Rgb_Image& out)
{
    const std::vector<std::uint8_t> b = file_bytes(path);
    if (b.size() < 54 || le32(b, 2) != b.size() || le32(b, 14) != 40) return false;
    const std::uint32_t offset = le32(b, 10);
    out.width = static_cast<int>(le32(b, 18));
    const auto h = static_cast<std::int32_t>(le32(b, 22));
    if (h <= 0 || (b[28] | (b[29] << 8)) != 24 || le32(b, 30) != 0) return false;
    out.height = h;
    out.xdpi = le32(b, 38) * 0.0254, out.ydpi = le32(b, 42) * 0.0254;
    const std::size_t stride = (static_cast<std::size_t>(out.width) * 3 + 3) & ~std::size_t{3};
    if (offset + stride * out.height > b.size()) return false;
    for (int y = 0; y < out.height; ++y) {
        const std::uint8_t* row = &b[offset + stride * static_cast<std::size_t>(out.height - 1 - y)];
        for (int x = 0; x < out.width; ++x) out.rgb.insert(out.rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
    }
    return true;
}
