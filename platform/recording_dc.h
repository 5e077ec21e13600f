#pragma once

// A device context that logs every call made on it, with its arguments and the pen, brush and
// raster operation in effect, so that tests can check what a piece of code drew where the
// pixels are not the point. With a backing bitmap it also draws into it.

#include <string>
#include <vector>

#include "platform/gdi_draw.h"
#include "platform/platform_api.h"
#include "platform/win_types.h"

struct Platform_Call {
    std::string name;              // the call's name, e.g. "Polyline"
    std::vector<long long> args;   // its integer arguments in order; points as x, y pairs
    LOGPEN pen{};                  // the pen selected when the call was made
    LOGBRUSH brush{};              // the brush selected when the call was made
    int rop2 = 0;
    std::string text;              // the bytes of a text call (TextOutA), as given
};

// A memory DC that records; it draws into backing when that is a bitmap (which it then holds
// selected, as SelectObject would) and draws nothing when backing is NULL. Deleted with DeleteDC.
PLATFORM_API HDC platform_create_recording_dc(HBITMAP backing);
// The calls recorded so far, oldest first; empty for a DC that does not record.
PLATFORM_API std::vector<Platform_Call> platform_recorded_calls(HDC hdc);
PLATFORM_API BOOL platform_clear_recorded_calls(HDC hdc);
// While a window records, every DC that GetDC gives for it draws into its client area and logs
// its calls into one record of the window (a DC got before recording started does not). Off
// drops the record.
PLATFORM_API BOOL platform_record_window(HWND hwnd, BOOL on);
// The window's record, oldest first; empty when it does not record.
PLATFORM_API std::vector<Platform_Call> platform_window_calls(HWND hwnd);
PLATFORM_API BOOL platform_clear_window_calls(HWND hwnd);
// "Name a b c ..." for messages and tests; a text call ends with its text in double quotes.
PLATFORM_API std::string platform_call_text(const Platform_Call& call);
