#include "kernel/text/text.h"

#include <strings.h>

#include <algorithm>
#include <cmath>

#include "geometry/pt_set.h"
#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "kernel/database/drawing.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/system_setting.h"
#include "kernel/display/draw_node.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/stream/file_io.h"
#include "kernel/text/font_library.h"
#include "kernel/text/text_layout.h"
#include "kernel/text/ttf_text.h"
#include "kernel/text/text_style.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"

namespace {

constexpr unsigned char k_text_opcode = 'T';

enum : int {
    Key_Angle2 = -111,
    Key_Height = -112,
    Key_Width_Scale = -113,
    Key_Oblique = -115,
    Key_Font = -303,
    Key_Big_Font = -307,
};

// A style the text owns: working data, never an undoable creation.
std::unique_ptr<MB_Text_Style> new_own_style(const MB_Text_Style* from = nullptr)
{
    MB_Recording_Pause pause;
    auto style = std::make_unique<MB_Text_Style>();
    if (from) from->copy_to(*style);
    return style;
}

bool explode_text_on()
{
    return api_has_active_operation() && api_active_system_setting().explode_text();
}

const MB_Property<MB_Text, double> k_text_reals[] = {
    {Key_Height, [](MB_Text& t) { return t.text_style()->height(); },
     [](MB_Text& t, double v) { t.text_style()->height(v); }, MB_Undo::Record},
    {Key_Width_Scale, [](MB_Text& t) { return t.text_style()->width_scale(); },
     [](MB_Text& t, double v) { t.text_style()->width_scale(v); }, MB_Undo::Record},
    {Key_Angle2, [](MB_Text& t) { return t.text_style()->angle(); },
     [](MB_Text& t, double v) { t.text_style()->angle(v); }, MB_Undo::Record},
    {mb_key::Angle, [](MB_Text& t) { return t.text_style()->angle(); },
     [](MB_Text& t, double v) { t.text_style()->angle(v); }, MB_Undo::Record},
    {Key_Oblique, [](MB_Text& t) { return t.text_style()->oblique_angle(); },
     [](MB_Text& t, double v) { t.text_style()->oblique_angle(v); }, MB_Undo::Record},
};

const MB_Property<MB_Text, Qe_Pt> k_text_points[] = {
    {mb_key::Insert_Point, [](MB_Text& t) { return t.base_pos(); },
     [](MB_Text& t, Qe_Pt p) { t.base_pos(p); }, MB_Undo::Record},
};

}  // namespace

MB_Text::MB_Text() : m_text_style(new_own_style()) {}

MB_Text::MB_Text(const Qe_Pt& pos, const MB_String& text)
    : m_base_pos(pos), m_string(text), m_text_style(new_own_style())
{
}

MB_Text::MB_Text(const Qe_Pt& pos, const MB_String& text, const Qe_Pt*, unsigned short, const unsigned short*,
                 unsigned short, const unsigned short*)
    : MB_Text(pos, text)
{
}

MB_Text::MB_Text(const MB_Text& other)
    : MB_Drawable(other),
      m_flag(other.m_flag),
      m_base_pos(other.m_base_pos),
      m_string(other.m_string),
      m_text_style(new_own_style(other.m_text_style.get()))
{
    if (other.m_bound_pts) bound_pts(other.m_bound_pts[0], other.m_bound_pts[1], other.m_bound_pts[2],
                                     other.m_bound_pts[3]);
}

MB_Text& MB_Text::operator=(const MB_Text& other)
{
    if (this == &other) return *this;
    MB_Drawable::operator=(other);
    m_flag = other.m_flag;
    m_base_pos = other.m_base_pos;
    m_string = other.m_string;
    other.m_text_style->copy_to(*m_text_style);
    if (other.m_bound_pts)
        bound_pts(other.m_bound_pts[0], other.m_bound_pts[1], other.m_bound_pts[2], other.m_bound_pts[3]);
    else
        delete_bound_pts();
    return *this;
}

MB_Text::~MB_Text() = default;

void MB_Text::bound_pts(Qe_Pt p0, Qe_Pt p1, Qe_Pt p2, Qe_Pt p3)
{
    m_bound_pts.reset(new Qe_Pt[4]{p0, p1, p2, p3});
}

// ---- stream ----

MB_Result MB_Text::serialize(MB_File_IO& file)
{
    if (m_string.length() == 0) return MB_Result::Success;
    const bool explode = explode_text_on();
    auto* node = dynamic_cast<MB_Draw_Lines_Sets*>(draw_node());
    if (explode && !node) return MB_Result::Success;

    MB_Result r = general().serialize(file);
    if (r != 0) return r;
    if (!m_text_style->sync_write(file)) return MB_Result::Write_Failed;
    MB_Record_Frame frame;
    frame.general = false;
    return mb_write_entity(
        *this, file, k_text_opcode,
        [&](MB_Record_Writer& w) {
            w.position(m_base_pos).then([&] { return m_string.serialize(file, 0); });
            if (explode) w.runs(*node);
        },
        frame);
}

MB_Result MB_Text::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    Qe_Pt pos = m_base_pos;
    MB_String text;
    MB_Result r = mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& rd) {
        rd.position(pos).then([&] { return text.materialize(file); });
    });
    if (r != 0) return r;
    m_base_pos = pos;
    m_string = text;
    m_text_style->sync_read(opcode, file);
    if (!explode_text_on()) return MB_Result::Success;

    auto node = std::make_unique<MB_Draw_Lines_Sets>(general().color(), this);
    r = file.read(static_cast<Qe_Pt_Sets&>(*node));
    if (r != 0) return r;
    node->build_rect();
    if (node->pts_count() > 0) rect().init_by_pts(static_cast<int>(node->pts_count()), node->points());
    draw_node(node.release());
    return MB_Result::Success;
}

MB_Result MB_Text::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

bool MB_Text::copy_to(MB_Object*& target)
{
    auto fill = [&](MB_Text& t) {
        t.m_base_pos = m_base_pos;
        t.m_string = m_string;
        t.m_flag = m_flag;
        m_text_style->copy_to(*t.m_text_style);
        // The frame places a framed text: an undo backup without it would not restore it.
        if (m_bound_pts)
            t.bound_pts(m_bound_pts[0], m_bound_pts[1], m_bound_pts[2], m_bound_pts[3]);
        else
            t.delete_bound_pts();
    };
    return mb_copy_entity<MB_Text>(
        *this, target,
        [&] {
            auto* made = new MB_Text();
            fill(*made);
            return made;
        },
        fill);
}

// ---- properties ----

Qe_Pt MB_Text::get_point(int key)
{
    return mb_get_property(k_text_points, *this, key, [&] { return MB_Drawable::get_point(key); });
}

double MB_Text::get_real(int key)
{
    return mb_get_property(k_text_reals, *this, key, [&] { return MB_Drawable::get_real(key); });
}

const char* MB_Text::get_string(int key)
{
    switch (key) {
    case mb_key::Text: return m_string.ascii() ? m_string.ascii() : "";
    case Key_Font:
        return m_text_style->font_lib() ? m_text_style->font_lib()->name().ascii() : nullptr;
    case Key_Big_Font:
        if (m_text_style->big_font_lib()) return m_text_style->big_font_lib()->name().ascii();
        break;
    default: break;
    }
    return MB_Drawable::get_string(key);
}

void MB_Text::set_point(long key, const Qe_Pt& value)
{
    mb_set_property(k_text_points, *this, key, value, [&] { MB_Drawable::set_point(key, value); });
}

void MB_Text::set_real(long key, double value)
{
    mb_set_property(k_text_reals, *this, key, value, [&] { MB_Drawable::set_real(key, value); });
}

void MB_Text::set_string(long key, const char* value)
{
    if (value && key == mb_key::Text) {
        modify_cmd();
        m_string = value;
    } else if (value && key == Key_Font) {
        modify_cmd();
        m_text_style->font_lib(value);
    }
    MB_Drawable::set_string(key, value);
}

// ---- display ----

char MB_Text::pick(const Qe_Pt& at, Qe_Pt_List&, double tol, Qe_Pt& nearest, int& kind, int&)
{
    MB_Draw_Node* node = draw_node();
    if (!node) return 0;
    int unused = 0;
    if (!mb_pick_point(at, m_base_pos, tol, Pick_Text, nearest, unused) && !node->pick(at, nearest, tol)) return 0;
    kind = Pick_Text;
    return 1;
}

void MB_Text::build(bool outlines)
{
    rect().set_rect(m_base_pos, m_base_pos);
    MB_Font_Library* font = m_text_style->font_lib();
    if (m_string.length() == 0 || !m_string.ascii() || !font) {
        // Nothing to show: a node of an earlier text would show what is no longer there.
        draw_node(nullptr);
        return;
    }
    auto* node = new MB_Draw_Lines_Sets(general().color(), this);
    draw_node(node);
    const bool ttf = font->font_type() == MB_Font_Library::TTF_FONT;
    // A TrueType text is laid out from its font file, except in the build that multi-line
    // texts use, which takes the glyphs of the device like every other font kind.
    if (m_bound_pts)
        (void)string_2_ptsets_by_bound(m_string.ascii(), m_bound_pts.get(), m_text_style.get(), node, &rect());
    else if (ttf && outlines)
        (void)ttf_string_2_ptsets(m_string.ascii(), &m_base_pos, m_text_style.get(), node, &rect());
    else
        (void)string_2_ptsets(m_string.ascii(), m_base_pos, m_text_style.get(), node, &rect());
    if (ttf) node->is_filled(true);
}

void MB_Text::build_draw()
{
    build(true);
}

void MB_Text::build_extent()
{
    build_draw();
    free_draw_node();
}

void MB_Text::build_draw0()
{
    build(false);
}

void MB_Text::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    mb_draw_grip(hdc, m_base_pos, t);
}

void MB_Text::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    MB_Draw_Node* node = draw_node();
    if (!node) return;
    const long width = general().display_width();
    if (width <= 0) {
        if (hdc)
            node->draw(hdc, t);
        else
            node->draw(qdc, t);
        return;
    }
    HDC dc = qdc.GetDC() ? qdc.GetDC() : hdc;
    if (!dc) return;
    MB_Scoped_Pen pen(dc, PS_SOLID, static_cast<int>(std::min(width, 4096L)),
                      static_cast<COLORREF>(mb_display_color(general().color())));
    node->draw(dc, t);
}

void MB_Text::draw_ttf(HDC, Qe_Tran&)
{
    // The device-font text of this entity is shown by its own display node; here only its
    // box becomes the rectangle.
    const double h = m_text_style->height();
    const double w = m_text_style->width_scale() * h * m_string.length();
    rect().set_rect(Qe_Pt(m_base_pos.x(), m_base_pos.y() + h, 0.0), Qe_Pt(m_base_pos.x() + w, m_base_pos.y(), 0.0));
}

void MB_Text::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_base_pos *= t;
    if (m_bound_pts)
        for (int i = 0; i < 4; ++i) m_bound_pts[i] *= t;
}

// ---- styles ----

bool MB_Text::init_text_style(MB_Drawing& drawing, const char* name)
{
    if (name) {
        for (MB_Object* o = drawing.text_style_list().get_head(); o; o = o->next()) {
            auto* style = dynamic_cast<MB_Text_Style*>(o);
            if (style && style->name().ascii() && ::strcasecmp(style->name().ascii(), name) == 0) {
                style->copy_to(*m_text_style);
                return true;
            }
        }
    }
    if (mb_make_shared_text_style()) {
        MB_Recording_Pause pause;
        drawing.text_style_list().add_tail(new MB_Text_Style(*g_text_style));
    }
    g_text_style->copy_to(*m_text_style);
    return false;
}

void MB_Text::init_text_style(const MB_Text_Style* style)
{
    if (style) style->copy_to(*m_text_style);
}
