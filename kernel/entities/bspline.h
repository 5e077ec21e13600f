#pragma once

// MB_Bspline: a spline curve given by fit points (the curve passes through them; the only
// form the stream keeps) or by control points with a degree and a knot vector. Its shape
// comes from the curve library: fit points through the fit-spline job, control points
// through gr_splinegen1, both tessellated with the fixed value 1.3.
//
// Record 'W': the fit point set only, with no extended-data block; control points, degree,
// tangents, knots, flag, tolerance and weight are not stored. A spline given by control
// points is written as fit points sampled along its curve (sampled_fit_points), so that it
// reads back as a fit spline of the same shape.

#include <algorithm>
#include <vector>

#include "geometry/point.h"
#include "geometry/tolerance.h"
#include "geometry/pt_set.h"
#include "kernel/database/drawable.h"

class Generate_Spline;
class Qe_Pt_List;

class DRAKMERE_API MB_Bspline : public MB_Geom {
public:
    // No points, zero tangents, fit tolerance 0, degree 3, flag 0, no knots, weight 1.
    MB_Bspline();
    // ctl_count control points and fit_count fit points at the origin (none for counts
    // ≤ 0), fit tolerance 1e-5; the rest as above.
    MB_Bspline(int ctl_count, int fit_count);
    // Deep: the copy owns its own knot array.
    MB_Bspline(const MB_Bspline& other);
    MB_Bspline& operator=(const MB_Bspline& other);
    ~MB_Bspline() override;

    MB_ID object_id() const override { return ID_BSPLINE; }
    MB_Result serialize(MB_File_IO& file) override;
    // Only the single-byte 'W'; any other opcode reads nothing (Invalid_Data).
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new spline; a spline target takes every member (points,
    // tangents, degree, flag, tolerance, knots and weight). Nothing is recorded.
    bool copy_to(MB_Object*& target) override;

    // i ≥ 0: fit point i; −15 and −16: the start and end tangent as points.
    Qe_Pt get_point(int key) override;
    // −100 length and −101 area of the edge points.
    double get_real(int key) override;
    // −209 fit point count, −210 control point count.
    long get_int(int key) override;
    // i ≥ 0 within the fit points: that fit point (not recorded).
    void set_point(long key, const Qe_Pt& value) override;

    // The nearest point of the edge points when it lies within tol (in the xy plane):
    // kind 55.
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // Without points nothing changes; a failed fit keeps the earlier display; control
    // points the library refuses draw as their polygon (at z = 0).
    void build_draw() override;
    // A grip at every fit point, on the raster device's own context.
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    // Control and fit points are transformed (recorded first); tangents and knots stay.
    void translate(const Qe_Tran& t, short mode) override;

    Qe_Pt_Set& ctlpts() { return m_ctlpts; }
    Qe_Pt_Set& fitpts() { return m_fitpts; }
    short degree() const { return m_degree; }
    void degree(short d) { m_degree = d; }
    short spline_flag() const { return m_spline_flag; }
    // Recorded.
    void spline_flag(short f);
    const Qe_Uvec& starttangent() const { return m_start_tangent; }
    const Qe_Uvec& endtangent() const { return m_end_tangent; }
    // Recorded; the three-double forms store the normalised direction.
    void starttangent(double x, double y, double z);
    void starttangent(const Qe_Uvec& u);
    void endtangent(double x, double y, double z);
    void endtangent(const Qe_Uvec& u);
    double fittol() const { return m_fit_tol; }
    void fittol(double t) { m_fit_tol = t; }
    double weight() const { return m_weight; }
    void weight(double w) { m_weight = w; }

    // The cubic through the fit points that the display follows, as control points and knots
    // (control points + 4). False, outputs untouched, without fit points or when the fit fails.
    bool fitted_control(std::vector<Qe_Pt>& control, std::vector<double>& knots) const;

    // For a spline given by control points only: points along its curve (at z = 0) through
    // which the fit the display makes of fit points passes within sampling_tolerance of the
    // curve everywhere (checked between every two points; at most k_max_sampled_points of
    // them, and no more than the fitter takes: past that, the finest points it fitted). False,
    // out untouched, with fit points, or when the control points make no curve or no fit.
    static constexpr int k_max_sampled_points = 1 << 14;
    bool sampled_fit_points(std::vector<Qe_Pt>& out) const;
    // resfit, or a hundred-thousandth of size (the control polygon's larger extent) where
    // that is finer; never below resabs.
    static double sampling_tolerance(double size)
    {
        const double fit = resfit > 0.0 ? resfit : 1e-3;
        return std::max(resabs, std::min(fit, 1e-5 * size));
    }

    double* knot() const { return m_knots; }
    unsigned long knot_number() const { return m_knot_count; }
    // Sets the count, never beyond the allocated array: the copy and the tessellation
    // read that many knots.
    void knot_number(unsigned long n);
    // Frees the old array and allocates n knots (not initialised) for the caller to fill;
    // the count becomes n, or 0 when the array cannot be had.
    void create_kont_array(unsigned long n);
    // The number of knots the array holds.
    unsigned long knot_capacity() const { return m_knot_capacity; }

private:
    void copy_members(const MB_Bspline& other);
    // Runs the fit through the fit points into job.
    void fit_job(Generate_Spline& job) const;
    // The tessellated curve; empty when it could not be had.
    std::vector<Qe_Pt> curve_points();

    Qe_Pt_Set m_ctlpts;
    Qe_Pt_Set m_fitpts;
    Qe_Uvec m_start_tangent;
    Qe_Uvec m_end_tangent;
    double m_fit_tol = 0.0;
    short m_degree = 3;
    short m_spline_flag = 0;
    unsigned long m_knot_count = 0;
    unsigned long m_knot_capacity = 0;
    double* m_knots = nullptr;
    double m_weight = 1.0;
};
