#pragma once

// Metafiles and pictures.
//
// A metafile handle owns a copy of the metafile's bytes: an enhanced metafile (EMF) or a
// Windows metafile (WMF), with or without the placeable header. PlayEnhMetaFile plays its
// records onto any DC through the layer's GDI calls (the player of metafile_player_p.h).
//
// A picture is what a file of one of these kinds holds, loaded from its bytes:
// - an enhanced metafile (EMF): its size is the header's frame, in 0.01 mm;
// - a placeable Windows metafile: its size is the header's box at its units per inch;
// - a raster file the image class decodes: its pixels at 96 dpi.
// Sizes are in 0.01 mm (HIMETRIC). Raster pictures render through the image class, metafile
// pictures through the player.

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/platform_api.h"
#include "platform/win_types.h"

class CxImage;

struct METAFILEPICT {
    LONG mm;
    LONG xExt;
    LONG yExt;
    HANDLE hMF;
};

// A metafile handle holding a copy of size bytes; NULL for no bytes or more than the layer
// holds. The DC and the picture description are not used.
PLATFORM_API HENHMETAFILE SetWinMetaFileBits(UINT size, const BYTE* bits, HDC ref, const METAFILEPICT* pict);
// The bytes held: their count, copied into buffer when it is not NULL and holds them all;
// 0 for a bad handle or a buffer too small.
PLATFORM_API UINT GetEnhMetaFileBits(HENHMETAFILE emf, UINT size, BYTE* buffer);
// Plays the metafile with its frame stretched onto rect (right of left and below top; the
// other way round mirrors), drawing nothing outside rect. The DC's pen, brush, font, modes
// and clip are as before afterwards. FALSE for a bad DC or handle, bytes that are no
// metafile, a damaged record, or records that paint the picture over a few dozen times (what
// came before is drawn).
PLATFORM_API BOOL PlayEnhMetaFile(HDC hdc, HENHMETAFILE emf, const RECT* rect);
PLATFORM_API BOOL DeleteEnhMetaFile(HENHMETAFILE emf);

// Results of the picture calls.
using HRESULT = long;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005L);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003L);
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001L);

class PLATFORM_API Platform_Picture {
public:
    enum class Kind { Raster, Enhanced_Metafile, Placeable_Metafile };

    // The picture in size bytes; null when they are none of the kinds above, a header is
    // damaged (a size, a signature or a checksum that does not hold) or a size is out of range.
    static std::unique_ptr<Platform_Picture> load(const BYTE* data, std::size_t size);
    // The same from a file (through the path resolver) of at most max bytes; null when it
    // cannot be read or is longer.
    static std::unique_ptr<Platform_Picture> load_file(const char* path, std::size_t max);
    ~Platform_Picture();
    Platform_Picture(const Platform_Picture&) = delete;
    Platform_Picture& operator=(const Platform_Picture&) = delete;

    Kind kind() const { return m_kind; }
    HRESULT get_Width(LONG* width) const;
    HRESULT get_Height(LONG* height) const;
    // The picture's bytes as loaded.
    const std::vector<BYTE>& bytes() const { return m_bytes; }
    // The raster's pixels; null for a metafile.
    const CxImage* image() const { return m_image.get(); }

    // Draws the part (xsrc, ysrc, cxsrc, cysrc), in 0.01 mm from the picture's top-left,
    // stretched into the target rectangle at (x, y) of cx x cy pixels; a negative cy turns
    // the picture upside down as GDI does, with y then at its bottom edge. Nothing is drawn
    // outside the target rectangle. S_OK when drawn; E_FAIL for a bad DC, an empty rectangle
    // or a metafile whose records are damaged.
    HRESULT Render(HDC hdc, long x, long y, long cx, long cy, long xsrc, long ysrc, long cxsrc, long cysrc,
                   const RECT* bounds) const;

private:
    Platform_Picture() = default;

    Kind m_kind = Kind::Raster;
    LONG m_width = 0;
    LONG m_height = 0;
    std::vector<BYTE> m_bytes;
    std::unique_ptr<CxImage> m_image;
};
