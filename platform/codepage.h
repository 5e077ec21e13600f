#pragma once

// Code-page conversion between 8-bit text and UTF-16. The ANSI code page (CP_ACP) is CP936
// (GBK) unless set otherwise; 8-bit text inside the kernel and in drawings is in it.
// A conversion whose result does not fit the output returns 0 and leaves an empty string.

#include "platform/platform_api.h"
#include "platform/win_types.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_PRECOMPOSED = 0x01;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;

// in_len -1: in is terminated and the terminator is converted too. out_len 0: returns the
// number of units needed without writing. Bytes that are not valid in the code page become
// U+FFFD, or make the call fail with MB_ERR_INVALID_CHARS. 0 on failure.
PLATFORM_API int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR in, int in_len, LPWSTR out, int out_len);
// The same in the other direction; characters the code page lacks become default_char ("?"
// when null) and set *used_default.
PLATFORM_API int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR in, int in_len, LPSTR out, int out_len,
                                     LPCSTR default_char, BOOL* used_default);

// The code page CP_ACP stands for; FALSE when iconv does not know it.
PLATFORM_API BOOL platform_set_ansi_code_page(UINT code_page);
PLATFORM_API UINT GetACP();

// ANSI text to UTF-8, for everything shown to a person. Returns the length written, or 0
// (and an empty string) when it does not fit.
PLATFORM_API int platform_ansi_to_utf8(LPCSTR in, LPSTR out, int out_len);
// ANSI text for a terminal: in the character set of the locale (LC_CTYPE as the program set
// it), or in UTF-8 when the locale names none beyond ASCII (the "C" locale). What the
// terminal's set lacks becomes '?'. Returns the length written, or 0 (and an empty string)
// when it does not fit.
PLATFORM_API int platform_ansi_to_terminal(LPCSTR in, LPSTR out, int out_len);
// Text from the terminal or the file system (a path the user typed) in the ANSI code page, to
// go into a message: read in the same character set; what the code page lacks becomes '?'.
PLATFORM_API int platform_terminal_to_ansi(LPCSTR in, LPSTR out, int out_len);
