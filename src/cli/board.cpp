#include "cli/board.h"

#include <algorithm>

namespace tamlo::cli {

Board::Board(std::vector<std::string> ports, TimeSource nowMs)
    : ports_(std::move(ports)), nowMs_(std::move(nowMs)), states_(ports_.size()) {}

void Board::phase(size_t index, std::string name, int32_t expectedMs) {
    const int64_t now = nowMs_();
    std::lock_guard lock(mutex_);
    State& s = states_[index];
    s.phase = std::move(name);
    s.startMs = now;
    s.expectedMs = expectedMs;
}

bool Board::beginWrite(size_t index, int32_t expectedMs) {
    const int64_t now = nowMs_();
    std::lock_guard lock(mutex_);
    if (cancelled_) {
        return false;
    }
    State& s = states_[index];
    s.phase = "writing";
    s.startMs = now;
    s.expectedMs = expectedMs;
    s.writing = true;
    return true;
}

void Board::endWrite(size_t index) {
    std::lock_guard lock(mutex_);
    states_[index].writing = false;
}

void Board::finish(size_t index) {
    {
        std::lock_guard lock(mutex_);
        states_[index].finished = true;
        states_[index].writing = false;
    }
    finished_.notify_all();
}

int32_t Board::leftMs(const State& state, int64_t nowMs) const {
    const int64_t left = state.startMs + state.expectedMs - nowMs;
    return static_cast<int32_t>(std::clamp<int64_t>(left, 0, state.expectedMs));
}

std::vector<Board::Writing> Board::cancel() {
    const int64_t now = nowMs_();
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    std::vector<Writing> writing;
    for (size_t i = 0; i < states_.size(); ++i) {
        if (states_[i].writing) {
            writing.push_back({ports_[i], leftMs(states_[i], now)});
        }
    }
    return writing;
}

bool Board::cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool Board::writing(size_t index) const {
    std::lock_guard lock(mutex_);
    return states_[index].writing;
}

bool Board::allFinished() const {
    std::lock_guard lock(mutex_);
    return std::all_of(states_.begin(), states_.end(), [](const State& s) { return s.finished; });
}

void Board::waitAllFinished(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    finished_.wait_for(lock, timeout, [this] {
        return std::all_of(states_.begin(), states_.end(),
                           [](const State& s) { return s.finished; });
    });
}

std::vector<Board::Row> Board::rows() const {
    const int64_t now = nowMs_();
    std::lock_guard lock(mutex_);
    std::vector<Row> rows;
    for (size_t i = 0; i < states_.size(); ++i) {
        const State& s = states_[i];
        Row row{ports_[i], s.phase, 0, leftMs(s, now), s.finished};
        if (s.finished) {
            row.fraction = 1;
        } else if (s.expectedMs > 0) {
            row.fraction = 1.0 - static_cast<double>(row.leftMs) / s.expectedMs;
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace tamlo::cli
