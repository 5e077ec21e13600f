#include "platform/message_box.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace {

struct State {
    std::mutex mutex;
    platform_message_box_hook hook = nullptr;
    void* user = nullptr;
    long count = 0;
    std::string last_text;
    std::string last_caption;
};

State& state()
{
    static State* s = new State;
    return *s;
}

std::string terminal_text(LPCSTR ansi)
{
    if (!ansi) return {};
    std::vector<char> buf(4 * std::strlen(ansi) + 4);
    platform_ansi_to_terminal(ansi, buf.data(), static_cast<int>(buf.size()));
    return buf.data();
}

int default_hook(void*, HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    State& s = state();
    {
        std::lock_guard lock(s.mutex);
        ++s.count;
        s.last_text = text ? text : "";
        s.last_caption = caption ? caption : "";
    }
    const int answer = platform_message_box_default_button(type);
    std::fprintf(stderr, "[message box] %s: %s -> %d\n", terminal_text(caption).c_str(), terminal_text(text).c_str(), answer);
    return answer;
}

bool copy_out(const std::string& s, LPSTR out, DWORD size)
{
    if (!out) return true;
    if (size == 0) return false;
    const std::size_t n = s.size() < size ? s.size() : size - 1;
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
    return n == s.size();
}

}  // namespace

int platform_message_box_default_button(UINT type)
{
    static const std::vector<int> buttons[] = {
        {IDOK}, {IDOK, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL}, {IDYES, IDNO}, {IDRETRY, IDCANCEL},
    };
    const UINT kind = type & 0xF;
    const std::vector<int>& b = kind < 6 ? buttons[kind] : buttons[0];
    const std::size_t which = (type >> 8) & 0xF;
    return b[which < b.size() ? which : 0];
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    platform_message_box_hook hook;
    void* user;
    {
        State& s = state();
        std::lock_guard lock(s.mutex);
        hook = s.hook ? s.hook : default_hook;
        user = s.user;
    }
    return hook(user, owner, text, caption, type);
}

void platform_set_message_box_hook(platform_message_box_hook hook, void* user)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.hook = hook;
    s.user = hook ? user : nullptr;
}

long platform_message_box_count()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.count;
}

BOOL platform_last_message_box(LPSTR text, DWORD text_size, LPSTR caption, DWORD caption_size)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.count == 0) return FALSE;
    const bool a = copy_out(s.last_text, text, text_size);
    const bool b = copy_out(s.last_caption, caption, caption_size);
    return a && b ? TRUE : FALSE;
}
