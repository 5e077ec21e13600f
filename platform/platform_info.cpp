#include "platform/platform_info.h"

const char* platform_layer_version() { return "0.1.0"; }
