// The drawing kernel. Its parts are built from the folders beside this file.
#include "kernel/drakmere_api.h"
#include "kernel/kernel_p.h"
#include "kernel/stream/object_factory.h"

namespace {
constinit bool g_initialized = false;
}  // namespace

void mb_kernel_initialize()
{
    if (g_initialized) return;
    g_initialized = true;
    mb_register_database_records();
    mb_register_stream_records();
    mb_register_text_records();
    mb_register_entity_records();
}
