#include "kernel/entities/insert.h"

#include <cmath>
#include <vector>

#include "geometry/raster_device.h"
#include "geometry/tolerance.h"
#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/kind_hooks_p.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/entities/full_transform.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/rendition.h"

namespace {
enum : int {
    k_key_point = -6,
    k_key_angle = -102,
    k_key_x_scale = -106,
    k_key_y_scale = -107,
    k_key_z_scale = -108,
    k_key_display_flag = -217,
    k_key_block_name = -309,
};
constexpr const char* k_new_block_desc = "Block desc";
constexpr unsigned char k_insert_opcode = 'I';
// References nested deeper than this are not drawn or picked: far beyond any real drawing,
// well within the stack.
constexpr std::size_t k_max_block_depth = 64;

// The blocks being drawn or picked on this thread, outermost first. A block already on the
// path is skipped: a block that reaches itself would otherwise recurse without end.
thread_local std::vector<const MB_Block*> t_block_path;

class Block_Visit {
public:
    explicit Block_Visit(const MB_Block* block)
    {
        if (!block || t_block_path.size() >= k_max_block_depth) return;
        for (const MB_Block* b : t_block_path)
            if (b == block) return;
        t_block_path.push_back(block);
        m_entered = true;
    }
    ~Block_Visit()
    {
        if (m_entered) t_block_path.pop_back();
    }
    Block_Visit(const Block_Visit&) = delete;
    Block_Visit& operator=(const Block_Visit&) = delete;
    bool entered() const { return m_entered; }

private:
    bool m_entered = false;
};

// A block whose members can be drawn: it has members and its rectangle was built.
bool drawable_block(MB_Block* block)
{
    return block && !block->object_list().is_empty() && !same_point(block->rect().lt(), block->rect().rb(), resabs);
}

// Draws the block's members through m; on the raster path each in its own colour, or in
// the reference's when it asks for it.
void draw_members(MB_Block& block, HDC hdc, Qe_Qdc& qdc, Qe_Tran& m, const MB_Insert& ref)
{
    Block_Visit visit(&block);
    if (!visit.entered()) return;
    for (MB_Object* o = block.object_list().get_head(); o; o = o->next()) {
        if (!o->is_drawable()) continue;
        auto* d = static_cast<MB_Drawable*>(o);
        if (!hdc) qdc.SetColor(static_cast<unsigned long>(ref.display_flag() ? ref.general().color() : d->general().color()), true);
        d->draw(hdc, qdc, m);
    }
}

// The block's rectangle (already relative to its base point) through t.
Qe_Rect block_rect(MB_Block& block, const Qe_Tran& t)
{
    Qe_Rect r = block.rect();
    r.translate(t);
    return r;
}
}  // namespace

MB_Insert::MB_Insert() : m_trans(translate_transf(Qe_Vec(0.0, 0.0, 0.0))) {}

MB_Insert::MB_Insert(const Qe_Pt& point, double angle, double sx, double sy, double sz)
    : m_point(point), m_angle(angle), m_scale{sx, sy, sz}
{
}

MB_Insert::~MB_Insert() = default;

MB_Result MB_Insert::serialize(MB_File_IO& file)
{
    if (!m_block) return MB_Result::Success;
    MB_Record_Frame frame;
    frame.block_name = m_block->name().ascii();
    return mb_write_entity(
        *this, file, k_insert_opcode,
        [&](MB_Record_Writer& w) { w.position(m_point).real(m_angle).real(m_scale[0]).real(m_scale[1]); }, frame);
}

MB_Result MB_Insert::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    return mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& r) {
        r.position(m_point).real(m_angle).real(m_scale[0]).real(m_scale[1]);
    });
}

MB_Result MB_Insert::process(MB_File_IO& file)
{
    MB_Drawing* drawing = file.drawing();
    m_block = drawing ? drawing->find_block(file.fifo_rendition().block_name()) : nullptr;
    build_transf();
    return mb_process_entity(*this, file);
}

bool MB_Insert::copy_to(MB_Object*& target)
{
    if (!target) {
        target = new MB_Insert(m_point, m_angle, m_scale[0], m_scale[1], m_scale[2]);
        static_cast<MB_Insert*>(target)->m_block = m_block;
    } else if (auto* insert = dynamic_cast<MB_Insert*>(target)) {
        insert->m_block = m_block;
        insert->m_angle = m_angle;
        insert->scale(m_scale);
        insert->m_point = m_point;
    }
    MB_Drawable::copy_to(target);
    return true;
}

Qe_Pt MB_Insert::get_point(int key)
{
    return key == k_key_point ? m_point : MB_Drawable::get_point(key);
}

double MB_Insert::get_real(int key)
{
    switch (key) {
    case k_key_angle: return m_angle;
    case k_key_x_scale: return m_scale[0];
    case k_key_y_scale: return m_scale[1];
    case k_key_z_scale: return m_scale[2];
    default: return MB_Drawable::get_real(key);
    }
}

long MB_Insert::get_int(int key)
{
    return key == k_key_display_flag ? (m_display_flag ? 1 : 0) : MB_Drawable::get_int(key);
}

const char* MB_Insert::get_string(int key)
{
    if (key == k_key_block_name) return m_block ? m_block->name().ascii() : nullptr;
    return MB_Drawable::get_string(key);
}

void MB_Insert::set_real(long key, double value)
{
    switch (key) {
    case k_key_angle: modify_cmd(); m_angle = value; break;
    case k_key_x_scale: modify_cmd(); m_scale[0] = value; break;
    case k_key_y_scale: modify_cmd(); m_scale[1] = value; break;
    case k_key_z_scale: modify_cmd(); m_scale[2] = value; break;
    default: MB_Drawable::set_real(key, value); break;
    }
}

void MB_Insert::set_int(long key, long value)
{
    if (key == k_key_display_flag)
        m_display_flag = value == 1;
    else
        MB_Drawable::set_int(key, value);
}

void MB_Insert::set_point(long key, const Qe_Pt& value)
{
    if (key != k_key_point) return MB_Drawable::set_point(key, value);
    modify_cmd();
    m_point = value;
}

void MB_Insert::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_point = m_point * t;
}

char MB_Insert::pick(const Qe_Pt& at, Qe_Pt_List& hits, double tol, Qe_Pt& nearest, int& kind, int& extra)
{
    if (!m_block) return 0;
    Block_Visit visit(m_block);
    if (!visit.entered()) return 0;
    const Qe_Tran forward = m_block->tran() * m_trans;
    const Qe_Tran inverse = forward.inverse();
    const double stretch = mb_max_stretch(inverse);
    const Qe_Pt inside = at * inverse;
    const double inside_tol = tol * (stretch > 0.0 ? stretch : 1.0);
    for (MB_Object* o = m_block->object_list().get_head(); o; o = o->next()) {
        if (!o->is_drawable()) continue;
        Qe_Pt hit;
        if (!static_cast<MB_Drawable*>(o)->pick(inside, hits, inside_tol, hit, kind, extra)) continue;
        nearest = hit * forward;
        return 1;
    }
    return 0;
}

void MB_Insert::build_draw()
{
    if (!drawable_block(m_block)) return;
    build_transf();
    rect() = block_rect(*m_block, m_trans);
}

void MB_Insert::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    mb_draw_grip(hdc, m_point, t);
}

void MB_Insert::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    if (!drawable_block(m_block)) return;
    Qe_Tran m = m_block->tran() * m_trans * t;
    draw_members(*m_block, hdc, qdc, m, *this);
}

void MB_Insert::explode(MB_Drawing* drawing)
{
    if (!drawing || !m_block || m_block->object_list().is_empty()) return;
    build_transf();
    const Qe_Tran m = m_block->tran() * m_trans;
    MB_Object_List& target = drawing->temp_block()                ? drawing->temp_block()->object_list()
                             : drawing->current_layout_list()     ? *drawing->current_layout_list()
                                                                  : drawing->object_list();
    // The members as they are now: exploding into the open block could be exploding into
    // this very block, whose list the copies join.
    std::vector<MB_Drawable*> members;
    for (MB_Object* o = m_block->object_list().get_head(); o; o = o->next())
        if (o->is_drawable()) members.push_back(static_cast<MB_Drawable*>(o));
    for (MB_Drawable* member : members) {
        MB_Object* copy = nullptr;
        if (!member->copy_to(copy) || !copy) {
            delete copy;
            continue;
        }
        auto* d = static_cast<MB_Drawable*>(copy);
        MB_Drawable* mapped = apply_full_transform(*d, m);
        if (mapped != d) delete d;
        mapped->build_draw();
        target.add_tail(mapped);
    }
}

void MB_Insert::scale(const double* s)
{
    if (!s) return;
    m_scale[0] = s[0];
    m_scale[1] = s[1];
    m_scale[2] = s[2];
}

void MB_Insert::block(const MB_String& name, MB_Drawing& drawing)
{
    MB_Block* found = drawing.find_block(name.ascii());
    if (!found) {
        found = new MB_Block(Qe_Pt(), name, MB_String(k_new_block_desc));
        drawing.block_list().add_tail(found);
    }
    m_block = found;
}

void MB_Insert::build_transf()
{
    const double sz = m_scale[2] == 0.0 ? 1.0 : m_scale[2];
    Qe_Tran t = scale_transf(std::fabs(m_scale[0]), std::fabs(m_scale[1]), std::fabs(sz));
    if (m_scale[0] < 0.0) t = t * reflect_transf(Qe_Vec(1.0, 0.0, 0.0));
    if (m_scale[1] < 0.0) t = t * reflect_transf(Qe_Vec(0.0, 1.0, 0.0));
    t = t * rotate_transf(m_angle, Qe_Vec(0.0, 0.0, 1.0));
    t = t * translate_transf(Qe_Vec(m_point.x(), m_point.y(), m_point.z()));
    m_trans = t;
}

// MB_Minsert

MB_Minsert::MB_Minsert(const Qe_Pt& point, double angle, double sx, double sy, double sz, unsigned long columns,
                       double column_spacing, unsigned long rows, double row_spacing)
    : MB_Insert(point, angle, sx, sy, sz),
      m_columns(columns),
      m_rows(rows),
      m_column_spacing(column_spacing),
      m_row_spacing(row_spacing)
{
    if (columns == 0 || rows == 0 || columns > k_max_cells / rows) return;
    const std::size_t n = static_cast<std::size_t>(columns) * rows;
    m_cell_points.reserve(n);
    m_cell_trans.reserve(n);
    // The grid turns about the insertion point with the cells it holds.
    const Qe_Tran turn = rotate_transf(angle, Qe_Vec(0.0, 0.0, 1.0));
    const Qe_Tran cell_shape = scale_transf(std::fabs(sx), std::fabs(sy), std::fabs(sz)) * turn;
    for (unsigned long i = 0; i < rows; ++i) {
        for (unsigned long j = 0; j < columns; ++j) {
            const Qe_Vec offset(static_cast<double>(j) * column_spacing, static_cast<double>(i) * row_spacing, 0.0);
            const Qe_Pt cell = Qe_Pt(point.x(), point.y(), 0.0) + offset * turn;
            m_cell_points.push_back(cell);
            m_cell_trans.push_back(cell_shape * translate_transf(Qe_Vec(cell.x(), cell.y(), cell.z())));
        }
    }
}

MB_Minsert::~MB_Minsert() = default;

MB_Result MB_Minsert::serialize(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Minsert::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Minsert::process(MB_File_IO&)
{
    return MB_Result::Success;
}

bool MB_Minsert::copy_to(MB_Object*& target)
{
    MB_Minsert* a = nullptr;
    if (!target) {
        a = new MB_Minsert;
        target = a;
    } else {
        a = dynamic_cast<MB_Minsert*>(target);
        if (!a) return false;
        a->modify_cmd();
    }
    a->block(block());
    a->point(point());
    a->angle(angle());
    a->scale(scale());
    a->m_columns = m_columns;
    a->m_rows = m_rows;
    a->m_column_spacing = m_column_spacing;
    a->m_row_spacing = m_row_spacing;
    a->m_cell_points = m_cell_points;
    a->m_cell_trans = m_cell_trans;
    return MB_Drawable::copy_to(target);
}

char MB_Minsert::pick(const Qe_Pt&, Qe_Pt_List&, double, Qe_Pt&, int&, int&)
{
    return 0;
}

void MB_Minsert::build_draw()
{
    if (!drawable_block(block()) || m_cell_trans.empty()) return;
    Qe_Rect r = block_rect(*block(), m_cell_trans[0]);
    for (std::size_t k = 1; k < m_cell_trans.size(); ++k) r.union_rect(block_rect(*block(), m_cell_trans[k]));
    rect() = r;
}

void MB_Minsert::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    if (!drawable_block(block())) return;
    for (const Qe_Tran& cell : m_cell_trans) {
        Qe_Tran m = block()->tran() * cell * t;
        draw_members(*block(), hdc, qdc, m, *this);
    }
}

void MB_Minsert::translate(const Qe_Tran& t, short mode)
{
    MB_Insert::translate(t, mode);
    map_cells(t);
}

void MB_Minsert::map_cells(const Qe_Tran& t)
{
    for (Qe_Pt& p : m_cell_points) p *= t;
    for (Qe_Tran& c : m_cell_trans) c *= t;
}

MB_Block* mb_insert_block(MB_Object* insert)
{
    return static_cast<MB_Insert*>(insert)->block();
}
