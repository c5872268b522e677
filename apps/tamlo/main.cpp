// tamlo: the command-line program. Chooses the platform's port, clock, files and terminal,
// starts the simulated receiver when asked (Linux), takes the signals that ask it to stop,
// and hands over to the front end.
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/tamlo_program.h"
#include "files/checked_stream.h"
#include "files/store_file.h"
#include "serve/serve_run.h"

#ifdef _WIN32
#include <windows.h>

#include "files/win32/win32_file_store.h"
#include "serial/win32/win32_clock.h"
#include "serial/win32/win32_port_lister.h"
#include "serial/win32/win32_serial_port.h"
#else
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "files/posix/pipe_reader.h"
#include "files/posix/posix_file_store.h"
#include "serial/linux/device_users.h"
#include "serial/linux/linux_port_lister.h"
#include "serial/linux/posix_serial_port.h"
#include "serial/linux/real_clock.h"
#include "serial/linux/usb_adapters.h"
#include "sim/pty_server.h"
#endif

namespace {

// Written only by the signal handler; read by the workers, the thread that draws the
// progress and the watch below. The first request lets every STORE under way finish; the
// second stops at once, and the workers still release their ports and say how far each
// write got.
std::atomic<int> stopRequests{0};
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);
// How the handler wakes the watch below: a pipe's write end, or an event, both safe to touch
// in a handler; so a long run (the service) sleeps until a signal comes.
#ifdef _WIN32
std::atomic<HANDLE> stopWake{nullptr};
#else
std::atomic<int> stopWake{-1};
#endif

void wakeStopWatch() {
#ifdef _WIN32
    if (HANDLE event = stopWake.load()) {
        SetEvent(event);
    }
#else
    if (const int fd = stopWake.load(); fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);  // full: a wake is waiting
    }
#endif
}

extern "C" void onStopSignal(int signal) {
    int none = 0;
    stopSignal.compare_exchange_strong(none, signal);
    stopRequests.fetch_add(1);
    wakeStopWatch();
#ifdef _WIN32
    std::signal(signal, onStopSignal);  // the C runtime resets the handler on Windows
#endif
}

void takeSignals() {
    // Ctrl-C, and on POSIX the end of the session (SIGHUP: the SSH connection dropped) and
    // a polite kill (SIGTERM), all stop the program the same careful way.
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
#ifdef _WIN32
    std::signal(SIGBREAK, onStopSignal);
#else
    std::signal(SIGHUP, onStopSignal);
    // A closed standard output (a pipe into head) must not kill a write in progress, and a
    // file-size limit must fail a write, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

// Whether the terminal's character set is UTF-8, so that it shows block characters.
bool utf8Locale() {
#ifdef _WIN32
    return false;  // the console's code page may have no block characters
#else
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            std::string text(value);
            for (char& c : text) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            return text.find("utf-8") != std::string::npos ||
                   text.find("utf8") != std::string::npos;
        }
    }
    return false;
#endif
}

#ifdef _WIN32
using PlatformFiles = tamlo::Win32FileStore;
#else
using PlatformFiles = tamlo::PosixFileStore;
#endif

tamlo::FileText readStandardInput(int64_t maxBytes) {
    tamlo::FileText result;
    char buffer[4096];
    while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0) {
        result.text.append(buffer, static_cast<size_t>(std::cin.gcount()));
        if (static_cast<int64_t>(result.text.size()) > maxBytes) {
            result.text.clear();
            result.error = tamlo::tooLargeText(maxBytes);
            break;
        }
    }
    return result;
}

#ifdef _WIN32
using PlatformPort = tamlo::Win32SerialPort;
using PlatformLister = tamlo::Win32PortLister;
using PlatformClock = tamlo::Win32Clock;
#else
using PlatformPort = tamlo::PosixSerialPort;
using PlatformLister = tamlo::LinuxPortLister;
using PlatformClock = tamlo::RealClock;
#endif

#ifndef _WIN32
tamlo::PosixPortOptions withPasses(std::shared_ptr<tamlo::DeviceUserPasses> passes) {
    tamlo::PosixPortOptions options;
    options.userPasses = std::move(passes);
    return options;
}
#endif

class PlatformConnection final : public tamlo::cli::Connection {
  public:
#ifndef _WIN32
    // Ports opened at once (a fleet, every receiver of a scrape) look through /proc together.
    explicit PlatformConnection(std::shared_ptr<tamlo::DeviceUserPasses> passes)
        : port_(withPasses(std::move(passes))) {}
#endif
    tamlo::SerialPort& port() override {
        return port_;
    }
    tamlo::Clock& clock() override {
        return clock_;
    }

  private:
    PlatformPort port_;
    PlatformClock clock_;  // made on the worker's own thread
};

std::string isoNow() {
    return tamlo::isoTimeUtc(std::chrono::system_clock::now());
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

// The files that name ports: the machine's, then the user's, whose names win.
std::vector<std::string> portsFiles() {
    std::vector<std::string> files;
    const auto under = [&](const char* variable, const std::string& rest) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            files.push_back(value + rest);
            return true;
        }
        return false;
    };
#ifdef _WIN32
    under("PROGRAMDATA", "\\tamlo\\ports.toml");
    under("APPDATA", "\\tamlo\\ports.toml");
#else
    files.emplace_back("/etc/tamlo/ports.toml");
    if (!under("XDG_CONFIG_HOME", "/tamlo/ports.toml")) {
        under("HOME", "/.config/tamlo/ports.toml");
    }
#endif
    return files;
}

int64_t monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// After the second request every worker stops within a read's time-out and closes its port.
// One stuck outside its line (writing into a full pipe, a FIFO, a disk that hangs) must not
// keep the program from ending, nor leave its port held: its port is released, a call under
// way on it given a moment to end, and then the process ends without the report.
constexpr auto kStopGrace = std::chrono::milliseconds(3000);
constexpr auto kReleaseWait = std::chrono::milliseconds(1000);

class StopWatch {
  public:
    explicit StopWatch(tamlo::cli::HeldPorts& held) : held_(held) {
#ifdef _WIN32
        stopWake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
#else
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
            readEnd_ = ends[0];
            stopWake = ends[1];
        }
#endif
        thread_ = std::thread([this] { watch(); });
    }
    ~StopWatch() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        wakeStopWatch();
        thread_.join();
        // The pipe or the event stays open until the process ends: a handler running now
        // must not write into a descriptor number that something else opens next.
    }
    StopWatch(const StopWatch&) = delete;
    StopWatch& operator=(const StopWatch&) = delete;

  private:
    // Until the handler or the end of the run wakes it; without a pipe or an event, a look
    // ten times a second.
    void sleepUntilWoken() {
#ifdef _WIN32
        if (HANDLE event = stopWake.load()) {
            WaitForSingleObject(event, INFINITE);
        } else {
            Sleep(100);
        }
#else
        pollfd wake{readEnd_, POLLIN, 0};
        ::poll(&wake, readEnd_ >= 0 ? 1 : 0, readEnd_ >= 0 ? -1 : 100);
        char bytes[64];
        while (readEnd_ >= 0 && ::read(readEnd_, bytes, sizeof bytes) > 0) {
        }
#endif
    }

    void watch() {
        while (!done_ && stopRequests.load() < 2) {
            sleepUntilWoken();
        }
        std::unique_lock lock(mutex_);
        if (done_ || changed_.wait_for(lock, kStopGrace, [this] { return done_.load(); })) {
            return;
        }
        const size_t open = held_.releaseAll(kReleaseWait);
        std::cerr << "tamlo: a port did not stop in time; exiting without its report"
                  << (open > 0 ? " (a port could not be closed)" : "") << "\n";
        std::cerr.flush();
        const int signal = stopSignal.load();
        std::_Exit(signal > 0 ? 128 + signal : tamlo::cli::kExitInterrupted);
    }

    tamlo::cli::HeldPorts& held_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> done_{false};
    int readEnd_ = -1;
    std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    takeSignals();
    PlatformFiles files;
    // Every command's standard output, checked: a full disk or a closed pipe ends the run.
#ifdef _WIN32
    tamlo::CheckedStream standardOutput("standard output", stdout);
#else
    tamlo::CheckedStream standardOutput("standard output", stdout,
                                        [] { return tamlo::pipeReaderGone(STDOUT_FILENO); });
#endif
    tamlo::cli::HeldPorts heldPorts;
    PlatformLister lister;

    tamlo::cli::Platform platform{
#ifdef _WIN32
        .connect = [](const std::string&) -> std::unique_ptr<tamlo::cli::Connection> {
            return std::make_unique<PlatformConnection>();
        },
#else
        .connect = [passes = std::make_shared<tamlo::DeviceUserPasses>()](
                       const std::string&) -> std::unique_ptr<tamlo::cli::Connection> {
            return std::make_unique<PlatformConnection>(passes);
        },
#endif
        .lister = lister,
        .portsFiles = portsFiles(),
        .startSimulator = nullptr,
        .isoNow = isoNow,
        .monotonicMs = monotonicMs,
        .unixMs =
            [] {
                return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::system_clock::now().time_since_epoch())
                                                .count());
            },
        .files = files,
        .readStandardInput = readStandardInput,
        .out = standardOutput,
        .err = std::cerr,
        .terminal = progressTerminal(),
        .unicode = utf8Locale(),
        .stopRequests = &stopRequests,
        .stopSignal = &stopSignal,
        .standardOutput = &standardOutput,
        .heldPorts = &heldPorts,
    };

    platform.serve = tamlo::serve::commandServe;
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

    int status = tamlo::cli::kExitFailed;
    {
        const StopWatch watch(heldPorts);
        try {
            status = tamlo::cli::runTamlo(args, platform);
        } catch (const std::exception& e) {
            // Never expected; still a message and an orderly exit in which every port was
            // closed on the way out.
            std::cerr << "tamlo: " << e.what() << "\n";
        }
    }
#ifndef _WIN32
    if (simulator) {
        simulator->stop();
    }
#endif
    return status;
}
