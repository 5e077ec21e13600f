#pragma once

// The base of the mouse tools that an operation routes its window's input to. An operation
// owns its tools and deletes them through this base.

#include "kernel/drakmere_api.h"

class DRAKMERE_API MB_Mouse_Tool {
public:
    MB_Mouse_Tool() = default;
    MB_Mouse_Tool(const MB_Mouse_Tool&) = delete;
    MB_Mouse_Tool& operator=(const MB_Mouse_Tool&) = delete;
    virtual ~MB_Mouse_Tool();
};
