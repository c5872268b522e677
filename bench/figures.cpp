#include "figures.h"

#include <algorithm>
#include <cstdarg>
#include <numeric>

namespace tamlo::bench {

Summary summarize(std::vector<double> values) {
    Summary summary;
    if (values.empty()) {
        return summary;
    }
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    summary.count = n;
    summary.best = values.front();
    summary.worst = values.back();
    summary.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    // Nearest rank, ceil(0.99 n), counted from 1.
    const size_t rank = (n * 99 + 99) / 100;
    summary.p99 = values[std::clamp<size_t>(rank, 1, n) - 1];
    summary.mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(n);
    return summary;
}

std::string format(const char* pattern, ...) {
    char buffer[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, args);
    va_end(args);
    return buffer;
}

void printRow(const std::string& figure, const std::string& measured, const std::string& target,
              const std::string& met) {
    std::printf("| %s | %s | %s | %s |\n", figure.c_str(), measured.c_str(), target.c_str(),
                met.c_str());
    std::fflush(stdout);
}

}  // namespace tamlo::bench
