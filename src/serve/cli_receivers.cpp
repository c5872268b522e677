#include "serve/cli_receivers.h"

#include <chrono>
#include <map>

#include "cli/receiver_jobs.h"
#include "protocol/signal.h"

namespace tamlo::serve {

CliReceivers::CliReceivers(cli::CommandContext& run, std::vector<std::string> ports)
    : run_(run), ports_(std::move(ports)) {}

int64_t CliReceivers::nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::vector<PortIdentity> CliReceivers::identities() {
    std::vector<PortIdentity> ids;
    for (const std::string& name : ports_) {
        const cli::NamedPort& port = run_.port(name);
        ids.push_back({port.name, port.device, port.details.byId, port.details.serialNumber});
    }
    return ids;
}

std::vector<Exchange> CliReceivers::exchange(const std::vector<size_t>& which,
                                             const std::vector<ExchangeKind>& kinds) {
    std::vector<std::string> names;
    std::map<std::string, size_t> slot;
    for (size_t k = 0; k < which.size(); ++k) {
        names.push_back(ports_[which[k]]);
        slot[ports_[which[k]]] = k;
    }
    std::vector<Exchange> results(which.size());
    std::vector<char> talked(which.size(), 0);  // the port opened: the job ran
    const std::vector<cli::PortReport> reports = run_.runJob(
        names,
        [&](Line& line, const std::string& port, cli::PortProgress& progress) {
            const size_t k = slot.at(port);
            Exchange& result = results[k];
            talked[k] = 1;
            const int64_t start = progress.nowMs();
            cli::PortReport report;
            report.port = port;
            bool read = kinds[k] == ExchangeKind::Read;
            if (!read) {
                const SignalReading signal = readSignal(line);
                result.rssi = signal.value;
                if (signal.missing == SignalReading::Missing::LineFailed) {
                    result.reason = "the line failed: " + signal.lineFailure;
                } else if (!signal.value) {
                    result.reason = signal.missing == SignalReading::Missing::NotANumber
                                        ? "no number in the reply"
                                        : "no reply";
                }
                read = signal.value && kinds[k] == ExchangeKind::PollThenRead;
            }
            if (read) {
                report = cli::readReceiver(line, port, progress, SourceInfo{});
                if (report.ok && report.read && report.read->source) {
                    result.rssi = report.read->source->rssi;
                    result.generation = report.read->source->generation;
                    result.firmware = report.firmware;
                    result.settings = std::move(report.read);
                    result.settings->source.reset();
                    if (!result.rssi) {
                        result.reason = "no reply";
                    }
                } else {
                    result.rssi.reset();
                    result.reason = report.errors.empty() ? "no reply" : report.errors.front();
                }
            }
            result.state = result.rssi ? PortState::Answers : PortState::NoAnswer;
            result.durationMs = progress.nowMs() - start;
            // The service words nothing on the terminal per poll.
            report.warnings.clear();
            report.ok = true;
            return report;
        },
        false);
    for (size_t k = 0; k < which.size(); ++k) {
        if (talked[k]) {
            continue;
        }
        // It did not open: whether it is gone, held by apply or the window, or elsewhere.
        Exchange& result = results[k];
        const cli::PortReport& report = reports[k];
        result.reason = report.errors.empty() ? "the port does not open" : report.errors.front();
        const PortOpening why = run_.probeOpen(run_.port(names[k]), false);
        if (why.refusal == OpenRefusal::Missing) {
            result.state = PortState::NotFound;
        } else if (why.refusal == OpenRefusal::InUse) {
            result.state = why.holderProgram == cli::kProgram ? PortState::Busy : PortState::InUse;
        } else {
            result.state = PortState::NoAnswer;
        }
    }
    return results;
}

}  // namespace tamlo::serve
