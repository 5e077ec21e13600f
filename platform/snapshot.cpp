#include "platform/snapshot.h"

#include <cstdio>
#include <vector>

#include "platform/gdi_p.h"
#include "platform/image_codecs_p.h"

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

}  // namespace

BOOL platform_save_png(HANDLE h, const char* path)
{
    const Surface* s = surface_of(h);
    std::vector<std::uint8_t> pixels;
    if (!s || !path || !read_surface(*s, pixels)) return FALSE;
    const Image_View view{s->width, s->height, pixels.data(), 96, 96};
    Bytes_Out bytes;
    return encode_png(view, bytes) && write_file_atomically(path, bytes) ? TRUE : FALSE;
}

BOOL platform_read_pixel(HANDLE h, int x, int y, COLORREF* colour)
{
    const Surface* s = surface_of(h);
    if (!s || !colour || !s->contains(x, y)) return FALSE;
    *colour = s->get_pixel(x, y);
    return TRUE;
}
