// The records of Windows metafiles (after any placeable header), each read within its own
// stated size. Parameters are 16-bit words, most of them in reverse order (the last argument
// of the call first).

#include <string>

#include "platform/bytes_p.h"
#include "platform/codepage.h"
#include "platform/dib_p.h"
#include "platform/metafile_player_p.h"

namespace platform {
namespace {

enum : std::uint32_t {
    meta_eof = 0x0000,
    meta_savedc = 0x001E,
    meta_realizepalette = 0x0035,
    meta_setpalentries = 0x0037,
    meta_createpalette = 0x00F7,
    meta_setbkmode = 0x0102,
    meta_setmapmode = 0x0103,
    meta_setrop2 = 0x0104,
    meta_setpolyfillmode = 0x0106,
    meta_restoredc = 0x0127,
    meta_selectobject = 0x012D,
    meta_settextalign = 0x012E,
    meta_dibcreatepatternbrush = 0x0142,
    meta_deleteobject = 0x01F0,
    meta_createpatternbrush = 0x01F9,
    meta_setbkcolor = 0x0201,
    meta_settextcolor = 0x0209,
    meta_setwindoworg = 0x020B,
    meta_setwindowext = 0x020C,
    meta_setviewportorg = 0x020D,
    meta_setviewportext = 0x020E,
    meta_offsetwindoworg = 0x020F,
    meta_offsetviewportorg = 0x0211,
    meta_lineto = 0x0213,
    meta_moveto = 0x0214,
    meta_createpenindirect = 0x02FA,
    meta_createfontindirect = 0x02FB,
    meta_createbrushindirect = 0x02FC,
    meta_polygon = 0x0324,
    meta_polyline = 0x0325,
    meta_scalewindowext = 0x0410,
    meta_scaleviewportext = 0x0412,
    meta_excludecliprect = 0x0415,
    meta_intersectcliprect = 0x0416,
    meta_ellipse = 0x0418,
    meta_rectangle = 0x041B,
    meta_setpixel = 0x041F,
    meta_textout = 0x0521,
    meta_polypolygon = 0x0538,
    meta_roundrect = 0x061C,
    meta_patblt = 0x061D,
    meta_createregion = 0x06FF,
    meta_arc = 0x0817,
    meta_pie = 0x081A,
    meta_chord = 0x0830,
    meta_dibbitblt = 0x0940,
    meta_exttextout = 0x0A32,
    meta_dibstretchblt = 0x0B41,
    meta_setdibtodev = 0x0D33,
    meta_stretchdib = 0x0F43,
};

constexpr std::uint32_t eto_opaque = 2, eto_clipped = 4;

// One record's parameter words (after its size and function), every read checked.
struct Params {
    const std::uint8_t* p;
    std::size_t words;
    bool has(std::size_t n) const { return n <= words; }
    double s(std::size_t i) const { return le16s(p + 2 * i); }
    std::uint32_t u(std::size_t i) const { return le16(p + 2 * i); }
    std::uint32_t u32(std::size_t i) const { return le32(p + 2 * i); }
};

bool points(const Params& a, std::size_t at, std::uint64_t count, std::vector<Dpoint>& out)
{
    if (at > a.words || count * 2 > a.words - at) return false;
    out.clear();
    for (std::uint64_t i = 0; i < count; ++i) out.push_back(Dpoint{a.s(at + 2 * i), a.s(at + 2 * i + 1)});
    return true;
}

// A DIB from word `at` to the record's end: its header, table and rows must fit.
bool params_dib(const Params& a, std::size_t at, const std::uint8_t*& info, const std::uint8_t*& bits)
{
    if (at >= a.words) return false;
    const std::size_t bytes = (a.words - at) * 2;
    info = a.p + 2 * at;
    const std::size_t need_info = Dib_Source::info_bytes(info, bytes);
    if (need_info == 0 || need_info > bytes) return false;
    const std::size_t need_bits = Dib_Source::bits_bytes(info, bytes);
    if (need_bits == 0 || need_bits > bytes - need_info) return false;
    bits = info + need_info;
    return true;
}

std::u16string ansi_text(const std::uint8_t* p, std::size_t n)
{
    std::u16string s;
    if (n == 0 || n >= INT32_MAX) return s;
    const char* a = reinterpret_cast<const char*>(p);
    const int k = MultiByteToWideChar(CP_ACP, 0, a, static_cast<int>(n), nullptr, 0);
    if (k <= 0) return s;
    s.resize(static_cast<std::size_t>(k));
    MultiByteToWideChar(CP_ACP, 0, a, static_cast<int>(n), s.data(), k);
    return s;
}

void create_object(Player& player, std::uint32_t fn, const Params& a)
{
    Logical_Object o;
    o.type = Logical_Object::Type::other;  // palettes, regions and unknown kinds still take a slot
    if (fn == meta_createpenindirect && a.has(5)) {
        o.type = Logical_Object::Type::pen;
        o.pen.lopnStyle = a.u(0);
        o.pen.lopnWidth.x = static_cast<LONG>(a.s(1) < 0 ? 0 : a.s(1));
        o.pen.lopnColor = a.u32(3);
    } else if (fn == meta_createbrushindirect && a.has(4)) {
        o.type = Logical_Object::Type::brush;
        o.brush = LOGBRUSH{a.u(0), a.u32(1), a.u(3)};
    } else if (fn == meta_dibcreatepatternbrush) {
        // Style, usage, then a packed DIB.
        const std::uint8_t *info = nullptr, *bits = nullptr;
        const bool have = a.has(2) && params_dib(a, 2, info, bits);
        o = Logical_Object::pattern_brush(have ? info : nullptr, have ? bits : nullptr);
    } else if (fn == meta_createfontindirect && a.has(9)) {
        o.type = Logical_Object::Type::font;
        o.height = static_cast<int>(a.s(0)), o.width = static_cast<int>(a.s(1)), o.escapement = static_cast<int>(a.s(2));
        o.weight = static_cast<int>(a.s(4));
        const std::uint8_t* b = a.p + 10;
        o.italic = b[0] != 0, o.underline = b[1] != 0, o.strike_out = b[2] != 0;
        const std::size_t face_bytes = std::min<std::size_t>(32, a.words * 2 - 18);
        std::size_t len = 0;
        while (len < face_bytes && a.p[18 + len]) ++len;
        o.face = ansi_text(a.p + 18, len);
    }
    (void)player.create_in_free_slot(o);
}

void text_out(Player& player, const Params& a)
{
    if (!a.has(1)) return;
    const std::size_t n = a.u(0), words = (n + 1) / 2;
    if (!a.has(1 + words + 2)) return;
    player.text(a.s(1 + words + 1), a.s(1 + words), ansi_text(a.p + 2, n), nullptr, false, false);
}

void ext_text_out(Player& player, const Params& a)
{
    if (!a.has(4)) return;
    const double y = a.s(0), x = a.s(1);
    const std::size_t n = a.u(2);
    const std::uint32_t options = a.u(3);
    std::size_t at = 4;
    double box[4] = {0, 0, 0, 0};
    const bool boxed = options & (eto_opaque | eto_clipped);
    if (boxed) {
        if (!a.has(8)) return;
        box[0] = a.s(4), box[1] = a.s(5), box[2] = a.s(6), box[3] = a.s(7);
        at = 8;
    }
    if (!a.has(at + (n + 1) / 2)) return;
    player.text(x, y, ansi_text(a.p + 2 * at, n), boxed ? box : nullptr, options & eto_opaque, options & eto_clipped);
}

void blit(Player& player, std::uint32_t fn, const Params& a, std::size_t words)
{
    const std::uint8_t *info = nullptr, *bits = nullptr;
    switch (fn) {
    case meta_stretchdib:
        // rop, usage, source height, width, y, x, target height, width, y, x, DIB.
        if (!a.has(11) || a.u(2) != DIB_RGB_COLORS || !params_dib(a, 11, info, bits)) return;
        player.dib(a.s(10), a.s(9), a.s(8), a.s(7), static_cast<int>(a.s(6)), static_cast<int>(a.s(5)),
                   static_cast<int>(a.s(4)), static_cast<int>(a.s(3)), info, bits, a.u32(0));
        return;
    case meta_dibstretchblt:
        // rop, source height, width, y, x, target height, width, y, x, DIB; without a DIB a
        // reserved word comes after the source's y and x.
        if (words == 10 + 3 || words == 11 + 3) {
            const std::size_t k = words == 11 + 3 ? 1 : 0;
            if (a.has(10 + k)) player.dib(a.s(9 + k), a.s(8 + k), a.s(7 + k), a.s(6 + k), 0, 0, 0, 0, nullptr, nullptr, a.u32(0));
            return;
        }
        if (!a.has(10) || !params_dib(a, 10, info, bits)) return;
        player.dib(a.s(9), a.s(8), a.s(7), a.s(6), static_cast<int>(a.s(5)), static_cast<int>(a.s(4)),
                   static_cast<int>(a.s(3)), static_cast<int>(a.s(2)), info, bits, a.u32(0));
        return;
    case meta_dibbitblt:
        // rop, source y, x, height, width, target y, x, DIB; without a DIB a reserved word
        // comes after the source's y and x.
        if (words == 9 + 3 || words == 8 + 3) {
            const std::size_t k = words == 9 + 3 ? 1 : 0;
            if (a.has(8 + k)) player.dib(a.s(7 + k), a.s(6 + k), a.s(5 + k), a.s(4 + k), 0, 0, 0, 0, nullptr, nullptr, a.u32(0));
            return;
        }
        if (!a.has(8) || !params_dib(a, 8, info, bits)) return;
        player.dib(a.s(7), a.s(6), a.s(5), a.s(4), static_cast<int>(a.s(3)), static_cast<int>(a.s(2)),
                   static_cast<int>(a.s(5)), static_cast<int>(a.s(4)), info, bits, a.u32(0));
        return;
    case meta_setdibtodev:
        // usage, scan lines, start scan, source y, x, height, width, target y, x, DIB.
        if (!a.has(9) || a.u(0) != DIB_RGB_COLORS || !params_dib(a, 9, info, bits)) return;
        player.dib(a.s(8), a.s(7), a.s(6), a.s(5), static_cast<int>(a.s(4)), static_cast<int>(a.s(3)),
                   static_cast<int>(a.s(6)), static_cast<int>(a.s(5)), info, bits, SRCCOPY);
        return;
    case meta_patblt:
        // rop, height, width, y, x.
        if (a.has(6)) player.dib(a.s(5), a.s(4), a.s(3), a.s(2), 0, 0, 0, 0, nullptr, nullptr, a.u32(0));
        return;
    default: return;
    }
}

}  // namespace

bool play_wmf_records(Player& player, const std::uint8_t* m, std::size_t n)
{
    if (n < 18) return false;
    player.set_objects(le16(m + 10));
    std::size_t at = 18;
    while (at + 6 <= n) {
        const std::uint64_t words = le32(m + at);
        const std::uint32_t fn = le16(m + at + 4);
        if (words < 3 || words * 2 > n - at) return false;
        const Params a{m + at + 6, static_cast<std::size_t>(words - 3)};
        at += static_cast<std::size_t>(words * 2);
        switch (fn) {
        case meta_eof: return true;
        case meta_savedc: player.save(); break;
        case meta_restoredc:
            if (a.has(1)) player.restore(static_cast<long>(a.s(0)));
            break;
        case meta_setbkmode:
            if (a.has(1)) player.bk_mode(static_cast<int>(a.u(0)));
            break;
        case meta_setrop2:
            if (a.has(1)) player.rop2(static_cast<int>(a.u(0)));
            break;
        case meta_settextalign:
            if (a.has(1)) player.text_align(a.u(0));
            break;
        case meta_setbkcolor:
            if (a.has(2)) player.bk_colour(a.u32(0));
            break;
        case meta_settextcolor:
            if (a.has(2)) player.text_colour(a.u32(0));
            break;
        case meta_setwindoworg:
            if (a.has(2)) player.window_org(a.s(1), a.s(0));
            break;
        case meta_setwindowext:
            if (a.has(2)) player.window_ext(a.s(1), a.s(0));
            break;
        case meta_offsetwindoworg:
            if (a.has(2)) player.offset_window_org(a.s(1), a.s(0));
            break;
        case meta_scalewindowext:
            if (a.has(4)) player.scale_window_ext(a.s(3), a.s(2), a.s(1), a.s(0));
            break;
        case meta_setmapmode:
        case meta_setviewportorg:
        case meta_setviewportext:
        case meta_offsetviewportorg:
        case meta_scaleviewportext:
            break;  // the viewport is the picture's frame
        case meta_moveto:
            if (a.has(2)) player.move_to(a.s(1), a.s(0));
            break;
        case meta_lineto:
            if (a.has(2)) player.line_to(a.s(1), a.s(0));
            break;
        case meta_polygon:
        case meta_polyline: {
            std::vector<Dpoint> pts;
            if (a.has(1) && points(a, 1, a.u(0), pts)) player.poly(pts, fn == meta_polygon);
            break;
        }
        case meta_polypolygon: {
            if (!a.has(1)) break;
            const std::size_t polys = a.u(0);
            if (!a.has(1 + polys)) break;
            std::size_t at_points = 1 + polys;
            for (std::size_t i = 0; i < polys; ++i) {
                std::vector<Dpoint> pts;
                if (!points(a, at_points, a.u(1 + i), pts)) break;
                at_points += 2 * a.u(1 + i);
                player.poly(pts, true);
            }
            break;
        }
        case meta_rectangle:
        case meta_ellipse:
            if (!a.has(4)) break;
            if (fn == meta_rectangle)
                player.rectangle(a.s(3), a.s(2), a.s(1), a.s(0));
            else
                player.ellipse(a.s(3), a.s(2), a.s(1), a.s(0));
            break;
        case meta_roundrect:
            if (a.has(6)) player.round_rect(a.s(5), a.s(4), a.s(3), a.s(2), a.s(1), a.s(0));
            break;
        case meta_arc:
        case meta_pie:
        case meta_chord:
            if (!a.has(8)) break;
            player.arc(fn == meta_arc ? Player::Arc_Kind::arc : fn == meta_pie ? Player::Arc_Kind::pie : Player::Arc_Kind::chord,
                       a.s(7), a.s(6), a.s(5), a.s(4), a.s(3), a.s(2), a.s(1), a.s(0));
            break;
        case meta_setpixel:
            if (a.has(4)) player.set_pixel(a.s(3), a.s(2), a.u32(0));
            break;
        case meta_intersectcliprect:
        case meta_excludecliprect:
            if (!a.has(4)) break;
            if (fn == meta_intersectcliprect)
                player.intersect_clip(a.s(3), a.s(2), a.s(1), a.s(0));
            else
                player.exclude_clip(a.s(3), a.s(2), a.s(1), a.s(0));
            break;
        case meta_selectobject:
            if (a.has(1)) player.select(a.u(0));
            break;
        case meta_deleteobject:
            if (a.has(1)) player.remove(a.u(0));
            break;
        case meta_createpenindirect:
        case meta_createbrushindirect:
        case meta_createfontindirect:
        case meta_createpalette:
        case meta_createpatternbrush:
        case meta_dibcreatepatternbrush:
        case meta_createregion: create_object(player, fn, a); break;
        case meta_textout: text_out(player, a); break;
        case meta_exttextout: ext_text_out(player, a); break;
        case meta_stretchdib:
        case meta_dibstretchblt:
        case meta_dibbitblt:
        case meta_setdibtodev:
        case meta_patblt: blit(player, fn, a, static_cast<std::size_t>(words)); break;
        default: break;  // stepped over by its size
        }
        if (player.spent()) return false;
    }
    return false;
}

}  // namespace platform
