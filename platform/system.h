#pragma once

// System services: loaded modules and their files, the system and Windows folders, the clock,
// the version and the language.
//
// Folders come from the environment, with Linux defaults:
//   PLATFORM_WINDOWS_DIR  the Windows folder (default "/usr/share", so that its fonts/ subfolder
//                         is the system fonts tree)
//   PLATFORM_SYSTEM_DIR   the system folder (default: the Windows folder + "/system32")
//   PLATFORM_KERNEL_DIR   the kernel's folder, in place of the folder of the loaded kernel library

#include "platform/platform_api.h"
#include "platform/win_types.h"

// A loaded shared library found by file name: "Drakmere", "Drakmere.dll" and "libDrakmere.so"
// all name libDrakmere.so. NULL names the program itself. NULL when nothing loaded matches.
PLATFORM_API HMODULE GetModuleHandleA(LPCSTR name);
// The full path of a module. Returns its length; when the buffer is too small the path is cut,
// terminated, and size is returned. 0 for a bad handle.
PLATFORM_API DWORD GetModuleFileNameA(HMODULE module, LPSTR out, DWORD size);

// The kernel's folder, ending in '/': PLATFORM_KERNEL_DIR when set, else the folder of the loaded
// kernel library. Returns the length; 0 (and an empty string) when there is none or it does not fit.
PLATFORM_API DWORD platform_get_kernel_folder(LPSTR out, DWORD size);

// The folders without a trailing separator. Return the length written, or, when the buffer is
// too small, the size needed including the terminator (nothing written).
PLATFORM_API UINT GetSystemDirectoryA(LPSTR out, UINT size);
PLATFORM_API UINT GetWindowsDirectoryA(LPSTR out, UINT size);

// The process's current folder (getcwd), without a trailing separator. Returns the length
// written, or, when the buffer is too small, the size needed including the terminator (nothing
// written); 0 when it cannot be found.
PLATFORM_API DWORD GetCurrentDirectoryA(DWORD size, LPSTR out);

// Coordinated universal time, from the real clock unless frozen.
PLATFORM_API void GetSystemTime(LPSYSTEMTIME out);
// Freezes the clock at *t (the day of the week is computed), or lets it run again with NULL.
PLATFORM_API void platform_freeze_time(const SYSTEMTIME* t);

// Reports an NT-family 5.1 system. FALSE when dwOSVersionInfoSize is not sizeof(OSVERSIONINFOA).
PLATFORM_API BOOL GetVersionExA(LPOSVERSIONINFOA info);

// Simplified Chinese (0x0804), matching the ANSI code page, unless a test set another.
PLATFORM_API LANGID GetSystemDefaultLangID();
