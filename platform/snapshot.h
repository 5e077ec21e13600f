#pragma once

// Looking at pixels from outside: for tests, and for a person who wants to see what was drawn.

#include "platform/platform_api.h"
#include "platform/win_types.h"

// Writes the client area of a window, a bitmap, or what a DC draws on, as an 8-bit RGB PNG
// file. FALSE for a bad handle or when the file cannot be written.
PLATFORM_API BOOL platform_save_png(HANDLE window_bitmap_or_dc, const char* path);
// The colour of one pixel (x right, y down from the top-left corner) of a window, bitmap or DC.
// FALSE for a bad handle or a pixel outside.
PLATFORM_API BOOL platform_read_pixel(HANDLE window_bitmap_or_dc, int x, int y, COLORREF* colour);
