#include "kernel/text/text_runs_p.h"
#include "kernel/text/text_parts.h"

#include <cmath>

#include "geometry/void_list.h"
#include "kernel/database/drawable.h"
#include "kernel/database/operation_context.h"
#include "kernel/text/arc_text.h"
#include "kernel/text/font_library.h"
#include "kernel/text/mtext.h"
#include "kernel/text/tolerance_frame.h"
#include "kernel/text/trace_text.h"
#include "kernel/text/text_style.h"

namespace text_runs {

std::vector<std::string> characters(const char* text)
{
    std::vector<std::string> out;
    if (!text) return out;
    for (const char* p = text; *p;) {
        const bool lead = static_cast<unsigned char>(*p) >= 0x80 && p[1] != '\0';
        out.emplace_back(p, lead ? 2 : 1);
        p += lead ? 2 : 1;
    }
    return out;
}

std::unique_ptr<MB_Text> make_run(const Qe_Pt& at, const std::string& text, const MB_Drawable& owner)
{
    MB_Recording_Pause pause;
    auto run = std::make_unique<MB_Text>(at, MB_String(text.c_str()));
    run->general().color(owner.general().color());
    run->general().layer(owner.general().layer());
    return run;
}

void clear(Runs& runs)
{
    MB_Recording_Pause pause;
    runs.clear();
}

void take_style(MB_Text& run, MB_Drawing* drawing, const char* style_name)
{
    MB_Recording_Pause pause;
    if (drawing) {
        (void)run.init_text_style(*drawing, style_name);
        return;
    }
    (void)mb_make_shared_text_style();
    run.init_text_style(g_text_style);
}

const char* first_run_font_name(const Runs& runs, bool big)
{
    if (runs.empty()) return nullptr;
    const MB_Text_Style* style = runs.front()->text_style();
    const MB_Font_Library* lib = big ? style->big_font_lib() : style->font_lib();
    return lib ? lib->name().ascii() : nullptr;
}

bool union_rect(const std::vector<MB_Drawable*>& parts, Qe_Rect& out)
{
    Qe_Void_List list;
    for (MB_Drawable* d : parts) (void)list.add(d);
    return api_mb_get_entity_list_rect(list, out);
}

double wrap_angle(double a)
{
    constexpr double turn = 2.0 * M_PI;
    double r = std::fmod(a, turn);
    if (r < 0.0) r += turn;
    // A tiny negative remainder plus a turn rounds to a whole turn.
    return r >= turn ? 0.0 : r;
}

}  // namespace text_runs

bool mb_text_parts(MB_Object& object, std::vector<MB_Text*>& runs, std::vector<MB_Line*>& lines)
{
    runs.clear();
    lines.clear();
    // Asked of every drawable on the road and in the export: the kind decides before any cast.
    switch (object.object_id()) {
    case MB_Object::ID_ARC_TEXT:
    case MB_Object::ID_TRACE_TEXT:
    case MB_Object::ID_MTEXT:
    case MB_Object::ID_TOLERANCE: break;
    default: return false;
    }
    auto take = [&](const auto& list) {
        for (const auto& run : list) runs.push_back(run.get());
    };
    if (auto* arc = dynamic_cast<MB_Arc_Text*>(&object)) {
        take(arc->text_list());
        return true;
    }
    if (auto* path = dynamic_cast<MB_Trace_Text*>(&object)) {
        take(path->text_list());
        return true;
    }
    if (auto* m = dynamic_cast<MB_Mtext*>(&object)) {
        // Spaces and line feeds place the other runs and show nothing themselves.
        for (Qe_Void_Node* n = m->text_list().head(); n; n = n->next()) {
            auto* run = static_cast<MB_Text*>(n->entity());
            const char* s = run->string().ascii();
            if (s && s[0] != ' ' && s[0] != '\n') runs.push_back(run);
        }
        return true;
    }
    if (auto* frame = dynamic_cast<MB_Tolerance*>(&object)) {
        take(frame->text_list());
        for (const auto& line : frame->frame_list()) lines.push_back(line.get());
        return true;
    }
    return false;
}
