"""Reads a DXF file with ezdxf and prints what the converter tests compare, one item a line.

Usage: dxf_check.py FILE.dxf
       dxf_check.py --recover FILE.dxf          (the same, read by ezdxf.recover, which also decodes
                                                 the \\U+XXXX escapes of texts and names)
       dxf_check.py --hatch-segments FILE.dxf   (the segments ezdxf draws for pattern hatches)
       dxf_check.py --explode FILE.dxf          (the LINEs ezdxf explodes model-space INSERTs into)
       dxf_check.py --boxes FILE.dxf            (each model-space entity's kind and bounding box)
Lines: "audit errors=E fixes=F", "version V", "layer NAME color=C flags=F linetype=L [rgb=RRGGBB]",
"extents min=(X,Y,Z) max=(X,Y,Z)" ($EXTMIN and $EXTMAX),
"vport center=(X,Y) height=H aspect=A" (the *Active viewport),
"linetype NAME pattern=[...]", "style NAME font=F bigfont=B width=W oblique=O [vertical]",
"dimstyle NAME ...", "block NAME", and one "entity ..." line per entity of model space and
"member BLOCK ..." per entity of a block; an entity's line has " rgb=RRGGBB" after its index
colour when it has a true colour, and " thickness=T" when it has one. Reals are rounded to 6
decimals.
"""
import sys

import ezdxf


def r(v):
    s = ("%.6f" % float(v)).rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def pt(p):
    return "(" + ",".join(r(c) for c in p) + ")"


def describe(e):
    t = e.dxftype()
    d = e.dxf
    head = "%s layer=%s color=%s" % (t, d.layer, d.get("color", 256))
    if d.hasattr("true_color"):
        head += " rgb=%06X" % d.true_color
    if d.hasattr("linetype"):
        head += " linetype=%s" % d.linetype
    if d.is_supported("thickness") and d.get("thickness", 0):
        head += " thickness=%s" % r(d.thickness)
    if t == "LINE":
        return head + " start=%s end=%s" % (pt(d.start), pt(d.end))
    if t in ("RAY", "XLINE"):
        return head + " start=%s direction=%s" % (pt(d.start), pt(d.unit_vector))
    if t == "POINT":
        return head + " at=%s" % pt(d.location)
    if t == "CIRCLE":
        return head + " center=%s radius=%s" % (pt(d.center), r(d.radius))
    if t == "ARC":
        return head + " center=%s radius=%s angles=%s,%s" % (
            pt(d.center), r(d.radius), r(d.start_angle), r(d.end_angle))
    if t == "ELLIPSE":
        return head + " center=%s major=%s ratio=%s params=%s,%s" % (
            pt(d.center), pt(d.major_axis), r(d.ratio), r(d.start_param), r(d.end_param))
    if t == "SPLINE":
        if e.control_point_count() == 0:
            # Given by its fit points alone.
            return head + " degree=%d fit=%d first=%s last=%s" % (
                d.degree, e.fit_point_count(), pt(e.fit_points[0]), pt(e.fit_points[-1]))
        # How far the fit points lie from the curve ezdxf evaluates from the control points
        # and knots.
        curve = list(e.construction_tool().flattening(0.0001))
        dev = 0.0
        for f in e.fit_points:
            dev = max(dev, min(((f[0] - q[0]) ** 2 + (f[1] - q[1]) ** 2) ** 0.5 for q in curve))
        return head + " degree=%d control=%d knots=%d fit=%d fitdev<0.001=%s" % (
            d.degree, e.control_point_count(), e.knot_count(), e.fit_point_count(), dev < 0.001)
    if t == "LWPOLYLINE":
        pts = "".join("(%s,%s,%s,%s,%s)" % tuple(r(c) for c in v) for v in e.get_points("xyseb"))
        return head + " closed=%d const=%s elevation=%s points=%s" % (
            e.closed, r(d.get("const_width", 0)), r(d.get("elevation", 0)), pts)
    if t in ("SOLID", "TRACE"):
        return head + " corners=%s" % "".join(pt(getattr(d, "vtx%d" % i)) for i in range(4))
    if t == "3DFACE":
        return head + " corners=%s invisible=%d" % (
            "".join(pt(getattr(d, "vtx%d" % i)) for i in range(4)), d.get("invisible", 0))
    if t == "POLYLINE":
        points = "".join(pt(v.dxf.location) for v in e.vertices if not v.is_face_record)
        if e.is_poly_face_mesh:
            faces = "".join("[%s]" % ",".join(str(v.dxf.get("vtx%d" % i, 0)) for i in range(4))
                            for v in e.vertices if v.is_face_record)
            return head + " polyface flags=%d vertices=%d faces=%d points=%s faces=%s" % (
                d.flags, d.m_count, d.n_count, points, faces)
        if e.is_polygon_mesh:
            return head + " mesh flags=%d m=%d n=%d points=%s" % (d.flags, d.m_count, d.n_count, points)
        return head + " flags=%d points=%s" % (d.flags, points)
    if t == "INSERT":
        return head + " block=%s at=%s scale=%s,%s,%s rotation=%s" % (
            d.name, pt(d.insert), r(d.xscale), r(d.yscale), r(d.zscale), r(d.rotation))
    if t == "TEXT":
        head += " at=%s height=%s text=%s rotation=%s width=%s oblique=%s style=%s" % (
            pt(d.insert), r(d.height), d.text, r(d.rotation), r(d.width), r(d.oblique), d.style)
        if d.get("text_generation_flag", 0):
            head += " mirror=%d" % d.text_generation_flag
        if d.get("halign", 0) or d.get("valign", 0):
            head += " align=%d,%d point=%s" % (d.get("halign", 0), d.get("valign", 0), pt(d.align_point))
        return head
    if t == "MTEXT":
        return head + (" at=%s height=%s width=%s attach=%d flow=%d rotation=%s spacing=%d,%s style=%s"
                       " text=%s plain=%s") % (
            pt(d.insert), r(d.char_height), r(d.get("width", 0)), d.attachment_point, d.get("flow_direction", 1),
            r(e.get_rotation()), d.get("line_spacing_style", 1), r(d.get("line_spacing_factor", 1)), d.style,
            e.text, e.plain_text(fast=False).replace("\n", "|"))
    if t == "TOLERANCE":
        override = None
        if e.has_xdata("ACAD"):
            tags = list(e.get_xdata("ACAD"))
            for i, tag in enumerate(tags[:-1]):
                if tag.code == 1070 and tag.value == 140:
                    override = tags[i + 1].value
        return head + " at=%s text=%s direction=%s dimstyle=%s dimtxt=%s" % (
            pt(d.insert), d.content, pt(d.x_axis_vector), d.dimstyle, r(override) if override is not None else None)
    if t == "IMAGE":
        image_def = e.image_def
        return head + " insert=%s u=%s v=%s size=%s def=%s defsize=%s reactor=%s" % (
            pt(d.insert), pt(d.u_pixel), pt(d.v_pixel), pt(d.image_size),
            image_def.dxf.filename if image_def else None,
            pt(image_def.dxf.image_size) if image_def else None,
            e.doc.entitydb[d.image_def_reactor_handle].dxf.image_handle == d.handle)
    if t == "DIMENSION":
        block = e.get_geometry_block()
        points = " ".join("%s=%s" % (n, pt(d.get(n))) for n in (
            "defpoint", "defpoint2", "defpoint3", "defpoint4", "defpoint5") if d.hasattr(n))
        from ezdxf import bbox
        box = bbox.extents(block) if block is not None else None
        # ezdxf's dimtype masks the flags of group 70: they are printed apart.
        return head + (" type=%d flags=%d block=%s members=%s style=%s text=%s measurement=%s measured=%s %s"
                       " bbox=%s%s") % (
            e.dimtype, d.dimtype & ~15, d.geometry, len(block) if block is not None else None, d.dimstyle,
            pt(d.text_midpoint), r(d.get("actual_measurement", 0)), r(e.get_measurement()), points,
            pt(list(box.extmin) + list(box.extmax)) if box else None, "")
    if t == "HATCH":
        head += " pattern=%s solid=%d paths=%d" % (d.pattern_name, d.solid_fill, len(e.paths))
        if not d.solid_fill and e.pattern:
            head += " style=%d scale=%s angle=%s lines=%s" % (
                d.hatch_style, r(d.pattern_scale), r(d.pattern_angle), "".join(
                    "[%s %s %s %s]" % (r(l.angle), pt(l.base_point), pt(l.offset), ",".join(r(v) for v in l.dash_length_items))
                    for l in e.pattern.lines))
        return head
    return head


def hatch_segments(doc):
    """Every line segment ezdxf's own hatching draws for the pattern hatches of model space."""
    from ezdxf.render import hatching
    for e in doc.modelspace().query("HATCH"):
        if e.dxf.solid_fill:
            continue
        for a, b in hatching.hatch_entity(e):
            print("segment %.9f %.9f %.9f %.9f" % (a.x, a.y, b.x, b.y))


def exploded_lines(doc):
    """The lines of ezdxf's own explosion of each INSERT of model space, in order."""
    for e in doc.modelspace().query("INSERT"):
        for v in e.virtual_entities():
            if v.dxftype() == "LINE":
                s, t = v.dxf.start, v.dxf.end
                print("exploded %s %.9f %.9f %.9f %.9f" % (e.dxf.name, s.x, s.y, t.x, t.y))


def boxes(doc):
    """The kind and bounding box of each model-space entity, in order."""
    from ezdxf import bbox
    for e in doc.modelspace():
        box = bbox.extents([e])
        if box.has_data:
            print("box %s %.9f %.9f %.9f %.9f" % (e.dxftype(), box.extmin.x, box.extmin.y, box.extmax.x, box.extmax.y))
        else:
            print("box %s none" % e.dxftype())


def main():
    if sys.argv[1] == "--boxes":
        boxes(ezdxf.readfile(sys.argv[2]))
        return
    if sys.argv[1] == "--hatch-segments":
        hatch_segments(ezdxf.readfile(sys.argv[2]))
        return
    if sys.argv[1] == "--explode":
        exploded_lines(ezdxf.readfile(sys.argv[2]))
        return
    if sys.argv[1] == "--recover":
        from ezdxf import recover
        doc, auditor = recover.readfile(sys.argv[2])
    else:
        doc = ezdxf.readfile(sys.argv[1])
        auditor = doc.audit()
    print("audit errors=%d fixes=%d" % (len(auditor.errors), len(auditor.fixes)))
    for err in auditor.errors:
        print("audit-error", err.message)
    for fix in auditor.fixes:
        print("audit-fix", fix.message)
    print("version", doc.dxfversion)
    print("extents min=%s max=%s" % (pt(doc.header.get("$EXTMIN", (0, 0, 0))), pt(doc.header.get("$EXTMAX", (0, 0, 0)))))
    for layer in doc.layers:
        print("layer %s color=%d flags=%d linetype=%s%s" % (
            layer.dxf.name, layer.dxf.color, layer.dxf.flags, layer.dxf.linetype,
            " rgb=%06X" % layer.dxf.true_color if layer.dxf.hasattr("true_color") else ""))
    for vport in doc.viewports.get_config("*Active"):
        print("vport center=%s height=%s aspect=%s" % (
            pt(vport.dxf.center), r(vport.dxf.height), r(vport.dxf.aspect_ratio)))
    for lt in doc.linetypes:
        pattern = lt.pattern_tags.tags if hasattr(lt, "pattern_tags") else []
        dashes = [r(tag.value) for tag in pattern if tag.code == 49]
        print("linetype %s pattern=[%s]" % (lt.dxf.name, ",".join(dashes)))
    for style in doc.styles:
        print("style %s font=%s bigfont=%s width=%s oblique=%s%s" % (
            style.dxf.name, style.dxf.font, style.dxf.get("bigfont", ""), r(style.dxf.width), r(style.dxf.oblique),
            " vertical" if style.dxf.flags & 4 else ""))
    for ds in doc.dimstyles:
        print("dimstyle %s dimasz=%s dimexo=%s dimexe=%s dimtxt=%s dimgap=%s colors=%d,%d,%d" % (
            ds.dxf.name, r(ds.dxf.dimasz), r(ds.dxf.dimexo), r(ds.dxf.dimexe), r(ds.dxf.dimtxt), r(ds.dxf.dimgap),
            ds.dxf.dimclrd, ds.dxf.dimclre, ds.dxf.dimclrt))
    for block in doc.blocks:
        if block.name.lower() in ("*model_space", "*paper_space"):
            continue
        print("block %s base=%s" % (block.name, pt(block.block.dxf.base_point)))
        for e in block:
            print("member %s %s" % (block.name, describe(e)))
    for e in doc.modelspace():
        print("entity", describe(e))


if __name__ == "__main__":
    main()
