#pragma once

// The objects behind GDI handles: bitmaps, device contexts and windows, and the screen.

#include <memory>
#include <vector>

#include "platform/handle_table_p.h"
#include "platform/surface_p.h"
#include "platform/win_types.h"

struct Platform_Call;

namespace platform {

struct Dc_Drawing;

struct Bitmap : Object {
    static constexpr Kind object_kind = Kind::bitmap;
    Bitmap() : Object(Kind::bitmap) {}
    Surface surface;
    HDC selected_into = nullptr;  // a bitmap is in at most one memory DC at a time
};

enum class Dc_Type { memory, window, screen };

// The drawing state of a device context, with GDI's defaults. The drawing calls read and change
// it; SelectObject swaps the four selected objects.
struct Dc_State {
    HBITMAP bitmap = nullptr;  // memory DCs only
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    POINT position{0, 0};
    int rop2 = R2_COPYPEN;
    int bk_mode = OPAQUE;
    COLORREF bk_color = RGB(255, 255, 255);
    COLORREF text_color = RGB(0, 0, 0);
    UINT text_align = TA_LEFT | TA_TOP | TA_NOUPDATECP;
    int poly_fill_mode = ALTERNATE;
    // The clip rectangle in pixels; without one every call may write the whole surface.
    bool clipped = false;
    RECT clip{0, 0, 0, 0};
};


struct Dc : Object {
    static constexpr Kind object_kind = Kind::dc;
    Dc() : Object(Kind::dc) {}
    Dc_Type type = Dc_Type::memory;
    int device_bpp = 32;   // what GetDeviceCaps(BITSPIXEL) reports
    HWND window = nullptr; // window DCs only
    Dc_State state;
    std::shared_ptr<Dc_Drawing> drawing;  // open path and call log, made by the drawing calls
    // States kept by SaveDC, oldest first; their pen, brush and font stay selected (so they
    // cannot be deleted) until RestoreDC or the DC's end gives them back.
    std::vector<Dc_State> saved;
};

struct Window : Object {
    static constexpr Kind object_kind = Kind::window;
    Window() : Object(Kind::window) {}
    Surface client;
    POINT origin{0, 0};  // the client area's top-left corner on the screen
    // While the window records: the calls of every DC it hands out, oldest first.
    std::shared_ptr<std::vector<Platform_Call>> calls;
    // Union of the rectangles invalidated since the last time it was taken.
    bool invalid = false;
    bool erase = false;
    RECT invalid_rect{0, 0, 0, 0};
};

// The pixels a DC draws into: the selected bitmap, the window's client area or the screen.
// Null for a DC whose surface is gone.
Surface* dc_surface(Dc& dc);

// The surface's pixels narrowed by the DC's clip rectangle.
Pixel_Box drawable_box(const Dc& dc, const Surface& s);

// Puts the objects a new DC starts with into its state (the default bitmap of memory DCs; the
// drawing calls add their stock pen, brush and font here).
void install_default_objects(Dc& dc);

// Gives back the bitmap, pen, brush and font a DC holds, and those of its saved states,
// before the DC goes away.
void release_selected_objects(Dc& dc);

// The DC behind h, or null. Shared with the drawing calls of the layer.
inline Dc* find_dc(const void* h) { return find<Dc>(h); }

// Depth of the screen, used by GetDC(NULL) and windows created from now on.
int screen_depth();

}  // namespace platform
