#include "cli/terminal.h"

#include <algorithm>
#include <cstdio>

namespace tamlo::cli {

namespace {

constexpr int kBarWidth = 24;

}  // namespace

std::string progressLine(const FleetProgress::Row& row, size_t portWidth) {
    const int filled = static_cast<int>(row.fraction * kBarWidth + 0.5);
    std::string bar(static_cast<size_t>(std::clamp(filled, 0, kBarWidth)), '#');
    bar.resize(kBarWidth, '.');
    std::string port = row.port;
    port.resize(std::max(portWidth, port.size()), ' ');
    char left[32] = "";
    if (row.finished) {
        std::snprintf(left, sizeof left, "%s", row.failed ? "failed" : "done");
    } else if (row.timed) {
        std::snprintf(left, sizeof left, "%5.1f s left", row.leftMs / 1000.0);
    }
    std::string phase = row.finished ? std::string() : row.phase;
    phase.resize(std::max<size_t>(12, phase.size()), ' ');
    return "  " + port + "  [" + bar + "]  " + phase + left;
}

void ProgressBars::draw(const std::vector<FleetProgress::Row>& rows) {
    size_t width = 0;
    for (const FleetProgress::Row& row : rows) {
        width = std::max(width, row.port.size());
    }
    if (drawn_ > 0) {
        out_ << "\x1b[" << drawn_ << "A";
    }
    for (const FleetProgress::Row& row : rows) {
        out_ << "\r\x1b[2K" << progressLine(row, width) << "\n";
    }
    drawn_ = rows.size();
    out_.flush();
}

void ProgressBars::clear() {
    if (drawn_ > 0) {
        out_ << "\x1b[" << drawn_ << "A\r\x1b[J";
        out_.flush();
        drawn_ = 0;
    }
}

std::string sparkline(const std::deque<std::optional<int32_t>>& samples, bool unicode) {
    static const char* const kBlocks[] = {"\xe2\x96\x81", "\xe2\x96\x82", "\xe2\x96\x83",
                                          "\xe2\x96\x84", "\xe2\x96\x85", "\xe2\x96\x86",
                                          "\xe2\x96\x87", "\xe2\x96\x88"};
    static const char kAscii[] = "_.-:=+*#";
    std::optional<int32_t> low;
    std::optional<int32_t> high;
    for (const std::optional<int32_t>& sample : samples) {
        if (sample) {
            low = low ? std::min(*low, *sample) : *sample;
            high = high ? std::max(*high, *sample) : *sample;
        }
    }
    std::string out;
    for (const std::optional<int32_t>& sample : samples) {
        if (!sample) {
            out += ' ';
            continue;
        }
        const int64_t span = int64_t{*high} - *low;
        const int64_t level = span == 0 ? 3 : (int64_t{*sample} - *low) * 7 / span;
        if (unicode) {
            out += kBlocks[level];
        } else {
            out += kAscii[level];
        }
    }
    return out;
}

}  // namespace tamlo::cli
