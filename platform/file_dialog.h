#pragma once

// The common file dialogs. Every GetOpenFileNameA and GetSaveFileNameA goes to one
// process-wide hook that shows a dialog of the host's toolkit (a windowed host installs one)
// or answers otherwise, with a path or a cancel. Without a hook every dialog is cancelled.
// Tests install a hook to answer and to check the record the caller filled.

#include "platform/platform_api.h"
#include "platform/win_types.h"

constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_ENABLESIZING = 0x800000;

using LPOFNHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// The dialog's record, field by field as callers fill it. lStructSize is what the caller says
// it is; it is not checked against the size of this record.
struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;  // pairs of (description, pattern), each NUL-terminated, ending in a NUL
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;  // in: the initial name; out: the chosen path
    DWORD nMaxFile;   // room in lpstrFile, the terminator included
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCSTR lpTemplateName;
};
using LPOPENFILENAMEA = OPENFILENAMEA*;

// TRUE when the hook answered with a path, which is then in lpstrFile. FALSE, lpstrFile
// unchanged, for a null record or file buffer, a cancelled dialog, or an answer that does not
// fit in nMaxFile characters with its terminator.
PLATFORM_API BOOL GetOpenFileNameA(LPOPENFILENAMEA record);
PLATFORM_API BOOL GetSaveFileNameA(LPOPENFILENAMEA record);

// Answers the file dialogs: it sees the record the caller filled (open TRUE for the open
// dialog, FALSE for the save dialog) and returns the chosen path in the ANSI code page, which
// must stay valid until the call returns, or NULL to cancel. NULL uninstalls it: every dialog
// is then cancelled.
using platform_file_dialog_hook = LPCSTR (*)(void* user, BOOL open, const OPENFILENAMEA* record);
PLATFORM_API void platform_set_file_dialog_hook(platform_file_dialog_hook hook, void* user);
