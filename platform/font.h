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
// The size of the text without rotation: its advance width and the height of the cell.
PLATFORM_API BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, SIZE* size);

// The font file a face name resolves to (see above), and the face's index in that file.
// Returns the length of the path; 0 (and an empty string) when no font file is found or the
// path does not fit.
PLATFORM_API DWORD platform_font_file(LPCSTR face, LPSTR out, DWORD size, int* face_index);
