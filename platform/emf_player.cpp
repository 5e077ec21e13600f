// The records of enhanced metafiles, each read within its own stated size.

#include <cstring>
#include <string>

#include "platform/bytes_p.h"
#include "platform/codepage.h"
#include "platform/dib_p.h"
#include "platform/metafile_player_p.h"

namespace platform {
namespace {

enum : std::uint32_t {
    emr_header = 1,
    emr_polybezier = 2,
    emr_polygon = 3,
    emr_polyline = 4,
    emr_polybezierto = 5,
    emr_polylineto = 6,
    emr_polypolyline = 7,
    emr_polypolygon = 8,
    emr_setwindowextex = 9,
    emr_setwindoworgex = 10,
    emr_setviewportextex = 11,
    emr_setviewportorgex = 12,
    emr_eof = 14,
    emr_setpixelv = 15,
    emr_setmapmode = 17,
    emr_setbkmode = 18,
    emr_setrop2 = 20,
    emr_settextalign = 22,
    emr_settextcolor = 24,
    emr_setbkcolor = 25,
    emr_movetoex = 27,
    emr_excludecliprect = 29,
    emr_intersectcliprect = 30,
    emr_scaleviewportextex = 31,
    emr_scalewindowextex = 32,
    emr_savedc = 33,
    emr_restoredc = 34,
    emr_setworldtransform = 35,
    emr_modifyworldtransform = 36,
    emr_selectobject = 37,
    emr_createpen = 38,
    emr_createbrushindirect = 39,
    emr_deleteobject = 40,
    emr_ellipse = 42,
    emr_rectangle = 43,
    emr_roundrect = 44,
    emr_arc = 45,
    emr_chord = 46,
    emr_pie = 47,
    emr_lineto = 54,
    emr_beginpath = 59,
    emr_endpath = 60,
    emr_closefigure = 61,
    emr_fillpath = 62,
    emr_strokeandfillpath = 63,
    emr_strokepath = 64,
    emr_abortpath = 68,
    emr_extselectcliprgn = 75,
    emr_bitblt = 76,
    emr_stretchblt = 77,
    emr_setdibitstodevice = 80,
    emr_stretchdibits = 81,
    emr_extcreatefontindirectw = 82,
    emr_exttextouta = 83,
    emr_exttextoutw = 84,
    emr_polybezier16 = 85,
    emr_polygon16 = 86,
    emr_polyline16 = 87,
    emr_polybezierto16 = 88,
    emr_polylineto16 = 89,
    emr_polypolyline16 = 90,
    emr_polypolygon16 = 91,
    emr_createmonobrush = 93,
    emr_createdibpatternbrushpt = 94,
    emr_extcreatepen = 95,
};

constexpr std::uint32_t eto_opaque = 2, eto_clipped = 4;

// One record: its bytes and their count, every read checked against it.
struct Record {
    const std::uint8_t* p;
    std::size_t n;
    bool has(std::size_t end) const { return end <= n; }
    std::int32_t i32(std::size_t at) const { return le32s(p + at); }
    std::uint32_t u32(std::size_t at) const { return le32(p + at); }
    float f32(std::size_t at) const
    {
        const std::uint32_t v = le32(p + at);
        float f;
        std::memcpy(&f, &v, sizeof f);
        return f;
    }
    // A part at offset `at` of `size` bytes that lies inside the record.
    bool part(std::uint64_t at, std::uint64_t size) const { return at <= n && size <= n - at; }
};

// count points of 8 bytes (32-bit) or 4 (16-bit) at `at`; false when they pass the record.
bool read_points(const Record& r, std::size_t at, std::uint64_t count, bool small, std::vector<Dpoint>& out)
{
    const std::uint64_t each = small ? 4 : 8;
    if (!r.part(at, count * each)) return false;
    out.clear();
    out.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t* q = r.p + at + i * each;
        out.push_back(small ? Dpoint{double(le16s(q)), double(le16s(q + 2))} : Dpoint{double(le32s(q)), double(le32s(q + 4))});
    }
    return true;
}

// A DIB inside the record: its header and rows where the record says, each inside it and
// large enough for what the header describes. Null info when the record carries none.
bool record_dib(const Record& r, std::uint32_t off_bmi, std::uint32_t cb_bmi, std::uint32_t off_bits,
                std::uint32_t cb_bits, const std::uint8_t*& info, const std::uint8_t*& bits)
{
    info = bits = nullptr;
    if (cb_bmi == 0) return true;
    if (!r.part(off_bmi, cb_bmi) || !r.part(off_bits, cb_bits)) return false;
    const std::size_t need_info = Dib_Source::info_bytes(r.p + off_bmi, cb_bmi);
    const std::size_t need_bits = Dib_Source::bits_bytes(r.p + off_bmi, cb_bmi);
    if (need_info == 0 || need_info > cb_bmi || need_bits == 0 || need_bits > cb_bits) return false;
    info = r.p + off_bmi;
    bits = r.p + off_bits;
    return true;
}

Affine xform(const Record& r, std::size_t at)
{
    Affine m;
    m.a = r.f32(at), m.b = r.f32(at + 4), m.c = r.f32(at + 8), m.d = r.f32(at + 12);
    m.e = r.f32(at + 16), m.f = r.f32(at + 20);
    return m;
}

void poly_record(Player& player, const Record& r, std::uint32_t type)
{
    const bool small = type >= emr_polybezier16;
    const std::uint32_t kind = small ? type - emr_polybezier16 + emr_polybezier : type;
    if (!r.has(28)) return;
    std::vector<Dpoint> pts;
    if (!read_points(r, 28, r.u32(24), small, pts)) return;
    switch (kind) {
    case emr_polybezier: player.poly_bezier(pts, false); break;
    case emr_polygon: player.poly(pts, true); break;
    case emr_polyline: player.poly(pts, false); break;
    case emr_polybezierto: player.poly_bezier(pts, true); break;
    case emr_polylineto: player.poly_to(pts); break;
    default: break;
    }
}

void poly_poly_record(Player& player, const Record& r, bool closed, bool small)
{
    if (!r.has(32)) return;
    const std::uint64_t polys = r.u32(24), total = r.u32(28);
    if (!r.part(32, polys * 4)) return;
    std::uint64_t sum = 0;
    for (std::uint64_t i = 0; i < polys; ++i) sum += r.u32(static_cast<std::size_t>(32 + 4 * i));
    std::vector<Dpoint> all;
    if (sum != total || !read_points(r, static_cast<std::size_t>(32 + 4 * polys), total, small, all)) return;
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < polys; ++i) {
        const std::size_t k = r.u32(static_cast<std::size_t>(32 + 4 * i));
        player.poly(std::vector<Dpoint>(all.begin() + static_cast<long>(at), all.begin() + static_cast<long>(at + k)),
                    closed);
        at += k;
    }
}

Logical_Object pen_object(std::uint32_t style, std::int32_t width, COLORREF colour, bool cosmetic)
{
    Logical_Object o;
    o.type = Logical_Object::Type::pen;
    o.pen.lopnStyle = style;
    o.pen.lopnWidth.x = width < 0 ? 0 : width;
    o.pen.lopnColor = colour;
    o.cosmetic = cosmetic;
    return o;
}

void text_record(Player& player, const Record& r, bool wide)
{
    if (!r.has(76)) return;
    const std::uint64_t count = r.u32(44), off = r.u32(48);
    const std::uint32_t options = r.u32(52);
    if (!r.part(off, count * (wide ? 2 : 1))) return;
    std::u16string s;
    if (wide) {
        for (std::uint64_t i = 0; i < count; ++i) s.push_back(static_cast<char16_t>(le16(r.p + off + 2 * i)));
    } else if (count > 0 && count < INT32_MAX) {
        const char* a = reinterpret_cast<const char*>(r.p + off);
        const int n = MultiByteToWideChar(CP_ACP, 0, a, static_cast<int>(count), nullptr, 0);
        s.resize(static_cast<std::size_t>(std::max(n, 0)));
        if (n > 0) MultiByteToWideChar(CP_ACP, 0, a, static_cast<int>(count), s.data(), n);
    }
    const double box[4] = {double(r.i32(56)), double(r.i32(60)), double(r.i32(64)), double(r.i32(68))};
    const bool boxed = options & (eto_opaque | eto_clipped);
    player.text(r.i32(36), r.i32(40), s, boxed ? box : nullptr, options & eto_opaque, options & eto_clipped);
}

void blit_record(Player& player, const Record& r, std::uint32_t type)
{
    const std::uint8_t *info = nullptr, *bits = nullptr;
    if (type == emr_stretchdibits || type == emr_setdibitstodevice) {
        if (!r.has(type == emr_stretchdibits ? 80 : 76)) return;
        if (r.u32(64) != DIB_RGB_COLORS) return;
        if (!record_dib(r, r.u32(48), r.u32(52), r.u32(56), r.u32(60), info, bits) || !info) return;
        const int ws = r.i32(40), hs = r.i32(44);
        const bool stretch = type == emr_stretchdibits;
        player.dib(r.i32(24), r.i32(28), stretch ? r.i32(72) : ws, stretch ? r.i32(76) : hs, r.i32(32), r.i32(36), ws,
                   hs, info, bits, stretch ? r.u32(68) : SRCCOPY);
        return;
    }
    if (!r.has(type == emr_stretchblt ? 108 : 100)) return;
    if (r.u32(88) != 0 && r.u32(80) != DIB_RGB_COLORS) return;
    if (!record_dib(r, r.u32(84), r.u32(88), r.u32(92), r.u32(96), info, bits)) return;
    const int wd = r.i32(32), hd = r.i32(36);
    const int ws = type == emr_stretchblt ? r.i32(100) : wd, hs = type == emr_stretchblt ? r.i32(104) : hd;
    player.dib(r.i32(24), r.i32(28), wd, hd, r.i32(44), r.i32(48), ws, hs, info, bits, r.u32(40));
}

void clip_region_record(Player& player, const Record& r)
{
    if (!r.has(16)) return;
    const std::uint64_t size = r.u32(8);
    const std::uint32_t mode = r.u32(12);
    if (size == 0) {
        if (mode == 5) player.reset_clip();  // RGN_COPY of no region: the default clip
        return;
    }
    // The region's bounding rectangle, in reference pixels; only copies and intersections.
    if (size < 32 || !r.part(16, size) || (mode != 1 && mode != 5)) return;
    player.clip_to_reference(r.i32(32), r.i32(36), r.i32(40), r.i32(44), mode == 5);
}

bool setup(Player& player, const std::uint8_t* d, std::size_t n, std::size_t& header_size)
{
    if (n < 88) return false;
    header_size = le32(d + 4);
    if (header_size < 88 || header_size > n || header_size % 4 != 0) return false;
    double per_mm_x = 96 / 25.4, per_mm_y = 96 / 25.4;
    const double dev_x = le32s(d + 72), dev_y = le32s(d + 76);
    double mm_x = le32s(d + 80), mm_y = le32s(d + 84);
    if (header_size >= 108 && le32s(d + 100) > 0 && le32s(d + 104) > 0) mm_x = le32s(d + 100) / 1000.0, mm_y = le32s(d + 104) / 1000.0;
    if (dev_x > 0 && dev_y > 0 && mm_x > 0 && mm_y > 0) per_mm_x = dev_x / mm_x, per_mm_y = dev_y / mm_y;
    player.device_resolution(per_mm_x, per_mm_y);
    // The frame is in 0.01 mm; the records draw in the reference device's pixels.
    player.set_frame(le32s(d + 24) * per_mm_x / 100, le32s(d + 28) * per_mm_y / 100, le32s(d + 32) * per_mm_x / 100,
                     le32s(d + 36) * per_mm_y / 100);
    player.set_objects(le16(d + 56));
    return true;
}

}  // namespace

bool play_emf_records(Player& player, const std::uint8_t* d, std::size_t n)
{
    std::size_t at = 0;
    if (!setup(player, d, n, at)) return false;
    while (at + 8 <= n) {
        const std::uint32_t type = le32(d + at), size = le32(d + at + 4);
        if (size < 8 || size % 4 != 0 || size > n - at) return false;
        const Record r{d + at, size};
        at += size;
        switch (type) {
        case emr_eof: return true;
        case emr_polybezier:
        case emr_polygon:
        case emr_polyline:
        case emr_polybezierto:
        case emr_polylineto:
        case emr_polybezier16:
        case emr_polygon16:
        case emr_polyline16:
        case emr_polybezierto16:
        case emr_polylineto16: poly_record(player, r, type); break;
        case emr_polypolyline:
        case emr_polypolygon: poly_poly_record(player, r, type == emr_polypolygon, false); break;
        case emr_polypolyline16:
        case emr_polypolygon16: poly_poly_record(player, r, type == emr_polypolygon16, true); break;
        case emr_setwindowextex:
            if (r.has(16)) player.window_ext(r.i32(8), r.i32(12));
            break;
        case emr_setwindoworgex:
            if (r.has(16)) player.window_org(r.i32(8), r.i32(12));
            break;
        case emr_setviewportextex:
            if (r.has(16)) player.viewport_ext(r.i32(8), r.i32(12));
            break;
        case emr_setviewportorgex:
            if (r.has(16)) player.viewport_org(r.i32(8), r.i32(12));
            break;
        case emr_scaleviewportextex:
        case emr_scalewindowextex:
            if (!r.has(24)) break;
            if (type == emr_scalewindowextex)
                player.scale_window_ext(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
            else
                player.scale_viewport_ext(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
            break;
        case emr_setpixelv:
            if (r.has(20)) player.set_pixel(r.i32(8), r.i32(12), r.u32(16));
            break;
        case emr_setmapmode:
            if (r.has(12)) player.map_mode(r.i32(8));
            break;
        case emr_setbkmode:
            if (r.has(12)) player.bk_mode(r.i32(8));
            break;
        case emr_setrop2:
            if (r.has(12)) player.rop2(r.i32(8));
            break;
        case emr_settextalign:
            if (r.has(12)) player.text_align(r.u32(8));
            break;
        case emr_settextcolor:
            if (r.has(12)) player.text_colour(r.u32(8));
            break;
        case emr_setbkcolor:
            if (r.has(12)) player.bk_colour(r.u32(8));
            break;
        case emr_movetoex:
            if (r.has(16)) player.move_to(r.i32(8), r.i32(12));
            break;
        case emr_lineto:
            if (r.has(16)) player.line_to(r.i32(8), r.i32(12));
            break;
        case emr_excludecliprect:
        case emr_intersectcliprect:
            if (!r.has(24)) break;
            if (type == emr_intersectcliprect)
                player.intersect_clip(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
            else
                player.exclude_clip(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
            break;
        case emr_savedc: player.save(); break;
        case emr_restoredc:
            if (r.has(12)) player.restore(r.i32(8));
            break;
        case emr_setworldtransform:
            if (r.has(32)) player.world(xform(r, 8));
            break;
        case emr_modifyworldtransform: {
            if (!r.has(36)) break;
            const Affine m = xform(r, 8);
            switch (r.u32(32)) {
            case 1: player.world(Affine{}); break;
            case 2: player.world(m.then(player.world())); break;
            case 3: player.world(player.world().then(m)); break;
            case 4: player.world(m); break;
            default: break;
            }
            break;
        }
        case emr_selectobject:
            if (!r.has(12)) break;
            if (r.u32(8) & 0x80000000u)
                player.select_stock(r.u32(8) & 0x7FFFFFFFu);
            else
                player.select(r.u32(8));
            break;
        case emr_deleteobject:
            if (r.has(12)) player.remove(r.u32(8));
            break;
        case emr_createpen:
            if (r.has(28)) player.create(r.u32(8), pen_object(r.u32(12), r.i32(16), r.u32(24), false));
            break;
        case emr_extcreatepen:
            if (r.has(52))
                player.create(r.u32(8), pen_object(r.u32(28), r.i32(32), r.u32(40), (r.u32(28) & 0xF0000u) == 0));
            break;
        case emr_createbrushindirect: {
            if (!r.has(24)) break;
            Logical_Object o;
            o.type = Logical_Object::Type::brush;
            o.brush = LOGBRUSH{r.u32(12), r.u32(16), r.u32(20)};
            player.create(r.u32(8), o);
            break;
        }
        case emr_createmonobrush:
        case emr_createdibpatternbrushpt: {
            const std::uint8_t *info = nullptr, *bits = nullptr;
            if (r.has(32) && record_dib(r, r.u32(16), r.u32(20), r.u32(24), r.u32(28), info, bits))
                player.create(r.u32(8), Logical_Object::pattern_brush(info, bits));
            break;
        }
        case emr_extcreatefontindirectw: {
            if (!r.has(104)) break;
            Logical_Object o;
            o.type = Logical_Object::Type::font;
            o.height = r.i32(12), o.width = r.i32(16), o.escapement = r.i32(20), o.weight = r.i32(28);
            o.italic = r.p[32] != 0, o.underline = r.p[33] != 0, o.strike_out = r.p[34] != 0;
            for (std::size_t i = 0; i < 32; ++i) {
                const char16_t c = static_cast<char16_t>(le16(r.p + 40 + 2 * i));
                if (!c) break;
                o.face.push_back(c);
            }
            player.create(r.u32(8), o);
            break;
        }
        case emr_ellipse:
        case emr_rectangle:
            if (!r.has(24)) break;
            if (type == emr_ellipse)
                player.ellipse(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
            else
                player.rectangle(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
            break;
        case emr_roundrect:
            if (r.has(32)) player.round_rect(r.i32(8), r.i32(12), r.i32(16), r.i32(20), r.i32(24), r.i32(28));
            break;
        case emr_arc:
        case emr_chord:
        case emr_pie:
            if (!r.has(40)) break;
            player.arc(type == emr_arc ? Player::Arc_Kind::arc : type == emr_chord ? Player::Arc_Kind::chord : Player::Arc_Kind::pie,
                       r.i32(8), r.i32(12), r.i32(16), r.i32(20), r.i32(24), r.i32(28), r.i32(32), r.i32(36));
            break;
        case emr_beginpath: player.begin_path(); break;
        case emr_endpath: player.end_path(); break;
        case emr_closefigure: player.close_figure(); break;
        case emr_abortpath: player.abort_path(); break;
        case emr_fillpath: player.fill_path(true, false); break;
        case emr_strokepath: player.fill_path(false, true); break;
        case emr_strokeandfillpath: player.fill_path(true, true); break;
        case emr_extselectcliprgn: clip_region_record(player, r); break;
        case emr_bitblt:
        case emr_stretchblt:
        case emr_setdibitstodevice:
        case emr_stretchdibits: blit_record(player, r, type); break;
        case emr_exttextouta:
        case emr_exttextoutw: text_record(player, r, type == emr_exttextoutw); break;
        default: break;  // stepped over by its size
        }
        if (player.spent()) return false;
    }
    return false;
}

}  // namespace platform
