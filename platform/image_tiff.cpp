// TIFF through libtiff: 8-bit RGB, LZW-compressed strips, resolution in dots per inch.

#include <tiffio.h>

#include <vector>

#include "platform/image_codecs_p.h"

namespace platform {

bool encode_tiff(const Image_View& image, const char* path)
{
    if (image.width <= 0 || image.height <= 0) return false;
    TIFF* tif = TIFFOpen(path, "w");
    if (!tif) return false;
    const auto w = static_cast<std::uint32_t>(image.width);
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w) && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, image.height) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW) &&
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0)) &&
              TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
              TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<double>(image.xdpi)) &&
              TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<double>(image.ydpi));
    std::vector<std::uint8_t> row(3 * static_cast<std::size_t>(image.width));
    for (int y = 0; ok && y < image.height; ++y) {
        image.rgb_row(y, row.data());
        ok = TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) == 1;
    }
    ok = ok && TIFFFlush(tif) == 1;
    TIFFClose(tif);
    return ok;
}

}  // namespace platform
