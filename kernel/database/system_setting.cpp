#include "kernel/database/system_setting.h"

#include <algorithm>
#include <iterator>

namespace {

// Indices whose defaults are not 0.
struct Long_Default {
    int index;
    long value;
};

constexpr Long_Default k_long_defaults[] = {
    {1, 0xFFFFFF},   // colour of new entities
    {2, 0x00FF00},   // rubber-band colour
    {3, 0x0000FF},   // selection colour
    {4, 0x0000FF},
    {5, 0x0000FF},   // rubber-band highlight colour
    {6, 0xFFFFFF},
    {7, 0xFF0000},
    {8, 0xFFFFFF},   // 8, 9 and 11: colours of a new dimension style
    {9, 0xFFFFFF},
    {11, 0xFFFFFF},
    {14, 30},        // 14 to 19: draw precisions by object kind
    {15, 60},
    {16, 80},
    {17, 60},
    {18, 100},
    {19, 10},
    {20, 0xAAAAAA},  // grid colour
    {23, 3},         // steps per curved TrueType outline segment
};

// Integer defaults of a new dimension style, from index 30 on.
constexpr long k_dim_long_defaults[] = {2, 2, 2, 0, 4, 3, 0, 0, 4, 1, 1, 2, 0};

// Real defaults of a new dimension style, from index 10 on.
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
    std::copy(std::begin(k_dim_long_defaults), std::end(k_dim_long_defaults), m_long_values + 30);
    m_short_values[2] = 2;
    m_real_values[1] = 1.0;  // line scale of new entities
    m_real_values[2] = 0.3;  // width of new entities
    std::copy(std::begin(k_dim_real_defaults), std::end(k_dim_real_defaults), m_real_values + 10);
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
