#pragma once

// Colours for DXF: the 256-entry AutoCAD Colour Index palette, and the mapping of a kernel
// colour (a COLORREF, red in the low byte) to an index.

#include <cstdint>

// Palette entry i as 0xRRGGBB; entry 0 (ByBlock) is black and not a colour of its own.
std::uint32_t aci_palette_rgb(int index);

// The index of a kernel colour: the first palette entry (1 to 255) of exactly that colour,
// else the nearest one by squared RGB distance. White is 7 (the entry that shows white on a
// dark screen and black on paper), and so is a colour equal to the background, which the
// kernel shows in its complement.
int aci_from_colorref(std::uint32_t colorref, std::uint32_t background_colorref);

// A kernel colour as DXF writes it: its index, and its exact colour (0xRRGGBB, group 420) when
// the index shows only the nearest palette entry; -1 when the index is exact (a palette colour,
// white, or the background's contrast colour 7, which shows in the complement as the kernel
// does).
struct Dxf_Color {
    int index;
    long true_color;
};
Dxf_Color dxf_color_of(std::uint32_t colorref, std::uint32_t background_colorref);
