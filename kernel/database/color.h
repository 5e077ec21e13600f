#pragma once

// Colour values and the colour attribute of the native stream. MB_RGB and MB_RGBA32 are
// plain values; MB_Color is the stream's colour record: the long colour value that the
// record carries (a GDI value 0x00BBGGRR, as entities hold it), plus an RGBA value with the
// palette index it was resolved from.

#include "kernel/database/object.h"
#include "platform/fixed_width.h"

class MB_Color_Map;

class DRAKMERE_API MB_RGB {
public:
    constexpr MB_RGB() = default;
    // The low 8 bits of each component.
    constexpr MB_RGB(int red, int green, int blue)
        : r(static_cast<mb_byte>(red)), g(static_cast<mb_byte>(green)), b(static_cast<mb_byte>(blue))
    {
    }
    // Each component times 255.99, truncated, low 8 bits (1.0 gives 255, 0.5 gives 127).
    MB_RGB(const float& red, const float& green, const float& blue);

    constexpr bool operator==(const MB_RGB& o) const { return r == o.r && g == o.g && b == o.b; }
    constexpr bool operator!=(const MB_RGB& o) const { return !(*this == o); }

    mb_byte r = 0;
    mb_byte g = 0;
    mb_byte b = 0;
};

// One word packed 0xRRGGBBAA: red most significant, alpha least.
class DRAKMERE_API MB_RGBA32 {
public:
    constexpr MB_RGBA32() = default;
    constexpr explicit MB_RGBA32(mb_ulong packed) : rgba(packed) {}
    // The low 8 bits of each component.
    constexpr MB_RGBA32(int red, int green, int blue, int alpha)
        : rgba((mb_ulong(red & 0xFF) << 24) | (mb_ulong(green & 0xFF) << 16) | (mb_ulong(blue & 0xFF) << 8) |
               mb_ulong(alpha & 0xFF))
    {
    }
    // The same scaling as MB_RGB.
    MB_RGBA32(const float& red, const float& green, const float& blue, float alpha);

    constexpr MB_RGBA32& operator=(const MB_RGB& c)
    {
        *this = MB_RGBA32(c.r, c.g, c.b, 255);
        return *this;
    }
    constexpr bool operator==(const MB_RGBA32& o) const { return rgba == o.rgba; }
    constexpr bool operator!=(const MB_RGBA32& o) const { return rgba != o.rgba; }

    constexpr int red() const { return int(rgba >> 24); }
    constexpr int green() const { return int((rgba >> 16) & 0xFF); }
    constexpr int blue() const { return int((rgba >> 8) & 0xFF); }
    constexpr int alpha() const { return int(rgba & 0xFF); }

    mb_ulong rgba = 0;
};

class DRAKMERE_API MB_Color : public MB_Attribute {
public:
    // How an RGBA value is matched to a palette entry (map_to_index). The cube index of a
    // value is 36·r6 + 6·g6 + b6 with each component taken to the level 6·c / 256.
    enum MB_Color_Map_Mode : int {
        No_Mapping = 0,
        Exact_At_Cube = 1,        // the cube index when that entry equals the value
        Cube = 2,                 // the cube index itself
        Exact_Or_Closest_Exact = 3,  // as 1, else the closest entry when it equals the value
        Exact_Or_Closest = 4,     // as 1, else the closest entry
    };

    // Opaque white, no index, no mapping.
    MB_Color();
    MB_Color(MB_RGBA32 rgba, MB_Color_Map_Mode mode);
    MB_Color(int red, int green, int blue, MB_Color_Map_Mode mode);
    MB_Color(int red, int green, int blue, int alpha, MB_Color_Map_Mode mode);
    // Entry `index` of the map; an index outside it keeps opaque white.
    MB_Color(mb_long index, const MB_Color_Map& map);
    // The record's colour value only.
    explicit MB_Color(mb_long value);
    MB_Color(const MB_Color& other);
    MB_Color& operator=(const MB_Color& other);
    ~MB_Color() override;

    int index() const { return m_index; }
    MB_RGBA32 rgba() const { return m_rgba; }
    MB_Color_Map_Mode mode() const { return m_mode; }
    // The colour value that the record carries. The constructors from an RGBA value or a
    // palette entry give the GDI form of that value; set() leaves it alone.
    mb_long value() const { return m_value; }
    void value(mb_long v) { m_value = v; }

    // No palette lookup: the index becomes -1.
    void set(MB_RGBA32 rgba, MB_Color_Map_Mode mode);
    void set(int red, int green, int blue, int alpha, MB_Color_Map_Mode mode);
    void set(int red, int green, int blue, MB_Color_Map_Mode mode);
    // The RGBA becomes entry `index` when it is one of the map's; it is kept otherwise.
    void set(mb_long index, const MB_Color_Map& map);

    // The palette index of rgba under mode, or -1.
    static int map_to_index(MB_RGBA32 rgba, MB_Color_Map_Mode mode, const MB_Color_Map& map);
    // The cube index of rgba (no offset into any palette).
    static int cube_index(MB_RGBA32 rgba);

    // Same RGBA and index; the colour value takes no part.
    bool operator==(const MB_Attribute& other) const;
    // Marks the colour changed in the file's current rendition.
    MB_Result sync(MB_File_IO& file);

    MB_ID object_id() const override { return ID_COLOR; }
    // The byte 0x03 and the colour value as a long.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result skip_operand(const MB_Opcode& opcode, MB_File_IO& file) override;
    // Makes the colour value the reader's current drawing colour.
    MB_Result process(MB_File_IO& file) override;
    static MB_Result default_process(MB_Color& color, MB_File_IO& file);

private:
    // The 'C' and 'c' records: an index into the file's current colour map.
    MB_Result resolve_index(mb_long index, MB_File_IO& file);

    mb_long m_value = 0;
    MB_RGBA32 m_rgba{255, 255, 255, 255};
    int m_index = -1;
    MB_Color_Map_Mode m_mode = No_Mapping;
    int m_reading_state = 0;  // resumable read of the "(Color" record
};

// The kernel's 256-entry colour palette, indexed by colour number, as 0xBBGGRR: ten named
// colours, 24 hues 15 degrees apart from red (each at the intensities 0xFF, 0xA6, 0x80, 0x4C
// and 0x26, pure and as a tint halfway to white), and six greys. 0 outside it.
DRAKMERE_API mb_color mb_palette_colorref(int index);
