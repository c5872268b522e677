// tamlo rssi: the signal strength of each receiver, once an interval, as lines on the
// terminal and rows of CSV. A poll with no answer is no answer, never a reading of 0.
#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <set>

#include "cli/command_context.h"
#include "cli/poll_loop.h"
#include "cli/port_directory.h"
#include "cli/terminal.h"
#include "plot/rssi_svg.h"
#include "text/latin1.h"

namespace tamlo::cli {

namespace {

constexpr size_t kSparklineSamples = 24;

std::string missingText(const SignalReading& reading) {
    return reading.missing == SignalReading::Missing::NotANumber
               ? "no answer (no number in the reply)"
               : "no answer";
}

// Shared by the polling threads: the printed lines (or JSON objects) and the CSV rows.
class SampleSink {
  public:
    SampleSink(std::ostream& terminal, std::ostream* csv, bool json,
               const std::vector<std::string>& ports)
        : terminal_(terminal), csv_(csv), json_(json) {
        for (const std::string& port : ports) {
            portWidth_ = std::max(portWidth_, shownWidth(port));
        }
    }

    void sample(const std::string& port, const std::string& time, const SignalReading& reading,
                const std::string& spark) {
        std::lock_guard lock(mutex_);
        const std::optional<int32_t>& value = reading.value;
        // JSON or CSV to standard output takes the place of the terminal lines.
        if (json_) {
            const nlohmann::ordered_json object = {
                {"time", time},
                {"port", bytesAsUtf8(port)},
                {"rssi", value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json()}};
            terminal_ << jsonText(object) << "\n";
            terminal_.flush();
        } else if (csv_ != &terminal_) {
            // Columns line up whatever the ports' names: each padded to the longest, a
            // reading right-aligned, "no answer" as wide as its column allows.
            const std::string shown = value ? std::to_string(*value) : missingText(reading);
            std::string line = time + "  " + port +
                               std::string(portWidth_ - shownWidth(port), ' ') + "  " +
                               std::string(kValueWidth - std::min(kValueWidth, shown.size()), ' ') +
                               shown + "  " + spark;
            line.erase(line.find_last_not_of(' ') + 1);
            terminal_ << line << "\n";
            terminal_.flush();
        }
        if (csv_ != nullptr) {
            *csv_ << time << "," << port << "," << (value ? std::to_string(*value) : "") << "\n";
            csv_->flush();
        }
    }

    // A line of its own on standard error, between the rows of the other threads.
    void say(std::ostream& err, const std::string& text) {
        std::lock_guard lock(mutex_);
        err << kProgram << ": " << text << "\n";
        err.flush();
    }

  private:
    static constexpr size_t kValueWidth = 3;  // a reading is a byte: up to 255
    // Characters a terminal shows for the name: UTF-8 continuation bytes take no column.
    static size_t shownWidth(const std::string& text) {
        return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }));
    }

    std::ostream& terminal_;
    std::ostream* csv_;
    bool json_;
    size_t portWidth_ = 0;
    std::mutex mutex_;
};

// Where each port's picture goes: FILE for one port; FILE-PORT.svg for each of several, so
// that a survey of a mast keeps one picture a receiver, each with its own scale. PORT is the
// name a backup of the port would have ("/dev/ttyUSB0" gives survey-ttyUSB0.svg).
std::map<std::string, std::string> plotFiles(CommandContext& run,
                                             const std::vector<std::string>& ports) {
    const std::string& plot = run.options().plot;
    std::map<std::string, std::string> paths;
    if (plot.empty()) {
        return paths;
    }
    const bool svg = plot.size() > 4 && plot.ends_with(".svg");
    const std::string stem = svg ? plot.substr(0, plot.size() - 4) : plot;
    for (const std::string& port : ports) {
        paths[port] = ports.size() == 1
                          ? plot
                          : stem + "-" + PortDirectory::stableName(run.port(port)) + ".svg";
    }
    return paths;
}

}  // namespace

int commandRssi(CommandContext& run, const std::vector<std::string>& ports) {
    const Options& options = run.options();
    std::ostream* csv = nullptr;
    if (options.csv == "-") {
        csv = &run.out();
        run.out() << "time,port,rssi\n";
    } else if (!options.csv.empty()) {
        std::string why;
        CheckedStream* file = run.outputs().append(options.csv, why);
        if (file == nullptr) {
            run.error("cannot be written: " + why, options.csv);
            return kExitUsage;
        }
        if (file->wasEmpty()) {
            *file << "time,port,rssi\n";
        }
        csv = file;
    }
    // A picture that cannot be kept is found out before the survey starts.
    const std::map<std::string, std::string> plots = plotFiles(run, ports);
    std::set<std::string> taken;
    for (const auto& [port, path] : plots) {
        if (!taken.insert(path).second) {
            run.error("two ports would be drawn as " + path + "; give them names in ports.toml",
                      options.plot);
            return kExitUsage;
        }
        if (const std::string problem = run.platform().files.cannotWrite(path); !problem.empty()) {
            run.error("cannot be written: " + problem, path);
            return kExitUsage;
        }
    }
    std::mutex plotMutex;
    std::map<std::string, std::vector<plot::RssiPoint>> drawn;
    SampleSink sink(run.out(), csv, options.json, ports);
    const bool unicode = run.platform().unicode;
    std::vector<PortReport> reports = run.runJob(
        ports,
        [&](Line& line, const std::string& port, PortProgress& progress) {
            PortReport report;
            report.port = port;
            std::deque<std::optional<int32_t>> recent;
            std::vector<plot::RssiPoint> points;
            const int64_t unixBase =
                (run.platform().unixMs ? run.platform().unixMs() : 0) - progress.nowMs();
            bool failed = false;
            PollPlan plan{options.intervalMs, options.count, progress.device(),
                          [&progress] { return progress.nowMs(); }};
            PollCallbacks callbacks;
            callbacks.sample = [&](const SignalSample& s) {
                points.push_back({unixBase + s.atMs, s.reading.value});
                recent.push_back(s.reading.value);
                if (recent.size() > kSparklineSamples) {
                    recent.pop_front();
                }
                sink.sample(port, run.platform().isoNow(), s.reading, sparkline(recent, unicode));
            };
            callbacks.lineFailed = [&](const std::string& failure) {
                failed = true;
                // While the line is down nothing is polled: the curve breaks there.
                points.push_back({unixBase + progress.nowMs(), std::nullopt});
                sink.say(run.err(), port + ": the line failed: " + failure +
                                        "; polling again once the port opens");
            };
            callbacks.lineBack = [&] {
                if (!options.quiet) {
                    sink.say(run.err(), port + ": the port opens again; polling");
                }
            };
            // The first stop request, or an output that failed: the poll under way ends.
            callbacks.stop = [&] { return progress.cancelled() || run.outputs().ended(); };
            progress.phase("polling", kCommandPauseMs);
            const PollSummary polled = pollSignals(line, plan, callbacks);
            report.interrupted = progress.cancelled() || run.outputs().ended();
            if (!plots.empty()) {
                std::lock_guard lock(plotMutex);
                drawn[port] = std::move(points);
            }
            if (failed) {
                report.ok = false;  // told when it happened
            } else if (polled.answered == 0 && !report.interrupted) {
                report.fail("no answer to any poll");
            }
            return report;
        },
        false);
    for (const PortReport& report : reports) {
        for (const std::string& e : report.errors) {
            run.err() << kProgram << ": " << report.port << ": " << e << "\n";
        }
    }
    // Each picture whole or not at all: the samples drawn when the run ends, however it ends.
    // The threshold is not read by a survey, so none is drawn.
    bool plotFailed = false;
    for (const auto& [port, path] : plots) {
        if (const std::string problem =
                run.platform().files.replace(path, plot::rssiSvg(drawn[port], std::nullopt, port));
            !problem.empty()) {
            run.err() << kProgram << ": " << path << ": cannot be written: " << problem << "\n";
            plotFailed = true;
        }
    }
    const int status = run.status(reports);
    return plotFailed && status == kExitOk ? kExitFailed : status;
}

}  // namespace tamlo::cli
