#pragma once

// A curve seen through a point map: each point of the base curve passed through the map.
// Neither base nor map is owned. It evaluates points only: frames, derivatives and length
// are not available on it (-1).

#include "curves/curve.h"

class FENDRAL_API CMappedCurve : public CCurve {
public:
    // 2100 when base or map is missing.
    CMappedCurve(const CCurve* base, const CPointMap* map, int& status);

    const CCurve* base() const { return m_base; }
    const CPointMap* map() const { return m_map; }

    CCurve* clone() const override;
    double start_param() const override;
    double end_param() const override;
    double period() const override;
    int point(double t, Qe_Pt& p) const override;
    int curve_flag() const override;

private:
    const CCurve* m_base;
    const CPointMap* m_map;
};
