#include "platform/handle_table_p.h"

#include <mutex>
#include <vector>

#include "platform/handles.h"

namespace platform {
namespace {

struct Slot {
    std::unique_ptr<Object> obj;
    std::uint32_t generation = 1;
};

struct Table {
    std::mutex mutex;
    std::vector<Slot> slots;
    std::vector<std::uint32_t> free_slots;
    long live_gdi = 0;
};

// Built on first use, never destroyed: handles may be released from other libraries' static
// destructors after this library's own would have run.
Table& table()
{
    static Table* t = new Table;
    return *t;
}

bool decode(const void* h, std::uint32_t& index, std::uint32_t& generation)
{
    const auto v = reinterpret_cast<std::uintptr_t>(h);
    const auto low = static_cast<std::uint32_t>(v & 0xFFFFFFFFu);
    if (low == 0) return false;
    index = low - 1;
    generation = static_cast<std::uint32_t>(v >> 32);
    return true;
}

Slot* live_slot(Table& t, const void* h)
{
    std::uint32_t index = 0, generation = 0;
    if (!decode(h, index, generation) || index >= t.slots.size()) return nullptr;
    Slot& s = t.slots[index];
    if (!s.obj || s.generation != generation) return nullptr;
    return &s;
}

}  // namespace

bool is_gdi_kind(Kind k)
{
    return k == Kind::bitmap || k == Kind::dc || k == Kind::pen || k == Kind::brush || k == Kind::font ||
           k == Kind::metafile || k == Kind::region;
}

void* add_object(std::unique_ptr<Object> obj)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    std::uint32_t index;
    if (!t.free_slots.empty()) {
        index = t.free_slots.back();
        t.free_slots.pop_back();
    } else {
        index = static_cast<std::uint32_t>(t.slots.size());
        t.slots.emplace_back();
    }
    Slot& s = t.slots[index];
    const auto v = (static_cast<std::uintptr_t>(s.generation) << 32) | (static_cast<std::uintptr_t>(index) + 1);
    obj->handle = reinterpret_cast<void*>(v);
    if (is_gdi_kind(obj->kind) && !obj->stock) ++t.live_gdi;
    s.obj = std::move(obj);
    return s.obj->handle;
}

Object* find_any(const void* h)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    Slot* s = live_slot(t, h);
    return s ? s->obj.get() : nullptr;
}

Object* find_object(const void* h, Kind k)
{
    Object* o = find_any(h);
    return o && o->kind == k ? o : nullptr;
}

bool remove_object(const void* h, Kind k)
{
    std::unique_ptr<Object> doomed;
    {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        Slot* s = live_slot(t, h);
        if (!s || s->obj->kind != k) return false;
        if (s->obj->stock) return true;
        if (is_gdi_kind(k)) --t.live_gdi;
        doomed = std::move(s->obj);
        // Generation 0 is skipped so that a handle never equals a bare index.
        if (++s->generation == 0) s->generation = 1;
        const auto index = static_cast<std::uint32_t>(s - t.slots.data());
        t.free_slots.push_back(index);
    }
    return true;  // the object is destroyed outside the lock; its destructor may release handles
}

long live_gdi_objects()
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    return t.live_gdi;
}

}  // namespace platform

long platform_gdi_object_count() { return platform::live_gdi_objects(); }
