#include "kernel/operation/mouse_tool.h"

MB_Mouse_Tool::~MB_Mouse_Tool() = default;
