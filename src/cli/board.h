// What every port's worker is doing, shared with the thread that draws the progress bars
// and takes Ctrl-C. A worker asks before it starts a STORE; once Ctrl-C has been pressed
// no new STORE starts, and one already under way is finished, never cut in half.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "serial/clock.h"

namespace tamlo::cli {

class Board {
  public:
    // Milliseconds on any monotonic base (virtual time in tests).
    using TimeSource = std::function<int64_t()>;

    Board(std::vector<std::string> ports, TimeSource nowMs);

    size_t size() const { return ports_.size(); }
    const std::string& port(size_t index) const { return ports_[index]; }

    // The worker of port index starts a step whose waits add up to expectedMs.
    void phase(size_t index, std::string name, int32_t expectedMs);
    // False, and nothing started, once Ctrl-C has been pressed.
    bool beginWrite(size_t index, int32_t expectedMs);
    void endWrite(size_t index);
    void finish(size_t index);

    // Ctrl-C: no STORE starts from now on. Returns the ports still writing, each with the
    // milliseconds its STORE still needs.
    struct Writing {
        std::string port;
        int32_t leftMs;
    };
    std::vector<Writing> cancel();
    bool cancelled() const;
    bool writing(size_t index) const;
    bool allFinished() const;
    // Returns when every worker has finished or timeout has passed (real time).
    void waitAllFinished(std::chrono::milliseconds timeout) const;

    struct Row {
        std::string port;
        std::string phase;
        double fraction = 0;  // of the current step's nominal time, 0..1
        int32_t leftMs = 0;
        bool finished = false;
    };
    std::vector<Row> rows() const;

  private:
    struct State {
        std::string phase = "waiting";
        int64_t startMs = 0;
        int32_t expectedMs = 0;
        bool writing = false;
        bool finished = false;
    };
    int32_t leftMs(const State& state, int64_t nowMs) const;

    std::vector<std::string> ports_;
    TimeSource nowMs_;
    mutable std::mutex mutex_;
    mutable std::condition_variable finished_;
    std::vector<State> states_;
    bool cancelled_ = false;
};

// One port's view of the board, handed to the conversations' caller.
class PortProgress {
  public:
    PortProgress(Board& board, size_t index) : board_(board), index_(index) {}
    void phase(std::string name, int32_t expectedMs) {
        board_.phase(index_, std::move(name), expectedMs);
    }
    bool beginWrite(int32_t expectedMs) { return board_.beginWrite(index_, expectedMs); }
    void endWrite() { board_.endWrite(index_); }
    bool cancelled() const { return board_.cancelled(); }
    bool writing() const { return board_.writing(index_); }

  private:
    Board& board_;
    size_t index_;
};

// After Ctrl-C the pauses of a port that is not writing end at once, so its reads run out
// quickly (and come back short); a STORE's pauses keep their full length.
class InterruptibleClock final : public Clock {
  public:
    InterruptibleClock(Clock& inner, const PortProgress& progress)
        : inner_(inner), progress_(progress) {}
    void pauseMs(int32_t ms) override {
        if (progress_.cancelled() && !progress_.writing()) {
            return;
        }
        inner_.pauseMs(ms);
    }

  private:
    Clock& inner_;
    const PortProgress& progress_;
};

}  // namespace tamlo::cli
