#include "kernel/entities/mesh.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

#include "geometry/raster_device.h"
#include "geometry/rect.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/stream/file_io.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"

namespace {

constexpr unsigned char k_polygon_mesh_opcode = 'U';
constexpr unsigned char k_polyface_mesh_opcode = 'Z';
// Bytes of one face in the polyface record: four references and a size.
constexpr std::size_t k_face_bytes = 5 * 4;

// a x b + c, or nothing when a size is negative or the result leaves int.
std::optional<std::size_t> grid_count(long long a, long long b, long long c)
{
    if (a < 0 || b < 0 || c < 0) return std::nullopt;
    const auto limit = static_cast<unsigned long long>(std::numeric_limits<int>::max());
    const auto ua = static_cast<unsigned long long>(a);
    const auto ub = static_cast<unsigned long long>(b);
    if (ua != 0 && ub > limit / ua) return std::nullopt;
    const unsigned long long sum = ua * ub + static_cast<unsigned long long>(c);
    if (sum > limit) return std::nullopt;
    return static_cast<std::size_t>(sum);
}

// Vertices a polygon mesh needs: the main grid, and the density grid after it when both
// densities are at least 1.
std::optional<std::size_t> needed_vertices(long long m, long long n, long long dm, long long dn)
{
    if (dm < 0 || dn < 0) return std::nullopt;
    const std::optional<std::size_t> density = dm >= 1 && dn >= 1 ? grid_count(dm, dn, 0) : std::size_t{0};
    if (!density) return std::nullopt;
    return grid_count(m, n, static_cast<long long>(*density));
}

// The runs' rectangle; left as it was for no points.
void rect_of_runs(Qe_Rect& rect, const Qe_Pt_Sets& runs)
{
    rect.init_by_pts(static_cast<int>(runs.pts_count()), runs.points());
}

// Into the given device context (an image export), else the raster device's memory context.
void draw_runs(HDC hdc, Qe_Qdc& qdc, const Qe_Pt_Sets& runs, const Qe_Tran& t, long colour)
{
    HDC mem = hdc ? hdc : qdc.GetDC();
    if (!mem) return;
    MB_Scoped_Pen pen(mem, PS_SOLID, 1, static_cast<COLORREF>(colour));
    runs.draw(mem, t, colour);
}

// Vertex positions (0-based) of the run that a polyface face draws, into out; false when
// the face draws nothing or names a vertex outside the list.
bool face_run(const mb_long* f, mb_ulong size, int vertex_count, int out[5], int& n)
{
    auto at = [&](mb_long r, int& slot) {
        const long long a = r < 0 ? -static_cast<long long>(r) : r;
        if (a < 1 || a > vertex_count) return false;
        slot = static_cast<int>(a - 1);
        return true;
    };
    n = 0;
    switch (size) {
    case 2: {
        int first = 0;
        while (first < 4 && f[first] < 0) ++first;
        if (first == 4) return false;
        // The reference after the first point, from f3 back to f0; 0 there means f0.
        mb_long second = f[(first + 1) % 4];
        if (second == 0) second = f[0];
        if (!at(f[first], out[0]) || !at(second, out[1])) return false;
        n = 2;
        return true;
    }
    case 3:
    case 4:
        for (int i = 0; i < 3; ++i)
            if (!at(f[i], out[i])) return false;
        out[3] = out[0];
        n = static_cast<int>(size);
        return true;
    case 5:
        for (int i = 0; i < 4; ++i)
            if (!at(f[i], out[i])) return false;
        out[4] = out[0];
        n = 5;
        return true;
    default: return false;
    }
}

// Whether a face that a record carries is sound: its size at most 5, and for a face that
// draws, every reference it uses inside the vertex list.
bool face_is_sound(const mb_long* f, mb_ulong size, int vertex_count)
{
    if (size > MB_Polyface_Mesh::k_max_size) return false;
    if (size <= 1) return true;
    int out[5];
    int n = 0;
    if (face_run(f, size, vertex_count, out, n)) return true;
    // A size-2 face whose references are all hidden draws nothing and is sound.
    return size == 2 && f[0] < 0 && f[1] < 0 && f[2] < 0 && f[3] < 0;
}

}  // namespace

MB_Polygon_Mesh::MB_Polygon_Mesh(int m, int n, int dm, int dn)
    : m_m(m), m_n(n), m_m_density(dm), m_n_density(dn)
{
    const std::optional<std::size_t> total = grid_count(m, n, 0);
    const std::optional<std::size_t> density = grid_count(dm, dn, 0);
    if (total && density && *total <= static_cast<std::size_t>(std::numeric_limits<int>::max()) - *density)
        Qe_Pt_Set::init(static_cast<int>(*total + *density));
}

MB_Polygon_Mesh::~MB_Polygon_Mesh() = default;

MB_Result MB_Polygon_Mesh::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_polygon_mesh_opcode, [&](MB_Record_Writer& w) {
        const unsigned char flags = static_cast<unsigned char>((m_m_closed ? 1 : 0) | (m_n_closed ? 2 : 0));
        w.int32(m_m).int32(m_n).int32(m_m_density).int32(m_n_density).byte(flags).points(vertices());
    });
}

MB_Result MB_Polygon_Mesh::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    return mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& r) {
        mb_long m = 0, n = 0, dm = 0, dn = 0;
        unsigned char flags = 0;
        Qe_Pt_Set read;
        r.int32(m).int32(n).int32(dm).int32(dn).byte(flags).points(read);
        if (!r.ok()) return;
        const std::optional<std::size_t> needed = needed_vertices(m, n, dm, dn);
        if (!needed || *needed > static_cast<std::size_t>(read.count())) {
            r.fail(MB_Result::Invalid_Data);
            return;
        }
        m_m = m;
        m_n = n;
        m_m_density = dm;
        m_n_density = dn;
        // Other flag bytes leave both flags as they were.
        if (flags <= 3) {
            m_m_closed = flags & 1;
            m_n_closed = flags & 2;
        }
        vertices() = read;
    });
}

MB_Result MB_Polygon_Mesh::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

bool MB_Polygon_Mesh::copy_to(MB_Object*& target)
{
    auto fill = [&](MB_Polygon_Mesh& t) {
        t.vertices() = vertices();
        t.m_m = m_m;
        t.m_n = m_n;
        t.m_m_closed = m_m_closed;
        t.m_n_closed = m_n_closed;
        t.m_m_density = m_m_density;
        t.m_n_density = m_n_density;
        t.m_word = m_word;
        t.m_runs = m_runs;
    };
    return mb_copy_entity<MB_Polygon_Mesh>(
        *this, target,
        [&] {
            auto* made = new MB_Polygon_Mesh;
            fill(*made);
            return made;
        },
        fill);
}

Qe_Pt MB_Polygon_Mesh::get_point(int i, int j) const
{
    if (i < 0 || j < 0 || i >= m_m || j >= m_n) return Qe_Pt();
    const long long index = static_cast<long long>(i) * m_n + j;
    return index < count() ? points()[index] : Qe_Pt();
}

void MB_Polygon_Mesh::add_point(Qe_Pt& p, int index)
{
    if (index < 0 || index >= count()) return;
    points()[index] = p;
    if (index == count() - 1) build_draw();
}

char MB_Polygon_Mesh::pick(const Qe_Pt&, Qe_Pt_List&, double, Qe_Pt&, int&, int&)
{
    return 0;
}

void MB_Polygon_Mesh::build_draw()
{
    if (count() == 0) return;
    const bool density = m_m_density >= 1 && m_n_density >= 1;
    const int rows = density ? m_m_density : m_m;
    const int cols = density ? m_n_density : m_n;
    const std::optional<std::size_t> base = density ? grid_count(m_m, m_n, 0) : std::size_t{0};
    const std::optional<std::size_t> grid = grid_count(rows, cols, 0);
    std::vector<Qe_Pt> pts;
    std::vector<mb_ulong> counts;
    if (base && grid && rows > 0 && cols > 0 && *base + *grid <= static_cast<std::size_t>(count())) {
        const Qe_Pt* v = points() + *base;
        auto at = [&](int i, int j) { return v[static_cast<std::size_t>(i) * cols + j]; };
        for (int i = 0; i < rows; ++i) {
            for (int j = 0; j < cols; ++j) pts.push_back(at(i, j));
            if (m_n_closed) pts.push_back(at(i, 0));
            counts.push_back(static_cast<mb_ulong>(cols + (m_n_closed ? 1 : 0)));
        }
        for (int j = 0; j < cols; ++j) {
            for (int i = 0; i < rows; ++i) pts.push_back(at(i, j));
            if (m_m_closed) pts.push_back(at(0, j));
            counts.push_back(static_cast<mb_ulong>(rows + (m_m_closed ? 1 : 0)));
        }
    }
    m_runs.free();
    if (!counts.empty()) m_runs.init(static_cast<mb_ulong>(counts.size()), counts.data(), pts.data());
    rect_of_runs(rect(), m_runs);
}

void MB_Polygon_Mesh::draw_key_point(HDC, Qe_Qdc&, const Qe_Tran&) {}

void MB_Polygon_Mesh::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    long colour = general().color();
    if (colour == qdc.black_color()) colour = (colour ^ 0xFFFFFF) & 0xFFFFFF;
    draw_runs(hdc, qdc, m_runs, t, colour);
}

MB_Polyface_Mesh::MB_Polyface_Mesh(int m, int n)
    : MB_Vertex_Geom(m), m_meshm(static_cast<unsigned long>(std::max(m, 0))),
      m_meshn(static_cast<unsigned long>(std::max(n, 0))),
      m_refs(static_cast<std::size_t>(std::max(n, 0)) * k_refs, 0),
      m_sizes(static_cast<std::size_t>(std::max(n, 0)), 0)
{
}

MB_Polyface_Mesh::~MB_Polyface_Mesh() = default;

MB_Result MB_Polyface_Mesh::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_polyface_mesh_opcode, [&](MB_Record_Writer& w) {
        w.int32(static_cast<mb_long>(m_meshm)).int32(static_cast<mb_long>(m_meshn)).int32(m_polyline_flag);
        for (mb_long r : m_refs) w.int32(r);
        for (mb_ulong s : m_sizes) w.int32(static_cast<mb_long>(s));
        w.points(vertices());
    });
}

MB_Result MB_Polyface_Mesh::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    return mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& r) {
        mb_long meshm = 0, meshn = 0, flag = 0;
        r.int32(meshm).int32(meshn).int32(flag);
        // The faces must fit in what the record can still hold before anything is made.
        r.then([&] { return file.check_length(meshn, k_face_bytes, MB_File_IO::k_max_points); });
        if (!r.ok()) return;
        const auto faces = static_cast<std::size_t>(meshn);
        std::vector<mb_long> refs(faces * k_refs);
        std::vector<mb_ulong> sizes(faces);
        for (mb_long& v : refs) r.int32(v);
        for (mb_ulong& s : sizes) {
            mb_long v = 0;
            r.int32(v);
            s = static_cast<mb_ulong>(v);
        }
        Qe_Pt_Set read;
        r.points(read);
        if (!r.ok()) return;
        for (std::size_t f = 0; f < faces; ++f) {
            if (!face_is_sound(&refs[f * k_refs], sizes[f], read.count())) {
                r.fail(MB_Result::Invalid_Data);
                return;
            }
        }
        m_meshm = static_cast<mb_ulong>(meshm);
        m_meshn = static_cast<mb_ulong>(meshn);
        m_polyline_flag = static_cast<unsigned short>(flag & 0xFFFF);
        m_refs = std::move(refs);
        m_sizes = std::move(sizes);
        vertices() = read;
    });
}

MB_Result MB_Polyface_Mesh::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

bool MB_Polyface_Mesh::copy_to(MB_Object*& target)
{
    auto fill = [&](MB_Polyface_Mesh& t) {
        t.vertices() = vertices();
        t.m_meshm = m_meshm;
        t.m_meshn = m_meshn;
        t.m_refs = m_refs;
        t.m_sizes = m_sizes;
        t.m_polyline_flag = m_polyline_flag;
        t.m_word = m_word;
        t.m_runs = m_runs;
    };
    return mb_copy_entity<MB_Polyface_Mesh>(
        *this, target,
        [&] {
            auto* made = new MB_Polyface_Mesh;
            fill(*made);
            return made;
        },
        fill);
}

void MB_Polyface_Mesh::add_point(Qe_Pt& p, int index)
{
    if (index >= 0 && index < count()) points()[index] = p;
}

void MB_Polyface_Mesh::set_face_pos(int value, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_refs.size()) return;
    m_refs[static_cast<std::size_t>(index)] = value;
    if (static_cast<std::size_t>(index) + 1 == m_refs.size()) build_draw();
}

void MB_Polyface_Mesh::set_size(unsigned long value, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_sizes.size()) return;
    m_sizes[static_cast<std::size_t>(index)] = static_cast<mb_ulong>(value);
}

long MB_Polyface_Mesh::face_pos(unsigned long f, int r) const
{
    if (f >= m_sizes.size() || r < 0 || r >= k_refs) return 0;
    return m_refs[f * k_refs + static_cast<std::size_t>(r)];
}

unsigned long MB_Polyface_Mesh::size(unsigned long f) const
{
    return f < m_sizes.size() ? m_sizes[f] : 0;
}

bool MB_Polyface_Mesh::face_run(unsigned long f, int out[5], int& n) const
{
    if (f >= m_sizes.size()) return false;
    return ::face_run(&m_refs[f * k_refs], m_sizes[f], count(), out, n);
}

char MB_Polyface_Mesh::pick(const Qe_Pt&, Qe_Pt_List&, double, Qe_Pt&, int&, int&)
{
    return 0;
}

void MB_Polyface_Mesh::build_draw()
{
    std::vector<Qe_Pt> pts;
    std::vector<mb_ulong> counts;
    for (std::size_t f = 0; f < m_sizes.size(); ++f) {
        const mb_long* refs = &m_refs[f * k_refs];
        mb_ulong& size = m_sizes[f];
        // Faces that can draw nothing keep no size: one point, or every reference hidden.
        if (size <= 1 || (size == 2 && refs[0] < 0 && refs[1] < 0 && refs[2] < 0 && refs[3] < 0)) {
            size = 0;
            continue;
        }
        int run[5];
        int n = 0;
        if (!::face_run(refs, size, count(), run, n)) continue;
        for (int i = 0; i < n; ++i) pts.push_back(points()[run[i]]);
        counts.push_back(static_cast<mb_ulong>(n));
    }
    m_runs.free();
    if (!counts.empty()) m_runs.init(static_cast<mb_ulong>(counts.size()), counts.data(), pts.data());
    rect_of_runs(rect(), m_runs);
}

void MB_Polyface_Mesh::draw_key_point(HDC, Qe_Qdc&, const Qe_Tran&) {}

void MB_Polyface_Mesh::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    draw_runs(hdc, qdc, m_runs, t, general().color());
}
