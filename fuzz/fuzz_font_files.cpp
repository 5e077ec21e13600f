// SHX and SHP font files: the first byte picks the kind (even: compiled SHX, odd: SHP text);
// the rest is the file, written into a fonts folder of the harness's own and loaded as the
// registry loads fonts; every shape or glyph it read is then drawn.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/scratch_dir.h"
#include "geometry/pt_list.h"
#include "geometry/void_list.h"
#include "kernel/text/shp_library.h"
#include "kernel/text/shx_library.h"
#include "kernel/text/system_resource.h"

namespace {
std::string g_fonts;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string folder = fuzz_scratch_dir() + "/fuzz_fonts_XXXXXX";
    char* templ = folder.data();
    if (!::mkdtemp(templ)) return 0;
    ::setenv("PLATFORM_KERNEL_DIR", templ, 1);
    g_fonts = std::string(templ) + "/fonts/";
    ::mkdir(g_fonts.c_str(), 0755);
    (void)g_system_resource.init_dir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || g_fonts.empty()) return 0;
    const bool shp = data[0] & 1;
    const std::string name = shp ? "f.shp" : "f.shx";
    std::FILE* f = std::fopen((g_fonts + name).c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    if (shp) {
        MB_Shp_Library lib(name.c_str());
        // Text set in the font draws every glyph it read.
        for (MB_Font_Char* c = lib.first_char(); c; c = static_cast<MB_Font_Char*>(c->next())) {
            Qe_Void_List out;
            Qe_Pt pen;
            (void)lib.char_2_ptlist(c->index(), out, pen, 10.0, 1.0, c->index() & 1);
            for (Qe_Void_Node* n = out.head(); n; n = n->next()) delete static_cast<Qe_Pt_List*>(n->entity());
            out.clear();
        }
        return 0;
    }
    MB_Shx_Library lib(name.c_str());
    for (Qe_Shx_Char* c = lib.char_list().head(); c; c = c->next()) {
        Qe_Void_List out;
        Qe_Pt pen;
        (void)lib.char_2_ptlist(c->index(), out, pen, 10.0, 1.0, false);
        for (Qe_Void_Node* n = out.head(); n; n = n->next()) delete static_cast<Qe_Pt_List*>(n->entity());
        out.clear();
    }
    return 0;
}
