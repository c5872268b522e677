#include "serial/linux/posix_serial_port.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>
#include <utility>

#include "serial/linux/device_users.h"

namespace tamlo {

namespace {

using SteadyClock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

// poll() takes whole milliseconds; rounding up keeps a wait from ending just short of its
// deadline and spinning on a zero time-out.
int pollTimeout(SteadyClock::duration remaining) {
    const auto ms = std::chrono::ceil<Milliseconds>(remaining).count();
    if (ms <= 0) {
        return 0;
    }
    return ms > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                : static_cast<int>(ms);
}

// The receiver's line: raw bytes, 1200 baud, 8 data bits, no parity, 2 stop bits, no flow
// control of any kind, and no modem-control lines waited for.
void applyLineSettings(termios& options) {
    cfmakeraw(&options);
    cfsetispeed(&options, B1200);
    cfsetospeed(&options, B1200);
    options.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CRTSCTS);
    options.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
    options.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // Reads never block in the driver; the time-outs are ours.
    options.c_cc[VMIN] = 0;
    options.c_cc[VTIME] = 0;
}

// Some drivers accept tcsetattr while silently keeping what they cannot do; a port that
// does not end up with the receiver's settings would only garble the conversation.
bool hasLineSettings(const termios& options) {
    return cfgetispeed(&options) == B1200 && cfgetospeed(&options) == B1200 &&
           (options.c_cflag & CSIZE) == CS8 && (options.c_cflag & CSTOPB) != 0 &&
           (options.c_cflag & PARENB) == 0;
}

std::string groupName(gid_t gid) {
    group entry{};
    group* result = nullptr;
    char buffer[4096];
    if (getgrgid_r(gid, &entry, buffer, sizeof buffer, &result) == 0 && result != nullptr) {
        return result->gr_name;
    }
    return std::to_string(gid);
}

std::string userName(uid_t uid) {
    passwd entry{};
    passwd* result = nullptr;
    char buffer[4096];
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &result) == 0 && result != nullptr) {
        return result->pw_name;
    }
    return std::to_string(uid);
}

PortOpening refusal(OpenRefusal why, int error = 0) {
    PortOpening opening;
    opening.refusal = why;
    if (error != 0) {
        opening.systemText = std::strerror(error);
    }
    return opening;
}

// Only the user (or the administrator) can mend this; whether joining the device's group
// would do depends on what its mode grants that group.
PortOpening permissionRefusal(const std::string& path, int error) {
    PortOpening opening = refusal(OpenRefusal::Permission, error);
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        opening.owner = userName(info.st_uid);
        opening.group = groupName(info.st_gid);
        const mode_t readWrite = S_IRGRP | S_IWGRP;
        opening.joiningGroupHelps = (info.st_mode & readWrite) == readWrite;
    }
    return opening;
}

// The device carries the exclusive flag. A live program that holds it is in use; a flag
// with nobody behind it was left by a program killed before it could clear it, which a
// pseudo-terminal keeps for as long as the program serving it runs. A real port drops the
// flag on its last close, so there the flag always has a holder, seen or not.
PortOpening exclusiveRefusal(const std::string& path) {
    const DeviceUsers users = findDeviceUsers(path);
    PortOpening opening = refusal(OpenRefusal::InUse);
    if (users.holderPid != 0 || !users.pseudoTerminal) {
        opening.holderPid = users.holderPid;
        opening.holderProgram = users.holderProgram;
        return opening;
    }
    if (users.complete) {
        opening.refusal = OpenRefusal::StaleExclusive;
    } else {
        opening.holderMayBeHidden = true;
    }
    opening.serverPid = users.serverPid;
    opening.serverProgram = users.serverProgram;
    return opening;
}

// Another process with the device open, seen in /proc, or a live UUCP lock file on it.
PortOpening holderRefusal(const std::string& path, const PosixPortOptions& options) {
    const DeviceUsers users = options.userPasses ? options.userPasses->find(path)
                                                 : findDeviceUsers(path, options.procRoot);
    if (users.holderPid != 0) {
        PortOpening opening = refusal(OpenRefusal::InUse);
        opening.holderPid = users.holderPid;
        opening.holderProgram = users.holderProgram;
        return opening;
    }
    const UucpLock lock = findUucpLock(path, options.lockRoot, options.procRoot);
    if (lock.pid != 0) {
        PortOpening opening = refusal(OpenRefusal::InUse);
        opening.holderPid = lock.pid;
        opening.holderProgram = lock.program;
        return opening;
    }
    return {};
}

// A terminal device, told without opening it: sysfs files the character device under the
// tty class; a pseudo-terminal's subsidiary (majors 136 to 143) has no sysfs entry.
bool isTerminalDevice(const struct stat& info, const std::filesystem::path& sysfsRoot) {
    if (!S_ISCHR(info.st_mode)) {
        return false;
    }
    const unsigned int major = ::major(info.st_rdev);
    if (major >= 136 && major <= 143) {
        return true;
    }
    std::error_code error;
    const std::filesystem::path subsystem = std::filesystem::read_symlink(
        sysfsRoot / "dev" / "char" /
            (std::to_string(major) + ":" + std::to_string(::minor(info.st_rdev))) / "subsystem",
        error);
    return !error && subsystem.filename() == "tty";
}

}  // namespace

PortOpening inspectDevice(const std::string& path, const PosixPortOptions& options) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        return error == EACCES ? permissionRefusal(path, error)
                               : refusal(OpenRefusal::Missing, error);
    }
    if (!isTerminalDevice(info, options.sysfsRoot)) {
        return refusal(OpenRefusal::NotSerialPort);
    }
    if (::access(path.c_str(), R_OK | W_OK) != 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM) {
            return permissionRefusal(path, error);
        }
    }
    return holderRefusal(path, options);
}

PosixSerialPort::PosixSerialPort(PosixPortOptions options, PortUse use)
    : options_(std::move(options)), use_(use) {}

PosixSerialPort::~PosixSerialPort() {
    closePort();
}

PortOpening PosixSerialPort::openPort(std::string_view name) {
    if (fd_ >= 0) {
        PortOpening opening = refusal(OpenRefusal::Other);
        opening.systemText = "a port is open already";
        return opening;
    }
    writeFailure_.clear();
    const std::string path(name);
    // A program that has the device open (a GPS daemon, a modem, a login on a console) is
    // left alone, with or without a lock. What is no terminal is refused by the open below.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && isTerminalDevice(info, options_.sysfsRoot)) {
        if (PortOpening held = holderRefusal(path, options_); !held) {
            return held;
        }
    }
    // Without O_NONBLOCK the open of a real port waits for a carrier that the receiver
    // never raises.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        switch (error) {
            case EACCES:
            case EPERM:
                return permissionRefusal(path, error);
            case ENOENT:
            case ENOTDIR:
            case ENXIO:
            case ENODEV:
                return refusal(OpenRefusal::Missing, error);
            case EISDIR:
                return refusal(OpenRefusal::NotSerialPort, error);
            case EBUSY:  // the exclusive flag, set by another program or left behind
                return exclusiveRefusal(path);
            default:
                return refusal(OpenRefusal::Other, error);
        }
    }
    fd_ = fd;
    setExclusive_ = false;
    if (!::isatty(fd_)) {
        return refuse(refusal(OpenRefusal::NotSerialPort));
    }
    // A port in use by another program (a terminal, a second configurator) must not be
    // shared: two programs on one half-duplex conversation corrupt both. Root opens a
    // device despite another program's exclusive flag, so the flag is read as well; and
    // only a flag we set ourselves is ours to clear again.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        releaseDescriptor();
        PortOpening opening = refusal(OpenRefusal::InUse);
        const DeviceUsers users = findDeviceUsers(path);
        opening.holderPid = users.holderPid;
        opening.holderProgram = users.holderProgram;
        return opening;
    }
    int alreadyExclusive = 0;
    if (::ioctl(fd_, TIOCGEXCL, &alreadyExclusive) == 0 && alreadyExclusive != 0) {
        releaseDescriptor();
        return exclusiveRefusal(path);
    }
    if (::ioctl(fd_, TIOCEXCL) != 0) {
        return refuse(refusal(OpenRefusal::NotSerialPort, errno));
    }
    setExclusive_ = true;
    termios options{};
    if (::tcgetattr(fd_, &options) != 0) {
        return refuse(refusal(OpenRefusal::NotSerialPort, errno));
    }
    found_ = options;
    restoreSettings_ = true;
    // A pseudo-terminal has no modem lines and says so; then there is nothing to put back.
    restoreLines_ = ::ioctl(fd_, TIOCMGET, &foundLines_) == 0;
    applyLineSettings(options);
    termios applied{};
    if (::tcsetattr(fd_, TCSANOW, &options) != 0 || ::tcgetattr(fd_, &applied) != 0) {
        return refuse(refusal(OpenRefusal::LineSettings, errno));
    }
    if (!hasLineSettings(applied)) {
        return refuse(refusal(OpenRefusal::LineSettings));
    }
    // RTS held off, as the receiver's cable expects; a try only looks.
    if (use_ == PortUse::Talk) {
        int rts = TIOCM_RTS;
        (void)::ioctl(fd_, TIOCMBIC, &rts);
    }
    return {};
}

void PosixSerialPort::closePort() {
    if (fd_ >= 0) {
        releaseDescriptor();
    }
}

void PosixSerialPort::releaseDescriptor() {
    // The port goes back as it was found, once what we wrote has gone out at our speed.
    // A device that has gone (EIO) takes nothing back, and needs nothing.
    if (restoreSettings_) {
        (void)::tcsetattr(fd_, TCSADRAIN, &found_);
        restoreSettings_ = false;
    }
    if (restoreLines_) {
        int rts = TIOCM_RTS;
        (void)::ioctl(fd_, (foundLines_ & TIOCM_RTS) != 0 ? TIOCMBIS : TIOCMBIC, &rts);
        restoreLines_ = false;
    }
    // The exclusive flag lives on the tty, not on our descriptor; left set it would lock
    // out the next program (or our next open) for as long as the device stays open
    // elsewhere, as a pty does while its master is held. A flag that another program set
    // stays.
    if (setExclusive_) {
        (void)::ioctl(fd_, TIOCNXCL);
        setExclusive_ = false;
    }
    ::close(fd_);  // also drops the flock
    fd_ = -1;
}

PortOpening PosixSerialPort::refuse(PortOpening opening) {
    releaseDescriptor();
    return opening;
}

void PosixSerialPort::noteWriteFailure(int error) {
    if (writeFailure_.empty()) {
        writeFailure_ = std::strerror(error);
    }
}

int32_t PosixSerialPort::bytesWaiting() {
    if (fd_ < 0) {
        return 0;
    }
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<int32_t>(count);
}

int32_t PosixSerialPort::readPort(uint8_t* buffer, int32_t count) {
    if (fd_ < 0 || buffer == nullptr || count <= 0) {
        return 0;
    }
    // The read ends when count bytes are in, kReadIntervalMs after the last byte, or after
    // the total time-out for count bytes, whichever comes first.
    const auto start = SteadyClock::now();
    const auto totalDeadline =
        start + Milliseconds(int64_t{kReadTotalPerByteMs} * count + kReadTotalConstantMs);
    auto deadline = totalDeadline;
    int32_t got = 0;
    while (got < count) {
        const auto remaining = deadline - SteadyClock::now();
        if (remaining <= SteadyClock::duration::zero()) {
            break;
        }
        pollfd request{fd_, POLLIN, 0};
        const int ready = ::poll(&request, 1, pollTimeout(remaining));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (ready == 0) {
            continue;  // the deadline test above ends the read
        }
        if ((request.revents & POLLIN) == 0) {
            // Hung up (a pty whose other end is gone, an adapter pulled out) or an error:
            // nothing more will come, so return what arrived rather than wait it out.
            break;
        }
        const ssize_t n = ::read(fd_, buffer + got, static_cast<size_t>(count - got));
        if (n > 0) {
            got += static_cast<int32_t>(n);
            const auto intervalDeadline = SteadyClock::now() + Milliseconds(kReadIntervalMs);
            deadline = std::min(totalDeadline, intervalDeadline);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        break;  // end of file or a read error: the device is gone
    }
    return got;
}

int32_t PosixSerialPort::writePort(const uint8_t* buffer, int32_t count) {
    if (fd_ < 0 || buffer == nullptr || count <= 0) {
        return 0;
    }
    const auto deadline = SteadyClock::now() + Milliseconds(int64_t{kWriteTotalPerByteMs} * count +
                                                            kWriteTotalConstantMs);
    int32_t written = 0;
    while (written < count) {
        const ssize_t n = ::write(fd_, buffer + written, static_cast<size_t>(count - written));
        if (n > 0) {
            written += static_cast<int32_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            noteWriteFailure(errno);  // EIO: the adapter was pulled, the pty's far end closed
            break;
        }
        // The output queue is full (flow held back by the device): wait for room, but
        // never past the write time-out.
        const auto remaining = deadline - SteadyClock::now();
        if (remaining <= SteadyClock::duration::zero()) {
            break;
        }
        pollfd request{fd_, POLLOUT, 0};
        const int ready = ::poll(&request, 1, pollTimeout(remaining));
        if (ready < 0 && errno != EINTR) {
            noteWriteFailure(errno);
            break;
        }
        if (ready > 0 && (request.revents & POLLOUT) == 0) {
            // Hung up or failed: what the next write would be told.
            noteWriteFailure(EIO);
            break;
        }
    }
    return written;
}

}  // namespace tamlo
