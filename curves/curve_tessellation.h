#pragma once

// Tessellation of library curves into polylines: a malloc'ed array of points of three
// doubles and its count, released by the receiver with free.

#include "curves/point_map.h"
#include "geometry/fendral_api.h"
#include "geometry/point.h"

class CCurve;

// Sees each tessellated point with its parameter as it is made. A non-zero result stops
// the tessellation, which then returns that value to its caller.
class FENDRAL_API CPointHook {
public:
    virtual ~CPointHook();
    virtual int take(const Qe_Pt& p, double t) = 0;
};

// Growable receiver of tessellated points.
class FENDRAL_API CPointCollector {
public:
    CPointCollector() = default;
    CPointCollector(const CPointCollector&) = delete;
    CPointCollector& operator=(const CPointCollector&) = delete;
    ~CPointCollector();

    // With a hook the points go to the hook only and the array stays empty.
    explicit CPointCollector(CPointHook* hook) : m_hook(hook) {}

    // Points made so far (with a hook: points handed to it).
    int count() const { return m_count; }
    const double (*points() const)[3] { return m_points; }
    // Status 2 when the array cannot grow, or the hook's non-zero result. The parameter
    // is not kept.
    int add(const Qe_Pt& p, double t);
    // Hands the array and its count over and leaves the collector empty. Status 2100
    // when a pointer is missing; the array is handed over all the same when only the
    // count pointer is.
    int hand_out(int* count, double (**points)[3]);

    // Emits a homogeneous point: 2104 for a weight below 1e-9, otherwise the point divided
    // by its weight, mapped when a map is given, is added.
    int emit(const Qe_Pt& homogeneous, double w, double t, const CPointMap* map);

private:
    CPointHook* m_hook = nullptr;
    int m_count = 0;
    int m_capacity = 0;
    double (*m_points)[3] = nullptr;
};

// Tessellates curve with the tessellation value t (larger t, more points). Returns the
// mapped status of the entry points: 0, -1 for 2t^2 not above 1e-9, -2 out of memory, -3
// for a numeric failure. On failure *out_points is freed and set to null and *out_count
// to 0, so it must be null or a block that may be freed on entry.
FENDRAL_API int tessellate_curve(const CCurve* curve, double t, int* out_count, double (**out_points)[3]);
