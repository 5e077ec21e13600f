#pragma once

struct FT_Outline_;
struct FT_Matrix_;

// The object behind a font handle: what CreateFontA was given and the font file it resolved to.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/handle_table_p.h"
#include "platform/win_types.h"

namespace platform {

struct Font : Object {
    static constexpr Kind object_kind = Kind::font;
    Font() : Object(Kind::font) {}
    int height = 0;
    int width = 0;
    int escapement = 0;  // tenths of a degree
    int weight = 0;
    bool italic = false;
    bool underline = false;
    bool strike_out = false;
    std::string file;  // empty when no font file was found
    int face_index = 0;
};

// The font text is drawn with while a DC has none selected: the default face at the default
// size. A stock object, made on first use.
HFONT default_font();

// A glyph outline in the native (GGO_NATIVE) layout, and the control box of the points written.
struct Native_Outline {
    std::vector<unsigned char> bytes;
    bool empty = true;  // no point written: the box below is meaningless
    std::int64_t x_min = 0, y_min = 0, x_max = 0, y_max = 0;  // 16.16 pixels, y up
};

// Encodes a FreeType outline (26.6 pixels, y up), each point transformed by matrix (16.16) when
// one is given. False when the outline is malformed or a coordinate does not fit 16.16.
bool native_outline(const FT_Outline_& outline, const FT_Matrix_* matrix, Native_Outline& out);

}  // namespace platform
