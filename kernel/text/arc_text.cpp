#include "kernel/text/arc_text.h"

#include <algorithm>
#include <cmath>

#include "kernel/database/operation_context.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/text/font_library.h"
#include "kernel/text/text_runs_p.h"
#include "kernel/text/text_style.h"

namespace {

enum : int {
    Key_Height = -112,
    Key_Width_Scale = -113,
    Key_Oblique = -115,
    Key_Space = -116,
    Key_Left_Offset = -117,
    Key_Right_Offset = -118,
    Key_Arc_Offset = -119,
    Key_Att = -211,
    Key_Font = -303,
    Key_Big_Font = -307,
};

const MB_Property<MB_Arc_Text, double> k_arc_text_reals[] = {
    {mb_key::Start_Angle, [](MB_Arc_Text& t) { return t.start_angle(); }, nullptr},
    {mb_key::End_Angle, [](MB_Arc_Text& t) { return t.end_angle(); }, nullptr},
    {mb_key::Radius, [](MB_Arc_Text& t) { return t.radius(); }, nullptr},
    {Key_Arc_Offset, [](MB_Arc_Text& t) { return t.arc_offset(); },
     [](MB_Arc_Text& t, double v) { t.arc_offset(v); }, MB_Undo::Record},
    {Key_Right_Offset, [](MB_Arc_Text& t) { return t.right_offset(); },
     [](MB_Arc_Text& t, double v) { t.right_offset(v); }, MB_Undo::Record},
    {Key_Left_Offset, [](MB_Arc_Text& t) { return t.left_offset(); },
     [](MB_Arc_Text& t, double v) { t.left_offset(v); }, MB_Undo::Record},
    {Key_Space, [](MB_Arc_Text& t) { return t.space(); }, [](MB_Arc_Text& t, double v) { t.space(v); },
     MB_Undo::Record},
    {Key_Oblique,
     [](MB_Arc_Text& t) { return t.text_list().empty() ? 1.0 : t.text_list().front()->text_style()->oblique_angle(); },
     nullptr},
    {Key_Width_Scale, [](MB_Arc_Text& t) { return t.width_scale(); },
     [](MB_Arc_Text& t, double v) { t.width_scale(v); }, MB_Undo::Record},
    {Key_Height, [](MB_Arc_Text& t) { return t.height(); }, [](MB_Arc_Text& t, double v) { t.height(v); },
     MB_Undo::Record},
};

const MB_Property<MB_Arc_Text, long> k_arc_text_ints[] = {
    {Key_Att, [](MB_Arc_Text& t) { return static_cast<long>(t.att()); },
     [](MB_Arc_Text& t, long v) { t.att(static_cast<unsigned long>(v)); }, MB_Undo::Record},
};

const MB_Property<MB_Arc_Text, Qe_Pt> k_arc_text_points[] = {
    {mb_key::Center, [](MB_Arc_Text& t) { return t.center_pos(); }, nullptr},
};

// The half angle a chord of width w covers on a circle of radius s; a chord wider than the
// circle covers the half circle.
double half_angle(double w, double s)
{
    return std::asin(std::clamp(w * 0.5 / s, -1.0, 1.0));
}

}  // namespace

MB_Arc_Text::MB_Arc_Text() = default;

MB_Arc_Text::MB_Arc_Text(const Qe_Pt& centre, double start_angle, double end_angle, double radius,
                         const char* style_name, const char* text)
    : m_start_angle(start_angle), m_end_angle(end_angle), m_radius(radius), m_center_pos(centre)
{
    text_name(style_name);
    str(text);
}

MB_Arc_Text::MB_Arc_Text(const MB_Arc_Text& other) : MB_Drawable(other)
{
    copy_values(other);
}

MB_Arc_Text& MB_Arc_Text::operator=(const MB_Arc_Text& other)
{
    if (this == &other) return *this;
    MB_Drawable::operator=(other);
    copy_values(other);
    text_runs::clear(m_text_list);
    return *this;
}

MB_Arc_Text::~MB_Arc_Text()
{
    text_runs::clear(m_text_list);
}

void MB_Arc_Text::copy_values(const MB_Arc_Text& from)
{
    m_start_angle = from.m_start_angle;
    m_end_angle = from.m_end_angle;
    m_radius = from.m_radius;
    m_center_pos = from.m_center_pos;
    m_str = from.m_str;
    m_text_name = from.m_text_name;
    m_space = from.m_space;
    m_reverse = from.m_reverse;
    m_outside = from.m_outside;
    m_rotate180 = from.m_rotate180;
    m_att = from.m_att;
    m_arc_offset = from.m_arc_offset;
    m_left_offset = from.m_left_offset;
    m_right_offset = from.m_right_offset;
    m_height = from.m_height;
    m_width_scale = from.m_width_scale;
}

// ---- stream: arc texts are not stored ----

MB_Result MB_Arc_Text::serialize(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Arc_Text::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Arc_Text::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

bool MB_Arc_Text::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Arc_Text>(
        *this, target,
        [&] {
            auto* made = new MB_Arc_Text(m_center_pos, m_start_angle, m_end_angle, m_radius, text_name(), str());
            made->copy_values(*this);
            return made;
        },
        [&](MB_Arc_Text& t) { t.copy_values(*this); });
}

// ---- properties ----

Qe_Pt MB_Arc_Text::get_point(int key)
{
    return mb_get_property(k_arc_text_points, *this, key, [&] { return MB_Drawable::get_point(key); });
}

double MB_Arc_Text::get_real(int key)
{
    return mb_get_property(k_arc_text_reals, *this, key, [&] { return MB_Drawable::get_real(key); });
}

long MB_Arc_Text::get_int(int key)
{
    return mb_get_property(k_arc_text_ints, *this, key, [&] { return MB_Drawable::get_int(key); });
}

const char* MB_Arc_Text::get_string(int key)
{
    if (key == mb_key::Text) return str();
    if ((key == Key_Font || key == Key_Big_Font) && !m_text_list.empty())
        return text_runs::first_run_font_name(m_text_list, key == Key_Big_Font);
    return MB_Drawable::get_string(key);
}

void MB_Arc_Text::set_real(long key, double value)
{
    mb_set_property(k_arc_text_reals, *this, key, value, [&] { MB_Drawable::set_real(key, value); });
}

void MB_Arc_Text::set_int(long key, long value)
{
    mb_set_property(k_arc_text_ints, *this, key, value, [&] { MB_Drawable::set_int(key, value); });
}

void MB_Arc_Text::set_string(long key, const char* value)
{
    if (key == mb_key::Text && value) {
        modify_cmd();
        str(value);
        return;
    }
    MB_Drawable::set_string(key, value);
}

// ---- display ----

char MB_Arc_Text::pick(const Qe_Pt& at, Qe_Pt_List& hits, double tol, Qe_Pt& nearest, int& kind, int& extra)
{
    for (const auto& run : m_text_list)
        if (run->pick(at, hits, tol, nearest, kind, extra)) return 1;
    return 0;
}

void MB_Arc_Text::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    for (const auto& run : m_text_list) run->draw(hdc, qdc, t);
}

void MB_Arc_Text::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_center_pos *= t;
}

void MB_Arc_Text::deal_string()
{
    std::vector<std::string> chars = text_runs::characters(m_str.c_str());
    if (m_reverse) std::reverse(chars.begin(), chars.end());
    for (const std::string& c : chars) m_text_list.push_back(text_runs::make_run(Qe_Pt(), c, *this));
}

void MB_Arc_Text::init_text_style(MB_Drawing* drawing, const char* name)
{
    for (const auto& run : m_text_list) {
        text_runs::take_style(*run, drawing, name);
        MB_Text_Style* style = run->text_style();
        style->height(m_height);
        style->width_scale(m_width_scale);
        // Widths are measured along the text: the placement turns each run itself.
        style->angle(0.0);
        run->build_draw();
    }
}

void MB_Arc_Text::build_draw()
{
    text_runs::clear(m_text_list);
    rect().set_rect(m_center_pos, m_center_pos);
    if (!std::isfinite(m_height) || !std::isfinite(m_width_scale)) return;
    deal_string();
    if (m_text_list.empty()) return;
    init_text_style(api_active_drawing(), m_text_name.c_str());
    (void)set_pt_and_angle();
    std::vector<MB_Drawable*> parts;
    for (const auto& run : m_text_list) parts.push_back(run.get());
    (void)text_runs::union_rect(parts, rect());
}

bool MB_Arc_Text::set_pt_and_angle()
{
    using text_runs::wrap_angle;
    const std::size_t n = m_text_list.size();
    if (n == 0) return true;
    const double h = m_text_list.front()->text_style()->height();
    const double R = m_radius;
    for (double v : {h, R, m_start_angle, m_end_angle, m_arc_offset, m_left_offset, m_right_offset, m_space})
        if (!std::isfinite(v)) return false;
    if (!(R > 0.0)) return false;
    double s = m_outside ? R + m_arc_offset : R - (h + m_arc_offset);
    if (m_rotate180) s += h;
    // A base line at or inside the centre has no arc to stand on.
    if (!(s > 0.0) || !std::isfinite(s)) return false;

    constexpr double turn = 2.0 * M_PI;
    constexpr double quarter = M_PI / 2.0;
    const double a = wrap_angle(m_start_angle + m_right_offset / R);
    double b = wrap_angle(m_end_angle - m_left_offset / R);
    if (b <= 0.0) b += turn;
    const double g = m_space / s;

    std::vector<double> raw(n), w(n), theta(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Qe_Rect& r = m_text_list[i]->rect();
        raw[i] = r.rb().x() - r.lt().x();
        w[i] = raw[i] == 0.0 ? m_space : raw[i];
        theta[i] = half_angle(w[i], s);
    }
    auto place = [&](std::size_t i, double phi, double angle) {
        MB_Text& run = *m_text_list[i];
        run.base_pos(Qe_Pt(m_center_pos.x() + s * std::cos(phi), m_center_pos.y() + s * std::sin(phi),
                           m_center_pos.z()));
        run.text_style()->angle(wrap_angle(angle));
        run.build_draw();
    };

    switch (m_att) {
    case 1:
    case 8: {
        double c = 0.0;
        if (m_att == 1) {
            c = m_rotate180 ? a : b;
        } else {
            // The middle of the stored arc, going up from its start.
            double sweep = wrap_angle(m_end_angle - m_start_angle);
            if (sweep == 0.0 && m_end_angle != m_start_angle) sweep = turn;
            const double m = m_start_angle + sweep * 0.5;
            double total = static_cast<double>(n - 1) * g;
            for (double t : theta) total += 2.0 * t;
            c = wrap_angle(m_rotate180 ? m - total * 0.5 : m + total * 0.5);
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (m_rotate180) {
                place(i, c, c + theta[i] + quarter);
                c = wrap_angle(c + 2.0 * theta[i] + g);
            } else {
                place(i, c, c - theta[i] - quarter);
                c = wrap_angle(c - 2.0 * theta[i] - g);
            }
        }
        return true;
    }
    case 2: {
        // The runs are placed in their order from the start of the arc upwards (turned, from
        // the end angle downwards), so the first character stands at that end. A text meant to
        // read towards that end is given reversed (reverse), as this mode expects.
        double c = m_rotate180 ? wrap_angle(m_end_angle) : a;
        for (std::size_t k = 0; k < n; ++k) {
            if (m_rotate180) {
                place(k, c - 2.0 * theta[k], c - theta[k] + quarter);
                c = wrap_angle(c - g - 2.0 * theta[k]);
            } else {
                place(k, c + 2.0 * theta[k], c + theta[k] - quarter);
                c = wrap_angle(c + g + 2.0 * theta[k]);
            }
        }
        return true;
    }
    case 4: {
        double span = b - a;
        if (span < 0.0) span += turn;
        const double step = n > 1 ? (span - 2.0 * half_angle(raw[n - 1], s)) / static_cast<double>(n - 1) : 0.0;
        double c = m_rotate180 ? a : b;
        for (std::size_t i = 0; i < n; ++i) {
            const double half = raw[i] * 0.5 / s;
            if (m_rotate180) {
                place(i, c, c + half + quarter);
                c = wrap_angle(c + step);
            } else {
                place(i, c, c - half - quarter);
                c = wrap_angle(c - step);
            }
        }
        return true;
    }
    default: return false;
    }
}
