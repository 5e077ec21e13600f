#include "kernel/entities/hatch.h"

#include <cmath>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "geometry/hatch_type.h"
#include "geometry/log.h"
#include "geometry/loop.h"
#include "geometry/pt_set.h"
#include "geometry/raster_device.h"
#include "geometry/rect.h"
#include "geometry/transform.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/system_setting.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/stream/file_io.h"
#include "platform/gdi_draw.h"

namespace {

constexpr unsigned char k_hatch_opcode = '@';

bool same_name(const char* name, const char* wanted)
{
    if (!name) return false;
    for (; *name && *wanted; ++name, ++wanted) {
        char a = *name, b = *wanted;
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (a != b) return false;
    }
    return *name == *wanted;
}

Qe_Loop* loop_at(Qe_Void_Node* n)
{
    return static_cast<Qe_Loop*>(n->entity());
}

}  // namespace

MB_Hatch::MB_Hatch() = default;

MB_Hatch::MB_Hatch(int) {}

MB_Hatch::MB_Hatch(const MB_Hatch& other) : MB_Geom(other) { copy_from(other); }

MB_Hatch& MB_Hatch::operator=(const MB_Hatch& other)
{
    if (this != &other) {
        MB_Geom::operator=(other);
        copy_from(other);
    }
    return *this;
}

MB_Hatch::~MB_Hatch()
{
    clear_ptsets();
    clear_loops();
}

void MB_Hatch::copy_from(const MB_Hatch& other)
{
    clear_loops();
    for (Qe_Void_Node* n = other.m_loops.head(); n; n = n->next()) {
        const Qe_Loop* l = loop_at(n);
        if (!l) continue;
        auto* copy = new (std::nothrow) Qe_Loop(*l);
        if (copy && !m_loops.add(copy)) delete copy;
        if (l == other.m_excluded) m_excluded = copy;
    }
    clear_ptsets();
    for (Qe_Void_Node* n = other.m_ptsets.head(); n; n = n->next()) {
        const auto* s = static_cast<const Qe_Pt_Sets*>(n->entity());
        if (!s) continue;
        auto* copy = new (std::nothrow) Qe_Pt_Sets(*s);
        if (!copy) continue;
        copy->is_filled(s->is_filled());
        if (!m_ptsets.add(copy)) delete copy;
    }
    m_type = other.m_type;
    m_solidfill = other.m_solidfill;
    m_scale = other.m_scale;
    m_angle = other.m_angle;
    m_base_pos = other.m_base_pos;
    m_pattern = other.m_pattern;
}

void MB_Hatch::clear_loops()
{
    for (Qe_Void_Node* n = m_loops.head(); n; n = n->next()) delete loop_at(n);
    m_loops.clear();
    m_excluded = nullptr;
}

void MB_Hatch::clear_ptsets()
{
    for (Qe_Void_Node* n = m_ptsets.head(); n; n = n->next()) delete static_cast<Qe_Pt_Sets*>(n->entity());
    m_ptsets.clear();
}

template <class F>
void MB_Hatch::for_drawn_loops(F&& f) const
{
    for (Qe_Void_Node* n = m_loops.head(); n; n = n->next()) {
        Qe_Loop* l = loop_at(n);
        if (l && l != m_excluded) f(*l);
    }
}

void MB_Hatch::loop_add(void* loop)
{
    if (!loop) return;
    if (!m_loops.add(loop)) delete static_cast<Qe_Loop*>(loop);
}

void MB_Hatch::set_type(Qe_Hacthtype* pattern)
{
    if (!pattern) return;
    m_pattern.name(MB_String(pattern->name()));
    m_pattern.desc(MB_String(pattern->desc()));
    m_pattern.clear_strings();
    for (Qe_Void_Node* n = pattern->data_list().head(); n; n = n->next())
        if (n->entity()) (void)m_pattern.add_string(MB_String(static_cast<const char*>(n->entity())));
}

void MB_Hatch::deal_loop_list()
{
    for (Qe_Void_Node* n = m_loops.head(); n;) {
        Qe_Loop* l = loop_at(n);
        if (!l || l->count() < 2) {
            if (l == m_excluded) m_excluded = nullptr;
            delete l;
            n = m_loops.remove_node(n);
        } else {
            n = n->next();
        }
    }
}

Qe_Void_Node* MB_Hatch::get_max_loop()
{
    for (Qe_Void_Node* p = m_loops.head(); p; p = p->next()) {
        const Qe_Loop* outer = loop_at(p);
        if (!outer) continue;
        bool holds_all = true;
        for (Qe_Void_Node* q = m_loops.head(); q && holds_all; q = q->next())
            holds_all = loop_at(q) && loop_at(q)->is_in_loop(*outer) != 0;
        if (holds_all) return p;
    }
    return nullptr;
}

bool MB_Hatch::is_solid() const
{
    const char* name = m_pattern.name().ascii();
    return same_name(name, "SOLID") || same_name(name, "_SOLID");
}

bool MB_Hatch::is_offset() const
{
    return same_name(m_pattern.name().ascii(), "TAVIMOR_OFFSET");
}

// --- Stream record ----------------------------------------------------------------------

MB_Result MB_Hatch::serialize(MB_File_IO& file)
{
    std::vector<const Qe_Loop*> loops;
    for_drawn_loops([&](const Qe_Loop& l) { loops.push_back(&l); });
    return mb_write_entity(*this, file, k_hatch_opcode, [&](MB_Record_Writer& w) {
        w.int32(static_cast<mb_long>(loops.size()));
        for (const Qe_Loop* l : loops) w.int32(static_cast<mb_long>(l->count()));
        for (const Qe_Loop* l : loops) {
            const Qe_Loop_Node* v = l->head();
            if (!v) continue;
            do {
                w.position(v->point());
                v = v->next();
            } while (v && v != l->head());
        }
        w.then([&] { return m_pattern.name().serialize(file, 0); });
        w.real(m_pattern.angle()).real(m_pattern.scale());
        w.int32(static_cast<mb_long>(m_pattern.string_list().count()));
        for (Qe_Void_Node* n = m_pattern.string_list().head(); n; n = n->next())
            w.then([&] { return static_cast<const MB_String*>(n->entity())->serialize(file, 0); });
    });
}

MB_Result MB_Hatch::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    // Everything is read into locals and taken over only when the record was read whole.
    std::vector<std::unique_ptr<Qe_Loop>> loops;
    MB_String name;
    double angle = 0.0, scale = 1.0;
    std::vector<MB_String> lines;
    const MB_Result r = mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& rd) {
        mb_long n = 0;
        rd.int32(n).then([&] { return file.check_length(n, 4, k_max_loops); });
        std::vector<mb_long> counts;
        std::size_t total = 0;
        for (mb_long i = 0; i < n && rd.ok(); ++i) {
            mb_long c = 0;
            rd.int32(c).then([&] { return file.check_length(c, 24, MB_File_IO::k_max_points); });
            if (!rd.ok()) break;
            total += static_cast<std::size_t>(c);
            counts.push_back(c);
        }
        // All vertices together must fit in what is left.
        rd.then([&] {
            return total > static_cast<std::size_t>(MB_File_IO::k_max_points)
                       ? MB_Result(MB_Result::Invalid_Data)
                       : file.check_length(static_cast<mb_long>(total), 24, MB_File_IO::k_max_points);
        });
        for (std::size_t i = 0; i < counts.size() && rd.ok(); ++i) {
            auto loop = std::make_unique<Qe_Loop>();
            for (mb_long k = 0; k < counts[i] && rd.ok(); ++k) {
                Qe_Pt p;
                rd.position(p);
                // Kept exactly as stored, repeated vertices included.
                if (rd.ok()) loop->add(new Qe_Loop_Node(p));
            }
            loops.push_back(std::move(loop));
        }
        rd.then([&] { return name.materialize(file); });
        rd.real(angle).real(scale);
        mb_long m = 0;
        rd.int32(m).then([&] { return file.check_length(m, 4, k_max_pattern_lines); });
        for (mb_long i = 0; i < m && rd.ok(); ++i) {
            MB_String line;
            rd.then([&] { return line.materialize(file); });
            if (rd.ok()) lines.push_back(line);
        }
    });
    if (r != 0) return r;
    clear_loops();
    clear_ptsets();
    for (auto& l : loops) loop_add(l.release());
    m_pattern.name(name);
    m_pattern.angle(angle);
    m_pattern.scale(scale);
    m_pattern.clear_strings();
    for (const MB_String& s : lines)
        if (!m_pattern.add_string(s)) return MB_Result::Out_Of_Memory;
    return MB_Result::Success;
}

MB_Result MB_Hatch::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

bool MB_Hatch::copy_to(MB_Object*& target)
{
    auto fill = [&](MB_Hatch& h) {
        h.clear_loops();
        for (Qe_Void_Node* n = m_loops.head(); n; n = n->next())
            if (loop_at(n)) h.loop_add(new (std::nothrow) Qe_Loop(*loop_at(n)));
        h.clear_ptsets();
        h.m_pattern = m_pattern;
        h.m_type = m_type;
        h.m_solidfill = m_solidfill;
        h.m_scale = m_scale;
        h.m_angle = m_angle;
        h.m_base_pos = m_base_pos;
    };
    return mb_copy_entity<MB_Hatch>(
        *this, target,
        [&] {
            auto* made = new MB_Hatch;
            fill(*made);
            return made;
        },
        [&](MB_Hatch& h) {
            h.modify_cmd();
            fill(h);
        });
}

// --- Properties ---------------------------------------------------------------------------

namespace {

Qe_Loop* first_loop(MB_Hatch& h)
{
    Qe_Void_Node* n = h.loop_list().head();
    return n ? static_cast<Qe_Loop*>(n->entity()) : nullptr;
}

const MB_Property<MB_Hatch, Qe_Pt> k_hatch_points[] = {
    {mb_key::Center, [](MB_Hatch& h) { return h.rect().center(); }, nullptr},
    {mb_key::Middle, [](MB_Hatch& h) { return h.rect().center(); }, nullptr},
};

const MB_Property<MB_Hatch, double> k_hatch_reals[] = {
    {mb_key::Pattern_Scale, [](MB_Hatch& h) { return h.get_hatchtype()->scale(); },
     [](MB_Hatch& h, double v) { h.get_hatchtype()->scale(v); }},
    {mb_key::Angle, [](MB_Hatch& h) { return h.get_hatchtype()->angle(); },
     [](MB_Hatch& h, double v) { h.get_hatchtype()->angle(v); }},
    {mb_key::Area, [](MB_Hatch& h) { return first_loop(h) ? first_loop(h)->area() : 0.0; }, nullptr},
    {mb_key::Length, [](MB_Hatch& h) { return first_loop(h) ? first_loop(h)->length() : 0.0; }, nullptr},
};

}  // namespace

Qe_Pt MB_Hatch::get_point(int key)
{
    return mb_get_property(k_hatch_points, *this, key, [&] { return MB_Geom::get_point(key); });
}

double MB_Hatch::get_real(int key)
{
    return mb_get_property(k_hatch_reals, *this, key, [&] { return MB_Geom::get_real(key); });
}

long MB_Hatch::get_int(int key)
{
    if (key == mb_key::Loop_Count && !m_loops.is_empty()) return m_loops.count();
    return MB_Geom::get_int(key);
}

const char* MB_Hatch::get_string(int key)
{
    if (key == mb_key::Pattern_Name) return m_pattern.name().ascii();
    return MB_Geom::get_string(key);
}

void MB_Hatch::set_real(long key, double value)
{
    // Every key records; the keys without a setter here change nothing else.
    modify_cmd();
    if (const auto* p = mb_find_property(k_hatch_reals, key); p && p->set) p->set(*this, value);
}

void MB_Hatch::set_int(long key, long value)
{
    MB_Geom::set_int(key, value);
}

void MB_Hatch::set_point(long key, const Qe_Pt& value)
{
    MB_Geom::set_point(key, value);
}

void MB_Hatch::set_string(long key, const char* value)
{
    if (key == mb_key::Pattern_Name && value) set_type(g_hatch_type_list.find_htype(value));
    MB_Geom::set_string(key, value);
}

// --- Fill ----------------------------------------------------------------------------------

void MB_Hatch::build_draw()
{
    lay_out(true);
}

void MB_Hatch::build_extent()
{
    lay_out(false);
}

void MB_Hatch::lay_out(bool pattern_lines)
{
    deal_loop_list();
    m_excluded = nullptr;
    // A hatch that has nothing to fill any more draws nothing: its old fill goes first.
    clear_ptsets();
    if (m_loops.is_empty() || !m_pattern.name().length()) return;
    if (is_solid()) {
        // The loop enclosing all others is left out of the fill (and of pick, rectangle and
        // record) but kept, so that building again leaves out the same loop and no other.
        if (m_type != 0) {
            Qe_Void_Node* outer = get_max_loop();
            if (outer) m_excluded = loop_at(outer);
        }
    } else if (is_offset()) {
        build_rings();
    } else if (pattern_lines) {
        (void)m_pattern.render_loops_to_ptsets_list(m_loops, m_ptsets, m_type);
    }
    Qe_Void_List drawn;
    for_drawn_loops([&](Qe_Loop& l) { drawn.add(&l); });
    Qe_Rect r;
    if (MB_Hatch_Type::get_loops_max_rect(r, drawn)) rect() = r;
    draw_node(nullptr);
}

void MB_Hatch::build_rings()
{
    int count = m_pattern.patterntype();
    if (count == -1 || count > k_max_rings) {
        if (count > k_max_rings) message_out("MB_Hatch::build_draw", "too many offset rings asked; bounded", "", true);
        count = k_max_rings;
    }
    const double d = m_pattern.scale();
    if (!std::isfinite(d)) return;
    for (Qe_Void_Node* n = m_loops.head(); n; n = n->next()) {
        Qe_Loop* loop = loop_at(n);
        if (!loop) continue;
        loop->build_rect();
        // No ring further in than the loop is wide can lie inside it: the rings end there
        // even when every offset fails.
        const double reach = loop->rect() ? loop->rect()->diagonal_len() : 0.0;
        std::unique_ptr<Qe_Rect> previous;
        for (int t = 0; t < count; ++t) {
            const double distance = (t + 1) * d;
            if (t > 0 && !(std::fabs(distance) <= reach)) break;
            Qe_Loop ring;
            if (!loop->offset(distance, ring)) continue;
            ring.build_rect();
            if (!ring.rect()) continue;
            if (t > 0 && previous && !previous->rect_in_rect(*ring.rect())) break;
            std::vector<Qe_Pt> pts;
            const Qe_Loop_Node* v = ring.head();
            do {
                pts.push_back(v->point());
                v = v->next();
            } while (v && v != ring.head());
            pts.push_back(pts.front());
            auto sets = std::make_unique<Qe_Pt_Sets>();
            if (!sets->init(static_cast<mb_ulong>(pts.size()), pts.data()) || !m_ptsets.add(sets.get())) break;
            sets.release();
            previous = std::make_unique<Qe_Rect>(*ring.rect());
        }
    }
}

// --- Display and picking --------------------------------------------------------------------

void MB_Hatch::draw_solid(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    HDC dc = hdc ? hdc : qdc.GetDC();
    if (!dc) return;
    MB_Scoped_Brush brush(dc, static_cast<COLORREF>(mb_display_color(general().color())));
    BeginPath(dc);
    for_drawn_loops([&](const Qe_Loop& l) { l.draw(dc, t); });
    EndPath(dc);
    StrokeAndFillPath(dc);
}

void MB_Hatch::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    HDC dc = hdc ? hdc : qdc.GetDC();
    if (!dc || !m_pattern.name().length()) return;
    const bool selected = flag() == State_Selected;
    const long colour = mb_display_color(general().color());
    const long pen_colour =
        selected ? api_active_system_setting().get_long_val(MB_System_Setting::k_long_selection) : colour;
    MB_Scoped_Pen pen(dc, selected ? PS_DOT : PS_SOLID, 1, static_cast<COLORREF>(pen_colour));
    if (is_solid()) {
        draw_solid(dc, qdc, t);
        for_drawn_loops([&](const Qe_Loop& l) { l.draw(dc, t); });
        return;
    }
    for (Qe_Void_Node* n = m_ptsets.head(); n; n = n->next())
        static_cast<const Qe_Pt_Sets*>(n->entity())->draw(dc, t, colour);
}

void MB_Hatch::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    if (!hdc) return;
    mb_draw_grip(hdc, rect().center(), t);
}

char MB_Hatch::pick(const Qe_Pt& at, Qe_Pt_List&, double tol, Qe_Pt& nearest, int& kind, int&)
{
    if (m_ptsets.is_empty() && !m_loops.is_empty()) {
        // Inside the filled region: strictly inside an odd number of the drawn loops, so
        // a point in a hole is not on the hatch.
        int inside = 0;
        bool on_boundary = false;
        for_drawn_loops([&](const Qe_Loop& l) {
            const int where = l.is_pt_in_loop(at);
            if (where == 1) ++inside;
            if (where == 2) on_boundary = true;
        });
        if (!on_boundary && inside % 2 == 1) {
            nearest = at;
            kind = Pick_Inside;
            return static_cast<char>(255);
        }
    }
    const Qe_Tran identity;
    for (Qe_Void_Node* n = m_ptsets.head(); n; n = n->next()) {
        Qe_Pt hit;
        if (static_cast<const Qe_Pt_Sets*>(n->entity())->snap(at, hit, identity, tol)) {
            nearest = hit;
            kind = Pick_Inside;
            return static_cast<char>(255);
        }
    }
    return 0;
}

void MB_Hatch::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    for (Qe_Void_Node* n = m_loops.head(); n; n = n->next())
        if (loop_at(n)) loop_at(n)->translate(t);
}
