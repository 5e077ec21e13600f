#pragma once

// The offset of a curve: each point displaced by the distance d along axis x tangent
// (to the left of the direction of travel for d > 0 and the axis (0, 0, 1)). The base
// curve is not owned; the offset keeps its own parameter range inside the base's.

#include "curves/curve.h"

class FENDRAL_API COffsetCurve : public CCurve {
public:
    // The axis is normalised here: one offset point per parameter whatever its length.
    // 2100 without a base curve, 2103 for an axis shorter than 1e-9.
    COffsetCurve(const CCurve* base, double d, const Qe_Vec& axis, int& status);

    const CCurve* base() const { return m_base; }
    double distance() const { return m_d; }
    const Qe_Vec& axis() const { return m_axis; }

    CCurve* clone() const override;
    double start_param() const override { return m_start; }
    double end_param() const override { return m_end; }
    double period() const override;
    // Curvature k / |1 - k d| from the base frame: past the centre of curvature the
    // offset runs backwards, and tangent and speed turn with it.
    int local_frame(double t, Qe_Pt& p, Qe_Vec& tangent, double& k, double* speed = nullptr,
                    const Qe_Vec* axis = nullptr) const override;
    int point_and_tangent(double t, Qe_Pt& p, Qe_Vec& d) const override;
    int point(double t, Qe_Pt& p) const override;
    int curve_flag() const override;
    int sample_params(CDoubleArray& out, const double* start = nullptr, const double* end = nullptr) const override;
    int set_range(double a, double b) override;
    int set_start(double a) override;
    int set_end(double b) override;

private:
    COffsetCurve(const COffsetCurve& other);

    const CCurve* m_base;
    double m_d;
    Qe_Vec m_axis;
    double m_start, m_end;
};
