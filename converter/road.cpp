#include "converter/road.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "Drakmere.h"
#include "converter/text_explosion.h"
#include "platform/message_box.h"
#include "plugins/plugin_abi.h"

unsigned char g_explode_text = 1;

unsigned char load_explode_text()
{
    return std::atomic_ref<unsigned char>(g_explode_text).load(std::memory_order_relaxed);
}

void store_explode_text(unsigned char on)
{
    std::atomic_ref<unsigned char>(g_explode_text).store(on ? 1 : 0, std::memory_order_relaxed);
}

namespace {

void show(const char* text)
{
    MessageBoxA(nullptr, text, k_road_caption, MB_OK);
}

void show_formatted(const char* format, const char* path)
{
    // The formats hold one "%s"; paths may be longer than any fixed buffer.
    std::string text = format;
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, path ? path : "");
    show(text.c_str());
}

bool is_regular_file(const char* path, struct stat* st = nullptr)
{
    struct stat s{};
    if (!path || ::stat(path, &s) != 0 || !S_ISREG(s.st_mode)) return false;
    if (st) *st = s;
    return true;
}

// A target that already exists and is the source itself (by device and inode, so links and
// other spellings of the path count too) would be overwritten by its own conversion.
bool same_file(const struct stat& source, const char* target)
{
    struct stat t{};
    return target && ::stat(target, &t) == 0 && t.st_dev == source.st_dev && t.st_ino == source.st_ino;
}

// One library of the kernel's folder, bound for one call. RTLD_NODELETE: the library may
// leave objects in the kernel whose destructors (virtual tables) are its code, run when the
// operation is destroyed after the library was released.
class Bound_Library {
public:
    explicit Bound_Library(const char* file_name) : m_file_name(file_name) {}
    Bound_Library(const Bound_Library&) = delete;
    Bound_Library& operator=(const Bound_Library&) = delete;
    ~Bound_Library()
    {
        if (m_handle) ::dlclose(m_handle);
    }

    // Finds and loads the library and looks up the entry point; on failure the message is
    // shown and null returned.
    void* bind(const char* entry, const char* run_error)
    {
        char folder[folder_buffer_size];
        std::string path;
        if (get_system_dir(folder)) path = std::string(folder) + m_file_name;
        if (path.empty() || !is_regular_file(path.c_str())) {
            show(("Not find " + m_file_name).c_str());
            return nullptr;
        }
        m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!m_handle) {
            const char* why = ::dlerror();
            message_out("Load ", path.c_str(), (std::string(": ") + (why ? why : "")).c_str(), true);
            show(("Load " + m_file_name + " error!").c_str());
            return nullptr;
        }
        ::dlerror();
        void* symbol = ::dlsym(m_handle, entry);
        if (!symbol) {
            const char* why = ::dlerror();
            message_out(m_file_name.c_str(), ": ", why ? why : entry, true);
            show(run_error);
            return nullptr;
        }
        return symbol;
    }

private:
    std::string m_file_name;
    void* m_handle = nullptr;
};

}  // namespace

bool run_import_plugin(const char* source)
{
    Bound_Library library(k_import_library_name);
    const std::string run_error = std::string(k_import_library_name) + " run error!";
    auto entry = reinterpret_cast<import_dwf2006_fn>(library.bind(k_import_entry_name, run_error.c_str()));
    if (!entry) return false;
    int result = 0;
    try {
        result = entry(source, 0);
    } catch (...) {
        message_out(k_import_library_name, ": an exception left ", k_import_entry_name, true);
        result = 0;
    }
    if (result != 1) {
        show_formatted(k_msg_import_failed, source);
        return false;
    }
    return true;
}

bool run_export_plugin(const char* target, int mode, int version)
{
    Bound_Library library(k_export_library_name);
    const std::string run_error = std::string(k_export_library_name) + " run error !!";
    auto entry = reinterpret_cast<export_acad_file_fn>(library.bind(k_export_entry_name, run_error.c_str()));
    if (!entry) return false;
    int result = 0;
    try {
        result = entry(target, mode, version);
    } catch (...) {
        message_out(k_export_library_name, ": an exception left ", k_export_entry_name, true);
        result = 0;
    }
    if (result != 1) {
        show_formatted(k_msg_export_failed, target);
        return false;
    }
    return true;
}

bool convert_drawing(const char* source, const char* target, int unused)
{
    return convert_drawing(source, target, unused, load_explode_text() != 0);
}

bool convert_drawing(const char* source, const char* target, int, bool explode_text)
{
    // Only an existing regular file is a source: no folders, no wildcard patterns.
    struct stat source_stat{};
    if (!is_regular_file(source, &source_stat)) {
        show(k_msg_file_not_found);
        return false;
    }
    if (!target || !*target) {
        show_formatted(k_msg_export_failed, "");
        return false;
    }
    if (same_file(source_stat, target)) {
        show(k_msg_same_file);
        return false;
    }

    auto operation = std::make_unique<MB_Operation>();
    if (!operation->create_drawing("newfile.vkt")) {
        show_formatted(k_msg_import_failed, source);
        return false;
    }
    // A failed import would export an empty or partial drawing over the target: stop here.
    bool ok = run_import_plugin(source);
    if (ok) {
        if (MB_Drawing* drawing = operation->drawing(); drawing && drawing->temp_block()) {
            // A block the import left open would never reach the block list, and its
            // content would be lost: it is closed here.
            message_out("Import left a block open; it is closed: ", source, "", true);
            drawing->finish_temp_block();
        }
        if (operation->drawing()) operation->drawing()->build_draw();
        operation->zoom_all();
        if (explode_text) (void)explode_texts(operation.get());
        ok = run_export_plugin(target, 0, 23);
    }
    operation.reset();
    return ok;
}
