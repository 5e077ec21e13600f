#pragma once

// Writes shape fonts from tables of shapes {number, name, byte code}: the three compiled
// layouts (shape fonts, big fonts, unifonts) byte for byte, and the same shapes as SHP source
// text. Used by the font tests and by the program that builds the default fonts, so it
// depends on nothing of the kernel.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace shx_writer {

using Bytes = std::vector<std::uint8_t>;

struct Shape {
    unsigned number = 0;
    std::string name;
    Bytes code;
    // Big fonts only: an index entry of length 0 (no definition at all).
    bool empty_entry = false;
};

struct Font_Info {
    std::string name = "test font";
    std::uint8_t above = 21;
    std::uint8_t below = 7;
    std::uint8_t modes = 0;
};

inline void put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

inline void put32(Bytes& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

inline void set16(Bytes& b, std::size_t at, unsigned v)
{
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

// The signature text followed by CR, LF and 26, padded with zeros to width bytes.
inline Bytes signature(const std::string& text, std::size_t width)
{
    Bytes b(text.begin(), text.end());
    b.push_back('\r');
    b.push_back('\n');
    b.push_back(0x1A);
    if (b.size() < width) b.resize(width, 0);
    return b;
}

// A definition: the name, a zero byte, the byte code.
inline Bytes definition(const std::string& name, const Bytes& code)
{
    Bytes d(name.begin(), name.end());
    d.push_back(0);
    d.insert(d.end(), code.begin(), code.end());
    return d;
}

// Reading needs 34 bytes for the signature: short fonts are padded at the end.
inline void pad_to_signature(Bytes& b)
{
    if (b.size() < 34) b.resize(34, 0);
}

// Shape font: signature area of 24 bytes, first and last number, entry count, entries of
// (number, length), then the definitions back to back; shape 0 carries the font information.
inline Bytes shapes_file(const Font_Info& info, const std::vector<Shape>& shapes,
                         const std::string& sig = "AutoCAD-86 shapes 1.0")
{
    std::vector<Bytes> defs;
    std::vector<unsigned> numbers;
    defs.push_back(definition(info.name, Bytes{info.above, info.below, info.modes, 0}));
    numbers.push_back(0);
    for (const Shape& s : shapes) {
        defs.push_back(definition(s.name, s.code));
        numbers.push_back(s.number);
    }
    Bytes b = signature(sig, 24);
    b.resize(24);
    unsigned lo = 0xFFFF, hi = 0;
    for (unsigned n : numbers) {
        if (n < lo) lo = n;
        if (n > hi) hi = n;
    }
    put16(b, lo);
    put16(b, hi);
    put16(b, static_cast<unsigned>(defs.size()));
    for (std::size_t i = 0; i < defs.size(); ++i) {
        put16(b, numbers[i]);
        put16(b, static_cast<unsigned>(defs[i].size()));
    }
    for (const Bytes& d : defs) b.insert(b.end(), d.begin(), d.end());
    pad_to_signature(b);
    return b;
}

// Big font: signature area of 25 bytes, the header value 8, entry count, escape-range count,
// the ranges, entries of (number, length, file offset), then the definitions. The first
// entry carries the font information.
inline Bytes big_font(const Font_Info& info, const std::vector<Shape>& shapes,
                      const std::vector<std::pair<unsigned, unsigned>>& ranges = {{0x81, 0xFE}},
                      const std::string& sig = "AutoCAD-86 bigfont 1.0")
{
    struct Entry {
        unsigned number;
        Bytes def;
        bool empty;
    };
    std::vector<Entry> entries;
    entries.push_back({0, definition(info.name, Bytes{info.above, info.below, info.modes, 0}), false});
    for (const Shape& s : shapes)
        entries.push_back({s.number, s.empty_entry ? Bytes{} : definition(s.name, s.code), s.empty_entry});
    Bytes b = signature(sig, 25);
    b.resize(25);
    put16(b, 8);
    put16(b, static_cast<unsigned>(entries.size()));
    put16(b, static_cast<unsigned>(ranges.size()));
    for (const auto& r : ranges) {
        put16(b, r.first);
        put16(b, r.second);
    }
    std::uint32_t offset = static_cast<std::uint32_t>(b.size() + 8 * entries.size());
    for (const Entry& e : entries) {
        put16(b, e.number);
        put16(b, static_cast<unsigned>(e.def.size()));
        put32(b, e.empty ? 0 : offset);
        offset += static_cast<std::uint32_t>(e.def.size());
    }
    for (const Entry& e : entries) b.insert(b.end(), e.def.begin(), e.def.end());
    pad_to_signature(b);
    return b;
}

// Unifont: signature area of 25 bytes, the shape count, the length of the font information
// (name, zero, above, below, modes and three more bytes), then records of (number, length L,
// one byte, L - 1 bytes of byte code).
inline Bytes unifont(const Font_Info& info, const std::vector<Shape>& shapes,
                     const std::string& sig = "AutoCAD-86 unifont 1.0")
{
    Bytes b = signature(sig, 25);
    b.resize(25);
    put32(b, static_cast<std::uint32_t>(shapes.size()));
    Bytes head(info.name.begin(), info.name.end());
    head.push_back(0);
    head.insert(head.end(), {info.above, info.below, info.modes, 0, 0, 0});
    put16(b, static_cast<unsigned>(head.size()));
    b.insert(b.end(), head.begin(), head.end());
    for (const Shape& s : shapes) {
        put16(b, s.number);
        put16(b, static_cast<unsigned>(s.code.size() + 1));
        b.push_back(0);
        b.insert(b.end(), s.code.begin(), s.code.end());
    }
    pad_to_signature(b);
    return b;
}

enum class Line_End { LF, CRLF, None_At_End };

// The SHP source of the shapes: "*0,4,name" and "above,below,modes,0", then per shape its
// header "*number,bytes,name" and its codes, tokens_per_line to a line (0: all on one line).
// Every byte code is written in the SHP spelling of its command.
inline std::string shp_text(const Font_Info& info, const std::vector<Shape>& shapes, Line_End end = Line_End::LF,
                            std::size_t tokens_per_line = 0, bool big = false)
{
    const std::string nl = end == Line_End::CRLF ? "\r\n" : "\n";
    std::string out;
    if (big) out += "*BIGFONT 1,1,129,254" + nl;
    out += "*0,4," + info.name + nl;
    out += std::to_string(info.above) + "," + std::to_string(info.below) + "," + std::to_string(info.modes) + ",0" + nl;
    auto sb = [](std::uint8_t v) { return std::to_string(static_cast<int>(static_cast<std::int8_t>(v))); };
    const char* hex = "0123456789ABCDEF";
    for (const Shape& s : shapes) {
        out += "*" + std::to_string(s.number) + "," + std::to_string(s.code.size()) + "," + s.name + nl;
        std::vector<std::string> tokens;
        const Bytes& c = s.code;
        std::size_t i = 0;
        auto at = [&](std::size_t k) -> std::uint8_t { return k < c.size() ? c[k] : 0; };
        while (i < c.size()) {
            const std::uint8_t code = c[i];
            if (code >= 16) {
                tokens.push_back(std::string("0") + hex[code >> 4] + hex[code & 15]);
                ++i;
                continue;
            }
            tokens.push_back(std::to_string(code));
            switch (code) {
            case 3: case 4: case 7:
                tokens.push_back(std::to_string(at(i + 1)));
                i += 2;
                break;
            case 8:
                tokens.push_back("(" + sb(at(i + 1)));
                tokens.push_back(sb(at(i + 2)) + ")");
                i += 3;
                break;
            case 9:
                i += 1;
                for (;;) {
                    tokens.push_back("(" + sb(at(i)));
                    tokens.push_back(sb(at(i + 1)) + ")");
                    const bool stop = at(i) == 0 && at(i + 1) == 0;
                    i += 2;
                    if (stop || i >= c.size()) break;
                }
                break;
            case 10: {
                const int o = static_cast<std::int8_t>(at(i + 2));
                const int u = o < 0 ? o + 128 : o;
                tokens.push_back("(" + std::to_string(at(i + 1)));
                tokens.push_back(std::string(o < 0 ? "-" : "") + "0" + std::to_string(u / 16) +
                                 std::to_string(u % 16) + ")");
                i += 3;
                break;
            }
            case 11:
                tokens.push_back("(" + std::to_string(at(i + 1)));
                for (int k = 2; k <= 4; ++k) tokens.push_back(std::to_string(at(i + k)));
                tokens.push_back(sb(at(i + 5)) + ")");
                i += 6;
                break;
            case 12:
                tokens.push_back("(" + sb(at(i + 1)));
                tokens.push_back(sb(at(i + 2)));
                tokens.push_back(sb(at(i + 3)) + ")");
                i += 4;
                break;
            case 13:
                i += 1;
                for (;;) {
                    if (at(i) == 0 && at(i + 1) == 0) {
                        tokens.push_back("(0");
                        tokens.push_back("0)");
                        i += 2;
                        break;
                    }
                    tokens.push_back("(" + sb(at(i)));
                    tokens.push_back(sb(at(i + 1)));
                    tokens.push_back(sb(at(i + 2)) + ")");
                    i += 3;
                    if (i >= c.size()) break;
                }
                break;
            default: i += 1; break;
            }
        }
        std::string line;
        for (std::size_t k = 0; k < tokens.size(); ++k) {
            line += tokens[k];
            const bool last = k + 1 == tokens.size();
            if (!last) line += ",";
            if (last || (tokens_per_line && (k + 1) % tokens_per_line == 0)) {
                out += line + nl;
                line.clear();
            }
        }
    }
    if (end == Line_End::None_At_End && !out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

inline bool write_file(const std::string& path, const void* data, std::size_t n)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = n == 0 || std::fwrite(data, 1, n, f) == n;
    return std::fclose(f) == 0 && ok;
}

inline bool write_file(const std::string& path, const Bytes& b) { return write_file(path, b.data(), b.size()); }
inline bool write_file(const std::string& path, const std::string& s) { return write_file(path, s.data(), s.size()); }

}  // namespace shx_writer
