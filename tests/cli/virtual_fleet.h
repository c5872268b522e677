// Receivers on virtual-time lines behind the command-line front end: every port is its own
// simulated receiver, every command sent is logged with its virtual time, and the
// receivers keep what was written between runs (a second apply meets the first's values).
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <set>
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
                auto found = ports_.find(name);
                if (found == ports_.end()) {
                    return nullptr;
                }
                return std::make_unique<VirtualConnection>(found->second);
            },
            .lister = lister_,
            .portsFiles = portsFiles,
            .startSimulator =
                [this](const std::string&, std::string& device, std::string&) {
                    device = simulator;
                    return !simulator.empty();
                },
            .isoNow = [] { return std::string("2026-12-07T12:00:00.000Z"); },
            .monotonicMs = [] { return int64_t{0}; },
            .unixMs = [] { return int64_t{1796644800000}; },
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
    std::string simulator;           // the port --simulate's receiver is on, if any
    std::set<std::string> consoles;  // the kernel's consoles, never listed

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
    // Lists the names and what the system tells of them; each line says whether it opens.
    class Lister final : public PortLister {
      public:
        explicit Lister(VirtualFleet& fleet) : fleet_(fleet) {}
        std::vector<std::string> portNames() override { return fleet_.names(); }
        std::vector<PortDetails> describe(const std::vector<std::string>& names) override {
            std::vector<PortDetails> described;
            for (const std::string& name : names) {
                const auto found = fleet_.details.find(name);
                described.push_back(found != fleet_.details.end() ? found->second : PortDetails{});
            }
            return described;
        }
        PortOpening inspect(std::string_view name) override {
            const auto found = fleet_.ports_.find(std::string(name));
            PortOpening refused;
            refused.refusal =
                found == fleet_.ports_.end() ? OpenRefusal::Missing : OpenRefusal::Console;
            return refused.refusal == OpenRefusal::Missing || fleet_.consoles.contains(found->first)
                       ? refused
                       : found->second.line->inspect(name);
        }
        PortOpening probe(std::string_view name) override { return inspect(name); }

      private:
        VirtualFleet& fleet_;
    };

    std::vector<std::string> names() const {
        std::vector<std::string> list;
        for (const auto& [name, port] : ports_) {
            if (!consoles.contains(name)) {  // the kernel's console is never listed
                list.push_back(name);
            }
        }
        return list;
    }

    std::map<std::string, Port> ports_;
    Lister lister_{*this};
};

}  // namespace tamlo::cli::testing
