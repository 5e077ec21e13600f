#pragma once

// The bytes CxImage::Encode gives for an image in a type, as a vector; empty when it gives
// none.

#include <cstdint>
#include <vector>

#include "platform/ximage.h"

inline std::vector<std::uint8_t> encoded_bytes(CxImage& image, DWORD type)
{
    BYTE* buffer = nullptr;
    long size = 0;
    if (!image.Encode(buffer, size, type)) return {};
    std::vector<std::uint8_t> out(buffer, buffer + size);
    CxImage::FreeMemory(buffer);
    return out;
}
