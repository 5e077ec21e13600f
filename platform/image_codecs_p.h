#pragma once

// The encoders behind CxImage::Save, one per file format, and the conversion of a surface into
// the image's pixel layout. Each encoder writes a new file at path from 32-bit pixels (blue,
// green, red, alpha; rows from the top) and returns false when it cannot write it all; the
// caller removes what a failed encoder left.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/surface_p.h"

namespace platform {

struct Image_View {
    int width = 0;
    int height = 0;
    const std::uint8_t* pixels = nullptr;  // width * 4 bytes per row
    long xdpi = 96;
    long ydpi = 96;

    const std::uint8_t* row(int y) const { return pixels + static_cast<std::size_t>(y) * width * 4; }
    // One row as red, green, blue triples into out (width * 3 bytes).
    void rgb_row(int y, std::uint8_t* out) const;
};

// Largest image held, in bytes of 32-bit pixels.
constexpr std::size_t max_image_bytes = std::size_t{1} << 30;

// The colours of every pixel of s, opaque. false when the image would pass max_image_bytes or
// memory runs out.
bool read_surface(const Surface& s, std::vector<std::uint8_t>& pixels);

bool encode_bmp(const Image_View& image, const char* path);
bool encode_png(const Image_View& image, const char* path);
bool encode_jpeg(const Image_View& image, const char* path);
bool encode_gif(const Image_View& image, const char* path);
bool encode_tiff(const Image_View& image, const char* path);

}  // namespace platform
