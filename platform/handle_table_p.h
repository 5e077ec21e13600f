#pragma once

// The one table of every handle the layer hands out. A handle is the slot index plus one in its
// low 32 bits and the slot's generation above them, so a handle whose object was deleted (stale)
// or that names another kind of object is refused, and a null handle never matches.

#include <cstdint>
#include <memory>

namespace platform {

enum class Kind : std::uint8_t {
    bitmap,
    dc,
    pen,
    brush,
    font,
    window,
    module,
    metafile,
    region,
};

// Everything behind a handle. Stock objects belong to the layer: deleting them does nothing and
// they are not counted as live objects.
struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    const Kind kind;
    bool stock = false;
    int selections = 0;  // device contexts this object is selected into; deleting it waits for 0
    void* handle = nullptr;  // the handle the table gave this object
};

// Bitmaps, device contexts, pens, brushes and fonts count as GDI objects; windows and modules do not.
bool is_gdi_kind(Kind k);

// Takes ownership and returns the new handle (never null).
void* add_object(std::unique_ptr<Object> obj);

// The object behind h when h is live and of kind k; null otherwise.
Object* find_object(const void* h, Kind k);
// The object behind h whatever its kind; null for a null or stale handle.
Object* find_any(const void* h);

template <class T>
T* find(const void* h)
{
    return static_cast<T*>(find_object(h, T::object_kind));
}

// Deletes the object behind h; false for a null, stale or wrong-kind handle.
bool remove_object(const void* h, Kind k);

// Live GDI objects, stock objects excluded.
long live_gdi_objects();

}  // namespace platform
