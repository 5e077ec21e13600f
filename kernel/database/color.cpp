#include "kernel/database/color.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "kernel/database/color_map.h"

namespace {

// c × 255.99 truncated toward zero, low 8 bits; values that do not fit a 64-bit integer
// (and NaN) give 0 rather than an undefined conversion.
int scale_component(double c)
{
    const double v = std::trunc(c * 255.99);
    if (!(std::fabs(v) < 9.0e18)) return 0;
    return static_cast<int>(static_cast<long long>(v) & 0xFF);
}

mb_long gdi_value(MB_RGBA32 c)
{
    return static_cast<mb_long>(mb_ulong(c.red()) | (mb_ulong(c.green()) << 8) | (mb_ulong(c.blue()) << 16));
}

}  // namespace

MB_RGB::MB_RGB(const float& red, const float& green, const float& blue)
    : MB_RGB(scale_component(red), scale_component(green), scale_component(blue))
{
}

MB_RGBA32::MB_RGBA32(const float& red, const float& green, const float& blue, float alpha)
    : MB_RGBA32(scale_component(red), scale_component(green), scale_component(blue), scale_component(alpha))
{
}

// The value is worked out in the body: m_rgba is declared after m_value, so it is not yet
// initialised when the member initialisers run.
MB_Color::MB_Color()
{
    m_value = gdi_value(m_rgba);
}

MB_Color::MB_Color(MB_RGBA32 rgba, MB_Color_Map_Mode mode)
{
    set(rgba, mode);
    m_value = gdi_value(m_rgba);
}

MB_Color::MB_Color(int red, int green, int blue, MB_Color_Map_Mode mode) : MB_Color(MB_RGBA32(red, green, blue, 255), mode)
{
}

MB_Color::MB_Color(int red, int green, int blue, int alpha, MB_Color_Map_Mode mode)
    : MB_Color(MB_RGBA32(red, green, blue, alpha), mode)
{
}

MB_Color::MB_Color(mb_long index, const MB_Color_Map& map)
{
    set(index, map);
    m_value = gdi_value(m_rgba);
}

MB_Color::MB_Color(mb_long value) : m_value(value) {}

MB_Color::MB_Color(const MB_Color& other)
    : MB_Attribute(other),
      m_value(other.m_value),
      m_rgba(other.m_rgba),
      m_index(other.m_index),
      m_mode(other.m_mode),
      m_reading_state(other.m_reading_state)
{
}

MB_Color& MB_Color::operator=(const MB_Color& other)
{
    if (this == &other) return *this;
    MB_Attribute::operator=(other);
    m_value = other.m_value;
    m_rgba = other.m_rgba;
    m_index = other.m_index;
    m_mode = other.m_mode;
    m_reading_state = other.m_reading_state;
    return *this;
}

MB_Color::~MB_Color() = default;

void MB_Color::set(MB_RGBA32 rgba, MB_Color_Map_Mode mode)
{
    m_rgba = rgba;
    m_mode = mode;
    m_index = -1;
}

void MB_Color::set(int red, int green, int blue, int alpha, MB_Color_Map_Mode mode)
{
    set(MB_RGBA32(red, green, blue, alpha), mode);
}

void MB_Color::set(int red, int green, int blue, MB_Color_Map_Mode mode)
{
    set(MB_RGBA32(red, green, blue, 255), mode);
}

void MB_Color::set(mb_long index, const MB_Color_Map& map)
{
    m_index = index;
    if (index >= 0 && index < map.size()) m_rgba = map.map()[index];
}

int MB_Color::cube_index(MB_RGBA32 rgba)
{
    auto level = [](int c) { return 6 * c / 256; };
    return 36 * level(rgba.red()) + 6 * level(rgba.green()) + level(rgba.blue());
}

int MB_Color::map_to_index(MB_RGBA32 rgba, MB_Color_Map_Mode mode, const MB_Color_Map& map)
{
    const int k = cube_index(rgba);
    const bool exact_at_cube = k < map.size() && map.map()[k] == rgba;
    switch (mode) {
    case Exact_At_Cube:
        return exact_at_cube ? k : -1;
    case Cube:
        return k;
    case Exact_Or_Closest_Exact: {
        if (exact_at_cube) return k;
        const int j = map.closest_index(MB_Color(rgba, No_Mapping));
        return j >= 0 && j < map.size() && map.map()[j] == rgba ? j : -1;
    }
    case Exact_Or_Closest:
        return exact_at_cube ? k : map.closest_index(MB_Color(rgba, No_Mapping));
    default:
        return -1;
    }
}

bool MB_Color::operator==(const MB_Attribute& other) const
{
    if (other.object_id() != ID_COLOR) return false;
    const auto& c = static_cast<const MB_Color&>(other);
    return c.m_rgba == m_rgba && c.m_index == m_index;
}

namespace {

// The palette: ten named colours, 24 hues in steps of 15 degrees from red, each at five
// intensities as the pure hue and a tint halfway to white at that intensity, and six greys.
std::array<mb_color, 256> make_palette()
{
    std::array<mb_color, 256> p{};
    const mb_color first[10] = {0x000000, 0x0000FF, 0x00FFFF, 0x00FF00, 0xFFFF00,
                                0xFF0000, 0xFF00FF, 0x000000, 0x989898, 0xC0C0C0};
    const mb_color last[6] = {0x545454, 0x767676, 0x989898, 0xBBBBBB, 0xDDDDDD, 0xBBBBBB};
    const int intensities[5] = {0xFF, 0xA6, 0x80, 0x4C, 0x26};
    std::copy(first, first + 10, p.begin());
    std::copy(last, last + 6, p.begin() + 250);
    for (int group = 0; group < 24; ++group) {
        const double h = group * 15.0;
        // The share of a primary whose hue is centre: full within 60 degrees, none beyond 120.
        const auto share = [h](double centre) {
            const double d = std::fabs(std::remainder(h - centre, 360.0));
            return d <= 60.0 ? 1.0 : (d >= 120.0 ? 0.0 : (120.0 - d) / 60.0);
        };
        const double rgb[3] = {share(0.0), share(120.0), share(240.0)};
        for (int k = 0; k < 5; ++k) {
            mb_color pure = 0, tint = 0;
            for (int c = 0; c < 3; ++c) {
                const double v = intensities[k] * rgb[c];
                // Pure values round halves down, tints up: the values the palette has always had.
                pure |= static_cast<mb_color>(std::ceil(v - 0.5)) << (8 * c);
                tint |= static_cast<mb_color>(std::floor((intensities[k] + v) / 2.0 + 0.5)) << (8 * c);
            }
            p[static_cast<std::size_t>(10 + group * 10 + k * 2)] = pure;
            p[static_cast<std::size_t>(11 + group * 10 + k * 2)] = tint;
        }
    }
    return p;
}

const std::array<mb_color, 256>& palette()
{
    static const std::array<mb_color, 256> p = make_palette();
    return p;
}

}  // namespace

mb_color mb_palette_colorref(int index)
{
    return index >= 0 && index < 256 ? palette()[static_cast<std::size_t>(index)] : 0;
}
