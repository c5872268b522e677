// The signal strength of a run drawn as a picture: a self-contained SVG (no font, script or
// image from outside) that a survey ends with, and that the service serves for its page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tamlo::plot {

struct RssiPoint {
    int64_t atMs = 0;             // unix milliseconds
    std::optional<int32_t> rssi;  // none: the receiver did not answer
};

// The RSSI range of the graph, in the receiver's raw units: the window's 75 units (its 150
// pixels at 2 a unit) from 0, widened in steps of 25 to hold every value and the threshold.
struct RssiRange {
    int32_t low = 0;
    int32_t high = 75;
};
RssiRange rssiRange(const std::vector<RssiPoint>& points, std::optional<int32_t> threshold);

// The points in time order; a point without an answer breaks the curve (a gap, never 0).
// The texts are bytes, UTF-8 where they are, escaped for XML. The same input gives the same
// bytes.
std::string rssiSvg(const std::vector<RssiPoint>& points, std::optional<int32_t> threshold,
                    const std::string& title);

}  // namespace tamlo::plot
