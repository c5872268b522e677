#include "cli/fleet_progress.h"

#include <algorithm>

namespace tamlo::cli {

FleetProgress::FleetProgress(std::vector<std::string> ports, TimeSource nowMs,
                             const std::atomic<int>* stopRequests)
    : ports_(std::move(ports)),
      nowMs_(std::move(nowMs)),
      stopRequests_(stopRequests),
      states_(ports_.size()) {}

void FleetProgress::phase(size_t index, std::string name, int32_t expectedMs) {
    const int64_t now = nowMs_();
    std::lock_guard lock(mutex_);
    State& s = states_[index];
    s.phase = std::move(name);
    s.startMs = now;
    s.expectedMs = expectedMs;
}

bool FleetProgress::beginWrite(size_t index, int32_t expectedMs) {
    const int64_t now = nowMs_();
    std::lock_guard lock(mutex_);
    if (cancelled_ || requests() >= 1) {
        return false;
    }
    State& s = states_[index];
    s.phase = "writing";
    s.startMs = now;
    s.expectedMs = expectedMs;
    s.writing = true;
    return true;
}

void FleetProgress::endWrite(size_t index) {
    std::lock_guard lock(mutex_);
    states_[index].writing = false;
}

void FleetProgress::finish(size_t index, bool ok) {
    {
        std::lock_guard lock(mutex_);
        states_[index].finished = true;
        states_[index].failed = !ok;
        states_[index].writing = false;
    }
    finished_.notify_all();
}

void FleetProgress::addSent(size_t index, int64_t bytes) {
    std::lock_guard lock(mutex_);
    states_[index].sent += bytes;
}

int64_t FleetProgress::sent(size_t index) const {
    std::lock_guard lock(mutex_);
    return states_[index].sent;
}

int32_t FleetProgress::leftMs(const State& state, int64_t nowMs) const {
    const int64_t left = state.startMs + state.expectedMs - nowMs;
    return static_cast<int32_t>(std::clamp<int64_t>(left, 0, state.expectedMs));
}

std::vector<FleetProgress::Writing> FleetProgress::cancel() {
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

void FleetProgress::abort() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    aborted_ = true;
}

bool FleetProgress::cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_ || requests() >= 1;
}

bool FleetProgress::aborted() const {
    std::lock_guard lock(mutex_);
    return aborted_ || requests() >= 2;
}

bool FleetProgress::writing(size_t index) const {
    std::lock_guard lock(mutex_);
    return states_[index].writing;
}

bool FleetProgress::allFinished() const {
    std::lock_guard lock(mutex_);
    return std::all_of(states_.begin(), states_.end(), [](const State& s) { return s.finished; });
}

void FleetProgress::waitAllFinished(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    finished_.wait_for(lock, timeout, [this] {
        return std::all_of(states_.begin(), states_.end(),
                           [](const State& s) { return s.finished; });
    });
}

std::vector<FleetProgress::Row> FleetProgress::rows() const {
    const int64_t now = nowMs_();
    std::lock_guard lock(mutex_);
    std::vector<Row> rows;
    for (size_t i = 0; i < states_.size(); ++i) {
        const State& s = states_[i];
        Row row{ports_[i], s.phase, 0, leftMs(s, now), s.expectedMs > 0, s.finished, s.failed};
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
