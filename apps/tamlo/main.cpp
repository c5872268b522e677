// tamlo: the command-line program. Chooses the platform's port, clock and terminal, starts
// the simulated receiver when asked (Linux), takes Ctrl-C, and hands over to the front end.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/front_end.h"

#ifdef _WIN32
#include <windows.h>

#include "serial/win32/win32_clock.h"
#include "serial/win32/win32_serial_port.h"
#else
#include <unistd.h>

#include "serial/linux/posix_serial_port.h"
#include "serial/linux/real_clock.h"
#include "sim/pty_server.h"
#endif

namespace {

// Written only by the signal handler; read by the thread that draws the progress.
std::atomic<int> interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onInterrupt(int) {
    // The first Ctrl-C lets every STORE under way finish; the second stops at once.
    if (interrupts.fetch_add(1) >= 1) {
        std::_Exit(130);
    }
#ifdef _WIN32
    std::signal(SIGINT, onInterrupt);  // the C runtime resets the handler on Windows
#endif
}

#ifdef _WIN32
using PlatformPort = tamlo::Win32SerialPort;
using PlatformClock = tamlo::Win32Clock;
#else
using PlatformPort = tamlo::PosixSerialPort;
using PlatformClock = tamlo::RealClock;
#endif

class PlatformConnection final : public tamlo::cli::Connection {
  public:
    tamlo::SerialPort& port() override { return port_; }
    tamlo::Clock& clock() override { return clock_; }

  private:
    PlatformPort port_;
    PlatformClock clock_;  // made on the worker's own thread
};

std::string isoNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    char full[48];
    std::snprintf(full, sizeof full, "%s.%03dZ", text, static_cast<int>(ms));
    return full;
}

// Whether standard error is a terminal that takes the cursor movements of the progress bars.
bool progressTerminal() {
#ifdef _WIN32
    // A console since Windows 10 does, once asked to; a pipe or an older console does not.
    HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return console != INVALID_HANDLE_VALUE && GetConsoleMode(console, &mode) &&
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

int64_t monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::signal(SIGINT, onInterrupt);

    tamlo::cli::Platform platform{
        .connect = [](const std::string&) -> std::unique_ptr<tamlo::cli::Connection> {
            return std::make_unique<PlatformConnection>();
        },
        .startSimulator = nullptr,
        .isoNow = isoNow,
        .monotonicMs = monotonicMs,
        .out = std::cout,
        .err = std::cerr,
        .terminal = progressTerminal(),
#ifdef _WIN32
        .unicode = false,  // the console's code page may have no block characters
#else
        .unicode = true,
#endif
        .interrupts = &interrupts,
        .interruptible = true,
    };

#ifndef _WIN32
    // The simulated receiver serves a pseudo-terminal from its own thread until exit.
    std::unique_ptr<tamlo::sim::PtyServer> simulator;
    platform.startSimulator = [&](const std::string& version, std::string& device,
                                  std::string& error) {
        tamlo::sim::ReceiverSettings receiver;
        receiver.version = version;
        simulator = std::make_unique<tamlo::sim::PtyServer>(receiver);
        if (!simulator->start(error)) {
            return false;
        }
        device = simulator->devicePath();
        return true;
    };
#endif

    const int status = tamlo::cli::runTamlo(args, platform);
    std::cout.flush();
#ifndef _WIN32
    if (simulator) {
        simulator->stop();
    }
#endif
    return status;
}
