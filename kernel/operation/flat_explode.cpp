#include "kernel/operation/flat_explode.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/loop.h"
#include "geometry/void_list.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/system_setting.h"
#include "kernel/entities/hatch.h"
#include "kernel/operation/flat_create_p.h"
#include "kernel/operation/operation.h"
#include "kernel/operation/text_outline.h"
#include "kernel/text/font_library.h"
#include "kernel/text/mtext.h"
#include "kernel/text/text.h"
#include "kernel/text/text_parts.h"
#include "kernel/text/text_style.h"
#include "kernel/text/trace_text.h"

namespace {

// The hatch type a text hatch starts with and keeps unless it is solid.
constexpr const char* k_lines_pattern = "LINES";

bool can_explode(const void* text, const MB_Drawing* drawing)
{
    return g_active_operation && text && drawing;
}

// The chains of one single-line text, in its colour and on the layer a new entity takes.
// False when the text has no display node.
bool explode_one(MB_Text& text, MB_Drawing& drawing, Qe_Void_List& out)
{
    MB_Text_Outline outline;
    if (!mb_text_outline(text.draw_node(), outline)) return false;
    (void)mb_outline_lines(outline, text.general().color(), nullptr, mb_flat::entity_list(drawing), out);
    return true;
}

// The single-line texts a composite text is laid out in, each exploded in turn.
bool explode_runs(MB_Object& text, MB_Drawing& drawing, Qe_Void_List& out)
{
    std::vector<MB_Text*> runs;
    std::vector<MB_Line*> lines;
    (void)mb_text_parts(text, runs, lines);
    // A run that was not built shows nothing and is passed over.
    for (MB_Text* run : runs) (void)explode_one(*run, drawing, out);
    return true;
}

void set_pattern(MB_Hatch& hatch, const char* pattern, double angle, double scale)
{
    MB_Hatch_Type& type = *hatch.get_hatchtype();
    type.name(MB_String(pattern));
    if (hatch.is_solid()) return;
    type.name(MB_String(k_lines_pattern));
    const std::string_view all(pattern);
    for (std::size_t begin = 0; begin <= all.size();) {
        std::size_t end = all.find(';', begin);
        if (end == std::string_view::npos) end = all.size();
        if (end > begin) (void)type.add_string(MB_String(std::string(all.substr(begin, end - begin)).c_str()));
        begin = end + 1;
    }
    type.angle(angle);
    type.scale(scale);
}

}  // namespace

bool api_explode_text(MB_Text* text, short, MB_Drawing* drawing, Qe_Void_List& out)
{
    if (!can_explode(text, drawing)) return false;
    return explode_one(*text, *drawing, out);
}

bool api_explode_mtext(MB_Mtext* text, short, MB_Drawing* drawing, Qe_Void_List& out)
{
    if (!can_explode(text, drawing)) return false;
    return explode_runs(*text, *drawing, out);
}

bool api_explode_tracetext(MB_Trace_Text* text, short, MB_Drawing* drawing, Qe_Void_List& out)
{
    if (!can_explode(text, drawing)) return false;
    return explode_runs(*text, *drawing, out);
}

long api_create_hatch_by_text(MB_Text* text, char* pattern, double angle, double scale)
{
    MB_Drawing* drawing = mb_flat::active_drawing();
    if (!drawing || !text || !pattern) return 0;
    const MB_Font_Library* font = text->text_style() ? text->text_style()->font_lib() : nullptr;
    // Only a TrueType text's outlines enclose areas; a stroke font's "O" is a ring of strokes.
    if (!font || font->font_type() != MB_Font_Library::TTF_FONT) return 0;
    MB_Text_Outline outline;
    if (!mb_text_outline(text->draw_node(), outline)) return 0;

    auto hatch = std::make_unique<MB_Hatch>();
    outline.for_each_run([&](const Qe_Pt* run, int n) {
        if (n < 3) return;
        auto loop = std::make_unique<Qe_Loop>();
        for (int i = 0; i < n; ++i) loop->add(run[i]);
        hatch->loop_add(loop.release());
    });
    // A hatch without a loop would fill nothing: the text is refused instead.
    if (hatch->loop_list().is_empty()) return 0;
    // The operation's first entity colour, not the text's: importers rely on the colour
    // they set there.
    hatch->general().color(g_active_operation->system_setting()->get_long_val(1));
    set_pattern(*hatch, pattern, angle, scale);
    (void)mb_flat::place(*drawing, hatch.release());
    return 1;
}
