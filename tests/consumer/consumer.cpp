// Uses the installed interface the way an outside library would.
#include <Drakmere.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <unistd.h>

namespace {

// Kinds of the drawable members of a list, counted by object id.
std::map<int, int> kinds(const MB_Object_List& list)
{
    std::map<int, int> out;
    for (MB_Object* o = list.get_head(); o; o = o->next()) ++out[o->object_id()];
    return out;
}

// A drawing made through the flat functions only, inside and outside a block, saved, and
// loaded by a fresh operation: the same objects, block members, layers and colours.
bool flat_drawing_round_trip()
{
    const std::string path = "/tmp/consumer-flat-" + std::to_string(::getpid()) + ".vkt";
    std::map<int, int> made, made_in_block;
    {
        MB_Operation op;
        if (!op.create_drawing("flat")) return false;
        MB_Layer* layer = nullptr;
        if (!api_mb_create_layer(layer, "walls", 0x0000FF, 0, true, false, false)) return false;
        const double origin[3] = {0, 0, 0}, p1[3] = {1, 0, 0}, p2[3] = {1, 1, 0}, p3[3] = {0, 1, 0};
        MB_Block* block = nullptr;
        if (!api_mb_create_block(block, "mark", origin)) return false;
        MB_Line* in_block = nullptr;
        (void)api_mb_create_line(in_block, Qe_Pt(-1, 0, 0), Qe_Pt(1, 0, 0));
        (void)api_mb_create_circle(0, 0, 1);
        if (!api_mb_end_block(block)) return false;

        MB_Point* point = nullptr;
        MB_Line* line = nullptr;
        MB_Solid* solid = nullptr;
        (void)api_mb_create_point(point, origin);
        (void)api_mb_create_point(Qe_Pt(2, 2, 0), 3, 2.0);
        (void)api_mb_create_line(line, Qe_Pt(0, 0, 0), Qe_Pt(10, 0, 0));
        double xs[3] = {0, 5, 5}, ys[3] = {0, 0, 5};
        (void)api_mb_create_lines(xs, ys, 3);
        (void)api_mb_create_rect(0, 0, 20, 10);
        (void)api_mb_create_arc(origin, 3, 0, 1);
        (void)api_mb_create_circle(5, 5, 2);
        Qe_Pt c(10, 10, 0);
        (void)api_mb_create_ellipse(c, 4, 2, 0.2);
        (void)api_mb_create_ellipse_arc(c, 4, 2, 0.2, 0.5, 2.5);
        Qe_Pt pl[3] = {{0, 0, 0}, {5, 0, 0}, {5, 5, 0}};
        double w[3] = {0.5, 0.5, 0.5}, bulges[3] = {0.3, 0, 0};
        (void)api_mb_create_polyline(3, pl, w, w, bulges, 1);
        (void)api_mb_create_solid(solid, origin, p1, p2, p3, 4);
        (void)api_mb_create_solid(xs, ys, 3);
        Qe_Pt f1(0, 0, 0), f2(1, 0, 0), f3(1, 1, 0), f4(0, 1, 0);
        (void)api_mb_create_face(0, f1, f2, f3, f4);
        MB_Drawable* coloured = line;
        (void)api_set_drawable_prop(coloured, 0x00FF00, 0, static_cast<long>(layer->id()));
        op.drawing()->build_draw();
        made = kinds(op.drawing()->object_list());
        made_in_block = kinds(block->object_list());
        if (!op.save_jxb(path.c_str())) return false;
    }
    MB_Operation fresh;
    const bool loaded = fresh.load_jxb(path.c_str());
    std::remove(path.c_str());
    if (!loaded) return false;
    MB_Drawing& d = *fresh.drawing();
    MB_Block* block = d.find_block("mark");
    MB_Layer* layer = d.find_layer("walls");
    bool line_kept = false;
    for (MB_Object* o = d.object_list().get_head(); o; o = o->next())
        if (o->object_id() == MB_Object::ID_LINE) {
            auto* line = static_cast<MB_Drawable*>(o);
            line_kept = line->general().color() == 0x00FF00 && line->general().layer() == layer;
        }
    const bool ok = kinds(d.object_list()) == made && block && kinds(block->object_list()) == made_in_block &&
                    layer && layer->color() == 0x0000FF && line_kept && made.size() >= 10;
    if (!ok) std::puts("consumer: the flat drawing did not come back as it was made");
    return ok;
}

}  // namespace

int main()
{
    const Qe_Tran t = rotate_transf(HALF_PI, Qe_Vec(0, 0, 1)) * translate_transf(Qe_Vec(1, 2, 0));
    const Qe_Pt p = Qe_Pt(1, 0, 0) * t;
    Qe_Void_List list;
    int a = 1, b = 2;
    list.add(&a);
    list.add(&b);
    list.reverse();
    const bool ok = same_point(p, Qe_Pt(1, 3, 0), 1e-12) && list.first() == &b && list.count() == 2 &&
                    std::fabs(resabs - 1e-6) < 1e-18;
    // The installed kernel finds its default fonts in fonts/ beside itself.
    bool fonts = true;
    for (const char* name : {"txt.shx", "gdt.shx", "hztxt.shx"}) {
        if (!g_system_resource.load_font(name)) {
            std::printf("consumer: the installed kernel has no %s in %s\n", name, g_system_resource.fonts_dir());
            fonts = false;
        }
    }
    const bool flat = flat_drawing_round_trip();
    std::puts(ok && fonts && flat ? "consumer: ok" : "consumer: FAILED");
    return ok && fonts && flat ? 0 : 1;
}
