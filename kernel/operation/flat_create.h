#pragma once

// The flat creation functions: the plain-argument door through which outside code (the
// import library, hosts) makes the drawing's entities.

#include "kernel/drakmere_api.h"

class MB_Polyline;

// A new open polyline of n all-zero vertices (none for n ≤ 0; at most 65,535), fit type 0
// and global width 0. It is not added to any drawing: the caller owns it.
DRAKMERE_API MB_Polyline* api_mb_create_polyline(int n);
