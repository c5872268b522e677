// A test's own end of a pseudo-terminal: opened raw, written, read with arrival times.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "serial/linux/monotonic.h"

namespace tamlo::sim::testing {

using tamlo::monotonicNs;

class Device {
  public:
    explicit Device(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
        if (fd_ >= 0) {
            termios modes{};
            tcgetattr(fd_, &modes);
            cfmakeraw(&modes);
            tcsetattr(fd_, TCSANOW, &modes);
        }
    }
    ~Device() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // Returns the time just before the write.
    int64_t send(const std::string& text) {
        const int64_t at = monotonicNs();
        if (write(fd_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
            return -1;
        }
        return at;
    }
    // Collects for ms milliseconds, or until want bytes have come; times[i] is when byte
    // i was seen.
    std::string collect(int ms, size_t want, std::vector<int64_t>* times = nullptr) {
        std::string got;
        const int64_t end = monotonicNs() + static_cast<int64_t>(ms) * 1'000'000;
        while (got.size() < want) {
            const int64_t left = end - monotonicNs();
            if (left <= 0) {
                break;
            }
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left / 1'000'000) + 1) <= 0) {
                continue;
            }
            char buffer[256];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            const int64_t at = monotonicNs();
            for (ssize_t i = 0; i < n; ++i) {
                got += buffer[i];
                if (times != nullptr) {
                    times->push_back(at);
                }
            }
        }
        return got;
    }

  private:
    int fd_;
};

}  // namespace tamlo::sim::testing
