#pragma once

// The block of typed setting arrays that the kernel consults for defaults and display
// options. Settings are addressed by array and index; the arrays have fixed lengths and no
// names, so the indices are the contract between the parts that read them. An index
// outside an array reads as 0 and is ignored by the setters: hosts pass indices.

#include "geometry/point.h"
#include "kernel/drakmere_api.h"

class DRAKMERE_API MB_System_Setting {
public:
    static constexpr int k_point_count = 10;
    static constexpr int k_long_count = 50;
    static constexpr int k_short_count = 10;
    static constexpr int k_real_count = 30;
    static constexpr int k_bool_count = 20;
    static constexpr int k_snap_count = 120;
    static constexpr int k_text_count = 3;
    static constexpr int k_text_size = 256;

    MB_System_Setting();
    MB_System_Setting(const MB_System_Setting&) = default;
    MB_System_Setting& operator=(const MB_System_Setting&) = default;
    virtual ~MB_System_Setting();

    void set_long_val(int index, long value);
    long get_long_val(int index) const;
    void set_short_val(int index, unsigned short value);
    unsigned short get_short_val(int index) const;
    void set_real_val(int index, double value);
    double get_real_val(int index) const;
    void set_bool_val(int index, unsigned short value);
    unsigned short get_bool_val(int index) const;
    void set_snap_val(long index, short value);
    unsigned short get_snap_val(long index) const;
    bool explode_text() const { return m_explode_text; }
    void explode_text(bool on) { m_explode_text = on; }

private:
    Qe_Pt m_points[k_point_count];
    long m_long_values[k_long_count];
    unsigned short m_short_values[k_short_count];
    double m_real_values[k_real_count];
    unsigned short m_bool_values[k_bool_count];
    short m_snap_values[k_snap_count];
    bool m_explode_text = false;
    char m_texts[k_text_count][k_text_size];
};
