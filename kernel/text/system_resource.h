#pragma once

// The process-wide registry of the kernel's folders and of every font library loaded so
// far. Text styles ask it for a font by file name and have it load the file on first use;
// after that every drawing and style shares the one library. The registry owns the
// libraries. Its one instance, g_system_resource, is constant-initialised: the folders are
// found on first use (and again whenever init_dir is called), and the default settings are
// made when first asked for.

#include <memory>

#include "geometry/void_list.h"
#include "kernel/drakmere_api.h"

class MB_Font_Library;
class MB_System_Setting;

class DRAKMERE_API MB_System_Resource {
public:
    static constexpr int k_dir_size = 256;

    constexpr MB_System_Resource() = default;
    // The registry owns its libraries: copies would free them twice.
    MB_System_Resource(const MB_System_Resource&) = delete;
    MB_System_Resource& operator=(const MB_System_Resource&) = delete;
    // Deletes every library, then the settings.
    virtual ~MB_System_Resource();

    // The kernel's folder and its fonts and support folders, each ending in a separator;
    // empty when the kernel's folder is unknown or too long.
    char* system_dir();
    char* fonts_dir();
    char* support_dir();
    // MB_Font_Library* items in loading order.
    Qe_Void_List& fontlib_list() { return m_fontlib_list; }
    // The default settings.
    MB_System_Setting& system_setting();

    // Finds the folders again. False, with the folders empty, when the kernel's folder is
    // unknown or its folders do not fit.
    bool init_dir();
    // The first library whose file name or face name equals name, ignoring case; null when
    // none does.
    MB_Font_Library* get_fontlib(const char* name) const;
    // Loads the font file named by the last component of path from the fonts folder (SHX,
    // SHP) or as a TrueType font (TTF, TTC), and appends it. Any other name stands for the
    // TrueType file simhei.ttf: its library is made once and shared. Null, with the list
    // unchanged, for a path beginning with '*', '.', '/', '?' or '\', and for an SHX file
    // that holds no shapes. TrueType and SHP libraries are kept whether or not their files
    // could be read: their glyphs fail later.
    MB_Font_Library* load_font(const char* path);
    // Deletes every library; pointers held by styles dangle afterwards.
    void free();

private:
    void ensure_dirs();

    char m_system_dir[k_dir_size] = {};
    char m_fonts_dir[k_dir_size] = {};
    char m_support_dir[k_dir_size] = {};
    bool m_dirs_known = false;
    Qe_Void_List m_fontlib_list;
    std::unique_ptr<MB_System_Setting> m_setting;
};

DRAKMERE_API extern MB_System_Resource g_system_resource;
