#include "kernel/text/tolerance_frame.h"

#include <cmath>
#include <string>
#include <string_view>

#include "geometry/transform.h"
#include "kernel/database/operation_context.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/stream/file_io.h"
#include "kernel/text/text_layout_p.h"
#include "kernel/text/text_runs_p.h"
#include "kernel/text/text_style.h"

namespace {

constexpr unsigned char k_tolerance_opcode = '?';

// Proportions of the frame, in text heights; the margin before a row's first cell is in
// drawing units.
constexpr double k_margin = 1.0;
constexpr double k_after_run = 0.32;
constexpr double k_before_bar = 0.08;
constexpr double k_after_bar = 0.4;
constexpr double k_row = 2.0;
constexpr double k_base_below_top = 1.5;

constexpr std::string_view k_bar = "%%v";
// "{", the font switch, the symbol as the eighth character, "}".
constexpr std::size_t k_symbol_group = 9;
constexpr std::size_t k_symbol_at = 7;

bool bar_at(std::string_view s, std::size_t i)
{
    return s.substr(i, k_bar.size()) == k_bar;
}

// A whole brace group starts at i: nine characters within the row.
bool symbol_at(std::string_view s, std::size_t i)
{
    if (s[i] != '{' || s.size() - i < k_symbol_group) return false;
    return s.substr(i, k_symbol_group).find('\n') == std::string_view::npos;
}

}  // namespace

MB_Tolerance::MB_Tolerance() = default;

MB_Tolerance::MB_Tolerance(const Qe_Pt& pos, const char* text) : m_text_pos(pos), m_text(text) {}

MB_Tolerance::MB_Tolerance(const MB_Tolerance& other) : MB_Drawable(other)
{
    copy_values(other);
}

MB_Tolerance& MB_Tolerance::operator=(const MB_Tolerance& other)
{
    if (this == &other) return *this;
    MB_Drawable::operator=(other);
    copy_values(other);
    clear();
    return *this;
}

MB_Tolerance::~MB_Tolerance()
{
    clear();
}

void MB_Tolerance::copy_values(const MB_Tolerance& from)
{
    m_text_pos = from.m_text_pos;
    m_height = from.m_height;
    m_angle = from.m_angle;
    m_text = from.m_text;
}

void MB_Tolerance::clear()
{
    MB_Recording_Pause pause;
    m_text_list.clear();
    m_frame_list.clear();
}

// ---- stream ----

MB_Result MB_Tolerance::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_tolerance_opcode, [&](MB_Record_Writer& w) {
        w.position(m_text_pos).real(m_height).then([&] { return m_text.serialize(file, 0); });
    });
}

MB_Result MB_Tolerance::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    Qe_Pt pos = m_text_pos;
    double height = m_height;
    MB_String text;
    MB_Result r = mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& rd) {
        rd.position(pos).real(height).then([&] { return text.materialize(file); });
    });
    if (r != 0) return r;
    m_text_pos = pos;
    m_height = height;
    m_text = text;
    return MB_Result::Success;
}

MB_Result MB_Tolerance::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

bool MB_Tolerance::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Tolerance>(
        *this, target,
        [&] {
            auto* made = new MB_Tolerance(m_text_pos, nullptr);
            made->copy_values(*this);
            return made;
        },
        [&](MB_Tolerance& t) { t.copy_values(*this); });
}

// ---- display ----

void MB_Tolerance::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    if (m_text.length() == 0) return;
    for (const auto& run : m_text_list) run->draw(hdc, qdc, t);
    for (const auto& line : m_frame_list) line->draw(hdc, qdc, t);
}

void MB_Tolerance::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_text_pos *= t;
}

void MB_Tolerance::build_draw()
{
    clear();
    rect().set_rect(m_text_pos, m_text_pos);
    deal_string();
    std::vector<MB_Drawable*> parts;
    for (const auto& run : m_text_list) parts.push_back(run.get());
    // The frame stands outside its text: the rectangle must hold it too.
    for (const auto& line : m_frame_list) parts.push_back(line.get());
    (void)text_runs::union_rect(parts, rect());
}

void MB_Tolerance::deal_string()
{
    const double H = m_height;
    const double x0 = m_text_pos.x();
    const double y0 = m_text_pos.y();
    const double z = m_text_pos.z();
    if (!m_text.ascii() || !std::isfinite(H) || !std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(z))
        return;
    const std::string_view s(m_text.ascii());

    MB_Recording_Pause pause;
    const long colour = general().color();
    // The style of the symbols; their runs take copies of it.
    const MB_Text_Style symbols("xxx", "gdt.shx", nullptr, 8.0, 1.0, 0.0, 0.0, 0, 0);

    auto add_line = [&](double xa, double ya, double xb, double yb) {
        auto line = std::make_unique<MB_Line>(Qe_Pt(xa, ya, z), Qe_Pt(xb, yb, z));
        line->general().color(colour);
        line->general().layer(general().layer());
        line->build_draw();
        m_frame_list.push_back(std::move(line));
    };

    double Y = y0 + H;
    std::size_t i = 0;
    for (;;) {
        Qe_Pt pen(x0 + k_margin, Y - k_base_below_top * H, z);
        double g = 0.0;
        bool placed = false;
        bool placed_since_bar = false;
        bool ends_with_bar = false;
        while (i < s.size() && s[i] != '\n') {
            if (bar_at(s, i)) {
                i += k_bar.size();
                ends_with_bar = true;
                if (!placed_since_bar) continue;
                const double x = g + k_before_bar * H;
                add_line(x, Y, x, Y - k_row * H);
                g = x + k_after_bar * H;
                pen = Qe_Pt(g, pen.y(), z);
                placed_since_bar = false;
                continue;
            }
            std::unique_ptr<MB_Text> run;
            if (symbol_at(s, i)) {
                run = text_runs::make_run(pen, std::string(1, s[i + k_symbol_at]), *this);
                run->init_text_style(&symbols);
                i += k_symbol_group;
            } else {
                // Plain text up to the next group, bar or row end; a "{" that starts no
                // group is text like any other character.
                std::size_t j = i + 1;
                while (j < s.size() && s[j] != '\n' && s[j] != '{' && !bar_at(s, j)) ++j;
                run = text_runs::make_run(pen, std::string(s.substr(i, j - i)), *this);
                text_runs::take_style(*run, api_active_drawing(), "DEFAULT_STYLE");
                i = j;
            }
            run->text_style()->height(H);
            run->text_style()->width_scale(1.0);
            run->build_draw();
            g = run->rect().rb().x() + k_after_run * H;
            pen = Qe_Pt(g, pen.y(), z);
            m_text_list.push_back(std::move(run));
            placed = placed_since_bar = true;
            ends_with_bar = false;
        }
        // A row that placed nothing has no box: its width would be undefined.
        if (placed) {
            // The right edge of a row that ends in a bar is that bar.
            if (ends_with_bar) g -= k_after_bar * H;
            const double bottom = Y - k_row * H;
            add_line(g, Y, g, bottom);
            add_line(x0, Y, g, Y);
            add_line(x0, bottom, g, bottom);
            add_line(x0, Y, x0, bottom);
        }
        Y -= k_row * H;
        if (i >= s.size()) break;
        ++i;  // the line feed
    }

    if (!(std::fabs(m_angle) > 0.00001) || !std::isfinite(m_angle)) return;
    const Qe_Tran turn = text_placement::about(m_text_pos, rotate_transf(m_angle, Qe_Vec(0.0, 0.0, 1.0)));
    for (const auto& run : m_text_list) {
        run->base_pos(run->base_pos() * turn);
        run->text_style()->angle(m_angle);
        run->build_draw();
    }
    for (const auto& line : m_frame_list) {
        line->start(line->start() * turn);
        line->end(line->end() * turn);
        line->build_draw();
    }
}
