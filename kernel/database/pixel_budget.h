#pragma once

// The pixel budget of a drawing: how many image pixels (32 bits each) the images decoded into
// it may hold together. Every image that decodes its raster for the drawing takes its pixels
// from here (its copies too) and gives them back when it goes; an image the budget cannot
// hold is refused, and the refusal is kept so that the one who loaded the drawing can say why
// it failed.
// Images share the budget with the drawing (it lives as long as the last of them).

#include <algorithm>

#include "kernel/drakmere_api.h"

class DRAKMERE_API MB_Pixel_Budget {
public:
    // 2^28 pixels (1 GiB of pixel memory): room for a few large scans, far below what a
    // machine of today holds.
    static constexpr long long k_default_limit = 1LL << 28;

    // The limit every new drawing starts with; a host that sets it before it makes or loads
    // drawings (a converter, a server) bounds them all.
    static long long default_limit();
    static void default_limit(long long pixels);

    MB_Pixel_Budget() : m_limit(default_limit()) {}

    long long limit() const { return m_limit; }
    // Pixels already taken stay; later images see the new limit.
    void limit(long long pixels) { m_limit = std::max(0LL, pixels); }
    long long used() const { return m_used; }
    long long remaining() const { return std::max(0LL, m_limit - m_used); }
    // Takes n pixels; false, taking nothing, when they pass the limit.
    bool take(long long n)
    {
        if (n < 0 || n > remaining()) return false;
        m_used += n;
        return true;
    }
    // Takes n pixels whatever the limit: a copy of pixels already held (an image copied, the
    // snapshot an undo step keeps) is counted, and the limit refuses what decodes after it.
    void hold(long long n) { m_used += std::max(0LL, n); }
    void give_back(long long n) { m_used = std::max(0LL, m_used - std::max(0LL, n)); }

    // The first image refused since the last clear: for the budget, or for lack of memory.
    enum class Refusal { none, over_budget, out_of_memory };
    Refusal refusal() const { return m_refusal; }
    void note(Refusal r)
    {
        if (m_refusal == Refusal::none) m_refusal = r;
    }
    void clear_refusal() { m_refusal = Refusal::none; }

private:
    long long m_limit;
    long long m_used = 0;
    Refusal m_refusal = Refusal::none;
};
