#include "serial/linux/posix_serial_port.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <memory>
#include <thread>
#include <vector>

#include "serial/discovery.h"
#include "serial/linux/device_users.h"
#include "serial/linux/linux_port_lister.h"
#include "support/pty_pair.h"

namespace tamlo {
namespace {

using std::chrono::milliseconds;
using testing::PtyPair;
using SteadyClock = std::chrono::steady_clock;

int64_t elapsedMs(SteadyClock::time_point since) {
    return std::chrono::duration_cast<milliseconds>(SteadyClock::now() - since).count();
}

PosixPortOptions namedOnly(std::vector<std::string> devices) {
    PosixPortOptions options;
    options.namedDevices = std::move(devices);
    options.discover = false;
    return options;
}

struct OpenPort {
    OpenPort() : port(namedOnly({})) {}
    PtyPair pty;
    PosixSerialPort port;
};

// Polls the port until count bytes are waiting: a pty hands bytes over a moment later.
bool waitForBytes(PosixSerialPort& port, int32_t count) {
    const auto deadline = SteadyClock::now() + milliseconds(2000);
    while (SteadyClock::now() < deadline) {
        if (port.bytesWaiting() >= count) {
            return true;
        }
        std::this_thread::sleep_for(milliseconds(2));
    }
    return false;
}

TEST(PosixSerialPort, OpenSetsTheReceiversLine) {
    OpenPort t;
    ASSERT_TRUE(t.pty.ok());
    ASSERT_TRUE(t.port.openPort(t.pty.path()));
    ASSERT_TRUE(t.port.isPortOpen());
    termios line{};
    ASSERT_EQ(tcgetattr(t.pty.subsidiary(), &line), 0);
    EXPECT_EQ(cfgetispeed(&line), B1200);
    EXPECT_EQ(cfgetospeed(&line), B1200);
    struct Flag {
        const char* name;
        tcflag_t field;
        tcflag_t mask;
        tcflag_t expected;
    };
    const Flag flags[] = {
        {"8 data bits", line.c_cflag, CSIZE, CS8},
        {"2 stop bits", line.c_cflag, CSTOPB, CSTOPB},
        {"no parity", line.c_cflag, PARENB, 0},
        {"no RTS/CTS", line.c_cflag, CRTSCTS, 0},
        {"no modem control", line.c_cflag, CLOCAL, CLOCAL},
        {"receiver on", line.c_cflag, CREAD, CREAD},
        {"no XON/XOFF", line.c_iflag, IXON | IXOFF | IXANY, 0},
        {"no CR/NL translation", line.c_iflag, ICRNL | INLCR | IGNCR, 0},
        {"bytes not stripped", line.c_iflag, ISTRIP, 0},
        {"no line editing", line.c_lflag, ICANON, 0},
        {"no echo", line.c_lflag, ECHO, 0},
        {"no signal characters", line.c_lflag, ISIG, 0},
        {"no output processing", line.c_oflag, OPOST, 0},
    };
    for (const Flag& flag : flags) {
        EXPECT_EQ(flag.field & flag.mask, flag.expected) << flag.name;
    }
}

TEST(PosixSerialPort, ASecondOpenOfAnOpenDeviceFails) {
    OpenPort t;
    ASSERT_TRUE(t.port.openPort(t.pty.path()));
    PosixSerialPort other(namedOnly({}));
    EXPECT_FALSE(other.openPort(t.pty.path()));
    EXPECT_FALSE(other.isPortOpen());
    // Once closed, the device is free again, for us and for others.
    t.port.closePort();
    EXPECT_FALSE(t.port.isPortOpen());
    EXPECT_TRUE(other.openPort(t.pty.path()));
    other.closePort();
    EXPECT_TRUE(t.port.openPort(t.pty.path()));
}

// A child process that opens path and sets its exclusive flag, as minicom does, or with
// neither flag nor lock, as a GPS daemon holds its line; it then goes on as "sleep"
// (holding the device) or ends (leaving the flag behind). Returns its pid once it is one
// or the other; 0 on failure.
pid_t holdingChild(const std::string& path, bool staysAlive, bool exclusive = true) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        return 0;
    }
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || (exclusive && ::ioctl(fd, TIOCEXCL) != 0)) {
            _exit(1);
        }
        if (staysAlive) {
            ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
        }
        _exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    // End of file: the child has run sleep or ended.
    while (::read(ready[0], &byte, 1) > 0) {
    }
    ::close(ready[0]);
    if (!staysAlive) {
        int status = 0;
        waitpid(child, &status, 0);
    }
    return child;
}

std::string ownProgramName() {
    std::ifstream in("/proc/self/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

TEST(PosixSerialPort, ADeviceThatDoesNotOpenSaysWhy) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tamlo-refused-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir / "subdir");
    std::ofstream(dir / "file") << "data";
    PtyPair heldByFlock;
    PtyPair heldByChild;
    PtyPair leftLocked;
    PtyPair heldWithoutLock;
    PtyPair uucpLocked;
    ASSERT_TRUE(heldByFlock.ok() && heldByChild.ok() && leftLocked.ok() && heldWithoutLock.ok() &&
                uucpLocked.ok());
    PosixSerialPort holder(namedOnly({}));
    ASSERT_TRUE(holder.openPort(heldByFlock.path()));
    const pid_t sleeper = holdingChild(heldByChild.path(), true);
    ASSERT_GT(sleeper, 0);
    ASSERT_GT(holdingChild(leftLocked.path(), false), 0);
    const pid_t daemon = holdingChild(heldWithoutLock.path(), true, false);
    ASSERT_GT(daemon, 0);
    const std::string sleeperText = "sleep (process " + std::to_string(sleeper) + ")";
    // A UUCP lock written by a live program (the sleeper) for a device it does not open.
    std::ofstream(dir / ("LCK.." + std::filesystem::path(uucpLocked.path()).filename().string()))
        << std::setw(10) << sleeper << "\n";
    // The pseudo-terminals' master sides are ours: this process serves them.
    const std::string server = ownProgramName() + " (process " + std::to_string(getpid()) + ")";
    // Root sees into every process: a flag nobody holds is stale. A user sees only their
    // own processes: it may be another user's.
    const bool root = geteuid() == 0;

    struct Case {
        std::string path;
        OpenRefusal refusal;
        std::string reason;
        int64_t holderPid = 0;
    };
    const Case cases[] = {
        {(dir / "missing").string(), OpenRefusal::Missing, "does not exist"},
        {"", OpenRefusal::Missing, "does not exist"},
        {(dir / "subdir").string(), OpenRefusal::NotSerialPort, "not a serial port"},
        {(dir / "file").string(), OpenRefusal::NotSerialPort, "not a serial port"},
        {"/dev/null", OpenRefusal::NotSerialPort, "not a serial port"},
        // Held by this process: not named.
        {heldByFlock.path(), OpenRefusal::InUse, "in use by another program"},
        {heldByChild.path(), OpenRefusal::InUse, "in use by " + sleeperText, sleeper},
        {leftLocked.path(), root ? OpenRefusal::StaleExclusive : OpenRefusal::InUse,
         std::string(root ? "locked by a program that has ended: its exclusive flag is still "
                            "set, but no program holds it open; "
                          : "in use by another program, or locked by one that was killed: its "
                            "exclusive flag is set and no process this user may look into holds "
                            "it; if nothing else should be using it, ") +
             "restart " + server + ", which serves this pseudo-terminal, to clear it"},
        {heldWithoutLock.path(), OpenRefusal::InUse,
         "in use by sleep (process " + std::to_string(daemon) + ")", daemon},
        {uucpLocked.path(), OpenRefusal::InUse, "in use by " + sleeperText, sleeper},
    };
    PosixPortOptions options = namedOnly({});
    options.lockRoot = dir;
    LinuxPortLister lister(options);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        // An open (read), a probe (ports --probe, discovery) and a look that opens nothing
        // (ports) agree on another program's port; a look sees no flag.
        PosixSerialPort port(options);
        const PortOpening opening = port.openPort(c.path);
        EXPECT_EQ(opening.refusal, c.refusal);
        EXPECT_EQ(describeRefusal(opening), c.reason);
        EXPECT_EQ(opening.holderPid, c.holderPid);
        EXPECT_FALSE(port.isPortOpen());
        EXPECT_EQ(describeRefusal(lister.probe(c.path)), c.reason);
        const PortOpening look = lister.inspect(c.path);
        EXPECT_EQ(look.holderPid, c.holderPid);
        EXPECT_TRUE(look.opened() || describeRefusal(look) == c.reason);
    }
    // Opened all at once, sharing their looks through /proc as a fleet's ports do: the same.
    PosixPortOptions together = options;
    together.userPasses = std::make_shared<DeviceUserPasses>();
    std::vector<PortOpening> openings(std::size(cases));
    {
        std::vector<std::jthread> openers;
        for (size_t i = 0; i < std::size(cases); ++i) {
            openers.emplace_back(
                [&, i] { openings[i] = PosixSerialPort(together).openPort(cases[i].path); });
        }
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(describeRefusal(openings[i]), cases[i].reason) << cases[i].path;
        EXPECT_EQ(openings[i].holderPid, cases[i].holderPid) << cases[i].path;
    }
    EXPECT_TRUE(discoverPorts(lister).empty());
    EXPECT_EQ(heldWithoutLock.receive(1, 200), "");  // its holder heard nothing
    // The other programs' flags are still set: refusing the devices did not clear them.
    for (const PtyPair* pty : {&heldByChild, &leftLocked}) {
        const int fd = ::open(pty->path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        int flag = 0;
        EXPECT_TRUE(fd < 0 ? errno == EBUSY : ::ioctl(fd, TIOCGEXCL, &flag) == 0 && flag == 1);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    ::kill(sleeper, SIGKILL);
    waitpid(sleeper, nullptr, 0);
    ::kill(daemon, SIGKILL);
    waitpid(daemon, nullptr, 0);
    std::filesystem::remove_all(dir);
}

// A port goes back as it was found: its exclusive flag, and its line settings (stty -a the
// same after a session and after a probe, whatever the session set).
TEST(PosixSerialPort, CloseLeavesThePortAsItWasFound) {
    OpenPort t;
    ASSERT_TRUE(t.pty.ok());
    const int watcher = ::open(t.pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watcher, 0);
    const auto exclusive = [&] {
        int flag = -1;
        return ::ioctl(watcher, TIOCGEXCL, &flag) == 0 ? flag : -1;
    };
    termios found{};
    ASSERT_EQ(::tcgetattr(watcher, &found), 0);
    cfsetospeed(&found, B9600);
    found.c_lflag |= ICANON | ECHO;
    ASSERT_EQ(::tcsetattr(watcher, TCSANOW, &found), 0);
    ASSERT_EQ(::tcgetattr(watcher, &found), 0);
    const auto unchanged = [&] {
        termios now{};
        return ::tcgetattr(watcher, &now) == 0 && std::memcmp(&now, &found, sizeof now) == 0;
    };
    ASSERT_TRUE(t.port.openPort(t.pty.path()));
    EXPECT_EQ(exclusive(), 1);
    EXPECT_FALSE(unchanged());
    t.port.closePort();
    EXPECT_EQ(exclusive(), 0);
    EXPECT_TRUE(unchanged());
    EXPECT_TRUE(LinuxPortLister(namedOnly({})).probe(t.pty.path()));
    EXPECT_TRUE(unchanged());
    EXPECT_EQ(exclusive(), 0);
    // Another program sets it while we are closed: our next open is refused and leaves it.
    ASSERT_EQ(::ioctl(watcher, TIOCEXCL), 0);
    EXPECT_FALSE(t.port.openPort(t.pty.path()));
    EXPECT_EQ(exclusive(), 1);
    t.port.closePort();
    EXPECT_EQ(exclusive(), 1);
    ::close(watcher);
}

// Opens path as a user without rights to it: root itself is never refused, so a root run
// tries from a child that has given its rights away. Returns the reason in words, or
// "<opened>".
std::string openWithoutRights(const std::string& path) {
    const auto attempt = [&path] {
        PosixSerialPort port(namedOnly({}));
        const PortOpening opening = port.openPort(path);
        return opening ? std::string("<opened>") : describeRefusal(opening);
    };
    if (geteuid() != 0) {
        return attempt();
    }
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return "<no pipe>";
    }
    const pid_t child = fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(1);
        }
        const std::string said = attempt();
        (void)!::write(pipeEnds[1], said.data(), said.size());
        _exit(0);
    }
    ::close(pipeEnds[1]);
    std::string said;
    char buffer[512];
    ssize_t n = 0;
    while ((n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        said.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? said : "<child failed>";
}

TEST(PosixSerialPort, ADeviceRefusedForItsPermissionsSaysWhetherJoiningTheGroupHelps) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    struct stat info {};
    ASSERT_EQ(stat(pty.path().c_str(), &info), 0);
    if (info.st_uid == 65534 || (geteuid() != 0 && info.st_uid == geteuid())) {
        GTEST_SKIP() << "the device belongs to the user the test runs as";
    }
    const group* owningGroup = getgrgid(info.st_gid);
    ASSERT_NE(owningGroup, nullptr);
    const std::string groupName = owningGroup->gr_name;
    const passwd* owningUser = getpwuid(info.st_uid);
    ASSERT_NE(owningUser, nullptr);
    const struct {
        mode_t mode;
        std::string reason;
    } cases[] = {
        {0660, "permission denied: the device belongs to the group '" + groupName +
                   "'; add the user to that group, then log in again"},
        {0600, "permission denied: only the device's owner '" + std::string(owningUser->pw_name) +
                   "' may use it; joining its group '" + groupName +
                   "' would not help, since that group may not read and write it"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(chmod(pty.path().c_str(), c.mode), 0);
        EXPECT_EQ(openWithoutRights(pty.path()), c.reason) << std::oct << c.mode;
    }
}

TEST(PosixSerialPort, NothingHappensWithoutAnOpenPort) {
    PosixSerialPort port(namedOnly({}));
    uint8_t byte = 'R';
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_EQ(port.readPort(&byte, 1), 0);
    EXPECT_EQ(port.writePort(&byte, 1), 0);
    port.closePort();
    EXPECT_FALSE(port.isPortOpen());
}

TEST(PosixSerialPort, EveryByteValuePassesUnchangedBothWays) {
    OpenPort t;
    ASSERT_TRUE(t.port.openPort(t.pty.path()));
    std::string all;
    for (int value = 0; value < 256; ++value) {
        all.push_back(static_cast<char>(value));
    }
    // Out: CR, LF, XON, XOFF, DEL and the top half arrive as written.
    EXPECT_EQ(t.port.writePort(reinterpret_cast<const uint8_t*>(all.data()), 256), 256);
    EXPECT_EQ(t.pty.receive(256), all);
    // In: none is taken for a control character.
    t.pty.send(all);
    ASSERT_TRUE(waitForBytes(t.port, 256));
    EXPECT_EQ(t.port.bytesWaiting(), 256);
    std::string got(256, '\0');
    EXPECT_EQ(t.port.readPort(reinterpret_cast<uint8_t*>(got.data()), 256), 256);
    EXPECT_EQ(got, all);
    EXPECT_EQ(t.port.bytesWaiting(), 0);
}

TEST(PosixSerialPort, ReadWaitsTheTotalTimeOutWhenNothingArrives) {
    OpenPort t;
    ASSERT_TRUE(t.port.openPort(t.pty.path()));
    for (int32_t count : {1, 5, 20}) {
        std::vector<uint8_t> buffer(static_cast<size_t>(count));
        const auto start = SteadyClock::now();
        EXPECT_EQ(t.port.readPort(buffer.data(), count), 0);
        EXPECT_GE(elapsedMs(start), kReadTotalPerByteMs * count + kReadTotalConstantMs) << count;
    }
}

TEST(PosixSerialPort, ReadReturnsWhatCameWhenTheLineFallsSilent) {
    OpenPort t;
    ASSERT_TRUE(t.port.openPort(t.pty.path()));
    t.pty.send("V2.05");
    ASSERT_TRUE(waitForBytes(t.port, 5));
    uint8_t buffer[64];
    const auto start = SteadyClock::now();
    EXPECT_EQ(t.port.readPort(buffer, 64), 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 5), "V2.05");
    // The gap after the last byte, not the 740 ms for 64 bytes, ended the read.
    EXPECT_GE(elapsedMs(start), kReadIntervalMs);
}

TEST(PosixSerialPort, ReadOfBytesArrivingSteadilyEndsAtTheTotalTimeOut) {
    OpenPort t;
    ASSERT_TRUE(t.port.openPort(t.pty.path()));
    std::thread receiver([&] {
        for (int i = 0; i < 12; ++i) {
            t.pty.send("x");
            std::this_thread::sleep_for(milliseconds(50));
        }
    });
    uint8_t buffer[10];
    const auto start = SteadyClock::now();
    const int32_t got = t.port.readPort(buffer, 10);
    const int64_t took = elapsedMs(start);
    receiver.join();
    // Gaps of 50 ms never reach the 100 ms interval; 10 bytes would need 500 ms, and the
    // read may take only 10 x 10 + 100 ms.
    EXPECT_GE(took, 200);
    EXPECT_GE(got, 1);
    EXPECT_LT(got, 10);
}

TEST(PosixSerialPort, ReadOfAFullCountNeedsNoTimeOut) {
    OpenPort t;
    ASSERT_TRUE(t.port.openPort(t.pty.path()));
    t.pty.send("R40\r");
    ASSERT_TRUE(waitForBytes(t.port, 4));
    uint8_t buffer[4];
    EXPECT_EQ(t.port.readPort(buffer, 4), 4);
    EXPECT_EQ(t.port.readPort(buffer, 1), 0);
}

TEST(PosixSerialPort, UnpluggedReceiverGivesEmptyReadsAndReturns) {
    OpenPort t;
    ASSERT_TRUE(t.port.openPort(t.pty.path()));
    uint8_t command = 'V';
    ASSERT_EQ(t.port.writePort(&command, 1), 1);
    EXPECT_EQ(t.port.writeFailure(), "");
    std::thread unplug([&] {
        std::this_thread::sleep_for(milliseconds(100));
        t.pty.hangUp();
    });
    uint8_t buffer[200];
    const auto start = SteadyClock::now();
    // A long read in progress when the line goes away.
    EXPECT_EQ(t.port.readPort(buffer, 200), 0);
    unplug.join();
    EXPECT_LT(elapsedMs(start), 5000);
    // Afterwards every operation fails at once instead of spinning or blocking.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t.port.bytesWaiting(), 0);
        EXPECT_EQ(t.port.readPort(buffer, 1), 0);
        EXPECT_EQ(t.port.writePort(buffer, 1), 0);
    }
    // The system's own words, which a front end can pass on.
    EXPECT_EQ(t.port.writeFailure(), "Input/output error");
    t.port.closePort();
    EXPECT_FALSE(t.port.isPortOpen());
    // A new open starts clean.
    PtyPair again;
    ASSERT_TRUE(t.port.openPort(again.path()));
    EXPECT_EQ(t.port.writeFailure(), "");
}

TEST(PosixSerialPort, WriteGivesUpAfterItsTimeOutWhenTheLineIsFull) {
    OpenPort t;
    ASSERT_TRUE(t.port.openPort(t.pty.path()));
    // Nobody reads the other end: fill every buffer on the way until writes are refused.
    // The terminal layer moves bytes between its buffers behind our back for a while, so
    // fill again until the line has stayed full over a short settling time.
    const uint8_t block[256] = {};
    const int fd = t.pty.subsidiary();
    ASSERT_EQ(fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK), 0);
    const auto fillUntilRefused = [&] {
        for (int i = 0; i < 10000; ++i) {
            if (::write(fd, block, sizeof block) < 0) {
                return true;
            }
        }
        return false;
    };
    bool settled = false;
    for (int round = 0; round < 50 && !settled; ++round) {
        ASSERT_TRUE(fillUntilRefused());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        settled = ::write(fd, block, 1) < 0;
    }
    ASSERT_TRUE(settled);
    const uint8_t command[3] = {'C', '1', '4'};
    const auto start = SteadyClock::now();
    EXPECT_LT(t.port.writePort(command, 3), 3);
    const int64_t took = elapsedMs(start);
    EXPECT_GE(took, kWriteTotalPerByteMs * 3 + kWriteTotalConstantMs);
    EXPECT_LT(took, 5000);
}

// The kernel's console (here ttyUSB2, as console=ttyUSB2 makes it) is neither listed nor
// tried, even when named.
TEST(LinuxPortLister, PortNamesListTheLeadingDevicesFirstAndNeverTheConsole) {
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("tamlo-console-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "sys/class/tty/console");
    std::ofstream(root / "sys/class/tty/console/active") << "tty0 ttyUSB2\n";
    PosixPortOptions options;
    options.sysfsRoot = root / "sys";
    options.leadingDevices = {"/dev/pts/9"};
    options.namedDevices = {"/dev/ttyUSB10", "/dev/ttyUSB2"};
    options.discover = false;
    LinuxPortLister lister(options);
    EXPECT_EQ(lister.portNames(), (std::vector<std::string>{"/dev/pts/9", "/dev/ttyUSB10"}));
    EXPECT_EQ(lister.inspect("/dev/ttyUSB2").refusal, OpenRefusal::Console);
    EXPECT_EQ(lister.probe("/dev/ttyUSB2").refusal, OpenRefusal::Console);
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace tamlo
