// Real time over pseudo-terminals: several simulated receivers at once, one of them
// unplugged in the middle of its write, and Ctrl-C during a write. Only lower bounds of
// time are asserted.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "cli/run_outputs.h"
#include "cli/tamlo_program.h"
#include "files/posix/posix_file_store.h"
#include "serial/discovery.h"
#include "serial/linux/linux_port_lister.h"
#include "serial/linux/posix_serial_port.h"
#include "serial/linux/real_clock.h"
#include "sim/pty_server.h"
#include "support/child_process.h"
#include "support/pty_pair.h"

namespace tamlo::cli {
namespace {

class PosixConnection final : public Connection {
  public:
    PosixConnection() : port_(options()) {}
    SerialPort& port() override { return port_; }
    Clock& clock() override { return clock_; }

    static PosixPortOptions options() {
        PosixPortOptions o;
        o.discover = false;
        return o;
    }

  private:
    PosixSerialPort port_;
    RealClock clock_;
};

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Receivers {
    std::vector<std::unique_ptr<sim::PtyServer>> servers;
    std::vector<std::string> devices;
    std::vector<std::vector<std::string>> logs;
    std::mutex mutex;

    explicit Receivers(size_t count, const std::vector<std::string>& versions = {}) : logs(count) {
        for (size_t i = 0; i < count; ++i) {
            sim::ReceiverSettings settings;
            if (i < versions.size()) {
                settings.version = versions[i];
            }
            auto server = std::make_unique<sim::PtyServer>(settings);
            server->setLogSink([this, i](const std::string& line) {
                std::lock_guard lock(mutex);
                logs[i].push_back(line);
            });
            std::string error;
            EXPECT_TRUE(server->start(error)) << error;
            devices.push_back(server->devicePath());
            servers.push_back(std::move(server));
        }
    }
    // The servers log from their own threads into logs: they stop before logs goes.
    ~Receivers() {
        for (const auto& server : servers) {
            server->stop();
        }
    }
    Receivers(const Receivers&) = delete;
    Receivers& operator=(const Receivers&) = delete;

    bool heard(size_t i, const std::string& command) {
        std::lock_guard lock(mutex);
        for (const std::string& line : logs[i]) {
            if (line.find("  " + command) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
};

struct Tamlo {
    std::ostringstream out;
    std::ostringstream err;
    std::atomic<int> stopRequests{0};
    PosixFileStore files;
    LinuxPortLister lister{PosixConnection::options()};
    std::vector<std::string> portsFiles;

    int operator()(const std::vector<std::string>& args) {
        Platform platform{
            .connect = [](const std::string&) -> std::unique_ptr<Connection> {
                return std::make_unique<PosixConnection>();
            },
            .lister = lister,
            .portsFiles = portsFiles,
            .startSimulator = nullptr,
            .isoNow = [] { return std::string("2026-12-07T12:00:00.000Z"); },
            .monotonicMs = nowMs,
            .files = files,
            .readStandardInput = [](int64_t) { return FileText{}; },
            .out = out,
            .err = err,
            .terminal = false,
            .unicode = true,
            .stopRequests = &stopRequests,
        };
        return runTamlo(args, platform);
    }
};

std::string settingsFile(const std::string& name, const std::string& text) {
    // Named for this process: the same tests may run at once from another build folder.
    const auto path = std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + name);
    std::ofstream(path) << text;
    return path.string();
}

TEST(PtyFleet, FourReceiversOneUnpluggedMidWrite) {
    Receivers receivers(4);
    const std::string file =
        settingsFile("tamlo-pty-fleet.toml", "[settings]\nchannel2 = \"137.500\"\n");
    std::vector<std::string> args = {"apply", file};
    for (const std::string& device : receivers.devices) {
        args.push_back("-p");
        args.push_back(device);
    }
    // Generation 3: the STORE runs from about 1.05 s to 3 s after the start. The second
    // receiver is pulled out once its write has begun, however loaded the machine.
    std::thread unplug([&] {
        const int64_t giveUp = nowMs() + 10000;
        while (!receivers.heard(1, "E0") && nowMs() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        receivers.servers[1]->stop();
    });
    Tamlo run;
    const int64_t start = nowMs();
    const int status = run(args);
    const int64_t took = nowMs() - start;
    unplug.join();
    EXPECT_EQ(status, kExitFailed) << run.out.str() << run.err.str();
    for (size_t i : {0u, 2u, 3u}) {
        EXPECT_NE(run.out.str().find(receivers.devices[i] + ": changed, verified\n"),
                  std::string::npos)
            << run.out.str();
        EXPECT_TRUE(receivers.heard(i, "C27500"));
    }
    EXPECT_TRUE(receivers.heard(1, "E0"));
    EXPECT_NE(run.out.str().find("apply: 4 receivers: 0 unchanged, 3 changed, 1 failed (" +
                                 receivers.devices[1] + ")"),
              std::string::npos)
        << run.out.str();
    // All at once: one receiver's read, write and read-back, not four of them.
    EXPECT_GE(took, 2850);
    std::filesystem::remove(file);
}

// A mixed fleet named in a ports file, backed up at once into a folder, and restored; a line
// another program holds (a GPS daemon's) is left as it was by ports, --probe, --all, discovery.
TEST(PtyFleet, ReadAllIntoAFolderAndRestore) {
    Receivers receivers(4, {"1.50", "1.90", "2.05", "2.05"});
    std::string names;
    for (size_t i = 0; i < 4; ++i) {
        names += "rx" + std::to_string(i + 1) + " = \"" + receivers.devices[i] + "\"\n";
    }
    tamlo::testing::PtyPair gps;
    sim::testing::ChildProcess daemon({"/bin/sh", "-c",
                                       "exec <\"$0\"; stty 9600 -cstopb crtscts icanon echo isig "
                                       "icrnl ixon opost && echo set && exec sleep 60",
                                       gps.path()});
    ASSERT_EQ(sim::testing::ChildProcess::readFrom(daemon.out, 5000, true), "set\n");
    names += "gps = \"" + gps.path() + "\"\n";
    termios before{};
    ASSERT_EQ(::tcgetattr(gps.subsidiary(), &before), 0);
    const auto folder =
        std::filesystem::temp_directory_path() / ("tamlo-pty-backup-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    Tamlo run;
    run.portsFiles = {settingsFile("tamlo-pty-ports.toml", names)};
    // "gps (/dev/pts/N): in use by sh (process N)", or by sleep once it runs.
    const std::string process = "(process " + std::to_string(daemon.pid) + ")\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"ports"}, std::vector<std::string>{"ports", "--probe"}}) {
        Tamlo look;
        look.portsFiles = run.portsFiles;
        ASSERT_EQ(look(args), kExitOk) << look.err.str();
        EXPECT_NE(look.out.str().find(process), std::string::npos) << look.out.str();
    }
    const int64_t start = nowMs();
    ASSERT_EQ(run({"read", "--all", "-o", folder.string() + "/"}), kExitOk) << run.err.str();
    EXPECT_GE(nowMs() - start, 2950);  // generation 2's read, the longest
    EXPECT_NE(run.out.str().find("read: 4 receivers: 4 saved, 0 failed"), std::string::npos);
    for (size_t i = 0; i < 4; ++i) {
        std::ifstream in(folder / ("rx" + std::to_string(i + 1) + ".toml"));
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        EXPECT_NE(text.find("port = \"rx" + std::to_string(i + 1) + "\""), std::string::npos);
        EXPECT_NE(text.find(i < 2 ? "generation = " + std::to_string(i + 1) : "generation = 3"),
                  std::string::npos)
            << text;
    }
    Tamlo restore;
    restore.portsFiles = run.portsFiles;
    EXPECT_EQ(restore({"write", "-p", "rx2", (folder / "rx2.toml").string()}), kExitOk);
    EXPECT_EQ(restore.out.str(), "rx2: firmware 1.90: written, verified\n");
    PosixPortOptions window = PosixConnection::options();
    window.namedDevices = {gps.path()};
    LinuxPortLister windowLister(window);
    EXPECT_TRUE(discoverPorts(windowLister).empty());  // the window's discovery
    // The held line is as its holder set it (stty -a the same), and it heard nothing.
    termios after{};
    ASSERT_EQ(::tcgetattr(gps.subsidiary(), &after), 0);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(gps.receive(1, 200), "");
    std::filesystem::remove_all(folder);
}

// The program itself, stopped by a signal while it writes to a receiver on a pty: a first
// request lets the write finish, a second stops at once and says how far it got, a closed
// standard output ends it quietly once the write is through, a full one is reported; rssi
// into head ends at once; afterwards the port opens again at once and the receiver holds
// what the report says. A worker stuck in its byte log (a pipe nobody reads) does not keep
// the program from ending after the second request, nor its port held.
TEST(PtyFleet, SignalsDuringAWrite) {
    struct Case {
        const char* name;
        int signal;  // 0: none; the reader closes standard output instead
        int times;
        int exit;
        const char* says;
        bool whole;          // the receiver holds the whole write
        bool rssi;           // rssi instead of the write: the reader goes after the first row
        const char* output;  // standard output goes to this file instead of the pipe
        int endsWithinMs;    // after the signal or the reader's going
        bool stuck = false;  // --log into a pipe that fills in the middle of the STORE
    };
    const Case cases[] = {
        {"INT", SIGINT, 1, kExitInterrupted, "interrupted: finishing the write to ", true, false,
         nullptr, 60000},
        {"TERM", SIGTERM, 1, 128 + SIGTERM, "terminated: finishing the write to ", true, false,
         nullptr, 60000},
        {"HUP", SIGHUP, 1, 128 + SIGHUP, "hung up: finishing the write to ", true, false, nullptr,
         60000},
        {"PIPE", 0, 0, kExitReaderGone, "", true, false, nullptr, 60000},
        {"INT twice", SIGINT, 2, kExitInterrupted, "the receiver holds a mix; run the write again",
         false, false, nullptr, 60000},
        // tamlo rssi | head -1: ends quietly, the port released. It takes about a tenth
        // of a second; the bound only tells a hang from an end on a loaded machine.
        {"rssi | head -1", 0, 0, kExitReaderGone, "", false, true, nullptr, 10000},
        {"> /dev/full", -1, 0, kExitFailed,
         "tamlo: standard output: cannot be written: No space left on device\n", true, false,
         "/dev/full", 60000},
        {"TERM twice, stuck in the log", SIGTERM, 2, 128 + SIGTERM,
         "a port did not stop in time; exiting without its report\n", false, false, nullptr, 60000,
         true},
    };
    const std::string file = settingsFile(
        "tamlo-pty-signals.toml",
        "[settings]\nchannel1 = \"138.500\"\nchannel2 = \"138.510\"\nchannel3 = \"138.520\"\n"
        "channel4 = \"138.530\"\nchannel5 = \"138.540\"\nchannel6 = \"138.550\"\n"
        "threshold = 12\naudio_level = 9\ndiversity = true\nlna_supply = false\n");
    for (const Case& c : cases) {
        Receivers receivers(1);
        const std::string& device = receivers.devices[0];
        const int64_t start = nowMs();
        std::vector<std::string> args = {TAMLO_BINARY, "write", "-p", device, file};
        if (c.rssi) {
            args = {TAMLO_BINARY, "rssi", "-p", device};
        }
        if (c.output != nullptr) {
            args.insert(args.begin(),
                        {"/bin/sh", "-c", std::string("exec \"$0\" \"$@\" >") + c.output});
        }
        const std::string fifo = file + ".log";
        int logReader = -1;
        if (c.stuck) {
            // Room for the log up to about channel 2 (a sent byte is a line of 45 bytes).
            std::filesystem::remove(fifo);  // left by a run that failed
            ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
            logReader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
            ASSERT_GE(::fcntl(logReader, F_SETPIPE_SZ, 4096), 4096);
            const int filler = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            ASSERT_EQ(::write(filler, std::string(2600, '#').data(), 2600), 2600);
            ::close(filler);
            args.insert(args.begin() + 1, {"--log", fifo});
        }
        sim::testing::ChildProcess child(args);
        ASSERT_GT(child.pid, 0) << c.name;
        // Once the write has begun (channel 1 is through for the second request), however
        // long a loaded machine took to get there; or once rssi's first row has come.
        const int64_t giveUp = nowMs() + 10000;
        const char* begun = c.times == 2 ? "C18500" : "E0";
        std::string first;
        if (c.rssi) {
            first = sim::testing::ChildProcess::readFrom(child.out, 10000, true);
        }
        while (!c.rssi && !receivers.heard(0, begun) && nowMs() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // The pipe full: nothing more comes for longer than a STORE's longest pause.
        for (int logged = -1, now = 0; c.stuck && nowMs() < giveUp; logged = now) {
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
            if (::ioctl(logReader, FIONREAD, &now) != 0 || now == logged) {
                break;
            }
        }
        if (c.signal == 0) {
            child.closeOut();
        }
        for (int k = 0; k < c.times; ++k) {
            kill(child.pid, c.signal);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const int exit = child.wait(c.endsWithinMs);
        const int64_t took = nowMs() - start;
        const std::string errors = sim::testing::ChildProcess::readFrom(child.err, 1000, false);
        const std::string text =
            first + sim::testing::ChildProcess::readFrom(child.out, 1000, false) + errors;
        ASSERT_GE(exit, 0) << c.name << ": ended by a signal or not at all: " << text;
        EXPECT_EQ(exit, c.exit) << c.name << ": " << text;
        EXPECT_NE(text.find(c.says), std::string::npos) << c.name << ": " << text;
        if (*c.says == '\0') {
            EXPECT_EQ(errors, "") << c.name;  // a pipe that ends, ends quietly
        }
        if (c.times == 1 && c.signal > 0) {
            EXPECT_NE(text.find("; the other ports are skipped; Ctrl-C again stops at once"),
                      std::string::npos)
                << c.name << ": " << text;
        }
        if (c.whole) {
            // V and the whole write: its closing pair ends at least 2.15 s after the start.
            EXPECT_GE(took, 2150) << c.name;
        }
        // The port opens again at once, and the receiver holds the whole write or a mix.
        Tamlo after;
        ASSERT_EQ(after({"read", "-p", device}), kExitOk) << c.name << ": " << after.err.str();
        const std::string held = after.out.str();
        if (c.rssi) {
            continue;
        }
        EXPECT_NE(held.find("channel1 = \"138.500\""), std::string::npos) << c.name << held;
        EXPECT_EQ(held.find("threshold = 12\n") != std::string::npos, c.whole) << c.name << held;
        if (c.stuck) {
            ::close(logReader);
            std::filesystem::remove(fifo);
        }
    }
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace tamlo::cli
