#pragma once

// The common file dialog for hosts.

#include "kernel/drakmere_api.h"
#include "platform/win_types.h"

// Shows the open dialog (open non-zero) or the save dialog, which asks before replacing a
// file. file must hold 260 characters; its text is the name the dialog starts with. The
// dialog starts in initial_folder, else the current folder; the title defaults to "Open File"
// or "Save File", the filter (description and pattern pairs, ending in an empty text) to
// "All Files (*.*)" for "*.*". Returns 1 when a file was chosen, its path then in file; 0 for
// a null file buffer, a cancelled dialog or a dialog that failed.
DRAKMERE_API int ShowFileDialog(HWND owner, int open, char* file, const char* initial_folder, const char* title,
                                const char* filter);
