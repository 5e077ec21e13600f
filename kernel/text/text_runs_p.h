#pragma once

// What the composite texts (arc-aligned, path-aligned, tolerance frames) share: a string cut
// into characters, runs made and released as working objects rather than drawing content,
// the style a run takes, and the rectangle of a set of runs.

#include <memory>
#include <string>
#include <vector>

#include "geometry/point.h"
#include "geometry/rect.h"
#include "kernel/text/text.h"

class MB_Drawable;
class MB_Drawing;

namespace text_runs {

using Runs = std::vector<std::unique_ptr<MB_Text>>;

// The characters of an 8-bit text: a byte below 0x80 alone, a byte from 0x80 with the byte
// after it. A lead byte at the end stands alone; nothing past the terminator is read.
std::vector<std::string> characters(const char* text);

// A run holding one piece of text at at, in the colour and on the layer of its owner; made
// with undo recording paused, since runs belong to the entity that builds them and are never
// drawing content.
std::unique_ptr<MB_Text> make_run(const Qe_Pt& at, const std::string& text, const MB_Drawable& owner);

// Deletes the runs with recording paused.
void clear(Runs& runs);

// The run takes the drawing's style of that name; without a drawing, or when the drawing
// has none of that name, the shared default style.
void take_style(MB_Text& run, MB_Drawing* drawing, const char* style_name);

// The face name of the first run's font (big font when big), the composite texts' answer to
// the font keys; null without runs or without that font.
const char* first_run_font_name(const Runs& runs, bool big);

// The union of the rectangles of the drawables; false, out unchanged, when there are none.
bool union_rect(const std::vector<MB_Drawable*>& parts, Qe_Rect& out);

// The angle brought into [0, 2π); a non-finite angle stays non-finite.
double wrap_angle(double a);

}  // namespace text_runs
