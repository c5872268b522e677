// The whole program in real time: the configurator on the POSIX line and the real clock,
// talking to the simulated receiver on a pseudo-terminal, as the desktop program does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/configurator.h"
#include "serial/linux/linux_port_lister.h"
#include "serial/linux/posix_serial_port.h"
#include "serial/linux/real_clock.h"
#include "sim/pty_server.h"
#include "tamlo-config/refused_ports.h"
#include "ui/memory_window.h"

namespace tamlo {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

struct Session {
    explicit Session(const std::string& version) : server(receiverOf(version)) {
        std::string error;
        started = server.start(error);
        options.leadingDevices = {server.devicePath()};
        options.namedDevices = {"/nonexistent/ttyUSB0"};
        options.discover = false;
        port = std::make_unique<PosixSerialPort>(options);
        lister = std::make_unique<LinuxPortLister>(options);
        configurator = std::make_unique<Configurator>(window, *port, *lister, clock);
        notices = refusedPortNotices(configurator->startUp(), options.namedDevices);
    }

    static sim::ReceiverSettings receiverOf(const std::string& version) {
        sim::ReceiverSettings settings;
        settings.version = version;
        settings.channelCode = {4000, 5250, 6500, 7120, 8000, 8990};
        settings.threshold = 45;
        settings.audioLevel = 7;
        settings.diversity = false;
        settings.lna = true;
        settings.rssi = 40;
        return settings;
    }

    bool choosePort() {
        if (!window.choosePortEntry(server.devicePath())) {
            return false;
        }
        configurator->dispatch(ids::PortList);
        return port->isPortOpen();
    }

    std::vector<std::string> messageTexts() const {
        std::vector<std::string> texts;
        for (const auto& [caption, text] : window.messages()) {
            texts.push_back(caption + ": " + text);
        }
        return texts;
    }

    sim::PtyServer server;
    bool started = false;
    std::string notices;
    PosixPortOptions options;
    MemoryWindow window;
    RealClock clock;
    std::unique_ptr<PosixSerialPort> port;
    std::unique_ptr<LinuxPortLister> lister;
    std::unique_ptr<Configurator> configurator;
};

struct GenerationCase {
    const char* version;
    int generation;
};

void PrintTo(const GenerationCase& g, std::ostream* out) {
    *out << "firmware " << g.version;
}

class RealTimeSession : public ::testing::TestWithParam<GenerationCase> {};

TEST_P(RealTimeSession, LoadAndStoreOverThePseudoTerminal) {
    const GenerationCase g = GetParam();
    Session s(g.version);
    ASSERT_TRUE(s.started);
    // Only the receiver's device opened; the missing one is named on standard error.
    EXPECT_EQ(s.window.portEntries(), std::vector<std::string>{s.server.devicePath()});
    EXPECT_EQ(s.notices, "tamlo-config: /nonexistent/ttyUSB0: does not exist\n");
    EXPECT_FALSE(s.port->isPortOpen());
    ASSERT_TRUE(s.choosePort());

    s.configurator->dispatch(ids::LoadButton);
    EXPECT_TRUE(s.messageTexts().empty());
    EXPECT_EQ(s.window.controlText(1), "134.000 MHz");
    EXPECT_EQ(s.window.controlText(4), "137.120 MHz");
    EXPECT_EQ(s.window.controlText(ids::ThresholdField), "45");
    EXPECT_EQ(s.window.controlText(ids::RssiDisplay), "40");
    EXPECT_EQ(s.window.statusText().rfind("TamloX, firmware version " + std::string(g.version), 0),
              0u);

    // The user edits the form and stores it.
    s.window.setControlText(1, "138.500 MHz");
    s.window.setControlText(6, "134.010 MHz");
    s.window.setControlText(ids::ThresholdField, "30");
    if (g.generation >= 2) {
        s.window.setControlText(ids::AudioLevelField, "12");
        s.window.setControlState(ids::DiversityOrLnaCheck, g.generation == 2 ? 1 : 0);
    }
    if (g.generation == 3) {
        s.window.setControlState(ids::DiversityCheck3, 1);
    }
    s.configurator->dispatch(ids::StoreButton);
    EXPECT_TRUE(s.messageTexts().empty());
    EXPECT_EQ(s.window.statusText(), "ready");

    // What the receiver now holds, read by a fresh LOAD into a blanked form.
    for (int id : {1, 6, ids::ThresholdField, ids::AudioLevelField}) {
        s.window.setControlText(id, "");
    }
    s.configurator->dispatch(ids::LoadButton);
    EXPECT_TRUE(s.messageTexts().empty());
    EXPECT_EQ(s.window.controlText(1), "138.500 MHz");
    EXPECT_EQ(s.window.controlText(2), "135.250 MHz");
    EXPECT_EQ(s.window.controlText(6), "134.010 MHz");
    EXPECT_EQ(s.window.controlText(ids::ThresholdField), "30");
    if (g.generation >= 2) {
        EXPECT_EQ(s.window.controlText(ids::AudioLevelField), "12");
        EXPECT_EQ(s.window.controlState(ids::DiversityOrLnaCheck), g.generation == 2 ? 1 : 0);
    }
    if (g.generation == 3) {
        EXPECT_EQ(s.window.controlState(ids::DiversityCheck3), 1);
    }

    s.configurator->dispatch(ids::QuitButton);
    EXPECT_TRUE(s.configurator->finished());
    EXPECT_FALSE(s.port->isPortOpen());
    s.server.stop();
}

INSTANTIATE_TEST_SUITE_P(EachGeneration, RealTimeSession,
                         ::testing::Values(GenerationCase{"1.80", 1}, GenerationCase{"1.95", 2},
                                           GenerationCase{"2.05", 3}),
                         [](const ::testing::TestParamInfo<GenerationCase>& info) {
                             return "Generation" + std::to_string(info.param.generation);
                         });

TEST(RealTimeSessionFaults, APortHeldByAnotherProgramIsNotAvailable) {
    Session s("2.05");
    ASSERT_TRUE(s.started);
    ASSERT_EQ(s.window.portEntries().size(), 1u);
    PosixSerialPort otherProgram;
    ASSERT_TRUE(otherProgram.openPort(s.server.devicePath()));
    EXPECT_FALSE(s.choosePort());
    EXPECT_EQ(s.messageTexts(),
              std::vector<std::string>{"Message: Communication Port not available"});
    // Freed by the other program, the same entry opens.
    otherProgram.closePort();
    EXPECT_TRUE(s.choosePort());
    s.server.stop();
}

TEST(RealTimeSessionFaults, DiscoveryLeavesOutAPortInUse) {
    sim::PtyServer server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    PosixSerialPort otherProgram;
    ASSERT_TRUE(otherProgram.openPort(server.devicePath()));
    PosixPortOptions options;
    options.namedDevices = {server.devicePath()};
    options.discover = false;
    PosixSerialPort port(options);
    LinuxPortLister lister(options);
    MemoryWindow window;
    RealClock clock;
    Configurator configurator(window, port, lister, clock);
    // Named on the command line, it is named on standard error too.
    EXPECT_EQ(refusedPortNotices(configurator.startUp(), options.namedDevices),
              "tamlo-config: " + server.devicePath() + ": in use by another program\n");
    EXPECT_TRUE(window.portEntries().empty());
    EXPECT_FALSE(port.isPortOpen());
}

// A USB adapter plugged in after start-up: its tty appears in (the test's own) sysfs tree
// and its node in /dev. The user opens PortList, finds it, chooses it, and LOAD reads it.
TEST(RealTimeSessionFaults, AnAdapterPluggedInAfterStartUpIsListedWhenTheListOpens) {
    namespace fs = std::filesystem;
    sim::PtyServer server(Session::receiverOf("2.05"));
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    const fs::path root = fs::temp_directory_path() / ("tamlo-plug-" + std::to_string(getpid()));
    fs::create_directories(root / "sys/class/tty");
    fs::create_directories(root / "dev");
    PosixPortOptions options;
    options.sysfsRoot = root / "sys";
    options.devRoot = root / "dev";
    PosixSerialPort port(options);
    LinuxPortLister lister(options);
    MemoryWindow window;
    RealClock clock;
    Configurator configurator(window, port, lister, clock);
    configurator.startUp();
    EXPECT_TRUE(window.portEntries().empty());

    fs::create_directories(root / "sys/devices/usb1/1-1");
    fs::create_directories(root / "sys/class/tty/ttyUSB0");
    fs::create_directory_symlink(root / "sys/devices/usb1/1-1",
                                 root / "sys/class/tty/ttyUSB0/device");
    fs::create_symlink(server.devicePath(), root / "dev/ttyUSB0");
    configurator.refreshPortList();
    const std::string node = (root / "dev/ttyUSB0").string();
    EXPECT_EQ(window.portEntries(), std::vector<std::string>{node});
    ASSERT_TRUE(window.choosePortEntry(node));
    configurator.dispatch(ids::PortList);
    configurator.dispatch(ids::LoadButton);
    EXPECT_TRUE(window.messages().empty());
    EXPECT_EQ(window.controlText(1), "134.000 MHz");
    configurator.dispatch(ids::QuitButton);
    server.stop();
    fs::remove_all(root);
}

// The receiver behind a fixed name (as /dev/serial/by-id gives one), whose cable can be
// pulled out and put back: pulling ends its pseudo-terminal, putting it back makes a new
// one behind the same name.
class Pluggable {
  public:
    explicit Pluggable(const std::string& version)
        : name_(std::filesystem::temp_directory_path() /
                ("tamlo-pluggable-" + std::to_string(::getpid()))),
          version_(version) {
        plugIn();
        options_.leadingDevices = {name_.string()};
        options_.discover = false;
        port = std::make_unique<PosixSerialPort>(options_);
        lister_ = std::make_unique<LinuxPortLister>(options_);
        configurator = std::make_unique<Configurator>(window, *port, *lister_, clock_);
        configurator->startUp();
    }
    ~Pluggable() { pullOut(); }

    bool plugIn() {
        server_ = std::make_unique<sim::PtyServer>(Session::receiverOf(version_));
        server_->setLinkPath(name_.string());
        std::string error;
        return server_->start(error);
    }
    void pullOut() {
        if (server_) {
            server_->stop();
        }
    }
    // Pulls the cable out after ms, on another thread, while the program is busy.
    std::thread pullOutAfter(int ms) {
        return std::thread([this, ms] {
            std::this_thread::sleep_for(milliseconds(ms));
            pullOut();
        });
    }
    bool choosePort() {
        if (!window.choosePortEntry(name_.string())) {
            return false;
        }
        configurator->dispatch(ids::PortList);
        return port->isPortOpen();
    }
    std::vector<std::string> newMessages() {
        std::vector<std::string> texts;
        for (; seen_ < window.messages().size(); ++seen_) {
            texts.push_back(window.messages()[seen_].second);
        }
        return texts;
    }

    MemoryWindow window;
    std::unique_ptr<PosixSerialPort> port;
    std::unique_ptr<Configurator> configurator;

  private:
    std::filesystem::path name_;
    std::string version_;
    std::unique_ptr<sim::PtyServer> server_;
    PosixPortOptions options_;
    std::unique_ptr<LinuxPortLister> lister_;
    RealClock clock_;
    size_t seen_ = 0;
};

struct PullCase {
    const char* version;
    int handler;      // ids::LoadButton or ids::StoreButton
    int pullAfterMs;  // about half-way through the handler
};

void PrintTo(const PullCase& c, std::ostream* out) {
    *out << (c.handler == ids::LoadButton ? "LOAD" : "STORE") << " of firmware " << c.version
         << ", pulled after " << c.pullAfterMs << " ms";
}

class PulledOut : public ::testing::TestWithParam<PullCase> {};

TEST_P(PulledOut, TheUserIsToldNothingHangsAndChoosingThePortAgainRecovers) {
    const PullCase c = GetParam();
    Pluggable p(c.version);
    ASSERT_TRUE(p.choosePort());
    p.configurator->dispatch(ids::LoadButton);
    ASSERT_EQ(p.newMessages(), std::vector<std::string>{});
    const std::string loaded = p.window.controlText(1);
    p.window.setControlText(1, "138.500 MHz");
    p.window.setControlText(ids::ThresholdField, "30");

    std::thread pull = p.pullOutAfter(c.pullAfterMs);
    const auto start = SteadyClock::now();
    p.configurator->dispatch(c.handler);
    const auto took = SteadyClock::now() - start;
    pull.join();
    EXPECT_EQ(p.newMessages(), std::vector<std::string>{"Communication Error"});
    // No longer than the handler takes with the receiver in place (11.5 s at most).
    EXPECT_LT(took, std::chrono::seconds(15));
    if (c.handler == ids::StoreButton) {
        EXPECT_EQ(p.window.statusText(), "ready");
    }

    // The cable back in and the port chosen again: LOAD reads the receiver as before.
    ASSERT_TRUE(p.plugIn());
    ASSERT_TRUE(p.choosePort());
    EXPECT_EQ(p.newMessages(), std::vector<std::string>{});
    p.configurator->dispatch(ids::LoadButton);
    EXPECT_EQ(p.newMessages(), std::vector<std::string>{});
    EXPECT_EQ(p.window.controlText(1), loaded);
    EXPECT_EQ(p.window.statusText().rfind("TamloX, firmware version " + std::string(c.version), 0),
              0u);
}

INSTANTIATE_TEST_SUITE_P(MidLoadAndMidStore, PulledOut,
                         ::testing::Values(PullCase{"1.80", ids::LoadButton, 1000},
                                           PullCase{"2.05", ids::LoadButton, 600},
                                           PullCase{"1.80", ids::StoreButton, 5000},
                                           PullCase{"1.95", ids::StoreButton, 1500},
                                           PullCase{"2.05", ids::StoreButton, 1200}),
                         [](const ::testing::TestParamInfo<PullCase>& info) {
                             return std::string(info.param.handler == ids::LoadButton ? "Load"
                                                                                      : "Store") +
                                    "Firmware" + std::string(1, info.param.version[0]) +
                                    std::string(info.param.version + 2);
                         });

}  // namespace
}  // namespace tamlo
