#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "kernel/database/system_setting.h"

namespace {

// Every value of a setting block, read through its accessors.
struct Snapshot {
    std::vector<long> longs;
    std::vector<unsigned short> shorts;
    std::vector<double> reals;
    std::vector<unsigned short> bools;
    std::vector<unsigned short> snaps;
    bool explode;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const MB_System_Setting& s)
{
    Snapshot r{};
    for (int i = 0; i < MB_System_Setting::k_long_count; ++i) r.longs.push_back(s.get_long_val(i));
    for (int i = 0; i < MB_System_Setting::k_short_count; ++i) r.shorts.push_back(s.get_short_val(i));
    for (int i = 0; i < MB_System_Setting::k_real_count; ++i) r.reals.push_back(s.get_real_val(i));
    for (int i = 0; i < MB_System_Setting::k_bool_count; ++i) r.bools.push_back(s.get_bool_val(i));
    for (long i = 0; i < MB_System_Setting::k_snap_count; ++i) r.snaps.push_back(s.get_snap_val(i));
    r.explode = s.explode_text();
    return r;
}

TEST(SystemSetting, Defaults)
{
    const MB_System_Setting s;
    const std::vector<long> longs = {
        0x000000, 0xFFFFFF, 0x00FF00, 0x0000FF, 0x0000FF, 0x0000FF, 0xFFFFFF, 0xFF0000, 0xFFFFFF, 0xFFFFFF,
        0,        0xFFFFFF, 0,        0,        30,       60,       80,       60,       100,      10,
        0xAAAAAA, 0,        0,        3,        0,        0,        0,        0,        0,        0,
        2,        2,        2,        0,        4,        3,        0,        0,        4,        1,
        1,        2,        0,        0,        0,        0,        0,        0,        0,        0};
    const std::vector<double> reals = {0.0,  1.0,  0.3, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0,    0.0,
                                       25.4, 0.18, 0.09, 0.0, 0.0, 0.18, 0.0625, 0.09, 1.0, 0.0,
                                       1.0,  0.0,  0.0, 0.0, 0.0, 0.18, 0.0, 0.0, 0.0,    0.0};
    std::vector<unsigned short> bools(MB_System_Setting::k_bool_count, 0);
    bools[16] = 1;
    std::vector<unsigned short> shorts(MB_System_Setting::k_short_count, 0);
    shorts[2] = 2;
    const Snapshot expected{longs, shorts, reals, bools,
                            std::vector<unsigned short>(MB_System_Setting::k_snap_count, 0), false};
    EXPECT_EQ(snapshot(s), expected);
}

TEST(SystemSetting, IndicesOutsideTheArraysAreGuarded)
{
    MB_System_Setting s;
    const Snapshot before = snapshot(s);
    for (long i : {-1L, -1000L, 10L, 20L, 30L, 50L, 120L, 100000L, long(INT_MIN), long(INT_MAX)}) {
        const int index = static_cast<int>(i);
        const bool long_ok = i >= 0 && i < 50, short_ok = i >= 0 && i < 10, real_ok = i >= 0 && i < 30,
                   bool_ok = i >= 0 && i < 20, snap_ok = i >= 0 && i < 120;
        if (!long_ok) {
            s.set_long_val(index, 7);
            EXPECT_EQ(s.get_long_val(index), 0) << i;
        }
        if (!short_ok) {
            s.set_short_val(index, 7);
            EXPECT_EQ(s.get_short_val(index), 0) << i;
        }
        if (!real_ok) {
            s.set_real_val(index, 7.0);
            EXPECT_EQ(s.get_real_val(index), 0.0) << i;
        }
        if (!bool_ok) {
            s.set_bool_val(index, 1);
            EXPECT_EQ(s.get_bool_val(index), 0) << i;
        }
        if (!snap_ok) {
            s.set_snap_val(i, 7);
            EXPECT_EQ(s.get_snap_val(i), 0) << i;
        }
    }
    EXPECT_EQ(snapshot(s), before);
}

TEST(SystemSetting, CopiesCarryEveryValue)
{
    MB_System_Setting s;
    s.set_long_val(49, 123);
    s.set_short_val(9, 65535);
    s.set_real_val(29, -2.5);
    s.set_bool_val(19, 1);
    s.set_snap_val(119, -3);
    s.explode_text(true);
    EXPECT_EQ(s.get_snap_val(119), 65533);  // stored as short, read as unsigned short

    const MB_System_Setting copy(s);
    MB_System_Setting assigned;
    assigned = s;
    EXPECT_EQ(snapshot(copy), snapshot(s));
    EXPECT_EQ(snapshot(assigned), snapshot(s));
    EXPECT_NE(snapshot(assigned), snapshot(MB_System_Setting()));
}

}  // namespace
