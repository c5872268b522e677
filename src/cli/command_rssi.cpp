// tamlo rssi: the signal strength of each receiver, once an interval, as lines on the
// terminal and rows of CSV. A poll with no answer is no answer, never a reading of 0.
#include <deque>
#include <fstream>
#include <mutex>

#include "cli/command_context.h"
#include "cli/terminal.h"
#include "protocol/signal.h"
#include "text/latin1.h"

namespace tamlo::cli {

namespace {

constexpr size_t kSparklineSamples = 24;

// Shared by the polling threads: the printed lines (or JSON objects) and the CSV rows.
class SampleSink {
  public:
    SampleSink(std::ostream& terminal, std::ostream* csv, bool json)
        : terminal_(terminal), csv_(csv), json_(json) {}

    void sample(const std::string& port, const std::string& time, std::optional<int32_t> value,
                const std::string& spark) {
        std::lock_guard lock(mutex_);
        // JSON or CSV to standard output takes the place of the terminal lines.
        if (json_) {
            const nlohmann::ordered_json object = {
                {"time", time},
                {"port", latin1ToUtf8(port)},
                {"rssi", value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json()}};
            terminal_ << jsonText(object) << "\n";
            terminal_.flush();
        } else if (csv_ != &terminal_) {
            std::string line = time + "  " + port + "  " +
                               (value ? std::to_string(*value) : std::string("no answer")) +
                               "  " + spark;
            line.erase(line.find_last_not_of(' ') + 1);
            terminal_ << line << "\n";
            terminal_.flush();
        }
        if (csv_ != nullptr) {
            *csv_ << time << "," << port << "," << (value ? std::to_string(*value) : "") << "\n";
            csv_->flush();
        }
    }

  private:
    std::ostream& terminal_;
    std::ostream* csv_;
    bool json_;
    std::mutex mutex_;
};

}  // namespace

int commandRssi(CommandContext& run, const std::vector<std::string>& ports) {
    const Options& options = run.options();
    std::unique_ptr<std::ofstream> csvFile;
    std::ostream* csv = nullptr;
    if (options.csv == "-") {
        csv = &run.out();
        run.out() << "time,port,rssi\n";
    } else if (!options.csv.empty()) {
        bool fresh = false;
        {
            std::ifstream existing(options.csv, std::ios::binary | std::ios::ate);
            fresh = !existing || existing.tellg() == 0;
        }
        csvFile = std::make_unique<std::ofstream>(options.csv, std::ios::binary | std::ios::app);
        if (!*csvFile) {
            run.error("cannot be written", options.csv);
            return kExitUsage;
        }
        if (fresh) {
            *csvFile << "time,port,rssi\n";
        }
        csv = csvFile.get();
    }
    SampleSink sink(run.out(), csv, options.json);
    const int32_t interval = options.intervalMs;
    const int64_t count = options.count;
    const bool unicode = run.platform().unicode;
    std::vector<PortReport> reports = run.runJob(
        ports,
        [&](Line& line, const std::string& port, PortProgress& progress) {
            PortReport report;
            report.port = port;
            std::deque<std::optional<int32_t>> recent;
            bool answered = false;
            for (int64_t k = 0; count == 0 || k < count; ++k) {
                if (k > 0) {
                    // The poll took its own 200 ms of the interval.
                    line.clock.pauseMs(interval - kCommandPauseMs);
                }
                if (progress.cancelled()) {
                    break;
                }
                progress.phase("polling", kCommandPauseMs);
                const std::optional<int32_t> value = readSignal(line);
                if (progress.cancelled()) {
                    break;
                }
                answered = answered || value.has_value();
                recent.push_back(value);
                if (recent.size() > kSparklineSamples) {
                    recent.pop_front();
                }
                sink.sample(port, run.platform().isoNow(), value, sparkline(recent, unicode));
            }
            report.interrupted = progress.cancelled();
            if (!answered && !report.interrupted) {
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
    return run.status(reports);
}

}  // namespace tamlo::cli
