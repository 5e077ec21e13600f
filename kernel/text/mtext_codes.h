#pragma once

// The reading of a multi-line text's format string, piece by piece: the one reading that the
// entity lays its runs out by and that exporters translate into other formats. Every code
// gives a piece, also one that changes nothing (a colour out of range, a height cut short), so
// that a reader knows where the text is cut into runs.
//
// Pieces point into the string read: they live as long as it does, unchanged.

#include <string_view>
#include <vector>

#include "kernel/drakmere_api.h"

struct DRAKMERE_API MB_Mtext_Code {
    enum Kind : unsigned char {
        Text,            // ordinary characters, part of the current run (text)
        Literal,         // the character after a backslash, taken as itself (text)
        Unicode_Escape,  // the backslash of "\U+" or "\u+", kept in the run; the rest follows as Text
        Spaces,          // a run of spaces, a run of its own (text)
        Double_Byte,     // a double-byte character, a run of its own (text: its bytes, one when cut short)
        Group_Open,      // "{"
        Group_Close,     // "}": colour, font and height return to the text's own
        Alignment,       // "\A" up to and with its ";" (text: the whole code), no effect on the runs
        Colour,          // "\Cn;": index 0..255, or -1 when the code changes nothing
        Font,            // "\F" or "\f": text the name, empty for the text's own font; code the whole code
        Height,          // "\Hh;" or "\Hhx": value, relative for "x"
        Underline,       // "\L", no effect on the runs
        Paragraph,       // "\P"
    };
    Kind kind = Text;
    std::string_view text;
    // Font: the code as written, from its backslash to its ";".
    std::string_view code;
    int index = -1;
    double value = 0.0;
    bool relative = false;
    // Font and Height: false for a code cut short by the end of the string, which changes
    // nothing.
    bool complete = true;
};

// The pieces of the string in order.
DRAKMERE_API std::vector<MB_Mtext_Code> mb_mtext_codes(std::string_view s);
