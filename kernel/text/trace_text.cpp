#include "kernel/text/trace_text.h"

#include <cmath>

#include "geometry/plane_geometry.h"
#include "geometry/tolerance.h"
#include "kernel/database/line_type.h"
#include "kernel/database/operation_context.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/entity_base/line.h"
#include "kernel/text/font_library.h"
#include "kernel/text/text_runs_p.h"
#include "kernel/text/text_style.h"

namespace {

enum : int {
    Key_Height = -112,
    Key_Width_Scale = -113,
    Key_Oblique = -115,
    Key_Space = -116,
    Key_Att = -211,
    Key_Font = -303,
    Key_Big_Font = -307,
};

// The most pattern periods the path is cut into; a longer path keeps only its first
// character.
constexpr double k_max_stations = 100000.0;

const MB_Property<MB_Trace_Text, double> k_trace_text_reals[] = {
    {Key_Space, [](MB_Trace_Text& t) { return t.space(); }, [](MB_Trace_Text& t, double v) { t.space(v); },
     MB_Undo::Record},
    {Key_Oblique,
     [](MB_Trace_Text& t) {
         return t.text_list().empty() ? 1.0 : t.text_list().front()->text_style()->oblique_angle();
     },
     [](MB_Trace_Text& t, double v) {
         for (const auto& run : t.text_list()) run->text_style()->oblique_angle(v);
     }},
    {Key_Width_Scale, [](MB_Trace_Text& t) { return t.width_scale(); },
     [](MB_Trace_Text& t, double v) { t.width_scale(v); }, MB_Undo::Record},
    {Key_Height, [](MB_Trace_Text& t) { return t.height(); }, [](MB_Trace_Text& t, double v) { t.height(v); },
     MB_Undo::Record},
};

const MB_Property<MB_Trace_Text, long> k_trace_text_ints[] = {
    {Key_Att, [](MB_Trace_Text& t) { return static_cast<long>(t.att()); }, nullptr},
    {mb_key::Point_Count, [](MB_Trace_Text& t) { return static_cast<long>(t.pt_set().count()); }, nullptr},
};

Qe_Pt path_end(MB_Trace_Text& t, bool last)
{
    const Qe_Pt_Set& path = t.pt_set();
    if (path.count() <= 0 || !path.points()) return Qe_Pt();
    return path.points()[last ? path.count() - 1 : 0];
}

const MB_Property<MB_Trace_Text, Qe_Pt> k_trace_text_points[] = {
    {mb_key::Start, [](MB_Trace_Text& t) { return path_end(t, false); }, nullptr},
    {mb_key::End, [](MB_Trace_Text& t) { return path_end(t, true); }, nullptr},
};

// The direction in which the points arrive at their last point: from the nearest earlier
// point that differs from it. False when all of them coincide.
bool arriving_direction(const Qe_Pt* p, int n, Qe_Vec& dir)
{
    for (int j = n - 2; j >= 0; --j) {
        const Qe_Vec v = p[n - 1] - p[j];
        if (v.len() > 0.0) {
            dir = v;
            return true;
        }
    }
    return false;
}

}  // namespace

MB_Trace_Text::MB_Trace_Text() = default;

MB_Trace_Text::MB_Trace_Text(const MB_Trace_Text& other) : MB_Drawable(other)
{
    copy_values(other);
}

MB_Trace_Text& MB_Trace_Text::operator=(const MB_Trace_Text& other)
{
    if (this == &other) return *this;
    MB_Drawable::operator=(other);
    copy_values(other);
    text_runs::clear(m_text_list);
    return *this;
}

MB_Trace_Text::~MB_Trace_Text()
{
    text_runs::clear(m_text_list);
}

void MB_Trace_Text::copy_values(const MB_Trace_Text& from)
{
    m_str = from.m_str;
    m_style_name = from.m_style_name;
    m_space = from.m_space;
    m_rotate180 = from.m_rotate180;
    m_backword = from.m_backword;
    m_att = from.m_att;
    m_offset = from.m_offset;
    m_is_loop = from.m_is_loop;
    m_height = from.m_height;
    m_width_scale = from.m_width_scale;
    m_pt_set = from.m_pt_set;
}

// ---- stream: path texts are not stored ----

MB_Result MB_Trace_Text::serialize(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Trace_Text::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Trace_Text::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

bool MB_Trace_Text::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Trace_Text>(
        *this, target,
        [&] {
            auto* made = new MB_Trace_Text();
            made->copy_values(*this);
            return made;
        },
        [&](MB_Trace_Text& t) { t.copy_values(*this); });
}

// ---- properties ----

Qe_Pt MB_Trace_Text::get_point(int key)
{
    return mb_get_property(k_trace_text_points, *this, key, [&] { return MB_Drawable::get_point(key); });
}

double MB_Trace_Text::get_real(int key)
{
    return mb_get_property(k_trace_text_reals, *this, key, [&] { return MB_Drawable::get_real(key); });
}

long MB_Trace_Text::get_int(int key)
{
    return mb_get_property(k_trace_text_ints, *this, key, [&] { return MB_Drawable::get_int(key); });
}

const char* MB_Trace_Text::get_string(int key)
{
    if (key == mb_key::Text) return str();
    if ((key == Key_Font || key == Key_Big_Font) && !m_text_list.empty())
        return text_runs::first_run_font_name(m_text_list, key == Key_Big_Font);
    return MB_Drawable::get_string(key);
}

void MB_Trace_Text::set_real(long key, double value)
{
    mb_set_property(k_trace_text_reals, *this, key, value, [&] { MB_Drawable::set_real(key, value); });
}

void MB_Trace_Text::set_string(long key, const char* value)
{
    if (key == mb_key::Text && value && !m_text_list.empty()) {
        modify_cmd();
        str(value);
    }
    MB_Drawable::set_string(key, value);
}

// ---- display ----

char MB_Trace_Text::pick(const Qe_Pt& at, Qe_Pt_List& hits, double tol, Qe_Pt& nearest, int& kind, int& extra)
{
    for (const auto& run : m_text_list)
        if (run->pick(at, hits, tol, nearest, kind, extra)) return 1;
    return 0;
}

void MB_Trace_Text::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    for (const auto& run : m_text_list) {
        run->MB_Drawable::flag(flag());
        run->draw(hdc, qdc, t);
    }
}

void MB_Trace_Text::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    Qe_Pt* p = m_pt_set.points();
    for (int i = 0; p && i < m_pt_set.count(); ++i) p[i] *= t;
}

void MB_Trace_Text::add_run(const std::string& character, const Qe_Pt& p, double angle)
{
    std::unique_ptr<MB_Text> run = text_runs::make_run(p, character, *this);
    text_runs::take_style(*run, api_active_drawing(), m_style_name.c_str());
    MB_Text_Style* style = run->text_style();
    style->height(m_height);
    style->width_scale(m_width_scale);
    style->angle(text_runs::wrap_angle(m_rotate180 ? angle + M_PI : angle));
    if (m_backword) style->font_style(MB_Text_Style::Mirror_Across_Direction);
    run->build_draw();
    m_text_list.push_back(std::move(run));
}

void MB_Trace_Text::build_draw()
{
    // The runs, the measuring chain and the dash pattern are working objects.
    MB_Recording_Pause pause;
    text_runs::clear(m_text_list);
    const int count = m_pt_set.count();
    const Qe_Pt* pts = m_pt_set.points();
    if (count < 2 || !pts) {
        rect().set_rect(path_end(*this, false), path_end(*this, false));
        return;
    }
    rect().set_rect(pts[0], pts[0]);
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(pts[i].x()) || !std::isfinite(pts[i].y()) || !std::isfinite(pts[i].z())) return;
    const std::vector<std::string> chars = text_runs::characters(m_str.c_str());
    const std::size_t n = chars.size();
    if (n == 0) return;

    MB_Lines chain;
    chain.init(count, pts);
    const double length = chain.get_real(mb_key::Length);
    const bool closed = same_point(pts[0], pts[count - 1], resabs);
    double d = m_space;
    if (m_att == 4) d = closed ? length / static_cast<double>(n) : n > 1 ? length / static_cast<double>(n - 1) : 0.0;

    Qe_Vec first_dir(1.0, 0.0, 0.0);
    for (int i = 1; i < count; ++i)
        if ((pts[i] - pts[0]).len() > 0.0) {
            first_dir = pts[i] - pts[0];
            break;
        }
    add_run(chars[0], pts[0], mb_polar_angle(first_dir));

    const bool repeat = m_is_loop && m_att != 4;
    if ((n > 1 || repeat) && d > 0.0 && std::isfinite(d)) {
        // One period per spacing: a dash of d/4, a gap of d/2, a dash of d/4, so that the
        // second dash of period k ends k spacings along the path.
        MB_Line_Type pattern;
        pattern.max_persize(k_max_stations);
        (void)pattern.init_data("A,0.25,-0.5,0.25");
        Qe_Pt_Sets dashes;
        if (pattern.render_line_type(pts, count, d, dashes) && dashes.points() && dashes.vals()) {
            const mb_ulong runs = dashes.ptset_count();
            std::vector<mb_ulong> start(runs + 1, 0);
            for (mb_ulong r = 0; r < runs; ++r) start[r + 1] = start[r] + dashes.vals()[r];
            // A dash cut short by the end of the path does not end at its station.
            const double shortest = d * 0.25 - 1e-9 * (length + d);
            for (mb_ulong k = 1; 2 * k - 1 < runs; ++k) {
                if (k >= n && !repeat) break;
                const mb_ulong r = 2 * k - 1;
                const Qe_Pt* p = dashes.points() + start[r];
                const int m = static_cast<int>(dashes.vals()[r]);
                double dash = 0.0;
                for (int j = 0; j + 1 < m; ++j) dash += (p[j + 1] - p[j]).len();
                Qe_Vec dir;
                if (m < 2 || dash < shortest || !arriving_direction(p, m, dir)) break;
                add_run(chars[k % n], p[m - 1], mb_polar_angle(dir));
            }
        }
    }

    std::vector<MB_Drawable*> parts;
    for (const auto& run : m_text_list) parts.push_back(run.get());
    (void)text_runs::union_rect(parts, rect());
}
