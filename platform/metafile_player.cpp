#include "platform/metafile_player_p.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/bytes_p.h"
#include "platform/codepage.h"
#include "platform/dib_p.h"
#include "platform/font.h"
#include "platform/gdi.h"

namespace platform {
namespace {

constexpr std::uint32_t emr_header = 1;
constexpr std::uint32_t emr_eof = 14;
constexpr std::uint32_t emf_signature = 0x464D4520;  // " EMF"
constexpr std::uint32_t placeable_key = 0x9AC6CDD7;
constexpr long long himetric_per_inch = 2540;
constexpr long long pixels_per_inch = 96;
// Largest picture side taken, in 0.01 mm (about 21 km): beyond it the size is not a picture's.
constexpr long long max_himetric = 2147483647LL / 1000;
// Saved states beyond this depth are refused, as a device refuses what it cannot hold.
constexpr std::size_t max_saved = 256;
// Pixel coordinates handed to the drawing calls stay well inside an int.
constexpr double max_coord = 1 << 28;
constexpr double pi = 3.14159265358979323846;
// Points a path holds at most; figures past it are dropped, so a path's memory follows the
// file's bytes (each record's points are bounded by its size, a curve's by its flattening).
constexpr std::size_t max_path_points = std::size_t{1} << 20;

bool size_ok(long long w, long long h)
{
    return w > 0 && h > 0 && w <= max_himetric && h <= max_himetric;
}

// An enhanced metafile: a header record naming the file's length, then records of 4-byte
// multiples up to an end record that closes the file.
bool emf_size(const std::uint8_t* d, std::size_t n, Metafile_Size& out)
{
    if (n < 88 || le32(d) != emr_header || le32(d + 40) != emf_signature) return false;
    const std::uint32_t header_size = le32(d + 4), bytes = le32(d + 48);
    if (header_size < 88 || header_size > n || bytes != n) return false;
    std::size_t at = 0;
    bool ended = false;
    while (at + 8 <= n && !ended) {
        const std::uint32_t type = le32(d + at), size = le32(d + at + 4);
        if (size < 8 || size % 4 != 0 || size > n - at) return false;
        ended = type == emr_eof;
        at += size;
    }
    if (!ended || at != n) return false;
    const long long fw = static_cast<long long>(le32s(d + 32)) - le32s(d + 24);
    const long long fh = static_cast<long long>(le32s(d + 36)) - le32s(d + 28);
    if (!size_ok(fw, fh)) return false;
    out.himetric_w = fw, out.himetric_h = fh;
    out.pixels_w = std::max(1LL, fw * pixels_per_inch / himetric_per_inch);
    out.pixels_h = std::max(1LL, fh * pixels_per_inch / himetric_per_inch);
    return true;
}

// A Windows metafile's own header: type 1 or 2, nine words, the file's length in words.
bool wmf_header(const std::uint8_t* m, std::size_t n)
{
    if (n < 18) return false;
    const std::uint32_t type = le16(m), header_words = le16(m + 2), total_words = le32(m + 6);
    if ((type != 1 && type != 2) || header_words != 9) return false;
    return total_words >= 9 && std::uint64_t{total_words} * 2 <= n;
}

// A placeable metafile: a 22-byte header with its own checksum (the XOR of its first ten
// words), then a standard metafile.
bool placeable_header(const std::uint8_t* d, std::size_t n)
{
    if (n < 22 + 18 || le32(d) != placeable_key) return false;
    std::uint32_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= le16(d + 2 * i);
    return sum == le16(d + 20) && le16(d + 14) != 0 && wmf_header(d + 22, n - 22);
}

bool placeable_size(const std::uint8_t* d, std::size_t n, Metafile_Size& out)
{
    if (!placeable_header(d, n)) return false;
    const long long w = std::llabs(static_cast<long long>(le16s(d + 10)) - le16s(d + 6));
    const long long h = std::llabs(static_cast<long long>(le16s(d + 12)) - le16s(d + 8));
    const long long inch = le16(d + 14);
    const long long fw = w * himetric_per_inch / inch, fh = h * himetric_per_inch / inch;
    if (!size_ok(fw, fh)) return false;
    out.himetric_w = fw, out.himetric_h = fh;
    out.pixels_w = std::max(1LL, w * pixels_per_inch / inch);
    out.pixels_h = std::max(1LL, h * pixels_per_inch / inch);
    return true;
}

// A plain WMF's window: its first window origin and extent records, before any drawing.
bool wmf_window(const std::uint8_t* m, std::size_t n, double& ox, double& oy, double& ex, double& ey)
{
    bool have_ext = false;
    ox = oy = 0;
    for (std::size_t at = 18; at + 6 <= n;) {
        const std::uint64_t words = le32(m + at);
        const std::uint32_t fn = le16(m + at + 4);
        if (words < 3 || words * 2 > n - at || fn == 0) break;
        if (fn == 0x020B && words >= 5) oy = le16s(m + at + 6), ox = le16s(m + at + 8);
        if (fn == 0x020C && words >= 5) {
            ey = le16s(m + at + 6), ex = le16s(m + at + 8);
            have_ext = ex != 0 && ey != 0;
            break;
        }
        at += static_cast<std::size_t>(words * 2);
    }
    return have_ext;
}

long long clamp_round(double v)
{
    if (!(v == v)) return 0;
    return static_cast<long long>(std::floor(std::clamp(v, -max_coord, max_coord) + 0.5));
}

}  // namespace

Metafile_Kind metafile_kind(const std::uint8_t* data, std::size_t size)
{
    if (!data) return Metafile_Kind::none;
    if (size >= 88 && le32(data) == emr_header && le32(data + 40) == emf_signature) return Metafile_Kind::emf;
    if (placeable_header(data, size)) return Metafile_Kind::placeable_wmf;
    if (wmf_header(data, size)) return Metafile_Kind::wmf;
    return Metafile_Kind::none;
}

bool metafile_size(const std::uint8_t* data, std::size_t size, Metafile_Size& out)
{
    switch (metafile_kind(data, size)) {
    case Metafile_Kind::emf: return emf_size(data, size, out);
    case Metafile_Kind::placeable_wmf: return placeable_size(data, size, out);
    case Metafile_Kind::wmf: {
        double ox, oy, ex, ey;
        if (!wmf_window(data, size, ox, oy, ex, ey)) return false;
        const long long w = std::llabs(static_cast<long long>(ex)), h = std::llabs(static_cast<long long>(ey));
        const long long fw = w * himetric_per_inch / pixels_per_inch, fh = h * himetric_per_inch / pixels_per_inch;
        if (!size_ok(fw, fh)) return false;
        out.himetric_w = fw, out.himetric_h = fh, out.pixels_w = w, out.pixels_h = h;
        return true;
    }
    default: return false;
    }
}

bool play_metafile(HDC hdc, const std::uint8_t* data, std::size_t size, const Play_Target& target)
{
    const Metafile_Kind kind = metafile_kind(data, size);
    if (kind == Metafile_Kind::none) return false;
    Player player(hdc, target);
    if (!player.ok()) return false;
    if (kind == Metafile_Kind::emf) return play_emf_records(player, data, size);
    player.window_only(true);
    player.map_mode(Player::mm_anisotropic);
    const std::uint8_t* m = data;
    std::size_t n = size;
    double ox = 0, oy = 0, ex = target.right - target.left, ey = target.bottom - target.top;
    if (kind == Metafile_Kind::placeable_wmf) {
        const double l = le16s(data + 6), t = le16s(data + 8), r = le16s(data + 10), b = le16s(data + 12);
        ox = l, oy = t, ex = r - l, ey = b - t;
        m += 22, n -= 22;
    } else if (!wmf_window(m, n, ox, oy, ex, ey)) {
        // Without a window the logical units are the target's pixels.
        ox = oy = 0;
    }
    if (ex == 0 || ey == 0) return false;
    player.set_frame(ox, oy, ox + ex, oy + ey);
    player.window_org(ox, oy);
    player.window_ext(ex, ey);
    return play_wmf_records(player, m, n);
}

Logical_Object Logical_Object::pattern_brush(const std::uint8_t* info, const std::uint8_t* bits)
{
    Logical_Object o;
    o.type = Type::brush;
    o.brush.lbStyle = BS_SOLID;
    Dib_Source dib;
    if (info && dib.parse(info, Dib_Source::info_bytes(info, SIZE_MAX), bits, Dib_Source::bits_bytes(info, SIZE_MAX))) {
        unsigned long long sum[3] = {0, 0, 0}, n = 0;
        for (int y = 0; y < dib.height() && n < 4096; ++y)
            for (int x = 0; x < dib.width() && n < 4096; ++x, ++n) {
                const RGBQUAD q = dib.at(x, y);
                sum[0] += q.rgbRed, sum[1] += q.rgbGreen, sum[2] += q.rgbBlue;
            }
        if (n)
            o.brush.lbColor = RGB(static_cast<BYTE>(sum[0] / n), static_cast<BYTE>(sum[1] / n), static_cast<BYTE>(sum[2] / n));
    }
    return o;
}

Affine Affine::then(const Affine& n) const
{
    Affine r;
    r.a = n.a * a + n.c * b;
    r.b = n.b * a + n.d * b;
    r.c = n.a * c + n.c * d;
    r.d = n.b * c + n.d * d;
    r.e = n.a * e + n.c * f + n.e;
    r.f = n.b * e + n.d * f + n.f;
    return r;
}

Player::Player(HDC hdc, const Play_Target& target) : m_hdc(hdc)
{
    m_base_level = SaveDC(hdc);
    if (m_base_level <= 0) return;
    m_ok = true;
    m_frame = Affine{};
    m_frame.e = target.left, m_frame.f = target.top;
    m_frame.a = target.right - target.left, m_frame.d = target.bottom - target.top;
    // The picture never paints outside its frame, nor outside the caller's clip.
    RECT box{};
    (void)GetClipBox(hdc, &box);
    const auto lo = [](double a, double b) { return static_cast<LONG>(clamp_round(std::min(a, b))); };
    const auto hi = [](double a, double b) { return static_cast<LONG>(clamp_round(std::max(a, b))); };
    m_base_clip = RECT{std::max(box.left, lo(target.left, target.right)), std::max(box.top, lo(target.top, target.bottom)),
                       std::min(box.right, hi(target.left, target.right)),
                       std::min(box.bottom, hi(target.top, target.bottom))};
    clip_box(m_base_clip);
    m_work_limit = work_limit();
    // A metafile starts from the default state, whatever the caller's DC holds.
    LOGBRUSH brush{BS_SOLID, RGB(255, 255, 255), 0};
    take(CreatePen(PS_SOLID, 0, RGB(0, 0, 0)));
    take(CreateBrushIndirect(&brush));
    take(CreateFontA(0, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, nullptr));
    m_null_pen = CreatePen(PS_NULL, 0, 0);
    SetBkMode(hdc, OPAQUE);
    SetBkColor(hdc, RGB(255, 255, 255));
    SetTextColor(hdc, RGB(0, 0, 0));
    SetTextAlign(hdc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    SetROP2(hdc, R2_COPYPEN);
    MoveToEx(hdc, 0, 0, nullptr);
}

Player::~Player()
{
    if (m_base_level > 0) RestoreDC(m_hdc, m_base_level);
    for (HGDIOBJ h : m_made) DeleteObject(h);
    if (m_null_pen) DeleteObject(m_null_pen);
}

void Player::set_frame(double left, double top, double right, double bottom)
{
    // m_frame holds the target rectangle as origin and size until the frame is known.
    const double tl = m_frame.e, tt = m_frame.f, tw = m_frame.a, th = m_frame.d;
    const double fw = right - left, fh = bottom - top;
    m_ref_l = left, m_ref_t = top, m_ref_w = fw, m_ref_h = fh;
    m_frame = Affine{};
    m_frame.a = fw != 0 ? tw / fw : 1;
    m_frame.d = fh != 0 ? th / fh : 1;
    m_frame.e = tl - left * m_frame.a;
    m_frame.f = tt - top * m_frame.d;
}

void Player::set_objects(std::size_t count)
{
    m_objects.assign(count, Logical_Object{});
}

void Player::device_resolution(double x, double y)
{
    if (x > 0 && y > 0 && std::isfinite(x) && std::isfinite(y)) m_px_per_mm_x = x, m_px_per_mm_y = y;
}

void Player::map_mode(int mode)
{
    if (mode >= mm_text && mode <= mm_anisotropic) m_state.map_mode = mode;
}
void Player::window_org(double x, double y) { m_state.wox = x, m_state.woy = y; }
void Player::window_ext(double x, double y)
{
    if (x != 0 && y != 0) m_state.wex = x, m_state.wey = y;
}
void Player::viewport_org(double x, double y) { m_state.vox = x, m_state.voy = y; }
void Player::viewport_ext(double x, double y)
{
    if (x != 0 && y != 0) m_state.vex = x, m_state.vey = y;
}
void Player::offset_window_org(double dx, double dy) { m_state.wox += dx, m_state.woy += dy; }
void Player::offset_viewport_org(double dx, double dy) { m_state.vox += dx, m_state.voy += dy; }
void Player::scale_window_ext(double xn, double xd, double yn, double yd)
{
    if (xd != 0 && yd != 0) window_ext(m_state.wex * xn / xd, m_state.wey * yn / yd);
}
void Player::scale_viewport_ext(double xn, double xd, double yn, double yd)
{
    if (xd != 0 && yd != 0) viewport_ext(m_state.vex * xn / xd, m_state.vey * yn / yd);
}

void Player::world(const Affine& w)
{
    const double v[] = {w.a, w.b, w.c, w.d, w.e, w.f};
    for (double x : v)
        if (!std::isfinite(x)) return;
    if (w.det() == 0) return;
    m_state.world = w;
}

Affine Player::logical_to_target() const
{
    const State& s = m_state;
    double sx = 1, sy = 1, ox = 0, oy = 0;
    if (m_window_only) {
        // The current window shows the frame that the first window named.
        sx = m_ref_w / s.wex, sy = m_ref_h / s.wey;
        ox = m_ref_l - s.wox * sx, oy = m_ref_t - s.woy * sy;
    } else {
        double mm = 0;
        switch (s.map_mode) {
        case mm_lometric: mm = 0.1; break;
        case mm_himetric: mm = 0.01; break;
        case mm_loenglish: mm = 0.254; break;
        case mm_hienglish: mm = 0.0254; break;
        case mm_twips: mm = 25.4 / 1440; break;
        default: break;
        }
        if (mm > 0) {
            sx = mm * m_px_per_mm_x, sy = -mm * m_px_per_mm_y;
        } else if (s.map_mode == mm_anisotropic || s.map_mode == mm_isotropic) {
            sx = s.vex / s.wex, sy = s.vey / s.wey;
            if (s.map_mode == mm_isotropic) {
                const double k = std::min(std::fabs(sx), std::fabs(sy));
                sx = std::copysign(k, sx), sy = std::copysign(k, sy);
            }
        }
        ox = s.vox - s.wox * sx, oy = s.voy - s.woy * sy;
    }
    Affine page;
    page.a = sx, page.d = sy, page.e = ox, page.f = oy;
    return s.world.then(page).then(m_frame);
}

void Player::to_target(double x, double y, double& ox, double& oy) const
{
    logical_to_target().apply(x, y, ox, oy);
}

POINT Player::pixel(double x, double y) const
{
    double ox, oy;
    to_target(x, y, ox, oy);
    return POINT{static_cast<LONG>(clamp_round(ox)), static_cast<LONG>(clamp_round(oy))};
}

// Selects an object the player made, and deletes the one it replaced when that is the
// player's and no saved state still holds it.
void Player::take(HGDIOBJ made)
{
    if (!made) return;
    HGDIOBJ previous = SelectObject(m_hdc, made);
    if (!previous) {
        DeleteObject(made);
        return;
    }
    m_made.push_back(made);
    auto it = std::find(m_made.begin(), m_made.end(), previous);
    if (it != m_made.end() && DeleteObject(previous)) m_made.erase(it);
}

void Player::sweep_made()
{
    m_made.erase(std::remove_if(m_made.begin(), m_made.end(), [](HGDIOBJ h) { return DeleteObject(h) != 0; }),
                 m_made.end());
}

void Player::realize_pen(const Logical_Object& o)
{
    const Affine m = logical_to_target();
    int style = static_cast<int>(o.pen.lopnStyle & 0xF);
    if (style > PS_INSIDEFRAME) style = PS_SOLID;
    double width = o.cosmetic ? 0 : o.pen.lopnWidth.x * std::sqrt(std::fabs(m.det()));
    if (!(width >= 1.5)) width = 0;
    width = std::min(width, 4096.0);
    m_state.pen_px = style == PS_NULL ? 0 : std::max(width, 1.0);
    take(CreatePen(style, static_cast<int>(width + 0.5), o.pen.lopnColor & 0xFFFFFF));
}

void Player::realize_brush(const Logical_Object& o)
{
    LOGBRUSH b = o.brush;
    b.lbColor &= 0xFFFFFF;
    // The layer hatches one way; other hatches take it, patterns their mean colour.
    if (b.lbStyle == BS_HATCHED) b.lbHatch = HS_BDIAGONAL;
    if (b.lbStyle != BS_SOLID && b.lbStyle != BS_NULL && b.lbStyle != BS_HATCHED) b.lbStyle = BS_SOLID;
    take(CreateBrushIndirect(&b));
}

void Player::realize_font(const Logical_Object& o)
{
    const Affine m = logical_to_target();
    const double ky = std::hypot(m.c, m.d), kx = std::hypot(m.a, m.b);
    // A mapping that overflowed gives the default size and no turn.
    const auto scaled = [](double v) {
        return v == v ? static_cast<int>(std::clamp(v, -65536.0, 65536.0) + (v < 0 ? -0.5 : 0.5)) : 0;
    };
    // The escapement is seen on the target: the turn of the logical x axis is added to it.
    const double along = std::atan2(-m.b, m.a), turn = along == along ? along * 1800 / pi : 0;
    const int escapement = static_cast<int>(std::lround(std::fmod(o.escapement + turn, 3600.0)));
    std::string face;
    if (!o.face.empty()) {
        char buffer[LF_FACESIZE * 2 + 1] = {};
        const int n = WideCharToMultiByte(CP_ACP, 0, o.face.data(), static_cast<int>(o.face.size()), buffer,
                                          sizeof buffer - 1, nullptr, nullptr);
        if (n > 0) face.assign(buffer, static_cast<std::size_t>(n));
    }
    take(CreateFontA(scaled(o.height * ky), scaled(o.width * kx), escapement, escapement, o.weight, o.italic,
                     o.underline, o.strike_out, DEFAULT_CHARSET, 0, 0, 0, 0, face.empty() ? nullptr : face.c_str()));
}

bool Player::create(std::size_t slot, const Logical_Object& o)
{
    if (slot >= m_objects.size()) return false;
    m_objects[slot] = o;
    return true;
}

bool Player::create_in_free_slot(const Logical_Object& o)
{
    for (Logical_Object& slot : m_objects)
        if (slot.type == Logical_Object::Type::none) {
            slot = o;
            return true;
        }
    return false;
}

void Player::select(std::size_t slot)
{
    if (slot >= m_objects.size()) return;
    const Logical_Object& o = m_objects[slot];
    switch (o.type) {
    case Logical_Object::Type::pen: realize_pen(o); break;
    case Logical_Object::Type::brush: realize_brush(o); break;
    case Logical_Object::Type::font: realize_font(o); break;
    default: break;
    }
}

void Player::select_stock(std::uint32_t index)
{
    Logical_Object o;
    if (index <= 5) {
        static constexpr int greys[] = {255, 192, 128, 64, 0};
        o.type = Logical_Object::Type::brush;
        o.brush.lbStyle = index == 5 ? BS_NULL : BS_SOLID;
        if (index < 5) o.brush.lbColor = RGB(greys[index], greys[index], greys[index]);
    } else if (index <= 8) {
        o.type = Logical_Object::Type::pen;
        o.cosmetic = true;
        o.pen.lopnStyle = index == 8 ? PS_NULL : PS_SOLID;
        o.pen.lopnColor = index == 6 ? RGB(255, 255, 255) : RGB(0, 0, 0);
    } else if (index >= 10 && index <= 17 && index != 15) {
        o.type = Logical_Object::Type::font;
        o.weight = FW_NORMAL;
    } else if (index == 18) {
        o.type = Logical_Object::Type::brush;
        o.brush.lbColor = RGB(255, 255, 255);
    } else if (index == 19) {
        o.type = Logical_Object::Type::pen;
        o.cosmetic = true;
    } else {
        return;
    }
    switch (o.type) {
    case Logical_Object::Type::pen: realize_pen(o); break;
    case Logical_Object::Type::brush: realize_brush(o); break;
    default: {
        // The default font: its size does not follow the mapping.
        take(CreateFontA(0, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, nullptr));
        break;
    }
    }
}

void Player::remove(std::size_t slot)
{
    if (slot < m_objects.size()) m_objects[slot] = Logical_Object{};
}

void Player::save()
{
    if (m_saved.size() >= max_saved) return;
    if (SaveDC(m_hdc) <= 0) return;
    m_saved.push_back(m_state);
}

void Player::restore(long level)
{
    const long n = static_cast<long>(m_saved.size());
    const long at = level < 0 ? n + level : level - 1;
    if (level == 0 || at < 0 || at >= n) return;
    if (!RestoreDC(m_hdc, m_base_level + 1 + static_cast<int>(at))) return;
    m_state = m_saved[static_cast<std::size_t>(at)];
    m_saved.resize(static_cast<std::size_t>(at));
    sweep_made();
}

void Player::bk_mode(int mode)
{
    if (mode == TRANSPARENT || mode == OPAQUE) SetBkMode(m_hdc, mode);
}
void Player::bk_colour(COLORREF c)
{
    m_state.bk = c & 0xFFFFFF;
    SetBkColor(m_hdc, m_state.bk);
}
void Player::text_colour(COLORREF c) { SetTextColor(m_hdc, c & 0xFFFFFF); }
void Player::text_align(UINT align) { SetTextAlign(m_hdc, align & (TA_UPDATECP | TA_CENTER | TA_BASELINE)); }
void Player::rop2(int mode)
{
    if (mode >= R2_BLACK && mode <= R2_WHITE) SetROP2(m_hdc, mode);
}

void Player::clip_box(const RECT& r)
{
    HRGN region = CreateRectRgn(r.left, r.top, std::max(r.left, r.right), std::max(r.top, r.bottom));
    SelectClipRgn(m_hdc, region);
    DeleteObject(region);
}

void Player::intersect_clip(double l, double t, double r, double b)
{
    const POINT a = pixel(l, t), c = pixel(r, b);
    IntersectClipRect(m_hdc, std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x), std::max(a.y, c.y));
}

void Player::exclude_clip(double l, double t, double r, double b)
{
    // The clip stays a rectangle: an exclusion that takes a whole band off one side narrows
    // it; one that would leave a hole is not made.
    const POINT a = pixel(l, t), c = pixel(r, b);
    const LONG x0 = std::min(a.x, c.x), y0 = std::min(a.y, c.y), x1 = std::max(a.x, c.x), y1 = std::max(a.y, c.y);
    RECT k{};
    GetClipBox(m_hdc, &k);
    if (x1 <= k.left || x0 >= k.right || y1 <= k.top || y0 >= k.bottom) return;
    const bool spans_x = x0 <= k.left && x1 >= k.right, spans_y = y0 <= k.top && y1 >= k.bottom;
    if (spans_y && x0 <= k.left) k.left = x1;
    else if (spans_y && x1 >= k.right) k.right = x0;
    else if (spans_x && y0 <= k.top) k.top = y1;
    else if (spans_x && y1 >= k.bottom) k.bottom = y0;
    else return;
    clip_box(k);
}

void Player::reset_clip()
{
    clip_box(m_base_clip);
}

void Player::clip_to_reference(double l, double t, double r, double b, bool copy)
{
    double x0, y0, x1, y1;
    m_frame.apply(l, t, x0, y0);
    m_frame.apply(r, b, x1, y1);
    if (copy) reset_clip();
    IntersectClipRect(m_hdc, static_cast<int>(clamp_round(std::min(x0, x1))), static_cast<int>(clamp_round(std::min(y0, y1))),
                      static_cast<int>(clamp_round(std::max(x0, x1))), static_cast<int>(clamp_round(std::max(y0, y1))));
}

// ---- drawing ----

void Player::draw_figure(std::vector<Dpoint> pts, bool closed, bool fill)
{
    if (pts.empty()) return;
    if (m_in_path) {
        if (m_path_points + pts.size() <= max_path_points) {
            m_path_points += pts.size();
            m_path.push_back(Path_Figure{std::move(pts), closed});
        }
        m_figure_open = false;
        return;
    }
    std::vector<POINT> p;
    p.reserve(pts.size() + 1);
    for (const Dpoint& d : pts) p.push_back(POINT{static_cast<LONG>(clamp_round(d.x)), static_cast<LONG>(clamp_round(d.y))});
    if (p.size() > static_cast<std::size_t>(INT32_MAX - 1)) return;
    charge_strokes(pts, closed);
    if (fill) {
        const auto [lx, hx] = std::minmax_element(p.begin(), p.end(), [](POINT a, POINT b) { return a.x < b.x; });
        const auto [ly, hy] = std::minmax_element(p.begin(), p.end(), [](POINT a, POINT b) { return a.y < b.y; });
        charge_box(lx->x, ly->y, hx->x, hy->y);
    }
    if (fill && p.size() >= 2) {
        Polygon(m_hdc, p.data(), static_cast<int>(p.size()));
        return;
    }
    if (closed) p.push_back(p.front());
    if (p.size() == 1) p.push_back(p.front());
    Polyline(m_hdc, p.data(), static_cast<int>(p.size()));
}

void Player::move_to(double x, double y)
{
    m_state.x = x, m_state.y = y;
    const POINT p = pixel(x, y);
    if (m_in_path) {
        m_figure_open = false;
        return;
    }
    MoveToEx(m_hdc, p.x, p.y, nullptr);
}

void Player::line_to(double x, double y)
{
    const Dpoint from = target_point(m_state.x, m_state.y), to = target_point(x, y);
    m_state.x = x, m_state.y = y;
    if (m_in_path) {
        if (m_path_points + 2 > max_path_points) return;
        if (m_figure_open && !m_path.empty()) {
            m_path.back().points.push_back(to);
            m_path_points += 1;
        } else {
            m_path.push_back(Path_Figure{{from, to}, false});
            m_path_points += 2;
        }
        m_figure_open = true;
        return;
    }
    const POINT p = pixel(x, y);
    const Dpoint stroke[] = {from, to};
    charge_strokes(stroke, false);
    LineTo(m_hdc, p.x, p.y);
}

Dpoint Player::target_point(double x, double y) const
{
    Dpoint d;
    to_target(x, y, d.x, d.y);
    return d;
}

void Player::poly(const std::vector<Dpoint>& pts, bool closed)
{
    std::vector<Dpoint> t;
    t.reserve(pts.size());
    const Affine m = logical_to_target();
    for (const Dpoint& p : pts) {
        Dpoint d;
        m.apply(p.x, p.y, d.x, d.y);
        t.push_back(d);
    }
    draw_figure(std::move(t), closed, closed);
}

void Player::poly_to(const std::vector<Dpoint>& pts)
{
    for (const Dpoint& p : pts) line_to(p.x, p.y);
}

// Cubic Béziers flattened in target pixels, 16 steps each.
void Player::poly_bezier(const std::vector<Dpoint>& pts, bool from_current)
{
    std::vector<Dpoint> c;
    if (from_current) c.push_back(Dpoint{m_state.x, m_state.y});
    c.insert(c.end(), pts.begin(), pts.end());
    if (c.size() < 4 || (c.size() - 1) % 3 != 0) return;
    std::vector<Dpoint> flat{c[0]};
    for (std::size_t i = 0; i + 3 < c.size(); i += 3)
        for (int k = 1; k <= 16; ++k) {
            const double t = k / 16.0, u = 1 - t;
            flat.push_back(Dpoint{u * u * u * c[i].x + 3 * u * u * t * c[i + 1].x + 3 * u * t * t * c[i + 2].x +
                                      t * t * t * c[i + 3].x,
                                  u * u * u * c[i].y + 3 * u * u * t * c[i + 1].y + 3 * u * t * t * c[i + 2].y +
                                      t * t * t * c[i + 3].y});
        }
    if (from_current) {
        flat.erase(flat.begin());
        poly_to(flat);
    } else {
        poly(flat, false);
    }
}

void Player::rectangle(double l, double t, double r, double b)
{
    const Affine m = logical_to_target();
    if (m.axis_aligned() && !m_in_path) {
        const RECT k = charged_box(l, t, r, b);
        Rectangle(m_hdc, k.left, k.top, k.right, k.bottom);
        return;
    }
    poly({{l, t}, {r, t}, {r, b}, {l, b}}, true);
}

void Player::ellipse_points(double l, double t, double r, double b, double a0, double sweep, std::vector<Dpoint>& out)
{
    const double cx = (l + r) / 2, cy = (t + b) / 2, rx = std::fabs(r - l) / 2, ry = std::fabs(b - t) / 2;
    const Affine m = logical_to_target();
    // Steps enough that no chord strays half a pixel on the target; bounded, also where a
    // mapping that overflowed makes the reach infinite or not a number.
    const double reach = std::max(std::hypot(m.a * rx, m.b * rx), std::hypot(m.c * ry, m.d * ry));
    const double steps = std::ceil(std::fabs(sweep) * std::sqrt(reach > 1 ? reach : 1.0));
    const int n = steps > 8 ? static_cast<int>(std::min(steps, 1024.0)) : 8;
    for (int k = 0; k <= n; ++k) {
        const double a = a0 + sweep * k / n;
        out.push_back(Dpoint{cx + rx * std::cos(a), cy - ry * std::sin(a)});
    }
}

void Player::ellipse(double l, double t, double r, double b)
{
    const Affine m = logical_to_target();
    if (m.axis_aligned() && !m_in_path) {
        const RECT k = charged_box(l, t, r, b);
        Ellipse(m_hdc, k.left, k.top, k.right, k.bottom);
        return;
    }
    std::vector<Dpoint> pts;
    ellipse_points(l, t, r, b, 0, 2 * pi, pts);
    pts.pop_back();
    poly(pts, true);
}

void Player::round_rect(double l, double t, double r, double b, double w, double h)
{
    if (r < l) std::swap(l, r);
    if (b < t) std::swap(t, b);
    w = std::min(std::fabs(w), r - l), h = std::min(std::fabs(h), b - t);
    std::vector<Dpoint> pts;
    ellipse_points(r - w, t, r, t + h, 0, pi / 2, pts);
    ellipse_points(l, t, l + w, t + h, pi / 2, pi / 2, pts);
    ellipse_points(l, b - h, l + w, b, pi, pi / 2, pts);
    ellipse_points(r - w, b - h, r, b, 3 * pi / 2, pi / 2, pts);
    poly(pts, true);
}

void Player::arc(Arc_Kind kind, double l, double t, double r, double b, double xs, double ys, double xe, double ye)
{
    const double cx = (l + r) / 2, cy = (t + b) / 2;
    const double rx = std::max(std::fabs(r - l) / 2, 1e-9), ry = std::max(std::fabs(b - t) / 2, 1e-9);
    const double as = std::atan2(-(ys - cy) / ry, (xs - cx) / rx), ae = std::atan2(-(ye - cy) / ry, (xe - cx) / rx);
    // Counter-clockwise as seen on the target: where the mapping mirrors, the angles run back.
    const bool mirrored = logical_to_target().det() < 0;
    double sweep = mirrored ? as - ae : ae - as;
    sweep = std::fmod(sweep, 2 * pi);
    if (sweep <= 1e-12) sweep += 2 * pi;
    std::vector<Dpoint> pts;
    ellipse_points(l, t, r, b, as, mirrored ? -sweep : sweep, pts);
    if (kind == Arc_Kind::pie) pts.push_back(Dpoint{cx, cy});
    poly(pts, kind != Arc_Kind::arc);
}

void Player::set_pixel(double x, double y, COLORREF c)
{
    const POINT p = pixel(x, y);
    SetPixel(m_hdc, p.x, p.y, c & 0xFFFFFF);
}

void Player::text(double x, double y, const std::u16string& s, const double* box, bool opaque, bool clip)
{
    if (m_in_path) return;
    const POINT p = pixel(x, y);
    RECT k{};
    if (box) {
        const POINT a = pixel(box[0], box[1]), c = pixel(box[2], box[3]);
        k = RECT{std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x), std::max(a.y, c.y)};
        if (opaque) {
            charge_box(k.left, k.top, k.right, k.bottom);
            HBRUSH back = CreateSolidBrush(m_state.bk);
            FillRect(m_hdc, &k, back);
            DeleteObject(back);
        }
    }
    const bool clipped = box && clip && SaveDC(m_hdc) > 0;
    if (clipped) IntersectClipRect(m_hdc, k.left, k.top, k.right, k.bottom);
    if (!s.empty() && s.size() < INT32_MAX) TextOutW(m_hdc, p.x, p.y, s.data(), static_cast<int>(s.size()));
    if (clipped) RestoreDC(m_hdc, -1);
}

void Player::dib(double xd, double yd, double wd, double hd, int xs, int ys, int ws, int hs,
                 const std::uint8_t* info, const std::uint8_t* bits, DWORD rop)
{
    if (m_in_path) return;
    const POINT a = pixel(xd, yd), c = pixel(xd + wd, yd + hd);
    charge_box(a.x, a.y, c.x, c.y);
    if (!info) {
        const RECT k{std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x), std::max(a.y, c.y)};
        if (rop == PATCOPY) {
            FillRect(m_hdc, &k, static_cast<HBRUSH>(GetCurrentObject(m_hdc, OBJ_BRUSH)));
        } else if (rop == BLACKNESS || rop == WHITENESS) {
            HBRUSH fill = CreateSolidBrush(rop == BLACKNESS ? RGB(0, 0, 0) : RGB(255, 255, 255));
            FillRect(m_hdc, &k, fill);
            DeleteObject(fill);
        }
        return;
    }
    StretchDIBits(m_hdc, a.x, a.y, c.x - a.x, c.y - a.y, xs, ys, ws, hs, bits, reinterpret_cast<const BITMAPINFO*>(info),
                  DIB_RGB_COLORS, rop);
}

void Player::begin_path()
{
    m_in_path = true;
    m_path.clear();
    m_path_points = 0;
    m_figure_open = false;
}

void Player::end_path()
{
    m_in_path = false;
    m_figure_open = false;
}

void Player::close_figure()
{
    if (m_in_path && !m_path.empty()) m_path.back().closed = true;
    m_figure_open = false;
}

void Player::abort_path()
{
    m_in_path = false;
    m_path.clear();
    m_path_points = 0;
}

void Player::fill_path(bool fill, bool stroke)
{
    m_in_path = false;
    std::vector<Path_Figure> figures;
    figures.swap(m_path);
    m_path_points = 0;
    const auto rounded = [](const std::vector<Dpoint>& pts) {
        std::vector<POINT> p;
        for (const Dpoint& d : pts) p.push_back(POINT{static_cast<LONG>(clamp_round(d.x)), static_cast<LONG>(clamp_round(d.y))});
        return p;
    };
    if (fill) {
        double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
        for (const Path_Figure& f : figures)
            for (const Dpoint& d : f.points)
                x0 = std::min(x0, d.x), y0 = std::min(y0, d.y), x1 = std::max(x1, d.x), y1 = std::max(y1, d.y);
        if (x0 <= x1 && y0 <= y1) charge_box(x0, y0, x1, y1);
        // One path, so figures inside others leave holes; the outline comes after, if at all.
        BeginPath(m_hdc);
        for (const Path_Figure& f : figures) {
            const std::vector<POINT> p = rounded(f.points);
            if (p.size() >= 2 && p.size() < INT32_MAX) Polygon(m_hdc, p.data(), static_cast<int>(p.size()));
        }
        EndPath(m_hdc);
        HGDIOBJ pen = SelectObject(m_hdc, m_null_pen);
        StrokeAndFillPath(m_hdc);
        if (pen) SelectObject(m_hdc, pen);
    }
    if (stroke)
        for (Path_Figure& f : figures) draw_figure(std::move(f.points), f.closed, false);
}

}  // namespace platform
