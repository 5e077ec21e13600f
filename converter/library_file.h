#pragma once

// A check of a library file before it is loaded. The dynamic loader maps a library's segments
// as its headers describe them, even past the end of a file that was cut short, and the
// program then dies with SIGBUS when it first touches them; so the file is measured against
// its own headers first.

#include <string>

// True when path is an ELF shared object for this machine whose program headers and every
// loadable segment lie inside the file. Otherwise false, with why in a few words.
[[nodiscard]] bool library_file_is_whole(const char* path, std::string& why);
