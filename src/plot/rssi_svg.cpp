#include "plot/rssi_svg.h"

#include <algorithm>
#include <array>

#include "text/latin1.h"

namespace tamlo::plot {

namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 360;
constexpr int kLeft = 50;  // room for the RSSI labels
constexpr int kTop = 40;   // room for the title
constexpr int kPlotWidth = 650;
constexpr int kPlotHeight = 280;

// The window's colours: black, the grid's green, the curve's yellow.
constexpr const char* kGrid = "#00c040";
constexpr const char* kCurve = "#ffff00";

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Text for XML: the five special characters escaped, bytes that are no UTF-8 taken as
// Latin-1, and control characters XML does not allow replaced.
std::string xmlText(const std::string& bytes) {
    std::string out;
    for (char c : bytesAsUtf8(bytes)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += "\xef\xbf\xbd";
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string two(int64_t v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

// "12:00:05" (UTC); without seconds when the step is whole minutes.
std::string clockText(int64_t unixMs, bool seconds) {
    const int64_t s = floorDiv(unixMs, 1000);
    const int64_t inDay = s - floorDiv(s, 86400) * 86400;
    std::string text = two(inDay / 3600) + ":" + two(inDay / 60 % 60);
    return seconds ? text + ":" + two(inDay % 60) : text;
}

// Fixed-point with one decimal, so that equal input gives equal bytes on every platform.
std::string coordinate(int64_t tenths) {
    const int64_t whole = floorDiv(tenths, 10);
    return std::to_string(whole) + "." + std::to_string(tenths - whole * 10);
}

}  // namespace

RssiRange rssiRange(const std::vector<RssiPoint>& points, std::optional<int32_t> threshold) {
    int64_t low = 0;
    int64_t high = 75;
    auto take = [&](int64_t v) {
        if (v > high) {
            high = 75 + (floorDiv(v - 75 - 1, 25) + 1) * 25;
        }
        if (v < low) {
            low = floorDiv(v, 25) * 25;
        }
    };
    for (const RssiPoint& p : points) {
        if (p.rssi) {
            take(*p.rssi);
        }
    }
    if (threshold) {
        take(*threshold);
    }
    return {static_cast<int32_t>(low), static_cast<int32_t>(high)};
}

std::string rssiSvg(const std::vector<RssiPoint>& given, std::optional<int32_t> threshold,
                    const std::string& title) {
    std::vector<RssiPoint> points = given;
    std::stable_sort(points.begin(), points.end(),
                     [](const RssiPoint& a, const RssiPoint& b) { return a.atMs < b.atMs; });
    const RssiRange range = rssiRange(points, threshold);
    const int64_t span = range.high - range.low;
    const int64_t first = points.empty() ? 0 : points.front().atMs;
    const int64_t last = points.empty() ? 0 : points.back().atMs;
    const int64_t duration = std::max<int64_t>(last - first, 1000);
    // Pixel positions in tenths.
    auto xOf = [&](int64_t atMs) {
        return kLeft * 10 + (atMs - first) * kPlotWidth * 10 / duration;
    };
    auto yOf = [&](int64_t rssi) {
        return (kTop + kPlotHeight) * 10 - (rssi - range.low) * kPlotHeight * 10 / span;
    };

    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"rssi\" width=\"" +
                      std::to_string(kWidth) + "\" height=\"" + std::to_string(kHeight) +
                      "\" viewBox=\"0 0 " + std::to_string(kWidth) + " " + std::to_string(kHeight) +
                      "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg += "<title>" + xmlText(title) + "</title>\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"#000\"/>\n";
    svg += "<text x=\"" + std::to_string(kLeft) + "\" y=\"24\" fill=\"#fff\" font-size=\"16\">" +
           xmlText(title) + "</text>\n";
    // The RSSI axis: a tick every 10 units (25 on a wide range), labelled.
    const int64_t step = span <= 100 ? 10 : span <= 250 ? 25 : 50;
    svg += "<g stroke=\"" + std::string(kGrid) + "\" fill=\"" + kGrid + "\">\n";
    svg += "<line x1=\"" + std::to_string(kLeft) + "\" y1=\"" + std::to_string(kTop) + "\" x2=\"" +
           std::to_string(kLeft) + "\" y2=\"" + std::to_string(kTop + kPlotHeight) + "\"/>\n";
    for (int64_t v = floorDiv(range.low + step - 1, step) * step; v <= range.high; v += step) {
        const std::string y = coordinate(yOf(v));
        svg += "<line x1=\"" + std::to_string(kLeft - 4) + "\" y1=\"" + y + "\" x2=\"" +
               std::to_string(kLeft + 4) + "\" y2=\"" + y + "\"/><text x=\"" +
               std::to_string(kLeft - 8) + "\" y=\"" + coordinate(yOf(v) + 40) +
               "\" stroke=\"none\" text-anchor=\"end\">" + std::to_string(v) + "</text>\n";
    }
    // The time axis: about six labels at a round step, in UTC.
    constexpr std::array<int64_t, 16> kSteps{1,   2,   5,   10,   15,   30,   60,    120,
                                             300, 600, 900, 1800, 3600, 7200, 21600, 86400};
    int64_t timeStep = kSteps.back() * 1000;
    for (int64_t s : kSteps) {
        if (duration / (s * 1000) <= 6) {
            timeStep = s * 1000;
            break;
        }
    }
    const int64_t baseline = kTop + kPlotHeight;
    svg += "<line x1=\"" + std::to_string(kLeft) + "\" y1=\"" + std::to_string(baseline) +
           "\" x2=\"" + std::to_string(kLeft + kPlotWidth) + "\" y2=\"" + std::to_string(baseline) +
           "\"/>\n";
    if (!points.empty()) {
        for (int64_t t = floorDiv(first + timeStep - 1, timeStep) * timeStep; t <= first + duration;
             t += timeStep) {
            const std::string x = coordinate(xOf(t));
            svg += "<line x1=\"" + x + "\" y1=\"" + std::to_string(baseline) + "\" x2=\"" + x +
                   "\" y2=\"" + std::to_string(baseline + 4) + "\"/><text x=\"" + x + "\" y=\"" +
                   std::to_string(baseline + 18) + "\" stroke=\"none\" text-anchor=\"middle\">" +
                   clockText(t, timeStep % 60000 != 0) + "</text>\n";
        }
    }
    svg += "<text x=\"" + std::to_string(kLeft + kPlotWidth) + "\" y=\"" +
           std::to_string(baseline + 34) +
           "\" stroke=\"none\" text-anchor=\"end\">time (UTC)</text>\n";
    svg += "<text x=\"8\" y=\"" + std::to_string(kTop - 8) + "\" stroke=\"none\">RSSI</text>\n";
    svg += "</g>\n";
    if (threshold) {
        const std::string y = coordinate(yOf(*threshold));
        svg += "<line class=\"threshold\" x1=\"" + std::to_string(kLeft) + "\" y1=\"" + y +
               "\" x2=\"" + std::to_string(kLeft + kPlotWidth) + "\" y2=\"" + y + "\" stroke=\"" +
               kGrid + "\" stroke-dasharray=\"6 4\"/>\n";
    }
    if (points.empty()) {
        svg += "<text x=\"" + std::to_string(kLeft + kPlotWidth / 2) + "\" y=\"" +
               std::to_string(kTop + kPlotHeight / 2) +
               "\" fill=\"#fff\" text-anchor=\"middle\">no samples</text>\n";
    }
    // The curve: one polyline per run of answers; a lone answer is a dot.
    size_t i = 0;
    while (i < points.size()) {
        if (!points[i].rssi) {
            ++i;
            continue;
        }
        size_t end = i;
        std::string list;
        for (; end < points.size() && points[end].rssi; ++end) {
            list += (end == i ? "" : " ") + coordinate(xOf(points[end].atMs)) + "," +
                    coordinate(yOf(*points[end].rssi));
        }
        if (end - i == 1) {
            svg += "<circle cx=\"" + coordinate(xOf(points[i].atMs)) + "\" cy=\"" +
                   coordinate(yOf(*points[i].rssi)) + "\" r=\"2\" fill=\"" + kCurve + "\"/>\n";
        } else {
            svg += "<polyline points=\"" + list + "\" fill=\"none\" stroke=\"" + kCurve +
                   "\" stroke-width=\"1.5\"/>\n";
        }
        i = end;
    }
    svg += "</svg>\n";
    return svg;
}

}  // namespace tamlo::plot
