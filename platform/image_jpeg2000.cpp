// JPEG 2000 through Debian's OpenJPEG: JP2 files and bare codestreams (either type reads
// either form), read with one, two (grey, opacity), three or four (red, green, blue, opacity)
// components of any precision and subsampling, a JP2 palette's columns taking the place of
// the component they index; written losslessly (the reversible wavelet, one layer) with three or four
// components of 8 bits. Also PGX, the one-component format of the JPEG 2000 conformance
// files, our own code: read at any depth up to 16 bits, either byte order, signed or not;
// written as the grey level at 8 bits.

#include <openjpeg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/bytes_p.h"
#include "platform/image_codecs_p.h"

namespace platform {
namespace {

// The library's own memory for a decoded image: one 32-bit word per sample.
constexpr unsigned long long max_sample_bytes = max_image_bytes;

struct Memory {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;
    Bytes_Out* out = nullptr;
};

OPJ_SIZE_T read_fn(void* buffer, OPJ_SIZE_T n, void* user)
{
    auto* m = static_cast<Memory*>(user);
    if (m->at >= m->size) return static_cast<OPJ_SIZE_T>(-1);
    const std::size_t k = std::min<std::size_t>(n, m->size - m->at);
    std::memcpy(buffer, m->data + m->at, k);
    m->at += k;
    return k;
}
OPJ_OFF_T skip_fn(OPJ_OFF_T n, void* user)
{
    auto* m = static_cast<Memory*>(user);
    const std::size_t limit = m->out ? SIZE_MAX / 2 : m->size;
    if (n < 0 || static_cast<std::size_t>(n) > limit - m->at) return -1;
    m->at += static_cast<std::size_t>(n);
    if (m->out && m->at > m->out->size()) m->out->resize(m->at, 0);
    return n;
}
OPJ_BOOL seek_fn(OPJ_OFF_T n, void* user)
{
    auto* m = static_cast<Memory*>(user);
    const std::size_t limit = m->out ? m->out->size() : m->size;
    if (n < 0 || static_cast<std::size_t>(n) > limit) return OPJ_FALSE;
    m->at = static_cast<std::size_t>(n);
    return OPJ_TRUE;
}
OPJ_SIZE_T write_fn(void* buffer, OPJ_SIZE_T n, void* user)
{
    auto* m = static_cast<Memory*>(user);
    if (m->at + n > m->out->size()) m->out->resize(m->at + n);
    std::memcpy(m->out->data() + m->at, buffer, n);
    m->at += n;
    return n;
}

void quiet(const char*, void*) {}

struct Codec_Closer {
    void operator()(opj_codec_t* c) const { opj_destroy_codec(c); }
};
struct Stream_Closer {
    void operator()(opj_stream_t* s) const { opj_stream_destroy(s); }
};
struct Image_Closer {
    void operator()(opj_image_t* i) const { opj_image_destroy(i); }
};

opj_stream_t* memory_stream(Memory& m, bool input)
{
    opj_stream_t* s = opj_stream_create(1 << 16, input ? OPJ_TRUE : OPJ_FALSE);
    if (!s) return nullptr;
    opj_stream_set_user_data(s, &m, nullptr);
    if (input) {
        opj_stream_set_user_data_length(s, m.size);
        opj_stream_set_read_function(s, read_fn);
    } else {
        opj_stream_set_write_function(s, write_fn);
    }
    opj_stream_set_skip_function(s, skip_fn);
    opj_stream_set_seek_function(s, seek_fn);
    return s;
}

std::uint8_t sample8(const opj_image_comp_t& c, std::size_t i)
{
    long long v = c.data[i];
    if (c.sgnd) v += 1LL << (c.prec - 1);
    const long long max = (1LL << c.prec) - 1;
    v = std::clamp(v, 0LL, max);
    return static_cast<std::uint8_t>(max == 255 ? v : (v * 255 + max / 2) / max);
}

// The form the bytes hold: a JP2 file starts with its signature box, a bare codestream with
// its start and size markers. Files of either form go by either name (".j2k" is type 11).
OPJ_CODEC_FORMAT form_of(const std::uint8_t* data, std::size_t size, OPJ_CODEC_FORMAT named)
{
    static constexpr std::uint8_t signature[] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    static constexpr std::uint8_t markers[] = {0xFF, 0x4F, 0xFF, 0x51};
    if (size >= sizeof signature && std::memcmp(data, signature, sizeof signature) == 0) return OPJ_CODEC_JP2;
    if (size >= sizeof markers && std::memcmp(data, markers, sizeof markers) == 0) return OPJ_CODEC_J2K;
    return named;
}

// The columns of a JP2 file's palette (its pclr box in the header box), 0 without one: the
// library makes each column a component of its own once the samples are decoded.
unsigned palette_columns(const std::uint8_t* data, std::size_t size)
{
    // The body of the first box of `type` between at and end.
    const auto find = [&](std::size_t at, std::size_t end, const char* type, std::size_t& body, std::size_t& body_end) {
        while (end - at >= 8) {
            std::uint64_t length = be32(data + at);
            std::size_t head = 8;
            if (length == 1) {
                if (end - at < 16) return false;
                length = (std::uint64_t{be32(data + at + 8)} << 32) | be32(data + at + 12);
                head = 16;
            } else if (length == 0) {
                length = end - at;  // to the end
            }
            if (length < head || length > end - at) return false;
            if (std::memcmp(data + at + 4, type, 4) == 0) {
                body = at + head, body_end = at + static_cast<std::size_t>(length);
                return true;
            }
            at += static_cast<std::size_t>(length);
        }
        return false;
    };
    std::size_t header = 0, header_end = 0, pclr = 0, pclr_end = 0;
    if (!find(0, size, "jp2h", header, header_end) || !find(header, header_end, "pclr", pclr, pclr_end)) return 0;
    return pclr_end - pclr >= 3 ? data[pclr + 2] : 0;
}

bool decode_j2(const std::uint8_t* data, std::size_t size, OPJ_CODEC_FORMAT named, Decoded_Image& out)
{
    out.clear();
    if (!data || size < 12) return false;
    const OPJ_CODEC_FORMAT format = form_of(data, size, named);
    // A palette of more columns than a pixel has channels cannot be shown.
    const unsigned columns = format == OPJ_CODEC_JP2 ? palette_columns(data, size) : 0;
    if (columns > 4) return false;
    Memory m{data, size};
    std::unique_ptr<opj_codec_t, Codec_Closer> codec(opj_create_decompress(format));
    std::unique_ptr<opj_stream_t, Stream_Closer> stream(memory_stream(m, true));
    if (!codec || !stream) return false;
    opj_set_error_handler(codec.get(), quiet, nullptr);
    opj_set_warning_handler(codec.get(), quiet, nullptr);
    opj_set_info_handler(codec.get(), quiet, nullptr);
    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);
    if (!opj_setup_decoder(codec.get(), &params)) return false;
    opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE);
    opj_image_t* raw = nullptr;
    if (!opj_read_header(stream.get(), codec.get(), &raw)) return false;
    std::unique_ptr<opj_image_t, Image_Closer> image(raw);
    const long long w = static_cast<long long>(image->x1) - image->x0, h = static_cast<long long>(image->y1) - image->y0;
    const unsigned n = image->numcomps;
    if (w <= 0 || h <= 0 || n == 0 || n > 4) return false;
    for (unsigned c = 0; c < n; ++c)
        if (image->comps[c].prec == 0 || image->comps[c].prec > 31) return false;
    // The pixels are checked before the library takes memory for its samples (a palette's
    // columns beside the components they come from).
    const auto pixels = static_cast<unsigned long long>(w) * static_cast<unsigned long long>(h);
    if (pixels * (n + columns) * 4 > max_sample_bytes) {
        out.refusal = Refusal::over_limit;
        return false;
    }
    if (!out.allocate(w, h)) return false;
    if (!opj_decode(codec.get(), stream.get(), image.get()) || !opj_end_decompress(codec.get(), stream.get())) {
        out.clear();
        return false;
    }
    // A palette has replaced the components by its columns, of their own precision.
    const unsigned shown = image->numcomps;
    bool usable = shown >= 1 && shown <= 4;
    for (unsigned c = 0; usable && c < shown; ++c) {
        const opj_image_comp_t& k = image->comps[c];
        usable = k.data && k.dx != 0 && k.dy != 0 && k.w != 0 && k.h != 0 && k.prec >= 1 && k.prec <= 31;
    }
    if (!usable) {
        out.clear();
        return false;
    }
    out.alpha = shown == 2 || shown == 4;
    const bool grey = shown <= 2;
    for (int y = 0; y < out.height; ++y) {
        std::uint8_t* q = out.row(y);
        for (int x = 0; x < out.width; ++x, q += 4) {
            std::uint8_t v[4] = {0, 0, 0, 0xFF};
            for (unsigned c = 0; c < shown; ++c) {
                const opj_image_comp_t& k = image->comps[c];
                // A subsampled component covers dx x dy pixels with each sample.
                const std::size_t sx = std::min<std::size_t>(static_cast<std::size_t>(x) / k.dx, k.w - 1);
                const std::size_t sy = std::min<std::size_t>(static_cast<std::size_t>(y) / k.dy, k.h - 1);
                v[c] = sample8(k, sy * k.w + sx);
            }
            if (grey) {
                q[0] = q[1] = q[2] = v[0];
                q[3] = shown == 2 ? v[1] : 0xFF;
            } else {
                q[2] = v[0], q[1] = v[1], q[0] = v[2], q[3] = shown == 4 ? v[3] : 0xFF;
            }
        }
    }
    return true;
}

bool encode_j2(const Image_View& view, OPJ_CODEC_FORMAT format, Bytes_Out& out)
{
    if (view.width <= 0 || view.height <= 0) return false;
    const unsigned n = view.alpha ? 4 : 3;
    opj_image_cmptparm_t parts[4];
    std::memset(parts, 0, sizeof parts);
    for (unsigned c = 0; c < n; ++c) {
        parts[c].dx = parts[c].dy = 1;
        parts[c].w = static_cast<OPJ_UINT32>(view.width);
        parts[c].h = static_cast<OPJ_UINT32>(view.height);
        parts[c].prec = 8;
        parts[c].sgnd = 0;
    }
    std::unique_ptr<opj_image_t, Image_Closer> image(opj_image_create(n, parts, OPJ_CLRSPC_SRGB));
    if (!image) return false;
    image->x1 = static_cast<OPJ_UINT32>(view.width);
    image->y1 = static_cast<OPJ_UINT32>(view.height);
    if (n == 4) image->comps[3].alpha = 1;
    for (int y = 0; y < view.height; ++y) {
        const std::uint8_t* p = view.row(y);
        for (int x = 0; x < view.width; ++x, p += 4) {
            const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(view.width) + static_cast<std::size_t>(x);
            image->comps[0].data[i] = p[2], image->comps[1].data[i] = p[1], image->comps[2].data[i] = p[0];
            if (n == 4) image->comps[3].data[i] = p[3];
        }
    }
    std::unique_ptr<opj_codec_t, Codec_Closer> codec(opj_create_compress(format));
    if (!codec) return false;
    opj_set_error_handler(codec.get(), quiet, nullptr);
    opj_set_warning_handler(codec.get(), quiet, nullptr);
    opj_set_info_handler(codec.get(), quiet, nullptr);
    opj_cparameters_t params;
    opj_set_default_encoder_parameters(&params);
    params.tcp_numlayers = 1;
    params.tcp_rates[0] = 0;  // lossless
    params.cp_disto_alloc = 1;
    params.irreversible = 0;
    params.tcp_mct = 1;
    // Fewer resolutions than the default where the image is too small for them.
    int levels = 1;
    while (levels < 6 && (view.width >> levels) > 0 && (view.height >> levels) > 0) ++levels;
    params.numresolution = levels;
    if (!opj_setup_encoder(codec.get(), &params, image.get())) return false;
    out.clear();
    Memory m;
    m.out = &out;
    std::unique_ptr<opj_stream_t, Stream_Closer> stream(memory_stream(m, false));
    if (!stream) return false;
    return opj_start_compress(codec.get(), image.get(), stream.get()) && opj_encode(codec.get(), stream.get()) &&
           opj_end_compress(codec.get(), stream.get());
}

}  // namespace

bool decode_jp2(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    return decode_j2(data, size, OPJ_CODEC_JP2, out);
}
bool decode_j2k(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    return decode_j2(data, size, OPJ_CODEC_J2K, out);
}
bool encode_jp2(const Image_View& image, Bytes_Out& out)
{
    return encode_j2(image, OPJ_CODEC_JP2, out);
}
bool encode_j2k(const Image_View& image, Bytes_Out& out)
{
    return encode_j2(image, OPJ_CODEC_J2K, out);
}

bool decode_pgx(const std::uint8_t* data, std::size_t size, Decoded_Image& out)
{
    out.clear();
    if (!data || size < 4 || data[0] != 'P' || data[1] != 'G') return false;
    // "PG ML + 8 W H" ending in a line break: byte order, sign, depth, width, height.
    std::size_t end = 2;
    while (end < size && end < 128 && data[end] != '\n') ++end;
    if (end >= size || data[end] != '\n') return false;
    const std::string header(reinterpret_cast<const char*>(data + 2), end - 2);
    char order[3] = {0, 0, 0}, sign = '+';
    unsigned depth = 0;
    unsigned long long w = 0, h = 0;
    int used = 0;
    if (std::sscanf(header.c_str(), " %2[MLlm] %n", order, &used) != 1) return false;
    const char* rest = header.c_str() + used;
    if (*rest == '+' || *rest == '-') sign = *rest++;
    if (std::sscanf(rest, " %u %llu %llu", &depth, &w, &h) != 3) return false;
    const bool big = order[0] == 'M' || order[0] == 'm';
    if (depth == 0 || depth > 16 || w == 0 || h == 0) return false;
    const std::size_t bytes = depth <= 8 ? 1 : 2;
    const std::size_t left = size - end - 1;
    if (w > left / bytes / h) return false;
    if (!out.allocate(static_cast<long long>(w), static_cast<long long>(h))) return false;
    const std::uint8_t* p = data + end + 1;
    const long long max = (1LL << depth) - 1;
    for (int y = 0; y < out.height; ++y) {
        std::uint8_t* q = out.row(y);
        for (int x = 0; x < out.width; ++x, q += 4, p += bytes) {
            long long v = (bytes == 1 ? p[0] : big ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]) & max;
            // Signed samples are shifted to the unsigned range, as a decoder shows them.
            if (sign == '-') v = ((v >> (depth - 1)) ? v - (1LL << depth) : v) + (1LL << (depth - 1));
            v = std::clamp(v, 0LL, max);
            q[0] = q[1] = q[2] = static_cast<std::uint8_t>((v * 255 + max / 2) / max);
        }
    }
    return true;
}

bool encode_pgx(const Image_View& image, Bytes_Out& out)
{
    if (image.width <= 0 || image.height <= 0) return false;
    char header[64];
    const int n = std::snprintf(header, sizeof header, "PG ML + 8 %d %d\n", image.width, image.height);
    out.assign(header, header + n);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.row(y);
        for (int x = 0; x < image.width; ++x, p += 4) out.push_back(luma(p));
    }
    return true;
}

}  // namespace platform
