#pragma once

// Message boxes shown while a Box_Catcher lives, instead of the default hook's; each is
// answered with OK.

#include <string>
#include <vector>

#include "platform/message_box.h"

struct Box_Catcher {
    struct Box {
        std::string text, caption;
        UINT type;
    };
    std::vector<Box> boxes;
    Box_Catcher() { platform_set_message_box_hook(&hook, this); }
    ~Box_Catcher() { platform_set_message_box_hook(nullptr, nullptr); }
    Box_Catcher(const Box_Catcher&) = delete;
    Box_Catcher& operator=(const Box_Catcher&) = delete;
    static int hook(void* user, HWND, LPCSTR text, LPCSTR caption, UINT type)
    {
        static_cast<Box_Catcher*>(user)->boxes.push_back({text ? text : "", caption ? caption : "", type});
        return IDOK;
    }
};
