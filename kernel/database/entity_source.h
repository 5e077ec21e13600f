#pragma once

// Entities a drawing gives out after its entity list, made only when asked for. A host that
// makes a great many entities for one pass over the drawing alone (the conversion road's
// exploded texts, written once and never drawn) hands them out a few at a time, in their
// order, instead of holding every one of them in the list until the pass ends. A pass that
// walks the entity list and then the source sees what it would see had the entities been
// appended at the list's tail.

#include "geometry/rect.h"
#include "kernel/drakmere_api.h"

class MB_Object_List;

class DRAKMERE_API MB_Entity_Source {
public:
    MB_Entity_Source() = default;
    MB_Entity_Source(const MB_Entity_Source&) = delete;
    MB_Entity_Source& operator=(const MB_Entity_Source&) = delete;
    virtual ~MB_Entity_Source();

    // The union of the rectangles of the entities it gives out, before or after they are
    // given, whose corners are finite (an entity whose rectangle is not finite counts for
    // nothing); false, out unchanged, when there is none.
    [[nodiscard]] virtual bool extents(Qe_Rect& out) const = 0;
    // Appends the next entities, in their order and laid out as far as their rectangles, at
    // the tail of list, which the caller owns with them from then on; false, appending
    // nothing, when no entity is left. The caller deletes what it took before asking again,
    // so that their memory serves the next ones.
    [[nodiscard]] virtual bool next(MB_Object_List& list) = 0;
};
