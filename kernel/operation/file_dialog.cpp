#include "kernel/operation/file_dialog.h"

#include "platform/file_dialog.h"
#include "platform/system.h"

namespace {

// Room in the caller's file buffer and in the dialog's other texts.
constexpr DWORD k_path_room = 260;
// The record's size as the system has always declared it.
constexpr DWORD k_record_size = 76;

}  // namespace

int ShowFileDialog(HWND owner, int open, char* file, const char* initial_folder, const char* title, const char* filter)
{
    if (!file) return 0;
    char current[k_path_room] = "";
    if (!initial_folder) {
        const DWORD n = GetCurrentDirectoryA(k_path_room, current);
        // A folder that does not fit (or cannot be found) leaves the dialog's own start.
        initial_folder = n > 0 && n < k_path_room ? current : nullptr;
    }
    OPENFILENAMEA record{};
    record.lStructSize = k_record_size;
    record.hwndOwner = owner;
    record.lpstrFilter = filter ? filter : "All Files (*.*)\0*.*\0";
    record.nFilterIndex = 0;
    record.lpstrFile = file;
    record.nMaxFile = k_path_room;
    record.nMaxFileTitle = k_path_room;
    record.lpstrInitialDir = initial_folder;
    record.lpstrTitle = title ? title : open ? "Open File" : "Save File";
    record.lpstrDefExt = "*";
    record.Flags = OFN_ENABLESIZING | (open ? 0 : OFN_OVERWRITEPROMPT);
    const BOOL chosen = open ? GetOpenFileNameA(&record) : GetSaveFileNameA(&record);
    return chosen ? 1 : 0;
}
