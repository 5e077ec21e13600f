// GIF through giflib: one 8-bit image. An image of at most 256 colours keeps them exactly;
// others are mapped to the nearest colour of a fixed 6 x 7 x 6 colour cube, without dithering.
// GIF has no place for a resolution. Reading takes the first image of the file (its own
// rectangle: the rest of the logical screen carries no data); a transparent colour index
// becomes opacity 0.

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "platform/image_codecs_p.h"

namespace platform {
namespace {

constexpr int cube_r = 6, cube_g = 7, cube_b = 6;

// Fully transparent pixels share one key (and one palette entry) whatever their colour.
constexpr std::uint32_t transparent_key = 0xFF000000u;

std::uint32_t rgb_key(const std::uint8_t* bgra, bool alpha)
{
    if (alpha && bgra[3] == 0) return transparent_key;
    return (static_cast<std::uint32_t>(bgra[2]) << 16) | (static_cast<std::uint32_t>(bgra[1]) << 8) | bgra[0];
}

int level(int v, int levels)
{
    return (v * (levels - 1) + 127) / 255;
}
int level_value(int i, int levels)
{
    return i * 255 / (levels - 1);
}

struct Quantised {
    std::vector<GifColorType> palette;  // 256 entries
    std::vector<GifPixelType> indices;  // width * height
    int transparent = -1;               // the palette index of transparent pixels
};

// The exact palette when the image has at most 256 colours; false otherwise.
bool exact_palette(const Image_View& image, Quantised& q)
{
    std::unordered_map<std::uint32_t, GifPixelType> index_of;
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.row(y);
        for (int x = 0; x < image.width; ++x, p += 4) {
            const std::uint32_t k = rgb_key(p, image.alpha);
            auto it = index_of.find(k);
            if (it == index_of.end()) {
                if (index_of.size() == 256) return false;
                it = index_of.emplace(k, static_cast<GifPixelType>(index_of.size())).first;
                q.palette[it->second] = {p[2], p[1], p[0]};
                if (k == transparent_key) q.transparent = it->second;
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

int append(GifFileType* gif, const GifByteType* data, int n)
{
    auto* out = static_cast<Bytes_Out*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

struct Source {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

int take(GifFileType* gif, GifByteType* to, int n)
{
    auto* s = static_cast<Source*>(gif->UserData);
    const std::size_t k = std::min(static_cast<std::size_t>(std::max(n, 0)), s->size - s->at);
    std::memcpy(to, s->data + s->at, k);
    s->at += k;
    return static_cast<int>(k);
}

struct Gif_Closer {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// The transparent index of a graphic control extension, -1 for none.
int transparent_index(const GifByteType* block)
{
    if (!block || block[0] < 4) return -1;
    return (block[1] & 1) ? block[4] : -1;
}

bool read_first_image(GifFileType* gif, Decoded_Image& out)
{
    int transparent = -1;
    bool have_image = false;
    std::vector<GifPixelType> line;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) != GIF_OK) return false;
        if (type == TERMINATE_RECORD_TYPE) return have_image;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
            if (code == GRAPHICS_EXT_FUNC_CODE && !have_image) transparent = transparent_index(block);
            // Each sub-block consumes at least one byte, so the loop ends with the data.
            while (block)
                if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) return false;
        if (DGifGetImageDesc(gif) != GIF_OK) return false;
        const GifImageDesc& d = gif->Image;
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        if (!map || d.Width <= 0 || d.Height <= 0) return false;
        line.resize(static_cast<std::size_t>(d.Width));
        if (have_image) {
            // Later frames are skipped, but read: a file cut inside them is still truncated.
            for (int y = 0; y < d.Height; ++y)
                if (DGifGetLine(gif, line.data(), d.Width) != GIF_OK) return false;
            continue;
        }
        // The frame's indices first, growing with the lines the data delivers, so a small file
        // that declares a large frame fails before it costs its size. The image is the frame:
        // the rest of the logical screen carries no data.
        if (!out.fits(d.Width, d.Height)) return false;
        std::vector<GifPixelType> indices;
        const auto w = static_cast<std::size_t>(d.Width);
        // Interlaced frames arrive in four passes over every 8th, 8th, 4th and 2nd row.
        static constexpr int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        const int passes = d.Interlace ? 4 : 1;
        std::vector<int> row_of;  // the frame row of each line in arrival order
        for (int pass = 0; pass < passes; ++pass) {
            const int first = d.Interlace ? start[pass] : 0, stride = d.Interlace ? step[pass] : 1;
            for (int y = first; y < d.Height; y += stride) {
                if (DGifGetLine(gif, line.data(), d.Width) != GIF_OK) return false;
                try {
                    indices.insert(indices.end(), line.begin(), line.end());
                    row_of.push_back(y);
                } catch (const std::bad_alloc&) {
                    out.refusal = Refusal::no_memory;
                    return false;
                }
            }
        }
        if (!out.allocate(d.Width, d.Height)) return false;
        out.alpha = transparent >= 0;
        for (std::size_t k = 0; k < row_of.size(); ++k) {
            std::uint8_t* p = out.row(row_of[k]);
            const GifPixelType* src = indices.data() + k * w;
            for (std::size_t x = 0; x < w; ++x, p += 4) {
                const int index = src[x];
                if (index == transparent) {
                    p[3] = 0;
                    continue;
                }
                const GifColorType c = index < map->ColorCount ? map->Colors[index] : GifColorType{0, 0, 0};
                p[0] = c.Blue, p[1] = c.Green, p[2] = c.Red, p[3] = 0xFF;
            }
        }
        have_image = true;
    }
}

}  // namespace

bool decode_gif(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out.clear();
    if (!data || size < 6 || std::memcmp(data, "GIF", 3) != 0) return false;
    Source src{data, size};
    int error = 0;
    std::unique_ptr<GifFileType, Gif_Closer> gif(DGifOpen(&src, take, &error));
    if (!gif) return false;
    Decoded_Image image = out.fresh();
    if (!read_first_image(gif.get(), image)) return out.failed_as(image);
    out = std::move(image);
    return true;
}

bool encode_gif(const Image_View& image, Bytes_Out& out)
{
    // GIF dimensions are 16-bit.
    if (image.width <= 0 || image.height <= 0 || image.width > 65535 || image.height > 65535) return false;
    Quantised q;
    q.palette.assign(256, GifColorType{0, 0, 0});
    const std::size_t count = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    q.indices.reserve(count);
    if (!exact_palette(image, q)) {
        q.indices.clear();
        q.transparent = -1;
        cube_palette(image, q);
    }

    out.clear();
    int error = 0;
    GifFileType* gif = EGifOpen(&out, append, &error);
    if (!gif) return false;
    ColorMapObject* map = GifMakeMapObject(256, q.palette.data());
    bool ok = map != nullptr;
    if (ok) {
        EGifSetGifVersion(gif, true);
        ok = EGifPutScreenDesc(gif, image.width, image.height, 8, 0, map) == GIF_OK;
        if (ok && q.transparent >= 0) {
            GraphicsControlBlock gcb{};
            gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
            gcb.TransparentColor = q.transparent;
            GifByteType block[4];
            EGifGCBToExtension(&gcb, block);
            ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, sizeof block, block) == GIF_OK;
        }
        ok = ok && EGifPutImageDesc(gif, 0, 0, image.width, image.height, false, nullptr) == GIF_OK;
        for (int y = 0; ok && y < image.height; ++y)
            ok = EGifPutLine(gif, q.indices.data() + static_cast<std::size_t>(y) * image.width, image.width) == GIF_OK;
        GifFreeMapObject(map);
    }
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

}  // namespace platform
