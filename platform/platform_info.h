#pragma once

#include "platform/platform_api.h"

// Version of the platform layer, for hosts that want to log what they run on.
PLATFORM_API const char* platform_layer_version();
