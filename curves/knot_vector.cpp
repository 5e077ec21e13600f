#include "curves/knot_vector.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <new>

#include "curves/curve_status.h"

namespace {
bool valid_shape(int degree, int count)
{
    return count >= 0 && count <= g_max_knots && degree >= 1 && degree <= g_max_degree;
}
}  // namespace

CKnotVector::CKnotVector(int degree, int count, int& status)
    : CDoubleArray(valid_shape(degree, count) ? count : 0, status)
{
    m_degree = degree;
    if (!valid_shape(degree, count)) status = curve_status::inconsistent;
}

CKnotVector::CKnotVector(const CKnotVector& other, int& status) : CDoubleArray(other, status)
{
    m_degree = other.m_degree;
    m_length = other.m_length;
}

CKnotVector::CKnotVector(const CKnotVector& source, double a, double b, int& status)
{
    m_degree = source.m_degree;
    status = curve_status::bad_argument;
    if (!(b - a >= g_curve_eps) || !std::isfinite(a) || !std::isfinite(b) || source.m_count == 0) return;
    const int p = m_degree;
    if ((status = insert_knots(0, a, p + 1)) != curve_status::ok) return;
    int s = 0;
    if (source.clamped()) {
        s = source.bisect(a, 0, source.m_count - 1);
        if (s < 0) s = 0;
    } else if ((status = source.find_span(a, s)) != curve_status::ok) {
        return;
    }
    // The knots of source after a and before b, within 1e-9 kept off both ends so that
    // no span of the new vector is shorter than that.
    for (int i = s;; ++i) {
        const double k = source.knot(i);
        if (!(k < b - g_curve_eps)) break;
        if (k > a + g_curve_eps && (status = append(k)) != curve_status::ok) return;
        if (m_count > g_max_knots) {
            status = curve_status::too_many_knots;
            return;
        }
    }
    m_length = b - a;
    status = curve_status::ok;
}

double CKnotVector::knot(int i) const
{
    if (m_count == 0) return 0.0;
    int q = i / m_count, r = i % m_count;
    if (r < 0) {
        r += m_count;
        --q;
    }
    return m_data[r] + q * m_length;
}

int CKnotVector::set_knot(int i, double v)
{
    if (i == m_count && m_count > 0) {
        m_length = v - m_data[0];
        return curve_status::ok;
    }
    if (i < 0 || i >= m_count) return curve_status::bad_argument;
    m_data[i] = v;
    return curve_status::ok;
}

int CKnotVector::insert_knots(int i, double v, int k)
{
    if (k < 0) return curve_status::inconsistent;
    if (k > g_max_knots - m_count) return curve_status::too_many_knots;
    int st = open_gap(i, k);
    if (st != curve_status::ok) return st;
    for (int j = 0; j < k; ++j) m_data[i + j] = v;
    return curve_status::ok;
}

int CKnotVector::check()
{
    const int p = m_degree;
    if (p < 1 || p > g_max_degree || m_count > g_max_knots || m_count < (p < 3 ? p : 3) || m_count < 1)
        return curve_status::inconsistent;
    // Non-finite knots or period would make every later comparison meaningless.
    if (!std::isfinite(m_length) || !(m_length >= g_curve_eps)) return curve_status::inconsistent;
    for (int i = 0; i < m_count; ++i)
        if (!std::isfinite(m_data[i])) return curve_status::inconsistent;
    int run = 1;
    for (int i = 1; i < m_count; ++i) {
        if (!(m_data[i] >= m_data[i - 1])) return curve_status::inconsistent;
        if (m_data[i] - m_data[i - run] <= g_curve_eps) {
            m_data[i] = m_data[i - run];
            ++run;
            // The run at the start may hold p + 1 knots (a clamped start).
            if (run > p + (i + 1 == run ? 1 : 0)) return curve_status::inconsistent;
        } else {
            run = 1;
        }
    }
    if (!(m_data[0] + m_length >= m_data[m_count - 1] + g_curve_eps)) return curve_status::inconsistent;
    return curve_status::ok;
}

bool CKnotVector::clamped() const
{
    return m_count > m_degree && m_data[m_degree] == m_data[0];
}

int CKnotVector::find_span(double u, int& span) const
{
    const int c = m_count;
    if (c == 0 || !std::isfinite(u)) return curve_status::singular;
    int periods = 0;
    if (period() != 0.0) {
        const double a = m_data[0], l = m_length;
        if (std::fabs(u - a) > 9.0 * l) return curve_status::singular;
        // At most nine steps each way: the distance was tested above.
        for (int i = 0; i < 10 && u >= a + l; ++i) u -= l, ++periods;
        for (int i = 0; i < 10 && u < a; ++i) u += l, --periods;
    }
    int s = -1;
    // The last span found and its neighbours first; most calls walk a curve in order.
    for (int guess : {m_last_span, m_last_span + 1, m_last_span + 2, m_last_span - 1}) {
        if (guess >= 0 && guess < c && knot(guess) <= u && (guess == c - 1 || u < knot(guess + 1))) {
            s = guess;
            break;
        }
    }
    if (s < 0) s = bisect(u, 0, c - 1);
    if (s < 0) s = 0;
    while (s < c - 1 && !(knot(s + 1) > knot(s))) ++s;  // skip empty spans
    m_last_span = s;
    span = s + periods * c;
    return curve_status::ok;
}

void CKnotVector::basis(int s, double u, double* values, double* d1, double* d2) const
{
    const int p = m_degree;
    // ndu holds the basis functions of every degree (upper triangle) and the knot
    // differences (lower), as in the usual derivative triangle.
    double ndu[g_max_degree + 1][g_max_degree + 1];
    double left[g_max_degree + 1], right[g_max_degree + 1];
    ndu[0][0] = 1.0;
    for (int j = 1; j <= p; ++j) {
        left[j] = u - knot(s + 1 - j);
        right[j] = knot(s + j) - u;
        double saved = 0.0;
        for (int r = 0; r < j; ++r) {
            ndu[j][r] = right[r + 1] + left[j - r];
            double temp = ndu[j][r] != 0.0 ? ndu[r][j - 1] / ndu[j][r] : 0.0;
            ndu[r][j] = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        ndu[j][j] = saved;
    }
    for (int j = 0; j <= p; ++j) values[j] = ndu[j][p];
    if (!d1 && !d2) return;
    const int nd = d2 ? 2 : 1;
    double a[2][g_max_degree + 1];
    for (int r = 0; r <= p; ++r) {
        int s1 = 0, s2 = 1;
        a[0][0] = 1.0;
        double ders[3] = {values[r], 0.0, 0.0};
        for (int k = 1; k <= nd; ++k) {
            double d = 0.0;
            int rk = r - k, pk = p - k;
            if (r >= k) {
                a[s2][0] = ndu[pk + 1][rk] != 0.0 ? a[s1][0] / ndu[pk + 1][rk] : 0.0;
                d = a[s2][0] * ndu[rk][pk];
            }
            int j1 = rk >= -1 ? 1 : -rk;
            int j2 = (r - 1 <= pk) ? k - 1 : p - r;
            for (int j = j1; j <= j2; ++j) {
                a[s2][j] = ndu[pk + 1][rk + j] != 0.0 ? (a[s1][j] - a[s1][j - 1]) / ndu[pk + 1][rk + j] : 0.0;
                d += a[s2][j] * ndu[rk + j][pk];
            }
            if (r <= pk) {
                a[s2][k] = ndu[pk + 1][r] != 0.0 ? -a[s1][k - 1] / ndu[pk + 1][r] : 0.0;
                d += a[s2][k] * ndu[r][pk];
            }
            ders[k] = d;
            std::swap(s1, s2);
        }
        if (d1) d1[r] = ders[1] * p;
        if (d2) d2[r] = ders[2] * p * (p - 1);
    }
}

int CKnotVector::reverse_knots()
{
    const int c = m_count, p = m_degree;
    if (c == 0) return curve_status::ok;
    const double top = knot(p + c);
    double* fresh = new (std::nothrow) double[static_cast<size_t>(c)];
    if (!fresh) return curve_status::no_memory;
    for (int i = 0; i < c; ++i) fresh[i] = top - knot(p + c - i);
    std::memcpy(m_data, fresh, sizeof(double) * c);
    delete[] fresh;
    return curve_status::ok;
}

namespace {
void put_le(std::uint8_t*& out, const void* src, int n)
{
    // The machine is little-endian (x86_64); the bytes go out as they are held.
    std::memcpy(out, src, static_cast<size_t>(n));
    out += n;
}
}  // namespace

void CKnotVector::write_flat(std::uint8_t* out) const
{
    std::int32_t c = m_count, p = m_degree;
    put_le(out, &c, 4);
    put_le(out, &p, 4);
    put_le(out, &m_length, 8);
    for (int i = 0; i < m_count; ++i) put_le(out, &m_data[i], 8);
}
