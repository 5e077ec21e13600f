// GIF through giflib: one 8-bit image. An image of at most 256 colours keeps them exactly;
// others are mapped to the nearest colour of a fixed 6 x 7 x 6 colour cube, without dithering.
// GIF has no place for a resolution.

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/image_codecs_p.h"

namespace platform {
namespace {

constexpr int cube_r = 6, cube_g = 7, cube_b = 6;

std::uint32_t rgb_key(const std::uint8_t* bgra)
{
    return (static_cast<std::uint32_t>(bgra[2]) << 16) | (static_cast<std::uint32_t>(bgra[1]) << 8) | bgra[0];
}

int level(int v, int levels) { return (v * (levels - 1) + 127) / 255; }
int level_value(int i, int levels) { return i * 255 / (levels - 1); }

struct Quantised {
    std::vector<GifColorType> palette;  // 256 entries
    std::vector<GifPixelType> indices;  // width * height
};

// The exact palette when the image has at most 256 colours; false otherwise.
bool exact_palette(const Image_View& image, Quantised& q)
{
    std::unordered_map<std::uint32_t, GifPixelType> index_of;
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.row(y);
        for (int x = 0; x < image.width; ++x, p += 4) {
            const std::uint32_t k = rgb_key(p);
            auto it = index_of.find(k);
            if (it == index_of.end()) {
                if (index_of.size() == 256) return false;
                it = index_of.emplace(k, static_cast<GifPixelType>(index_of.size())).first;
                q.palette[it->second] = {p[2], p[1], p[0]};
            }
            q.indices.push_back(it->second);
        }
    }
    return true;
}

void cube_palette(const Image_View& image, Quantised& q)
{
    for (int r = 0; r < cube_r; ++r)
        for (int g = 0; g < cube_g; ++g)
            for (int b = 0; b < cube_b; ++b)
                q.palette[static_cast<std::size_t>((r * cube_g + g) * cube_b + b)] = {
                    static_cast<GifByteType>(level_value(r, cube_r)), static_cast<GifByteType>(level_value(g, cube_g)),
                    static_cast<GifByteType>(level_value(b, cube_b))};
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.row(y);
        for (int x = 0; x < image.width; ++x, p += 4)
            q.indices.push_back(static_cast<GifPixelType>(
                (level(p[2], cube_r) * cube_g + level(p[1], cube_g)) * cube_b + level(p[0], cube_b)));
    }
}

}  // namespace

bool encode_gif(const Image_View& image, const char* path)
{
    // GIF dimensions are 16-bit.
    if (image.width <= 0 || image.height <= 0 || image.width > 65535 || image.height > 65535) return false;
    Quantised q;
    q.palette.assign(256, GifColorType{0, 0, 0});
    const std::size_t count = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    q.indices.reserve(count);
    if (!exact_palette(image, q)) {
        q.indices.clear();
        cube_palette(image, q);
    }

    int error = 0;
    GifFileType* gif = EGifOpenFileName(path, false, &error);
    if (!gif) return false;
    ColorMapObject* map = GifMakeMapObject(256, q.palette.data());
    bool ok = map != nullptr;
    if (ok) {
        EGifSetGifVersion(gif, true);
        ok = EGifPutScreenDesc(gif, image.width, image.height, 8, 0, map) == GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, image.width, image.height, false, nullptr) == GIF_OK;
        for (int y = 0; ok && y < image.height; ++y)
            ok = EGifPutLine(gif, q.indices.data() + static_cast<std::size_t>(y) * image.width, image.width) == GIF_OK;
        GifFreeMapObject(map);
    }
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

}  // namespace platform
