#pragma once

// What the SHX and SHP libraries share: reading a font file of the fonts folder whole, and
// placing a shape glyph's strokes at the pen.

#include <cstddef>
#include <string>
#include <vector>

class Qe_Pt;
class Qe_Void_List;

// Largest font file read; the biggest real fonts are a few megabytes.
constexpr std::size_t k_max_font_file_size = std::size_t(256) << 20;

// The registry's fonts folder followed by name.
std::string mb_font_path(const char* name);
// Reads the file at path, opened read-only through the platform's path resolver. False, out
// empty, when it cannot be opened or read, or is larger than k_max_font_file_size.
[[nodiscard]] bool mb_read_font_file(const std::string& path, std::vector<unsigned char>& out);

// Hands strokes (Qe_Pt_List* in the font's design units, owned) to out, scaled so that
// design_height (1 when 0) becomes height, x also by width_factor, and placed at pen; then
// moves pen on by the glyph's advance (its end position in design units), or down by 1.2
// heights for vertical text. A glyph without strokes moves pen by one height (across, or
// down for vertical text).
void mb_place_shape_glyph(Qe_Void_List& strokes, const Qe_Pt& advance, double design_height, Qe_Void_List& out,
                          Qe_Pt& pen, double height, double width_factor, bool vertical);
