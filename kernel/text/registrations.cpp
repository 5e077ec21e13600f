// The text records in the stream's object table.
#include "kernel/kernel_p.h"
#include "kernel/stream/object_factory.h"
#include "kernel/text/text_style.h"

void mb_register_text_records()
{
    MB_Object_Factory::register_maker('u', &mb_make_object<MB_Text_Style>);
    MB_Object_Factory::register_maker('w', &mb_make_object<MB_Text_Style_Name>);
}
