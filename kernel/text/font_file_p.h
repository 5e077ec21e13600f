#pragma once

// Reading a font file of the fonts folder whole, for the SHX and SHP loaders.

#include <cstddef>
#include <string>
#include <vector>

// Largest font file read; the biggest real fonts are a few megabytes.
constexpr std::size_t k_max_font_file_size = std::size_t(256) << 20;

// The registry's fonts folder followed by name.
std::string mb_font_path(const char* name);
// Reads the file at path, opened read-only through the platform's path resolver. False, out
// empty, when it cannot be opened or read, or is larger than k_max_font_file_size.
[[nodiscard]] bool mb_read_font_file(const std::string& path, std::vector<unsigned char>& out);
