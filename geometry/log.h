#pragma once

// The diagnostic log "jxb.log" in the current folder. Each entry is a separator line, stamped
// with the UTC time when asked, and then the three texts on one line; lines end in CR LF.

#include "geometry/fendral_api.h"

class Qe_Pt;

// Appends an entry; null texts count as empty. A log that cannot be opened is skipped.
FENDRAL_API void message_out(const char* a, const char* b, const char* c, bool stamp);
// The same with the point written as "x:%.4f  y:%.4f  z:%.4f" in place of the second text.
FENDRAL_API void message_out(const char* a, const Qe_Pt& p, const char* c, bool stamp);
