#include <cstdio>

#include "geometry/pt_list.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/text/font_file_p.h"
#include "kernel/text/system_resource.h"
#include "platform/path.h"

std::string mb_font_path(const char* name)
{
    std::string path = g_system_resource.fonts_dir();
    if (name) path += name;
    return path;
}

bool mb_read_font_file(const std::string& path, std::vector<unsigned char>& out)
{
    out.clear();
    std::FILE* f = platform_fopen(path.c_str(), "rb");
    if (!f) return false;
    bool ok = true;
    unsigned char chunk[65536];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (n > k_max_font_file_size - out.size()) {
            ok = false;
            break;
        }
        out.insert(out.end(), chunk, chunk + n);
        if (n < sizeof chunk) {
            ok = !std::ferror(f);
            break;
        }
    }
    std::fclose(f);
    if (!ok) out.clear();
    return ok;
}

void mb_place_shape_glyph(Qe_Void_List& strokes, const Qe_Pt& advance, double design_height, Qe_Void_List& out,
                          Qe_Pt& pen, double height, double width_factor, bool vertical)
{
    // A font whose above and below are both 0 has no height: its units are taken as is.
    const double h = design_height == 0.0 ? 1.0 : design_height;
    const Qe_Tran place = scale_transf(height / h * width_factor, height / h, 1.0) *
                          translate_transf(Qe_Vec(pen.x(), pen.y(), pen.z()));
    if (strokes.is_empty()) {
        pen = vertical ? Qe_Pt(pen.x(), pen.y() - height, pen.z()) : Qe_Pt(pen.x() + height * width_factor, pen.y(), pen.z());
        return;
    }
    for (Qe_Void_Node* n = strokes.head(); n; n = n->next()) {
        auto* stroke = static_cast<Qe_Pt_List*>(n->entity());
        stroke->translate(place);
        out.add_tail(stroke);
    }
    strokes.clear();
    const Qe_Pt moved = advance * place;
    pen = vertical ? Qe_Pt(pen.x(), pen.y() - 1.2 * height, pen.z()) : Qe_Pt(moved.x(), pen.y(), pen.z());
}
