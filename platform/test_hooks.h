#pragma once

// Overrides of what the system reports, for tests that need another system version or
// language. Hosts have no use for them; the umbrella headers leave this one out.

#include "platform/file_dialog.h"
#include "platform/platform_api.h"
#include "platform/system.h"

// Replaces what GetVersionExA reports; NULL restores the default.
PLATFORM_API void platform_set_version(const OSVERSIONINFOA* info);
// Replaces the language GetSystemDefaultLangID reports.
PLATFORM_API void platform_set_language_id(LANGID id);

// Answers the file dialogs: it sees the record the caller filled (open TRUE for the open
// dialog, FALSE for the save dialog) and returns the chosen path, which must stay valid until
// the call returns, or NULL to cancel. NULL uninstalls it: every dialog is then cancelled.
using platform_file_dialog_hook = LPCSTR (*)(void* user, BOOL open, const OPENFILENAMEA* record);
PLATFORM_API void platform_set_file_dialog_hook(platform_file_dialog_hook hook, void* user);
