// Writes a few small drawings (layers, a block with members, entities) and one of every
// stored entity kind into the folder given as the only argument, each saved plain and
// compressed: the load target's seeds.
#include <string>
#include <vector>

#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/object_factory.h"
#include "tests/kernel/entities/all_kinds.h"
#include "tests/kernel/test_objects.h"

namespace {

Read_Geom* geom(MB_Layer* layer, long color, std::vector<Qe_Pt> pts)
{
    auto* g = new Read_Geom;
    g->general().layer(layer);
    g->general().color(color);
    g->edge().init(static_cast<int>(pts.size()), pts.data());
    return g;
}

void fill(MB_Drawing& d, int variant)
{
    auto* walls = new MB_Layer(MB_String("Walls"));
    walls->color(0x00FF00);
    d.layer_list().add_tail(walls);
    if (variant == 0) return;
    auto* frozen = new MB_Layer(MB_String("Frozen"));
    frozen->freeze(true);
    d.layer_list().add_tail(frozen);
    auto* door = new MB_Block(Qe_Pt(1, 2, 0), MB_String("door"), MB_String("Front door"));
    door->object_list().add_tail(geom(walls, 1, {Qe_Pt(0, 0, 0), Qe_Pt(1, 0, 0)}));
    door->object_list().add_tail(geom(frozen, 2, {Qe_Pt(1, 1, 0), Qe_Pt(2, 3, 0)}));
    d.block_list().add_tail(door);
    Read_Geom* thick = geom(frozen, 3, {Qe_Pt(5, 5, 1), Qe_Pt(6, 7, 1), Qe_Pt(8, 8, 1)});
    thick->general().thickness(2.5);
    thick->general().width(0.25);
    d.object_list().add_tail(thick);
    d.object_list().add_tail(geom(nullptr, 3, {Qe_Pt(9, 9, 0), Qe_Pt(10, 9, 0)}));
    if (variant == 1) return;
    // Repeats, so that the compressor finds matches in its history.
    for (int i = 0; i < 40; ++i)
        d.object_list().add_tail(geom(walls, i % 5, {Qe_Pt(i, 0, 0), Qe_Pt(i, 1, 0), Qe_Pt(i + 1, 1, 0)}));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    MB_Object_Factory::register_maker('L', &mb_make_object<Read_Geom>);
    int failures = 0;
    for (int variant = 0; variant < 3; ++variant)
        for (bool compressed : {false, true}) {
            MB_Drawing d;
            fill(d, variant);
            MB_File_IO io;
            io.drawing(&d);
            io.heuristics().set_allow_binary_data(compressed);
            const std::string path = std::string(argv[1]) + "/seed" + std::to_string(variant) +
                                     (compressed ? "_compressed" : "_plain") + ".vkt";
            if (!io.save_jxb(path.c_str())) ++failures;
        }
    for (bool compressed : {false, true}) {
        MB_Drawing d;
        all_kinds::fill(d);
        MB_File_IO io;
        io.drawing(&d);
        io.heuristics().set_allow_binary_data(compressed);
        const std::string path = std::string(argv[1]) + "/all_kinds" + (compressed ? "_compressed" : "_plain") + ".vkt";
        if (!io.save_jxb(path.c_str())) ++failures;
    }
    return failures ? 1 : 0;
}
