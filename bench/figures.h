// Summaries of repeated timings and the rows of the benchmark table. Every benchmark
// program prints Markdown table rows on standard output; bench/run-benchmarks puts the
// header above them.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tamlo::bench {

struct Summary {
    size_t count = 0;
    double best = 0;
    double median = 0;
    double p99 = 0;  // nearest rank: the smallest value with at least 99 % at or below it
    double worst = 0;
    double mean = 0;
};

// Nothing but zeros for an empty set, so that a benchmark that could not run still prints.
Summary summarize(std::vector<double> values);

// "1.234"; printf-style helpers that give a std::string.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// One row: the figure's name, what was measured, the target, and whether it was met
// ("yes", "no", or "-" where there is no target).
void printRow(const std::string& figure, const std::string& measured, const std::string& target,
              const std::string& met);
inline std::string metText(bool met) {
    return met ? "yes" : "no";
}

}  // namespace tamlo::bench
