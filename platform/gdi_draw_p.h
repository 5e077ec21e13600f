#pragma once

// The objects behind pens and brushes, and what a device context keeps for the drawing calls:
// its open path and, for a recording DC, the log of its calls.

#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/gdi_p.h"
#include "platform/raster_p.h"
#include "platform/recording_dc.h"

namespace platform {

struct Pen : Object {
    static constexpr Kind object_kind = Kind::pen;
    Pen() : Object(Kind::pen) {}
    int style = PS_SOLID;
    int width = 0;
    COLORREF colour = 0;
};

struct Brush : Object {
    static constexpr Kind object_kind = Kind::brush;
    Brush() : Object(Kind::brush) {}
    UINT style = BS_SOLID;
    COLORREF colour = RGB(255, 255, 255);
    int hatch = 0;
};

struct Path_Figure {
    std::vector<Dpoint> points;
};

struct Dc_Drawing {
    bool path_open = false;     // between BeginPath and EndPath
    bool path_ready = false;    // ended and not yet used
    std::vector<Path_Figure> figures;
    bool figure_open = false;   // LineTo extends the last figure
    bool recording = false;
    bool draws = true;          // a recording DC without a backing bitmap draws nothing
    std::vector<Platform_Call> calls;
    // A window DC of a recording window logs into the window's record instead.
    std::shared_ptr<std::vector<Platform_Call>> window_calls;
    std::vector<Platform_Call>& log() { return window_calls ? *window_calls : calls; }
};

// The DC's drawing record, made on first use.
Dc_Drawing& drawing_of(Dc& dc);

// Logs a call on a recording DC; nothing for other DCs.
void record_call(Dc& dc, const char* name, std::initializer_list<long long> args);
void record_call(Dc& dc, const char* name, const std::vector<long long>& args);
// Logs a text call with its integer arguments and its n bytes of text.
void record_text_call(Dc& dc, const char* name, std::initializer_list<long long> args, const char* text, int n);
// True for a recording DC that has no bitmap to draw into.
bool records_only(const Dc& dc);

// The pen and brush that every new DC holds: black pen of width 0, white brush.
void select_default_objects(Dc& dc);

}  // namespace platform
