#pragma once

// The conversion road's text explosion: every text of the drawing's entity list (single-line,
// multi-line, along an arc or a path, tolerance frames) becomes what its display list shows, so
// that the export needs no fonts. Its glyph outline runs become chains (MB_Lines) in the
// colour of their run; the areas enclosed by a filled (TrueType) text's outlines become one
// "_SOLID" hatch, its boundaries the minimal loops of the outline segments; then the text is
// deleted. Composite texts are exploded run by run. Stroke-font texts (SHX) keep their strokes
// as chains only: a filled "O" would be a disc. A text that shows no outline run stays a text.
// Texts inside blocks are left as they are. The loops of a filled text are searched glyph by
// glyph (outlines whose boxes cannot meet are searched apart), and found in the order one
// search over the whole text gives.

class MB_Operation;

// Multi-line texts, texts along arcs and paths and tolerance frames must be laid out
// (build_draw); a single-line text not laid out yet is laid out here, and lets its glyphs go
// once they are outlines. What is made is laid out only as far as its rectangle
// (build_extent): nothing draws it before the export. Runs with undo recording paused, so the
// replaced texts are destroyed at once. Returns the number of texts replaced.
int explode_texts(MB_Operation* operation);
