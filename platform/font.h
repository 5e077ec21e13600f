#pragma once

// Device fonts and text output. Fonts come from font files read with FreeType. A face name is
// looked up first among the aliases (the system's default Chinese faces and "Arial" stand for
// fonts installed with the system), then by family name among the font files of the fonts
// folder (the Windows folder's fonts/; of a family's faces the one nearest in weight, slant and
// width), and otherwise the default font is used. Bold and italic are synthesised where the
// face found is not.
// Text is 8-bit ANSI text (CP_ACP) and is drawn in one colour (no smoothing) into the pixels of
// the DC, whatever the raster operation. A null, stale or wrong-kind handle makes a call fail.

#include "platform/platform_api.h"
#include "platform/win_types.h"

constexpr int FW_DONTCARE = 0;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;

constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD GB2312_CHARSET = 134;

constexpr int LF_FACESIZE = 32;

// height > 0: height of the character cell (ascent + descent) in pixels; height < 0: height of
// the characters (the em square) in pixels; 0: a default size. width 0 keeps the face's
// proportions, otherwise the average character width in pixels. escapement: direction of the
// text in tenths of a degree, counter-clockwise from the x axis; the characters turn with it
// (orientation is taken to be the escapement). weight above 550 draws bold; italic slants.
// The precisions, quality and pitch are accepted and do not change the font chosen. A font
// is always made, even when no font file is found; TextOutA with it then fails.
PLATFORM_API HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                               DWORD underline, DWORD strike_out, DWORD charset, DWORD out_precision,
                               DWORD clip_precision, DWORD quality, DWORD pitch_and_family, LPCSTR face);

// The previous value; on failure 0xFFFFFFFF (CLR_INVALID, GDI_ERROR).
PLATFORM_API COLORREF SetTextColor(HDC hdc, COLORREF colour);
PLATFORM_API COLORREF GetTextColor(HDC hdc);
// TA_LEFT, TA_CENTER or TA_RIGHT with TA_TOP, TA_BASELINE or TA_BOTTOM, and TA_UPDATECP.
PLATFORM_API UINT SetTextAlign(HDC hdc, UINT align);
PLATFORM_API UINT GetTextAlign(HDC hdc);

constexpr UINT GDI_ERROR = 0xFFFFFFFF;

// Draws count bytes of ANSI text with the selected font (the default font when none is) so that
// the point (x, y) is where the text alignment says: the left end, centre or right end of the
// text, at the top of the character cell, on the baseline or at the bottom, all measured along
// the text's direction. With the background mode OPAQUE the character cell is first filled
// with the background colour. With TA_UPDATECP the current position is used instead of (x, y)
// and moves along the text.
PLATFORM_API BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int count);
// TextOutA for UTF-16 text (no code page between: every character the font has is drawn).
PLATFORM_API BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count);
// TextOutA whose ink (the glyphs and any underline or strike-out) goes through the DC's raster
// operation, each covered pixel once, so that drawing the same text twice in an inverting mode
// gives the pixels back. The background of OPAQUE mode is painted as TextOutA paints it.
PLATFORM_API BOOL platform_text_out_rop(HDC hdc, int x, int y, LPCSTR text, int count);
// The size of the text without rotation: its advance width and the height of the cell.
PLATFORM_API BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, SIZE* size);

// The font file a face name resolves to (see above), and the face's index in that file.
// Returns the length of the path; 0 (and an empty string) when no font file is found or the
// path does not fit.
PLATFORM_API DWORD platform_font_file(LPCSTR face, LPSTR out, DWORD size, int* face_index);

// ---- Glyph outlines ----
// The native outline of one glyph as the desktop platform hands it out: for every contour a
// TTPOLYGONHEADER (cb: bytes of the contour, header included; dwType TT_POLYGON_TYPE; the
// start point) followed by TTPOLYCURVE records (TT_PRIM_LINE: lines to each point in turn;
// TT_PRIM_QSPLINE: a quadratic B-spline from the previous point whose last point lies on the
// curve, the points between are off-curve controls with implied on-curve midpoints). All
// coordinates are 16.16 fixed values in pixels, y up, origin on the baseline at the pen. A
// contour is closed implicitly: no line back to its start point is written.

struct FIXED {
    WORD fract;
    SHORT value;
};
struct POINTFX {
    FIXED x;
    FIXED y;
};
struct TTPOLYGONHEADER {
    DWORD cb;
    DWORD dwType;
    POINTFX pfxStart;
};
struct TTPOLYCURVE {
    WORD wType;
    WORD cpfx;
    POINTFX apfx[1];
};
struct MAT2 {
    FIXED eM11;
    FIXED eM12;
    FIXED eM21;
    FIXED eM22;
};
struct GLYPHMETRICS {
    UINT gmBlackBoxX;
    UINT gmBlackBoxY;
    POINT gmptGlyphOrigin;
    SHORT gmCellIncX;
    SHORT gmCellIncY;
};
static_assert(sizeof(FIXED) == 4 && sizeof(POINTFX) == 8 && sizeof(TTPOLYGONHEADER) == 16 && sizeof(MAT2) == 16);

constexpr UINT GGO_METRICS = 0;
constexpr UINT GGO_BITMAP = 1;
constexpr UINT GGO_NATIVE = 2;
constexpr UINT GGO_BEZIER = 3;
constexpr DWORD TT_POLYGON_TYPE = 24;
constexpr WORD TT_PRIM_LINE = 1;
constexpr WORD TT_PRIM_QSPLINE = 2;
constexpr WORD TT_PRIM_CSPLINE = 3;

// The GGO_NATIVE outline of a character of the DC's font (the default font when none is
// selected), unhinted, at the size CreateFontA gave it, transformed by matrix when one is given.
// code: below 0x80 the character itself; a valid double-byte code of the ANSI code page
// (lead * 256 + trail) that character; anything else a Unicode code point. A character the face
// does not have gives the face's missing-glyph outline. With a null buffer or size 0: the number
// of bytes the outline needs. Otherwise the outline is written and its size returned. 0 for a
// glyph without contours; GDI_ERROR for a bad DC, a font without a face, a buffer too short, or
// a format other than GGO_NATIVE; the buffer and metrics are then left as they were. metrics,
// when given, receives the black box (whole pixels around the control points, at least 1 x 1),
// its upper left corner relative to the pen (y up) and the advance (through matrix). Bold and
// italic are not synthesised here and the escapement does not turn the glyph: the caller places
// and turns it. Cubic outlines (CFF fonts) come out as quadratic B-splines, two per cubic.
PLATFORM_API DWORD GetGlyphOutlineA(HDC hdc, UINT code, UINT format, GLYPHMETRICS* metrics, DWORD size,
                                    LPVOID buffer, const MAT2* matrix);

// The path of a TrueType file the kernel names by file name only ("arial.ttf", "simsun.ttc"):
// the file of that name in the fonts folder (the Windows folder's fonts/, names compared
// without regard to case), else a font file (.ttf, .ttc, .otf) of that name anywhere below the
// fonts folder or the system's fonts tree, else the installed font that stands for it
// (simsun.ttc and simhei.ttf: the default Chinese face; arial.ttf: the default Latin face).
// Folders in file_name are ignored: they name another machine's folders. Returns the length of
// the path; 0 (and an empty string) when none is found or the path does not fit size bytes.
PLATFORM_API DWORD platform_ttf_file(LPCSTR file_name, LPSTR out, DWORD size);
