#include "cli/held_ports.h"

#include <algorithm>

namespace tamlo::cli {

size_t HeldPorts::releaseAll(std::chrono::milliseconds wait) {
    const auto giveUp = std::chrono::steady_clock::now() + wait;
    closed_ = true;
    std::lock_guard lock(mutex_);
    size_t open = 0;
    for (HeldPort* port : ports_) {
        const auto left = std::max(std::chrono::steady_clock::duration::zero(),
                                   giveUp - std::chrono::steady_clock::now());
        if (!port->release(std::chrono::duration_cast<std::chrono::milliseconds>(left))) {
            ++open;
        }
    }
    return open;
}

void HeldPorts::add(HeldPort* port) {
    std::lock_guard lock(mutex_);
    ports_.push_back(port);
}

void HeldPorts::remove(HeldPort* port) {
    std::lock_guard lock(mutex_);
    ports_.erase(std::remove(ports_.begin(), ports_.end(), port), ports_.end());
}

HeldPort::HeldPort(SerialPort& inner, HeldPorts* held) : inner_(inner), held_(held) {
    if (held_ != nullptr) {
        held_->add(this);
    }
}

HeldPort::~HeldPort() {
    if (held_ != nullptr) {
        held_->remove(this);
    }
}

PortOpening HeldPort::openPort(std::string_view name) {
    std::lock_guard lock(mutex_);
    if (released_ || (held_ != nullptr && held_->closed())) {
        released_ = true;
        PortOpening stopping;
        stopping.refusal = OpenRefusal::Other;
        stopping.systemText = "the program is stopping";
        return stopping;
    }
    return inner_.openPort(name);
}

void HeldPort::closePort() {
    std::lock_guard lock(mutex_);
    if (!released_) {
        inner_.closePort();
    }
}

bool HeldPort::isPortOpen() const {
    std::lock_guard lock(mutex_);
    return !released_ && inner_.isPortOpen();
}

int32_t HeldPort::bytesWaiting() {
    std::lock_guard lock(mutex_);
    return released_ ? 0 : inner_.bytesWaiting();
}

int32_t HeldPort::readPort(uint8_t* buffer, int32_t count) {
    std::lock_guard lock(mutex_);
    return released_ ? 0 : inner_.readPort(buffer, count);
}

int32_t HeldPort::writePort(const uint8_t* buffer, int32_t count) {
    std::lock_guard lock(mutex_);
    return released_ ? 0 : inner_.writePort(buffer, count);
}

std::string HeldPort::writeFailure() const {
    std::lock_guard lock(mutex_);
    return released_ ? std::string("the port was released: the program is stopping")
                     : inner_.writeFailure();
}

bool HeldPort::release(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_, wait);
    if (!lock.owns_lock()) {
        return false;
    }
    if (!released_) {
        inner_.closePort();
        released_ = true;
    }
    return true;
}

}  // namespace tamlo::cli
