#pragma once

// The clipboard: one slot inside the process that holds a bitmap. Opening it, emptying it and
// filling it follow the desktop API; nothing leaves the process.

#include "platform/platform_api.h"
#include "platform/win_types.h"

constexpr UINT CF_BITMAP = 2;

// Opens the clipboard for owner (a live window, or NULL). FALSE while it is open already or for
// a bad window.
PLATFORM_API BOOL OpenClipboard(HWND owner);
PLATFORM_API BOOL CloseClipboard();
// Deletes what the slot holds. FALSE unless the clipboard is open.
PLATFORM_API BOOL EmptyClipboard();
// Puts a bitmap (CF_BITMAP) in the slot, in place of what it held, and takes it over: from now
// on the clipboard deletes it, and DeleteObject on it fails. Returns data; NULL unless the
// clipboard is open, the format is CF_BITMAP and data is a live bitmap.
PLATFORM_API HANDLE SetClipboardData(UINT format, HANDLE data);

// The bitmap the slot holds, or NULL; it still belongs to the clipboard.
PLATFORM_API HBITMAP platform_clipboard_bitmap();
