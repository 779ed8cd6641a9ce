// Timing helpers for the benchmark programs. On a shared machine a median taken
// now and another taken a minute later are not comparable, so every figure is a
// pair: the work and its baseline timed back to back in each round, reported as
// the median of the per-round ratios with its spread.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

inline double nowMs()
{
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return frequency.QuadPart / 1000.0;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart / ticksPerMs;
}

inline double timedMs(const std::function<void()>& work)
{
    const double start = nowMs();
    work();
    return nowMs() - start;
}

struct Comparison {
    double workMs;       // median time of the work
    double baselineMs;   // median time of the baseline
    double ratio;        // median of the per-round ratios work / baseline
    double ratioLow;     // first quartile of those ratios
    double ratioHigh;    // third quartile
};

inline double quantile(std::vector<double> values, double q)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

// Runs rounds rounds after two warm-up rounds; in each, the work and the baseline
// run back to back, in alternating order. Each callable returns the milliseconds
// it measured itself.
inline Comparison interleaved(int rounds, const std::function<double()>& work,
                              const std::function<double()>& baseline)
{
    for (int i = 0; i < 2; ++i) {
        work();
        baseline();
    }
    std::vector<double> works, baselines, ratios;
    for (int i = 0; i < rounds; ++i) {
        double w = 0;
        double b = 0;
        if (i % 2 == 0) {
            w = work();
            b = baseline();
        } else {
            b = baseline();
            w = work();
        }
        works.push_back(w);
        baselines.push_back(b);
        ratios.push_back(b > 0 ? w / b : 0);
    }
    return {quantile(works, 0.5), quantile(baselines, 0.5), quantile(ratios, 0.5),
            quantile(ratios, 0.25), quantile(ratios, 0.75)};
}

inline Comparison interleaved(int rounds, const std::function<void()>& work,
                              const std::function<void()>& baseline)
{
    return interleaved(
        rounds, std::function<double()>([&] { return timedMs(work); }),
        std::function<double()>([&] { return timedMs(baseline); }));
}

// "work 8.30 vs baseline 7.90: ratio 1.05 (1.01 to 1.09)"
inline void printComparison(const char* what, const char* baselineName, const Comparison& c)
{
    std::printf("%s %.3f vs %s %.3f: ratio %.2f (quartiles %.2f to %.2f)\n", what, c.workMs,
                baselineName, c.baselineMs, c.ratio, c.ratioLow, c.ratioHigh);
}

} // namespace bench
