// Our own BMP writer: a 24-bit uncompressed bitmap, rows bottom-up, every field little-endian.

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/image_codecs_p.h"

namespace platform {
namespace {

struct File_Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void put16(std::vector<std::uint8_t>& out, unsigned v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// Dots per inch to the header's pixels per metre.
std::uint32_t per_metre(long dpi) { return static_cast<std::uint32_t>(std::lround(dpi / 0.0254)); }

}  // namespace

bool encode_bmp(const Image_View& image, const char* path)
{
    constexpr std::uint32_t headers = 14 + 40;
    const std::size_t stride = (static_cast<std::size_t>(image.width) * 3 + 3) / 4 * 4;
    const std::size_t data = stride * static_cast<std::size_t>(image.height);
    if (image.width <= 0 || image.height <= 0 || data > 0xFFFFFFFFu - headers) return false;

    std::vector<std::uint8_t> head;
    head.reserve(headers);
    head.push_back('B');
    head.push_back('M');
    put32(head, static_cast<std::uint32_t>(headers + data));
    put32(head, 0);  // two reserved words
    put32(head, headers);
    put32(head, 40);
    put32(head, static_cast<std::uint32_t>(image.width));
    put32(head, static_cast<std::uint32_t>(image.height));  // positive: bottom row first
    put16(head, 1);
    put16(head, 24);
    put32(head, 0);  // BI_RGB
    put32(head, static_cast<std::uint32_t>(data));
    put32(head, per_metre(image.xdpi));
    put32(head, per_metre(image.ydpi));
    put32(head, 0);
    put32(head, 0);

    std::unique_ptr<std::FILE, File_Closer> f(std::fopen(path, "wb"));
    if (!f) return false;
    bool ok = std::fwrite(head.data(), 1, head.size(), f.get()) == head.size();
    std::vector<std::uint8_t> row(stride, 0);
    for (int y = image.height - 1; ok && y >= 0; --y) {
        const std::uint8_t* p = image.row(y);
        for (int x = 0; x < image.width; ++x) {
            row[3 * static_cast<std::size_t>(x)] = p[4 * static_cast<std::size_t>(x)];
            row[3 * static_cast<std::size_t>(x) + 1] = p[4 * static_cast<std::size_t>(x) + 1];
            row[3 * static_cast<std::size_t>(x) + 2] = p[4 * static_cast<std::size_t>(x) + 2];
        }
        ok = std::fwrite(row.data(), 1, stride, f.get()) == stride;
    }
    return std::fclose(f.release()) == 0 && ok;
}

}  // namespace platform
