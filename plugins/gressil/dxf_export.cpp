#include "plugins/gressil/dxf_export.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <unordered_set>

#include "Drakmere.h"
#include "plugins/gressil/aci.h"
#include "plugins/gressil/dxf_export_p.h"
#include "plugins/gressil/raster_files.h"
#include "platform/ximage.h"

namespace dxf {

std::string upper(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string table_name_of(const MB_String& name, std::string_view fallback)
{
    return dxf_table_name(name.unicode(), name.length(), fallback);
}

std::string unique_name(std::string name, std::unordered_set<std::string>& taken)
{
    std::string candidate = name;
    for (int i = 2; taken.count(upper(candidate)); ++i) candidate = name + "_" + std::to_string(i);
    taken.insert(upper(candidate));
    return candidate;
}

double degrees(double radians)
{
    return radians * 180.0 / std::numbers::pi;
}

bool finite_point(const Qe_Pt& p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z());
}

}  // namespace dxf

namespace {

constexpr int k_max_node_depth = 64;

}  // namespace

using dxf::table_name_of;
using dxf::unique_name;
using dxf::upper;

Dxf_Exporter::Dxf_Exporter(MB_Drawing& drawing, Dxf_Writer& writer, std::uint32_t background,
                           Dxf_Raster_Files* rasters)
    : m_drawing(drawing), m_out(writer), m_background(background), m_rasters(rasters)
{
}

int Dxf_Exporter::color_index(long colorref) const
{
    return aci_from_colorref(static_cast<std::uint32_t>(colorref), m_background);
}

void Dxf_Exporter::write_color(long colorref, bool off)
{
    const Dxf_Color c = dxf_color_of(static_cast<std::uint32_t>(colorref), m_background);
    m_out.integer(62, off ? -c.index : c.index);
    if (c.true_color >= 0) m_out.integer(420, c.true_color);
}

namespace {

// A thickness that is not finite extrudes nothing the kernel shows, and written it would leave
// its whole entity out: it counts as none.
double thickness_of(const MB_Drawable& d)
{
    const double t = d.general().thickness();
    return std::isfinite(t) ? t : 0.0;
}

}  // namespace

void Dxf_Exporter::write_thickness(const MB_Drawable& d)
{
    const double t = thickness_of(d);
    if (t != 0.0) m_out.real(39, t);
}

const std::string& Dxf_Exporter::block_name(MB_Block* block) const
{
    static const std::string none;
    auto it = m_block_index.find(block);
    return it == m_block_index.end() ? none : m_blocks[it->second].name;
}

void Dxf_Exporter::collect_names()
{
    std::unordered_set<std::string> layers{"0"};
    for (MB_Object* o = m_drawing.layer_list().get_head(); o; o = o->next()) {
        if (o->object_id() != MB_Object::ID_LAYER) continue;
        auto* layer = static_cast<MB_Layer*>(o);
        const std::string name = table_name_of(layer->name(), "layer");
        if (name == "0" && !m_layer_zero) {
            m_layer_zero = layer;
            m_layer_names[layer] = "0";
            continue;
        }
        m_layer_names[layer] = unique_name(name, layers);
        m_layers.push_back(layer);
    }

    std::unordered_set<std::string> line_types{"BYBLOCK", "BYLAYER", "CONTINUOUS"};
    for (MB_Object* o = m_drawing.line_type_list().get_head(); o; o = o->next()) {
        if (o->object_id() != MB_Object::ID_LINE_TYPE) continue;
        auto* type = static_cast<MB_Line_Type*>(o);
        const std::string raw = dxf_table_name(MB_String(type->name()).unicode(), MB_String(type->name()).length(),
                                               "linetype");
        const std::string key = upper(raw);
        // The drawing's own entries of the three fixed names stand for those.
        if (key == "BYBLOCK" || key == "BYLAYER" || key == "CONTINUOUS") {
            m_line_type_names[type] = key == "BYBLOCK" ? "ByBlock" : key == "BYLAYER" ? "ByLayer" : "Continuous";
            continue;
        }
        const std::string name = unique_name(raw, line_types);
        m_line_type_names[type] = name;
        m_line_types.push_back({type, name});
    }

    std::unordered_set<std::string> blocks{"*MODEL_SPACE", "*PAPER_SPACE"};
    for (MB_Object* o = m_drawing.block_list().get_head(); o; o = o->next()) {
        if (o->object_id() != MB_Object::ID_BLOCK) continue;
        auto* block = static_cast<MB_Block*>(o);
        std::string name = table_name_of(block->name(), "block");
        // A leading '*' marks anonymous blocks, which a reader may drop.
        if (name.front() == '*') name.front() = '_';
        m_block_index[block] = m_blocks.size();
        m_blocks.push_back({block, unique_name(name, blocks), 0});
    }

    m_dim_styles.push_back({"Standard", nullptr});
    std::unordered_set<std::string> styles{"STANDARD"};
    collect_list(m_drawing.object_list(), styles);
    for (const Block_Entry& b : m_blocks) collect_list(b.block->object_list(), styles);
}

void Dxf_Exporter::collect_list(MB_Object_List& list, std::unordered_set<std::string>& names)
{
    for (MB_Object* o = list.get_head(); o; o = o->next()) collect_object(*o, names, 0);
}

void Dxf_Exporter::collect_object(MB_Object& o, std::unordered_set<std::string>& names, int depth)
{
    switch (o.object_id()) {
    case MB_Object::ID_MTEXT:
        // Its runs take its style, each at width 1; they are the text when MTEXT cannot be.
        if (auto* m = dynamic_cast<MB_Mtext*>(&o)) {
            const MB_Text_Style& style = *m->text_style();
            collect_text_style(*m, style, 1.0, dxf::shown_oblique(style), style.font_style() & MB_Text_Style::Vertical,
                               names);
            collect_runs(o, names);
        }
        break;
    case MB_Object::ID_TOLERANCE: break;  // its texts take the dimension style's
    case MB_Object::ID_TEXT:
        // A text fitted into a frame is laid out without the slant and vertical layout of its
        // style.
        if (auto* text = dynamic_cast<MB_Text*>(&o)) {
            const MB_Text_Style& style = *text->text_style();
            const bool fitted = text->bound_pts();
            collect_text_style(*text, style, style.width_scale(), fitted ? 0.0 : dxf::shown_oblique(style),
                               !fitted && (style.font_style() & MB_Text_Style::Vertical), names);
        }
        break;
    case MB_Object::ID_DIMENSION:
        if (auto* d = dynamic_cast<MB_Dimension*>(&o)) collect_dimension(*d);
        break;
    case MB_Object::ID_IMAGE:
        if (auto* image = dynamic_cast<MB_Image*>(&o))
            m_images |= m_rasters && image->image() && image->image()->IsValid();
        break;
    case MB_Object::ID_GROUP:
        if (auto* group = dynamic_cast<MB_Group*>(&o); group && depth < k_max_node_depth)
            for (Qe_Void_Node* n = group->object_list().head(); n; n = n->next())
                if (auto* member = static_cast<MB_Object*>(n->entity())) collect_object(*member, names, depth + 1);
        break;
    default:
        // Texts along arcs and paths go out as their runs.
        collect_runs(o, names);
        break;
    }
}

void Dxf_Exporter::collect_runs(MB_Object& o, std::unordered_set<std::string>& names)
{
    std::vector<MB_Text*> texts;
    std::vector<MB_Line*> lines;
    if (mb_text_parts(o, texts, lines))
        for (MB_Text* text : texts) collect_object(*text, names, 0);
}

void Dxf_Exporter::collect_dimension(MB_Dimension& d)
{
    // What the kernel shows of it: the nodes it built, or the block it is bound to.
    if (!d.draw_node() && !(d.insert() && m_block_index.count(d.insert()->block()))) return;
    for (const Qe_Pt& p : {d.definition_pt(), d.text_mid(), d.insert_pt(), d.dim_pt2(), d.dim_pt3(), d.dim_pt4(),
                           d.arcdef_pt()})
        if (!dxf::finite_point(p)) return;
    if (m_dimension_index.count(&d)) return;
    MB_String& own = d.dimstyle_name().length() ? d.dimstyle_name() : d.dim_style().name();
    const std::string name = table_name_of(own, "Standard");
    std::size_t style = 0;
    while (style < m_dim_styles.size() && upper(m_dim_styles[style].name) != upper(name)) ++style;
    if (style == m_dim_styles.size()) m_dim_styles.push_back({name, &d});
    m_dimension_index[&d] = m_dimensions.size();
    m_dimensions.push_back({&d, "*D" + std::to_string(m_dimensions.size() + 1), 0, style});
}

const std::string& Dxf_Exporter::dimension_block(const MB_Dimension& d) const
{
    static const std::string none;
    auto it = m_dimension_index.find(&d);
    return it == m_dimension_index.end() ? none : m_dimensions[it->second].name;
}

const std::string& Dxf_Exporter::dimension_style(const MB_Dimension& d) const
{
    static const std::string none;
    auto it = m_dimension_index.find(&d);
    return it == m_dimension_index.end() ? none : m_dim_styles[m_dimensions[it->second].style].name;
}

std::uint64_t Dxf_Exporter::image_def(MB_Image& image)
{
    if (auto it = m_image_def_index.find(&image); it != m_image_def_index.end()) return m_image_defs[it->second].handle;
    CxImage* raster = image.image();
    if (!m_rasters || !m_images || !raster || !raster->IsValid()) return 0;
    const std::string file = m_rasters->add(*raster);
    if (file.empty()) {
        m_failed = true;
        return 0;
    }
    const long w = static_cast<long>(raster->GetWidth()), h = static_cast<long>(raster->GetHeight());
    m_image_def_index[&image] = m_image_defs.size();
    m_image_defs.push_back({m_out.new_handle(), file, w, h, image.width() / w, image.height() / h, {}});
    return m_image_defs.back().handle;
}

std::uint64_t Dxf_Exporter::image_reactor(const MB_Image& image, std::uint64_t entity)
{
    auto it = m_image_def_index.find(&image);
    if (it == m_image_def_index.end()) return 0;
    const std::uint64_t handle = m_out.new_handle();
    m_image_defs[it->second].reactors.push_back({handle, entity});
    return handle;
}

bool Dxf_Exporter::write()
{
    collect_names();
    m_root_dict = m_out.new_handle();
    m_group_dict = m_out.new_handle();
    m_model_record = m_out.new_handle();
    m_paper_record = m_out.new_handle();
    for (Block_Entry& b : m_blocks) b.record = m_out.new_handle();
    for (Dimension_Entry& d : m_dimensions) d.record = m_out.new_handle();
    if (m_images) m_image_dict = m_out.new_handle();

    header();
    classes();
    tables();
    blocks();
    entities();
    objects();
    m_out.text(0, "EOF");
    return m_out.fill_placeholder(m_out.handle_seed()) && m_out.ok() && !m_failed;
}

void Dxf_Exporter::entities()
{
    m_out.text(0, "SECTION");
    m_out.text(2, "ENTITIES");
    write_list(m_drawing.object_list(), m_model_record);
    // Then what the drawing makes only for us, a few at a time: written, then let go.
    if (MB_Entity_Source* source = m_drawing.trailing_entities()) {
        MB_Object_List taken;
        while (!m_out.failed() && source->next(taken)) {
            write_list(taken, m_model_record);
            taken.kill_all();
        }
        taken.kill_all();
    }
    m_out.text(0, "ENDSEC");
}

void Dxf_Exporter::write_list(MB_Object_List& list, std::uint64_t owner)
{
    for (MB_Object* o = list.get_head(); o && !m_out.failed(); o = o->next())
        if (o->is_drawable()) write_drawable(*static_cast<MB_Drawable*>(o), owner);
}

void Dxf_Exporter::write_drawable(MB_Drawable& d, std::uint64_t owner)
{
    const long entities = m_out.entities(), dropped = m_out.dropped();
    // Multi-line texts and tolerance frames have DXF forms of their own; one that cannot take
    // it goes out as its runs, as texts along arcs and paths always do.
    const bool composite = d.object_id() == MB_Object::ID_MTEXT || d.object_id() == MB_Object::ID_TOLERANCE;
    bool native = composite && write_native_entity(*this, d, owner);
    if (!native) {
        std::vector<MB_Text*> runs;
        std::vector<MB_Line*> lines;
        if (mb_text_parts(d, runs, lines)) {
            // DXF has no text along an arc or a path: each run goes out as a text (a frame's
            // lines as lines), and counts for itself.
            for (MB_Text* run : runs) write_drawable(*run, owner);
            for (MB_Line* line : lines) write_drawable(*line, owner);
            return;
        }
        native = write_native_entity(*this, d, owner);
        if (!native) write_fallback(d, owner);
    }
    m_out.end();
    // A group is its members, and each of them counts for itself.
    if (d.object_id() == MB_Object::ID_GROUP) return;
    if (m_out.dropped() > dropped || (!native && m_out.entities() == entities)) count_unwritten(d);
}

namespace {

// The kinds as a report names them.
const char* kind_name(int id)
{
    switch (id) {
    case MB_Object::ID_ARC: return "arc";
    case MB_Object::ID_ARC_TEXT: return "text along an arc";
    case MB_Object::ID_BSPLINE: return "B-spline";
    case MB_Object::ID_CIRCLE: return "circle";
    case MB_Object::ID_DIMENSION: return "dimension";
    case MB_Object::ID_ELLIPSE: return "ellipse";
    case MB_Object::ID_ELLIPSE_ARC: return "elliptic arc";
    case MB_Object::ID_FACE: return "3D face";
    case MB_Object::ID_HATCH: return "hatch";
    case MB_Object::ID_IMAGE: return "image";
    case MB_Object::ID_INSERT: return "block reference";
    case MB_Object::ID_MINSERT: return "block array";
    case MB_Object::ID_LINE: return "line";
    case MB_Object::ID_LINES: return "chain";
    case MB_Object::ID_MTEXT: return "multi-line text";
    case MB_Object::ID_POINT: return "point";
    case MB_Object::ID_POLYFACE_MESH: return "polyface mesh";
    case MB_Object::ID_POLYGON_MESH: return "polygon mesh";
    case MB_Object::ID_POINT_SET: return "point set";
    case MB_Object::ID_POLYLINE: return "polyline";
    case MB_Object::ID_RAY: return "ray";
    case MB_Object::ID_SOLID: return "solid";
    case MB_Object::ID_TEXT: return "text";
    case MB_Object::ID_TOLERANCE: return "tolerance frame";
    case MB_Object::ID_TRACE_TEXT: return "text along a path";
    case MB_Object::ID_XLINE: return "construction line";
    default: return nullptr;
    }
}

}  // namespace

void Dxf_Exporter::count_unwritten(const MB_Drawable& d)
{
    const int id = d.object_id();
    for (auto& [kind, count] : m_unwritten)
        if (kind == id) {
            ++count;
            return;
        }
    m_unwritten.emplace_back(id, 1);
}

std::string Dxf_Exporter::unwritten_report() const
{
    long total = 0;
    std::string kinds;
    for (const auto& [id, count] : m_unwritten) {
        total += count;
        if (!kinds.empty()) kinds += ", ";
        const char* name = kind_name(id);
        kinds += (name ? std::string(name) : "object of kind " + std::to_string(id)) + " x " + std::to_string(count);
    }
    if (total == 0) return std::string();
    return std::to_string(total) + (total == 1 ? " entity" : " entities") + " not written: " + kinds;
}

std::uint64_t Dxf_Exporter::entity_start(const char* kind, std::uint64_t owner, const std::string& layer)
{
    Dxf_Writer& w = m_out;
    const std::uint64_t handle = w.new_handle();
    w.entity(kind);
    w.handle(5, handle);
    w.handle(330, owner);
    w.text(100, "AcDbEntity");
    w.text(8, layer);
    return handle;
}

std::uint64_t Dxf_Exporter::entity_head(const char* kind, MB_Drawable& d, std::uint64_t owner)
{
    static const std::string zero = "0";
    auto layer = m_layer_names.find(d.general().layer());
    const std::uint64_t handle = entity_start(kind, owner, layer == m_layer_names.end() ? zero : layer->second);
    auto ltype = m_line_type_names.find(d.general().line_type());
    if (ltype != m_line_type_names.end()) m_out.text(6, ltype->second);
    write_color(d.general().color());
    return handle;
}

std::uint64_t Dxf_Exporter::entity_head(const char* kind, std::uint64_t owner, long colorref)
{
    static const std::string zero = "0";
    const std::uint64_t handle = entity_start(kind, owner, zero);
    write_color(colorref);
    return handle;
}

namespace {

// One POINT of one point, a LINE of two when two_as_line, else an LWPOLYLINE, of the points
// mapped through t, with the thickness when it is not 0; head(kind) writes the entity's head.
template <class Head>
void points_entity(Dxf_Writer& w, Head&& head, const Qe_Pt* pts, int n, const Qe_Tran* t, bool closed,
                   bool two_as_line, double thickness = 0.0)
{
    if (!pts || n <= 0) return;
    auto at = [&](int i) { return t ? pts[i] * *t : pts[i]; };
    if (n == 1) {
        const Qe_Pt p = at(0);
        head("POINT");
        w.text(100, "AcDbPoint");
        w.point(10, p.x(), p.y(), p.z());
        if (thickness != 0.0) w.real(39, thickness);
        return;
    }
    if (n == 2 && two_as_line) {
        const Qe_Pt a = at(0), b = at(1);
        head("LINE");
        w.text(100, "AcDbLine");
        if (thickness != 0.0) w.real(39, thickness);
        w.point(10, a.x(), a.y(), a.z());
        w.point(11, b.x(), b.y(), b.z());
        return;
    }
    const Qe_Pt first = at(0);
    head("LWPOLYLINE");
    w.text(100, "AcDbPolyline");
    w.integer(90, n);
    w.integer(70, closed ? 1 : 0);
    if (first.z() != 0.0) w.real(38, first.z());
    if (thickness != 0.0) w.real(39, thickness);
    for (int i = 0; i < n; ++i) {
        const Qe_Pt p = at(i);
        w.point2(10, p.x(), p.y());
    }
}

}  // namespace

void Dxf_Exporter::polyline_of_points(MB_Drawable& d, std::uint64_t owner, const Qe_Pt* pts, int n,
                                      const Qe_Tran* t, bool closed)
{
    points_entity(m_out, [&](const char* kind) { entity_head(kind, d, owner); }, pts, n, t, closed, false,
                  thickness_of(d));
}

void Dxf_Exporter::write_fallback(MB_Drawable& d, std::uint64_t owner)
{
    // The road lays out most kinds only as far as their rectangles: one that has nothing to
    // show yet is laid out now.
    auto* geom = dynamic_cast<MB_Geom*>(&d);
    if (!d.draw_node() && !(geom && geom->edge().count() > 0)) d.build_draw();
    if (MB_Draw_Node* node = d.draw_node()) {
        write_node(d, owner, *node, nullptr, 0);
        return;
    }
    if (geom) polyline_of_points(d, owner, geom->edge().points(), geom->edge().count(), nullptr, false);
}

void Dxf_Exporter::write_dimension_block(MB_Dimension& d, std::uint64_t record)
{
    // A bound dimension shows its block through its own reference.
    if (MB_Insert* insert = d.insert()) {
        write_drawable(*insert, record);
        return;
    }
    if (MB_Draw_Node* node = d.draw_node()) write_dimension_node(d, record, *node, 0);
}

void Dxf_Exporter::write_run(std::uint64_t owner, long color, const Qe_Pt* p, int n)
{
    points_entity(m_out, [&](const char* kind) { entity_head(kind, owner, color); }, p, n, nullptr, false, true);
}

void Dxf_Exporter::write_dimension_node(MB_Dimension& d, std::uint64_t record, MB_Draw_Node& node, int depth)
{
    if (depth > k_max_node_depth) return;
    Dxf_Writer& w = m_out;
    const long color = node.color();
    Qe_Pt corners[4];
    if (auto* nodes = dynamic_cast<MB_Draw_Nodes*>(&node)) {
        for (MB_Draw_Node* n = nodes->node_list().head(); n; n = n->next())
            write_dimension_node(d, record, *n, depth + 1);
    } else if (auto* solid = dynamic_cast<MB_Draw_Solid*>(&node);
               solid && solid_corners(solid->points(), solid->count(), corners)) {
        entity_head("SOLID", record, color);
        w.text(100, "AcDbTrace");
        for (int i = 0; i < 4; ++i) w.point(10 + i, corners[i].x(), corners[i].y(), corners[i].z());
    } else if (auto* set = dynamic_cast<MB_Draw_Lines_Set*>(&node)) {
        write_run(record, color, set->points(), set->count());
    } else if (auto* sets = dynamic_cast<MB_Draw_Lines_Sets*>(&node)) {
        const Qe_Pt* p = sets->points();
        const mb_ulong* counts = sets->vals();
        if (!p || !counts) return;
        for (mb_ulong r = 0; r < sets->ptset_count(); ++r) {
            write_run(record, color, p, static_cast<int>(counts[r]));
            p += counts[r];
        }
    } else {
        write_node(d, record, node, nullptr, depth);
    }
}

void Dxf_Exporter::write_node(MB_Drawable& d, std::uint64_t owner, MB_Draw_Node& node, const Qe_Tran* t, int depth)
{
    if (depth > k_max_node_depth) return;
    auto runs = [&](const Qe_Pt_Sets& sets, bool closed) {
        const Qe_Pt* p = sets.points();
        const mb_ulong* counts = sets.vals();
        if (!p || !counts) return;
        for (mb_ulong r = 0; r < sets.ptset_count(); ++r) {
            polyline_of_points(d, owner, p, static_cast<int>(counts[r]), t, closed);
            p += counts[r];
        }
    };
    if (auto* set = dynamic_cast<MB_Draw_Lines_Set*>(&node)) {
        polyline_of_points(d, owner, set->points(), set->count(), t, false);
    } else if (auto* sets = dynamic_cast<MB_Draw_Lines_Sets*>(&node)) {
        runs(*sets, sets->is_filled());
    } else if (auto* solid = dynamic_cast<MB_Draw_Solid*>(&node)) {
        polyline_of_points(d, owner, solid->points(), solid->count(), t, true);
    } else if (auto* solids = dynamic_cast<MB_Draw_Solids*>(&node)) {
        runs(*solids, true);
    } else if (auto* point = dynamic_cast<MB_Draw_Point*>(&node)) {
        const Qe_Pt p = point->point();
        polyline_of_points(d, owner, &p, 1, t, false);
    } else if (auto* trans = dynamic_cast<MB_Draw_Trans*>(&node)) {
        if (MB_Draw_Node* child = trans->child()) {
            const Qe_Tran combined = t ? trans->tran() * *t : trans->tran();
            write_node(d, owner, *child, &combined, depth + 1);
        }
    } else if (auto* nodes = dynamic_cast<MB_Draw_Nodes*>(&node)) {
        for (MB_Draw_Node* n = nodes->node_list().head(); n; n = n->next()) write_node(d, owner, *n, t, depth + 1);
    }
}
