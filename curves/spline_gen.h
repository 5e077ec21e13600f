#pragma once

// The outside face of the curve library: the fit-spline job and the entry points that turn
// a rational B-spline or a set of fit points into a polyline. Every array handed out is
// malloc'ed and released by the receiver with free. Results: 0 success, -1 bad argument,
// -2 out of memory, -3 inconsistent input or numeric breakdown, 933 range test.

#include "geometry/fendral_api.h"

class FENDRAL_API Generate_Spline {
public:
    constexpr Generate_Spline() = default;
    // The tangent pointers point to three doubles each (null counts as no tangent).
    // m_points gets room for point_count points, which the caller fills.
    Generate_Spline(int degree, int point_count, double fit_tol, double* const start_tangent, double* const end_tangent,
                    int tangent_flag, double tess_tol);
    // A copy owns copies of the arrays, so no array is ever released twice; when one cannot
    // be had the copy holds none of that kind (count 0).
    Generate_Spline(const Generate_Spline& other);
    Generate_Spline& operator=(const Generate_Spline& other);
    ~Generate_Spline();

    // Releases the old input and results, then stores the arguments as the constructor does.
    void init(int degree, int point_count, double fit_tol, double* const start_tangent, double* const end_tangent,
              int tangent_flag, double tess_tol);
    // Fits and tessellates; a failed run leaves the out counts 0 and the out arrays null.
    void generate();

    int m_degree = 3;
    int m_point_count = 0;
    double* m_points = nullptr;
    double m_fit_tol = 0.1;
    double m_start_tangent[3] = {0.0, 0.0, 0.0};
    double m_end_tangent[3] = {0.0, 0.0, 0.0};
    int m_tangent_flag = 0;
    double m_tess_tol = 0.1;
    int m_poly_count = 0;
    double (*m_poly_points)[3] = nullptr;
    int m_ctrl_count = 0;
    double (*m_ctrl_points)[3] = nullptr;
    int m_knot_count = 0;
    double* m_knots = nullptr;

private:
    void release();
    void store(int degree, int point_count, double fit_tol, double* const start_tangent, double* const end_tangent,
               int tangent_flag, double tess_tol);
    void copy_from(const Generate_Spline& other);
};

// Unused by the system; kept for hosts that expect it.
extern FENDRAL_API Generate_Spline g_computer_spline;

class CNURBS;

// The rational B-spline that gr_splinegen1 draws: degree, knots[0 .. ctrl_count] (one
// period and its end), control points and weights. A new curve the caller deletes; null,
// with the curve status in status, when they make none.
FENDRAL_API CNURBS* make_control_spline(int degree, int knot_count, const double* knots, int ctrl_count,
                                        const double (*ctrl)[3], const double* weights, int& status);

// The rational B-spline of the given degree on knots[0 .. ctrl_count] (one period and its
// end), control points and weights, tessellated with tess_tol into *out_count and
// *out_points when out_points is not null. The 2nd, 5th and 9th arguments are not used.
FENDRAL_API int gr_splinegen1(int degree, int, int knot_count, double* knots, double, int ctrl_count, double (*ctrl)[3],
                              double* weights, double, double tess_tol, int* out_count, double (**out_points)[3]);

// The cubic fit through the points (degree is not used) as control points, knots
// (control-point count + 4) and a tessellated polyline; each output is written when its
// pointer is not null. On failure the arrays are freed and null and the counts 0, so the
// array pointers must be null or hold blocks that may be freed on entry.
FENDRAL_API int gr_splinegen2(int degree, int point_count, double (*points)[3], double fit_tol,
                              double* const start_tangent, double* const end_tangent, int tangent_flag, double tess_tol,
                              int* out_poly_count, double (**out_poly)[3], int* out_ctrl_count, double (**out_ctrl)[3],
                              int* out_knot_count, double** out_knots);
