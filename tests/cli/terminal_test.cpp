#include "cli/terminal.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tamlo::cli {
namespace {

TEST(Terminal, ProgressLineShowsTheTimeLeft) {
    EXPECT_EQ(progressLine({"COM3", "writing", 0.5, 975, true, false, false}, 6),
              "  COM3    [############............]  writing       1.0 s left");
    EXPECT_EQ(progressLine({"sim", "reading", 1.0, 0, true, true, false}, 3),
              "  sim  [########################]              done");
    EXPECT_EQ(progressLine({"sim", "reading", 1.0, 0, true, true, true}, 3),
              "  sim  [########################]              failed");
    // A step of no known length shows no time left.
    EXPECT_EQ(progressLine({"sim", "opening", 0, 0, false, false, false}, 3),
              "  sim  [........................]  opening     ");
}

TEST(Terminal, BarsRedrawInPlaceAndClear) {
    std::ostringstream out;
    ProgressBars bars(out);
    bars.draw({{"a", "reading", 0, 850, true}, {"b", "reading", 0, 850, true}});
    const std::string first = out.str();
    EXPECT_EQ(first.find("\x1b[2A"), std::string::npos);
    bars.draw({{"a", "reading", 0.5, 425, true}, {"b", "reading", 0.5, 425, true}});
    EXPECT_NE(out.str().find("\x1b[2A", first.size()), std::string::npos);
    bars.clear();
    EXPECT_TRUE(out.str().ends_with("\x1b[2A\r\x1b[J"));
}

TEST(Terminal, SparklineScalesToWhatItShows) {
    EXPECT_EQ(sparkline({}, false), "");
    EXPECT_EQ(sparkline({0, 7, 14, 70}, false), "__.#");
    EXPECT_EQ(sparkline({40, 40}, false), "::");
    EXPECT_EQ(sparkline({-5, 5}, true), "\xe2\x96\x81\xe2\x96\x88");
    EXPECT_EQ(sparkline({0, std::nullopt, 70}, false), "_ #");
}

}  // namespace
}  // namespace tamlo::cli
