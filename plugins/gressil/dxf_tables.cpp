// The sections around the entities: header, classes, the tables, the blocks and the objects.

#include <algorithm>
#include <cmath>
#include <limits>

#include "Drakmere.h"
#include "plugins/gressil/dxf_export.h"
#include "plugins/gressil/dxf_export_p.h"

void Dxf_Exporter::header()
{
    Qe_Rect extents;
    bool any = false;
    for (MB_Object* o = m_drawing.object_list().get_head(); o; o = o->next()) {
        if (!o->is_drawable()) continue;
        const Qe_Rect& r = static_cast<MB_Drawable*>(o)->rect();
        // A box that is not finite (an entity with a coordinate that is not) would make the
        // extents so, and a reader's view of them nothing.
        if (!dxf::finite_point(r.lt()) || !dxf::finite_point(r.rb())) continue;
        if (!any) extents = r;
        else extents.union_rect(r);
        any = true;
    }
    // The entities still to come after the list are in the extents as if they were in it.
    Qe_Rect trailing;
    if (MB_Entity_Source* source = m_drawing.trailing_entities(); source && source->extents(trailing)) {
        if (!any) extents = trailing;
        else extents.union_rect(trailing);
        any = true;
    }
    m_extents = extents;
    m_has_extents = any;
    Dxf_Writer& w = m_out;
    w.text(0, "SECTION");
    w.text(2, "HEADER");
    w.text(9, "$ACADVER");
    w.text(1, "AC1018");
    w.text(9, "$ACADMAINTVER");
    w.integer(70, 6);
    w.text(9, "$DWGCODEPAGE");
    w.text(3, "ANSI_1252");
    w.text(9, "$INSBASE");
    w.point(10, 0, 0, 0);
    w.text(9, "$EXTMIN");
    w.point(10, std::min(extents.lt().x(), extents.rb().x()), std::min(extents.lt().y(), extents.rb().y()), 0);
    w.text(9, "$EXTMAX");
    w.point(10, std::max(extents.lt().x(), extents.rb().x()), std::max(extents.lt().y(), extents.rb().y()), 0);
    w.text(9, "$LIMMIN");
    w.point2(10, 0, 0);
    w.text(9, "$LIMMAX");
    w.point2(10, 420, 297);
    w.text(9, "$LTSCALE");
    w.real(40, 1.0);
    w.text(9, "$CLAYER");
    w.text(8, "0");
    w.text(9, "$CELTYPE");
    w.text(6, "ByLayer");
    w.text(9, "$CECOLOR");
    w.integer(62, 256);
    w.text(9, "$TEXTSTYLE");
    w.text(7, "Standard");
    w.text(9, "$DIMSTYLE");
    w.text(2, "Standard");
    w.text(9, "$MEASUREMENT");
    w.integer(70, 1);
    w.text(9, "$INSUNITS");
    w.integer(70, 4);
    // Known only when every handle has been given out: filled in at the end.
    w.text(9, "$HANDSEED");
    w.handle_placeholder(5);
    w.text(0, "ENDSEC");
}

void Dxf_Exporter::classes()
{
    Dxf_Writer& w = m_out;
    w.text(0, "SECTION");
    w.text(2, "CLASSES");
    if (m_images) {
        // DXF name, C++ class, application, proxy flags, was-a-proxy, is-an-entity.
        struct Class_Entry {
            const char *name, *cpp;
            int flags, entity;
        };
        for (const Class_Entry& c : {Class_Entry{"IMAGE", "AcDbRasterImage", 127, 1},
                                     Class_Entry{"IMAGEDEF", "AcDbRasterImageDef", 0, 0},
                                     Class_Entry{"IMAGEDEF_REACTOR", "AcDbRasterImageDefReactor", 1, 0}}) {
            w.text(0, "CLASS");
            w.text(1, c.name);
            w.text(2, c.cpp);
            w.text(3, "ISM");
            w.integer(90, c.flags);
            w.integer(280, 0);
            w.integer(281, c.entity);
        }
    }
    w.text(0, "ENDSEC");
}

void Dxf_Exporter::table_begin(const char* name, std::uint64_t handle, int count)
{
    m_out.text(0, "TABLE");
    m_out.text(2, name);
    m_out.handle(5, handle);
    m_out.handle(330, 0);
    m_out.text(100, "AcDbSymbolTable");
    m_out.integer(70, count);
}

void Dxf_Exporter::table_end()
{
    m_out.text(0, "ENDTAB");
}

void Dxf_Exporter::symbol_head(const char* kind, std::uint64_t owner, const char* subclass)
{
    m_out.text(0, kind);
    m_out.handle(5, m_out.new_handle());
    m_out.handle(330, owner);
    m_out.text(100, "AcDbSymbolTableRecord");
    m_out.text(100, subclass);
}

void Dxf_Exporter::tables()
{
    Dxf_Writer& w = m_out;
    w.text(0, "SECTION");
    w.text(2, "TABLES");

    // VPORT: the active viewport, centred on the drawing's extents and high enough to show
    // them whole in its 3:2 shape, with a twentieth of their size to spare on every side. A
    // drawing without extents keeps the origin and a height of 1000.
    constexpr double aspect = 1.5;
    double cx = 0, cy = 0, height = 1000;
    if (m_has_extents) {
        const Qe_Pt& a = m_extents.lt();
        const Qe_Pt& b = m_extents.rb();
        const double x0 = std::min(a.x(), b.x()), x1 = std::max(a.x(), b.x());
        const double y0 = std::min(a.y(), b.y()), y1 = std::max(a.y(), b.y());
        // By halves: extents across the whole range of doubles overflow no sum or difference.
        const double fit = std::max(y1 / 2 - y0 / 2, (x1 / 2 - x0 / 2) / aspect) * 2.2;
        cx = x0 / 2 + x1 / 2;
        cy = y0 / 2 + y1 / 2;
        if (fit > 0) height = std::min(fit, std::numeric_limits<double>::max());
    }
    const std::uint64_t vport = w.new_handle();
    table_begin("VPORT", vport, 1);
    symbol_head("VPORT", vport, "AcDbViewportTableRecord");
    w.text(2, "*Active");
    w.integer(70, 0);
    w.point2(10, 0, 0);
    w.point2(11, 1, 1);
    w.point2(12, cx, cy);
    w.point2(13, 0, 0);
    w.point2(14, 10, 10);
    w.point2(15, 10, 10);
    w.point(16, 0, 0, 1);
    w.point(17, 0, 0, 0);
    w.real(40, height);
    w.real(41, aspect);
    w.real(42, 50);
    w.real(43, 0);
    w.real(44, 0);
    w.real(50, 0);
    w.real(51, 0);
    w.integer(71, 0);
    w.integer(72, 100);
    w.integer(73, 1);
    w.integer(74, 3);
    w.integer(75, 0);
    w.integer(76, 0);
    w.integer(77, 0);
    w.integer(78, 0);
    table_end();

    // LTYPE: the three fixed entries, then the drawing's line types as dash lists.
    const std::uint64_t ltype = w.new_handle();
    table_begin("LTYPE", ltype, 3 + static_cast<int>(m_line_types.size()));
    for (const char* name : {"ByBlock", "ByLayer", "Continuous"}) {
        symbol_head("LTYPE", ltype, "AcDbLinetypeTableRecord");
        w.text(2, name);
        w.integer(70, 0);
        w.text(3, std::string_view(name) == "Continuous" ? "Solid line" : "");
        w.integer(72, 65);
        w.integer(73, 0);
        w.real(40, 0);
    }
    for (const Line_Type_Entry& e : m_line_types) {
        symbol_head("LTYPE", ltype, "AcDbLinetypeTableRecord");
        w.text(2, e.name);
        w.integer(70, 0);
        w.text(3, dxf_escape(MB_String(e.type->desc()).unicode(), MB_String(e.type->desc()).length()));
        w.integer(72, 65);
        std::vector<double> dashes;
        MB_Linetype_Loop& loop = e.type->linetype_loop();
        MB_Linetype_Node* node = loop.head();
        // The loop is circular from two elements on: count, do not chase the links.
        const int count = loop.count();
        for (int i = 0; i < count && node; ++i, node = node->next()) dashes.push_back(node->val() * e.type->scale());
        double total = 0;
        for (double d : dashes) total += std::fabs(d);
        w.integer(73, static_cast<long long>(dashes.size()));
        w.real(40, total);
        for (double d : dashes) {
            w.real(49, d);
            w.integer(74, 0);
        }
    }
    table_end();

    // LAYER: "0" (the drawing's own "0" when it has one), then the drawing's layers.
    const std::uint64_t layer_table = w.new_handle();
    table_begin("LAYER", layer_table, 1 + static_cast<int>(m_layers.size()));
    auto write_layer = [&](MB_Layer* layer, const std::string& name) {
        symbol_head("LAYER", layer_table, "AcDbLayerTableRecord");
        w.text(2, name);
        int flags = 0;
        long color = 0xFFFFFF;
        bool off = false;
        std::string ltype_name = "Continuous";
        if (layer) {
            if (layer->freeze()) flags |= 1;
            if (layer->lock()) flags |= 4;
            color = static_cast<long>(layer->color());
            // A layer that is off keeps its colour, negated.
            off = !(layer->flag() & MB_Layer::Flag_On);
            auto it = m_line_type_names.find(layer->line_type());
            if (it != m_line_type_names.end() && it->second != "ByLayer" && it->second != "ByBlock")
                ltype_name = it->second;
        }
        w.integer(70, flags);
        write_color(color, off);
        w.text(6, ltype_name);
        w.integer(370, -3);
    };
    write_layer(m_layer_zero, "0");
    for (MB_Layer* layer : m_layers) write_layer(layer, m_layer_names[layer]);
    table_end();

    const std::uint64_t style = w.new_handle();
    table_begin("STYLE", style, 1 + static_cast<int>(m_text_styles.size()));
    auto write_style = [&](const std::string& name, double width, double oblique, double height,
                           const std::string& font, const std::string& big, bool vertical) {
        symbol_head("STYLE", style, "AcDbTextStyleTableRecord");
        w.text(2, name);
        w.integer(70, vertical ? 4 : 0);
        w.real(40, 0);  // no fixed height: each text gives its own
        w.real(41, width);
        w.real(50, dxf::degrees(oblique));
        w.integer(71, 0);
        w.real(42, height);
        w.text(3, font);
        w.text(4, big);
    };
    write_style("Standard", 1, 0, 2.5, "txt", "", false);
    for (const Text_Style_Entry& e : m_text_styles)
        write_style(e.name, e.width, e.oblique, e.height, e.font, e.big_font, e.vertical);
    table_end();

    table_begin("VIEW", w.new_handle(), 0);
    table_end();
    table_begin("UCS", w.new_handle(), 0);
    table_end();

    const std::uint64_t appid = w.new_handle();
    table_begin("APPID", appid, 1);
    symbol_head("APPID", appid, "AcDbRegAppTableRecord");
    w.text(2, "ACAD");
    w.integer(70, 0);
    table_end();

    const std::uint64_t dimstyle = w.new_handle();
    table_begin("DIMSTYLE", dimstyle, static_cast<int>(m_dim_styles.size()));
    w.text(100, "AcDbDimStyleTable");
    w.integer(71, 0);
    for (const Dim_Style_Entry& e : m_dim_styles) {
        w.text(0, "DIMSTYLE");
        w.handle(105, w.new_handle());
        w.handle(330, dimstyle);
        w.text(100, "AcDbSymbolTableRecord");
        w.text(100, "AcDbDimStyleTableRecord");
        w.text(2, e.name);
        w.integer(70, 0);
        if (!e.first) continue;
        // The sizes and colours the kernel builds its dimensions with.
        const MB_Dim_Style& st = e.first->dim_style();
        const double* r = st.real_val();
        w.real(41, r[1]);    // arrowhead length
        w.real(42, r[6]);    // extension line offset
        w.real(44, r[5]);    // extension past the dimension line
        w.real(140, r[15]);  // text height
        w.real(147, r[7]);   // gap between line and text
        w.integer(176, color_index(st.color()[2]));
        w.integer(177, color_index(st.color()[0]));
        w.integer(178, color_index(st.color()[1]));
    }
    table_end();

    const std::uint64_t block_record = w.new_handle();
    table_begin("BLOCK_RECORD", block_record, 2 + static_cast<int>(m_blocks.size() + m_dimensions.size()));
    auto write_record = [&](std::uint64_t handle, const std::string& name) {
        w.text(0, "BLOCK_RECORD");
        w.handle(5, handle);
        w.handle(330, block_record);
        w.text(100, "AcDbSymbolTableRecord");
        w.text(100, "AcDbBlockTableRecord");
        w.text(2, name);
    };
    write_record(m_model_record, "*Model_Space");
    write_record(m_paper_record, "*Paper_Space");
    for (const Block_Entry& b : m_blocks) write_record(b.record, b.name);
    for (const Dimension_Entry& d : m_dimensions) write_record(d.record, d.name);
    table_end();

    w.text(0, "ENDSEC");
}

void Dxf_Exporter::blocks()
{
    Dxf_Writer& w = m_out;
    w.text(0, "SECTION");
    w.text(2, "BLOCKS");
    auto begin = [&](std::uint64_t record, const std::string& name, const Qe_Pt& base, bool paper, int flags = 0) {
        w.text(0, "BLOCK");
        w.handle(5, w.new_handle());
        w.handle(330, record);
        w.text(100, "AcDbEntity");
        if (paper) w.integer(67, 1);
        w.text(8, "0");
        w.text(100, "AcDbBlockBegin");
        w.text(2, name);
        w.integer(70, flags);
        w.point(10, base.x(), base.y(), base.z());
        w.text(3, name);
        w.text(1, "");
    };
    auto end = [&](std::uint64_t record, bool paper) {
        w.text(0, "ENDBLK");
        w.handle(5, w.new_handle());
        w.handle(330, record);
        w.text(100, "AcDbEntity");
        if (paper) w.integer(67, 1);
        w.text(8, "0");
        w.text(100, "AcDbBlockEnd");
    };
    begin(m_model_record, "*Model_Space", Qe_Pt(), false);
    end(m_model_record, false);
    begin(m_paper_record, "*Paper_Space", Qe_Pt(), true);
    end(m_paper_record, true);
    for (const Block_Entry& b : m_blocks) {
        begin(b.record, b.name, b.block->base_pos(), false);
        write_list(b.block->object_list(), b.record);
        end(b.record, false);
    }
    for (const Dimension_Entry& d : m_dimensions) {
        begin(d.record, d.name, Qe_Pt(), false, 1);  // anonymous
        write_dimension_block(*d.dimension, d.record);
        end(d.record, false);
    }
    w.text(0, "ENDSEC");
}

void Dxf_Exporter::objects()
{
    Dxf_Writer& w = m_out;
    w.text(0, "SECTION");
    w.text(2, "OBJECTS");
    w.text(0, "DICTIONARY");
    w.handle(5, m_root_dict);
    w.handle(330, 0);
    w.text(100, "AcDbDictionary");
    w.integer(281, 1);
    w.text(3, "ACAD_GROUP");
    w.handle(350, m_group_dict);
    if (m_image_dict) {
        w.text(3, "ACAD_IMAGE_DICT");
        w.handle(350, m_image_dict);
    }
    w.text(0, "DICTIONARY");
    w.handle(5, m_group_dict);
    w.handle(330, m_root_dict);
    w.text(100, "AcDbDictionary");
    w.integer(281, 1);
    if (m_image_dict) write_image_objects();
    w.text(0, "ENDSEC");
}

// The image dictionary names each IMAGEDEF after its file; each IMAGEDEF knows the reactors of
// the IMAGEs that show it, and each reactor belongs to its IMAGE.
void Dxf_Exporter::write_image_objects()
{
    Dxf_Writer& w = m_out;
    w.text(0, "DICTIONARY");
    w.handle(5, m_image_dict);
    w.handle(330, m_root_dict);
    w.text(100, "AcDbDictionary");
    w.integer(281, 1);
    for (const Image_Def& def : m_image_defs) {
        const std::size_t dot = def.file.rfind('.');
        w.text(3, def.file.substr(0, dot));
        w.handle(350, def.handle);
    }
    for (const Image_Def& def : m_image_defs) {
        w.text(0, "IMAGEDEF");
        w.handle(5, def.handle);
        w.text(102, "{ACAD_REACTORS");
        w.handle(330, m_image_dict);
        for (const Image_Reactor& r : def.reactors) w.handle(330, r.handle);
        w.text(102, "}");
        w.handle(330, m_image_dict);
        w.text(100, "AcDbRasterImageDef");
        w.integer(90, 0);
        w.text(1, def.file);
        w.point2(10, static_cast<double>(def.width), static_cast<double>(def.height));
        w.point2(11, def.pixel_x, def.pixel_y);
        w.integer(280, 1);
        w.integer(281, 0);
        for (const Image_Reactor& r : def.reactors) {
            w.text(0, "IMAGEDEF_REACTOR");
            w.handle(5, r.handle);
            w.handle(330, r.entity);
            w.text(100, "AcDbRasterImageDefReactor");
            w.integer(90, 2);
            w.handle(330, r.entity);
        }
    }
}
