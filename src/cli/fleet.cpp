#include "cli/fleet.h"

#include <thread>

namespace tamlo::cli {

namespace {

PortReport runOne(Board& board, size_t index, const ConnectionFactory& connect, const PortJob& job,
                  const FleetOptions& options) {
    const std::string& name = board.port(index);
    PortProgress progress(board, index);
    PortReport report;
    report.port = name;
    std::unique_ptr<Connection> connection = connect(name);
    if (!connection) {
        report.fail("no such port");
        return report;
    }
    std::unique_ptr<LoggingSerialPort> logged;
    SerialPort* port = &connection->port();
    if (options.log != nullptr) {
        logged = std::make_unique<LoggingSerialPort>(*port, *options.log, name);
        port = logged.get();
    }
    InterruptibleClock interruptible(connection->clock(), progress);
    Clock& clock = options.interruptible ? static_cast<Clock&>(interruptible) : connection->clock();
    const auto device = options.devices.find(name);
    if (!port->openPort(device == options.devices.end() ? name : device->second)) {
        report.fail(
            "the port does not open (missing, held by another program, or refusing "
            "the line settings)");
        return report;
    }
    Line line{*port, clock, connection->tap()};
    report = job(line, name, progress);
    port->closePort();
    return report;
}

}  // namespace

std::vector<PortReport> runFleet(Board& board, const ConnectionFactory& connect, const PortJob& job,
                                 const FleetOptions& options) {
    std::vector<PortReport> reports(board.size());
    std::vector<std::thread> workers;
    workers.reserve(board.size());
    for (size_t i = 0; i < board.size(); ++i) {
        workers.emplace_back([&, i] {
            reports[i] = runOne(board, i, connect, job, options);
            board.finish(i);
        });
    }
    if (options.onTick) {
        while (!board.allFinished()) {
            options.onTick();
            board.waitAllFinished(std::chrono::milliseconds(options.pollMs));
        }
        options.onTick();
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return reports;
}

}  // namespace tamlo::cli
