#include "platform/snapshot.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/gdi_p.h"

using namespace platform;

namespace {

const Surface* surface_of(HANDLE h)
{
    Object* o = find_any(h);
    if (!o) return nullptr;
    switch (o->kind) {
    case Kind::window: return &static_cast<Window*>(o)->client;
    case Kind::bitmap: return &static_cast<Bitmap*>(o)->surface;
    case Kind::dc: return dc_surface(*static_cast<Dc*>(o));
    default: return nullptr;
    }
}

struct File_Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// libpng reports errors by longjmp; everything that needs cleanup lives outside this function.
bool write_png(std::FILE* f, const Surface& s, std::vector<png_byte>& row)
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
    png_set_IHDR(png, info, static_cast<png_uint_32>(s.width), static_cast<png_uint_32>(s.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const COLORREF c = s.get_pixel(x, y);
            row[3 * static_cast<std::size_t>(x)] = GetRValue(c);
            row[3 * static_cast<std::size_t>(x) + 1] = GetGValue(c);
            row[3 * static_cast<std::size_t>(x) + 2] = GetBValue(c);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

BOOL platform_save_png(HANDLE h, const char* path)
{
    const Surface* s = surface_of(h);
    if (!s || !path) return FALSE;
    std::vector<png_byte> row(3 * static_cast<std::size_t>(s->width));
    std::unique_ptr<std::FILE, File_Closer> f(std::fopen(path, "wb"));
    if (!f) return FALSE;
    bool ok = write_png(f.get(), *s, row);
    ok = std::fclose(f.release()) == 0 && ok;
    if (!ok) std::remove(path);
    return ok ? TRUE : FALSE;
}

BOOL platform_read_pixel(HANDLE h, int x, int y, COLORREF* colour)
{
    const Surface* s = surface_of(h);
    if (!s || !colour || !s->contains(x, y)) return FALSE;
    *colour = s->get_pixel(x, y);
    return TRUE;
}
