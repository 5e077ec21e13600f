#pragma once

// The one copy_to of the entities: a null target receives a new object (make()), a target
// of class T (or a subclass) receives this entity's state (fill(T&)), and a target of
// another class is left unchanged and the copy is refused (false). Then the drawable part
// (id, owner, members, general properties) is copied.
//
// Use:
//     bool MB_Circle::copy_to(MB_Object*& target)
//     {
//         return mb_copy_entity<MB_Circle>(*this, target,
//             [&] { return new MB_Circle(m_center, m_radius); },
//             [&](MB_Circle& c) { c.radius(m_radius); c.center(m_center); });
//     }

#include "kernel/database/drawable.h"

template <class T, class Make, class Fill>
bool mb_copy_entity(MB_Drawable& source, MB_Object*& target, Make&& make, Fill&& fill)
{
    if (!target) {
        MB_Object* made = make();
        if (!made) return false;
        target = made;
    } else {
        T* same = dynamic_cast<T*>(target);
        if (!same) return false;
        fill(*same);
    }
    return source.MB_Drawable::copy_to(target);
}
