#include "cli/port_work.h"

#include "protocol/generation.h"
#include "protocol/identify.h"
#include "protocol/read_settings.h"
#include "protocol/signal.h"
#include "protocol/write_settings.h"
#include "text/conversions.h"

namespace tamlo::cli {

namespace {

constexpr std::string_view kInterrupted = "interrupted";

int32_t readNominalMs(const GenerationTraits& traits) {
    return (traits.hexBlock ? kCommandPauseMs + kHexBlockWaitMs : 0) +
           (traits.textBlock ? kCommandPauseMs + kTextBlockWaitMs : 0);
}

// V: which receiver is there. False, with the report failed, when nothing answered.
bool identify(Line& line, PortReport& report, PortProgress& progress, DeviceSettings& settings) {
    progress.phase("identifying", kCommandPauseMs);
    const FirmwareIdentity identity = identifyFirmware(line);
    if (progress.cancelled()) {
        report.interrupted = true;
        report.fail(std::string(kInterrupted));
        return false;
    }
    if (identity.reply.empty()) {
        report.fail("no answer from the receiver (nothing came back to \"V\")");
        return false;
    }
    settings[firmwareCode] = identity.firmwareCode;
    report.firmware = firmwareName(identity.reply);
    // The whole reply for the record, without the line end the receiver may put after it.
    report.versionReply = identity.reply;
    while (!report.versionReply.empty() &&
           static_cast<unsigned char>(report.versionReply.back()) <= ' ') {
        report.versionReply.pop_back();
    }
    return true;
}

// X and/or M by generation. False, with the report failed, on a short reply.
bool readBlocks(Line& line, PortReport& report, PortProgress& progress, DeviceSettings& settings,
                const char* phase) {
    const GenerationTraits& traits = firmwareTraits(settings[firmwareCode]);
    progress.phase(phase, readNominalMs(traits));
    const SettingsRead read = readSettings(line, settings);
    if (progress.cancelled() && !read.accepted()) {
        report.interrupted = true;
        report.fail(std::string(kInterrupted));
        return false;
    }
    if (!read.accepted()) {
        report.fail(outcomeText(Outcome::ShortReply) + ": the settings came back too short (" +
                    std::string(read.hex && !read.hex->accepted() ? "\"X\"" : "\"M\"") + " reply)");
        return false;
    }
    return true;
}

// The file's keys this generation cannot take: warnings, or with --strict errors.
bool judgeUnsupported(const SettingsFile& file, int generation, const WorkOptions& options,
                      PortReport& report) {
    for (const std::string& key : unsupportedKeys(file, generation)) {
        const std::string text = "firmware " + report.firmware + " (generation " +
                                 formatInteger(generation) + ") has no control for '" + key + "'";
        if (options.strict) {
            report.fail(text);
        } else {
            report.warnings.push_back(text + ": skipped");
        }
    }
    return report.ok;
}

// STORE, then the read-back compared with the file.
void storeAndVerify(Line& line, const SettingsFile& file, const StoreValues& values, int32_t code,
                    const WorkOptions& options, PortReport& report, PortProgress& progress) {
    const int generation = firmwareGeneration(code);
    const StoreResult checked = checkStore(code, values);
    if (!checked.failures.empty()) {
        // A file value is checked when the file is read; this is the receiver's own value
        // that apply kept where the file is silent.
        report.fail(outcomeText(checked.last()) + ": nothing was written");
        return;
    }
    if (!progress.beginWrite(storeNominalMs(generation, values))) {
        report.interrupted = true;
        report.fail("interrupted before writing: nothing was written");
        return;
    }
    const StoreResult stored = writeSettings(line, code, values);
    progress.endWrite();
    report.written = true;
    if (!stored.failures.empty()) {
        report.fail(outcomeText(stored.last()));
        return;
    }
    if (progress.cancelled()) {
        report.interrupted = true;
        report.fail("interrupted after writing: not verified");
        return;
    }
    if (!options.verify) {
        return;
    }
    DeviceSettings back;
    back[firmwareCode] = code;
    if (!readBlocks(line, report, progress, back, "verifying")) {
        report.errors.back() = "verification failed: " + report.errors.back();
        return;
    }
    for (const Difference& d : differences(file, generation, back)) {
        report.fail("verification failed: " + d.mismatch());
    }
}

}  // namespace

PortReport readReceiver(Line& line, const std::string& port, PortProgress& progress,
                        const std::string& readAt) {
    PortReport report;
    report.port = port;
    DeviceSettings settings;
    if (!identify(line, report, progress, settings) ||
        !readBlocks(line, report, progress, settings, "reading")) {
        return report;
    }
    progress.phase("signal", kCommandPauseMs);
    settings[rssi] = pollSignal(line);
    const int generation = firmwareGeneration(settings[firmwareCode]);
    SettingsFile file = fileFromSettings(settings, generation);
    file.receiver = ReceiverInfo{port, report.versionReply, generation, settings[rssi], readAt};
    report.read = std::move(file);
    return report;
}

PortReport writeReceiver(Line& line, const std::string& port, const SettingsFile& file,
                         const WorkOptions& options, PortProgress& progress) {
    PortReport report;
    report.port = port;
    DeviceSettings settings;
    if (!identify(line, report, progress, settings)) {
        return report;
    }
    const int32_t code = settings[firmwareCode];
    const int generation = firmwareGeneration(code);
    if (!judgeUnsupported(file, generation, options, report)) {
        return report;
    }
    const StorePlan plan = planStore(file, generation, nullptr);
    if (!plan.missing.empty()) {
        std::string keys;
        for (const std::string& key : plan.missing) {
            keys += (keys.empty() ? "'" : ", '") + key + "'";
        }
        report.fail("the file has no " + keys + ", which firmware " + report.firmware +
                    " needs for a write (apply keeps the receiver's own values)");
        return report;
    }
    storeAndVerify(line, file, plan.values, code, options, report, progress);
    report.changed = report.written;
    return report;
}

PortReport applyReceiver(Line& line, const std::string& port, const SettingsFile& file,
                         const WorkOptions& options, PortProgress& progress) {
    PortReport report;
    report.port = port;
    DeviceSettings current;
    if (!identify(line, report, progress, current) ||
        !readBlocks(line, report, progress, current, "reading")) {
        return report;
    }
    const int32_t code = current[firmwareCode];
    const int generation = firmwareGeneration(code);
    if (!judgeUnsupported(file, generation, options, report)) {
        return report;
    }
    report.differences = differences(file, generation, current);
    report.changed = !report.differences.empty();
    if (!report.changed || options.dryRun) {
        return report;
    }
    const StorePlan plan = planStore(file, generation, &current);
    storeAndVerify(line, file, plan.values, code, options, report, progress);
    return report;
}

}  // namespace tamlo::cli
