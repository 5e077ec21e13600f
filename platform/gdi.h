#pragma once

// Bitmaps and device contexts: DIB sections whose memory the caller writes directly, memory
// device contexts that bitmaps are selected into, and the block transfer between them.
// A null, stale or wrong-kind handle makes every call fail with 0 / FALSE / NULL.

#include "platform/platform_api.h"
#include "platform/win_types.h"

// A bitmap whose pixel memory is handed out in *bits: 8 bits per pixel (colour table of
// biClrUsed entries, 0 meaning 256), 16 (BI_RGB: 5-5-5; BI_BITFIELDS: the masks after the
// header, 5-6-5 as a rule), 24 or 32. Rows are bottom-up for a positive biHeight, top-down for
// a negative one; each row is ((width * bpp + 31) / 32) * 4 bytes. NULL (and *bits NULL) when
// the header is not supported or the memory would be too large. The memory starts zeroed.
PLATFORM_API HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* bmi, UINT usage, void** bits, HANDLE section,
                                      DWORD offset);
// A memory DC of the same device as hdc (the screen when hdc is NULL), holding the 1 x 1
// monochrome default bitmap until another is selected.
PLATFORM_API HDC CreateCompatibleDC(HDC hdc);
// A bitmap in the format of what hdc draws on: the selected bitmap's format for a memory DC
// (so monochrome while it still holds its default bitmap), the screen's for the others.
PLATFORM_API HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// Selects a bitmap (memory DCs only; a bitmap can be in one DC at a time), pen, brush or font
// and returns the object it replaces; NULL on failure.
PLATFORM_API HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
PLATFORM_API HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
PLATFORM_API DWORD GetObjectType(HGDIOBJ obj);
// Deletes a memory DC; the objects selected into it are released, not deleted.
PLATFORM_API BOOL DeleteDC(HDC hdc);
// Deletes a bitmap, pen, brush or font; FALSE while it is selected into a DC. Stock objects
// are never deleted (TRUE).
PLATFORM_API BOOL DeleteObject(HGDIOBJ obj);
// BITSPIXEL, PLANES, LOGPIXELSX and LOGPIXELSY; 0 for others.
PLATFORM_API int GetDeviceCaps(HDC hdc, int index);
// Copies a rectangle (SRCCOPY only), converting between pixel formats; the parts outside
// either surface are left out.
PLATFORM_API BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop);
// Draws the source rectangle (xs, ys, ws, hs) of a packed DIB (the header with its colour table
// or masks at bmi, the rows at bits) stretched onto (xd, yd, wd, hd), each target pixel
// taking the source pixel its centre falls in; a negative size mirrors. ys counts from the
// bottom row of a bottom-up DIB, as GDI counts it. Uncompressed DIBs of 1 to 32 bits with
// DIB_RGB_COLORS; SRCCOPY, SRCAND, SRCPAINT and SRCINVERT. The number of source rows, 0 on
// failure. The sizes of the memory come from the header, as the caller promises.
PLATFORM_API int StretchDIBits(HDC hdc, int xd, int yd, int wd, int hd, int xs, int ys, int ws, int hs,
                               const void* bits, const BITMAPINFO* bmi, UINT usage, DWORD rop);

// Saves the DC's state (pen, brush, font, position, modes, colours, alignment, clip; not the
// bitmap) on its stack and returns its level (1 for the first), 0 on failure. The saved
// objects stay selected, so they cannot be deleted while saved.
PLATFORM_API int SaveDC(HDC hdc);
// Restores the state saved at level (a negative level counts back from the latest: -1 is the
// latest) and drops it and every later one. FALSE for a level the stack does not hold.
PLATFORM_API BOOL RestoreDC(HDC hdc, int level);

// Clip regions are rectangles here. Region results as GDI reports them.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int RGN_AND = 1;
constexpr int RGN_COPY = 5;
// A rectangular region (the rectangle's corners in any order); a GDI object for DeleteObject.
PLATFORM_API HRGN CreateRectRgn(int left, int top, int right, int bottom);
// The DC's clip becomes a copy of the region; NULL removes the clip. The region's type, or
// ERROR for a bad DC or region.
PLATFORM_API int SelectClipRgn(HDC hdc, HRGN region);
// Narrows the clip to its intersection with the rectangle (right and bottom edges excluded).
PLATFORM_API int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
// The clip rectangle, or the whole surface when the DC has no clip; the region type.
PLATFORM_API int GetClipBox(HDC hdc, RECT* box);

// Sets the bit depth of the screen (8, 16, 24 or 32; 32 at start). GetDC(NULL) and windows
// created afterwards use it. FALSE for other depths.
PLATFORM_API BOOL platform_set_screen_depth(int bpp);
