// Builds the sample drawing that the converter's first run converts, with the kernel's own
// classes, and saves it as a native .vkt file: coloured layers, a block with two references,
// lines, a closed polyline, circles, arcs, ellipses, points, a wide bulged polyline, a solid,
// hatches and texts in Latin and Chinese, in SHX and TrueType fonts. It holds only what the
// stream keeps, so the converted file shows what was drawn: no line types (the stream has no
// record for them) and no chain marked closed (the stream does not store that flag).
// Usage: make_sample OUT.vkt

#include <cmath>
#include <cstdio>
#include <numbers>

#include "Drakmere.h"

namespace {

constexpr long rgb(int r, int g, int b)
{
    return r | (g << 8) | (b << 16);
}

MB_Layer* add_layer(MB_Drawing& drawing, const char* name, long colour, bool on)
{
    auto* layer = new MB_Layer(MB_String(name));
    layer->visibility(on);
    layer->color(static_cast<mb_ulong>(colour));
    drawing.layer_list().add_tail(layer);
    return layer;
}

template <typename Entity>
Entity* place(MB_Object_List& list, Entity* e, MB_Layer* layer, long colour)
{
    e->general().layer(layer);
    e->general().color(colour);
    list.add_tail(e);
    return e;
}

void add_content(MB_Drawing& drawing)
{
    MB_Layer* frame = add_layer(drawing, "frame", rgb(255, 255, 255), true);
    MB_Layer* walls = add_layer(drawing, "walls", rgb(255, 0, 0), true);
    MB_Layer* details = add_layer(drawing, "details", rgb(0, 255, 0), true);
    add_layer(drawing, "notes-off", rgb(0, 0, 255), false);

    MB_Object_List& model = drawing.object_list();
    // A frame of four lines around the sheet, and a centre line.
    const Qe_Pt corners[] = {{0, 0, 0}, {200, 0, 0}, {200, 120, 0}, {0, 120, 0}};
    for (int i = 0; i < 4; ++i) place(model, new MB_Line(corners[i], corners[(i + 1) % 4]), frame, rgb(255, 255, 255));
    place(model, new MB_Line(Qe_Pt(100, 5, 0), Qe_Pt(100, 115, 0)), details, rgb(0, 255, 0));

    // The walls of the room as a closed polyline.
    auto* room = new MB_Pline_Pos[4];
    room[0].point = Qe_Pt(20, 20, 0);
    room[1].point = Qe_Pt(90, 20, 0);
    room[2].point = Qe_Pt(90, 100, 0);
    room[3].point = Qe_Pt(20, 100, 0);
    place(model, new MB_Polyline(true, 4, room), walls, rgb(255, 0, 0));

    // A round table with an arc of a door swing, an elliptic rug and a half-ellipse bay.
    place(model, new MB_Circle(Qe_Pt(55, 60, 0), 12), details, rgb(0, 255, 255));
    place(model, new MB_Arc(Qe_Pt(90, 40, 0), 15, std::numbers::pi / 2, std::numbers::pi), walls, rgb(255, 0, 0));
    place(model, new MB_Ellipse(Qe_Pt(55, 60, 0), 25, 15, 0.2), details, rgb(255, 0, 255));
    place(model, new MB_Ellipse_Arc(Qe_Pt(55, 100, 0), 20, 8, 0, 0, std::numbers::pi), walls, rgb(255, 0, 0));
    // Survey points along the bottom.
    for (int i = 0; i < 5; ++i) place(model, new MB_Point(Qe_Pt(120 + 15 * i, 15, 0)), details, rgb(255, 255, 0));

    // A wide path with a bulged end, and a filled solid marking the entrance.
    auto* path = new MB_Pline_Pos[4];
    path[0].point = Qe_Pt(110, 95, 0);
    path[0].start_width = 1;
    path[0].end_width = 3;
    path[1].point = Qe_Pt(150, 95, 0);
    path[1].bulge = 1;  // a half circle
    path[1].start_width = path[1].end_width = 3;
    path[2].point = Qe_Pt(150, 75, 0);
    path[2].start_width = 3;
    path[2].end_width = 0.5;
    path[3].point = Qe_Pt(115, 75, 0);
    place(model, new MB_Polyline(false, 4, path), walls, rgb(255, 128, 0));
    place(model, new MB_Solid(Qe_Pt(35, 15, 0), Qe_Pt(75, 15, 0), Qe_Pt(75, 20, 0), Qe_Pt(35, 20, 0)), walls,
          rgb(0, 0, 255));

    // A floor hatched with 45-degree lines (a pattern most readers know by name) and a solid
    // pillar with a hole.
    auto* floor = new MB_Hatch;
    const Qe_Pt floor_ring[] = {{160, 20, 0}, {195, 20, 0}, {195, 50, 0}, {160, 50, 0}};
    floor->loop_add(new Qe_Loop(floor_ring, 4));
    floor->get_hatchtype()->name(MB_String("ANSI31"));
    floor->get_hatchtype()->add_string(MB_String("45, 0, 0, 0, 3.175"));
    place(model, floor, details, rgb(128, 128, 128));
    auto* pillar = new MB_Hatch;
    const Qe_Pt pillar_ring[] = {{120, 35, 0}, {140, 35, 0}, {140, 55, 0}, {120, 55, 0}};
    const Qe_Pt pillar_hole[] = {{126, 41, 0}, {134, 41, 0}, {134, 49, 0}, {126, 49, 0}};
    pillar->loop_add(new Qe_Loop(pillar_ring, 4));
    pillar->loop_add(new Qe_Loop(pillar_hole, 4));
    pillar->get_hatchtype()->name(MB_String("_SOLID"));
    place(model, pillar, walls, rgb(255, 0, 0));

    // A title and a Chinese room label ("平面图", plan), in the kernel's own SHX fonts.
    auto* notes = new MB_Text_Style("notes", "txt.shx", "hztxt.shx", 6.0, 1.0, 0.0, 0.0, 0, 0);
    drawing.text_style_list().add_tail(notes);
    auto* title = new MB_Text(Qe_Pt(110, 105, 0), MB_String("Plotwane sample"));
    (void)title->init_text_style(drawing, "notes");
    place(model, title, frame, rgb(255, 255, 255));
    auto* label = new MB_Text(Qe_Pt(40, 80, 0), MB_String("\xC6\xBD\xC3\xE6\xCD\xBC"));
    (void)label->init_text_style(drawing, "notes");
    place(model, label, details, rgb(0, 255, 0));
    // A caption in a TrueType face, drawn as filled outlines.
    auto* caption_style = new MB_Text_Style("caption", "simsun.ttc", "hztxt.shx", 5.0, 1.0, 0.0, 0.0, 0, 0);
    drawing.text_style_list().add_tail(caption_style);
    auto* caption = new MB_Text(Qe_Pt(40, 20, 0), MB_String("Plan \xC6\xBD\xC3\xE6\xCD\xBC"));
    (void)caption->init_text_style(drawing, "caption");
    place(model, caption, frame, rgb(255, 255, 0));

    // A block of a small cross, referenced twice.
    auto* mark = new MB_Block(Qe_Pt(0, 0, 0), MB_String("mark"), MB_String("a cross"));
    place(mark->object_list(), new MB_Line(Qe_Pt(-3, 0, 0), Qe_Pt(3, 0, 0)), details, rgb(0, 255, 0));
    place(mark->object_list(), new MB_Line(Qe_Pt(0, -3, 0), Qe_Pt(0, 3, 0)), details, rgb(0, 255, 0));
    drawing.block_list().add_tail(mark);
    // One plain, one turned, enlarged and mirrored.
    auto* plain = new MB_Insert(Qe_Pt(170, 100, 0), 0, 1, 1, 1);
    plain->block(mark);
    place(model, plain, details, rgb(0, 255, 0));
    auto* turned = new MB_Insert(Qe_Pt(185, 100, 0), std::numbers::pi / 6, 1.5, -1.5, 1);
    turned->block(mark);
    place(model, turned, details, rgb(0, 255, 0));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_sample OUT.vkt\n", stderr);
        return 2;
    }
    MB_Operation operation;
    if (!operation.create_drawing("sample")) return 1;
    add_content(*operation.drawing());
    if (!operation.save_jxb(argv[1])) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
