#pragma once

// The raster image class: an image held as 32-bit pixels (blue, green, red, alpha; rows from
// the top), made from a bitmap, drawn into device contexts and saved in the formats below.
// BMP is written by our own code, PNG, JPEG, GIF and TIFF through their Debian libraries.
// Failures are results: nothing throws.

#include <cstdint>
#include <vector>

#include "platform/platform_api.h"
#include "platform/win_types.h"

// Image types, numbered as the kernel and its callers number them.
enum : DWORD {
    CXIMAGE_FORMAT_UNKNOWN = 0,
    CXIMAGE_FORMAT_BMP = 1,
    CXIMAGE_FORMAT_GIF = 2,
    CXIMAGE_FORMAT_JPG = 3,
    CXIMAGE_FORMAT_PNG = 4,
    CXIMAGE_FORMAT_TIF = 6,
    CXIMAGE_FORMAT_WMF = 10,
};

class PLATFORM_API CxImage {
public:
    explicit CxImage(DWORD image_type = CXIMAGE_FORMAT_UNKNOWN);

    // Copies the pixels of a bitmap of any depth the layer supports (its colours, opaque).
    // The palette argument is not used. false, leaving the image as it was, for a bad handle or
    // an image too large to hold.
    bool CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette = nullptr);
    // Releases the pixels; the image is then empty.
    bool Destroy();

    bool IsValid() const { return !m_pixels.empty(); }
    DWORD GetWidth() const { return static_cast<DWORD>(m_width); }
    DWORD GetHeight() const { return static_cast<DWORD>(m_height); }
    DWORD GetType() const { return m_type; }

    // Resolution in dots per inch, written into the files that have a place for it (all but GIF).
    // Values below 1 are taken as 1.
    void SetXDPI(long dpi);
    void SetYDPI(long dpi);
    long GetXDPI() const { return m_xdpi; }
    long GetYDPI() const { return m_ydpi; }

    // Writes the image to path (through the path resolver) in the format of image_type. The
    // file is written beside its final name and renamed into place, so a failure never leaves
    // a partly written file and an existing file is only replaced by a complete one. false for
    // an empty image, a type that cannot be written (WMF, unknown types) or when writing fails.
    bool Save(const char* path, DWORD image_type);

    // Stretches the image onto what the DC draws on: its top-left corner at (x, y), cx x cy
    // pixels (the image's own size for a cx or cy below 1), leaving out what lies outside clip
    // when it is given. Each target pixel takes the nearest image pixel; smooth is not used.
    // Returns 1, or 0 for an empty image or a bad DC.
    long Draw(HDC hdc, long x = 0, long y = 0, long cx = -1, long cy = -1, RECT* clip = nullptr,
              bool smooth = false);
    long Draw(HDC hdc, const RECT& rect, RECT* clip = nullptr, bool smooth = false);

private:
    DWORD m_type;
    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint8_t> m_pixels;  // m_width * 4 bytes per row, top row first
    long m_xdpi = 96;
    long m_ydpi = 96;
};
