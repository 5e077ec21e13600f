#include "curves/band_matrix.h"

#include <cmath>
#include <new>
#include <vector>

#include "curves/curve_status.h"

namespace {
constexpr double g_pivot_eps = 1e-9;
constexpr int g_max_order = 1 << 20;  // far above any fit; keeps n*n and n*b in range
}  // namespace

CMatrix::~CMatrix() = default;

int CMatrix::solve(CPointArray& points, int first)
{
    const int n = size();
    if (!m_factored || (n > 0 && points.count() == 0)) return curve_status::bad_argument;
    std::vector<double> v(static_cast<size_t>(n));
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < n; ++i) v[i] = points[first + i].coordinate(c);
        solve(v.data());
        for (int i = 0; i < n; ++i) points[first + i].coordinate(c) = v[i];
    }
    return curve_status::ok;
}

CDenseMatrix::CDenseMatrix(int n, int& status)
{
    status = curve_status::ok;
    if (n < 0 || n > 4096) {
        status = curve_status::bad_argument;
        return;
    }
    if (n == 0) return;
    m_a.reset(new (std::nothrow) double[static_cast<size_t>(n) * n]());
    if (!m_a) {
        status = curve_status::no_memory;
        return;
    }
    m_n = n;
}

double& CDenseMatrix::element(int r, int c)
{
    if (r < 0 || c < 0 || r >= m_n || c >= m_n) return m_scratch = 0.0;
    return m_a[static_cast<size_t>(r) * m_n + c];
}

int CDenseMatrix::factor()
{
    if (m_factored) return curve_status::ok;
    const int n = m_n;
    double* a = m_a.get();
    if (n == 0 || !(std::fabs(a[0]) > g_pivot_eps)) return curve_status::singular;
    for (int i = 1; i < n; ++i) {
        double* ri = a + static_cast<size_t>(i) * n;
        for (int j = 0; j < i; ++j) {
            if (ri[j] == 0.0) continue;
            const double* rj = a + static_cast<size_t>(j) * n;
            ri[j] /= rj[j];
            for (int k = j + 1; k < n; ++k)
                if (rj[k] != 0.0) ri[k] -= ri[j] * rj[k];
        }
        if (!(std::fabs(ri[i]) > g_pivot_eps)) return curve_status::singular;
    }
    m_factored = true;
    return curve_status::ok;
}

int CDenseMatrix::solve(double* v)
{
    if (!m_factored || !v) return curve_status::bad_argument;
    const int n = m_n;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < i; ++j) v[i] -= m_a[static_cast<size_t>(i) * n + j] * v[j];
    for (int i = n - 1; i >= 0; --i) {
        for (int j = i + 1; j < n; ++j) v[i] -= m_a[static_cast<size_t>(i) * n + j] * v[j];
        v[i] /= m_a[static_cast<size_t>(i) * n + i];
    }
    return curve_status::ok;
}

CBandMatrix::CBandMatrix(int n, int b, int& status)
{
    status = curve_status::ok;
    if (n < 0 || b < 0 || n > g_max_order) {
        status = curve_status::bad_argument;
        return;
    }
    if (n == 0) return;
    if (b >= n) b = n - 1;
    m_n = n;
    m_b = b;
    m_row.reset(new (std::nothrow) size_t[static_cast<size_t>(n)]);
    if (!m_row) {
        status = curve_status::no_memory;
        m_n = m_b = 0;
        return;
    }
    size_t total = 0;
    for (int r = 0; r < n; ++r) {
        m_row[r] = total;
        total += static_cast<size_t>(hi(r) - lo(r) + 1);
    }
    m_block.reset(new (std::nothrow) double[total]());
    if (!m_block) {
        status = curve_status::no_memory;
        m_row.reset();
        m_n = m_b = 0;
    }
}

double CBandMatrix::at(int r, int c) const
{
    if (r < 0 || r >= m_n || c < lo(r) || c > hi(r)) return 0.0;
    return m_block[m_row[r] + (c - lo(r))];
}

double& CBandMatrix::element(int r, int c)
{
    if (r < 0 || r >= m_n || c < lo(r) || c > hi(r)) return m_scratch = 0.0;
    return m_block[m_row[r] + (c - lo(r))];
}

int CBandMatrix::factor()
{
    if (m_factored) return curve_status::ok;
    if (m_n == 0 || !(std::fabs(element(0, 0)) > g_pivot_eps)) return curve_status::singular;
    for (int i = 1; i < m_n; ++i) {
        for (int j = lo(i); j < i; ++j) {
            double& lij = element(i, j);
            if (lij == 0.0) continue;
            lij /= at(j, j);
            for (int k = j + 1; k <= hi(j); ++k) {
                const double ujk = at(j, k);
                if (ujk != 0.0) element(i, k) -= lij * ujk;
            }
        }
        if (!(std::fabs(at(i, i)) > g_pivot_eps)) return curve_status::singular;
    }
    m_factored = true;
    return curve_status::ok;
}

void CBandMatrix::forward(double* v, int stride) const
{
    for (int i = 0; i < m_n; ++i)
        for (int j = lo(i); j < i; ++j) v[i * stride] -= at(i, j) * v[j * stride];
}

void CBandMatrix::backward(double* v, int stride) const
{
    for (int i = m_n - 1; i >= 0; --i) {
        for (int j = i + 1; j <= hi(i); ++j) v[i * stride] -= at(i, j) * v[j * stride];
        v[i * stride] /= at(i, i);
    }
}

int CBandMatrix::solve(double* v)
{
    if (!m_factored || !v) return curve_status::bad_argument;
    forward(v, 1);
    backward(v, 1);
    return curve_status::ok;
}

CCyclicMatrix::CCyclicMatrix(CBandMatrix* band, int a, int& status) : m_band(band)
{
    status = curve_status::bad_argument;
    if (!m_band || a < 1 || a > 64) return;
    m_nb = m_band->size();
    m_a = a;
    const size_t border = static_cast<size_t>(m_nb) * a;
    m_cols.reset(new (std::nothrow) double[border + 1]());
    m_rows.reset(new (std::nothrow) double[border + 1]());
    m_corner.reset(new (std::nothrow) CDenseMatrix(a, status));
    if (!m_cols || !m_rows || !m_corner) status = curve_status::no_memory;
    if (status != curve_status::ok) m_nb = m_a = 0;
}

double& CCyclicMatrix::element(int r, int c)
{
    const int n = m_nb + m_a;
    if (n == 0) return m_scratch = 0.0;
    r %= n;
    c %= n;
    if (r < 0) r += n;
    if (c < 0) c += n;
    if (r < m_nb && c < m_nb) return m_band->element(r, c);
    if (r < m_nb) return m_cols[static_cast<size_t>(r) * m_a + (c - m_nb)];
    if (c < m_nb) return m_rows[static_cast<size_t>(r - m_nb) * m_nb + c];
    return m_corner->element(r - m_nb, c - m_nb);
}

int CCyclicMatrix::factor()
{
    if (m_factored) return curve_status::ok;
    if (m_a == 0) return curve_status::singular;
    int st = m_nb > 0 ? m_band->factor() : curve_status::ok;
    if (st != curve_status::ok) return st;
    const int nb = m_nb, a = m_a;
    // Border columns become L^-1 C, border rows R U^-1 (solved through the transpose).
    for (int k = 0; k < a; ++k) m_band->forward(m_cols.get() + k, a);
    for (int k = 0; k < a; ++k) {
        double* r = m_rows.get() + static_cast<size_t>(k) * nb;
        for (int j = 0; j < nb; ++j) {
            for (int i = 0; i < j; ++i) r[j] -= r[i] * m_band->at(i, j);
            r[j] /= m_band->at(j, j);
        }
    }
    for (int i = 0; i < a; ++i)
        for (int j = 0; j < a; ++j) {
            double s = 0.0;
            for (int k = 0; k < nb; ++k)
                s += m_rows[static_cast<size_t>(i) * nb + k] * m_cols[static_cast<size_t>(k) * a + j];
            m_corner->element(i, j) -= s;
        }
    st = m_corner->factor();
    if (st == curve_status::ok) m_factored = true;
    return st;
}

int CCyclicMatrix::solve(double* v)
{
    if (!m_factored || !v) return curve_status::bad_argument;
    const int nb = m_nb, a = m_a;
    if (nb > 0) m_band->forward(v, 1);
    for (int i = 0; i < a; ++i)
        for (int k = 0; k < nb; ++k) v[nb + i] -= m_rows[static_cast<size_t>(i) * nb + k] * v[k];
    m_corner->solve(v + nb);
    for (int k = 0; k < nb; ++k)
        for (int j = 0; j < a; ++j) v[k] -= m_cols[static_cast<size_t>(k) * a + j] * v[nb + j];
    if (nb > 0) m_band->backward(v, 1);
    return curve_status::ok;
}
