#include "cli/fleet.h"

#include <chrono>
#include <exception>
#include <thread>

#include "cli/options.h"

namespace tamlo::cli {

int64_t Connection::nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

namespace {

// The line as a worker uses it: it counts the bytes that went out, so that a stop can say
// how far a write had gone; it sends nothing once the user asked to stop at once; and after
// the first write the system refused (an adapter pulled out) it sends nothing more, so the
// conversation ends as a failure instead of talking into a dead line. Closing the line ends
// the failure with it: a port opened again starts afresh.
class WatchedPort final : public SerialPort {
  public:
    WatchedPort(SerialPort& inner, PortProgress& progress) : inner_(inner), progress_(progress) {}

    const bool& failed() const { return failed_; }
    const std::string& failure() const { return failure_; }

    PortOpening openPort(std::string_view name) override { return inner_.openPort(name); }
    void closePort() override {
        inner_.closePort();
        failed_ = false;
        failure_.clear();
    }
    bool isPortOpen() const override { return inner_.isPortOpen(); }
    int32_t bytesWaiting() override { return stopped() ? 0 : inner_.bytesWaiting(); }
    int32_t readPort(uint8_t* buffer, int32_t count) override {
        return stopped() ? 0 : inner_.readPort(buffer, count);
    }
    int32_t writePort(const uint8_t* buffer, int32_t count) override {
        if (stopped()) {
            return 0;
        }
        const int32_t put = inner_.writePort(buffer, count);
        if (put > 0) {
            progress_.addSent(put);
        }
        if (put < count) {
            failed_ = true;
            failure_ = inner_.writeFailure();
            if (failure_.empty()) {
                failure_ = "the line took no more bytes";
            }
        }
        return put;
    }
    std::string writeFailure() const override { return failure_; }

  private:
    bool stopped() const { return failed_ || progress_.aborted(); }

    SerialPort& inner_;
    PortProgress& progress_;
    bool failed_ = false;
    std::string failure_;
};

PortReport runOne(FleetProgress& fleet, size_t index, const ConnectionFactory& connect,
                  const PortJob& job, const FleetOptions& options) {
    const std::string& name = fleet.port(index);
    PortReport report;
    report.port = name;
    if (const auto refused = options.refused.find(name); refused != options.refused.end()) {
        report.fail(refused->second);
        return report;
    }
    const auto device = options.devices.find(name);
    const std::string& opened = device == options.devices.end() ? name : device->second;
    const auto meant = options.meant.find(name);
    const std::string orMeant =
        meant == options.meant.end() ? "" : " (did you mean " + meant->second + "?)";
    std::unique_ptr<Connection> connection = connect(opened);
    if (!connection) {
        report.fail("no such port" + orMeant);
        return report;
    }
    PortProgress progress(fleet, index, opened, [&connection] { return connection->nowMs(); });
    // Below the log: a worker stuck writing its log still lets its port be released.
    HeldPort held(connection->port(), options.held);
    std::unique_ptr<LoggingSerialPort> logged;
    SerialPort* port = &held;
    if (options.log != nullptr) {
        logged = std::make_unique<LoggingSerialPort>(*port, *options.log, name);
        port = logged.get();
    }
    WatchedPort watched(*port, progress);
    InterruptibleClock clock(connection->clock(), progress, watched.failed());
    PortOpening opening = watched.openPort(opened);
    // The service holds a port only for one exchange: a moment's wait finds it free.
    constexpr int32_t kRetryMs = 100;
    for (int32_t waited = 0;
         !opening && opening.refusal == OpenRefusal::InUse && opening.holderProgram == kProgram &&
         waited < options.ownHolderWaitMs && !progress.cancelled();
         waited += kRetryMs) {
        clock.pauseMs(kRetryMs);
        opening = watched.openPort(opened);
    }
    if (!opening) {
        report.fail("the port does not open: " + describeRefusal(opening) +
                    (opening.refusal == OpenRefusal::Missing ? orMeant : ""));
        return report;
    }
    Line line{watched, clock};
    try {
        report = job(line, name, progress);
    } catch (const std::exception& e) {
        // Never expected; the port is still released and the others go on.
        report = PortReport{};
        report.port = name;
        report.fail(std::string("stopped by an internal error: ") + e.what());
    }
    watched.closePort();
    return report;
}

}  // namespace

std::vector<PortReport> runFleet(FleetProgress& fleet, const ConnectionFactory& connect,
                                 const PortJob& job, const FleetOptions& options) {
    std::vector<PortReport> reports(fleet.size());
    std::vector<std::thread> workers;
    workers.reserve(fleet.size());
    for (size_t i = 0; i < fleet.size(); ++i) {
        workers.emplace_back([&, i] {
            reports[i] = runOne(fleet, i, connect, job, options);
            fleet.finish(i, reports[i].ok);
        });
    }
    if (options.onTick) {
        while (!fleet.allFinished()) {
            options.onTick();
            fleet.waitAllFinished(std::chrono::milliseconds(options.pollMs));
        }
        options.onTick();
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return reports;
}

}  // namespace tamlo::cli
