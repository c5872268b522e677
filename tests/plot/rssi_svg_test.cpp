#include "plot/rssi_svg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace tamlo::plot {
namespace {

constexpr int64_t kNoon = 1796644800000;  // 2026-12-07T12:00:00Z

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST(RssiSvg, DrawsAnswersGapsThresholdAndEscapedTitle) {
    struct Case {
        const char* name;
        std::vector<RssiPoint> points;
        std::optional<int32_t> threshold;
        std::string title;
        size_t polylines, dots, thresholds;
        std::vector<std::string> contains;  // and never "y=...0.0" for a missing answer
    };
    const Case cases[] = {
        {"empty", {}, std::nullopt, "COM1", 0, 0, 0, {"no samples", ">70<"}},
        {"one point", {{kNoon, 40}}, 45, "COM1", 0, 1, 1, {"cy=\"170.7\"", "12:00:00"}},
        // A missing answer splits the curve in two; it is never drawn at 0.
        {"a gap",
         {{kNoon, 40},
          {kNoon + 1000, 41},
          {kNoon + 2000, {}},
          {kNoon + 3000, 42},
          {kNoon + 4000, 43}},
         std::nullopt,
         "COM1",
         2,
         0,
         0,
         {"12:00:04"}},
        {"all silent", {{kNoon, {}}, {kNoon + 1000, {}}}, 45, "COM1", 0, 0, 1, {}},
        // A name with XML's characters, UTF-8 and a byte that is not UTF-8.
        {"escaping",
         {},
         std::nullopt,
         "m\xc3\xa2t & <\"n\"> \xe9",
         0,
         0,
         0,
         {"m\xc3\xa2t &amp; &lt;&quot;n&quot;&gt; \xc3\xa9"}},
        // Values above the window's range widen it rather than leave the picture.
        {"a strong signal",
         {{kNoon, 120}, {kNoon + 60000, 130}},
         45,
         "COM1",
         1,
         0,
         1,
         {">150<", "12:01"}},
    };
    for (const Case& c : cases) {
        const std::string svg = rssiSvg(c.points, c.threshold, c.title);
        EXPECT_EQ(count(svg, "<polyline"), c.polylines) << c.name;
        EXPECT_EQ(count(svg, "<circle"), c.dots) << c.name;
        EXPECT_EQ(count(svg, "class=\"threshold\""), c.thresholds) << c.name;
        for (const std::string& text : c.contains) {
            EXPECT_NE(svg.find(text), std::string::npos) << c.name << ": " << text << "\n" << svg;
        }
        EXPECT_EQ(svg.find("<title>" + c.title + "</title>") == std::string::npos,
                  c.title.find_first_of("&<\"\xe9") != std::string::npos)
            << c.name;
        EXPECT_EQ(svg, rssiSvg(c.points, c.threshold, c.title)) << c.name;
    }
}

TEST(RssiSvg, MatchesItsGoldenPicture) {
    const std::vector<RssiPoint> points = {
        {kNoon, 38},        {kNoon + 1000, 40}, {kNoon + 2000, 44}, {kNoon + 3000, {}},
        {kNoon + 4000, {}}, {kNoon + 5000, 47}, {kNoon + 6000, 46}, {kNoon + 7000, 50}};
    std::ifstream in(TAMLO_RSSI_GOLDEN, std::ios::binary);
    const std::string golden((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(rssiSvg(points, 45, "mast-north"), golden);
}

}  // namespace
}  // namespace tamlo::plot
