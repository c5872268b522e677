// What every port's worker is doing, shared with the thread that draws the progress bars
// and takes the signals. A worker asks before it starts a STORE: once the user has asked the
// program to stop (Ctrl-C, SIGTERM, SIGHUP) no new STORE starts, and one already under way is
// finished, never cut in half. A second request stops at once: pauses end, nothing more is
// sent, and each port says how far its write had gone.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "serial/clock.h"

namespace tamlo::cli {

class FleetProgress {
  public:
    // Milliseconds on any monotonic base (virtual time in tests).
    using TimeSource = std::function<int64_t()>;

    // stopRequests: the user's requests to stop as the signal handler counts them, seen by
    // every worker at once (the first: no STORE starts; the second: everything stops),
    // whether or not the thread that reports them is free to; null: only cancel() and
    // abort() count.
    FleetProgress(std::vector<std::string> ports, TimeSource nowMs,
                  const std::atomic<int>* stopRequests = nullptr);

    size_t size() const { return ports_.size(); }
    const std::string& port(size_t index) const { return ports_[index]; }

    // The worker of port index starts a step whose waits add up to expectedMs.
    void phase(size_t index, std::string name, int32_t expectedMs);
    // False, and nothing started, once the user asked to stop.
    bool beginWrite(size_t index, int32_t expectedMs);
    void endWrite(size_t index);
    void finish(size_t index, bool ok);
    // Bytes that went out on the port's line.
    void addSent(size_t index, int64_t bytes);
    int64_t sent(size_t index) const;

    // The first request to stop: no STORE starts from now on. Returns the ports still
    // writing, each with the milliseconds its STORE still needs.
    struct Writing {
        std::string port;
        int32_t leftMs;
    };
    std::vector<Writing> cancel();
    // The second: everything stops now.
    void abort();
    bool cancelled() const;
    bool aborted() const;
    bool writing(size_t index) const;
    bool allFinished() const;
    // Returns when every worker has finished or timeout has passed (real time).
    void waitAllFinished(std::chrono::milliseconds timeout) const;

    struct Row {
        std::string port;
        std::string phase;
        double fraction = 0;  // of the current step's nominal time, 0..1
        int32_t leftMs = 0;
        bool timed = false;  // the step has a known length
        bool finished = false;
        bool failed = false;
    };
    std::vector<Row> rows() const;

  private:
    struct State {
        std::string phase = "opening";
        int64_t startMs = 0;
        int32_t expectedMs = 0;
        int64_t sent = 0;
        bool writing = false;
        bool finished = false;
        bool failed = false;
    };
    int32_t leftMs(const State& state, int64_t nowMs) const;
    int requests() const { return stopRequests_ != nullptr ? stopRequests_->load() : 0; }

    std::vector<std::string> ports_;
    TimeSource nowMs_;
    const std::atomic<int>* stopRequests_;
    mutable std::mutex mutex_;
    mutable std::condition_variable finished_;
    std::vector<State> states_;
    bool cancelled_ = false;
    bool aborted_ = false;
};

// One port's view of the progress, handed to the conversations' caller.
class PortProgress {
  public:
    PortProgress(FleetProgress& fleet, size_t index, std::string device = {},
                 std::function<int64_t()> nowMs = {})
        : fleet_(fleet), index_(index), device_(std::move(device)), nowMs_(std::move(nowMs)) {}
    void phase(std::string name, int32_t expectedMs) {
        fleet_.phase(index_, std::move(name), expectedMs);
    }
    bool beginWrite(int32_t expectedMs) { return fleet_.beginWrite(index_, expectedMs); }
    void endWrite() { fleet_.endWrite(index_); }
    bool cancelled() const { return fleet_.cancelled(); }
    bool aborted() const { return fleet_.aborted(); }
    bool writing() const { return fleet_.writing(index_); }
    void addSent(int64_t bytes) { fleet_.addSent(index_, bytes); }
    int64_t sent() const { return fleet_.sent(index_); }
    // The device the port was opened under, for a job that opens it again (a poll loop
    // after the line failed), and the time on the port's own clock.
    const std::string& device() const { return device_; }
    int64_t nowMs() const { return nowMs_ ? nowMs_() : 0; }

  private:
    FleetProgress& fleet_;
    size_t index_;
    std::string device_;
    std::function<int64_t()> nowMs_;
};

// After the first request to stop, the pauses of a port that is not writing end at once,
// so its reads run out quickly (and come back short); a STORE's pauses keep their full
// length. After the second, or once the line has failed, every pause ends at once.
class InterruptibleClock final : public Clock {
  public:
    InterruptibleClock(Clock& inner, const PortProgress& progress, const bool& lineFailed)
        : inner_(inner), progress_(progress), lineFailed_(lineFailed) {}
    void pauseMs(int32_t ms) override {
        if (lineFailed_ || progress_.aborted() || (progress_.cancelled() && !progress_.writing())) {
            return;
        }
        inner_.pauseMs(ms);
    }

  private:
    Clock& inner_;
    const PortProgress& progress_;
    const bool& lineFailed_;
};

}  // namespace tamlo::cli
