#pragma once
// Timing and the result line every benchmark prints.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace bench {

class TStopwatch {
public:
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
    }

private:
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
};

inline double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    const std::size_t Half = Values.size() / 2;
    return Values.size() % 2 ? Values[Half] : (Values[Half - 1] + Values[Half]) / 2;
}

// The line scripts/bench.sh collects: name, medians in seconds, their ratio,
// and the median of the ratios of each interleaved pair, which a machine
// whose load drifts during the runs shifts less.
inline void PrintResult(const char* Name, const std::vector<double>& Ours,
                        const std::vector<double>& Baseline) {
    const double O = Median(Ours), B = Median(Baseline);
    std::vector<double> Pairs;
    for (std::size_t I = 0; I < Ours.size() && I < Baseline.size(); ++I)
        if (Baseline[I] > 0) Pairs.push_back(Ours[I] / Baseline[I]);
    std::printf("RESULT %-10s ours %8.3f s  baseline %8.3f s  ratio %.3f  paired %.3f  (median of "
                "%zu)\n",
                Name, O, B, B > 0 ? O / B : 0.0, Pairs.empty() ? 0.0 : Median(Pairs), Ours.size());
    std::fflush(stdout);
}

} // namespace bench
