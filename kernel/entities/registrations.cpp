// The entity records in the stream's object table.
#include "kernel/entities/bspline.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/dim_style.h"
#include "kernel/entities/dimension.h"
#include "kernel/entities/ellipse.h"
#include "kernel/entities/hatch.h"
#include "kernel/entities/image.h"
#include "kernel/entities/insert.h"
#include "kernel/entity_base/line.h"
#include "kernel/entities/mesh.h"
#include "kernel/entities/point_entity.h"
#include "kernel/entities/polyline.h"
#include "kernel/entities/solid.h"
#include "kernel/kernel_p.h"
#include "kernel/stream/object_factory.h"

void mb_register_entity_records()
{
    MB_Object_Factory::register_maker('@', &mb_make_object<MB_Hatch>);
    MB_Object_Factory::register_maker('G', &mb_make_object<MB_Image>);
    MB_Object_Factory::register_maker('I', &mb_make_object<MB_Insert>);
    MB_Object_Factory::register_maker('L', &mb_make_object<MB_Line>);
    MB_Object_Factory::register_maker(0x0B, &mb_make_object<MB_Line>);
    MB_Object_Factory::register_maker('l', &mb_make_object<MB_Lines>);
    MB_Object_Factory::register_maker(0x12, &mb_make_object<MB_Circle>);
    MB_Object_Factory::register_maker('e', &mb_make_object<MB_Circle>);
    MB_Object_Factory::register_maker(0x01, &mb_make_object<MB_Arc>);
    MB_Object_Factory::register_maker('a', &mb_make_object<MB_Arc>);
    MB_Object_Factory::register_maker('E', &mb_make_object<MB_Ellipse>);
    MB_Object_Factory::register_maker('O', &mb_make_object<MB_Ellipse_Arc>);
    MB_Object_Factory::register_maker('W', &mb_make_object<MB_Bspline>);
    MB_Object_Factory::register_maker(0x19, &mb_make_object<MB_Point>);
    MB_Object_Factory::register_maker('P', &mb_make_object<MB_Polyline>);
    MB_Object_Factory::register_maker(0x10, &mb_make_object<MB_Polyline>);
    MB_Object_Factory::register_maker('D', &mb_make_object<MB_Solid>);
    MB_Object_Factory::register_maker('z', &mb_make_object<MB_Face>);
    MB_Object_Factory::register_maker('U', &mb_make_object<MB_Polygon_Mesh>);
    MB_Object_Factory::register_maker('Z', &mb_make_object<MB_Polyface_Mesh>);
    MB_Object_Factory::register_maker('Q', &mb_make_object<MB_Dim_Style>);
    MB_Object_Factory::register_maker('X', &mb_make_object<MB_Dimension>);
}
