#include "kernel/text/font_library.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "geometry/point.h"
#include "kernel/stream/file_io.h"

// ---- MB_Font_Char ----

MB_Font_Char::~MB_Font_Char()
{
    free_lists();
}

void MB_Font_Char::free_lists()
{
    for (Qe_Void_Node* n = m_position_list.head(); n; n = n->next()) {
        auto* stroke = static_cast<Qe_Void_List*>(n->entity());
        if (!stroke) continue;
        for (Qe_Void_Node* p = stroke->head(); p; p = p->next()) delete static_cast<Qe_Pt*>(p->entity());
        delete stroke;
    }
    m_position_list.clear();
}

void MB_Font_Char::new_pos_list()
{
    m_position_list.add_tail(new Qe_Void_List);
}

void MB_Font_Char::add_pos(double x, double y)
{
    if (m_position_list.is_empty()) new_pos_list();
    static_cast<Qe_Void_List*>(m_position_list.last())->add_tail(new Qe_Pt(x, y, 0.0));
}

void MB_Font_Char::set_end_pos(double x, double y)
{
    m_end_x = x;
    m_end_y = y;
}

void MB_Font_Char::conver_list_to_set()
{
    std::vector<mb_ulong> counts;
    std::vector<Qe_Pt> points;
    for (Qe_Void_Node* n = m_position_list.head(); n;) {
        auto* stroke = static_cast<Qe_Void_List*>(n->entity());
        const int c = stroke ? stroke->count() : 0;
        if (c < 2) {
            if (stroke) {
                for (Qe_Void_Node* p = stroke->head(); p; p = p->next()) delete static_cast<Qe_Pt*>(p->entity());
                delete stroke;
            }
            n = m_position_list.remove_node(n);
            continue;
        }
        counts.push_back(static_cast<mb_ulong>(c));
        for (Qe_Void_Node* p = stroke->head(); p; p = p->next()) points.push_back(*static_cast<Qe_Pt*>(p->entity()));
        n = n->next();
    }
    if (counts.empty()) return;
    // A glyph that cannot be packed keeps its old runs: init reports no runs on failure.
    Qe_Pt_Sets packed;
    if (packed.init(static_cast<mb_ulong>(counts.size()), counts.data(), points.data())) m_position_set = packed;
}

void MB_Font_Char::char_2_pts_sets(Qe_Void_List& out, const Qe_Tran& t, Qe_Pt& pen) const
{
    if (m_position_set.ptset_count() > 0) {
        auto* copy = new Qe_Pt_Sets(m_position_set);
        Qe_Pt* pts = copy->points();
        const mb_ulong total = copy->pts_count();
        for (mb_ulong i = 0; i < total; ++i) {
            const Qe_Pt p = pts[i] * t;
            pts[i] = Qe_Pt(p.x() + pen.x(), p.y() + pen.y(), p.z() + pen.z());
        }
        out.add_tail(copy);
    }
    const Qe_Pt e = end_pos() * t;
    pen = Qe_Pt(pen.x() + e.x(), pen.y() + e.y(), pen.z() + e.z());
}

void MB_Font_Char::draw(HDC dc, const Qe_Tran& view, double scale, double angle, Qe_Pt& pen) const
{
    const Qe_Tran place = scale_transf(scale, scale, 1.0) * rotate_transf(angle, Qe_Vec(0.0, 0.0, 1.0)) *
                          translate_transf(Qe_Vec(pen.x(), pen.y(), pen.z()));
    m_position_set.draw(dc, place * view, 0xFF0000);
    pen = end_pos() * place;
}

MB_Result MB_Font_Char::serialize(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Font_Char::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Font_Char::process(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Font_Char::sync(MB_File_IO&)
{
    return MB_Result::Success;
}

// ---- MB_Font_Library ----

MB_Font_Library::~MB_Font_Library() = default;

MB_Font_Char* MB_Font_Library::font_char_set(unsigned short)
{
    return nullptr;
}

double MB_Font_Library::height() const
{
    return 1.0;
}

bool MB_Font_Library::char_2_ptlist(unsigned long, Qe_Void_List&, Qe_Pt&, double, double, bool)
{
    return false;
}

void MB_Font_Library::file_name(const char* text)
{
    if (!text) {
        m_file_name[0] = '\0';
        return;
    }
    std::size_t n = std::strlen(text);
    if (n > k_file_name_size - 1) n = k_file_name_size - 1;
    std::memmove(m_file_name, text, n);
    m_file_name[n] = '\0';
}

MB_Result MB_Font_Library::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Font_Library::process(MB_File_IO&)
{
    return MB_Result::Success;
}
