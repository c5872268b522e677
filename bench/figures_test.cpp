#include "figures.h"

#include <gtest/gtest.h>

namespace tamlo::bench {
namespace {

struct SummaryCase {
    const char* name;
    std::vector<double> values;
    double median;
    double p99;
    double worst;
    double best;
};

// The percentile is the one the figures are judged by: an off-by-one here reports the
// worst pause as the 99th or hides it.
TEST(SummarizeTest, OrderStatistics) {
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i) {
        hundred.push_back(i);  // given backwards: the summary must sort
    }
    std::vector<double> twoHundred;
    for (int i = 1; i <= 200; ++i) {
        twoHundred.push_back(i);
    }
    const SummaryCase cases[] = {
        {"one value", {4.5}, 4.5, 4.5, 4.5, 4.5},
        {"odd count", {3, 1, 2}, 2, 3, 3, 1},
        {"even count averages the middle pair", {4, 1, 3, 2}, 2.5, 4, 4, 1},
        {"hundred: 99th is the 99th value", hundred, 50.5, 99, 100, 1},
        {"two hundred: 99th is the 198th value", twoHundred, 100.5, 198, 200, 1},
    };
    for (const SummaryCase& c : cases) {
        const Summary s = summarize(c.values);
        EXPECT_EQ(s.count, c.values.size()) << c.name;
        EXPECT_DOUBLE_EQ(s.median, c.median) << c.name;
        EXPECT_DOUBLE_EQ(s.p99, c.p99) << c.name;
        EXPECT_DOUBLE_EQ(s.worst, c.worst) << c.name;
        EXPECT_DOUBLE_EQ(s.best, c.best) << c.name;
    }
}

TEST(SummarizeTest, NothingMeasuredGivesZeros) {
    const Summary s = summarize({});
    EXPECT_EQ(s.count, 0u);
    EXPECT_EQ(s.median, 0);
    EXPECT_EQ(s.worst, 0);
}

}  // namespace
}  // namespace tamlo::bench
