#include "converter/road.h"

#include <dlfcn.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <exception>
#include <system_error>

#include "Drakmere.h"
#include "converter/library_file.h"
#include "converter/text_explosion.h"
#include "platform/message_box.h"
#include "plugins/plugin_abi.h"

unsigned char g_explode_text = 1;

namespace {
std::atomic<bool> g_leave_drawing{false};
// The operation the road left standing. Held here too: the operation list frees its nodes
// with the other statics at exit, and what is left must stay reachable to the end (leak
// checkers look at the process after the statics are gone).
MB_Operation* g_left_operation = nullptr;
}  // namespace

void set_road_leaves_drawing(bool on)
{
    g_leave_drawing.store(on);
}

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

// A path as a box shows it: read in the terminal's character set, written in the ANSI code
// page of the box's other texts.
std::string message_path(const char* path)
{
    if (!path || !*path) return std::string();
    std::string out(std::strlen(path) * 2 + 4, '\0');
    if (platform_terminal_to_ansi(path, out.data(), static_cast<int>(out.size())) == 0) return path;
    out.resize(std::strlen(out.c_str()));
    return out;
}

// The formats hold "%s" for the path and, after it, "%s" for the reason; paths may be longer
// than any fixed buffer.
void show_formatted(const char* format, const char* path, const std::string& reason = std::string())
{
    std::string text = format;
    std::size_t at = text.find("%s");
    if (at != std::string::npos) {
        const std::string shown = message_path(path);
        text.replace(at, 2, shown);
        at = text.find("%s", at + shown.size());
        if (at != std::string::npos) text.replace(at, 2, reason);
    }
    show(text.c_str());
}

// The kernel's last-error store is where a library says why it failed: cleared before each
// call, read after a failure (empty for nothing said).
void clear_reason()
{
    set_last_error_msg("");
}

std::string library_reason()
{
    char text[last_error_msg_capacity + 1] = {};
    return get_last_error_msg(text) ? std::string(text) : std::string();
}

// The failure of one library step: with its reason when the library gave one.
void show_failure(const char* format, const char* because, const char* path)
{
    const std::string reason = library_reason();
    if (reason.empty())
        show_formatted(format, path);
    else
        show_formatted(because, path, reason);
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
        std::string whole_why;
        if (!library_file_is_whole(path.c_str(), whole_why)) {
            message_out("Load ", path.c_str(), (": " + whole_why).c_str(), true);
            show(("Load " + m_file_name + " error!").c_str());
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

// A drawing of a million entities is a few hundred megabytes of small blocks from malloc's
// main heap, which grows by brk; the kernel clears each new page at its first touch, and
// that took a fifth of the import. While the road runs, malloc grows the heap in steps of
// k_pad and a thread of its own has the kernel make the new pages ready ahead of the
// allocations (MADV_POPULATE_WRITE changes no byte of them). A kernel without that advice
// leaves everything as it was, only slower.
class Heap_Warmer {
public:
    Heap_Warmer()
    {
        if (::mallopt(M_TOP_PAD, k_pad) == 0) return;
        // Setting the pad also stops malloc's own adjustment of the size from which blocks are
        // mapped one by one and of the free space at the heap's end that it gives back: both
        // are set where that adjustment would end, or every block freed at the end would
        // give pages back that are taken and cleared again soon after.
        (void)::mallopt(M_MMAP_THRESHOLD, k_mmap_threshold);
        (void)::mallopt(M_TRIM_THRESHOLD, 2 * k_mmap_threshold);
        m_thread = std::thread([this] { run(); });
    }
    Heap_Warmer(const Heap_Warmer&) = delete;
    Heap_Warmer& operator=(const Heap_Warmer&) = delete;
    ~Heap_Warmer()
    {
        if (!m_thread.joinable()) return;
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
        (void)::mallopt(M_TOP_PAD, k_default_pad);
    }

private:
    static constexpr int k_pad = 16 << 20;
    static constexpr int k_default_pad = 128 << 10;
    static constexpr int k_mmap_threshold = 32 << 20;
    // Pages are made ready a huge page at a time.
    static constexpr std::uintptr_t k_step = std::uintptr_t(2) << 20;

    // The heap's end as the kernel has it (brk with 0 moves nothing).
    static std::uintptr_t heap_end() { return static_cast<std::uintptr_t>(::syscall(SYS_brk, 0)); }

    bool stopping()
    {
        std::lock_guard lock(m_mutex);
        return m_stop;
    }

    void run()
    {
        std::uintptr_t ready = (heap_end() + k_step - 1) & ~(k_step - 1);
        while (!stopping()) {
            const std::uintptr_t end = heap_end() & ~(k_step - 1);
            ready = std::min(ready, end);  // the heap may have been trimmed
            for (; ready < end && !stopping(); ready += k_step)
                if (::madvise(reinterpret_cast<void*>(ready), k_step, MADV_POPULATE_WRITE) != 0) {
                    // A kernel without the advice: nothing to do. Otherwise the heap moved
                    // under the thread: it goes on from its new end.
                    if (errno == EINVAL || errno == ENOSYS || errno == EPERM) return;
                    break;
                }
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, std::chrono::milliseconds(1), [this] { return m_stop; });
        }
    }

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

// Kinds whose build_extent reads only the entity itself and the active settings, and writes
// only the entity's rectangle, outline and draw node: these are laid out on several threads.
// Texts (fonts are loaded and cached on first use), hatches and references stay on the
// calling thread.
bool extent_is_own(const MB_Object& o)
{
    switch (o.object_id()) {
    case MB_Object::ID_LINE:
    case MB_Object::ID_LINES:
    case MB_Object::ID_CIRCLE:
    case MB_Object::ID_ARC:
    case MB_Object::ID_POLYLINE: return true;
    default: return false;
    }
}

// Lays out the entities of `own` from several threads (the caller's among them, after
// `rest`): each entity by one thread.
template <typename Rest>
void lay_out_in_parallel(const std::vector<MB_Drawable*>& own, Rest&& rest)
{
    constexpr std::size_t k_chunk = 4096;
    const unsigned helpers = std::min(3u, std::max(1u, std::thread::hardware_concurrency()) - 1);
    std::atomic<std::size_t> next{0};
    std::mutex failed_mutex;
    std::exception_ptr failed;
    auto work = [&] {
        try {
            for (std::size_t at; (at = next.fetch_add(k_chunk)) < own.size();)
                for (std::size_t i = at, end = std::min(own.size(), at + k_chunk); i < end; ++i)
                    own[i]->build_extent();
        } catch (...) {
            std::lock_guard lock(failed_mutex);
            if (!failed) failed = std::current_exception();
            next.store(own.size());
        }
    };
    std::vector<std::thread> threads;
    if (own.size() > k_chunk) {
        try {
            for (unsigned t = 0; t < helpers; ++t) threads.emplace_back(work);
        } catch (const std::system_error&) {
            // No more threads to be had: the ones started and this one do the work.
        }
    }
    try {
        rest();
    } catch (...) {
        next.store(own.size());
        for (std::thread& t : threads) t.join();
        throw;
    }
    work();
    for (std::thread& t : threads) t.join();
    if (failed) std::rethrow_exception(failed);
}

// What the export needs laid out, and no more: the export writes most kinds from their own
// data and only the header's extents from their rectangles, so every entity is laid out as
// far as its rectangle (build_extent), with the flag build_draw gives an entity on a hidden
// layer. Texts to be exploded are left alone: the explosion lays each out in turn and lets
// its glyphs go once they are outlines.
void lay_out_for_export(MB_Drawing& drawing, bool explode_text)
{
    for (MB_Object* o = drawing.block_list().get_head(); o; o = o->next()) static_cast<MB_Block*>(o)->build_extent();
    std::vector<MB_Drawable*> own, rest;
    for (MB_Object* o = drawing.object_list().get_head(); o; o = o->next()) {
        if (!o->is_drawable()) continue;
        auto* d = static_cast<MB_Drawable*>(o);
        MB_Layer* layer = d->general().layer();
        if (layer && !layer->visibility()) d->flag(MB_Drawable::State_Hidden);
        if (explode_text && o->object_id() == MB_Object::ID_TEXT) continue;
        (extent_is_own(*o) ? own : rest).push_back(d);
    }
    lay_out_in_parallel(own, [&] {
        for (MB_Drawable* d : rest) d->build_extent();
    });
}

}  // namespace

bool run_import_plugin(const char* source)
{
    Bound_Library library(k_import_library_name);
    const std::string run_error = std::string(k_import_library_name) + " run error!";
    auto entry = reinterpret_cast<import_dwf2006_fn>(library.bind(k_import_entry_name, run_error.c_str()));
    if (!entry) return false;
    int result = 0;
    clear_reason();
    try {
        result = entry(source, 0);
    } catch (...) {
        message_out(k_import_library_name, ": an exception left ", k_import_entry_name, true);
        result = 0;
    }
    if (result != 1) {
        show_failure(k_msg_import_failed, k_msg_import_failed_because, source);
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
    clear_reason();
    try {
        result = entry(target, mode, version);
    } catch (...) {
        message_out(k_export_library_name, ": an exception left ", k_export_entry_name, true);
        result = 0;
    }
    if (result != 1) {
        show_failure(k_msg_export_failed, k_msg_export_failed_because, target);
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
        const std::string shown = message_path(source);
        show(shown.empty() ? k_msg_file_not_found : (std::string(k_msg_file_not_found) + ": " + shown).c_str());
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
    // A device, FIFO, socket or folder is never replaced by a converted file: refused here,
    // before the import, as the export library would refuse it after.
    struct stat target_stat{};
    if (::stat(target, &target_stat) == 0 && !S_ISREG(target_stat.st_mode)) {
        show_formatted(k_msg_export_failed_because, target, k_reason_not_regular);
        return false;
    }

    Heap_Warmer warmer;
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
        if (MB_Drawing* drawing = operation->drawing()) lay_out_for_export(*drawing, explode_text);
        operation->zoom_all();
        // What the texts become is made as the export reaches it, after the entity list, and
        // let go once written: never all of it at once.
        Exploded_Texts exploded;
        if (explode_text) (void)explode_texts(operation.get(), exploded);
        MB_Drawing* drawing = operation->drawing();
        if (drawing) drawing->trailing_entities(&exploded);
        ok = run_export_plugin(target, 0, 23);
        if (drawing) drawing->trailing_entities(nullptr);
    }
    if (g_leave_drawing.load())
        g_left_operation = operation.release();  // still listed in g_operation_list
    else
        operation.reset();
    return ok;
}
