#pragma once
// Timing helpers for the benchmarks: figures are printed, never asserted.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline double NowNs() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1e9 / static_cast<double>(freq.QuadPart);
}

// Best of `rounds` runs of `iters` calls, in nanoseconds per call.
template <class F>
double NsPerCall(F&& f, int iters, int rounds = 5) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const double t0 = NowNs();
        for (int i = 0; i < iters; ++i) f();
        const double per = (NowNs() - t0) / iters;
        if (per < best) best = per;
    }
    return best;
}

// One row of a benchmark that measures in rounds: its figure of every round,
// with the unhooked figure of that round. Printed as the median figure and the
// median of the per-round ratios.
struct RoundRow {
    const char* what;
    std::vector<double> ns, base;
    void Add(double n, double b) {
        if (n > 0 && b > 0) {
            ns.push_back(n);
            base.push_back(b);
        }
    }
    void Print() const {
        std::vector<double> ratios;
        for (size_t i = 0; i < ns.size(); ++i) ratios.push_back(ns[i] / base[i]);
        printf("  %-64s %9.1f ns  %7.3fx\n", what, Median(ns), Median(ratios));
    }
};

inline void Row(const char* what, double ns, double baseNs) {
    printf("  %-58s %12.1f ns   %8.2fx\n", what, ns, baseNs > 0 ? ns / baseNs : 0.0);
}

}  // namespace bench
