#pragma once

// The one way the kernel turns a path it built into a file on Linux. Backslashes become '/',
// and a component that does not exist as written is looked up again without regard to case,
// so paths built with upper-cased names or backslashes still find their files.

#include <cstdio>

#include "platform/platform_api.h"
#include "platform/win_types.h"

// Writes the resolved path. Components that match nothing are kept as written, so a file that
// is about to be created resolves too. FALSE (and an empty string) when it does not fit.
PLATFORM_API BOOL platform_resolve_path(LPCSTR path, LPSTR out, DWORD size);
// fopen through the resolver; the text-mode letter 't' is dropped (files are written as given,
// line ends included).
PLATFORM_API std::FILE* platform_fopen(LPCSTR path, LPCSTR mode);
