#include "curves/curve_arrays.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include "curves/curve_status.h"

CDoubleArray::CDoubleArray(int count, int& status)
{
    status = curve_status::ok;
    if (count <= 0) return;
    m_data = new (std::nothrow) double[static_cast<size_t>(count)]();
    if (!m_data) {
        status = curve_status::no_memory;
        return;
    }
    m_count = m_capacity = count;
}

CDoubleArray::CDoubleArray(const CDoubleArray& other, int& status) : CDoubleArray(other.m_count, status)
{
    if (status == curve_status::ok && m_count > 0) std::memcpy(m_data, other.m_data, sizeof(double) * m_count);
    m_grow = other.m_grow;
}

CDoubleArray::~CDoubleArray()
{
    delete[] m_data;
}

int CDoubleArray::open_gap(int i, int k)
{
    if (k < 0 || i < 0 || i > m_count || k > INT_MAX - m_count) return curve_status::bad_argument;
    if (m_count + k > m_capacity) {
        int cap = m_capacity + std::max(k, m_grow);
        if (cap < m_count + k) cap = m_count + k;
        double* block = new (std::nothrow) double[static_cast<size_t>(cap)]();
        if (!block) return curve_status::no_memory;
        if (m_count > 0) std::memcpy(block, m_data, sizeof(double) * m_count);
        delete[] m_data;
        m_data = block;
        m_capacity = cap;
    }
    if (m_count > i) std::memmove(m_data + i + k, m_data + i, sizeof(double) * (m_count - i));
    m_count += k;
    return curve_status::ok;
}

int CDoubleArray::append(double v)
{
    return insert(m_count, v);
}

int CDoubleArray::insert(int i, double v)
{
    int st = open_gap(i, 1);
    if (st == curve_status::ok) m_data[i] = v;
    return st;
}

void CDoubleArray::remove(int i, int k)
{
    if (i < 0 || i >= m_count || k <= 0) return;
    if (k >= m_count - i) {
        m_count = i;
        return;
    }
    std::memmove(m_data + i, m_data + i + k, sizeof(double) * (m_count - i - k));
    m_count -= k;
}

void CDoubleArray::release()
{
    delete[] m_data;
    m_data = nullptr;
    m_count = m_capacity = 0;
}

void CDoubleArray::reverse()
{
    std::reverse(m_data, m_data + m_count);
}

int CDoubleArray::shrink()
{
    if (m_capacity == m_count) return curve_status::ok;
    if (m_count == 0) {
        release();
        return curve_status::ok;
    }
    double* block = new (std::nothrow) double[static_cast<size_t>(m_count)];
    if (!block) return curve_status::no_memory;
    std::memcpy(block, m_data, sizeof(double) * m_count);
    delete[] m_data;
    m_data = block;
    m_capacity = m_count;
    return curve_status::ok;
}

int CDoubleArray::bisect(double v, int lo, int hi) const
{
    lo = std::max(lo, 0);
    hi = std::min(hi, m_count - 1);
    if (lo > hi || !(m_data[lo] <= v)) return lo - 1;
    while (lo < hi) {  // invariant: m_data[lo] <= v
        int mid = lo + (hi - lo + 1) / 2;
        if (m_data[mid] <= v)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

bool CDoubleArray::find(double v, double tol, int& index) const
{
    if (m_count == 0 || !(v >= m_data[0] - tol)) {
        index = -1;
        return false;
    }
    index = bisect(v + tol, 0, m_count - 1);
    return std::fabs(m_data[index] - v) <= tol;
}

int CDoubleArray::insert_sorted(double v, double tol)
{
    int i = bisect(v, 0, m_count - 1);  // last element not greater than v, or -1
    if (i >= 0 && std::fabs(m_data[i] - v) <= tol) return curve_status::ok;
    if (i + 1 < m_count && std::fabs(m_data[i + 1] - v) <= tol) return curve_status::ok;
    return insert(i + 1, v);
}

CPointArray::CPointArray(const CPointArray& other, int& status)
{
    status = reserve(other.m_count);
    if (status != curve_status::ok) return;
    if (other.m_count > 0) std::memcpy(static_cast<void*>(m_data), other.m_data, sizeof(Qe_Pt) * other.m_count);
    m_count = other.m_count;
}

CPointArray::~CPointArray()
{
    delete[] m_data;
}

int CPointArray::reserve(int n)
{
    if (n <= m_capacity) return curve_status::ok;
    int cap = std::max(n, m_capacity + 16);
    Qe_Pt* block = new (std::nothrow) Qe_Pt[static_cast<size_t>(cap)];
    if (!block) return curve_status::no_memory;
    std::copy(m_data, m_data + m_count, block);
    delete[] m_data;
    m_data = block;
    m_capacity = cap;
    return curve_status::ok;
}

int CPointArray::append(const Qe_Pt& p)
{
    return insert(m_count, p);
}

int CPointArray::insert(int i, const Qe_Pt& p)
{
    if (i < 0 || i > m_count) return curve_status::bad_argument;
    if (m_count == INT_MAX) return curve_status::no_memory;
    int st = reserve(m_count + 1);
    if (st != curve_status::ok) return st;
    std::copy_backward(m_data + i, m_data + m_count, m_data + m_count + 1);
    m_data[i] = p;
    ++m_count;
    return curve_status::ok;
}

void CPointArray::remove(int i, int k)
{
    if (i < 0 || i >= m_count || k <= 0) return;
    if (k >= m_count - i) {
        m_count = i;
        return;
    }
    std::copy(m_data + i + k, m_data + m_count, m_data + i);
    m_count -= k;
}

void CPointArray::rotate_left(int k)
{
    if (m_count < 2) return;
    k %= m_count;
    if (k < 0) k += m_count;
    std::rotate(m_data, m_data + k, m_data + m_count);
}

void CPointArray::release()
{
    delete[] m_data;
    m_data = nullptr;
    m_count = m_capacity = 0;
}
