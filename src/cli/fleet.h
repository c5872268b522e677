// Many receivers at once: every port in its own thread with its own line and clock, so a
// receiver that fails or hangs neither stops nor slows the others.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/fleet_progress.h"
#include "cli/held_ports.h"
#include "cli/port_report.h"
#include "serial/clock.h"
#include "serial/exchange.h"
#include "serial/logging_port.h"
#include "serial/serial_port.h"

namespace tamlo::cli {

// A port and the clock it is timed by, made for one worker on its own thread.
class Connection {
  public:
    virtual ~Connection() = default;
    virtual SerialPort& port() = 0;
    virtual Clock& clock() = 0;
    // Milliseconds on the clock's own base (virtual time in tests): a poll loop keeps its
    // deadlines on it. By default the steady clock, which a real clock's pauses follow.
    virtual int64_t nowMs();
};
// Null when the name cannot lead to a port at all.
using ConnectionFactory = std::function<std::unique_ptr<Connection>(const std::string& name)>;

// The work for one open port.
using PortJob = std::function<PortReport(Line& line, const std::string& port, PortProgress&)>;

struct FleetOptions {
    SerialLog* log = nullptr;  // every byte of every port, when asked for
    // The device to open for a name that is not itself one ("sim").
    std::map<std::string, std::string> devices;
    // Names that lead to no device, and why: each fails with that reason.
    std::map<std::string, std::string> refused;
    // Names that are no port but near one the ports files know: told when they do not open.
    std::map<std::string, std::string> meant;
    // Where the ports of the workers are known while open, so that a process that must end
    // can release them; null: nowhere.
    HeldPorts* held = nullptr;
    // Called on the calling thread every pollMs while the workers run (progress, signals),
    // and once when they have all finished.
    std::function<void()> onTick;
    int32_t pollMs = 100;
    // A port held by another run of this program (the service polls it for a moment) is
    // tried again for this long before it counts as in use; 0: not waited for.
    int32_t ownHolderWaitMs = 0;
};

// Runs job on every port, each on its own thread; returns the reports in the ports' order.
std::vector<PortReport> runFleet(FleetProgress& progress, const ConnectionFactory& connect,
                                 const PortJob& job, const FleetOptions& options);

}  // namespace tamlo::cli
