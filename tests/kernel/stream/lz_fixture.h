#pragma once

// Helpers for the tests of the stream's LZ coder: a reference table and a reference
// decoder written from the token format's description, stretches coded and decoded
// through a file object, hand-made stretches and text shaped like a stream.

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "kernel/stream/compressed_data.h"
#include "kernel/stream/stream_fixture.h"

namespace lz_test {

using namespace stream_test;

inline const Bytes k_marker = hex("7B 00 00 00 00 10 00");

// The coder's table, built here from its description rather than from the library.
struct Reference_Table {
    Bytes bytes;
    std::vector<bool> known;

    Reference_Table() : bytes(13523, '\0'), known(13523, false)
    {
        auto put = [this](std::size_t at, const Bytes& b) {
            bytes.replace(at, b.size(), b);
            std::fill(known.begin() + static_cast<long>(at), known.begin() + static_cast<long>(at + b.size()), true);
        };
        put(0, "(DashPattern (LineStyle (Copyright (Keywords (Viewport (CodePage ");
        Bytes palette = hex("7B 04 04 00 00 01 00 00");
        const MB_Color_Map a(38);
        for (int i = 0; i < 256; ++i) {
            const MB_RGBA32 c = a.map(static_cast<unsigned char>(i));
            palette += static_cast<char>(c.blue());
            palette += static_cast<char>(c.green());
            palette += static_cast<char>(c.red());
            palette += static_cast<char>(c.alpha());
        }
        put(65, palette);
        put(1097,
            "(NamedView (Author (Background (Bezier (Bounds (Clip (Color (ColorMap (Comment (Created (Creator "
            "(Description (DrawingInfo )");
        const Bytes digits = de_bruijn();
        put(1464, digits + digits.substr(0, 3));
        put(11467, hex("7B 04 04 00 00 01 00 00"));
    }

    // Every Lyndon word over the digits of length 1, 2 or 4, found by brute force and
    // concatenated in lexicographic order.
    static Bytes de_bruijn()
    {
        std::vector<Bytes> words;
        for (int len : {1, 2, 4}) {
            int limit = 1;
            for (int i = 0; i < len; ++i) limit *= 10;
            for (int v = 0; v < limit; ++v) {
                Bytes w(static_cast<std::size_t>(len), '0');
                for (int i = len - 1, x = v; i >= 0; --i, x /= 10) w[static_cast<std::size_t>(i)] = static_cast<char>('0' + x % 10);
                bool lyndon = true;
                for (int r = 1; r < len && lyndon; ++r) lyndon = w < w.substr(static_cast<std::size_t>(r)) + w.substr(0, static_cast<std::size_t>(r));
                if (lyndon) words.push_back(w);
            }
        }
        std::sort(words.begin(), words.end());
        Bytes out;
        for (const Bytes& w : words) out += w;
        return out;
    }
};

inline const Reference_Table& table()
{
    static const Reference_Table t;
    return t;
}

// A decoder of the token format written from its description: the history is a plain
// string that keeps growing, and a reference is checked against the last 65,536 bytes.
struct Reference_Decoder {
    Bytes out;
    int longest_match = 0;
    int matches = 0;
    std::size_t lowest_source = SIZE_MAX;  // in the history, the table at 0
    std::size_t used = 0;  // bytes of the stretch consumed, "}" included
    std::size_t last_distance = 0;  // of the last match, and its length
    int last_length = 0;

    // The tokens start right after the marker; true when they decode and end with "}".
    bool decode(const Bytes& s)
    {
        Bytes history = table().bytes;
        const std::size_t dictionary = history.size();
        std::size_t i = 0;
        auto next = [&](int& v) {
            if (i >= s.size()) return false;
            v = static_cast<unsigned char>(s[i++]);
            return true;
        };
        for (;;) {
            int token = 0;
            if (!next(token)) return false;
            if (token == 0) break;
            int literals = token & 15, code = token >> 4, e = 0;
            if (literals == 15) {
                if (!next(e)) return false;
                literals += e;
            }
            if (i + static_cast<std::size_t>(literals) > s.size()) return false;
            history.append(s, i, static_cast<std::size_t>(literals));
            out.append(s, i, static_cast<std::size_t>(literals));
            i += static_cast<std::size_t>(literals);
            if (code == 0) continue;
            int length = code + 3;
            if (code == 15) {
                if (!next(e)) return false;
                length = 18 + e;
            }
            int lo = 0, hi = 0;
            if (!next(lo) || !next(hi)) return false;
            const std::size_t distance = static_cast<std::size_t>(lo + 256 * hi) + 1;
            if (distance > history.size() || distance > 65536) return false;
            std::size_t from = history.size() - distance;
            lowest_source = std::min(lowest_source, from);
            for (int k = 0; k < length; ++k, ++from) {
                if (from < dictionary && !table().known[from]) return false;
                history += history[from];
                out += history[from];
            }
            longest_match = std::max(longest_match, length);
            last_distance = distance;
            last_length = length;
            ++matches;
        }
        if (i >= s.size() || s[i] != '}') return false;
        used = i + 1;
        return true;
    }
};

// Writes the bytes through a file object with compression on, handing them over in the
// given pieces (0: all at once), and returns what stands between header and trailer.
inline Bytes compress(const Bytes& data, std::size_t piece = 0, std::mt19937* random_pieces = nullptr)
{
    Stream s;
    if (s.open_write() != 0) return "<open failed>";
    s.io.heuristics().set_allow_data_compression(true);
    for (std::size_t at = 0; at < data.size();) {
        std::size_t n = piece ? piece : data.size();
        if (random_pieces) n = 1 + (*random_pieces)() % 700;
        n = std::min(n, data.size() - at);
        if (s.io.write(static_cast<int>(n), reinterpret_cast<const unsigned char*>(data.data() + at)) != 0)
            return "<write failed>";
        at += n;
    }
    return s.body();
}

// Reads the marker through the compressed-data record, as the opcode reader does.
inline MB_Result switch_on(MB_File_IO& io)
{
    unsigned char marker[7];
    MB_Result r = until_done([&] { return io.read(7, marker); });
    if (r != 0) return r;
    MB_Opcode op;
    op.set(MB_Opcode::Extended_Binary, 7, marker);
    MB_Compressed_Data record;
    r = record.materialize(op, io);
    return r != 0 ? r : record.process(io);
}

// Decodes a stretch (marker first) with the library, reading n bytes in pieces of the
// given size, then the plain tail; the bytes read so far and the first failure.
struct Production_Result {
    Bytes out;
    MB_Result result;
};

inline Production_Result production_decode(const Bytes& stretch, std::size_t n, std::size_t piece, bool modern = true,
                                    bool trickling = false)
{
    Production_Result p;
    Stream s;
    if (modern) s.modern();
    if (trickling)
        trickle(s.io, stretch);
    else if ((p.result = s.open_read(stretch)) != 0)
        return p;
    if ((p.result = switch_on(s.io)) != 0) return p;
    std::vector<unsigned char> buf(std::max<std::size_t>(piece, 1));
    while (p.out.size() < n) {
        const int k = static_cast<int>(std::min(piece, n - p.out.size()));
        p.result = until_done([&] { return s.io.read(k, buf.data()); });
        if (p.result != 0) return p;
        p.out.append(reinterpret_cast<const char*>(buf.data()), static_cast<std::size_t>(k));
    }
    return p;
}

inline Bytes le16(unsigned v)
{
    return Bytes{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

// A hand-made stretch: marker, tokens, end token, "}".
inline Bytes stretch(const Bytes& tokens)
{
    return k_marker + tokens + hex("00 7D");
}

// Text that looks like a stream: keywords, digit strings, colour entries, repeats of
// earlier pieces and some noise.
inline Bytes stream_like(std::mt19937& rng, std::size_t n)
{
    static const char* words[] = {"(Color ", "(ColorMap ", "(Layer ", "(Comment ", "0.5", "-12.25", "(Viewport ",
                                  "'a layer' ", "\r\n", "(CodePage 1252)"};
    Bytes out;
    while (out.size() < n) {
        switch (rng() % 5) {
        case 0:
            out += words[rng() % 10];
            break;
        case 1:
            for (int i = 0; i < 6; ++i) out += static_cast<char>('0' + rng() % 10);
            break;
        case 2:
            out += table().bytes.substr(65 + 8 + 4 * (rng() % 256), 4);
            break;
        case 3:
            if (out.size() > 300) out += out.substr(out.size() - 1 - rng() % 300, 5 + rng() % 60);
            break;
        default:
            out += static_cast<char>(rng() & 0xFF);
        }
    }
    out.resize(n);
    return out;
}

}  // namespace lz_test
