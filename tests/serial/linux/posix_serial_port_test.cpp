#include "serial/linux/posix_serial_port.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

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
    OpenPort() : port(diagnostics, namedOnly({})) {}
    std::ostringstream diagnostics;
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
    ASSERT_EQ(tcgetattr(t.port.fileDescriptor(), &line), 0);
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
    EXPECT_TRUE(t.diagnostics.str().empty());
}

TEST(PosixSerialPort, ASecondOpenOfAnOpenDeviceFails) {
    OpenPort t;
    ASSERT_TRUE(t.port.openPort(t.pty.path()));
    std::ostringstream quiet;
    PosixSerialPort other(quiet, namedOnly({}));
    EXPECT_FALSE(other.openPort(t.pty.path()));
    EXPECT_FALSE(other.isPortOpen());
    // Once closed, the device is free again, for us and for others.
    t.port.closePort();
    EXPECT_FALSE(t.port.isPortOpen());
    EXPECT_TRUE(other.openPort(t.pty.path()));
    other.closePort();
    EXPECT_TRUE(t.port.openPort(t.pty.path()));
}

TEST(PosixSerialPort, WhatIsNotASerialDeviceDoesNotOpen) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("tamlo-not-a-port-" + std::to_string(getpid()));
    std::ofstream(file) << "data";
    for (const std::string& name : {std::string("/nonexistent/ttyS0"), std::string("/dev/null"),
                                    file.string(), std::string("")}) {
        std::ostringstream diagnostics;
        PosixSerialPort port(diagnostics, namedOnly({}));
        EXPECT_FALSE(port.openPort(name)) << name;
        EXPECT_FALSE(port.isPortOpen()) << name;
        EXPECT_EQ(port.fileDescriptor(), -1);
        EXPECT_TRUE(diagnostics.str().empty()) << name;
    }
    std::filesystem::remove(file);
}

// Opens path as a user without rights to it: root itself is never refused, so a root run
// tries from a child that has given its rights away. Returns what was said, or "<opened>".
std::string openWithoutRights(const std::string& path) {
    const auto attempt = [&path] {
        std::ostringstream diagnostics;
        PosixSerialPort port(diagnostics, namedOnly({}));
        return port.openPort(path) ? std::string("<opened>") : diagnostics.str();
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

TEST(PosixSerialPort, ADeviceRefusedForItsPermissionsIsNamedOnStandardError) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_EQ(chmod(pty.path().c_str(), 0600), 0);
    struct stat info {};
    ASSERT_EQ(stat(pty.path().c_str(), &info), 0);
    if (info.st_uid == 65534 || (geteuid() != 0 && info.st_uid == geteuid())) {
        GTEST_SKIP() << "the device belongs to the user the test runs as";
    }
    const std::string said = openWithoutRights(pty.path());
    EXPECT_NE(said.find(pty.path()), std::string::npos) << said;
    EXPECT_NE(said.find("permission denied"), std::string::npos) << said;
    EXPECT_NE(said.find("group"), std::string::npos) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;  // one line
}

TEST(PosixSerialPort, NothingHappensWithoutAnOpenPort) {
    std::ostringstream diagnostics;
    PosixSerialPort port(diagnostics, namedOnly({}));
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
    t.port.closePort();
    EXPECT_FALSE(t.port.isPortOpen());
}

TEST(PosixSerialPort, WriteGivesUpAfterItsTimeOutWhenTheLineIsFull) {
    OpenPort t;
    ASSERT_TRUE(t.port.openPort(t.pty.path()));
    // Nobody reads the other end: fill every buffer on the way until writes are refused.
    // The terminal layer moves bytes between its buffers behind our back for a while, so
    // fill again until the line has stayed full over a short settling time.
    const uint8_t block[256] = {};
    const int fd = t.port.fileDescriptor();
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

TEST(PosixSerialPort, PortNamesListTheLeadingDevicesFirst) {
    std::ostringstream diagnostics;
    PosixPortOptions options;
    options.leadingDevices = {"/dev/pts/9"};
    options.namedDevices = {"/dev/ttyUSB10", "/dev/ttyUSB2"};
    options.discover = false;
    PosixSerialPort port(diagnostics, options);
    EXPECT_EQ(port.portNames(),
              (std::vector<std::string>{"/dev/pts/9", "/dev/ttyUSB2", "/dev/ttyUSB10"}));
}

}  // namespace
}  // namespace tamlo
