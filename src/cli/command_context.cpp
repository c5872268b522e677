#include "cli/command_context.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "cli/terminal.h"

namespace tamlo::cli {

namespace {

#ifndef TAMLO_VERSION
#define TAMLO_VERSION "unknown"
#endif

// After the second stop request every worker ends within a read's time-out; a driver that
// hangs in a system call must still not keep the program from stopping.
constexpr int64_t kAbortGraceMs = 3000;

std::string stopWords(int signal) {
    switch (signal) {
        case 1:
            return "hung up";
        case 15:
            return "terminated";
        default:
            return "interrupted";
    }
}

}  // namespace

CommandContext::CommandContext(const Options& options, Platform& platform)
    : options_(options), platform_(platform) {}

bool CommandContext::start(int& status) {
    for (const std::string& path : platform_.portsFiles) {
        // The names choose the devices written to, so a file that another user may change
        // is refused, as ssh refuses such a configuration.
        if (const std::string distrust = platform_.files.notTrusted(path); !distrust.empty()) {
            error(distrust, path);
            status = kExitUsage;
            return false;
        }
        const FileText read = platform_.files.read(path, kMaxPortsFileBytes);
        if (read.missing) {
            continue;
        }
        if (!read.ok()) {
            error("cannot be read: " +
                      (read.tooLarge ? tooLargeText(kMaxPortsFileBytes, "ports file") : read.error),
                  path);
            status = kExitUsage;
            return false;
        }
        const PortsFileParse parsed = parsePortsFile(read.text, path);
        if (!parsed.errors.empty()) {
            // A misread name could send a backup to the wrong receiver: nothing runs.
            const FileError& first = parsed.errors.front();
            for (const FileError& e : parsed.errors) {
                if (!options_.json) {
                    err() << kProgram << ": " << e.text() << "\n";
                }
            }
            if (options_.json) {
                error(first.message, first.file, first.line, first.column);
            }
            status = kExitUsage;
            return false;
        }
        mergePortsFile(portsFile_, parsed.ports);
    }
    if (!options_.log.empty()) {
        logFile_ = std::make_unique<std::ofstream>(options_.log, std::ios::binary | std::ios::app);
        if (!*logFile_) {
            error(options_.log + ": cannot be written");
            status = kExitUsage;
            return false;
        }
    }
    if (options_.simulate) {
        std::string device;
        std::string reason;
        if (!platform_.startSimulator) {
            reason = "there is none on this platform";
        }
        if (!platform_.startSimulator ||
            !platform_.startSimulator(*options_.simulate, device, reason)) {
            err() << kProgram << ": the simulated receiver did not start"
                  << (reason.empty() ? std::string() : ": " + reason) << "\n";
            status = kExitFailed;
            return false;
        }
        fleet_.devices[std::string(kSimulatedPort)] = device;
    }
    return true;
}

PortDirectory& CommandContext::directory() {
    if (!directory_) {
        std::vector<std::string> system;
        if (std::unique_ptr<Connection> lister = platform_.connect("")) {
            system = lister->port().portNames();
        }
        directory_ =
            std::make_unique<PortDirectory>(portsFile_, std::move(system), platform_.describePorts);
    }
    return *directory_;
}

std::vector<NamedPort> CommandContext::knownPorts() {
    std::vector<NamedPort> known;
    if (options_.simulate) {
        known.push_back(simulatedPort());
    }
    for (NamedPort& port : directory().all()) {
        known.push_back(std::move(port));
    }
    return known;
}

// Known by its name, as a named port is, so its backup is sim.toml and not named after
// whichever pseudo-terminal it got this time.
NamedPort CommandContext::simulatedPort() {
    NamedPort sim;
    sim.name = std::string(kSimulatedPort);
    sim.device = fleet_.devices[sim.name];
    sim.details.device = sim.device;
    sim.named = true;
    return sim;
}

PortOpening CommandContext::probeOpen(const NamedPort& port) {
    if (!port.problem.empty()) {
        PortOpening missing;
        missing.refusal = OpenRefusal::Missing;
        missing.systemText = port.problem;
        return missing;
    }
    std::unique_ptr<Connection> probe = platform_.connect(port.device);
    if (!probe) {
        PortOpening none;
        none.refusal = OpenRefusal::Missing;
        return none;
    }
    PortOpening opening = probe->port().openPort(port.device);
    probe->port().closePort();
    return opening;
}

void CommandContext::enlist(NamedPort port) {
    if (!port.problem.empty()) {
        fleet_.refused[port.name] = port.problem;
    } else if (port.device != port.name && !fleet_.devices.contains(port.name)) {
        fleet_.devices[port.name] = port.device;
    }
    if (!port.meant.empty()) {
        fleet_.meant[port.name] = port.meant;
    }
    const std::string name = port.name;
    ports_.insert_or_assign(name, std::move(port));
}

const NamedPort& CommandContext::port(const std::string& name) {
    const auto found = ports_.find(name);
    if (found != ports_.end()) {
        return found->second;
    }
    enlist(directory().resolve(name));
    return ports_.at(name);
}

std::optional<std::vector<std::string>> CommandContext::ports(int& status) {
    std::vector<std::string> names;
    if (options_.all) {
        for (NamedPort& known : knownPorts()) {
            if (probeOpen(known)) {
                names.push_back(known.name);
                enlist(std::move(known));
            }
        }
        if (names.empty()) {
            err() << kProgram << ": " << options_.command << ": no port opens\n";
            status = kExitFailed;
            return std::nullopt;
        }
        return names;
    }
    std::vector<std::string> given = options_.ports;
    if (given.empty() && !portsFile_.defaultPort.empty()) {
        given.push_back(portsFile_.defaultPort);
    }
    if (given.empty()) {
        const bool many = options_.command == "apply" || options_.command == "set" ||
                          options_.command == "rssi" || options_.command == "read";
        error(options_.command + ": name a port with -p PORT" + (many ? ", or use --all" : "") +
              " (or give a default in ports.toml)");
        status = kExitUsage;
        return std::nullopt;
    }
    for (const std::string& text : given) {
        // Two workers on one line would garble both conversations.
        NamedPort resolved = text == kSimulatedPort && options_.simulate
                                 ? simulatedPort()
                                 : directory().resolve(text);
        if (std::find(names.begin(), names.end(), resolved.name) != names.end()) {
            note(text + " is named more than once; it is used once");
            continue;
        }
        names.push_back(resolved.name);
        enlist(std::move(resolved));
    }
    return names;
}

void CommandContext::note(const std::string& text) {
    if (!options_.quiet) {
        err() << kProgram << ": " << text << "\n";
    }
}

void CommandContext::error(const std::string& message, const std::string& file, int64_t line,
                           int64_t column) {
    if (options_.json) {
        out() << errorJson(message, file, line, column) << "\n";
        return;
    }
    std::string where = file;
    if (!file.empty() && line > 0) {
        where += ":" + std::to_string(line) + ":" + std::to_string(column);
    }
    err() << kProgram << ": " << (where.empty() ? "" : where + ": ") << message << "\n";
}

std::optional<SettingsFile> CommandContext::loadSettingsFile(const std::string& path) {
    const std::string shown = path == "-" ? "<stdin>" : path;
    const FileText read = path == "-" ? platform_.readStandardInput(kMaxSettingsFileBytes)
                                      : platform_.files.read(path, kMaxSettingsFileBytes);
    if (!read.ok()) {
        error("cannot be read: " + read.error, shown);
        return std::nullopt;
    }
    return accept(parseSettings(read.text, shown, formatOfName(path)), shown);
}

std::optional<SettingsFile> CommandContext::loadAssignments() {
    return accept(parseAssignments(options_.words, options_.command), {});
}

std::optional<SettingsFile> CommandContext::accept(FileParse parsed, const std::string& shown) {
    if (!parsed.ok()) {
        if (options_.json) {
            const FileError& first = parsed.errors.front();
            std::string message = first.message;
            if (parsed.errors.size() > 1) {
                message += " (and " + std::to_string(parsed.errors.size() - 1) + " more)";
            }
            error(message + "; nothing was sent", first.file, first.line, first.column);
            return std::nullopt;
        }
        for (const FileError& e : parsed.errors) {
            err() << kProgram << ": " << e.text() << "\n";
        }
        err() << kProgram
              << ": nothing was sent: " << (shown.empty() ? "the settings have " : "the file has ")
              << parsed.errors.size() << (parsed.errors.size() == 1 ? " error\n" : " errors\n");
        return std::nullopt;
    }
    if (parsed.settings.settingCount() == 0 && !shown.empty()) {
        error("no [settings] to send", shown);
        return std::nullopt;
    }
    return std::move(parsed.settings);
}

void CommandContext::tick(FleetProgress& progress, ProgressBars* bars) {
    const int requests = platform_.stopRequests != nullptr ? platform_.stopRequests->load() : 0;
    if (requests >= 1 && !progress.cancelled()) {
        const std::vector<FleetProgress::Writing> writing = progress.cancel();
        if (bars != nullptr) {
            bars->clear();
        }
        const int signal = platform_.stopSignal != nullptr ? platform_.stopSignal->load() : 2;
        std::string text = stopWords(signal);
        if (!writing.empty()) {
            text += ": finishing the write to";
            for (size_t i = 0; i < writing.size(); ++i) {
                char left[32];
                std::snprintf(left, sizeof left, " (%.1f s)", writing[i].leftMs / 1000.0);
                text += (i == 0 ? " " : ", ") + writing[i].port + left;
            }
            text += "; the other ports are skipped; Ctrl-C again stops at once";
        }
        err() << kProgram << ": " << text << "\n";
        err().flush();
    }
    if (requests >= 2 && !progress.aborted()) {
        progress.abort();
        abortedAtMs_ = platform_.monotonicMs();
        err() << kProgram << ": stopping at once\n";
        err().flush();
    }
    if (abortedAtMs_ >= 0 && !progress.allFinished() &&
        platform_.monotonicMs() - abortedAtMs_ > kAbortGraceMs) {
        err() << kProgram << ": a port did not stop in time; exiting without its report\n";
        err().flush();
        std::_Exit(stoppedStatus());
    }
    if (bars != nullptr) {
        bars->draw(progress.rows());
    }
}

std::vector<PortReport> CommandContext::runJob(const std::vector<std::string>& ports,
                                               const PortJob& job, bool showBars) {
    if (logFile_ && !log_) {
        std::string names;
        for (const std::string& port : ports) {
            names += " " + port;
        }
        *logFile_ << "# " << platform_.isoNow() << "  " << kProgram << " " << TAMLO_VERSION << "  "
                  << options_.command << names << "\n";
        log_ = std::make_unique<SerialLog>(*logFile_);
        fleet_.log = log_.get();
    }
    FleetProgress progress(ports, platform_.monotonicMs);
    ProgressBars bars(err());
    const bool drawing = showBars && platform_.terminal && !options_.quiet;
    FleetOptions fleet = fleet_;
    fleet.onTick = [&] { tick(progress, drawing ? &bars : nullptr); };
    std::vector<PortReport> reports = runFleet(progress, platform_.connect, job, fleet);
    if (drawing) {
        bars.clear();
    }
    for (const PortReport& report : reports) {
        for (const std::string& warning : report.warnings) {
            note(report.port + ": " + warning);
        }
    }
    // Ports that had finished before the stop keep their own outcome; the exit status is
    // the signal's all the same.
    stopped_ = stopped_ || progress.cancelled();
    return reports;
}

int CommandContext::stoppedStatus() const {
    const int signal = platform_.stopSignal != nullptr ? platform_.stopSignal->load() : 0;
    return signal > 0 ? 128 + signal : kExitInterrupted;
}

int CommandContext::status(const std::vector<PortReport>& reports) const {
    if (stopped_) {
        return stoppedStatus();
    }
    const bool failed =
        std::any_of(reports.begin(), reports.end(), [](const PortReport& r) { return !r.ok; });
    return failed ? kExitFailed : kExitOk;
}

}  // namespace tamlo::cli
