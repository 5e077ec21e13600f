// The stream's own record classes in its object table.
#include "kernel/kernel_p.h"
#include "kernel/stream/byte_marker.h"
#include "kernel/stream/font_records.h"
#include "kernel/stream/object_factory.h"
#include "kernel/stream/rendition_records.h"

void mb_register_stream_records()
{
    MB_Object_Factory::register_maker(0x04, &mb_make_object<MB_Byte_Marker>);
    MB_Object_Factory::register_maker(MB_Font_Name::k_opcode, &mb_make_object<MB_Font_Name>);
    MB_Object_Factory::register_maker(MB_Big_Font_Name::k_opcode, &mb_make_object<MB_Big_Font_Name>);
    MB_Object_Factory::register_maker(MB_Text_Height::k_opcode, &mb_make_object<MB_Text_Height>);
    MB_Object_Factory::register_maker(MB_Text_Width_Scale::k_opcode, &mb_make_object<MB_Text_Width_Scale>);
    MB_Object_Factory::register_maker(MB_Oblique_Angle::k_opcode, &mb_make_object<MB_Oblique_Angle>);
    MB_Object_Factory::register_maker(MB_Font_Value::k_opcode, &mb_make_object<MB_Font_Value>);
    MB_Object_Factory::register_maker(MB_Font_Flag::k_opcode, &mb_make_object<MB_Font_Flag>);
    MB_Object_Factory::register_maker(MB_Text_Angle::k_opcode, &mb_make_object<MB_Text_Angle>);
    MB_Object_Factory::register_maker(MB_Text_Flag::k_opcode, &mb_make_object<MB_Text_Flag>);
    MB_Object_Factory::register_maker('S', &mb_make_object<MB_Rendition_Code>);
    MB_Object_Factory::register_maker('s', &mb_make_object<MB_Rendition_Code>);
}
