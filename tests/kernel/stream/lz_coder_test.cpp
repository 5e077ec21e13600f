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

#include "geometry/pt_set.h"
#include "kernel/database/color_map.h"
#include "kernel/database/mb_string.h"
#include "kernel/stream/compressed_data.h"
#include "kernel/stream/stream_fixture.h"

using namespace stream_test;

namespace {

const Bytes k_marker = hex("7B 00 00 00 00 10 00");

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

const Reference_Table& table()
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
Bytes compress(const Bytes& data, std::size_t piece = 0, std::mt19937* random_pieces = nullptr)
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
MB_Result switch_on(MB_File_IO& io)
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

Production_Result production_decode(const Bytes& stretch, std::size_t n, std::size_t piece, bool modern = true,
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

Bytes le16(unsigned v)
{
    return Bytes{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

// A hand-made stretch: marker, tokens, end token, "}".
Bytes stretch(const Bytes& tokens)
{
    return k_marker + tokens + hex("00 7D");
}

// Text that looks like a stream: keywords, digit strings, colour entries, repeats of
// earlier pieces and some noise.
Bytes stream_like(std::mt19937& rng, std::size_t n)
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

// The dictionary

TEST(LZ_Dictionary, ReferenceTableIsTheLeastDeBruijnSequence)
{
    const Bytes d = Reference_Table::de_bruijn();
    ASSERT_EQ(d.size(), 10000u);
    EXPECT_EQ(d.substr(0, 12), "000010002000");
    std::set<Bytes> seen;
    const Bytes cyclic = d + d.substr(0, 3);
    for (std::size_t i = 0; i < 10000; ++i) seen.insert(cyclic.substr(i, 4));
    EXPECT_EQ(seen.size(), 10000u);
}

TEST(LZ_Dictionary, ProbesThroughTheDecompressor)
{
    const Bytes digits = table().bytes.substr(1464, 10003);
    const Bytes probe4 = hex("10") + le16(12058);
    Bytes walk;
    for (int i = 0; i < 5; ++i) walk += probe4;
    struct Case {
        const char* name;
        Bytes tokens;
        Bytes expected;
    } cases[] = {
        {"segment 1 start", hex("10") + le16(13522), "(Das"},
        {"digits", probe4, "0000"},
        {"digits walk", walk, digits.substr(0, 20)},
        {"64 digits", hex("F0 2E") + le16(12058), digits.substr(0, 64)},
        {"colour-map header", hex("50") + le16(13522 - 65), hex("7B 04 04 00 00 01 00 00")},
        {"keyword text", hex("E0") + le16(13522 - 1097), "(NamedView (Autho"},
        {"segment 5 header", hex("50") + le16(13522 - 11467), hex("7B 04 04 00 00 01 00 00")},
    };
    for (const Case& c : cases) {
        const Production_Result p = production_decode(stretch(c.tokens), c.expected.size(), c.expected.size());
        EXPECT_EQ(p.result, 0) << c.name;
        EXPECT_EQ(to_hex(p.out), to_hex(c.expected)) << c.name;
    }
}

// Reads the known parts of the table out in 273-byte matches with one offset: the history
// grows by each match, so the same offset walks on.
TEST(LZ_Dictionary, KnownSegmentsByteForByte)
{
    struct Part {
        std::size_t at, length;
    } parts[] = {{0, 1097}, {1097, 124}, {1464, 10003}, {11467, 8}};
    for (const Part& part : parts) {
        Bytes tokens;
        for (std::size_t left = part.length; left > 0;) {
            const std::size_t m = std::min<std::size_t>(left, 273);
            if (m >= 18)
                tokens += hex("F0") + static_cast<char>(m - 18);
            else
                tokens += static_cast<char>((m - 3) << 4);
            tokens += le16(static_cast<unsigned>(13522 - part.at));
            left -= m;
        }
        const Production_Result p = production_decode(stretch(tokens), part.length, 997);
        EXPECT_EQ(p.result, 0) << part.at;
        EXPECT_TRUE(p.out == table().bytes.substr(part.at, part.length)) << part.at;
    }
}

// Streams of revision 22 and below count the offset from the oldest byte held.
TEST(LZ_Dictionary, LegacyOffsetsCountFromTheOldestByte)
{
    const Production_Result p = production_decode(stretch(hex("10") + le16(0)), 4, 4, false);
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.out, "(Das");
}

// The offset rule changes between revisions 22 and 23: an offset counted from the oldest
// byte held reads the table's first bytes at 0; counted back from the newest, they lie
// 13,523 bytes back. Each offset read under the other rule lands in unknown table text.
TEST(LZ_Dictionary, OffsetRuleChangesAfterRevision22)
{
    struct Case {
        int revision;
        unsigned offset;
        bool sound;
    } cases[] = {{21, 0, true}, {22, 0, true}, {22, 13522, false}, {23, 13522, true}, {23, 0, false}, {100, 13522, true}};
    for (const Case& c : cases) {
        Stream s;
        s.io.rendition()->drawing_info().set_minor_revision(c.revision);
        ASSERT_EQ(s.open_read(stretch(hex("10") + le16(c.offset)) + "tail"), 0);
        ASSERT_EQ(switch_on(s.io), 0);
        unsigned char buf[4];
        const MB_Result r = until_done([&] { return s.io.read(4, buf); });
        if (c.sound) {
            EXPECT_EQ(r, 0) << c.revision << " " << c.offset;
            EXPECT_EQ(Bytes(reinterpret_cast<const char*>(buf), 4), "(Das") << c.revision << " " << c.offset;
        } else {
            EXPECT_EQ(r, MB_Result::Invalid_Data) << c.revision << " " << c.offset;
        }
    }
}

// A match exactly 65,536 bytes back, the far edge of the history, is found by the
// compressor (as the only candidate, and behind a shorter newer one) and read back.
TEST(LZ_Coder, MatchAtTheFarEdgeOfTheHistory)
{
    // 65,536 bytes in which no four-byte string occurs twice: nothing but the far copy
    // can match the start again.
    Bytes u;
    for (unsigned seed = 1;; ++seed) {
        std::mt19937 rng(seed);
        u.assign(65536, '\0');
        for (char& c : u) c = static_cast<char>(rng() & 0xFF);
        std::set<Bytes> grams;
        for (std::size_t i = 0; i + 4 <= u.size(); ++i) grams.insert(u.substr(i, 4));
        if (grams.size() == u.size() - 3) break;
        ASSERT_LT(seed, 50u);
    }
    // The same start, 30,000 bytes on, followed by a byte that ends the match at 4.
    Bytes shadowed = u;
    shadowed.replace(30000, 5, u.substr(0, 4) + static_cast<char>(u[4] ^ 0x55));
    for (const Bytes* head : {&u, &shadowed}) {
        const Bytes data = *head + u.substr(0, 40);
        const Bytes body = compress(data);
        Reference_Decoder ref;
        ASSERT_TRUE(ref.decode(body.substr(7)));
        // The tail is one match of 40 bytes from 65,536 bytes back.
        EXPECT_EQ(ref.last_distance, 65536u) << (head == &u ? "only" : "shadowed");
        EXPECT_EQ(ref.last_length, 40) << (head == &u ? "only" : "shadowed");
        EXPECT_TRUE(ref.out == data);
        const Production_Result p = production_decode(body + "tail", data.size(), 4096);
        EXPECT_EQ(p.result, 0);
        EXPECT_TRUE(p.out == data);
    }
}

// References the decompressor refuses instead of producing wrong bytes.
TEST(LZ_Decompressor, BadReferencesFailWithInvalidData)
{
    const unsigned unknown_text = 13522 - (1097 + 124);
    struct Case {
        const char* name;
        Bytes stream;
        bool modern;
    } cases[] = {
        {"before the history", stretch(hex("10") + le16(65535)), true},
        {"just before the history", stretch(hex("10") + le16(13523)), true},
        {"unknown keyword text", stretch(hex("10") + le16(unknown_text)), true},
        {"running into unknown text", stretch(hex("10") + le16(unknown_text + 2)), true},
        {"unknown colour entries", stretch(hex("10") + le16(13522 - 11475)), true},
        {"header running into unknown entries", stretch(hex("60") + le16(13522 - 11467)), true},
        {"legacy offset past the end", stretch(hex("10") + le16(13523)), false},
        {"stretch not closed by }", k_marker + hex("03 61 62 63 00 58"), true},
    };
    for (const Case& c : cases) {
        Stream s;
        if (c.modern) s.modern();
        ASSERT_EQ(s.open_read(c.stream + "plain tail"), 0);
        ASSERT_EQ(switch_on(s.io), 0);
        unsigned char buf[32];
        for (int attempt = 0; attempt < 3; ++attempt) {
            const MB_Result r = until_done([&] { return s.io.read(16, buf); });
            EXPECT_EQ(r, MB_Result::Invalid_Data) << c.name << " attempt " << attempt;
        }
    }
}

TEST(LZ_Decompressor, TruncatedStretchesFailAtEveryOffset)
{
    const Bytes data = "(Color (ColorMap 0000 (Color (ColorMap some literal text 0001 0002";
    const Bytes body = compress(data);
    const std::size_t end = body.size();
    for (std::size_t cut = 7; cut < end; ++cut) {
        const Production_Result p = production_decode(body.substr(0, cut), data.size() + 1, data.size() + 1);
        EXPECT_NE(p.result, 0) << cut;
    }
}

// Token shapes of the compressor

TEST(LZ_Compressor, LiteralRunsFlushAt270)
{
    // 300 bytes in which no four-byte string repeats or occurs in the table.
    Bytes data;
    for (int i = 0; i < 150; ++i) {
        data += static_cast<char>(0x81 + i / 100);
        data += static_cast<char>(1 + i % 100);
    }
    const Bytes body = compress(data);
    const Bytes expected = k_marker + hex("0F FF") + data.substr(0, 270) + hex("0F 0F") + data.substr(270) + hex("00 7D");
    EXPECT_EQ(to_hex(body), to_hex(expected));
}

TEST(LZ_Compressor, MatchShapes)
{
    const Bytes x = hex("81 01 82 02 83 03 84 04 85 05 86 06 87 07 88 08 89 09");  // 18 bytes
    struct Case {
        const char* name;
        Bytes data;
        Bytes expected;
    } cases[] = {
        // 18 literals, then an 18-byte match 18 bytes back: match code 15, extension 0.
        {"18-byte match", x + x, hex("FF 03") + x + hex("00") + le16(17)},
        {"18-byte match then a literal", x + x + hex("FE"), hex("FF 03") + x + hex("00") + le16(17) + hex("01 FE")},
        {"4-byte match", x + x.substr(0, 4) + hex("FE"),
         hex("1F 03") + x + le16(17) + hex("01 FE")},
        // Text of the table at the start of a stream is one match into it.
        {"dictionary text", "(Color (ColorMap ", hex("E0") + le16(static_cast<unsigned>(13523 - table().bytes.find("(Color (ColorMap ") - 1))},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(to_hex(compress(c.data)), to_hex(k_marker + c.expected + hex("00 7D"))) << c.name;
        EXPECT_EQ(to_hex(compress(c.data, 1)), to_hex(k_marker + c.expected + hex("00 7D"))) << c.name << " byte by byte";
    }
}

// Streams for revision 36 and below leave the first 65 bytes of the table out of the
// compressor's history; the decompressor holds the whole table either way.
TEST(LZ_Compressor, OldTargetRevisionsSkipTheFirstKeywords)
{
    const Bytes text = "(Viewport (CodePage (Comment (Created ";
    for (int revision : {36, 37}) {
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        s.io.heuristics().set_target_revision(revision);
        s.io.heuristics().set_allow_data_compression(true);
        EXPECT_EQ(s.io.write(text.c_str()), 0);
        const Bytes body = s.body();
        Reference_Decoder ref;
        ASSERT_TRUE(ref.decode(body.substr(7))) << revision;
        EXPECT_EQ(ref.out, text);
        // "(Viewport (CodePage " stands only in the first 65 bytes.
        EXPECT_EQ(ref.lowest_source >= 65, revision == 36) << to_hex(body);
        const Production_Result p = production_decode(body, text.size(), 5);
        EXPECT_EQ(p.result, 0);
        EXPECT_EQ(p.out, text);
    }
}

// Round trips

TEST(LZ_Coder, RoundTripsAgainstTheReferenceDecoder)
{
    std::mt19937 rng(4242);
    std::vector<std::pair<const char*, Bytes>> data;
    Bytes random(20000, '\0');
    for (char& c : random) c = static_cast<char>(rng() & 0xFF);
    data.emplace_back("random", random);
    data.emplace_back("one byte repeated", Bytes(100000, 'x'));
    data.emplace_back("two bytes repeated", [] {
        Bytes b;
        for (int i = 0; i < 30000; ++i) b += "ab";
        return b;
    }());
    data.emplace_back("stream-like", stream_like(rng, 50000));
    Bytes block;
    for (int i = 0; i < 50; ++i) block += random.substr(0, 1000);
    data.emplace_back("block repeated", block);
    // Past the 65,536-byte history: the dictionary and early bytes drop out.
    data.emplace_back("long stream-like", stream_like(rng, 200000));
    data.emplace_back("table text", table().bytes.substr(0, 1221) + table().bytes.substr(1464, 10003));
    data.emplace_back("one byte", "a");

    for (const auto& [name, d] : data) {
        std::mt19937 pieces(7);
        const Bytes variants[] = {compress(d), compress(d, 1), compress(d, 0, &pieces)};
        for (int v = 0; v < 3; ++v) {
            const Bytes& body = variants[v];
            ASSERT_EQ(body.compare(0, 7, k_marker), 0) << name << v;
            Reference_Decoder ref;
            ASSERT_TRUE(ref.decode(body.substr(7))) << name << v;
            EXPECT_EQ(ref.used, body.size() - 7) << name << v;
            EXPECT_TRUE(ref.out == d) << name << v;
            EXPECT_LE(ref.longest_match, 273) << name << v;
            const Production_Result p = production_decode(body + "tail", d.size(), v == 0 ? 4096 : 333);
            EXPECT_EQ(p.result, 0) << name << v;
            EXPECT_TRUE(p.out == d) << name << v;
        }
        // Repeats are coded as matches of at most 273 bytes; a run of one byte, searched
        // from its newest position, finds matches bounded by the chain walk.
        Reference_Decoder ref;
        ref.decode(variants[0].substr(7));
        if (Bytes(name) == "block repeated") {
            EXPECT_EQ(ref.longest_match, 273);
        }
        if (Bytes(name).find("repeated") != Bytes::npos) {
            EXPECT_LT(variants[0].size(), d.size() / 10) << name;
        }
    }
}

TEST(LZ_Coder, ReadsFromATricklingSource)
{
    std::mt19937 rng(99);
    const Bytes d = stream_like(rng, 5000);
    const Bytes body = compress(d);
    const Production_Result p = production_decode(body + "tail", d.size() + 4, 37, true, true);
    EXPECT_EQ(p.result, 0);
    EXPECT_TRUE(p.out == d + "tail");
}

// Seeded random token streams, valid or not, decoded by both decoders: they agree on the
// bytes and on whether the stream is sound.
TEST(LZ_Decompressor, AgreesWithTheReferenceOnRandomTokens)
{
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        Bytes tokens;
        std::size_t produced = 13523;
        const int count = 1 + static_cast<int>(rng() % 40);
        for (int t = 0; t < count; ++t) {
            const int literals = static_cast<int>(rng() % 40 == 0 ? 15 + rng() % 256 : rng() % 15);
            const int code = static_cast<int>(rng() % 16);
            tokens += static_cast<char>(std::min(literals, 15) | (code << 4));
            if (literals >= 15) tokens += static_cast<char>(literals - 15);
            for (int i = 0; i < literals; ++i) tokens += static_cast<char>(rng() & 0xFF);
            produced += static_cast<std::size_t>(literals);
            if (code == 0) continue;
            int length = code + 3;
            if (code == 15) {
                const int e = static_cast<int>(rng() % 256);
                tokens += static_cast<char>(e);
                length = 18 + e;
            }
            // Mostly references inside the history, some before it.
            const std::size_t held = std::min<std::size_t>(produced, 65536);
            const unsigned v = rng() % 10 == 0 ? static_cast<unsigned>(rng() % 65536)
                                                : static_cast<unsigned>(rng() % std::min<std::size_t>(held, 3000));
            tokens += le16(v);
            produced += static_cast<std::size_t>(length);
        }
        const Bytes s = stretch(tokens);
        Reference_Decoder ref;
        const bool sound = ref.decode(s.substr(7));
        const std::size_t n = sound ? ref.out.size() : 1 << 20;
        const Production_Result p = production_decode(s + "tail", n, 1 + rng() % 500);
        if (sound) {
            EXPECT_EQ(p.result, 0) << round;
            EXPECT_TRUE(p.out == ref.out) << round;
        } else {
            EXPECT_EQ(p.result, MB_Result::Invalid_Data) << round;
            EXPECT_TRUE(ref.out.compare(0, p.out.size(), p.out) == 0) << round;
        }
    }
}

// Through the file object

TEST(LZ_File_IO, RecordsRoundTripCompressed)
{
    const Qe_Pt pts[4] = {Qe_Pt(1, 2, 3), Qe_Pt(4, 6, 3), Qe_Pt(7, 8, 9), Qe_Pt(-1.5, 1e10, 0)};
    auto write_all = [&](MB_File_IO& f) {
        for (int i = 0; i < 50; ++i) {
            EXPECT_EQ(MB_String("a layer name").serialize(f, 0), 0);
            EXPECT_EQ(f.write(Qe_Pt_Set(4, pts)), 0);
            EXPECT_EQ(f.write_count(300 + i), 0);
            EXPECT_EQ(f.write_double(i * 0.25), 0);
            EXPECT_EQ(f.write("(Color "), 0);
            EXPECT_EQ(f.write_quoted_string("quoted text", 1), 0);
        }
    };
    Bytes plain;
    {
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        write_all(s.io);
        plain = s.body();
    }
    Stream s;
    ASSERT_EQ(s.open_write(), 0);
    s.io.heuristics().set_allow_data_compression(true);
    write_all(s.io);
    EXPECT_EQ(s.io.close(), 0);
    const Bytes all = s.file.contents();
    // Header, marker, tokens, end token and "}", trailer.
    ASSERT_EQ(all.compare(0, k_header.size(), k_header), 0);
    ASSERT_EQ(all.compare(k_header.size(), 7, k_marker), 0);
    ASSERT_EQ(all.compare(all.size() - k_trailer.size() - 2, 2 + k_trailer.size(), hex("00 7D") + k_trailer), 0);
    EXPECT_LT(all.size(), plain.size() / 4);
    // The compression flag survives the close.
    EXPECT_TRUE(s.io.heuristics().allow_data_compression());

    Reference_Decoder ref;
    ASSERT_TRUE(ref.decode(all.substr(k_header.size() + 7)));
    EXPECT_TRUE(ref.out == plain);

    Stream r;
    r.modern();
    ASSERT_EQ(r.open_read(all), 0);
    unsigned char header[12];
    ASSERT_EQ(r.io.read(12, header), 0);
    ASSERT_EQ(switch_on(r.io), 0);
    EXPECT_EQ(r.io.data_decompression(), 16);
    r.drawing.position(Qe_Pt());
    for (int i = 0; i < 50; ++i) {
        MB_String name;
        ASSERT_EQ(name.materialize(r.io), 0) << i;
        EXPECT_STREQ(name.ascii(), "a layer name");
        Qe_Pt_Set set;
        ASSERT_EQ(r.io.read(set), 0) << i;
        ASSERT_EQ(set.count(), 4);
        for (int k = 0; k < 4; ++k) EXPECT_TRUE(pt_eq(set[k], pts[k]));
        int count = 0;
        ASSERT_EQ(r.io.read_count(count), 0);
        EXPECT_EQ(count, 300 + i);
        double d = 0;
        ASSERT_EQ(r.io.read_double(d), 0);
        EXPECT_EQ(d, i * 0.25);
        // "(Color " and "'quoted text'" passed over with a deferred skip.
        ASSERT_EQ(r.io.skip(7 + 13), 0);
    }
    // The stretch ends, its "}" is checked, and plain bytes follow.
    char trailer[14];
    ASSERT_EQ(r.io.read(14, trailer), 0);
    EXPECT_EQ(Bytes(trailer, 14), k_trailer);
    EXPECT_EQ(r.io.data_decompression(), 0);
    unsigned char more;
    EXPECT_NE(r.io.read(more), 0);
}

TEST(LZ_File_IO, WhenNothingIsCompressed)
{
    // No bytes after the header: no compressor, no stretch.
    {
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        s.io.heuristics().set_allow_data_compression(true);
        EXPECT_EQ(s.io.write(0, static_cast<const unsigned char*>(nullptr)), 0);
        EXPECT_EQ(s.body(), "");
    }
    // An ASCII stream cannot carry the marker: it is written plain.
    {
        Stream s;
        ASSERT_EQ(s.open_write(false), 0);
        s.io.heuristics().set_allow_data_compression(true);
        EXPECT_EQ(s.io.write("(Color 1 2 3)"), 0);
        EXPECT_EQ(s.body(), "(Color 1 2 3)");
    }
    // Turning compression off ends the stretch; what follows is plain.
    {
        Stream s;
        ASSERT_EQ(s.open_write(), 0);
        s.io.heuristics().set_allow_data_compression(true);
        EXPECT_EQ(s.io.write("abc"), 0);
        s.io.heuristics().set_allow_data_compression(false);
        EXPECT_EQ(s.io.write("xyz"), 0);
        EXPECT_EQ(to_hex(s.body()), to_hex(k_marker + hex("03 61 62 63 00 7D") + "xyz"));
    }
    // The marker record alone: binary only.
    {
        Stream s;
        ASSERT_EQ(s.open_write(false), 0);
        MB_Compressed_Data marker;
        EXPECT_EQ(marker.serialize(s.io), MB_Result::No_File_Name);
        EXPECT_EQ(s.body(), "");
    }
}

TEST(LZ_File_IO, MarkerRecord)
{
    Stream s;
    ASSERT_EQ(s.open_read("x"), 0);
    MB_Compressed_Data record;
    EXPECT_EQ(record.object_id(), 16);
    EXPECT_EQ(record.object_type(), 3);
    MB_Opcode ascii;
    ascii.set(MB_Opcode::Extended_Ascii, 4, reinterpret_cast<const unsigned char*>("(Foo"));
    EXPECT_EQ(record.materialize(ascii, s.io), MB_Result::Invalid_Data);
    EXPECT_EQ(record.skip_operand(ascii, s.io), MB_Result::Invalid_Data);
    MB_Opcode op;
    op.set(MB_Opcode::Extended_Binary, 7, reinterpret_cast<const unsigned char*>(hex("7B 00 00 00 00 23 01").data()));
    ASSERT_EQ(record.materialize(op, s.io), 0);
    EXPECT_EQ(record.opcode(), 291);
    EXPECT_EQ(record.process(s.io), 0);
    EXPECT_EQ(s.io.data_decompression(), 291);
    // A second marker is refused and the mode stays.
    MB_Compressed_Data second(16);
    EXPECT_EQ(second.process(s.io), MB_Result::Invalid_Data);
    EXPECT_EQ(s.io.data_decompression(), 291);
}

// A sink that takes a given number of bytes and then refuses every write.
struct Failing_Sink {
    std::size_t room;
    static ssize_t write(void* cookie, const char*, size_t n)
    {
        auto* sink = static_cast<Failing_Sink*>(cookie);
        // No progress is how a cookie reports a failed write (stdio ignores -1 here).
        if (sink->room == 0) {
            errno = ENOSPC;
            return 0;
        }
        const std::size_t k = std::min(n, sink->room);
        sink->room -= k;
        return static_cast<ssize_t>(k);
    }
    static int close(void* cookie)
    {
        delete static_cast<Failing_Sink*>(cookie);
        return 0;
    }
};

// A failing file is reported by the write that meets it, or at the latest by close.
TEST(LZ_File_IO, WriteFailuresAreReported)
{
    std::mt19937 rng(5);
    const Bytes d = stream_like(rng, 20000);
    for (std::size_t room : {0, 3, 7, 8, 100, 1000, 5000}) {
        cookie_io_functions_t fns{nullptr, &Failing_Sink::write, nullptr, &Failing_Sink::close};
        FILE* f = fopencookie(new Failing_Sink{room}, "w", fns);
        ASSERT_NE(f, nullptr);
        setvbuf(f, nullptr, _IONBF, 0);
        MB_File_IO io;
        io.set_file_mode(MB_File_IO::Mode_Write);
        io.set_stream_user_data(f);
        io.heuristics().set_allow_data_compression(true);
        MB_Result first;
        for (std::size_t at = 0; at < d.size() && first == 0; at += 100)
            first = io.write(100, reinterpret_cast<const unsigned char*>(d.data() + at));
        const MB_Result closing = io.close();
        EXPECT_EQ(first != 0 ? first : closing, MB_Result::Write_Failed) << room;
    }
}

// Seeded mutations and truncations of compressed record streams: every read ends with a
// result, inside its buffers (the sanitizers check the rest).
TEST(LZ_File_IO, MutatedStreamsFailCleanly)
{
    std::mt19937 rng(20240611);
    const Bytes d = stream_like(rng, 3000);
    const Bytes body = compress(d);
    for (int round = 0; round < 600; ++round) {
        Bytes b = body;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i) b[7 + rng() % (b.size() - 7)] = static_cast<char>(rng() & 0xFF);
        if (rng() % 4 == 0) b.resize(7 + rng() % (b.size() - 7));
        Stream s;
        s.modern();
        ASSERT_EQ(s.open_read(b), 0);
        ASSERT_EQ(switch_on(s.io), 0);
        unsigned char buf[257];
        MB_Result r;
        // Bounded: each read takes at least one byte or fails.
        for (int reads = 0; reads < 100000 && r == 0; ++reads) {
            r = s.io.read(1 + static_cast<int>(rng() % 256), buf);
            if (r == 0 && rng() % 8 == 0) r = s.io.skip(static_cast<int>(rng() % 100));
        }
        EXPECT_NE(r, 0);
    }
}

}  // namespace

namespace {

// A length inside a compressed stretch is checked against what the rest of the file could
// at most expand to, so a tiny file cannot make the reader allocate megabytes first.
TEST(LZ_File_IO, LengthsInsideAStretchAreBoundedByTheFile)
{
    Stream s;
    ASSERT_EQ(s.open_write(), 0);
    s.io.heuristics().set_allow_data_compression(true);
    const unsigned char huge_string[] = {0xFF, 0xFF, 0xFF, 0x00, 'a', 'b', 'c'};
    ASSERT_EQ(s.io.write(7, huge_string), 0);
    EXPECT_EQ(s.io.close(), 0);
    const Bytes all = s.file.contents();

    Stream r;
    r.modern();
    ASSERT_EQ(r.open_read(all), 0);
    unsigned char header[12];
    ASSERT_EQ(r.io.read(12, header), 0);
    ASSERT_EQ(switch_on(r.io), 0);
    MB_String name("kept");
    EXPECT_EQ(name.materialize(r.io), MB_Result::Invalid_Data);
    EXPECT_EQ(name, MB_String("kept"));
    // A length the stretch can deliver is still read.
    Stream w;
    ASSERT_EQ(w.open_write(), 0);
    w.io.heuristics().set_allow_data_compression(true);
    const std::string long_text(5000, 'x');  // compresses far below 5000 bytes
    ASSERT_EQ(MB_String(long_text.c_str()).serialize(w.io, 0), 0);
    EXPECT_EQ(w.io.close(), 0);
    Stream r2;
    r2.modern();
    ASSERT_EQ(r2.open_read(w.file.contents()), 0);
    ASSERT_EQ(r2.io.read(12, header), 0);
    ASSERT_EQ(switch_on(r2.io), 0);
    MB_String back;
    ASSERT_EQ(back.materialize(r2.io), 0);
    EXPECT_EQ(back.length(), 5000);
}

}  // namespace

// The coder's output is pinned byte for byte: a corpus of stretches coded from inputs built
// here, each fed whole, in pieces and byte by byte (the three differ by design), is stored
// under tests/data/lz_corpus. scripts/make_lz_corpus writes it again from the coder as it
// stands (FENDRAL_LZ_CORPUS_WRITE set); only a deliberate change of the format may do that.
TEST(LZ_Compressor, OutputsEqualTheStoredCorpus)
{
    std::mt19937 rng(39);
    Bytes random_bytes(70000, '\0');
    for (char& c : random_bytes) c = static_cast<char>(rng() & 0xFF);
    Bytes runs;
    for (int i = 0; runs.size() < 100000; ++i) runs += Bytes(static_cast<std::size_t>(1 + i % 300), static_cast<char>('a' + i % 7));
    Bytes keywords;
    while (keywords.size() < 80000) keywords += table().bytes.substr(1097 + rng() % 90, 3 + rng() % 40) + "0.25 ";
    const std::pair<const char*, Bytes> inputs[] = {
        {"stream", stream_like(rng, 200000)},
        {"random", random_bytes},
        {"runs", runs},
        {"keywords", keywords},
    };
    const char* write_dir = std::getenv("FENDRAL_LZ_CORPUS_WRITE");
    const std::string dir = std::string(FENDRAL_TEST_DATA_DIR) + "/lz_corpus/";
    for (const auto& [name, data] : inputs) {
        const std::pair<const char*, std::size_t> feeds[] = {{"whole", 0}, {"pieces", 997}, {"bytes", 1}};
        for (const auto& [feed, piece] : feeds) {
            // Byte by byte over the first 20,000 bytes only: the same paths, a bounded time.
            const Bytes in = piece == 1 ? data.substr(0, 20000) : data;
            const Bytes coded = compress(in, piece);
            const std::string file = dir + name + "-" + feed + ".lz";
            if (write_dir) {
                std::ofstream(file, std::ios::binary).write(coded.data(), static_cast<std::streamsize>(coded.size()));
                continue;
            }
            std::ifstream stored(file, std::ios::binary);
            ASSERT_TRUE(stored) << file;
            const Bytes want((std::istreambuf_iterator<char>(stored)), {});
            EXPECT_EQ(coded.size(), want.size()) << file;
            EXPECT_TRUE(coded == want) << file << ": the coded bytes differ from the stored ones";
            // And the library reads them back.
            EXPECT_EQ(production_decode(coded, in.size(), 4096).out, in) << file;
        }
    }
}

// A stream of a few MiB: the chain heads are counted from a base that moves up with the
// history more than once on the way, and the coded bytes are still the ones pinned here
// (their count and FNV-1a digest, fed in pieces of 997 bytes), which the coder gave before
// it kept its heads that way.
TEST(LZ_Compressor, LongStreamsCodeAsPinned)
{
    std::mt19937 rng(2024);
    Bytes d;
    while (d.size() < 2500000) {
        switch (rng() % 4) {
        case 0:
            d += "(Layer WALLS) ";
            break;
        case 1:
            d += std::to_string(rng() % 100000) + ' ';
            break;
        case 2:
            if (d.size() > 1000) d += d.substr(d.size() - 1 - rng() % 1000, 4 + rng() % 40);
            break;
        default:
            d += static_cast<char>(rng() & 0xFF);
        }
    }
    d.resize(2500000);
    const Bytes coded = compress(d, 997);
    std::uint64_t digest = 14695981039346656037ull;
    for (const char c : coded) {
        digest ^= static_cast<unsigned char>(c);
        digest *= 1099511628211ull;
    }
    EXPECT_EQ(coded.size(), 644405u);
    EXPECT_EQ(digest, 4192819583664590110ull);
    EXPECT_EQ(production_decode(coded, d.size(), 4096).out, d);
}
