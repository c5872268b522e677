#include "wire_log.h"

#include <utility>

#include "serial/exchange.h"

namespace tamlo {

WireLog::WireLog(SerialPort& port, Clock& clock, std::function<int64_t()> nowMs)
    : port_(port), clock_(clock), nowMs_(std::move(nowMs)) {}

std::vector<std::string> WireLog::take() {
    sending_ = false;
    return std::exchange(sends_, {});
}

int32_t WireLog::writePort(const uint8_t* buffer, int32_t count) {
    // What the program sends while a port is open, whether or not the line takes it.
    if (port_.isPortOpen()) {
        for (int32_t i = 0; i < count; ++i) {
            const char c = static_cast<char>(buffer[i]);
            const bool letter = c >= 'A' && c <= 'Z' && c != 'D' && c != 'P';
            if (!sending_ || letter || lastPauseMs_ == kCommandPauseMs) {
                sends_.push_back(std::to_string(nowMs_()) + " ");
            }
            sends_.back() += c;
            sending_ = true;
            lastPauseMs_ = 0;
        }
    }
    return port_.writePort(buffer, count);
}

void WireLog::pauseMs(int32_t ms) {
    if (lastPauseMs_ == 0) {
        lastPauseMs_ = ms;
    }
    clock_.pauseMs(ms);
}

}  // namespace tamlo
