#pragma once

// Enhanced and Windows metafiles written record by record for tests: each writer appends the
// records it is given and closes the file with its end record and a header that counts them.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/metafile_bytes.h"
#include "platform/win_types.h"

namespace metafile_writer {

using metafile_bytes::Bytes;
using metafile_bytes::put16;
using metafile_bytes::put32;

inline void set32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<BYTE>((v >> (8 * i)) & 0xFF);
}
inline std::uint32_t float_bits(float f)
{
    std::uint32_t v;
    std::memcpy(&v, &f, sizeof v);
    return v;
}

// A packed DIB: a 40-byte header, no table, 24-bit rows bottom-up; colour(x, y) with y from the top.
template <class Colour>
Bytes dib24(int w, int h, Colour colour)
{
    Bytes b;
    const int stride = (w * 3 + 3) / 4 * 4;
    put32(b, 40), put32(b, static_cast<std::uint32_t>(w)), put32(b, static_cast<std::uint32_t>(h));
    put16(b, 1), put16(b, 24);
    put32(b, 0), put32(b, static_cast<std::uint32_t>(stride * h));
    put32(b, 3780), put32(b, 3780), put32(b, 0), put32(b, 0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const COLORREF c = colour(x, y);
            b.push_back(GetBValue(c)), b.push_back(GetGValue(c)), b.push_back(GetRValue(c));
        }
        for (int k = w * 3; k < stride; ++k) b.push_back(0);
    }
    return b;
}

// An EMF whose reference device has px_per_mm pixels per millimetre; the frame is the pixel
// rectangle (0, 0, w, h) in 0.01 mm, the bounds the same rectangle in pixels.
class Emf {
public:
    Emf(int w, int h, double px_per_mm = 96 / 25.4)
    {
        const auto mm = [&](int px) { return static_cast<std::uint32_t>(px * 100 / px_per_mm + 0.5); };
        put32(m_b, 1), put32(m_b, 108);
        for (int v : {0, 0, w - 1, h - 1}) put32(m_b, static_cast<std::uint32_t>(v));
        for (std::uint32_t v : {0u, 0u, mm(w), mm(h)}) put32(m_b, v);
        put32(m_b, 0x464D4520), put32(m_b, 0x10000);
        put32(m_b, 0), put32(m_b, 0);  // bytes and records, set by bytes()
        put16(m_b, 1), put16(m_b, 0);  // handles, set by bytes()
        put32(m_b, 0), put32(m_b, 0), put32(m_b, 0);  // description, palette
        // A reference device of 1000 x 1000 pixels at px_per_mm, also in micrometres.
        put32(m_b, 1000), put32(m_b, 1000);
        const auto size_mm = static_cast<std::uint32_t>(1000 / px_per_mm + 0.5);
        put32(m_b, size_mm), put32(m_b, size_mm);
        put32(m_b, 0), put32(m_b, 0), put32(m_b, 0);
        const auto size_um = static_cast<std::uint32_t>(1000000 / px_per_mm + 0.5);
        put32(m_b, size_um), put32(m_b, size_um);
        m_records = 1;
    }
    // A record of 32-bit words.
    Emf& rec(std::uint32_t type, std::initializer_list<std::uint32_t> words)
    {
        put32(m_b, type), put32(m_b, static_cast<std::uint32_t>(8 + 4 * words.size()));
        for (std::uint32_t w : words) put32(m_b, w);
        ++m_records;
        return *this;
    }
    // A record of raw bytes (padded to 4).
    Emf& raw(std::uint32_t type, const Bytes& body)
    {
        const std::size_t padded = (body.size() + 3) / 4 * 4;
        put32(m_b, type), put32(m_b, static_cast<std::uint32_t>(8 + padded));
        m_b.insert(m_b.end(), body.begin(), body.end());
        m_b.resize(m_b.size() + padded - body.size(), 0);
        ++m_records;
        return *this;
    }
    Emf& handles(unsigned n)
    {
        m_handles = n;
        return *this;
    }
    Bytes bytes() const
    {
        Bytes b = m_b;
        put32(b, 14), put32(b, 20), put32(b, 0), put32(b, 0), put32(b, 20);
        set32(b, 48, static_cast<std::uint32_t>(b.size()));
        set32(b, 52, m_records + 1);
        b[56] = static_cast<BYTE>(m_handles & 0xFF), b[57] = static_cast<BYTE>(m_handles >> 8);
        return b;
    }

    // Common records.
    Emf& pen(std::uint32_t slot, std::uint32_t style, std::uint32_t width, COLORREF c)
    {
        return rec(38, {slot, style, width, 0, c});
    }
    Emf& brush(std::uint32_t slot, std::uint32_t style, COLORREF c, std::uint32_t hatch = 0)
    {
        return rec(39, {slot, style, c, hatch});
    }
    Emf& select(std::uint32_t slot) { return rec(37, {slot}); }
    Emf& rectangle(int l, int t, int r, int b) { return rec(43, {u(l), u(t), u(r), u(b)}); }
    Emf& ellipse(int l, int t, int r, int b) { return rec(42, {u(l), u(t), u(r), u(b)}); }
    Emf& polygon16(std::initializer_list<std::pair<int, int>> pts) { return poly16(86, pts); }
    Emf& polyline16(std::initializer_list<std::pair<int, int>> pts) { return poly16(87, pts); }
    Emf& polygon(std::initializer_list<std::pair<int, int>> pts)
    {
        Bytes body;
        for (int i = 0; i < 4; ++i) put32(body, 0);
        put32(body, static_cast<std::uint32_t>(pts.size()));
        for (auto [x, y] : pts) put32(body, u(x)), put32(body, u(y));
        return raw(3, body);
    }
    Emf& stretch_dibits(int xd, int yd, int wd, int hd, const Bytes& dib, int w, int h)
    {
        const std::uint32_t info = 40, bits_off = 80 + info, bits = static_cast<std::uint32_t>(dib.size()) - info;
        Bytes body;
        for (int i = 0; i < 4; ++i) put32(body, 0);
        for (std::uint32_t v : {u(xd), u(yd), 0u, 0u, u(w), u(h), 80u, info, bits_off, bits, 0u, 0x00CC0020u, u(wd), u(hd)})
            put32(body, v);
        body.insert(body.end(), dib.begin(), dib.end());
        return raw(81, body);
    }
    static std::uint32_t u(int v) { return static_cast<std::uint32_t>(v); }

private:
    Emf& poly16(std::uint32_t type, std::initializer_list<std::pair<int, int>> pts)
    {
        Bytes body;
        for (int i = 0; i < 4; ++i) put32(body, 0);
        put32(body, static_cast<std::uint32_t>(pts.size()));
        for (auto [x, y] : pts) put16(body, static_cast<unsigned>(x) & 0xFFFF), put16(body, static_cast<unsigned>(y) & 0xFFFF);
        return raw(type, body);
    }

    Bytes m_b;
    std::uint32_t m_records = 0;
    unsigned m_handles = 1;
};

// A Windows metafile, with the placeable header when placeable (box 0, 0, w, h at inch units
// per inch). Records are words; the writer gives each its size and function.
class Wmf {
public:
    Wmf(int w, int h, int inch, bool placeable = true)
    {
        if (placeable) {
            put32(m_b, 0x9AC6CDD7);
            put16(m_b, 0);
            for (int v : {0, 0, w, h}) put16(m_b, static_cast<unsigned>(v) & 0xFFFF);
            put16(m_b, static_cast<unsigned>(inch));
            put32(m_b, 0);
            unsigned sum = 0;
            for (int i = 0; i < 10; ++i) sum ^= m_b[2 * i] | (m_b[2 * i + 1] << 8);
            put16(m_b, sum);
        }
        m_start = m_b.size();
        put16(m_b, 1), put16(m_b, 9), put16(m_b, 0x300);
        put32(m_b, 0);  // words, set by bytes()
        put16(m_b, 0);  // objects, set by bytes()
        put32(m_b, 0);  // largest record
        put16(m_b, 0);
    }
    Wmf& rec(unsigned fn, std::initializer_list<int> params)
    {
        put32(m_b, static_cast<std::uint32_t>(3 + params.size()));
        put16(m_b, fn);
        for (int p : params) put16(m_b, static_cast<unsigned>(p) & 0xFFFF);
        m_max = std::max<std::size_t>(m_max, 3 + params.size());
        return *this;
    }
    Wmf& raw(unsigned fn, const Bytes& body)
    {
        const std::size_t words = (body.size() + 1) / 2;
        put32(m_b, static_cast<std::uint32_t>(3 + words));
        put16(m_b, fn);
        m_b.insert(m_b.end(), body.begin(), body.end());
        if (body.size() % 2) m_b.push_back(0);
        m_max = std::max<std::size_t>(m_max, 3 + words);
        return *this;
    }
    Wmf& objects(unsigned n)
    {
        m_objects = n;
        return *this;
    }
    Bytes bytes() const
    {
        Bytes b = m_b;
        put32(b, 3), put16(b, 0);
        set32(b, m_start + 6, static_cast<std::uint32_t>((b.size() - m_start) / 2));
        b[m_start + 10] = static_cast<BYTE>(m_objects & 0xFF), b[m_start + 11] = static_cast<BYTE>(m_objects >> 8);
        set32(b, m_start + 12, static_cast<std::uint32_t>(std::max<std::size_t>(m_max, 3)));
        return b;
    }

    Wmf& window(int x, int y, int w, int h) { return rec(0x020B, {y, x}).rec(0x020C, {h, w}); }
    Wmf& pen(int style, int width, COLORREF c)
    {
        return rec(0x02FA, {style, width, 0, static_cast<int>(c & 0xFFFF), static_cast<int>(c >> 16)});
    }
    Wmf& brush(int style, COLORREF c, int hatch = 0)
    {
        return rec(0x02FC, {style, static_cast<int>(c & 0xFFFF), static_cast<int>(c >> 16), hatch});
    }
    Wmf& select(int slot) { return rec(0x012D, {slot}); }
    Wmf& remove(int slot) { return rec(0x01F0, {slot}); }
    Wmf& rectangle(int l, int t, int r, int b) { return rec(0x041B, {b, r, t, l}); }
    Wmf& ellipse(int l, int t, int r, int b) { return rec(0x0418, {b, r, t, l}); }
    Wmf& polygon(std::initializer_list<std::pair<int, int>> pts)
    {
        Bytes body;
        put16(body, static_cast<unsigned>(pts.size()));
        for (auto [x, y] : pts) put16(body, static_cast<unsigned>(x) & 0xFFFF), put16(body, static_cast<unsigned>(y) & 0xFFFF);
        return raw(0x0324, body);
    }
    Wmf& stretch_dib(int xd, int yd, int wd, int hd, const Bytes& dib, int w, int h)
    {
        Bytes body;
        put32(body, 0x00CC0020);
        for (int v : {0, h, w, 0, 0, hd, wd, yd, xd}) put16(body, static_cast<unsigned>(v) & 0xFFFF);
        body.insert(body.end(), dib.begin(), dib.end());
        return raw(0x0F43, body);
    }

private:
    Bytes m_b;
    std::size_t m_start = 0;
    std::size_t m_max = 0;
    unsigned m_objects = 0;
};

// Every record kind the player reads, once, in one EMF and one WMF.
inline Bytes every_emf_record()
{
    const Bytes dib = metafile_writer::dib24(3, 2, [](int x, int) { return x ? RGB(255, 0, 0) : RGB(0, 0, 255); });
    Bytes font;
    for (std::uint32_t v : {1u, 10u, 0u, 0u, 0u, 400u, 0u}) metafile_writer::put32(font, v);
    font.resize(font.size() + 64, 0);
    Emf e(60, 60);
    e.handles(4).pen(1, 1 /* dash */, 2, RGB(0, 0, 255)).brush(2, 2 /* hatched */, RGB(255, 0, 0), 3).raw(82, font).select(1).select(2).select(3);
    e.rec(33, {}).rec(35, {0x3F800000u, 0, 0, 0x3F800000u, 0, 0}).rec(17, {8}).rec(9, {60, 60}).rec(11, {60, 60});
    e.rec(10, {0, 0}).rec(12, {0, 0}).rec(30, {0, 0, 50, 50}).rec(29, {0, 0, 5, 60});
    e.rectangle(1, 1, 20, 20).ellipse(5, 5, 30, 25).rec(44, {2, 2, 40, 40, 5, 5});
    e.rec(45, {0, 0, 40, 40, 40, 20, 0, 20}).rec(46, {0, 0, 40, 40, 20, 0, 20, 40}).rec(47, {0, 0, 40, 40, 0, 20, 20, 0});
    e.rec(27, {3, 3}).rec(54, {30, 40}).polygon({{1, 1}, {50, 3}, {20, 40}}).polyline16({{1, 50}, {50, 50}});
    e.rec(59, {}).polygon16({{2, 2}, {40, 2}, {20, 30}}).rec(61, {}).rec(60, {}).rec(64, {0, 0, 60, 60});
    e.rec(15, {4, 4, RGB(1, 2, 3)}).rec(36, {0x40000000u, 0, 0, 0x40000000u, 0, 0, 2}).stretch_dibits(1, 1, 9, 6, dib, 3, 2);
    e.rec(34, {static_cast<std::uint32_t>(-1)}).rec(75, {0, 5}).select(0x80000005u).rec(40, {1});
    return e.bytes();
}

inline Bytes every_wmf_record()
{
    const Bytes dib = metafile_writer::dib24(3, 2, [](int x, int) { return x ? RGB(255, 0, 0) : RGB(0, 0, 255); });
    Wmf m(60, 60, 96);
    m.window(0, 0, 60, 60).objects(3).pen(0, 3, RGB(0, 0, 255)).brush(0, RGB(255, 0, 0)).select(0).select(1);
    m.rec(0x001E, {}).rec(0x0416, {50, 50, 0, 0}).rectangle(1, 1, 20, 20).ellipse(5, 5, 30, 25);
    m.rec(0x0817, {20, 0, 0, 40, 40, 40, 0, 0}).rec(0x061C, {5, 5, 40, 40, 2, 2}).rec(0x0214, {3, 3}).rec(0x0213, {40, 30});
    m.polygon({{1, 1}, {50, 3}, {20, 40}}).rec(0x041F, {0x0302, 0x0001, 4, 4}).stretch_dib(1, 1, 9, 6, dib, 3, 2);
    m.rec(0x0127, {-1}).remove(0).rec(0x0521, {2, 0x6261, 10, 10});
    return m.bytes();
}

}  // namespace metafile_writer
