#pragma once

// Device-independent bitmaps read where they lie: the info header, its colour table or
// channel masks, and the pixel rows. BMP files, icons, metafile records and StretchDIBits all
// hand over this layout. Uncompressed rows of 1, 4, 8, 16, 24 and 32 bits, with the core
// header (12 bytes) or an info header (40 bytes or more); channel masks for 16 and 32 bits.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win_types.h"

namespace platform {

struct Decoded_Image;

class Dib_Source {
public:
    // Reads the header at info (info_size bytes that hold it and its colour table) and the rows
    // at bits (bits_size bytes). false when the header is not one of the kinds above, a size
    // is not positive, or the table or the rows need more bytes than given.
    bool parse(const std::uint8_t* info, std::size_t info_size, const std::uint8_t* bits, std::size_t bits_size);
    // The bytes the header and its colour table or masks take, and the bytes of the rows; 0
    // when the header is not one of the kinds above. For callers that must bound a DIB before
    // they hand it over.
    static std::size_t info_bytes(const std::uint8_t* info, std::size_t available);
    static std::size_t bits_bytes(const std::uint8_t* info, std::size_t available);

    int width() const { return m_width; }
    int height() const { return m_height; }
    // Rows stored top row first (a negative height in the header).
    bool top_down() const { return m_top_down; }
    // The pixel in column x of row y counted from the top, as blue, green, red and opacity
    // (255 unless the header has an opacity mask).
    RGBQUAD at(int x, int y) const;
    bool has_alpha() const { return m_masks[3] != 0; }
    long xdpi() const { return m_xdpi; }
    long ydpi() const { return m_ydpi; }

    // Every pixel into out (sized through its allocate); false when that refuses.
    bool decode(Decoded_Image& out) const;

private:
    int m_width = 0;
    int m_height = 0;
    bool m_top_down = false;
    unsigned m_bits = 0;
    std::size_t m_stride = 0;
    const std::uint8_t* m_rows = nullptr;
    std::vector<RGBQUAD> m_palette;
    std::uint32_t m_masks[4] = {0, 0, 0, 0};
    long m_xdpi = 96;
    long m_ydpi = 96;
};

}  // namespace platform
