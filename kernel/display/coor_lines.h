#pragma once

// What lies under the drawing in a view: the axis icon and the grid. Each renderer embeds
// one and asks it to draw after the background and before the entities.

#include "kernel/drakmere_api.h"
#include "platform/win_types.h"

class MB_Draw_Render;
class Qe_Tran;

class DRAKMERE_API MB_Coor_Lines {
public:
    MB_Coor_Lines() = default;
    MB_Coor_Lines(const MB_Coor_Lines&) = delete;
    MB_Coor_Lines& operator=(const MB_Coor_Lines&) = delete;
    virtual ~MB_Coor_Lines() = default;

    // Draws nothing yet: the axis icon and the grid are still to come.
    void draw(HDC, const Qe_Tran&, MB_Draw_Render&) {}
};
