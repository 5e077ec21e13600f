// The image decoders: the first byte picks the type (its value modulo 16, 0 taking the type
// from the signature), the rest is the file. At most 2^22 pixels are decoded, so a run stays
// small; what decodes is encoded again in its type (its own bytes) and as PNG, and its
// corner pixels are read.
#include <cstddef>
#include <cstdint>

#include "platform/ximage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > (1u << 22)) return 0;
    const DWORD type = data[0] % 16;
    CxImage image(data + 1, static_cast<DWORD>(size - 1), type, 1u << 22);
    BYTE* out = nullptr;
    long n = 0;
    if (image.Encode(out, n, type)) CxImage::FreeMemory(out);
    if (!image.IsValid()) return 0;
    const long w = static_cast<long>(image.GetWidth()), h = static_cast<long>(image.GetHeight());
    (void)image.GetPixelColor(0, 0);
    (void)image.GetPixelColor(w - 1, h - 1);
    if (static_cast<unsigned long long>(w) * static_cast<unsigned long long>(h) <= 65536 &&
        image.Encode(out, n, CXIMAGE_FORMAT_PNG))
        CxImage::FreeMemory(out);
    return 0;
}
