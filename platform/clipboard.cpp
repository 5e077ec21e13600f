#include "platform/clipboard.h"

#include <mutex>

#include "platform/gdi.h"
#include "platform/gdi_p.h"

namespace platform {
namespace {

struct Clipboard {
    std::mutex mutex;
    bool open = false;
    HBITMAP bitmap = nullptr;
};

Clipboard& clipboard()
{
    static Clipboard* c = new Clipboard;
    return *c;
}

// Gives up the slot's bitmap and deletes it. Its hold counts as a selection, which is what
// keeps DeleteObject from freeing it under the clipboard. A bitmap that a device context
// still holds is deleted by whoever deletes it after the DC lets it go.
void release(Clipboard& c)
{
    if (Bitmap* b = find<Bitmap>(c.bitmap)) {
        if (b->selections > 0) --b->selections;
        DeleteObject(c.bitmap);
    }
    c.bitmap = nullptr;
}

}  // namespace
}  // namespace platform

using namespace platform;

BOOL OpenClipboard(HWND owner)
{
    if (owner && !find<Window>(owner)) return FALSE;
    Clipboard& c = clipboard();
    std::lock_guard lock(c.mutex);
    if (c.open) return FALSE;
    c.open = true;
    return TRUE;
}

BOOL CloseClipboard()
{
    Clipboard& c = clipboard();
    std::lock_guard lock(c.mutex);
    if (!c.open) return FALSE;
    c.open = false;
    return TRUE;
}

BOOL EmptyClipboard()
{
    Clipboard& c = clipboard();
    std::lock_guard lock(c.mutex);
    if (!c.open) return FALSE;
    release(c);
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data)
{
    Clipboard& c = clipboard();
    std::lock_guard lock(c.mutex);
    Bitmap* b = find<Bitmap>(data);
    if (!c.open || format != CF_BITMAP || !b || b->stock) return nullptr;
    if (data == c.bitmap) return data;
    release(c);
    ++b->selections;
    c.bitmap = static_cast<HBITMAP>(data);
    return data;
}

HBITMAP platform_clipboard_bitmap()
{
    Clipboard& c = clipboard();
    std::lock_guard lock(c.mutex);
    return find<Bitmap>(c.bitmap) ? c.bitmap : nullptr;
}
