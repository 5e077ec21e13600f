#pragma once

// Message boxes. Every MessageBoxA goes to one process-wide hook. The default hook never blocks:
// it records the box, prints it on stderr in the terminal's character set (UTF-8 unless the
// locale names another) and answers with the default button. Tests
// install their own hook to script answers and check texts.

#include "platform/platform_api.h"
#include "platform/win_types.h"

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_DEFBUTTON1 = 0x000;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

PLATFORM_API int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// A hook receives what MessageBoxA received (texts in the ANSI code page) and returns the
// button pressed.
using platform_message_box_hook = int (*)(void* user, HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// Installs a hook (NULL reinstalls the default one).
PLATFORM_API void platform_set_message_box_hook(platform_message_box_hook hook, void* user);
// The button the default hook answers for a box of this type: the one MB_DEFBUTTONn names.
PLATFORM_API int platform_message_box_default_button(UINT type);

// What the default hook has recorded: the number of boxes so far, and the texts of the last one.
PLATFORM_API long platform_message_box_count();
PLATFORM_API BOOL platform_last_message_box(LPSTR text, DWORD text_size, LPSTR caption, DWORD caption_size);
