#pragma once

// The family name of a TrueType font named by file name, read from its name table.

#include <cstddef>

#include "geometry/fendral_api.h"

// Capacity of a face name (the face-name field of a logical font): what a caller that passes no
// size must provide.
constexpr std::size_t ttf_face_name_size = 32;

// Reads the family name of the font file the platform finds for file_name (platform_ttf_file:
// the fonts folder first), of its first face when the file is a collection: the record in the
// system's language when there is one, else the English one, converted to the ANSI code page and
// cut at a character boundary to fit out_size bytes with the terminator. False, out unchanged,
// when no file is found or opens, it is not a well-formed font, or it holds neither name.
FENDRAL_API bool get_ttf_name_by_file(const char* file_name, char* out, std::size_t out_size = ttf_face_name_size);
