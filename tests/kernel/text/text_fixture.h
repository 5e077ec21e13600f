#pragma once

// Fonts for the text tests:
// - Recording_Font: a font library of either kind that logs every code it is asked for
//   (code, library, height, width factor, vertical) and draws a one-point mark at the pen,
//   moving it one unit on;
// - box fonts written as SHX files: every shape of box_shapes() is a square of the font's
//   height (10 units) drawn from the pen, with a pen-up advance of 12 units, so a glyph at
//   height h and width factor w is the box h·w × h and advances 1.2·h·w;
// - runs_of / box_of: the laid-out points of a node.

#include <cmath>
#include <string>
#include <vector>

#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "kernel/display/draw_node.h"
#include "kernel/text/font_library.h"
#include "kernel/text/system_resource.h"
#include "kernel/text/font_fixture.h"

namespace text_test {

struct Call {
    unsigned long code;
    const MB_Font_Library* lib;
    double h, w;
    bool vertical;
    bool operator==(const Call&) const = default;
};

class Recording_Font : public MB_Font_Library {
public:
    Recording_Font(FONT_TYPE type, std::vector<Call>& log, const char* name = "rec.shx") : m_type(type), m_log(log)
    {
        this->name() = name;
        file_name(name);
    }
    FONT_TYPE font_type() const override { return m_type; }
    MB_Result serialize(MB_File_IO&) override { return MB_Result::Success; }
    bool char_2_ptlist(unsigned long code, Qe_Void_List& out, Qe_Pt& pen, double h, double w, bool v) override
    {
        m_log.push_back({code, this, h, w, v});
        auto* l = new Qe_Pt_List;
        l->add_tail(pen);
        out.add_tail(l);
        pen = Qe_Pt(pen.x() + 1.0, pen.y(), pen.z());
        return true;
    }

private:
    FONT_TYPE m_type;
    std::vector<Call>& m_log;
};

// A square of 10 units from the pen, then a pen-up move of 12 units right.
inline shx_writer::Bytes box_code()
{
    return {1, 0xA4, 0xA0, 0xAC, 0xA8, 2, 0xC0, 0};
}

inline std::vector<shx_writer::Shape> box_shapes(const std::vector<unsigned>& codes)
{
    std::vector<shx_writer::Shape> shapes;
    for (unsigned c : codes) shapes.push_back({c, "", box_code()});
    return shapes;
}

// A fonts folder of the test's own with box fonts under the default names (txt.shx, and
// hztxt.shx as a big font with the code 0xB0A1) and box.shx; the shared default style is
// made again with them.
struct Box_Fonts {
    font_test::Font_Folder folder;
    Box_Fonts()
    {
        folder.put("txt.shx", shx_writer::shapes_file({"txt", 10, 0, 0}, box_shapes({65, 66, 67, 32})));
        folder.put("hztxt.shx", shx_writer::big_font({"hz", 10, 0, 0}, box_shapes({0xB0A1})));
        folder.put("box.shx", shx_writer::shapes_file({"box", 10, 0, 0}, box_shapes({65})));
    }
    // The registry's library of the file, loaded when it is not yet.
    MB_Font_Library* lib(const char* name)
    {
        MB_Font_Library* l = g_system_resource.get_fontlib(name);
        return l ? l : g_system_resource.load_font(name);
    }
};

struct Box {
    double min_x, max_x, min_y, max_y;
};

inline std::vector<Qe_Pt> points_of(const Qe_Pt_Sets& s)
{
    return std::vector<Qe_Pt>(s.points(), s.points() + s.pts_count());
}

inline Box box_of(const std::vector<Qe_Pt>& pts)
{
    Box b{pts.at(0).x(), pts[0].x(), pts[0].y(), pts[0].y()};
    for (const Qe_Pt& p : pts) {
        b.min_x = std::fmin(b.min_x, p.x());
        b.max_x = std::fmax(b.max_x, p.x());
        b.min_y = std::fmin(b.min_y, p.y());
        b.max_y = std::fmax(b.max_y, p.y());
    }
    return b;
}

inline ::testing::AssertionResult points_near(const std::vector<Qe_Pt>& a, const std::vector<Qe_Pt>& b, double tol)
{
    if (a.size() != b.size()) return ::testing::AssertionFailure() << a.size() << " points against " << b.size();
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::fabs(a[i].x() - b[i].x()) > tol || std::fabs(a[i].y() - b[i].y()) > tol)
            return ::testing::AssertionFailure() << "point " << i << ": (" << a[i].x() << ", " << a[i].y()
                                                 << ") against (" << b[i].x() << ", " << b[i].y() << ")";
    return ::testing::AssertionSuccess();
}

}  // namespace text_test
