#include "geometry/messages.h"

#include <string.h>

#include <cstdio>
#include <cstring>

#include "geometry/number_text.h"
#include "platform/message_box.h"

namespace {

// 16 characters and 25 dots.
char s_error_store[last_error_msg_capacity + 1] = "No error msg !!!.........................";
static_assert(sizeof("No error msg !!!.........................") == last_error_msg_capacity + 1);

constexpr const char* k_error_caption = "Tavimor Error Message";

void show(const char* text)
{
    MessageBoxA(nullptr, text, k_error_caption, MB_OK);
}

}  // namespace

char* g_last_error_msg = s_error_store;

void message_box(const char* text, double value, const char*)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, "%s%s", text ? text : "", qe_fixed_text(value, 4).c_str());
    show(buf);
}

void message_box(const char* text, int value, const char*)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, "%s%d", text ? text : "", value);
    show(buf);
}

void set_last_error_msg(const char* text)
{
    if (!text) return;
    const std::size_t n = strnlen(text, last_error_msg_capacity);
    std::memcpy(s_error_store, text, n);
    s_error_store[n] = '\0';
}

void SET_ERROR(const char* text) { set_last_error_msg(text); }

bool get_last_error_msg(char* out)
{
    const std::size_t n = strnlen(s_error_store, last_error_msg_capacity);
    if (n < 2 || !out) return false;
    std::memcpy(out, s_error_store, n);
    out[n] = '\0';
    return true;
}

std::string error_text(int error)
{
    // Not strerror: its words follow the locale, and messages are in the ANSI code page.
    const char* text = ::strerrordesc_np(error);
    std::string s = text ? text : "error " + std::to_string(error);
    // "No space left on device" reads "no space left on device" after a colon.
    if (s.size() > 1 && s[0] >= 'A' && s[0] <= 'Z' && s[1] >= 'a' && s[1] <= 'z') s[0] = static_cast<char>(s[0] - 'A' + 'a');
    return s;
}
