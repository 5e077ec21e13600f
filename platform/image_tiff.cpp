// TIFF through libtiff on memory: written as 8-bit RGB (RGBA with unassociated alpha when the
// image carries opacity), LZW-compressed strips, resolution in dots per inch. Read: 8-bit RGB
// and RGBA strips directly, every other layout through libtiff's RGBA reader. Before any
// pixel is read, every strip or tile must lie inside the data.

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/image_codecs_p.h"

namespace platform {
namespace {

// A file in memory: either a growing vector (writing) or fixed bytes (reading).
struct Memory_File {
    Bytes_Out* out = nullptr;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;

    std::size_t length() const { return out ? out->size() : size; }
};

Memory_File& file_of(thandle_t h)
{
    return *static_cast<Memory_File*>(h);
}

tmsize_t mem_read(thandle_t h, void* to, tmsize_t n)
{
    Memory_File& f = file_of(h);
    if (n < 0) return -1;
    const std::size_t len = f.length();
    const std::size_t k = f.at >= len ? 0 : std::min(static_cast<std::size_t>(n), len - f.at);
    if (k) std::memcpy(to, (f.out ? f.out->data() : f.data) + f.at, k);
    f.at += k;
    return static_cast<tmsize_t>(k);
}

tmsize_t mem_write(thandle_t h, void* from, tmsize_t n)
{
    Memory_File& f = file_of(h);
    if (!f.out || n < 0) return -1;
    const auto k = static_cast<std::size_t>(n);
    if (f.at > max_file_bytes || k > max_file_bytes - f.at) return -1;
    if (f.out->size() < f.at + k) f.out->resize(f.at + k, 0);
    std::memcpy(f.out->data() + f.at, from, k);
    f.at += k;
    return n;
}

toff_t mem_seek(thandle_t h, toff_t offset, int whence)
{
    Memory_File& f = file_of(h);
    long double base = 0;
    if (whence == SEEK_CUR) base = static_cast<long double>(f.at);
    if (whence == SEEK_END) base = static_cast<long double>(f.length());
    // Offsets are unsigned here; a negative move arrives as a huge value.
    const long double target = base + static_cast<long double>(static_cast<std::int64_t>(offset));
    if (target < 0 || target > static_cast<long double>(max_file_bytes)) return static_cast<toff_t>(-1);
    f.at = static_cast<std::size_t>(target);
    return f.at;
}

int mem_close(thandle_t)
{
    return 0;
}
toff_t mem_size(thandle_t h)
{
    return file_of(h).length();
}
int no_map(thandle_t, void**, toff_t*)
{
    return 0;
}
void no_unmap(thandle_t, void*, toff_t) {}

// libtiff's default handlers print; ours stay quiet. Warnings are noted: on reading they count
// as failures, since libtiff warns where it guesses at a damaged file.
int quiet_error(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}
int note_warning(TIFF*, void* flag, const char*, const char*, va_list)
{
    if (flag) *static_cast<bool*>(flag) = true;
    return 1;
}

struct Tiff_Closer {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using Tiff_Ptr = std::unique_ptr<TIFF, Tiff_Closer>;

Tiff_Ptr open_memory(Memory_File& f, const char* mode, bool* warned)
{
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (!opts) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(opts, quiet_error, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, note_warning, warned);
    TIFF* t = TIFFClientOpenExt("memory", mode, &f, mem_read, mem_write, mem_seek, mem_close, mem_size, no_map,
                                no_unmap, opts);
    TIFFOpenOptionsFree(opts);
    return Tiff_Ptr(t);
}

// Every strip or tile the directory names lies inside the data.
bool blocks_inside(TIFF* t, std::size_t size)
{
    const bool tiled = TIFFIsTiled(t);
    const std::uint32_t n = tiled ? TIFFNumberOfTiles(t) : TIFFNumberOfStrips(t);
    std::uint64_t* offsets = nullptr;
    std::uint64_t* counts = nullptr;
    if (n == 0 || !TIFFGetField(t, tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(t, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts) || !offsets || !counts)
        return false;
    for (std::uint32_t i = 0; i < n; ++i)
        if (counts[i] == 0 || offsets[i] > size || counts[i] > size - offsets[i]) return false;
    return true;
}

double resolution_dpi(TIFF* t, ttag_t tag, std::uint16_t unit)
{
    float r = 0;
    if (!TIFFGetField(t, tag, &r) || !(r > 0) || !(r < 1e6f)) return 96;
    return unit == RESUNIT_CENTIMETER ? r * 2.54 : r;
}

}  // namespace

bool encode_tiff(const Image_View& image, Bytes_Out& out)
{
    if (image.width <= 0 || image.height <= 0) return false;
    out.clear();
    Memory_File f;
    f.out = &out;
    Tiff_Ptr tif = open_memory(f, "w", nullptr);
    if (!tif) return false;
    TIFF* t = tif.get();
    const auto w = static_cast<std::uint32_t>(image.width);
    const int samples = image.alpha ? 4 : 3;
    const std::uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
    bool ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w) && TIFFSetField(t, TIFFTAG_IMAGELENGTH, image.height) &&
              TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8) && TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples) &&
              TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
              TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW) &&
              TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0)) &&
              TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
              TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<double>(image.xdpi)) &&
              TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<double>(image.ydpi));
    if (ok && image.alpha) ok = TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(samples) * image.width);
    for (int y = 0; ok && y < image.height; ++y) {
        if (image.alpha)
            image.rgba_row(y, row.data());
        else
            image.rgb_row(y, row.data());
        ok = TIFFWriteScanline(t, row.data(), static_cast<std::uint32_t>(y), 0) == 1;
    }
    ok = ok && TIFFFlush(t) == 1;
    return ok;
}

bool decode_tiff(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out.clear();
    if (!data || size < 8 || !((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M'))) return false;
    Memory_File f;
    f.data = data;
    f.size = size;
    bool warned = false;
    Tiff_Ptr tif = open_memory(f, "rm", &warned);
    if (!tif || warned) return false;
    TIFF* t = tif.get();
    std::uint32_t w = 0, h = 0;
    std::uint16_t bits = 0, samples = 0, planar = PLANARCONFIG_CONTIG, photometric = 0, unit = RESUNIT_INCH;
    std::uint16_t extra_count = 0;
    std::uint16_t* extra = nullptr;
    if (!TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h)) return false;
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(t, TIFFTAG_EXTRASAMPLES, &extra_count, &extra);
    TIFFGetFieldDefaulted(t, TIFFTAG_RESOLUTIONUNIT, &unit);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    if (!blocks_inside(t, size)) return false;
    Decoded_Image image = out.fresh();
    if (!image.allocate(w, h)) return out.failed_as(image);
    image.xdpi = std::max(1L, std::lround(resolution_dpi(t, TIFFTAG_XRESOLUTION, unit)));
    image.ydpi = std::max(1L, std::lround(resolution_dpi(t, TIFFTAG_YRESOLUTION, unit)));
    image.alpha = extra_count > 0;

    const bool direct = !TIFFIsTiled(t) && bits == 8 && planar == PLANARCONFIG_CONTIG &&
                        photometric == PHOTOMETRIC_RGB &&
                        (samples == 3 || (samples == 4 && extra_count == 1 && extra[0] == EXTRASAMPLE_UNASSALPHA));
    if (direct) {
        if (TIFFScanlineSize64(t) != static_cast<std::uint64_t>(samples) * w) return false;
        std::vector<std::uint8_t> row(static_cast<std::size_t>(samples) * w);
        for (std::uint32_t y = 0; y < h; ++y) {
            if (TIFFReadScanline(t, row.data(), y, 0) != 1) return false;
            std::uint8_t* p = image.row(static_cast<int>(y));
            const std::uint8_t* s = row.data();
            for (std::uint32_t x = 0; x < w; ++x, p += 4, s += samples)
                p[0] = s[2], p[1] = s[1], p[2] = s[0], p[3] = samples == 4 ? s[3] : 0xFF;
        }
    } else {
        // libtiff's reader fills 32-bit ABGR words, red in the low byte; rows from the top.
        std::vector<std::uint32_t> raster;
        try {
            raster.resize(static_cast<std::size_t>(w) * h);
        } catch (const std::bad_alloc&) {
            out.refusal = Refusal::no_memory;
            return false;
        }
        if (!TIFFReadRGBAImageOriented(t, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) return false;
        for (std::uint32_t y = 0; y < h; ++y) {
            std::uint8_t* p = image.row(static_cast<int>(y));
            const std::uint32_t* s = raster.data() + static_cast<std::size_t>(y) * w;
            for (std::uint32_t x = 0; x < w; ++x, p += 4, ++s) {
                p[0] = static_cast<std::uint8_t>(TIFFGetB(*s));
                p[1] = static_cast<std::uint8_t>(TIFFGetG(*s));
                p[2] = static_cast<std::uint8_t>(TIFFGetR(*s));
                p[3] = image.alpha ? static_cast<std::uint8_t>(TIFFGetA(*s)) : 0xFF;
            }
        }
    }
    if (warned) return false;
    out = std::move(image);
    return true;
}

}  // namespace platform
