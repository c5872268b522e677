#include "cli/port_report.h"

#include "text/latin1.h"

namespace tamlo::cli {

void printWriteReport(std::ostream& out, const PortReport& r, bool apply, bool verify,
                      bool dryRun) {
    const std::string verified = verify ? "verified" : "not verified";
    if (r.interrupted) {
        out << r.port << ": interrupted" << (r.written ? " (its write was finished)" : "") << "\n";
    } else if (!r.ok) {
        out << r.port << ": failed" << (r.written ? " (a write was sent)" : "") << "\n";
    } else if (!apply) {
        out << r.port << ": firmware " << r.firmware << ": written, " << verified << "\n";
    } else if (!r.changed) {
        out << r.port << ": unchanged\n";
    } else {
        out << r.port << ": " << (dryRun ? "would change" : "changed, " + verified) << "\n";
    }
    for (const Difference& d : r.differences) {
        out << "  " << d.change() << "\n";
    }
    for (const std::string& error : r.errors) {
        out << "  " << error << "\n";
    }
}

namespace {

// The key a settings file names the field by, for scripts: "channel 3" is channel3, "audio
// level" audio_level, "LNA supply" lna_supply.
std::string keyOfField(const std::string& field) {
    std::string key;
    for (const char c : field) {
        if (c == ' ') {
            if (field.starts_with("channel")) {
                continue;
            }
            key += '_';
        } else {
            key += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
    }
    return key;
}

}  // namespace

nlohmann::ordered_json differencesJson(const std::vector<Difference>& differences) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Difference& d : differences) {
        list.push_back({{"field", keyOfField(d.field)},
                        {"from", d.read},
                        {"to", d.asked},
                        {"unit", d.unit.empty() ? "" : d.unit.substr(1)},
                        {"text", d.change()}});
    }
    return list;
}

nlohmann::ordered_json firmwareJson(const PortReport& r) {
    // Unknown where nothing answered: null, not "".
    return r.firmware.empty() ? nlohmann::ordered_json()
                              : nlohmann::ordered_json(latin1ToUtf8(r.firmware));
}

nlohmann::ordered_json portErrorJson(const PortReport& r) {
    if (r.errors.empty()) {
        return nullptr;
    }
    std::string joined;
    for (const std::string& e : r.errors) {
        joined += (joined.empty() ? "" : "; ") + e;
    }
    return bytesAsUtf8(joined);
}

nlohmann::ordered_json reportJson(const PortReport& r, bool dryRun) {
    const nlohmann::ordered_json differences = differencesJson(r.differences);
    nlohmann::ordered_json warnings = nlohmann::ordered_json::array();
    for (const std::string& w : r.warnings) {
        warnings.push_back(bytesAsUtf8(w));
    }
    nlohmann::ordered_json object = {
        {"port", bytesAsUtf8(r.port)}, {"ok", r.ok},           {"changed", r.changed},
        {"written", r.written},        {"dry_run", dryRun},    {"firmware", firmwareJson(r)},
        {"differences", differences},  {"warnings", warnings}, {"error", portErrorJson(r)}};
    if (r.interrupted) {
        object["interrupted"] = true;
    }
    return object;
}

std::string summaryLine(const std::string& command, const std::vector<PortReport>& reports,
                        bool dryRun) {
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
    std::string line = command + ": " + std::to_string(reports.size()) +
                       (reports.size() == 1 ? " receiver: " : " receivers: ") +
                       std::to_string(unchanged) + " unchanged, " + std::to_string(changed) +
                       (dryRun ? " to change, " : " changed, ") + std::to_string(failures) +
                       " failed";
    if (!failed.empty()) {
        line += " (" + failed + ")";
    }
    if (interrupted > 0) {
        line += ", " + std::to_string(interrupted) + " interrupted";
    }
    return line;
}

std::string jsonText(const nlohmann::ordered_json& value, int indent) {
    return value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace tamlo::cli
