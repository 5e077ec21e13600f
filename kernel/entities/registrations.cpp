// The entity records in the stream's object table.
#include "kernel/entities/insert.h"
#include "kernel/entities/line.h"
#include "kernel/kernel_p.h"
#include "kernel/stream/object_factory.h"

void mb_register_entity_records()
{
    MB_Object_Factory::register_maker('I', &mb_make_object<MB_Insert>);
    MB_Object_Factory::register_maker('L', &mb_make_object<MB_Line>);
    MB_Object_Factory::register_maker(0x0B, &mb_make_object<MB_Line>);
    MB_Object_Factory::register_maker('l', &mb_make_object<MB_Lines>);
}
