#pragma once

// The pieces that the composite texts are drawn with, for code that handles texts one run
// at a time (the text explosion, the exporters).

#include <vector>

#include "kernel/drakmere_api.h"

class MB_Line;
class MB_Object;
class MB_Text;

// The single-line runs of an arc text, a path text, a multi-line text (those that show
// something: no spaces, no line feeds) or a tolerance frame, as its last build made them, and
// a frame's lines. False, with both lists empty, for any other object.
DRAKMERE_API bool mb_text_parts(MB_Object& object, std::vector<MB_Text*>& runs, std::vector<MB_Line*>& lines);
