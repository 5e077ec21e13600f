#pragma once

// The flat creation functions: the plain-argument door through which outside code (the
// import library, hosts) makes the drawing's entities.

#include "kernel/drakmere_api.h"

class MB_Lines;
class MB_Polyline;
class Qe_Pt_List;

// A new open polyline of n all-zero vertices (none for n ≤ 0; at most 65,535), fit type 0
// and global width 0. It is not added to any drawing: the caller owns it.
DRAKMERE_API MB_Polyline* api_mb_create_polyline(int n);

// The chain's vertices := the list's points, in list order (not recorded for undo). A null
// chain becomes a new MB_Lines that the caller owns, in no list and without display nodes.
// False, with nothing made or changed, for an empty list.
[[nodiscard]] DRAKMERE_API bool api_mb_make_lines(MB_Lines*& lines, Qe_Pt_List& points);
