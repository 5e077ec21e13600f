#pragma once

// The image type code of a file name's extension, as the image class numbers its formats.

#include "kernel/drakmere_api.h"

// The code of the text after the last '.', compared without regard to the case of ASCII
// letters: bmp 1, gif 2, jpg and jpeg 3, png 4, ico 5, tif and tiff 6, tga 7, pcx 8, wbmp 9,
// wmf and emf 10, jp2 and j2k 11, jpc and j2c 12, pgx 13, pnm, pgm and ppm 14, ras 15; an empty
// or other extension 0; a name without a dot (or a null name) -1. Only the first 255
// characters of the name are looked at.
DRAKMERE_API int FindImageType(const char* path);
