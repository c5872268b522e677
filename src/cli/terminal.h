// What the tool draws on a terminal: a progress bar per port while the protocol's known
// waits run, and a small sparkline of the signal strength.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/fleet_progress.h"

namespace tamlo::cli {

// "  COM3   [##########..............]  writing      1.3 s left"
std::string progressLine(const FleetProgress::Row& row, size_t portWidth);

// Redraws the bars in place on a terminal (ANSI cursor movements); nothing is drawn until
// the first draw, and clear removes what was drawn.
class ProgressBars {
  public:
    explicit ProgressBars(std::ostream& out) : out_(out) {}
    void draw(const std::vector<FleetProgress::Row>& rows);
    void clear();

  private:
    std::ostream& out_;
    size_t drawn_ = 0;
};

// One character per sample, scaled between the smallest and largest sample shown; block
// characters in UTF-8, or ASCII where the terminal may not show them; a blank for a poll
// that had no answer.
std::string sparkline(const std::deque<std::optional<int32_t>>& samples, bool unicode);

}  // namespace tamlo::cli
