#pragma once

// Files written under a temporary name and renamed into place once complete. They are listed
// process-wide, so that a process that ends early (a signal, Exit while a conversion writes)
// removes them first with platform_remove_temp_files; from then on none is made or put in
// place, so a writer that runs on cannot leave one behind.

#include "platform/platform_api.h"
#include "platform/win_types.h"

// mkstemp on pattern (ending in "XXXXXX", which is replaced): the file is created with mode
// 0600 and listed. Its descriptor; -1 with errno set when it cannot be made (ECANCELED once
// platform_remove_temp_files has run).
PLATFORM_API int platform_make_temp_file(LPSTR pattern);
// Removes a listed file and drops it from the list.
PLATFORM_API void platform_discard_temp_file(LPCSTR temp);
// Puts temps[i] in place of finals[i], in order, as one step that platform_remove_temp_files
// does not divide. A final that exists must be a regular file (a link, folder, device, FIFO or
// socket is never replaced: errno EEXIST), and the new file takes its mode, and its owner and
// group where the process may set them (a set-id bit only with the owner or group it names);
// a new final gets 0666 less the umask. Returns how
// many were put in place: count when all were, else the index of the first that could not be
// (errno says why; ECANCELED after platform_remove_temp_files), those before it staying.
PLATFORM_API int platform_commit_temp_files(const LPCSTR* temps, const LPCSTR* finals, int count);
// Removes every listed file; afterwards no temporary file is made or committed. Takes a lock:
// call it from a thread, never from a signal handler.
PLATFORM_API void platform_remove_temp_files();
