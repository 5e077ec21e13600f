#pragma once

// Helpers for the stream tests: files written through MB_File_IO and read back as bytes,
// readers over given bytes (a real file, or a source that hands out one byte per read),
// and byte strings written as hex.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "kernel/database/drawing.h"
#include "kernel/stream/file_io.h"

namespace stream_test {

using Bytes = std::string;

// "03 00 61" -> the three bytes.
inline Bytes hex(const char* text)
{
    Bytes out;
    for (const char* p = text; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        out += static_cast<char>(std::strtoul(std::string(p, 2).c_str(), nullptr, 16));
        p += 2;
    }
    return out;
}

// The 8 bytes of a double as they lie in memory (little-endian on the targets).
inline Bytes le_double(double v)
{
    unsigned char b[8];
    std::memcpy(b, &v, 8);
    return Bytes(reinterpret_cast<const char*>(b), 8);
}

// A 4-byte little-endian long.
inline Bytes le_long(mb_long v)
{
    Bytes out;
    for (int i = 0; i < 4; ++i) out += static_cast<char>((static_cast<mb_ulong>(v) >> (8 * i)) & 0xFF);
    return out;
}

// A string's stream form: its byte count as a long, then the bytes.
inline Bytes counted(const std::string& text)
{
    return le_long(static_cast<mb_long>(text.size())) + text;
}

inline std::string to_hex(const Bytes& b)
{
    static const char* d = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : b) {
        if (!out.empty()) out += ' ';
        out += d[c >> 4];
        out += d[c & 15];
    }
    return out;
}

// Exact equality of points (the stream carries doubles bit for bit).
inline ::testing::AssertionResult pt_eq(const Qe_Pt& a, const Qe_Pt& b)
{
    if (a.x() == b.x() && a.y() == b.y() && a.z() == b.z()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.x() << ", " << a.y() << ", " << a.z() << ") != (" << b.x()
                                         << ", " << b.y() << ", " << b.z() << ")";
}

// A single-byte opcode.
inline MB_Opcode single(unsigned char byte)
{
    MB_Opcode op;
    op.set(MB_Opcode::Single_Byte, 1, &byte);
    return op;
}

class Temp_File {
public:
    Temp_File()
    {
        char name[] = "/tmp/vkt_test_XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd >= 0) ::close(fd);
        m_path = name;
    }
    ~Temp_File() { std::remove(m_path.c_str()); }
    const char* path() const { return m_path.c_str(); }
    Bytes contents() const
    {
        std::ifstream in(m_path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    void contents(const Bytes& b) const
    {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out.write(b.data(), static_cast<std::streamsize>(b.size()));
    }

private:
    std::string m_path;
};

inline const Bytes k_header = "(VKT VA0451)";
inline const Bytes k_trailer = "\r\n(EndOfVKT)\r\n";

// A drawing and a file object bound to it and to a temporary file.
struct Stream {
    Stream() { io.drawing(&drawing); drawing.set_filename(file.path()); }

    MB_Result open_write(bool binary = true)
    {
        io.heuristics().set_allow_binary_data(binary);
        io.set_file_mode(MB_File_IO::Mode_Write);
        return io.open();
    }
    // What was written between the header and the trailer; the file object is closed.
    Bytes body()
    {
        EXPECT_EQ(io.close(), 0);
        const Bytes all = file.contents();
        if (all.size() < k_header.size() + k_trailer.size()) return "<short file>";
        if (all.compare(0, k_header.size(), k_header) != 0) return "<no header>";
        if (all.compare(all.size() - k_trailer.size(), k_trailer.size(), k_trailer) != 0) return "<no trailer>";
        return all.substr(k_header.size(), all.size() - k_header.size() - k_trailer.size());
    }
    // Opens the file holding exactly these bytes for reading (no header is expected).
    MB_Result open_read(const Bytes& bytes)
    {
        file.contents(bytes);
        io.set_file_mode(MB_File_IO::Mode_Read);
        return io.open();
    }
    // Streams written from this revision on carry colours as red, green, blue, alpha.
    void modern() { io.rendition()->drawing_info().set_major_revision(1); }

    Temp_File file;
    MB_Drawing drawing;
    MB_File_IO io;
};

// A source that hands out one byte per read call and reports "no data yet" in between,
// as a pipe or a file still being written does. It cannot seek, so its size is unknown.
struct Trickle {
    Bytes data;
    std::size_t pos = 0;
    bool give = true;

    static ssize_t read(void* cookie, char* buf, size_t)
    {
        auto* t = static_cast<Trickle*>(cookie);
        if (t->pos >= t->data.size()) return 0;
        t->give = !t->give;
        if (t->give) {
            errno = EAGAIN;
            return -1;
        }
        buf[0] = t->data[t->pos++];
        return 1;
    }
    static int close(void* cookie)
    {
        delete static_cast<Trickle*>(cookie);
        return 0;
    }
};

// Hands the file object a trickling source over the bytes; the file object closes it.
inline void trickle(MB_File_IO& io, const Bytes& bytes)
{
    auto* t = new Trickle{bytes};
    cookie_io_functions_t fns{&Trickle::read, nullptr, nullptr, &Trickle::close};
    FILE* f = fopencookie(t, "r", fns);
    io.set_file_mode(MB_File_IO::Mode_Read);
    io.set_stream_user_data(f);
}

// Repeats a resumable call while the source has not delivered enough: a short read
// (Waiting_For_Data) or a read call that got no byte at all (Nothing_Read). The number of
// calls is bounded.
template <class F>
MB_Result until_done(F call, int* calls = nullptr)
{
    MB_Result r;
    int n = 0;
    do {
        r = call();
        ++n;
    } while ((r == MB_Result::Waiting_For_Data || r == MB_Result::Nothing_Read) && n < 100000);
    if (calls) *calls = n;
    return r;
}

}  // namespace stream_test
