// What the service knows of every port it watches, and how it learns it: one exchange a
// port at a time (open, talk, close), all ports at once, only when someone asks, and never
// more than once a second a port. A second request within the second gets the last sample.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "files/settings_file.h"
#include "plot/rssi_svg.h"

namespace tamlo::serve {

using plot::RssiPoint;

enum class PortState { Answers, NoAnswer, Busy, InUse, NotFound };
// As the page and the JSON show it: "answers", "no answer", "busy", ...
const char* stateText(PortState state);
// As a metric's label value: "no_answer", "busy", "in_use", "not_found".
const char* stateReason(PortState state);

struct PortIdentity {
    std::string name;    // the ports files' name, else the device
    std::string device;  // empty when nothing leads anywhere
    std::string byId;
    std::string usbSerial;
};

// What one exchange with one port gave.
struct Exchange {
    PortState state = PortState::NoAnswer;
    std::string reason;  // the system's or the tool's words, when it did not answer
    std::optional<int32_t> rssi;
    std::optional<SettingsFile> settings;  // when the settings were read
    std::string firmware;                  // with the settings: the version, "2.05"
    int generation = 0;
    int64_t durationMs = 0;
};

enum class ExchangeKind {
    Poll,          // R only
    Read,          // V, the blocks, R
    PollThenRead,  // R, and the settings too when it answers (a receiver come back)
};

// The receivers behind the service: one exchange on each port asked for, all at once.
class Receivers {
  public:
    virtual ~Receivers() = default;
    virtual std::vector<Exchange> exchange(const std::vector<size_t>& ports,
                                           const std::vector<ExchangeKind>& kinds) = 0;
    // Now, Unix time in ms.
    virtual int64_t nowMs() = 0;
};

struct PortWatch {
    PortIdentity id;
    std::string firmware;
    int generation = 0;
    std::optional<SettingsFile> settings;
    std::optional<int64_t> settingsAtMs;
    std::optional<int32_t> rssi;  // the last poll's, absent when it did not answer
    bool polled = false;
    PortState state = PortState::NoAnswer;
    std::string reason;
    std::map<std::string, int64_t> errors;  // by stateReason
    std::deque<RssiPoint> history;          // the last hour, at most one a second
    int64_t polledAtMs = 0;
    int64_t pollMs = 0;  // how long the last exchange took

    bool up() const { return polled && state == PortState::Answers && rssi.has_value(); }
};

class Watch {
  public:
    static constexpr int64_t kMinPollMs = 1000;
    static constexpr int64_t kHistoryMs = 3'600'000;

    Watch(std::vector<PortIdentity> ports, Receivers& receivers, int64_t settingsIntervalMs);

    // The ports' states after polling those of which (all when empty) whose last poll is a
    // second old or more.
    std::vector<PortWatch> refresh(const std::vector<size_t>& which = {});
    // The states as they are, polling nothing.
    std::vector<PortWatch> snapshot() const;
    // The index of the port of that name, if it is one of the service's.
    std::optional<size_t> find(const std::string& name) const;
    size_t size() const { return ports_.size(); }

  private:
    void record(PortWatch& port, Exchange&& exchange, int64_t atMs) const;

    Receivers& receivers_;
    int64_t settingsIntervalMs_;
    mutable std::mutex mutex_;  // one refresh at a time: the others then read its samples
    std::vector<PortWatch> ports_;
};

}  // namespace tamlo::serve
