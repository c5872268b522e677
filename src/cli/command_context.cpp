#include "cli/command_context.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "cli/terminal.h"
#include "serial/discovery.h"

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

std::vector<std::string> CommandContext::openablePorts() {
    std::vector<std::string> names;
    if (options_.simulate) {
        names.emplace_back(kSimulatedPort);
    }
    std::unique_ptr<Connection> probe = platform_.connect("");
    if (probe) {
        for (std::string& name : discoverPorts(probe->port())) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

std::optional<std::vector<std::string>> CommandContext::ports() {
    if (options_.all) {
        std::vector<std::string> all = openablePorts();
        if (all.empty()) {
            err() << kProgram << ": " << options_.command << ": no port opens\n";
            return std::nullopt;
        }
        return all;
    }
    // Two workers on one line would garble both conversations.
    std::vector<std::string> unique;
    for (const std::string& port : options_.ports) {
        if (std::find(unique.begin(), unique.end(), port) != unique.end()) {
            note(port + " is named more than once; it is used once");
        } else {
            unique.push_back(port);
        }
    }
    return unique;
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

std::optional<SettingsFile> CommandContext::loadSettingsFile() {
    const std::string& path = options_.file;
    const std::string shown = path == "-" ? "<stdin>" : path;
    const FileText read = path == "-" ? platform_.readStandardInput(kMaxSettingsFileBytes)
                                      : platform_.files.read(path, kMaxSettingsFileBytes);
    if (!read.ok()) {
        error("cannot be read: " + read.error, shown);
        return std::nullopt;
    }
    FileParse parsed = parseSettings(read.text, shown, formatOfName(path));
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
        err() << kProgram << ": nothing was sent: the file has " << parsed.errors.size()
              << (parsed.errors.size() == 1 ? " error\n" : " errors\n");
        return std::nullopt;
    }
    if (parsed.settings.settingCount() == 0) {
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
