#include "kernel/database/system_setting.h"

#include <algorithm>
#include <iterator>

namespace {

// Indices whose defaults are not 0.
struct Long_Default {
    int index;
    long value;
};

using S = MB_System_Setting;

constexpr Long_Default k_long_defaults[] = {
    {S::k_long_color, 0xFFFFFF},
    {S::k_long_rubber_color, 0x00FF00},
    {S::k_long_selection, 0x0000FF},
    {4, 0x0000FF},
    {S::k_long_rubber_highlight, 0x0000FF},
    {6, 0xFFFFFF},
    {7, 0xFF0000},
    {S::k_long_dim_colors[0], 0xFFFFFF},
    {S::k_long_dim_colors[1], 0xFFFFFF},
    {S::k_long_dim_colors[2], 0xFFFFFF},
    {S::k_long_precision_arc, 30},
    {S::k_long_precision_circle, 60},
    {S::k_long_precision_ellipse, 80},
    {S::k_long_precision_elliptic_arc, 60},
    {S::k_long_precision_bspline, 100},
    {S::k_long_precision_polyline, 10},
    {S::k_long_grid_color, 0xAAAAAA},
    {S::k_long_conic_steps, 3},
};

// Integer defaults of a new dimension style, from k_long_dim_first on.
constexpr long k_dim_long_defaults[] = {2, 2, 2, 0, 4, 3, 0, 0, 4, 1, 1, 2, 0};

// Real defaults of a new dimension style, from k_real_dim_first on.
constexpr double k_dim_real_defaults[] = {25.4, 0.18, 0.09, 0.0,    0.0, 0.18, 0.0625, 0.09,
                                          1.0,  0.0,  1.0,  0.0, 0.0, 0.0, 0.0,    0.18};

// An index outside the array reads as 0 and is not stored.
template <typename T, int N>
T value_at(const T (&values)[N], long index)
{
    return index >= 0 && index < N ? values[index] : T{};
}

template <typename T, int N>
void store(T (&values)[N], long index, T value)
{
    if (index >= 0 && index < N) values[index] = value;
}

}  // namespace

MB_System_Setting::MB_System_Setting()
    : m_long_values{}, m_short_values{}, m_real_values{}, m_bool_values{}, m_snap_values{}, m_texts{}
{
    for (const Long_Default& d : k_long_defaults) m_long_values[d.index] = d.value;
    std::copy(std::begin(k_dim_long_defaults), std::end(k_dim_long_defaults), m_long_values + k_long_dim_first);
    m_short_values[2] = 2;
    m_real_values[k_real_line_scale] = 1.0;
    m_real_values[k_real_width] = 0.3;
    std::copy(std::begin(k_dim_real_defaults), std::end(k_dim_real_defaults), m_real_values + k_real_dim_first);
    m_bool_values[16] = 1;
}

MB_System_Setting::~MB_System_Setting() = default;

void MB_System_Setting::set_long_val(int index, long value)
{
    store(m_long_values, index, value);
}

long MB_System_Setting::get_long_val(int index) const
{
    return value_at(m_long_values, index);
}

void MB_System_Setting::set_short_val(int index, unsigned short value)
{
    store(m_short_values, index, value);
}

unsigned short MB_System_Setting::get_short_val(int index) const
{
    return value_at(m_short_values, index);
}

void MB_System_Setting::set_real_val(int index, double value)
{
    store(m_real_values, index, value);
}

double MB_System_Setting::get_real_val(int index) const
{
    return value_at(m_real_values, index);
}

void MB_System_Setting::set_bool_val(int index, unsigned short value)
{
    store(m_bool_values, index, value);
}

unsigned short MB_System_Setting::get_bool_val(int index) const
{
    return value_at(m_bool_values, index);
}

void MB_System_Setting::set_snap_val(long index, short value)
{
    store(m_snap_values, index, value);
}

unsigned short MB_System_Setting::get_snap_val(long index) const
{
    return static_cast<unsigned short>(value_at(m_snap_values, index));
}
