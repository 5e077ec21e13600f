#include "kernel/text/system_resource.h"
#include "kernel/text/text_style.h"

#include <strings.h>

#include <cstring>
#include <string>

#include "geometry/file_names.h"
#include "geometry/folders.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/system_setting.h"
#include "kernel/text/font_library.h"
#include "kernel/text/shp_library.h"
#include "kernel/text/shx_library.h"
#include "kernel/text/ttf_library.h"

constinit MB_System_Resource g_system_resource;

namespace {

// The TrueType file that names of no font kind stand for.
constexpr const char* k_substitute_ttf = "simhei.ttf";

// Copies a folder found by get into out when it fits; otherwise out is left empty.
bool fill(bool (*get)(char*), char* out)
{
    char buf[folder_buffer_size] = {};
    out[0] = '\0';
    if (!get(buf) || std::strlen(buf) >= std::size_t(MB_System_Resource::k_dir_size)) return false;
    std::strcpy(out, buf);
    return true;
}

}  // namespace

MB_System_Resource::~MB_System_Resource()
{
    free();
}

void MB_System_Resource::ensure_dirs()
{
    if (!m_dirs_known) (void)init_dir();
}

char* MB_System_Resource::system_dir()
{
    ensure_dirs();
    return m_system_dir;
}

char* MB_System_Resource::fonts_dir()
{
    ensure_dirs();
    return m_fonts_dir;
}

char* MB_System_Resource::support_dir()
{
    ensure_dirs();
    return m_support_dir;
}

MB_System_Setting& MB_System_Resource::system_setting()
{
    if (!m_setting) m_setting = std::make_unique<MB_System_Setting>();
    return *m_setting;
}

bool MB_System_Resource::init_dir()
{
    m_dirs_known = true;
    const bool ok = fill(&get_system_dir, m_system_dir) & fill(&get_support_dir, m_support_dir) &
                    fill(&get_fonts_dir, m_fonts_dir);
    if (!ok) m_system_dir[0] = m_support_dir[0] = m_fonts_dir[0] = '\0';
    return ok;
}

MB_Font_Library* MB_System_Resource::get_fontlib(const char* name) const
{
    if (!name) return nullptr;
    for (Qe_Void_Node* n = m_fontlib_list.head(); n; n = n->next()) {
        auto* lib = static_cast<MB_Font_Library*>(n->entity());
        if (!lib) continue;
        if (::strcasecmp(lib->file_name(), name) == 0) return lib;
        if (lib->name().ascii() && ::strcasecmp(lib->name().ascii(), name) == 0) return lib;
    }
    return nullptr;
}

MB_Font_Library* MB_System_Resource::load_font(const char* path)
{
    if (!path) return nullptr;
    if (std::strchr("*./?\\", path[0]) && path[0] != '\0') return nullptr;
    std::string file(path);
    (void)get_fname_by_pathstr(path, file.data());
    file.resize(std::strlen(file.c_str()));

    // Libraries belong to the registry, not to the drawing: building one (and its glyphs) is
    // never an undoable step, or undoing it would free what every style shares.
    MB_Recording_Pause pause;
    MB_Font_Library* lib = nullptr;
    if (is_file_ext(file.c_str(), "SHX")) {
        auto* shx = new MB_Shx_Library(file.c_str());
        if (!shx->char_list().head()) {
            delete shx;
            return nullptr;
        }
        lib = shx;
    } else if (is_file_ext(file.c_str(), "SHP")) {
        lib = new MB_Shp_Library(file.c_str());
    } else if (is_file_ext(file.c_str(), "TTF") || is_file_ext(file.c_str(), "TTC")) {
        lib = new MB_TTF_Library(file.c_str());
    } else {
        // Any other name (a face name such as "Arial" from a record) stands for the default
        // TrueType face. One library serves them all: a library per name read would grow the
        // list, each with a glyph cache of its own, with every text loaded.
        if (MB_Font_Library* substitute = get_fontlib(k_substitute_ttf)) return substitute;
        lib = new MB_TTF_Library(k_substitute_ttf);
    }
    m_fontlib_list.add_tail(lib);
    return lib;
}

void MB_System_Resource::free()
{
    // The shared default style points at these libraries: it is made again on next use.
    delete g_text_style;
    g_text_style = nullptr;
    for (Qe_Void_Node* n = m_fontlib_list.head(); n; n = n->next()) delete static_cast<MB_Font_Library*>(n->entity());
    m_fontlib_list.clear();
}
