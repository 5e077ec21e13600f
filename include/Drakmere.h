#pragma once

// Drakmere: the drawing kernel. A host includes this one header.

#include "Fendral.h"
#include "kernel/drakmere_api.h"
