// Builds the sample drawing that the converter's first run converts, with the kernel's own
// classes, and saves it as a native .vkt file: coloured layers, a block and lines, chains
// and the other entity kinds of the kernel.
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

    auto* dashed = new MB_Line_Type;
    if (dashed->init_dec("DASHED,Dashed __ __ __") && dashed->init_data("A,5,-2.5")) {
        drawing.line_type_list().add_tail(dashed);
    } else {
        delete dashed;
        dashed = nullptr;
    }

    MB_Object_List& model = drawing.object_list();
    // A frame of four lines around the sheet, and a dashed centre line.
    const Qe_Pt corners[] = {{0, 0, 0}, {200, 0, 0}, {200, 120, 0}, {0, 120, 0}};
    for (int i = 0; i < 4; ++i) place(model, new MB_Line(corners[i], corners[(i + 1) % 4]), frame, rgb(255, 255, 255));
    MB_Line* axis = place(model, new MB_Line(Qe_Pt(100, 5, 0), Qe_Pt(100, 115, 0)), details, rgb(0, 255, 0));
    axis->general().line_type(dashed);

    // The walls as a closed chain.
    auto* walls_chain = new MB_Lines;
    const Qe_Pt room[] = {{20, 20, 0}, {90, 20, 0}, {90, 100, 0}, {20, 100, 0}};
    walls_chain->init(4, room);
    walls_chain->closed(true);
    place(model, walls_chain, walls, rgb(255, 0, 0));

    // A block of a small cross, referenced twice.
    auto* mark = new MB_Block(Qe_Pt(0, 0, 0), MB_String("mark"), MB_String("a cross"));
    place(mark->object_list(), new MB_Line(Qe_Pt(-3, 0, 0), Qe_Pt(3, 0, 0)), details, rgb(0, 255, 0));
    place(mark->object_list(), new MB_Line(Qe_Pt(0, -3, 0), Qe_Pt(0, 3, 0)), details, rgb(0, 255, 0));
    drawing.block_list().add_tail(mark);
    for (double x : {140.0, 170.0}) {
        auto* insert = place(model, new MB_Insert(Qe_Pt(x, 60, 0), std::numbers::pi / 4, 1, 1, 1), details,
                             rgb(0, 255, 0));
        insert->block(mark);
    }
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
