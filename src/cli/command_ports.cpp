// tamlo ports: every port the system lists and the ports files name, with what tells them
// apart (the by-id link, the USB adapter) and whether each is free or why not, told without
// opening any; with --probe each free port is tried and asked for its firmware.
#include <map>

#include "cli/command_context.h"
#include "cli/options.h"
#include "cli/receiver_jobs.h"
#include "text/latin1.h"

namespace tamlo::cli {

namespace {

struct PortRow {
    NamedPort port;
    PortOpening opening;  // with --probe, what the try found
    bool tried = false;
    std::optional<PortReport> probe;  // --probe, for a port that opens
};

nlohmann::ordered_json text(const std::string& value) {
    return value.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(bytesAsUtf8(value));
}

nlohmann::ordered_json rowJson(const PortRow& row) {
    const PortDetails& d = row.port.details;
    nlohmann::ordered_json object = {
        {"name", text(row.port.name)},
        {"device", text(d.device)},
        {"by_id", text(d.byId)},
        {"vendor_id", text(d.vendorId)},
        {"product_id", text(d.productId)},
        {"serial_number", text(d.serialNumber)},
        {"product", text(d.product)},
        {"free", row.opening.opened()},
        {"opens",
         row.tried ? nlohmann::ordered_json(row.opening.opened()) : nlohmann::ordered_json()},
        {"reason",
         text(row.port.problem.empty() ? describeRefusal(row.opening) : row.port.problem)}};
    if (row.probe) {
        object["firmware"] = text(row.probe->versionReply);
        object["error"] =
            row.probe->ok ? nlohmann::ordered_json() : text(row.probe->errors.front());
    }
    return object;
}

void printRow(std::ostream& out, const PortRow& row) {
    const PortDetails& d = row.port.details;
    out << row.port.name;
    if (!d.device.empty() && d.device != row.port.name) {
        out << " (" << d.device << ")";
    }
    if (!row.port.problem.empty()) {
        out << ": " << row.port.problem;
    } else if (row.opening) {
        out << (row.tried ? ": opens" : ": free");
    } else {
        out << (row.tried ? ": does not open: " : ": ") << describeRefusal(row.opening);
    }
    if (row.probe) {
        out << (row.probe->ok ? ", firmware " + row.probe->versionReply
                              : ": " + row.probe->errors.front());
    }
    out << "\n";
    if (!d.byId.empty()) {
        out << "  by-id: " << d.byId << "\n";
    }
    if (!d.vendorId.empty() || !d.product.empty() || !d.serialNumber.empty()) {
        out << "  adapter:";
        if (!d.vendorId.empty()) {
            out << " USB " << d.vendorId << ":" << d.productId;
        }
        if (!d.product.empty()) {
            out << " \"" << d.product << "\"";
        }
        if (!d.serialNumber.empty()) {
            out << ", serial number " << d.serialNumber;
        }
        out << "\n";
    }
}

}  // namespace

int commandPorts(CommandContext& run) {
    const Options& options = run.options();
    std::vector<NamedPort> known = run.knownPorts();
    if (options.namesOnly) {
        // For shell completion: the names a port can be given by, opening nothing.
        for (const NamedPort& port : known) {
            run.out() << port.name << "\n";
            // The simulated receiver's pseudo-terminal ends with this run.
            if (port.named && !port.device.empty() && port.name != kSimulatedPort) {
                run.out() << port.device << "\n";
            }
        }
        return kExitOk;
    }
    std::vector<PortRow> rows;
    std::vector<std::string> opened;
    for (NamedPort& port : known) {
        PortRow row{port, run.probeOpen(port, options.probe), options.probe, std::nullopt};
        // Windows lists every name from COM1 to COM99: one that does not exist is no port,
        // unless the ports files name it.
        if (!port.named && row.opening.refusal == OpenRefusal::Missing) {
            continue;
        }
        if (row.opening) {
            opened.push_back(port.name);
            run.enlist(std::move(port));
        }
        rows.push_back(std::move(row));
    }
    if (options.probe && !opened.empty()) {
        std::map<std::string, PortReport> answers;
        for (PortReport& report : run.runJob(opened, identifyReceiver, false)) {
            answers[report.port] = std::move(report);
        }
        for (PortRow& row : rows) {
            if (const auto found = answers.find(row.port.name); found != answers.end()) {
                row.probe = std::move(found->second);
            }
        }
    }
    if (options.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const PortRow& row : rows) {
            list.push_back(rowJson(row));
        }
        run.out() << jsonText(list, 2) << "\n";
    } else {
        for (const PortRow& row : rows) {
            printRow(run.out(), row);
        }
    }
    return run.stopped() ? run.stoppedStatus() : kExitOk;
}

}  // namespace tamlo::cli
