#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

namespace tamlo::testing {

PtyPair::PtyPair() {
    controller_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (controller_ < 0 || grantpt(controller_) != 0 || unlockpt(controller_) != 0) {
        return;
    }
    const char* name = ptsname(controller_);
    if (name == nullptr) {
        return;
    }
    path_ = name;
    keeper_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios options{};
    if (keeper_ >= 0 && tcgetattr(keeper_, &options) == 0) {
        // Cooked, 9600 baud, 7 data bits with parity: the port must set every part of
        // its line itself.
        options.c_cflag = (options.c_cflag & ~static_cast<tcflag_t>(CSIZE | CSTOPB)) | CS7 | PARENB;
        cfsetispeed(&options, B9600);
        cfsetospeed(&options, B9600);
        tcsetattr(keeper_, TCSANOW, &options);
    }
}

PtyPair::~PtyPair() {
    if (keeper_ >= 0) {
        ::close(keeper_);
    }
    if (controller_ >= 0) {
        ::close(controller_);
    }
}

void PtyPair::send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(controller_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<size_t>(n);
    }
}

std::string PtyPair::receive(size_t count, int waitMs) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            break;
        }
        pollfd request{controller_, POLLIN, 0};
        if (::poll(&request, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char buffer[512];
        const ssize_t n = ::read(controller_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0) {
            break;
        }
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

void PtyPair::hangUp() {
    if (keeper_ >= 0) {
        ::close(keeper_);
        keeper_ = -1;
    }
    if (controller_ >= 0) {
        ::close(controller_);
        controller_ = -1;
    }
}

}  // namespace tamlo::testing
