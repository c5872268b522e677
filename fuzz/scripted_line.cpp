#include "scripted_line.h"

#include <algorithm>

namespace tamlo::fuzzing {

PortOpening ScriptedLine::openPort(std::string_view name) {
    // COM2 stands for a device that has gone away.
    if (open_ || name != "COM1") {
        return {.refusal = OpenRefusal::Missing};
    }
    open_ = true;
    queue_.clear();
    return {};
}

int32_t ScriptedLine::bytesWaiting() {
    return open_ ? static_cast<int32_t>(std::min<size_t>(queue_.size(), kQueueSize)) : 0;
}

int32_t ScriptedLine::readPort(uint8_t* buffer, int32_t count) {
    if (!open_ || buffer == nullptr || count <= 0) {
        return 0;
    }
    int32_t got = 0;
    while (got < count && !queue_.empty()) {
        buffer[got++] = queue_.front();
        queue_.pop_front();
    }
    if (got < count) {
        nowMs_ +=
            got > 0 ? kReadIntervalMs : int64_t{kReadTotalPerByteMs} * count + kReadTotalConstantMs;
    }
    return got;
}

int32_t ScriptedLine::writePort(const uint8_t* buffer, int32_t count) {
    if (!open_ || buffer == nullptr || count <= 0) {
        return 0;
    }
    for (int32_t i = 0; i < count; ++i) {
        const char c = static_cast<char>(buffer[i]);
        written_ += c;
        if ((c == 'V' || c == 'X' || c == 'M' || c == 'R') && !replies_.empty()) {
            // The driver's queue holds 1024 bytes; the rest is lost.
            for (const char r : replies_.front()) {
                if (queue_.size() < static_cast<size_t>(kQueueSize)) {
                    queue_.push_back(static_cast<uint8_t>(r));
                }
            }
            replies_.pop_front();
        }
    }
    return count;
}

void ScriptedLine::pauseMs(int32_t ms) {
    if (ms > 0) {
        nowMs_ += ms;
    }
}

}  // namespace tamlo::fuzzing
