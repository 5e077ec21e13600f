#pragma once

// File-name helpers and the small compatibility entry points that callers still name.

#include "geometry/fendral_api.h"

// The first 6 bytes of a drawing file (its version mark, such as "AC1015") and a terminator.
// False, out unchanged, for a null path, a file that does not open, or a shorter file.
FENDRAL_API bool get_dwg_version_info(const char* path, char* out);
// True when the text after the path's last '.' equals ext, ignoring case; false without a '.'.
FENDRAL_API bool is_file_ext(const char* path, const char* ext);
// The text after the last separator ('\' or '/'), or the whole path without one. False for a
// null path.
FENDRAL_API bool get_fname_by_pathstr(const char* path, char* out);

// Stubs kept for their callers: out becomes empty, true.
FENDRAL_API bool char2unicode(char* out, char* in);
FENDRAL_API bool unicode2char(char* out, char* in);
// Changes nothing; false.
FENDRAL_API bool convert_file_ext(char* path);
// Marks the library as started; 1.
FENDRAL_API int start_basedll(char*, char*);
