#pragma once

// The conversion road's text explosion: every single-line and multi-line text of the
// drawing's entity list becomes what its display list shows, so that the export needs no
// fonts. Its glyph outline runs become chains (MB_Lines) in the text's colour; the areas
// enclosed by a filled (TrueType) text's outlines become one "_SOLID" hatch, its boundaries
// the minimal loops of the outline segments; then the text is deleted. A multi-line text is
// exploded run by run, each in its run's colour. Stroke-font texts (SHX) keep their strokes
// as chains only: a filled "O" would be a disc. A text that shows no outline run stays a text.
// Texts inside blocks and aligned texts are left as they are.

class MB_Operation;

// Needs the operation's drawing laid out (build_draw). Runs with undo recording paused, so
// the replaced texts are destroyed at once. Returns the number of texts replaced.
int explode_texts(MB_Operation* operation);
