#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "serial/linux/monotonic.h"
#include "sim/line_timing.h"
#include "sim/link.h"

namespace tamlo::sim {
namespace {

// While no one has the slave open the master reports a hang-up at once on every poll. We
// learn of the next open from inotify; only where that is not to be had do we look again
// this often instead of spinning.
constexpr int kHangUpRecheckMs = 20;

// Drops the queued notifications; each only says "look again".
void drainNotifications(int fd) {
    alignas(inotify_event) char buffer[4096];
    while (read(fd, buffer, sizeof buffer) > 0) {
    }
}

std::string systemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// A receiver line never echoes: with the terminal's own echo on, the receiver would hear
// its replies as new commands. Called on the master, which sets the slave's modes.
void makeRaw(int master) {
    termios modes{};
    if (tcgetattr(master, &modes) != 0) {
        return;
    }
    cfmakeraw(&modes);
    cfsetispeed(&modes, B1200);
    cfsetospeed(&modes, B1200);
    modes.c_cflag |= CSTOPB | CLOCAL | CREAD;
    tcsetattr(master, TCSANOW, &modes);
}

// A program that opens the slave may set its own modes; only an echo is undone.
void keepEchoOff(int master) {
    termios modes{};
    if (tcgetattr(master, &modes) == 0 && (modes.c_lflag & (ECHO | ECHONL)) != 0) {
        modes.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL);
        tcsetattr(master, TCSANOW, &modes);
    }
}

// Replaces an existing symbolic link atomically; refuses to replace anything else.
bool placeLink(const std::string& path, const std::string& target, std::string& error) {
    struct stat existing {};
    if (lstat(path.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = path + " exists and is not a symbolic link";
        return false;
    }
    const std::string temporary = path + ".tamlo-sim-" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0) {
        error = systemError(("cannot create " + temporary).c_str());
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        error = systemError(("cannot create " + path).c_str());
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

void removeLinkIfOurs(const std::string& path, const std::string& target) {
    char buffer[4096];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (length > 0 && std::string(buffer, static_cast<size_t>(length)) == target) {
        unlink(path.c_str());
    }
}

}  // namespace

PtyServer::PtyServer(ReceiverSettings settings) : settings_(std::move(settings)) {}

PtyServer::~PtyServer() {
    stop();
}

void PtyServer::setLogSink(LogSink sink) {
    const std::lock_guard<std::mutex> lock(sinkMutex_);
    sink_ = std::move(sink);
}

void PtyServer::setLinkPath(std::string path) {
    linkPath_ = std::move(path);
}

std::string PtyServer::formatEvent(const Receiver::Event& event) {
    char time[32];
    std::snprintf(time, sizeof time, "%10.3f", static_cast<double>(event.atNs) / 1e9);
    std::string line = std::string(time) + "  " + event.text;
    if (!event.note.empty()) {
        line += "  (" + event.note + ")";
    }
    return line;
}

void PtyServer::log(const std::string& line) {
    const std::lock_guard<std::mutex> lock(sinkMutex_);
    if (sink_) {
        sink_(line);
    }
}

bool PtyServer::start(std::string& error) {
    if (running()) {
        error = "already running";
        return false;
    }
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0) {
        error = systemError("cannot open a pseudo-terminal");
        return false;
    }
    char name[256] = {};
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        error = systemError("cannot prepare the pseudo-terminal");
        close(master_);
        master_ = -1;
        return false;
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    devicePath_ = name;
    makeRaw(master_);

    int wake[2] = {-1, -1};
    if (pipe(wake) != 0) {
        error = systemError("cannot create a pipe");
        close(master_);
        master_ = -1;
        return false;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    fcntl(wakeRead_, F_SETFD, FD_CLOEXEC);
    fcntl(wakeWrite_, F_SETFD, FD_CLOEXEC);

    if (!linkPath_.empty()) {
        if (!placeLink(linkPath_, devicePath_, error)) {
            close(wakeRead_);
            close(wakeWrite_);
            close(master_);
            wakeRead_ = wakeWrite_ = master_ = -1;
            return false;
        }
        linkMade_ = true;
    }
    startNs_ = monotonicNs();
    thread_ = std::thread([this] { serve(); });
    return true;
}

void PtyServer::stop() {
    if (!running()) {
        return;
    }
    const char wake = 'q';
    (void)!write(wakeWrite_, &wake, 1);
    thread_.join();
    if (linkMade_) {
        removeLinkIfOurs(linkPath_, devicePath_);
        linkMade_ = false;
    }
    close(wakeRead_);
    close(wakeWrite_);
    close(master_);
    wakeRead_ = wakeWrite_ = master_ = -1;
}

void PtyServer::serve() {
    Link link(settings_);
    link.receiver().setEventSink([this](const Receiver::Event& event) { log(formatEvent(event)); });
    // Before anyone has opened the slave the master shows no hang-up; what is written
    // then waits in the terminal until the first open.
    bool connected = true;
    const auto deliver = [this, &connected](uint8_t byte, int64_t) {
        if (connected) {
            // A full terminal buffer loses the byte, as an overrun line would.
            (void)!write(master_, &byte, 1);
        }
    };
    const auto nowNs = [this] { return monotonicNs() - startNs_; };
    // Opens of the device wake us while it is closed, so an idle server sleeps.
    int opens = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (opens >= 0 && inotify_add_watch(opens, devicePath_.c_str(), IN_OPEN) < 0) {
        close(opens);
        opens = -1;
    }
    struct CloseOnExit {
        int& fd;
        ~CloseOnExit() {
            if (fd >= 0) {
                close(fd);
            }
        }
    } closeOpens{opens};

    for (;;) {
        link.runUntil(nowNs(), deliver);
        const int64_t next = link.nextEventNs();
        const int64_t now = nowNs();
        int timeoutMs = -1;  // nothing due: wait for the program or for stop
        if (next != kNever) {
            timeoutMs = static_cast<int>(std::clamp<int64_t>((next - now) / kNsPerMs, 0, 60'000));
        }

        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {master_, POLLIN, 0}};
        if (!connected) {
            // Is someone there now? Poll the master alone, without waiting.
            pollfd probe{master_, POLLIN, 0};
            if (poll(&probe, 1, 0) >= 0 && (probe.revents & (POLLHUP | POLLERR)) != 0) {
                if (opens >= 0) {
                    pollfd waits[2] = {{wakeRead_, POLLIN, 0}, {opens, POLLIN, 0}};
                    if (poll(waits, 2, timeoutMs) > 0) {
                        if (waits[0].revents != 0) {
                            return;  // asked to stop
                        }
                        drainNotifications(opens);
                    }
                    continue;
                }
                const int wait =
                    timeoutMs < 0 ? kHangUpRecheckMs : std::min(timeoutMs, kHangUpRecheckMs);
                if (poll(fds, 1, wait) > 0) {
                    return;  // asked to stop
                }
                continue;
            }
            connected = true;
            log(formatEvent({now, now, "(device opened)", "", false}));
        }

        if (!link.takesMore()) {
            fds[1].events = 0;  // hang-ups still come; bytes wait in the terminal's buffer
        }
        const int ready = poll(fds, 2, timeoutMs);
        if (ready < 0) {
            if (errno != EINTR) {
                log(systemError("poll"));
                sleepUntilMonotonicNs(monotonicNs() + kHangUpRecheckMs * kNsPerMs);
            }
            continue;
        }
        if (fds[0].revents != 0) {
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            uint8_t buffer[256];
            const ssize_t count = read(master_, buffer, sizeof buffer);
            if (count > 0) {
                const int64_t at = nowNs();
                for (ssize_t i = 0; i < count; ++i) {
                    link.send(buffer[i], at);
                }
                keepEchoOff(master_);
                continue;
            }
        }
        if ((fds[1].revents & (POLLHUP | POLLERR)) != 0) {
            // From now on the receiver's bytes are dropped until the slave is opened again.
            // The terminal is not flushed: on a pseudo-terminal that would also throw away
            // a command that a quick reopen has already written.
            connected = false;
            log(formatEvent({nowNs(), nowNs(), "(device closed)", "", false}));
            continue;
        }
        if (ready == 0 && next != kNever && next - nowNs() < kNsPerMs) {
            // poll counts whole milliseconds; the rest is slept to the exact deadline.
            sleepUntilMonotonicNs(startNs_ + next);
        }
    }
}

}  // namespace tamlo::sim
