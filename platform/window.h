#pragma once

// Windows. There is no desktop: a window is an off-screen object with a client area of pixels
// that BitBlt copies into, and a record of what has been invalidated. A host or test creates
// windows with the layer's own calls below; the kernel uses the usual calls on them.

#include "platform/platform_api.h"
#include "platform/win_types.h"

// A window DC draws on the window's client area; GetDC(NULL) gives a DC of the screen.
// Either is given back with ReleaseDC (1 when released, 0 otherwise).
PLATFORM_API HDC GetDC(HWND hwnd);
PLATFORM_API int ReleaseDC(HWND hwnd, HDC hdc);
// (0, 0, client width, client height).
PLATFORM_API BOOL GetClientRect(HWND hwnd, RECT* rect);
// Adds the rectangle (the whole client area when rect is NULL) to the window's invalid region.
PLATFORM_API BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);

// Client coordinates of a screen point and back, through the window's screen origin.
PLATFORM_API BOOL ScreenToClient(HWND hwnd, POINT* point);
PLATFORM_API BOOL ClientToScreen(HWND hwnd, POINT* point);

// An off-screen window whose client area has the given size and the screen's bit depth,
// painted white. NULL when the size is not positive or too large.
PLATFORM_API HWND platform_create_window(int width, int height);
PLATFORM_API BOOL platform_destroy_window(HWND hwnd);
// Gives the client area a new size (painted white) and invalidates all of it with erase.
PLATFORM_API BOOL platform_resize_window(HWND hwnd, int width, int height);
// The bounding rectangle of what was invalidated since the last call, and whether an erase was
// asked for; clears the record. FALSE when nothing is invalid.
PLATFORM_API BOOL platform_take_invalid_rect(HWND hwnd, RECT* rect, BOOL* erase);
// Where the client area's top-left corner lies on the screen; (0, 0) for a new window.
PLATFORM_API BOOL platform_set_window_origin(HWND hwnd, int x, int y);
