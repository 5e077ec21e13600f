#pragma once

// A multi-line text's format string in MTEXT's own codes, read as the kernel reads it
// (mb_mtext_codes): paragraphs (\P), colours (\C), fonts (\F, \f, as written), heights (\H,
// always absolute), alignment (\A) and underlining (\L) keep their codes; the kernel's "}",
// which returns colour, font and height to the text's own whatever came before, closes every
// group open; a colour, font or height set outside a group opens one, so that the text's own
// state is always that of the outermost level. Backslash codes the kernel takes as their
// character are kept where MTEXT reads them as a code of its own (stacking \S, overline \O,
// strike-through \K, tracking \T, width \W, oblique \Q, ...), those that read an argument up
// to a ";" only when it is there and holds no brace or backslash, and written as the character
// elsewhere; braces and backslashes taken literally are escaped, a caret is written "^ ", and
// characters beyond ASCII (double-byte characters of the ANSI code page) become \U+XXXX. A
// font or alignment code whose argument holds a brace or a backslash is left out.

#include <string>
#include <string_view>

// own_font: the file of the text's own font, for a font code that returns to it; height: the
// text's own height, the start of relative heights.
std::string dxf_mtext_content(std::string_view kernel_string, std::string_view own_font, double height);

// A tolerance frame's string as TOLERANCE's, whose codes are the kernel's ("%%v" between
// cells, "{\Fgdt;x}" for a symbol): rows separated by "^J" instead of line feeds, a caret
// written "^ ", characters beyond ASCII as \U+XXXX.
std::string dxf_tolerance_content(std::string_view kernel_string);
