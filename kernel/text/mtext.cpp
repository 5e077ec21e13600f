#include "kernel/text/mtext.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "kernel/database/color.h"
#include "kernel/database/drawing.h"
#include "kernel/database/operation_context.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/stream/file_io.h"
#include "kernel/text/font_library.h"
#include "kernel/text/mtext_codes.h"
#include "kernel/text/text.h"
#include "kernel/text/text_style.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"

namespace {

constexpr unsigned char k_mtext_opcode = 'Y';
// Multi-line texts are read from streams of this revision on.
constexpr int k_mtext_revision = 450;

constexpr const char* k_own_font = "default_text_style";
// Runs outside a colour code take the text's own colour.
constexpr long k_own_colour = -1;

enum : int {
    Key_Width = -109,
    Key_Angle2 = -111,
    Key_Height = -112,
    Key_Width_Scale = -113,
    Key_Oblique = -115,
    Key_Spacing_Factor = -126,
    Key_Spacing_Style = -215,
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

MB_Text* run_at(const Qe_Void_Node* n)
{
    return static_cast<MB_Text*>(n->entity());
}

// What line placement needs of a run, taken while it lies at the origin.
struct Run_Measure {
    MB_Text* run = nullptr;
    bool space = false;
    bool line_feed = false;
    double width = 0.0;
    double gap = 0.0;
    double height = 0.0;

    double test_width() const { return space ? width : width + gap; }
    double advance() const { return width + gap; }
};

Run_Measure measure(MB_Text* run)
{
    Run_Measure m;
    m.run = run;
    const MB_Text_Style& style = *run->text_style();
    const char* text = run->string().ascii();
    const int n = run->string().length();
    m.space = text && text[0] == ' ';
    m.line_feed = text && text[0] == '\n';
    m.height = style.height();
    m.gap = style.width_scale() * style.height() * 0.08;
    if (m.space) {
        // Spaces draw nothing to measure. A run without any library (neither its font nor
        // the fallback was found) counts as a narrow-space font.
        const MB_Font_Library* lib = style.font_lib();
        const bool wide = lib && static_cast<unsigned char>(lib->file_name()[0]) >= 0x80;
        m.width = m.height * n * (wide ? 0.7 : 0.9);
    } else {
        m.width = run->rect().rb().x();
    }
    return m;
}

// Height values of "\H": only finite positive heights lay out.
bool usable_height(double h)
{
    return std::isfinite(h) && h > 0.0;
}

}  // namespace

// ---- construction ----

MB_Mtext::MB_Mtext() : m_text_style(new_own_style()) {}

MB_Mtext::MB_Mtext(const Qe_Pt& pos, const char* text) : m_text_pos(pos), m_text_style(new_own_style())
{
    string(text);
}

MB_Mtext::MB_Mtext(const MB_Mtext& other)
    : MB_Drawable(other),
      m_text_pos(other.m_text_pos),
      m_text_style(new_own_style(other.m_text_style.get())),
      m_width(other.m_width),
      m_base_ht(other.m_base_ht),
      m_linespacing_style(other.m_linespacing_style),
      m_linespacing_factor(other.m_linespacing_factor),
      m_attachpt(other.m_attachpt),
      m_drawdir(other.m_drawdir),
      m_boxht(other.m_boxht),
      m_boxwid(other.m_boxwid),
      m_string(other.m_string),
      m_has_string(other.m_has_string),
      m_backword(other.m_backword),
      m_direction(other.m_direction)
{
}

MB_Mtext& MB_Mtext::operator=(const MB_Mtext& other)
{
    if (this == &other) return *this;
    MB_Drawable::operator=(other);
    free_runs();
    m_string_list.clear();
    m_text_pos = other.m_text_pos;
    other.m_text_style->copy_to(*m_text_style);
    m_width = other.m_width;
    m_base_ht = other.m_base_ht;
    m_linespacing_style = other.m_linespacing_style;
    m_linespacing_factor = other.m_linespacing_factor;
    m_attachpt = other.m_attachpt;
    m_drawdir = other.m_drawdir;
    m_boxht = other.m_boxht;
    m_boxwid = other.m_boxwid;
    m_string = other.m_string;
    m_has_string = other.m_has_string;
    m_backword = other.m_backword;
    m_direction = other.m_direction;
    return *this;
}

MB_Mtext::~MB_Mtext()
{
    free_runs();
}

void MB_Mtext::string(const char* text)
{
    m_has_string = text != nullptr;
    m_string = text ? text : "";
}

void MB_Mtext::free_runs()
{
    for (Qe_Void_Node* n = m_text_list.head(); n; n = n->next()) delete run_at(n);
    m_text_list.clear();
}

double MB_Mtext::direction_angle() const
{
    // The zero vector is the default direction: along x.
    if (m_direction.x() == 0.0 && m_direction.y() == 0.0) return 0.0;
    double a = std::atan2(m_direction.y(), m_direction.x());
    if (!std::isfinite(a)) return 0.0;
    if (a < 0.0) a += 2.0 * M_PI;
    return a;
}

// ---- stream ----

MB_Result MB_Mtext::serialize(MB_File_IO& file)
{
    MB_Result r = general().serialize(file);
    if (r != 0) return r;
    if (!m_text_style->sync_write(file)) return MB_Result::Write_Failed;
    MB_Record_Frame frame;
    frame.general = false;
    const MB_String text(m_string.c_str());
    return mb_write_entity(
        *this, file, k_mtext_opcode,
        [&](MB_Record_Writer& w) {
            w.then([&] { return text.serialize(file, 0); })
                .position(m_text_pos)
                .position(Qe_Pt(m_direction.x(), m_direction.y(), m_direction.z()))
                .int32(m_linespacing_style)
                .int32(static_cast<unsigned char>(m_attachpt))
                .int32(static_cast<unsigned char>(m_drawdir))
                .real(m_linespacing_factor)
                .real(m_width)
                .real(m_base_ht)
                .real(m_boxwid)
                .real(m_boxht);
        },
        frame);
}

MB_Result MB_Mtext::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    MB_String text;
    Qe_Pt pos, dir;
    mb_long spacing = 0, attach = 0, drawdir = 0;
    double factor = 0, width = 0, height = 0, boxwid = 0, boxht = 0;
    MB_Result r = mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& rd) {
        rd.then([&] { return text.materialize(file); })
            .position(pos)
            .position(dir)
            .int32(spacing)
            .int32(attach)
            .int32(drawdir)
            .real(factor)
            .real(width)
            .real(height)
            .real(boxwid)
            .real(boxht);
    });
    if (r != 0) return r;
    // The read string replaces the text's whole: it is never written into an older buffer.
    string(text.ascii() ? text.ascii() : "");
    m_text_pos = pos;
    m_direction = Qe_Vec(dir.x(), dir.y(), dir.z());
    m_linespacing_style = static_cast<int>(spacing);
    m_attachpt = static_cast<char>(attach & 0xFF);
    m_drawdir = static_cast<char>(drawdir & 0xFF);
    m_linespacing_factor = factor;
    m_width = width;
    m_base_ht = height;
    m_boxwid = boxwid;
    m_boxht = boxht;
    m_text_style->sync_read(opcode, file);
    return MB_Result::Success;
}

MB_Result MB_Mtext::process(MB_File_IO& file)
{
    // Left unlinked, the reader frees it.
    if (mb_stream_revision(file) < k_mtext_revision) return MB_Result::Success;
    return mb_process_entity(*this, file);
}

bool MB_Mtext::copy_to(MB_Object*& target)
{
    auto fill = [&](MB_Mtext& t) {
        t.m_text_pos = m_text_pos;
        m_text_style->copy_to(*t.m_text_style);
        t.m_width = m_width;
        t.m_base_ht = m_base_ht;
        t.m_linespacing_style = m_linespacing_style;
        t.m_linespacing_factor = m_linespacing_factor;
        t.m_attachpt = m_attachpt;
        t.m_drawdir = m_drawdir;
        t.m_boxht = m_boxht;
        t.m_boxwid = m_boxwid;
        t.m_string = m_string;
        t.m_has_string = m_has_string;
        t.m_direction = m_direction;
        t.m_backword = m_backword;
    };
    return mb_copy_entity<MB_Mtext>(
        *this, target,
        [&] {
            auto* made = new MB_Mtext(m_text_pos, string());
            fill(*made);
            return made;
        },
        fill);
}

// ---- properties ----

namespace {

const MB_Property<MB_Mtext, double> k_mtext_reals[] = {
    {Key_Spacing_Factor, [](MB_Mtext& t) { return t.linespacing_factor(); },
     [](MB_Mtext& t, double v) { t.set_linespacing_factor(v); }, MB_Undo::Record},
    {Key_Width, [](MB_Mtext& t) { return t.width(); }, [](MB_Mtext& t, double v) { t.set_width(v); },
     MB_Undo::Record},
    {Key_Height, [](MB_Mtext& t) { return t.base_ht(); }, [](MB_Mtext& t, double v) { t.set_base_ht(v); },
     MB_Undo::Record},
    {Key_Width_Scale, [](MB_Mtext& t) { return t.text_style()->width_scale(); },
     [](MB_Mtext& t, double v) { t.text_style()->width_scale(v); }, MB_Undo::Record},
    {Key_Angle2, [](MB_Mtext& t) { return t.text_style()->angle(); },
     [](MB_Mtext& t, double v) { t.text_style()->angle(v); }, MB_Undo::Record},
    {Key_Oblique, [](MB_Mtext& t) { return t.text_style()->oblique_angle(); },
     [](MB_Mtext& t, double v) { t.text_style()->oblique_angle(v); }, MB_Undo::Record},
    {mb_key::Angle, [](MB_Mtext& t) { return t.direction_angle(); },
     [](MB_Mtext& t, double v) { t.direction(Qe_Vec(std::cos(v), std::sin(v), 0.0)); }, MB_Undo::Record},
};

const MB_Property<MB_Mtext, Qe_Pt> k_mtext_points[] = {
    {mb_key::Insert_Point, [](MB_Mtext& t) { return t.text_pos(); },
     [](MB_Mtext& t, Qe_Pt p) { t.set_text_pos(p); }, MB_Undo::Record},
};

const MB_Property<MB_Mtext, long> k_mtext_ints[] = {
    {Key_Spacing_Style, [](MB_Mtext& t) { return static_cast<long>(t.linespacing_style()); },
     [](MB_Mtext& t, long v) { t.set_linespacing_style(static_cast<int>(v)); }, MB_Undo::Record},
};

}  // namespace

Qe_Pt MB_Mtext::get_point(int key)
{
    return mb_get_property(k_mtext_points, *this, key, [&] { return MB_Drawable::get_point(key); });
}

double MB_Mtext::get_real(int key)
{
    return mb_get_property(k_mtext_reals, *this, key, [&] { return MB_Drawable::get_real(key); });
}

long MB_Mtext::get_int(int key)
{
    return mb_get_property(k_mtext_ints, *this, key, [&] { return MB_Drawable::get_int(key); });
}

const char* MB_Mtext::get_string(int key)
{
    switch (key) {
    case mb_key::Text: return m_string.c_str();
    case Key_Font:
        return m_text_style->font_lib() ? m_text_style->font_lib()->name().ascii() : nullptr;
    case Key_Big_Font:
        return m_text_style->big_font_lib() ? m_text_style->big_font_lib()->name().ascii() : nullptr;
    default: break;
    }
    return MB_Drawable::get_string(key);
}

void MB_Mtext::set_point(long key, const Qe_Pt& value)
{
    mb_set_property(k_mtext_points, *this, key, value, [&] { MB_Drawable::set_point(key, value); });
}

void MB_Mtext::set_real(long key, double value)
{
    mb_set_property(k_mtext_reals, *this, key, value, [&] { MB_Drawable::set_real(key, value); });
}

void MB_Mtext::set_int(long key, long value)
{
    mb_set_property(k_mtext_ints, *this, key, value, [&] { MB_Drawable::set_int(key, value); });
}

void MB_Mtext::set_string(long key, const char* value)
{
    if (!value) {
        MB_Drawable::set_string(key, value);
        return;
    }
    switch (key) {
    case mb_key::Text:
        modify_cmd();
        string(value);
        break;
    case Key_Font:
        modify_cmd();
        m_text_style->font_lib(value);
        break;
    case Key_Big_Font:
        modify_cmd();
        m_text_style->big_font_lib(value);
        break;
    default: MB_Drawable::set_string(key, value); break;
    }
}

// ---- styles ----

bool MB_Mtext::init_text_style(MB_Drawing& drawing, const char* name)
{
    MB_Recording_Pause pause;
    if (name) {
        for (MB_Object* o = drawing.text_style_list().get_head(); o; o = o->next()) {
            auto* style = dynamic_cast<MB_Text_Style*>(o);
            if (style && style->name().ascii() && ::strcasecmp(style->name().ascii(), name) == 0) {
                style->copy_to(*m_text_style);
                return true;
            }
        }
    }
    // The registry finds fonts by name in any case, so "txt.SHX" is the "txt.shx" library.
    if (!g_text_style)
        g_text_style = new MB_Text_Style("DEFAULT_STYLE", "txt.SHX", g_default_big_fname, 8.0, 1.0, 0.0, 0.0, 0, 0);
    g_text_style->copy_to(*m_text_style);
    return false;
}

// ---- parts of the string ----

void MB_Mtext::convert_mtext_string()
{
    m_string_list.clear();
    if (!m_has_string) return;
    for (std::size_t at = m_string.find("\\P"); at != std::string::npos; at = m_string.find("\\P", at + 2)) {
        m_string[at] = '\r';
        m_string[at + 1] = '\n';
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i <= m_string.size(); ++i) {
        const bool end = i == m_string.size();
        if (!end && m_string[i] != '\\' && m_string[i] != 'f') continue;
        const std::string part = m_string.substr(start, i - start);
        const bool brace_before_font = !end && m_string[i] == 'f' && part == "{";
        if (!part.empty() && !brace_before_font) m_string_list.emplace_back(part.c_str());
        start = i + 1;
    }
}

// ---- layout ----

void MB_Mtext::add_run(const std::string& text, double height, long colour, const std::string& font)
{
    MB_Recording_Pause pause;
    auto* run = new MB_Text(Qe_Pt(), MB_String(text.c_str()));
    run->general().color(colour == k_own_colour ? general().color() : colour);
    run->general().layer(general().layer());
    MB_Text_Style& style = *run->text_style();
    if (font == k_own_font) {
        m_text_style->copy_to(style);
    } else {
        // A style of its own for the run, pointing at whatever library the registry found
        // for the name (the fallback font when none): the shared library keeps its name.
        MB_Text_Style().copy_to(style);
        style.name("xxx");
        style.font_lib(font.c_str());
        style.big_font_lib(static_cast<MB_Font_Library*>(nullptr));
        style.height(8.0);
    }
    style.height(height);
    style.width_scale(1.0);
    run->build_draw0();
    (void)m_text_list.add_tail(run);
}

void MB_Mtext::parse()
{
    long colour = k_own_colour;
    std::string font = k_own_font;
    double height = m_base_ht;
    // Text between codes has no length limit: the buffer grows.
    std::string buffer;
    auto flush = [&] {
        if (buffer.empty()) return;
        add_run(buffer, height, colour, font);
        buffer.clear();
    };
    for (const MB_Mtext_Code& c : mb_mtext_codes(m_string)) {
        switch (c.kind) {
        case MB_Mtext_Code::Text:
        case MB_Mtext_Code::Literal: buffer += c.text; break;
        case MB_Mtext_Code::Unicode_Escape: buffer += '\\'; break;
        case MB_Mtext_Code::Spaces:
        case MB_Mtext_Code::Double_Byte:
            flush();
            add_run(std::string(c.text), height, colour, font);
            break;
        case MB_Mtext_Code::Group_Open:
        case MB_Mtext_Code::Alignment:
        case MB_Mtext_Code::Underline: flush(); break;
        case MB_Mtext_Code::Group_Close:
            flush();
            colour = k_own_colour;
            font = k_own_font;
            height = m_base_ht;
            break;
        case MB_Mtext_Code::Colour:
            flush();
            if (c.index >= 0) colour = static_cast<long>(mb_palette_colorref(c.index));
            break;
        case MB_Mtext_Code::Font:
            flush();
            if (c.complete) font = c.text.empty() ? std::string(k_own_font) : std::string(c.text);
            break;
        case MB_Mtext_Code::Height: {
            flush();
            const double h = c.relative ? c.value * height : c.value;
            if (c.complete && usable_height(h)) height = h;
            break;
        }
        case MB_Mtext_Code::Paragraph:
            flush();
            add_run("\n", height, colour, font);
            break;
        }
    }
    flush();
}

void MB_Mtext::set_base_point()
{
    std::vector<Run_Measure> runs;
    for (Qe_Void_Node* n = m_text_list.head(); n; n = n->next()) runs.push_back(measure(run_at(n)));
    const std::size_t count = runs.size();
    const double W = m_width, F = m_linespacing_factor, x0 = m_text_pos.x();
    const int L = m_linespacing_style;
    const int attach = m_attachpt;

    double y = m_text_pos.y();
    if (attach >= 4 && attach <= 6) y += m_boxht * 0.5;
    if (attach >= 7 && attach <= 9) y += m_boxht;
    double B = 0.0, M = 0.0;
    bool first = true;

    auto step_down = [&](double D) {
        if (L == 2) {
            y -= first ? D : F * 4.167;
        } else {
            M = std::max(D, B);
            const double G = D > B ? D : 1.4 * B;
            y -= first ? M : M + G * (F - 1.0) * 0.867;
            B = D;
        }
        first = false;
    };
    auto after_line = [&] {
        if (L == 1) y -= m_base_ht * 0.3252 + M * 0.334;
    };
    auto set_down = [&](std::size_t from, std::size_t to, double w) {
        double x = x0;
        if (attach == 2 || attach == 5 || attach == 8) x -= w * 0.5;
        if (attach == 3 || attach == 6 || attach == 9) x -= w;
        for (std::size_t k = from; k < to; ++k) {
            runs[k].run->base_pos(Qe_Pt(x, y, 0.0));
            runs[k].run->build_draw0();
            x += runs[k].advance();
        }
    };

    std::size_t i = 0;
    while (i < count) {
        const Run_Measure& r = runs[i];
        if (r.test_width() >= W) {
            // Too wide to share a line (and every run when there is no width): alone, and a
            // line feed right after it is the break already made.
            step_down(r.height);
            set_down(i, i + 1, r.test_width());
            after_line();
            ++i;
            if (i < count && runs[i].line_feed) ++i;
            continue;
        }
        if (r.line_feed) {
            step_down(r.height);
            ++i;
            continue;
        }
        double o = 0.0, D = 0.0, E = 0.0;
        std::size_t stop = count;
        for (std::size_t k = i; k < count; ++k) {
            const Run_Measure& m = runs[k];
            if (m.line_feed) {
                o -= E;
                stop = k;
                break;
            }
            o += m.width;
            if (o <= W && m.height > D) D = m.height;
            if (o > W) {
                o = o - m.width - E;
                stop = k;
                break;
            }
            E = m.space ? 0.0 : m.gap;
            o += E;
            if (o > W) {
                o -= E;
                stop = k + 1;
                break;
            }
        }
        std::size_t line_end = stop, next = stop;
        bool broke_at_feed = false;
        if (stop < count) {
            const Run_Measure& s = runs[stop];
            if (s.space) {
                // A space where the line breaks stays on it, uncounted.
                line_end = next = stop + 1;
                D = std::max(D, s.height);
            } else if (s.line_feed) {
                next = stop + 1;
                broke_at_feed = true;
            }
        }
        step_down(D);
        set_down(i, line_end, o);
        after_line();
        // A line that wrapped has made its break: a line feed right after it adds none. One
        // that ended at a line feed has used that one; a second is an empty paragraph.
        if (!broke_at_feed && next < count && runs[next].line_feed) ++next;
        i = next;
    }
}

void MB_Mtext::build_draw()
{
    free_runs();
    rect().set_rect(m_text_pos, m_text_pos);
    if (!m_has_string) return;
    parse();
    if (!m_text_list.head()) return;
    if (m_boxht < 0.0) m_boxht = run_at(m_text_list.head())->text_style()->height();
    set_base_point();

    const double angle = direction_angle();
    const Qe_Vec to_origin(-m_text_pos.x(), -m_text_pos.y(), -m_text_pos.z());
    const Qe_Vec back(m_text_pos.x(), m_text_pos.y(), m_text_pos.z());
    if (angle != 0.0) {
        const Qe_Tran turn =
            translate_transf(to_origin) * rotate_transf(angle, Qe_Vec(0.0, 0.0, 1.0)) * translate_transf(back);
        for (Qe_Void_Node* n = m_text_list.head(); n; n = n->next()) {
            MB_Text* run = run_at(n);
            run->text_style()->angle(angle);
            run->base_pos(run->base_pos() * turn);
            run->build_draw0();
        }
    }
    if (m_backword) {
        const Qe_Tran mirror = translate_transf(to_origin) *
                               reflect_transf(Qe_Vec(std::cos(angle), std::sin(angle), 0.0)) *
                               translate_transf(back);
        for (Qe_Void_Node* n = m_text_list.head(); n; n = n->next()) {
            MB_Text* run = run_at(n);
            run->base_pos(run->base_pos() * mirror);
            MB_Text_Style& style = *run->text_style();
            style.font_style(style.font_style() ^ MB_Text_Style::Mirror_Across_Direction);
            run->build_draw0();
        }
    }

    bool any = false;
    for (Qe_Void_Node* n = m_text_list.head(); n; n = n->next()) {
        const Qe_Rect& r = run_at(n)->rect();
        if (r.is_pt()) continue;
        if (!any) {
            rect() = r;
            any = true;
            continue;
        }
        rect().set_rect(Qe_Pt(std::min(rect().lt().x(), r.lt().x()), std::max(rect().lt().y(), r.lt().y()), 0.0),
                        Qe_Pt(std::max(rect().rb().x(), r.rb().x()), std::min(rect().rb().y(), r.rb().y()), 0.0));
    }
}

// ---- display ----

char MB_Mtext::pick(const Qe_Pt& at, Qe_Pt_List& hits, double tol, Qe_Pt& nearest, int& kind, int& extra)
{
    if (!m_has_string) return 0;
    for (Qe_Void_Node* n = m_text_list.head(); n; n = n->next())
        if (run_at(n)->pick(at, hits, tol, nearest, kind, extra)) return 1;
    return 0;
}

void MB_Mtext::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    mb_draw_grip(hdc, m_text_pos, t);
}

void MB_Mtext::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    if (!m_has_string) return;
    for (Qe_Void_Node* n = m_text_list.head(); n; n = n->next()) {
        MB_Text* run = run_at(n);
        const char* text = run->string().ascii();
        if (text && text[0] == '\n') continue;
        const long colour = run->general().color();
        if (qdc.GetDC()) qdc.SetColor(static_cast<unsigned long>(colour), true);
        // A device context draws with the pen selected into it: each run selects its colour.
        if (hdc) {
            MB_Scoped_Pen pen(hdc, PS_SOLID, 0, static_cast<COLORREF>(mb_display_color(colour)));
            run->draw(hdc, qdc, t);
        } else {
            run->draw(hdc, qdc, t);
        }
    }
}

void MB_Mtext::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_text_pos *= t;
}
