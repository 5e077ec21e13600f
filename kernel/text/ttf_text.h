#pragma once

// TrueType text through FreeType: a single-line text whose style's main font is a TrueType
// library is laid out here as a whole, from the font file itself, instead of glyph by glyph
// through the device's outlines. Curves are sampled at a fixed number of steps, so that the
// outlines can be filled.

#include "geometry/point.h"
#include "geometry/rect.h"
#include "kernel/drakmere_api.h"

class MB_Draw_Lines_Sets;
class MB_Text_Style;

// Lays text (8-bit, control codes decoded as the layout engine reads them) out from base with
// the style's TrueType face: one run per outline contour, in text order, closed, each
// quadratic curve in as many steps as the active settings' conic step count (1 to 64). A 64
// pixel em becomes height * 1.444 drawing units, stretched in x by the width scale; then the
// style's oblique angle, angle, vertical shift, alignment and mirrors apply as in the layout
// engine. The face is the library's file (SimSun for the faces 宋体 and 新宋体), else the
// default TrueType file. True with the node's runs replaced and rect their bounds; false when
// the face cannot be opened or no point was made, with the node's runs cleared and rect on
// the base point.
DRAKMERE_API bool ttf_string_2_ptsets(const char* text, const Qe_Pt* base, MB_Text_Style* style,
                                      MB_Draw_Lines_Sets* node, Qe_Rect* rect);

// The conic step count the TrueType outline path uses: setting 23 of the active settings,
// below 1 taken as 1 and above 64 as 64.
DRAKMERE_API int mb_ttf_conic_steps();
