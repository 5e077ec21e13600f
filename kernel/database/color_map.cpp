#include "kernel/database/color_map.h"

#include <array>
#include <climits>
#include <new>


namespace {

// Palette A: ten system colours, the 6x6x6 colour cube at steps of 51, a 20-step grey
// ramp and ten more system colours.
constexpr std::array<mb_ulong, 256> make_palette_a()
{
    constexpr unsigned char first[10][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},
                                            {0, 0, 128},   {128, 0, 128}, {0, 128, 128},   {192, 192, 192},
                                            {192, 220, 192}, {166, 202, 240}};
    constexpr unsigned char last[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                                           {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                                           {0, 255, 255},   {255, 255, 255}};
    auto pack = [](int r, int g, int b) { return MB_RGBA32(r, g, b, 255).rgba; };
    std::array<mb_ulong, 256> p{};
    for (int i = 0; i < 10; ++i) {
        p[i] = pack(first[i][0], first[i][1], first[i][2]);
        p[246 + i] = pack(last[i][0], last[i][1], last[i][2]);
    }
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) p[10 + 36 * r + 6 * g + b] = pack(51 * r, 51 * g, 51 * b);
    for (int k = 0; k < 20; ++k) p[226 + k] = pack(255 * k / 19, 255 * k / 19, 255 * k / 19);
    return p;
}

constexpr std::array<mb_ulong, 256> k_palette_a = make_palette_a();

// Palette B, as RRGGBBAA.
constexpr mb_ulong k_palette_b[256] = {
    0x000000FFu, 0xFF0000FFu, 0xFFFF00FFu, 0x00FF00FFu, 0x00FFFFFFu, 0x0000FFFFu, 0xFF00FFFFu, 0x000000FFu,
    0x808080FFu, 0xDCDCDCFFu, 0xFF0000FFu, 0xFF7F7FFFu, 0xDD0000FFu, 0xDD6E6EFFu, 0xB80000FFu, 0xB85C5CFFu,
    0x950000FFu, 0x954A4AFFu, 0x720000FFu, 0x723939FFu, 0xFF3F00FFu, 0xFF9F7FFFu, 0xDD3700FFu, 0xDD8A6EFFu,
    0xB82E00FFu, 0xB8735CFFu, 0x952500FFu, 0x955D4AFFu, 0x721C00FFu, 0x724739FFu, 0xFF7F00FFu, 0xFFBF7FFFu,
    0xDD6E00FFu, 0xDDA56EFFu, 0xB85C00FFu, 0xB88A5CFFu, 0x954A00FFu, 0x95704AFFu, 0x723900FFu, 0x725639FFu,
    0xFFBF00FFu, 0xFFDF7FFFu, 0xDDA500FFu, 0xDDC16EFFu, 0xB88A00FFu, 0xB8A15CFFu, 0x957000FFu, 0x95834AFFu,
    0x725600FFu, 0x726439FFu, 0xFFFF00FFu, 0xFFFF7FFFu, 0xDDDD00FFu, 0xDDDD6EFFu, 0xB8B800FFu, 0xB8B85CFFu,
    0x959500FFu, 0x95954AFFu, 0x727200FFu, 0x727239FFu, 0xBFFF00FFu, 0xDFFF7FFFu, 0xA5DD00FFu, 0xC1DD6EFFu,
    0x8AB800FFu, 0xA1B85CFFu, 0x709500FFu, 0x83954AFFu, 0x567200FFu, 0x647239FFu, 0x7FFF00FFu, 0xBFFF7FFFu,
    0x6EDD00FFu, 0xA5DD6EFFu, 0x5CB800FFu, 0x8AB85CFFu, 0x4A9500FFu, 0x70954AFFu, 0x397200FFu, 0x567239FFu,
    0x3FFF00FFu, 0x9FFF7FFFu, 0x37DD00FFu, 0x8ADD6EFFu, 0x2EB800FFu, 0x73B85CFFu, 0x259500FFu, 0x5D954AFFu,
    0x1C7200FFu, 0x477239FFu, 0x00FF00FFu, 0x7FFF7FFFu, 0x00DD00FFu, 0x6EDD6EFFu, 0x00B800FFu, 0x5CB85CFFu,
    0x009500FFu, 0x4A954AFFu, 0x007200FFu, 0x397239FFu, 0x00FF3FFFu, 0x7FFF9FFFu, 0x00DD37FFu, 0x6EDD8AFFu,
    0x00B82EFFu, 0x5CB873FFu, 0x009525FFu, 0x4A955DFFu, 0x00721CFFu, 0x397247FFu, 0x00FF7FFFu, 0x7FFFBFFFu,
    0x00DD6EFFu, 0x6EDDA5FFu, 0x00B85CFFu, 0x5CB88AFFu, 0x00954AFFu, 0x4A9570FFu, 0x007239FFu, 0x397256FFu,
    0x00FFBFFFu, 0x7FFFDFFFu, 0x00DDA5FFu, 0x6EDDC1FFu, 0x00B88AFFu, 0x5CB8A1FFu, 0x009570FFu, 0x4A9583FFu,
    0x007256FFu, 0x397264FFu, 0x00FFFFFFu, 0x7FFFFFFFu, 0x00DDDDFFu, 0x6EDDDDFFu, 0x00B8B8FFu, 0x5CB8B8FFu,
    0x009595FFu, 0x4A9595FFu, 0x007272FFu, 0x397272FFu, 0x00BFFFFFu, 0x7FDFFFFFu, 0x00A5DDFFu, 0x6EC1DDFFu,
    0x008AB8FFu, 0x5CA1B8FFu, 0x007095FFu, 0x4A8395FFu, 0x005672FFu, 0x396472FFu, 0x007FFFFFu, 0x7FBFFFFFu,
    0x006EDDFFu, 0x6EA5DDFFu, 0x005CB8FFu, 0x5C8AB8FFu, 0x004A95FFu, 0x4A7095FFu, 0x003972FFu, 0x395672FFu,
    0x003FFFFFu, 0x7F9FFFFFu, 0x0037DDFFu, 0x6E8ADDFFu, 0x002EB8FFu, 0x5C73B8FFu, 0x002595FFu, 0x4A5D95FFu,
    0x001C72FFu, 0x394772FFu, 0x0000FFFFu, 0x7F7FFFFFu, 0x0000DDFFu, 0x6E6EDDFFu, 0x0000B8FFu, 0x5C5CB8FFu,
    0x000095FFu, 0x4A4A95FFu, 0x000072FFu, 0x393972FFu, 0x3F00FFFFu, 0x9F7FFFFFu, 0x3700DDFFu, 0x8A6EDDFFu,
    0x2E00B8FFu, 0x735CB8FFu, 0x250095FFu, 0x5D4A95FFu, 0x1C0072FFu, 0x473972FFu, 0x7F00FFFFu, 0xBF7FFFFFu,
    0x6E00DDFFu, 0xA56EDDFFu, 0x5C00B8FFu, 0x8A5CB8FFu, 0x4A0095FFu, 0x704A95FFu, 0x390072FFu, 0x563972FFu,
    0xBF00FFFFu, 0xDF7FFFFFu, 0xA500DDFFu, 0xC16EDDFFu, 0x8A00B8FFu, 0xA15CB8FFu, 0x700095FFu, 0x834A95FFu,
    0x560072FFu, 0x643972FFu, 0xFF00FFFFu, 0xFF7FFFFFu, 0xDD00DDFFu, 0xDD6EDDFFu, 0xB800B8FFu, 0xB85CB8FFu,
    0x950095FFu, 0x954A95FFu, 0x720072FFu, 0x723972FFu, 0xFF00BFFFu, 0xFF7FDFFFu, 0xDD00A5FFu, 0xDD6EC1FFu,
    0xB8008AFFu, 0xB85CA1FFu, 0x950070FFu, 0x954A83FFu, 0x720056FFu, 0x723964FFu, 0xFF007FFFu, 0xFF7FBFFFu,
    0xDD006EFFu, 0xDD6EA5FFu, 0xB8005CFFu, 0xB85C8AFFu, 0x95004AFFu, 0x954A70FFu, 0x720039FFu, 0x723956FFu,
    0xFF003FFFu, 0xFF7F9FFFu, 0xDD0037FFu, 0xDD6E8AFFu, 0xB8002EFFu, 0xB85C73FFu, 0x950025FFu, 0x954A5DFFu,
    0x72001CFFu, 0x723947FFu, 0x545454FFu, 0x767676FFu, 0x989898FFu, 0xBABABAFFu, 0xDCDCDCFFu, 0xFFFFFFFFu,
};

const mb_ulong* default_palette(int revision)
{
    return revision > 37 ? k_palette_a.data() : k_palette_b;
}

}  // namespace

const mb_ulong* MB_Color_Map::builtin_palette(int revision)
{
    return default_palette(revision);
}

MB_Color_Map::MB_Color_Map(int revision)
{
    const mb_ulong* palette = default_palette(revision);
    MB_RGBA32 entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = MB_RGBA32(palette[i]);
    assign(256, entries);
}

MB_Color_Map::MB_Color_Map(int n, const MB_RGBA32* entries, MB_File_IO& file)
{
    set(n, entries, file);
}

MB_Color_Map::MB_Color_Map(int n, const MB_RGB* entries, MB_File_IO& file)
{
    set(n, entries, file);
}

MB_Color_Map::MB_Color_Map(const MB_Color_Map& other) : MB_Attribute(other)
{
    assign(other.m_size, other.m_entries.get());
    m_incarnation = other.m_incarnation;
}

MB_Color_Map& MB_Color_Map::operator=(const MB_Color_Map& other)
{
    if (this == &other) return *this;
    MB_Attribute::operator=(other);
    if (assign(other.m_size, other.m_entries.get())) m_incarnation = other.m_incarnation;
    m_reading_state = 0;
    m_pending.reset();
    m_pending_size = 0;
    return *this;
}

MB_Color_Map::~MB_Color_Map() = default;

bool MB_Color_Map::assign(int n, const MB_RGBA32* entries)
{
    std::unique_ptr<MB_RGBA32[]> fresh;
    if (n > 0) {
        fresh.reset(new (std::nothrow) MB_RGBA32[static_cast<std::size_t>(n)]);
        if (!fresh) return false;
        for (int i = 0; i < n; ++i) fresh[i] = entries ? entries[i] : MB_RGBA32();
    }
    m_entries = std::move(fresh);
    m_size = n > 0 ? n : 0;
    return true;
}

void MB_Color_Map::clear()
{
    m_entries.reset();
    m_size = 0;
    m_incarnation = -2;
    m_reading_state = 0;
    m_pending.reset();
    m_pending_size = 0;
}

MB_RGBA32 MB_Color_Map::map(unsigned char i) const
{
    return i < m_size ? m_entries[i] : MB_RGBA32(0x000000FFu);
}

bool MB_Color_Map::operator==(const MB_Attribute& other) const
{
    if (other.object_id() != ID_COLOR_MAP) return false;
    const auto& o = static_cast<const MB_Color_Map&>(other);
    if (o.m_size != m_size) return false;
    if (o.m_incarnation == m_incarnation || m_size <= 0) return true;
    for (int i = 0; i < m_size; ++i)
        if (o.m_entries[i] != m_entries[i]) return false;
    return true;
}

int MB_Color_Map::closest_index(const MB_Color& color) const
{
    if (m_size <= 0) return -1;
    const MB_RGBA32 want = color.rgba();
    const int own = color.index();
    if (own != -1 && own < m_size && map(static_cast<unsigned char>(own & 0xFF)) == want) return own;
    // Larger than any real distance (4 × 255², 260,100): the first entry always wins it.
    long best_distance = 0x80000;
    int best = 0;
    for (int i = 0; i < m_size; ++i) {
        // Past 255 the entries repeat from entry 0, as the byte-indexed look-up gives them.
        const MB_RGBA32 e = map(static_cast<unsigned char>(i & 0xFF));
        auto sq = [](int a, int b) { return long(a - b) * (a - b); };
        const long d = sq(e.red(), want.red()) + sq(e.green(), want.green()) + sq(e.blue(), want.blue()) +
                       sq(e.alpha(), want.alpha());
        if (d < best_distance) {
            best_distance = d;
            best = i;
        }
    }
    return best;
}
