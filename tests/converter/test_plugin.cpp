// Import and export libraries for the road's tests, built once per behaviour (the macro
// TEST_PLUGIN_KIND): probe records what the road gives it, fail returns 0, throw throws,
// no_entry has neither entry point, and interrupt exports as probe does and then sends its
// own process SIGINT (an interrupt that comes once the target is in place).

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "Drakmere.h"
#include "plugins/plugin_abi.h"

#define KIND_PROBE 1
#define KIND_FAIL 2
#define KIND_THROW 3
#define KIND_NO_ENTRY 4
#define KIND_INTERRUPT 5

#if TEST_PLUGIN_KIND == KIND_NO_ENTRY

extern "C" __attribute__((visibility("default"))) int some_other_function()
{
    return 1;
}

#else

namespace {

int behave()
{
#if TEST_PLUGIN_KIND == KIND_FAIL
    return 0;
#elif TEST_PLUGIN_KIND == KIND_THROW
    throw std::runtime_error("test plug-in throws");
#else
    return 1;
#endif
}

}  // namespace

int import_dwf2006(const char* source, int mode)
{
#if TEST_PLUGIN_KIND == KIND_PROBE || TEST_PLUGIN_KIND == KIND_INTERRUPT
    // Leaves a mark in the drawing that the export probe looks for: proof that both ran on
    // the same drawing of the one active operation.
    MB_Drawing* drawing = g_active_operation ? g_active_operation->drawing() : nullptr;
    if (!drawing || mode != 0 || !source) return 0;
    MB_Layer* layer = new MB_Layer(MB_String("probe-mark"));
    drawing->layer_list().add_tail(layer);
    advance_current_loading_object_index(7);
#else
    (void)source;
    (void)mode;
#endif
    return behave();
}

int export_acad_file(const char* target, int mode, int version)
{
#if TEST_PLUGIN_KIND == KIND_PROBE || TEST_PLUGIN_KIND == KIND_INTERRUPT
    MB_Drawing* drawing = g_active_operation ? g_active_operation->drawing() : nullptr;
    std::FILE* f = std::fopen(target, "w");
    if (!f) return 0;
    std::fprintf(f, "operations=%d active=%d drawing=%d mark=%d mode=%d version=%d\n", g_operation_list.count(),
                 g_active_operation != nullptr, drawing != nullptr,
                 drawing && drawing->find_layer("probe-mark") != nullptr, mode, version);
    for (MB_Object* o = drawing ? drawing->layer_list().get_head() : nullptr; o; o = o->next())
        std::fprintf(f, "layer %s\n", (static_cast<MB_Layer*>(o)->name().ascii() ? static_cast<MB_Layer*>(o)->name().ascii() : ""));
    std::fclose(f);
#if TEST_PLUGIN_KIND == KIND_INTERRUPT
    ::kill(::getpid(), SIGINT);
#endif
#else
    (void)target;
    (void)mode;
    (void)version;
#endif
    return behave();
}

#endif
