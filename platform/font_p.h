#pragma once

// The object behind a font handle: what CreateFontA was given and the font file it resolved to.

#include <string>

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

}  // namespace platform
