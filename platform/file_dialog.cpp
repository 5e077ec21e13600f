#include "platform/file_dialog.h"

#include <cstring>
#include <mutex>


namespace {

struct State {
    std::mutex mutex;
    platform_file_dialog_hook hook = nullptr;
    void* user = nullptr;
};

State& state()
{
    static State* s = new State;
    return *s;
}

BOOL run_dialog(LPOPENFILENAMEA record, BOOL open)
{
    if (!record || !record->lpstrFile || record->nMaxFile == 0) return FALSE;
    platform_file_dialog_hook hook;
    void* user;
    {
        State& s = state();
        std::lock_guard lock(s.mutex);
        hook = s.hook;
        user = s.user;
    }
    const char* answer = hook ? hook(user, open, record) : nullptr;
    if (!answer) return FALSE;
    const std::size_t n = std::strlen(answer);
    if (n >= record->nMaxFile) return FALSE;
    std::memcpy(record->lpstrFile, answer, n + 1);
    return TRUE;
}

}  // namespace

BOOL GetOpenFileNameA(LPOPENFILENAMEA record)
{
    return run_dialog(record, TRUE);
}

BOOL GetSaveFileNameA(LPOPENFILENAMEA record)
{
    return run_dialog(record, FALSE);
}

void platform_set_file_dialog_hook(platform_file_dialog_hook hook, void* user)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.hook = hook;
    s.user = hook ? user : nullptr;
}
