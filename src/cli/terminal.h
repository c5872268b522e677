// What the tool draws on a terminal: a progress bar per port while the protocol's known
// waits run, and a small sparkline of the signal strength.
#pragma once

#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "cli/board.h"

namespace tamlo::cli {

// "  COM3   [##########..............]  writing      1.3 s left"
std::string progressLine(const Board::Row& row, size_t portWidth);

// Redraws the bars in place on a terminal (ANSI cursor movements); nothing is drawn until
// the first draw, and clear removes what was drawn.
class ProgressBars {
  public:
    explicit ProgressBars(std::ostream& out) : out_(out) {}
    void draw(const std::vector<Board::Row>& rows);
    void clear();

  private:
    std::ostream& out_;
    size_t drawn_ = 0;
};

// One character per sample, scaled between the smallest and largest sample shown; block
// characters in UTF-8, or ASCII where the terminal may not show them.
std::string sparkline(const std::deque<int32_t>& samples, bool unicode);

}  // namespace tamlo::cli
