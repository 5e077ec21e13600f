#pragma once

// The pixels of a CxImage in one colour, as (column, row) with rows counted from the top, in
// row order.

#include <utility>
#include <vector>

#include "platform/ximage.h"

inline std::vector<std::pair<int, int>> pixels_of(const CxImage& image, COLORREF c)
{
    std::vector<std::pair<int, int>> out;
    const long w = static_cast<long>(image.GetWidth()), h = static_cast<long>(image.GetHeight());
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) {
            const RGBQUAD q = image.GetPixelColor(x, h - 1 - y);  // the class counts rows from the bottom
            if (RGB(q.rgbRed, q.rgbGreen, q.rgbBlue) == c) out.emplace_back(static_cast<int>(x), static_cast<int>(y));
        }
    return out;
}
