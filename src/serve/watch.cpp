#include "serve/watch.h"

#include <algorithm>

namespace tamlo::serve {

const char* stateText(PortState state) {
    switch (state) {
        case PortState::Answers:
            return "answers";
        case PortState::NoAnswer:
            return "no answer";
        case PortState::Busy:
            return "busy";
        case PortState::InUse:
            return "in use by another program";
        case PortState::NotFound:
            return "no answer";  // the page says why: the device is gone
    }
    return "no answer";
}

const char* stateReason(PortState state) {
    switch (state) {
        case PortState::Answers:
            return "none";
        case PortState::NoAnswer:
            return "no_answer";
        case PortState::Busy:
            return "busy";
        case PortState::InUse:
            return "in_use";
        case PortState::NotFound:
            return "not_found";
    }
    return "no_answer";
}

Watch::Watch(std::vector<PortIdentity> ports, Receivers& receivers, int64_t settingsIntervalMs)
    : receivers_(receivers), settingsIntervalMs_(settingsIntervalMs) {
    for (PortIdentity& id : ports) {
        ports_.emplace_back().id = std::move(id);
    }
}

std::optional<size_t> Watch::find(const std::string& name) const {
    for (size_t i = 0; i < ports_.size(); ++i) {
        if (ports_[i].id.name == name) {
            return i;
        }
    }
    return std::nullopt;
}

std::vector<PortWatch> Watch::snapshot() const {
    std::lock_guard lock(mutex_);
    return ports_;
}

std::vector<PortWatch> Watch::refresh(const std::vector<size_t>& which) {
    std::lock_guard lock(mutex_);
    const int64_t now = receivers_.nowMs();
    std::vector<size_t> due;
    std::vector<ExchangeKind> kinds;
    for (size_t i = 0; i < ports_.size(); ++i) {
        const bool asked = which.empty() || std::find(which.begin(), which.end(), i) != which.end();
        const PortWatch& port = ports_[i];
        // A clock set back counts as a poll due, never as a wait of an hour.
        const int64_t since = now - port.polledAtMs;
        if (!asked || (port.polled && since >= 0 && since < kMinPollMs)) {
            continue;
        }
        due.push_back(i);
        const bool stale = !port.settingsAtMs || now - *port.settingsAtMs >= settingsIntervalMs_ ||
                           now < *port.settingsAtMs;
        // A receiver that is down is asked only for its signal: a silent one costs a poll,
        // not a whole read; the settings follow in the same exchange once it answers.
        kinds.push_back(!port.up() && port.polled ? ExchangeKind::PollThenRead
                        : stale                   ? ExchangeKind::Read
                                                  : ExchangeKind::Poll);
    }
    if (!due.empty()) {
        std::vector<Exchange> results = receivers_.exchange(due, kinds);
        for (size_t k = 0; k < due.size() && k < results.size(); ++k) {
            record(ports_[due[k]], std::move(results[k]), now);
        }
    }
    return ports_;
}

void Watch::record(PortWatch& port, Exchange&& exchange, int64_t atMs) const {
    port.polled = true;
    port.polledAtMs = atMs;
    port.pollMs = exchange.durationMs;
    port.state = exchange.state;
    port.reason = std::move(exchange.reason);
    port.rssi = exchange.state == PortState::Answers ? exchange.rssi : std::nullopt;
    if (!port.up()) {
        ++port.errors[stateReason(port.state)];
    }
    if (exchange.settings) {
        port.settings = std::move(exchange.settings);
        port.settingsAtMs = atMs;
        port.firmware = std::move(exchange.firmware);
        port.generation = exchange.generation;
    }
    // At most one sample a second (the poll rule), and none older than an hour.
    port.history.push_back({atMs, port.rssi});
    while (!port.history.empty() &&
           (port.history.front().atMs < atMs - kHistoryMs || port.history.size() > 3600)) {
        port.history.pop_front();
    }
}

}  // namespace tamlo::serve
