// Receivers on virtual-time lines behind the command-line front end: every port is its own
// simulated receiver, every command sent is logged with its virtual time, and the
// receivers keep what was written between runs (a second apply meets the first's values).
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/tamlo_program.h"
#include "sim/virtual_line.h"
#include "test_files.h"
#include "wire_log.h"

namespace tamlo::cli::testing {

class VirtualFleet {
  public:
    struct Port {
        std::unique_ptr<sim::VirtualLine> line;
        std::vector<std::string> wire;  // "1250 E": virtual ms and the characters of a send
    };

    sim::VirtualLine& add(const std::string& name, sim::ReceiverSettings settings = {}) {
        Port& port = ports_[name];
        port.line = std::make_unique<sim::VirtualLine>(settings);
        port.line->setPorts({name});
        return *port.line;
    }
    sim::VirtualLine& line(const std::string& name) { return *ports_.at(name).line; }
    std::vector<std::string>& wire(const std::string& name) { return ports_.at(name).wire; }
    sim::ReceiverSettings& stored(const std::string& name) {
        return ports_.at(name).line->receiver().settings();
    }

    // Runs tamlo with these arguments; out and err hold what it printed.
    int run(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        for (auto& [name, port] : ports_) {
            port.wire.clear();
        }
        Platform platform{
            .connect = [this](const std::string& name) -> std::unique_ptr<Connection> {
                if (name.empty()) {
                    return std::make_unique<Lister>(names());
                }
                auto found = ports_.find(name);
                if (found == ports_.end()) {
                    return nullptr;
                }
                return std::make_unique<VirtualConnection>(found->second);
            },
            .describePorts =
                [this](const std::vector<std::string>& names) {
                    std::vector<PortDetails> described;
                    for (const std::string& name : names) {
                        described.push_back(details.contains(name) ? details[name] : PortDetails{});
                    }
                    return described;
                },
            .portsFiles = portsFiles,
            .startSimulator =
                [this](const std::string&, std::string& device, std::string&) {
                    device = simulator;
                    return !simulator.empty();
                },
            .isoNow = [] { return std::string("2026-12-07T12:00:00.000Z"); },
            .monotonicMs = [] { return int64_t{0}; },
            .files = files,
            .readStandardInput =
                [this](int64_t) {
                    return FileText{standardInput, {}};
                },
            .out = out,
            .err = err,
            .terminal = false,
            .unicode = true,
            .stopRequests = stopRequests,
            .stopSignal = nullptr,
        };
        return runTamlo(args, platform);
    }

    std::ostringstream out;
    std::ostringstream err;
    std::string standardInput;
    const std::atomic<int>* stopRequests = nullptr;
    PlatformFileStore files;
    std::map<std::string, PortDetails> details;  // what the system tells of each port
    std::vector<std::string> portsFiles;
    std::string simulator;  // the port --simulate's receiver is on, if any

  private:
    // The receiver's line, with the wire log of what was sent on it.
    class VirtualConnection final : public Connection {
      public:
        explicit VirtualConnection(Port& port)
            : port_(port), log_(*port.line, *port.line, [&port] { return port.line->nowMs(); }) {}
        ~VirtualConnection() override {
            for (std::string& send : log_.take()) {
                port_.wire.push_back(std::move(send));
            }
        }
        SerialPort& port() override { return log_; }
        Clock& clock() override { return log_; }
        int64_t nowMs() override { return port_.line->nowMs(); }

      private:
        Port& port_;
        WireLog log_;
    };
    // Lists the names; opens every one.
    class Lister final : public Connection, public SerialPort, public Clock {
      public:
        explicit Lister(std::vector<std::string> names) : names_(std::move(names)) {}
        SerialPort& port() override { return *this; }
        Clock& clock() override { return *this; }
        PortOpening openPort(std::string_view) override { return {}; }
        void closePort() override {}
        bool isPortOpen() const override { return false; }
        int32_t bytesWaiting() override { return 0; }
        int32_t readPort(uint8_t*, int32_t) override { return 0; }
        int32_t writePort(const uint8_t*, int32_t) override { return 0; }
        std::vector<std::string> portNames() override { return names_; }
        void pauseMs(int32_t) override {}

      private:
        std::vector<std::string> names_;
    };

    std::vector<std::string> names() const {
        std::vector<std::string> list;
        for (const auto& [name, port] : ports_) {
            list.push_back(name);
        }
        return list;
    }

    std::map<std::string, Port> ports_;
};

}  // namespace tamlo::cli::testing
