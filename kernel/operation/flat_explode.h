#pragma once

// The flat text explosion functions: a laid-out text's glyph outlines as geometry that needs
// no font. Each outline run of a text becomes one chain (MB_Lines) in the colour of the
// single-line text it belongs to, built and appended to the given drawing's innermost open
// block, else to its model space; the out list receives every chain made, in order, after
// what it held, and does not own them. The texts stay; deleting them is the caller's
// business. Without an active operation, or for a null text or drawing, nothing is made and
// the result is false.

#include "kernel/drakmere_api.h"

class MB_Drawing;
class MB_Mtext;
class MB_Text;
class MB_Trace_Text;
class Qe_Void_List;

// False also for a text that was never built (it has no outlines). The short is not used.
DRAKMERE_API bool api_explode_text(MB_Text* text, short unused, MB_Drawing* drawing, Qe_Void_List& out);
// Every line of the text, in order. The short is not used.
DRAKMERE_API bool api_explode_mtext(MB_Mtext* text, short unused, MB_Drawing* drawing, Qe_Void_List& out);
// Every laid-out character of the path text, in order. The short is not used.
DRAKMERE_API bool api_explode_tracetext(MB_Trace_Text* text, short unused, MB_Drawing* drawing, Qe_Void_List& out);

// One hatch whose loops are the outline runs (of three points or more) of a built TrueType
// text, appended to the active drawing's innermost open block, else to its model space, in
// the colour of new entities of the operation's settings (long 1). A pattern of "SOLID" or "_SOLID" (any case) fills
// solid and names the pattern as written; any other pattern keeps the name "LINES" and its
// parts between semicolons, empty parts left out, become the pattern lines, with the
// pattern's angle and scale. 1 when the hatch was made; 0, making nothing, without an active
// operation, for a null text or pattern, a text in another kind of font, or one without
// outline loops. The result is not a handle.
DRAKMERE_API long api_create_hatch_by_text(MB_Text* text, char* pattern, double angle, double scale);
