#include "kernel/operation/image_output.h"

#include <algorithm>
#include <cmath>

#include "geometry/pt_set.h"
#include "geometry/rect.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"
#include "kernel/operation/curve_edge_p.h"
#include "platform/message_box.h"
#include "platform/ximage.h"

namespace {

// Smallest side of the rectangle a picture is made of.
constexpr double k_min_side = 0.001;

// A pixel coordinate: v truncated towards zero, held in [0, last] when hold is given. false
// for a value that is not finite or leaves the int range.
bool to_pixel(double v, const int* hold_last, int& out)
{
    if (!std::isfinite(v) || v <= -2147483649.0 || v >= 2147483648.0) return false;
    out = static_cast<int>(v);
    if (hold_last) out = std::clamp(out, 0, *hold_last);
    return true;
}

// hold: the last column and row, for points known to lie in the picture's frame [0, W] x
// [0, H], where truncation puts the right and bottom sides one pixel outside.
void draw_line(CxImage& image, const Qe_Pt& p1, const Qe_Pt& p2, long colour, const int* hold)
{
    int x1, x2, y1, y2;
    if (!to_pixel(p1.x(), hold, x1) || !to_pixel(p2.x(), hold, x2) ||
        !to_pixel(p1.y(), hold ? hold + 1 : nullptr, y1) || !to_pixel(p2.y(), hold ? hold + 1 : nullptr, y2))
        return;
    image.DrawLine(x1, x2, y1, y2, static_cast<COLORREF>(colour));
}

void draw_points(CxImage& image, const Qe_Pt_Set& points, const Qe_Tran& t, long colour, const int* hold)
{
    const Qe_Pt* p = points.points();
    const int n = points.count();
    if (!p || n < 2) return;
    Qe_Pt previous = p[0] * t;
    for (int i = 1; i < n; ++i) {
        const Qe_Pt next = p[i] * t;
        draw_line(image, previous, next, colour, hold);
        previous = next;
    }
}

void out_of_memory()
{
    // "内存不足" (out of memory) in the ANSI code page.
    MessageBoxA(nullptr, "\xC4\xDA\xB4\xE6\xB2\xBB\xD7\xE3", "Tavimor Error Message", MB_OK);
}

}  // namespace

bool api_out_put_image(char* path, long, long height, long, long, Qe_Void_List& entities)
{
    if (!path) return false;
    Qe_Rect rect;
    if (!api_mb_get_entity_list_rect(entities, rect)) return false;
    const double w = std::fabs(rect.width()), h = std::fabs(rect.heigh());
    if (!(w >= k_min_side && h >= k_min_side)) return false;
    const double H = static_cast<double>(height), W = H * w / h;
    if (!(W > 1 && H > 1)) return false;
    // Checked before anything is allocated: a width that is not finite has no picture, and
    // the image class could not hold one past its limit.
    if (!std::isfinite(W) || std::floor(W) * std::floor(H) * 3 > static_cast<double>(CXIMAGE_MAX_MEMORY)) {
        out_of_memory();
        return false;
    }
    const int columns = static_cast<int>(W), rows = static_cast<int>(H);
    CxImage image(CXIMAGE_FORMAT_UNKNOWN);
    if (!image.Create(static_cast<DWORD>(columns), static_cast<DWORD>(rows), 24, CXIMAGE_FORMAT_JPG) ||
        !image.GetDIB()) {
        out_of_memory();
        return false;
    }
    const double s = std::min(W / w, H / h);
    const Qe_Pt centre = rect.center();
    const Qe_Tran t = translate_transf(Qe_Pt(0, 0, 0) - centre) * scale_transf(s) * reflect_transf(Qe_Vec(0, 1, 0)) *
                      translate_transf(Qe_Vec(W / 2, H / 2, 0));
    const int hold[2] = {columns - 1, rows - 1};
    for (Qe_Void_Node* n = entities.head(); n; n = n->next()) {
        auto* object = static_cast<MB_Object*>(n->entity());
        if (const Qe_Pt_Set* edge = curve_edge(object))
            draw_points(image, *edge, t, static_cast<MB_Drawable*>(object)->general().color(), hold);
    }
    return image.Save(path, CXIMAGE_FORMAT_JPG);
}

bool api_out_put_image(char* path, long a, long height, long c, long d, MB_Drawing* drawing)
{
    if (!drawing) return false;
    Qe_Void_List entities;
    for (MB_Object* o = drawing->object_list().get_head(); o; o = o->next()) (void)entities.add(o);
    return api_out_put_image(path, a, height, c, d, entities);
}

void draw_line_to_image(CxImage* image, const Qe_Pt& p1, const Qe_Pt& p2, long colour, short)
{
    if (image) draw_line(*image, p1, p2, colour, nullptr);
}

void draw_ptset_to_image(CxImage* image, Qe_Pt_Set& points, const Qe_Tran& t, long colour, short)
{
    if (image) draw_points(*image, points, t, colour, nullptr);
}

void draw_ptsets_to_image(CxImage*, Qe_Pt_Sets&, const Qe_Tran&, long, short) {}
