#include "cli/front_end.h"

#include <deque>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <optional>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/terminal.h"
#include "protocol/signal.h"
#include "serial/discovery.h"
#include "text/conversions.h"

namespace tamlo::cli {

namespace {

constexpr size_t kSparklineSamples = 24;

struct Run {
    const Options& options;
    Platform& platform;
    FleetOptions fleet;
    std::unique_ptr<std::ofstream> logFile;
    std::unique_ptr<SerialLog> log;
    bool interrupted = false;  // Ctrl-C was pressed

    std::ostream& err() { return platform.err; }
    std::ostream& out() { return platform.out; }
    void note(const std::string& text) {
        if (!options.quiet) {
            err() << kProgram << ": " << text << "\n";
        }
    }
};

// The names that open, as the window would list them; the simulated receiver first.
std::vector<std::string> openablePorts(Run& run) {
    std::vector<std::string> names;
    if (run.options.simulate) {
        names.emplace_back(kSimulatedPort);
    }
    std::unique_ptr<Connection> probe = run.platform.connect("");
    if (probe) {
        for (std::string& name : discoverPorts(probe->port())) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

bool readWholeFile(const std::string& name, std::string& text, std::string& error) {
    if (name == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), {});
        return true;
    }
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        error = name + ": cannot be read";
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

// The settings file, whole and valid, or every error in it (exit status 2).
std::optional<SettingsFile> loadFile(Run& run) {
    std::string text;
    std::string error;
    if (!readWholeFile(run.options.file, text, error)) {
        run.err() << kProgram << ": " << error << "\n";
        return std::nullopt;
    }
    const std::string shown = run.options.file == "-" ? "<stdin>" : run.options.file;
    FileParse parsed = parseSettings(text, shown, formatOfName(run.options.file));
    for (const FileError& e : parsed.errors) {
        run.err() << kProgram << ": " << e.text() << "\n";
    }
    if (!parsed.ok()) {
        run.err() << kProgram << ": nothing was sent: the file has " << parsed.errors.size()
                  << (parsed.errors.size() == 1 ? " error\n" : " errors\n");
        return std::nullopt;
    }
    if (parsed.settings.settingCount() == 0) {
        run.err() << kProgram << ": " << shown << ": no [settings] to send\n";
        return std::nullopt;
    }
    return std::move(parsed.settings);
}

// Progress bars while the workers run, and Ctrl-C.
void tick(Run& run, Board& board, ProgressBars* bars) {
    const std::atomic<int>* interrupts = run.platform.interrupts;
    if (interrupts != nullptr && interrupts->load() > 0 && !board.cancelled()) {
        const std::vector<Board::Writing> writing = board.cancel();
        if (bars != nullptr) {
            bars->clear();
        }
        std::string text = "interrupted";
        if (!writing.empty()) {
            text += ": finishing the write to";
            for (size_t i = 0; i < writing.size(); ++i) {
                char left[32];
                std::snprintf(left, sizeof left, " (%.1f s)", writing[i].leftMs / 1000.0);
                text += (i == 0 ? " " : ", ") + writing[i].port + left;
            }
            text += "; the other ports are skipped; Ctrl-C again stops at once";
        }
        run.err() << kProgram << ": " << text << "\n";
        run.err().flush();
    }
    if (bars != nullptr) {
        bars->draw(board.rows());
    }
}

std::vector<PortReport> runJob(Run& run, const std::vector<std::string>& ports, const PortJob& job,
                               bool showBars) {
    Board board(ports, run.platform.monotonicMs);
    ProgressBars bars(run.err());
    const bool drawing = showBars && run.platform.terminal && !run.options.quiet;
    FleetOptions fleet = run.fleet;
    fleet.onTick = [&] { tick(run, board, drawing ? &bars : nullptr); };
    std::vector<PortReport> reports = runFleet(board, run.platform.connect, job, fleet);
    if (drawing) {
        bars.clear();
    }
    for (const PortReport& report : reports) {
        for (const std::string& warning : report.warnings) {
            run.note(report.port + ": " + warning);
        }
    }
    // Ports that had finished before Ctrl-C keep their own outcome; the exit status is
    // 130 all the same.
    run.interrupted = run.interrupted || board.cancelled();
    return reports;
}

int statusOf(const Run& run, const std::vector<PortReport>& reports) {
    if (run.interrupted) {
        return kExitInterrupted;
    }
    bool failed = false;
    for (const PortReport& report : reports) {
        failed = failed || !report.ok;
    }
    return failed ? kExitFailed : kExitOk;
}

void printErrors(Run& run, const PortReport& report) {
    for (const std::string& error : report.errors) {
        run.out() << "  " << error << "\n";
    }
}

// "apply: 4 receivers: 2 unchanged, 1 changed, 1 failed (COM3)"
void printSummary(Run& run, const std::vector<PortReport>& reports, std::ostream& to) {
    if (run.options.quiet) {
        return;
    }
    int unchanged = 0;
    int changed = 0;
    std::string failed;
    int failures = 0;
    int interrupted = 0;
    for (const PortReport& r : reports) {
        if (r.interrupted) {
            ++interrupted;
        } else if (!r.ok) {
            ++failures;
            failed += (failed.empty() ? "" : ", ") + r.port;
        } else if (r.changed) {
            ++changed;
        } else {
            ++unchanged;
        }
    }
    to << run.options.command << ": " << reports.size()
       << (reports.size() == 1 ? " receiver: " : " receivers: ") << unchanged << " unchanged, "
       << changed << (run.options.dryRun ? " to change, " : " changed, ") << failures << " failed";
    if (!failed.empty()) {
        to << " (" << failed << ")";
    }
    if (interrupted > 0) {
        to << ", " << interrupted << " interrupted";
    }
    to << "\n";
}

nlohmann::ordered_json reportJson(const PortReport& r, bool dryRun) {
    nlohmann::ordered_json differences = nlohmann::ordered_json::array();
    for (const Difference& d : r.differences) {
        differences.push_back({{"field", d.field},
                               {"from", d.read},
                               {"to", d.asked},
                               {"unit", d.unit.empty() ? "" : d.unit.substr(1)},
                               {"text", d.change()}});
    }
    nlohmann::ordered_json object = {{"port", latin1ToUtf8(r.port)},
                                     {"ok", r.ok},
                                     {"changed", r.changed},
                                     {"written", r.written},
                                     {"dry_run", dryRun},
                                     {"firmware", latin1ToUtf8(r.firmware)},
                                     {"differences", differences},
                                     {"warnings", r.warnings}};
    if (r.errors.empty()) {
        object["error"] = nullptr;
    } else {
        std::string joined;
        for (const std::string& e : r.errors) {
            joined += (joined.empty() ? "" : "; ") + e;
        }
        object["error"] = latin1ToUtf8(joined);
    }
    if (r.interrupted) {
        object["interrupted"] = true;
    }
    return object;
}

// ---- the commands ----

int commandPorts(Run& run) {
    const std::vector<std::string> names = openablePorts(run);
    if (run.options.json) {
        nlohmann::json list = nlohmann::json::array();
        for (const std::string& name : names) {
            list.push_back(latin1ToUtf8(name));
        }
        run.out() << list.dump() << "\n";
    } else {
        for (const std::string& name : names) {
            run.out() << name << "\n";
        }
    }
    return kExitOk;
}

int commandRead(Run& run, const std::vector<std::string>& ports) {
    if (ports.size() != 1) {
        run.err() << kProgram << ": read takes one port\n";
        return kExitUsage;
    }
    const std::string readAt = run.platform.isoNow();
    std::vector<PortReport> reports = runJob(
        run, ports,
        [&](Line& line, const std::string& port, PortProgress& progress) {
            return readReceiver(line, port, progress, readAt);
        },
        true);
    const PortReport& report = reports.front();
    if (!report.ok || !report.read) {
        run.err() << kProgram << ": " << report.port << ": ";
        for (const std::string& e : report.errors) {
            run.err() << e << "\n";
        }
        return statusOf(run, reports);
    }
    const std::string text =
        run.options.json ? writeSettingsJson(*report.read) : writeSettingsToml(*report.read);
    if (run.options.output.empty() || run.options.output == "-") {
        run.out() << text;
    } else {
        std::ofstream file(run.options.output, std::ios::binary | std::ios::trunc);
        file << text;
        if (!file.flush()) {
            run.err() << kProgram << ": " << run.options.output << ": cannot be written\n";
            return kExitFailed;
        }
        run.note(report.port + ": firmware " + report.firmware + ": settings written to " +
                 run.options.output);
    }
    return statusOf(run, reports);
}

int commandWrite(Run& run, const std::vector<std::string>& ports, bool apply) {
    if (!apply && ports.size() != 1) {
        run.err() << kProgram << ": write takes one port\n";
        return kExitUsage;
    }
    const std::optional<SettingsFile> file = loadFile(run);
    if (!file) {
        return kExitUsage;
    }
    WorkOptions work{run.options.verify, run.options.strict, run.options.dryRun};
    std::vector<PortReport> reports = runJob(
        run, ports,
        [&](Line& line, const std::string& port, PortProgress& progress) {
            return apply ? applyReceiver(line, port, *file, work, progress)
                         : writeReceiver(line, port, *file, work, progress);
        },
        true);
    if (run.options.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const PortReport& r : reports) {
            list.push_back(reportJson(r, run.options.dryRun));
        }
        run.out() << list.dump(2) << "\n";
        printSummary(run, reports, run.err());
        return statusOf(run, reports);
    }
    for (const PortReport& r : reports) {
        const std::string verified = run.options.verify ? "verified" : "not verified";
        if (r.interrupted) {
            run.out() << r.port << ": interrupted" << (r.written ? " (its write was finished)" : "")
                      << "\n";
        } else if (!r.ok) {
            run.out() << r.port << ": failed" << (r.written ? " (a write was sent)" : "") << "\n";
        } else if (!apply) {
            run.out() << r.port << ": firmware " << r.firmware << ": written, " << verified << "\n";
        } else if (!r.changed) {
            run.out() << r.port << ": unchanged\n";
        } else {
            run.out() << r.port << ": "
                      << (run.options.dryRun ? "would change" : "changed, " + verified) << "\n";
        }
        for (const Difference& d : r.differences) {
            run.out() << "  " << d.change() << "\n";
        }
        printErrors(run, r);
    }
    if (apply) {
        printSummary(run, reports, run.out());
    }
    return statusOf(run, reports);
}

// Shared by the polling threads: the printed lines and the CSV rows.
struct SampleSink {
    Run& run;
    std::mutex mutex;
    std::unique_ptr<std::ofstream> csv;

    void sample(const std::string& port, const std::string& time, int32_t value,
                const std::string& spark) {
        std::lock_guard lock(mutex);
        run.out() << time << "  " << port << "  " << value << "  " << spark << "\n";
        run.out().flush();
        if (csv) {
            *csv << time << "," << port << "," << value << "\n";
            csv->flush();
        }
    }
};

int commandRssi(Run& run, const std::vector<std::string>& ports) {
    SampleSink sink{run, {}, nullptr};
    if (!run.options.csv.empty()) {
        bool fresh = false;
        {
            std::ifstream existing(run.options.csv, std::ios::binary | std::ios::ate);
            fresh = !existing || existing.tellg() == 0;
        }
        sink.csv =
            std::make_unique<std::ofstream>(run.options.csv, std::ios::binary | std::ios::app);
        if (!*sink.csv) {
            run.err() << kProgram << ": " << run.options.csv << ": cannot be written\n";
            return kExitUsage;
        }
        if (fresh) {
            *sink.csv << "time,port,rssi\n";
        }
    }
    const int32_t interval = run.options.intervalMs;
    const int64_t count = run.options.count;
    const bool unicode = run.platform.unicode;
    std::vector<PortReport> reports = runJob(
        run, ports,
        [&](Line& line, const std::string& port, PortProgress& progress) {
            PortReport report;
            report.port = port;
            std::deque<int32_t> recent;
            for (int64_t k = 0; count == 0 || k < count; ++k) {
                if (k > 0) {
                    // The poll took its own 200 ms of the interval.
                    line.clock.pauseMs(interval - kCommandPauseMs);
                }
                if (progress.cancelled()) {
                    break;
                }
                progress.phase("polling", kCommandPauseMs);
                const int32_t value = pollSignal(line);
                if (progress.cancelled()) {
                    break;
                }
                recent.push_back(value);
                if (recent.size() > kSparklineSamples) {
                    recent.pop_front();
                }
                sink.sample(port, run.platform.isoNow(), value, sparkline(recent, unicode));
            }
            report.interrupted = progress.cancelled();
            return report;
        },
        false);
    return statusOf(run, reports);
}

}  // namespace

int runTamlo(const Options& options, Platform& platform) {
    Run run{options, platform, {}, nullptr, nullptr, false};
    run.fleet.interruptible = platform.interruptible;
    if (!options.log.empty()) {
        run.logFile =
            std::make_unique<std::ofstream>(options.log, std::ios::binary | std::ios::app);
        if (!*run.logFile) {
            run.err() << kProgram << ": " << options.log << ": cannot be written\n";
            return kExitUsage;
        }
        run.log = std::make_unique<SerialLog>(*run.logFile);
        run.fleet.log = run.log.get();
    }
    if (options.simulate) {
        std::string device;
        std::string error;
        if (!platform.startSimulator) {
            error = "there is none on this platform";
        }
        if (!platform.startSimulator ||
            !platform.startSimulator(*options.simulate, device, error)) {
            run.err() << kProgram << ": the simulated receiver did not start"
                      << (error.empty() ? std::string() : ": " + error) << "\n";
            return kExitFailed;
        }
        run.fleet.devices[std::string(kSimulatedPort)] = device;
    }
    std::vector<std::string> ports = options.ports;
    if (options.all) {
        ports = openablePorts(run);
        if (ports.empty()) {
            run.err() << kProgram << ": " << options.command << ": no port opens\n";
            return kExitFailed;
        }
    }
    if (options.command == "ports") {
        return commandPorts(run);
    }
    if (options.command == "read") {
        return commandRead(run, ports);
    }
    if (options.command == "write" || options.command == "apply") {
        return commandWrite(run, ports, options.command == "apply");
    }
    if (options.command == "rssi") {
        return commandRssi(run, ports);
    }
    run.err() << kProgram << ": unknown command\n";
    return kExitUsage;
}

int runTamlo(const std::vector<std::string>& args, Platform& platform) {
    Options options;
    if (const std::optional<int> status = parseOptions(args, options, platform.out, platform.err)) {
        return *status;
    }
    return runTamlo(options, platform);
}

}  // namespace tamlo::cli
