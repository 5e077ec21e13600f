#pragma once

// The fixed table that the stream coder's history starts with, so that the first records
// of a stream can refer back to typical keywords, colour tables and digit strings.
//
// Two stretches of the table hold bytes this library does not know (the tail of the
// keyword text and the second colour table): they are filled with a fixed byte so that
// every later offset stays right, and marked unknown. The compressor never refers into
// them, so its streams decode with any table that agrees on the known bytes; the
// decompressor refuses a reference into them rather than produce wrong bytes.

#include <cstddef>

constexpr std::size_t k_lz_dictionary_size = 13523;
// Bytes that a compressor writing for revision 36 or below leaves out of its history.
constexpr std::size_t k_lz_dictionary_legacy_skip = 65;

// The 13,523 bytes of the table.
const unsigned char* lz_dictionary();
// Whether byte i of the table is known; false past its end.
bool lz_dictionary_known(std::size_t i);
// How many bytes from i on are known, up to the end of the table (0 past its end).
std::size_t lz_dictionary_known_run(std::size_t i);
