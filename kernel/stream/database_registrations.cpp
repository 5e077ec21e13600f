// The database's record classes in the stream's object table.
#include "kernel/database/block.h"
#include "kernel/database/color.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_attributes.h"
#include "kernel/kernel_p.h"
#include "kernel/stream/object_factory.h"

MB_Object* mb_make_white_color()
{
    auto* c = new (std::nothrow) MB_Color;
    if (c) c->set(255, 255, 255, MB_Color::No_Mapping);
    return c;
}

void mb_register_database_records()
{
    MB_Object_Factory::register_maker(0x03, &mb_make_white_color);
    MB_Object_Factory::register_maker(0x18, &mb_make_object<MB_Layer_Name>);
    MB_Object_Factory::register_maker('x', &mb_make_object<MB_Layer_Name>);
    MB_Object_Factory::register_maker('y', &mb_make_object<MB_Layer>);
    MB_Object_Factory::register_maker('B', &mb_make_object<MB_Block_Begin>);
    MB_Object_Factory::register_maker('N', &mb_make_object<MB_Block_End>);
    MB_Object_Factory::register_maker('J', &mb_make_object<MB_Block_Name>);
    MB_Object_Factory::register_maker(MB_Display_Width::k_opcode, &mb_make_object<MB_Display_Width>);
    MB_Object_Factory::register_maker(MB_Line_Scale::k_opcode, &mb_make_object<MB_Line_Scale>);
    MB_Object_Factory::register_maker(MB_Width::k_opcode, &mb_make_object<MB_Width>);
    MB_Object_Factory::register_maker(MB_Thickness::k_opcode, &mb_make_object<MB_Thickness>);
}
