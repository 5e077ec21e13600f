#pragma once

// Status values of the curve library. Inside the library every operation returns one of
// these; the exported entry points map them to their own results (gr_splinegen1/2).

namespace curve_status {
inline constexpr int ok = 0;
inline constexpr int no_memory = 2;
inline constexpr int no_result = 14;  // nothing found, or not available on this kind
inline constexpr int bad_argument = 2100;
inline constexpr int too_many_knots = 2101;
inline constexpr int inconsistent = 2102;
inline constexpr int zero_vector = 2103;
inline constexpr int zero_weight = 2104;
inline constexpr int out_of_range = 2105;
inline constexpr int singular = -1;  // also the result of operations a kind lacks
}  // namespace curve_status

// Limits shared by the knot vectors and the fit.
inline constexpr int g_max_knots = 1640;
inline constexpr int g_max_degree = 9;
inline constexpr double g_curve_eps = 1e-9;

// The result of the exported entry points for an internal status.
constexpr int map_curve_status(int status)
{
    switch (status) {
    case curve_status::ok: return 0;
    case curve_status::no_memory: return -2;
    case curve_status::bad_argument: return -1;
    case curve_status::out_of_range: return 933;
    default: return -3;
    }
}
