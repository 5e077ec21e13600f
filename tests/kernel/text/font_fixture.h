#pragma once

// A fonts folder of the tests' own: the kernel's folder is pointed at a scratch folder whose
// fonts/ the registry and the loaders read, and the registry is emptied before and after.
// Also the decoding of one character into plain point vectors.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/scratch_dir.h"
#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "geometry/void_list.h"
#include "kernel/text/font_library.h"
#include "kernel/text/system_resource.h"
#include "common/shx_writer.h"

namespace font_test {

using Strokes = std::vector<std::vector<Qe_Pt>>;

class Font_Folder {
public:
    // The scratch folder is also the current folder, so the log lands there.
    Font_Folder()
    {
        m_env.emplace("PLATFORM_KERNEL_DIR", m_dir.path().c_str());
        std::filesystem::create_directories(m_dir.path() + "/fonts");
        g_system_resource.free();
        EXPECT_TRUE(g_system_resource.init_dir());
    }
    // The registry is emptied and finds the real folders again.
    ~Font_Folder()
    {
        g_system_resource.free();
        m_env.reset();
        (void)g_system_resource.init_dir();
    }
    Font_Folder(const Font_Folder&) = delete;
    Font_Folder& operator=(const Font_Folder&) = delete;

    std::string path(const std::string& name) const { return m_dir.path() + "/fonts/" + name; }
    std::string root() const { return m_dir.path(); }
    template <class Data>
    void put(const std::string& name, const Data& data) const
    {
        ASSERT_TRUE(shx_writer::write_file(path(name), data));
    }

private:
    Scratch_Dir m_dir{true};
    std::optional<Scoped_Env> m_env;
};

// The strokes of code drawn by lib at pen (advanced), freed from their lists.
inline bool draw_char(MB_Font_Library& lib, unsigned long code, Strokes& out, Qe_Pt& pen, double height = 1.0,
                      double width = 1.0, bool vertical = false)
{
    Qe_Void_List lists;
    const bool ok = lib.char_2_ptlist(code, lists, pen, height, width, vertical);
    for (Qe_Void_Node* n = lists.head(); n; n = n->next()) {
        auto* l = static_cast<Qe_Pt_List*>(n->entity());
        std::vector<Qe_Pt> pts;
        for (Qe_Pt_Node* p = l->head(); p; p = p->next()) pts.push_back(*p);
        out.push_back(std::move(pts));
        delete l;
    }
    return ok;
}

// The runs of a glyph as point vectors.
inline Strokes runs_of(const Qe_Pt_Sets& sets)
{
    Strokes out;
    mb_ulong at = 0;
    for (mb_ulong r = 0; r < sets.ptset_count(); ++r) {
        std::vector<Qe_Pt> pts(sets.points() + at, sets.points() + at + sets.vals()[r]);
        at += sets.vals()[r];
        out.push_back(std::move(pts));
    }
    return out;
}

inline ::testing::AssertionResult strokes_near(const Strokes& a, const Strokes& b, double tol)
{
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << a.size() << " strokes against " << b.size();
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size())
            return ::testing::AssertionFailure() << "stroke " << i << ": " << a[i].size() << " points against "
                                                 << b[i].size();
        for (std::size_t k = 0; k < a[i].size(); ++k)
            if (std::fabs(a[i][k].x() - b[i][k].x()) > tol || std::fabs(a[i][k].y() - b[i][k].y()) > tol)
                return ::testing::AssertionFailure()
                       << "stroke " << i << " point " << k << ": (" << a[i][k].x() << ", " << a[i][k].y()
                       << ") against (" << b[i][k].x() << ", " << b[i][k].y() << ")";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace font_test
