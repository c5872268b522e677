#include "sim/virtual_line.h"

#include <algorithm>
#include <utility>

namespace tamlo::sim {
namespace {

bool contains(const std::vector<std::string>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

VirtualLine::VirtualLine(ReceiverSettings settings) : link_(std::move(settings)) {}

void VirtualLine::setPorts(std::vector<std::string> names) {
    ports_ = std::move(names);
}

void VirtualLine::setUnopenable(std::vector<std::string> names) {
    unopenable_ = std::move(names);
}

std::string VirtualLine::writtenText() const {
    std::string text;
    for (const Written& w : written_) {
        text += static_cast<char>(w.byte);
    }
    return text;
}

bool VirtualLine::unplugged() const {
    return receiver().settings().fault == Fault::Unplugged;
}

void VirtualLine::runTo(int64_t ns) {
    nowNs_ = std::max(nowNs_, ns);
    link_.runUntil(nowNs_, [this](uint8_t byte, int64_t) {
        // Nobody listens on a closed port or a pulled cable; a full queue drops the byte.
        if (!usable()) {
            return;
        }
        if (queue_.size() >= static_cast<size_t>(kQueueSize)) {
            ++overflowed_;
            return;
        }
        queue_.push_back(byte);
    });
}

void VirtualLine::catchUp() {
    runTo(nowNs_);
}

void VirtualLine::advanceMs(int64_t ms) {
    if (ms > 0) {
        runTo(nowNs_ + ms * kNsPerMs);
    }
}

void VirtualLine::inject(std::string_view bytes) {
    catchUp();
    link_.inject(bytes, nowNs_);
}

void VirtualLine::pauseMs(int32_t ms) {
    advanceMs(ms);
}

std::vector<std::string> VirtualLine::portNames() {
    std::vector<std::string> names = ports_;
    for (const std::string& name : unopenable_) {
        if (!contains(names, name)) {
            names.push_back(name);
        }
    }
    return names;
}

PortOpening VirtualLine::inspect(std::string_view name) {
    PortOpening opening;
    if (contains(unopenable_, name)) {
        opening.refusal = OpenRefusal::InUse;
    } else if (unplugged() || !contains(ports_, name)) {
        opening.refusal = OpenRefusal::Missing;
    }
    return opening;
}

PortOpening VirtualLine::openPort(std::string_view name) {
    PortOpening opening;
    if (isOpen_) {
        opening.refusal = OpenRefusal::Other;
        opening.systemText = "a port is open already";
    } else {
        opening = inspect(name);
    }
    if (!opening) {
        return opening;
    }
    writeFailure_.clear();
    catchUp();
    queue_.clear();
    isOpen_ = true;
    openName_ = std::string(name);
    return opening;
}

void VirtualLine::closePort() {
    if (!isOpen_) {
        return;
    }
    catchUp();
    queue_.clear();
    isOpen_ = false;
    openName_.clear();
}

int32_t VirtualLine::bytesWaiting() {
    if (!usable()) {
        return 0;
    }
    catchUp();
    return static_cast<int32_t>(queue_.size());
}

int32_t VirtualLine::readPort(uint8_t* buffer, int32_t count) {
    if (!usable() || buffer == nullptr || count <= 0) {
        return 0;
    }
    catchUp();
    const int64_t totalDeadlineNs =
        nowNs_ +
        (static_cast<int64_t>(kReadTotalPerByteMs) * count + kReadTotalConstantMs) * kNsPerMs;
    int32_t got = 0;
    int64_t lastByteNs = 0;
    for (;;) {
        while (got < count && !queue_.empty()) {
            buffer[got++] = queue_.front();
            queue_.pop_front();
            lastByteNs = nowNs_;
        }
        if (got == count) {
            break;
        }
        // The interval time-out runs only once a byte has come.
        int64_t limitNs = totalDeadlineNs;
        if (got > 0) {
            limitNs = std::min(limitNs, lastByteNs + kReadIntervalMs * kNsPerMs);
        }
        const int64_t next = link_.nextEventNs();
        if (next > limitNs) {
            runTo(limitNs);
            break;
        }
        runTo(next);
    }
    return got;
}

int32_t VirtualLine::writePort(const uint8_t* buffer, int32_t count) {
    if (isOpen_ && unplugged() && count > 0 && writeFailure_.empty()) {
        writeFailure_ = "Input/output error";
    }
    if (!usable() || buffer == nullptr || count <= 0) {
        return 0;
    }
    catchUp();
    for (int32_t i = 0; i < count; ++i) {
        written_.push_back({nowNs_, buffer[i]});
        link_.send(buffer[i], nowNs_);
    }
    return count;
}

}  // namespace tamlo::sim
