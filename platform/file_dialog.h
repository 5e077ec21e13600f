#pragma once

// The common file dialogs. There is no dialog to show: every GetOpenFileNameA and
// GetSaveFileNameA goes to one process-wide hook that answers with a path or cancels. Without a
// hook every dialog is cancelled. Tests install a hook (platform/test_hooks.h) to answer and to
// check the record the caller filled.

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
