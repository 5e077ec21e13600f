#pragma once

// The raster image class: an image held as 32-bit pixels (blue, green, red, alpha), made from a
// bitmap or decoded from a file or memory, drawn into device contexts and saved in the formats
// below. PNG, JPEG, GIF, TIFF and JPEG 2000 go through their Debian libraries; BMP, icons,
// Targa, PCX, WBMP, PNM, PGX and Sun raster are our own code; metafiles (WMF, EMF) are drawn
// by the layer's metafile player, and an image is written as a WMF of one stretched DIB. Failures are results: nothing throws; bytes that do not decode give an image
// without pixels (IsValid false).
//
// Pixel coordinates of the pixel calls count rows from the bottom, as the system's callers
// expect of this class: (0, 0) is the bottom-left pixel. DrawLine alone counts rows from the
// top, as its callers map the world with y growing downwards.
//
// An image decoded from bytes keeps them: Encode and Save in that same type hand them back
// unchanged until the pixels change, so an image is never re-compressed (a JPEG never loses
// more, a GIF is never quantised again) and a file saved, loaded and saved stays the same.

#include <cstdint>
#include <vector>

#include "platform/platform_api.h"
#include "platform/win_types.h"

// Image types, numbered as the kernel and its callers number them. Every named type is read
// and written; type 0 reads whatever the bytes' signature names.
enum : DWORD {
    CXIMAGE_FORMAT_UNKNOWN = 0,
    CXIMAGE_FORMAT_BMP = 1,
    CXIMAGE_FORMAT_GIF = 2,
    CXIMAGE_FORMAT_JPG = 3,
    CXIMAGE_FORMAT_PNG = 4,
    CXIMAGE_FORMAT_ICO = 5,
    CXIMAGE_FORMAT_TIF = 6,
    CXIMAGE_FORMAT_TGA = 7,
    CXIMAGE_FORMAT_PCX = 8,
    CXIMAGE_FORMAT_WBMP = 9,
    CXIMAGE_FORMAT_WMF = 10,
    CXIMAGE_FORMAT_JP2 = 11,
    CXIMAGE_FORMAT_JPC = 12,
    CXIMAGE_FORMAT_PGX = 13,
    CXIMAGE_FORMAT_PNM = 14,
    CXIMAGE_FORMAT_RAS = 15,
};

// Largest image held, in bytes of 32-bit pixels; Create and the decoders refuse anything larger.
constexpr unsigned long long CXIMAGE_MAX_MEMORY = 1ULL << 30;

class PLATFORM_API CxImage {
public:
    explicit CxImage(DWORD image_type = CXIMAGE_FORMAT_UNKNOWN);
    // Decodes size bytes in the format of image_type; CXIMAGE_FORMAT_UNKNOWN takes the format
    // from the bytes' signature. Sizes are bounded (no image past 1 GiB of pixels, none larger
    // than its data can fill); bytes that do not decode, a null buffer or a type without a
    // decoder give an image without pixels, which still keeps the bytes (see Encode).
    CxImage(const BYTE* buffer, DWORD size, DWORD image_type);
    // The same, taking at most max_pixels pixels: a larger image is refused (over_limit).
    CxImage(const BYTE* buffer, DWORD size, DWORD image_type, unsigned long long max_pixels);
    // Reads a file (through the path resolver) and decodes it as above.
    CxImage(const char* path, DWORD image_type);
    CxImage(const char* path, DWORD image_type, unsigned long long max_pixels);
    // A deep copy: the pixels when copy_pixels (else an empty image of the same type), the
    // opacity when copy_alpha (else the copy is opaque), the transparent colour and the
    // resolution. This class has no selection: copy_selection is not used.
    CxImage(const CxImage& source, bool copy_pixels, bool copy_selection, bool copy_alpha);
    CxImage(const CxImage& source) : CxImage(source, true, true, true) {}
    CxImage& operator=(const CxImage& source);
    CxImage(CxImage&&) noexcept = default;
    CxImage& operator=(CxImage&&) noexcept = default;
    ~CxImage();

    // Makes a w x h image of opaque black pixels; false, leaving the image as it was, for a
    // size of 0 or one too large to hold. The bit depth is not used (pixels are 32-bit).
    bool Create(DWORD width, DWORD height, DWORD bits_per_pixel, DWORD image_type = CXIMAGE_FORMAT_UNKNOWN);
    // Copies the pixels of a bitmap of any depth the layer supports (its colours, opaque).
    // The palette argument is not used. false, leaving the image as it was, for a bad handle or
    // an image too large to hold.
    bool CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette = nullptr);
    // Replaces the image with the decoded bytes; false, leaving an image without pixels, when
    // they do not decode. GetDecodeResult tells why.
    bool Decode(const BYTE* buffer, DWORD size, DWORD image_type);
    bool Decode(const BYTE* buffer, DWORD size, DWORD image_type, unsigned long long max_pixels);

    // What the last decoding met: pixels, bytes that are not an image of the type (or no
    // decoding yet), an image past the pixel limit, or memory that ran out.
    enum class Decode_Result { decoded, not_decoded, over_limit, out_of_memory };
    Decode_Result GetDecodeResult() const { return m_decoded; }
    // Bytes kept from decoding, whether or not they gave pixels; 0 when none.
    DWORD GetEncodedSize() const { return static_cast<DWORD>(m_encoded.size()); }
    // Releases the pixels; the image is then empty.
    bool Destroy();

    bool IsValid() const { return !m_pixels.empty(); }
    // The pixel memory (4 bytes a pixel: blue, green, red, alpha; rows from the top), or null
    // when the image has no pixels. Callers test it to learn whether Create found the memory.
    const void* GetDIB() const { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    DWORD GetWidth() const { return static_cast<DWORD>(m_width); }
    DWORD GetHeight() const { return static_cast<DWORD>(m_height); }
    DWORD GetType() const { return m_type; }

    // Resolution in dots per inch, written into the files that have a place for it (all but GIF).
    // Values below 1 are taken as 1.
    void SetXDPI(long dpi);
    void SetYDPI(long dpi);
    long GetXDPI() const { return m_xdpi; }
    long GetYDPI() const { return m_ydpi; }

    // Encodes the image in the format of image_type into a buffer allocated here, which the
    // caller releases with FreeMemory; size receives its length. The bytes the image was
    // decoded from come back unchanged while the pixels are unchanged, when image_type is
    // their type or CXIMAGE_FORMAT_UNKNOWN, also when they gave no pixels. false, with buffer
    // and size unchanged, for an empty image, a type without an encoder or when encoding fails.
    bool Encode(BYTE*& buffer, long& size, DWORD image_type);
    static void FreeMemory(void* buffer);

    // Writes the image to path (through the path resolver) in the format of image_type. The
    // file is written beside its final name and renamed into place, so a failure never leaves
    // a partly written file and an existing file is only replaced by a complete one. false for
    // an empty image, a type that cannot be written or when writing fails.
    bool Save(const char* path, DWORD image_type);

    // Pixel access, rows counted from the bottom. Outside the image: index 0, colour black.
    // This class holds no palette: the index of every pixel is 0.
    long GetPixelIndex(long x, long y) const;
    // The colour, with the opacity in rgbReserved when get_alpha (else 0).
    RGBQUAD GetPixelColor(long x, long y, bool get_alpha = true) const;
    // Sets a pixel's colour, and its opacity from rgbReserved when set_alpha and the image has
    // an alpha channel. Nothing outside the image.
    void SetPixelColor(long x, long y, RGBQUAD colour, bool set_alpha = false);

    // A one-pixel line from (x1, y1) to (x2, y2), both ends drawn, in the colour (red in the
    // low byte; the opacity stays). Note the order: both x, then both y. Rows count from the
    // top. The pixels are those a Bresenham walk from the first end visits, a step that falls
    // half-way taking the pixel further on; those outside the image are left out, and the
    // walk only visits the part inside, however far away the ends are.
    void DrawLine(int x1, int x2, int y1, int y2, COLORREF colour);

    // The transparent colour: with an index of 0 or more, pixels of exactly that colour (red,
    // green and blue) are not drawn; -1 switches it off (the default).
    void SetTransIndex(long index) { m_trans_index = index < 0 ? -1 : index; }
    long GetTransIndex() const { return m_trans_index; }
    void SetTransColor(RGBQUAD colour) { m_trans_colour = colour; }
    RGBQUAD GetTransColor() const { return m_trans_colour; }

    // The alpha channel: when valid, each pixel's opacity blends it over what is drawn below.
    bool AlphaIsValid() const { return m_alpha; }
    // Makes the channel, every pixel opaque; false for an empty image.
    bool AlphaCreate();
    // Sets the opacity of every pixel (only while the channel is valid).
    void AlphaSet(BYTE level);
    void AlphaDelete();

    // Rotates by angle degrees counter-clockwise (as seen on the screen) about the image's
    // centre. The canvas grows to hold the whole turned image; pixels it gains are transparent
    // (the alpha channel is created for them). Quarter turns move pixels exactly. With out
    // null the image turns in place, else the result goes into out and this image stays.
    // false for an empty image or an angle that is not finite.
    bool Rotate(float angle, CxImage* out = nullptr);

    // Stretches the image onto what the DC draws on: its top-left corner at (x, y), cx x cy
    // pixels (the image's own size for a cx or cy below 1), leaving out what lies outside clip
    // when it is given. Each target pixel takes the nearest image pixel; pixels of the
    // transparent colour are skipped and, with an alpha channel, each pixel is blended over the
    // target by its opacity. smooth is not used. Returns 1, or 0 for an empty image or a bad DC.
    long Draw(HDC hdc, long x = 0, long y = 0, long cx = -1, long cy = -1, RECT* clip = nullptr, bool smooth = false);
    long Draw(HDC hdc, const RECT& rect, RECT* clip = nullptr, bool smooth = false);

private:
    // The pixels changed: the kept encoded bytes no longer describe them.
    void pixels_changed() { std::vector<std::uint8_t>().swap(m_encoded); }
    // Row y from the top.
    std::uint8_t* row(int y) { return m_pixels.data() + static_cast<std::size_t>(y) * m_width * 4; }
    const std::uint8_t* pixel_at(long x, long y) const;
    bool rotate_into(double degrees, CxImage& out) const;

    DWORD m_type;
    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint8_t> m_pixels;  // m_width * 4 bytes per row, top row first
    long m_xdpi = 96;
    long m_ydpi = 96;
    bool m_alpha = false;  // the fourth byte of each pixel is its opacity; 255 otherwise
    long m_trans_index = -1;
    RGBQUAD m_trans_colour{0, 0, 0, 0};
    // The bytes this image was decoded from, and their type, until the pixels change.
    std::vector<std::uint8_t> m_encoded;
    DWORD m_encoded_type = CXIMAGE_FORMAT_UNKNOWN;
    Decode_Result m_decoded = Decode_Result::not_decoded;
};
