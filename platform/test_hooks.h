#pragma once

// Overrides of what the system reports, for tests that need another system version or
// language. Hosts have no use for them; the umbrella headers leave this one out.

#include "platform/platform_api.h"
#include "platform/system.h"

// Replaces what GetVersionExA reports; NULL restores the default.
PLATFORM_API void platform_set_version(const OSVERSIONINFOA* info);
// Replaces the language GetSystemDefaultLangID reports.
PLATFORM_API void platform_set_language_id(LANGID id);
