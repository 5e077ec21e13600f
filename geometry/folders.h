#pragma once

// The folders of the installation: the kernel library's folder and its support/ and fonts/
// subfolders, and the default TrueType file. Each writes into a buffer of at least
// folder_buffer_size characters and returns false, leaving it unchanged, when the folder is
// unknown or its path does not fit.

#include <cstddef>

#include "geometry/fendral_api.h"

constexpr std::size_t folder_buffer_size = 260;

// The folder of the loaded kernel library, ending in a separator.
FENDRAL_API bool get_system_dir(char* out);
FENDRAL_API bool get_support_dir(char* out);
FENDRAL_API bool get_fonts_dir(char* out);
// simsun.ttc in the Fonts folder beside the platform's system folder.
FENDRAL_API bool get_default_ttf_fname(char* out);
