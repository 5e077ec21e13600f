#pragma once

// The text layout engine: one line of 8-bit text and a text style become glyph polylines
// placed in the drawing, stored as the point runs of a lines-set display node with their
// bounding rectangle. It is the one place where the text control codes are read:
//
//   a byte >= 0x80 and the next   a double-byte code, drawn by the big font
//   %%% %%c %%d %%p               '%', diameter 8709, degree 176, plus-minus 177
//   %% and any other character    code 0
//   \M+nXXXX                      the hexadecimal code XXXX, by the big font when there is one
//   \U+XXXX                       the UTF-16 unit XXXX in the ANSI code page
//   \S+                           code 0 (the '+' follows as an ordinary character)
//
// A backslash sequence is one only when '+' stands two places after the backslash; any
// other backslash, and one with a letter other than M, S or U, is an ordinary character.
// A code cut short by the end of the text draws nothing and ends the walk.
//
// Each code is drawn by its library's char_2_ptlist, which places it at the pen and moves
// the pen on; the engine then slants, scales, rotates, shifts, aligns and mirrors the whole
// text.

#include <string>

#include "geometry/point.h"
#include "geometry/rect.h"
#include "geometry/void_list.h"
#include "kernel/drakmere_api.h"

class MB_Draw_Lines_Sets;
class MB_Font_Library;
class MB_Text_Style;

// Lays text out from base with the style. True when at least one point was produced: the
// node's runs are replaced (one per glyph polyline, in text order) and rect is their
// bounding rectangle. False, with node and rect untouched, otherwise (also without a main
// font, node or rect).
DRAKMERE_API bool string_2_ptsets(const char* text, const Qe_Pt& base, MB_Text_Style* style,
                                  MB_Draw_Lines_Sets* node, Qe_Rect* rect);

// The walk for a TrueType main font: every code goes to font, "\S+" draws a backslash and
// the "S+" follow as ordinary characters. Appends the glyph polylines (Qe_Pt_List*, owned
// by the caller) to out and moves pen. True.
DRAKMERE_API bool ttf_string_2_ptlist(const char* text, Qe_Pt& pen, MB_Text_Style* style, MB_Font_Library* font,
                                      Qe_Void_List& out);

// Lays text out to fill the frame p0, p1, p2, p3 (p0 the start of the base line, p1 its
// end, p3 above p0): the glyphs, walked at the height |p3 - p0|, are stretched to the
// frame's length and height and turned along p0 -> p1. A glyph box without width or height
// keeps scale 1 on that axis. Result as for string_2_ptsets.
DRAKMERE_API bool string_2_ptsets_by_bound(const char* text, const Qe_Pt* frame, MB_Text_Style* style,
                                           MB_Draw_Lines_Sets* node, Qe_Rect* rect);

// The text as UTF-16 with its codes decoded, for walks that take Unicode characters (the
// TrueType outline path): %%d, %%p, %%c and %%% give U+00B0, U+00B1, U+2205 and '%', any
// other %% code nothing; \U+XXXX gives the unit, \M+nXXXX the character of the double-byte
// code XXXX; double-byte codes and single bytes go through the ANSI code page; "\S+" and
// any other backslash stay a backslash. A code cut short ends the text.
DRAKMERE_API std::u16string mb_text_to_utf16(const char* text);
