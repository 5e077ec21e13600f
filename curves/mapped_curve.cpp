#include "curves/mapped_curve.h"

#include <new>

#include "curves/curve_status.h"
#include "curves/point_map.h"

CMappedCurve::CMappedCurve(const CCurve* base, const CPointMap* map, int& status) : m_base(base), m_map(map)
{
    status = base && map ? curve_status::ok : curve_status::bad_argument;
}

CCurve* CMappedCurve::clone() const
{
    int st = curve_status::ok;
    return new (std::nothrow) CMappedCurve(m_base, m_map, st);
}

double CMappedCurve::start_param() const
{
    return m_base ? m_base->start_param() : 0.0;
}
double CMappedCurve::end_param() const
{
    return m_base ? m_base->end_param() : 0.0;
}
double CMappedCurve::period() const
{
    return m_base ? m_base->period() : 0.0;
}
int CMappedCurve::curve_flag() const
{
    return m_base ? m_base->curve_flag() : 0;
}

int CMappedCurve::point(double t, Qe_Pt& p) const
{
    if (!m_base || !m_map) return curve_status::bad_argument;
    Qe_Pt b;
    int st = m_base->point(t, b);
    if (st == curve_status::ok) p = m_map->map_point(b);
    return st;
}

int CCurve::transformed_copy(const CPointMap& map, std::unique_ptr<CCurve>& out) const
{
    int st = curve_status::ok;
    if (transforms_exactly() && map.is_affine()) {
        std::unique_ptr<CCurve> copy(clone());
        if (!copy) return curve_status::no_memory;
        if ((st = copy->transform_in_place(map)) != curve_status::ok) return st;
        out = std::move(copy);
        return curve_status::ok;
    }
    std::unique_ptr<CMappedCurve> mapped(new (std::nothrow) CMappedCurve(this, &map, st));
    if (!mapped) return curve_status::no_memory;
    if (st != curve_status::ok) return st;
    out = std::move(mapped);
    return curve_status::ok;
}
