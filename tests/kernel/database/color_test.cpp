#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <limits>
#include <sstream>
#include <string>

#include "kernel/database/color.h"
#include "kernel/database/color_map.h"
#include "kernel/stream/file_io.h"

namespace {

TEST(Color, PlainValues)
{
    EXPECT_EQ(MB_RGBA32(10, 20, 30, 255).rgba, 0x0A141EFFu);
    EXPECT_EQ(MB_RGBA32(0x1FF, -1, 0x100, 0x7F).rgba, 0xFFFF007Fu);  // low 8 bits of each
    const MB_RGB half(1.0f, 0.5f, 0.0f);
    EXPECT_EQ(half, MB_RGB(255, 127, 0));
    EXPECT_EQ(MB_RGBA32(1.0f, 0.5f, 0.0f, 1.0f), MB_RGBA32(255, 127, 0, 255));
    // Values that fit no integer give 0 instead of an undefined conversion.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(MB_RGB(nan, 1e30f, -1e30f), MB_RGB(0, 0, 0));
    MB_RGBA32 c(1, 2, 3, 4);
    c = MB_RGB(7, 8, 9);
    EXPECT_EQ(c, MB_RGBA32(7, 8, 9, 255));
    EXPECT_NE(MB_RGB(1, 2, 3), MB_RGB(1, 2, 4));
}

TEST(Color, Constructors)
{
    const MB_Color white;
    EXPECT_EQ(white.rgba().rgba, 0xFFFFFFFFu);
    EXPECT_EQ(white.index(), -1);
    EXPECT_EQ(white.mode(), MB_Color::No_Mapping);
    EXPECT_EQ(white.value(), 0xFFFFFF);
    {
        // Made over memory full of other bytes: the value comes from the default colour,
        // never from what the memory held before.
        alignas(MB_Color) unsigned char storage[sizeof(MB_Color)];
        std::memset(storage, 0x5A, sizeof storage);
        auto* placed = new (storage) MB_Color;
        EXPECT_EQ(placed->value(), 0xFFFFFF);
        placed->~MB_Color();
    }

    const MB_Color c(10, 20, 30, MB_Color::Cube);
    EXPECT_EQ(c.rgba().rgba, 0x0A141EFFu);
    EXPECT_EQ(c.index(), -1);
    EXPECT_EQ(c.mode(), MB_Color::Cube);
    // The record's value is the GDI form of the colour, red in the low byte.
    EXPECT_EQ(c.value(), 0x1E140A);

    const MB_Color_Map map;
    const MB_Color entry(46, map);
    EXPECT_EQ(entry.index(), 46);
    EXPECT_EQ(entry.rgba(), MB_RGBA32(51, 0, 0, 255));
    const MB_Color outside(300, map);
    EXPECT_EQ(outside.index(), 300);
    EXPECT_EQ(outside.rgba().rgba, 0xFFFFFFFFu);

    MB_Color v(static_cast<mb_long>(0xFF0000));
    EXPECT_EQ(v.value(), 0xFF0000);
    v.set(1, 2, 3, MB_Color::Exact_At_Cube);
    EXPECT_EQ(v.rgba(), MB_RGBA32(1, 2, 3, 255));
    EXPECT_EQ(v.value(), 0xFF0000);

    // Equality compares the RGBA value and the index, not the colour value.
    MB_Color a(1, 2, 3, MB_Color::Cube), b(1, 2, 3, MB_Color::Exact_At_Cube);
    b.value(99);
    EXPECT_TRUE(a == b);
    b.set(5, map);
    EXPECT_FALSE(a == b);
    EXPECT_FALSE(a == static_cast<const MB_Attribute&>(map));
}

// Palette A rebuilt from its description: system colours, the colour cube, a grey ramp.
MB_RGBA32 palette_a(int i)
{
    static const int first[10][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},   {0, 0, 128},
                                     {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {166, 202, 240}};
    static const int last[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},
                                    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};
    static const int greys[20] = {0,   13,  26,  40,  53,  67,  80,  93,  107, 120,
                                  134, 147, 161, 174, 187, 201, 214, 228, 241, 255};
    if (i < 10) return MB_RGBA32(first[i][0], first[i][1], first[i][2], 255);
    if (i >= 246) return MB_RGBA32(last[i - 246][0], last[i - 246][1], last[i - 246][2], 255);
    if (i >= 226) return MB_RGBA32(greys[i - 226], greys[i - 226], greys[i - 226], 255);
    const int k = i - 10;
    return MB_RGBA32(51 * (k / 36), 51 * (k / 6 % 6), 51 * (k % 6), 255);
}

// Palette B as listed, RRGGBB, sixteen entries a row.
const char* const k_palette_b[16] = {
    "000000 FF0000 FFFF00 00FF00 00FFFF 0000FF FF00FF 000000 808080 DCDCDC FF0000 FF7F7F DD0000 DD6E6E B80000 B85C5C",
    "950000 954A4A 720000 723939 FF3F00 FF9F7F DD3700 DD8A6E B82E00 B8735C 952500 955D4A 721C00 724739 FF7F00 FFBF7F",
    "DD6E00 DDA56E B85C00 B88A5C 954A00 95704A 723900 725639 FFBF00 FFDF7F DDA500 DDC16E B88A00 B8A15C 957000 95834A",
    "725600 726439 FFFF00 FFFF7F DDDD00 DDDD6E B8B800 B8B85C 959500 95954A 727200 727239 BFFF00 DFFF7F A5DD00 C1DD6E",
    "8AB800 A1B85C 709500 83954A 567200 647239 7FFF00 BFFF7F 6EDD00 A5DD6E 5CB800 8AB85C 4A9500 70954A 397200 567239",
    "3FFF00 9FFF7F 37DD00 8ADD6E 2EB800 73B85C 259500 5D954A 1C7200 477239 00FF00 7FFF7F 00DD00 6EDD6E 00B800 5CB85C",
    "009500 4A954A 007200 397239 00FF3F 7FFF9F 00DD37 6EDD8A 00B82E 5CB873 009525 4A955D 00721C 397247 00FF7F 7FFFBF",
    "00DD6E 6EDDA5 00B85C 5CB88A 00954A 4A9570 007239 397256 00FFBF 7FFFDF 00DDA5 6EDDC1 00B88A 5CB8A1 009570 4A9583",
    "007256 397264 00FFFF 7FFFFF 00DDDD 6EDDDD 00B8B8 5CB8B8 009595 4A9595 007272 397272 00BFFF 7FDFFF 00A5DD 6EC1DD",
    "008AB8 5CA1B8 007095 4A8395 005672 396472 007FFF 7FBFFF 006EDD 6EA5DD 005CB8 5C8AB8 004A95 4A7095 003972 395672",
    "003FFF 7F9FFF 0037DD 6E8ADD 002EB8 5C73B8 002595 4A5D95 001C72 394772 0000FF 7F7FFF 0000DD 6E6EDD 0000B8 5C5CB8",
    "000095 4A4A95 000072 393972 3F00FF 9F7FFF 3700DD 8A6EDD 2E00B8 735CB8 250095 5D4A95 1C0072 473972 7F00FF BF7FFF",
    "6E00DD A56EDD 5C00B8 8A5CB8 4A0095 704A95 390072 563972 BF00FF DF7FFF A500DD C16EDD 8A00B8 A15CB8 700095 834A95",
    "560072 643972 FF00FF FF7FFF DD00DD DD6EDD B800B8 B85CB8 950095 954A95 720072 723972 FF00BF FF7FDF DD00A5 DD6EC1",
    "B8008A B85CA1 950070 954A83 720056 723964 FF007F FF7FBF DD006E DD6EA5 B8005C B85C8A 95004A 954A70 720039 723956",
    "FF003F FF7F9F DD0037 DD6E8A B8002E B85C73 950025 954A5D 72001C 723947 545454 767676 989898 BABABA DCDCDC FFFFFF",
};

TEST(Color_Map, DefaultPalettesEntryByEntry)
{
    const MB_Color_Map a(38), b(37), fallback;
    ASSERT_EQ(a.size(), 256);
    ASSERT_EQ(b.size(), 256);
    EXPECT_EQ(a.incarnation(), -1);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(a.map()[i], palette_a(i)) << "A " << i;
        EXPECT_EQ(fallback.map()[i], palette_a(i)) << "default " << i;
    }
    for (int row = 0; row < 16; ++row) {
        std::istringstream in(k_palette_b[row]);
        for (int col = 0; col < 16; ++col) {
            std::string rgb;
            in >> rgb;
            const int i = 16 * row + col;
            const auto v = static_cast<mb_ulong>(std::strtoul(rgb.c_str(), nullptr, 16));
            EXPECT_EQ(b.map()[i].rgba, (v << 8) | 0xFF) << "B " << i;
        }
    }
    // Within each hue group of palette B every second entry is the one before it at half
    // saturation: each component halfway to the brightest (the table rounds either way).
    for (int i = 10; i < 250; i += 2) {
        const MB_RGBA32 full = b.map()[i], half = b.map()[i + 1];
        const int v = std::max({full.red(), full.green(), full.blue()});
        EXPECT_LE(std::abs(half.red() - (v + full.red()) / 2), 1) << i;
        EXPECT_LE(std::abs(half.green() - (v + full.green()) / 2), 1) << i;
        EXPECT_LE(std::abs(half.blue() - (v + full.blue()) / 2), 1) << i;
        EXPECT_EQ(std::max({half.red(), half.green(), half.blue()}), v) << i;
    }
}

TEST(Color_Map, MapToIndex)
{
    const MB_Color_Map a(38);
    MB_File_IO io;
    MB_RGBA32 few[16];
    for (int i = 0; i < 16; ++i) few[i] = a.map()[i];
    const MB_Color_Map small(16, few, io);
    struct Case {
        MB_RGBA32 rgba;
        MB_Color::MB_Color_Map_Mode mode;
        const MB_Color_Map* map;
        int index;
    };
    const Case cases[] = {
        {MB_RGBA32(255, 255, 255, 255), MB_Color::Cube, &small, 215},
        {MB_RGBA32(0, 0, 0, 255), MB_Color::Exact_At_Cube, &a, 0},
        {MB_RGBA32(51, 0, 0, 255), MB_Color::Exact_At_Cube, &a, -1},  // cube index 36, entry 46
        {MB_RGBA32(51, 0, 0, 255), MB_Color::Exact_Or_Closest_Exact, &a, 46},
        {MB_RGBA32(52, 0, 0, 255), MB_Color::Exact_Or_Closest_Exact, &a, -1},
        {MB_RGBA32(52, 0, 0, 255), MB_Color::Exact_Or_Closest, &a, 46},
        {MB_RGBA32(0, 0, 0, 0), MB_Color::Exact_At_Cube, &a, -1},  // alpha counts
        {MB_RGBA32(255, 255, 255, 255), MB_Color::Exact_At_Cube, &small, -1},
        {MB_RGBA32(0, 0, 0, 255), MB_Color::No_Mapping, &a, -1},
        {MB_RGBA32(42, 43, 255, 255), MB_Color::Cube, &a, 0 + 6 + 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MB_Color::map_to_index(c.rgba, c.mode, *c.map), c.index)
            << std::hex << c.rgba.rgba << " mode " << c.mode;
}

TEST(Color_Map, ClosestIndex)
{
    const MB_Color_Map a(38);
    // Black is entry 0 and entry 10: the lower wins, unless the colour names the other.
    EXPECT_EQ(a.closest_index(MB_Color(0, 0, 0, MB_Color::No_Mapping)), 0);
    EXPECT_EQ(a.closest_index(MB_Color(10, a)), 10);
    // An index that does not match its entry is not preferred.
    MB_Color named(10, a);
    named.set(1, 1, 1, MB_Color::No_Mapping);
    EXPECT_EQ(a.closest_index(named), 0);
    EXPECT_EQ(a.closest_index(MB_Color(250, 250, 250, MB_Color::No_Mapping)), 225);
    EXPECT_EQ(a.closest_index(MB_Color(200, 0, 0, MB_Color::No_Mapping)), 10 + 36 * 4);
    MB_Color_Map empty(38);
    empty.clear();
    EXPECT_EQ(empty.closest_index(MB_Color()), -1);
    EXPECT_EQ(empty.incarnation(), -2);
}

TEST(Color_Map, EntriesCopiesAndEquality)
{
    MB_File_IO io;
    const MB_RGB rgb[2] = {MB_RGB(1, 2, 3), MB_RGB(4, 5, 6)};
    MB_Color_Map m(2, rgb, io);
    EXPECT_EQ(m.size(), 2);
    EXPECT_EQ(m.incarnation(), 1);
    EXPECT_EQ(m.map(static_cast<unsigned char>(1)), MB_RGBA32(4, 5, 6, 255));
    EXPECT_EQ(m.map(static_cast<unsigned char>(2)).rgba, 0x000000FFu);

    MB_Color_Map copy(m);
    EXPECT_TRUE(copy == m);
    EXPECT_NE(copy.map(), m.map());
    const MB_RGBA32 same[2] = {MB_RGBA32(1, 2, 3, 255), MB_RGBA32(4, 5, 6, 255)};
    MB_Color_Map other(2, same, io);
    EXPECT_NE(other.incarnation(), m.incarnation());
    EXPECT_TRUE(other == m);  // same entries
    const MB_RGBA32 differ[2] = {MB_RGBA32(1, 2, 3, 255), MB_RGBA32(4, 5, 7, 255)};
    other.set(2, differ, io);
    EXPECT_FALSE(other == m);
    other = m;
    EXPECT_TRUE(other == m);
    EXPECT_EQ(other.incarnation(), m.incarnation());
    EXPECT_FALSE(m == MB_Color_Map(38));
    EXPECT_FALSE(m == static_cast<const MB_Attribute&>(MB_Color()));
}

}  // namespace
