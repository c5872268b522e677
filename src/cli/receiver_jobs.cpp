#include "cli/receiver_jobs.h"

#include "protocol/generation.h"
#include "protocol/identify.h"
#include "protocol/outcome.h"
#include "protocol/read_settings.h"
#include "protocol/signal.h"
#include "protocol/write_settings.h"
#include "text/conversions.h"

namespace tamlo::cli {

namespace {

constexpr std::string_view kInterrupted = "interrupted";

// A receiver's reply, quoted for a message: printable ASCII as it is, other bytes as \xNN.
std::string quotedReply(std::string_view reply) {
    std::string out = "\"";
    for (const char c : reply) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\') {
            out += c;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out + "\"";
}

// The system refused a write: the conversation ends as a failure with its reason.
bool lineFailed(Line& line, PortReport& report, std::string_view during) {
    const std::string failure = line.port.writeFailure();
    if (failure.empty()) {
        return false;
    }
    report.fail("the line failed " + std::string(during) + ": " + failure);
    return true;
}

// V: which receiver is there. False, with the report failed, when nothing answered or the
// reply is not a whole version.
bool identify(Line& line, PortReport& report, PortProgress& progress, DeviceSettings& settings) {
    progress.phase("identifying", kCommandPauseMs);
    const FirmwareIdentity identity = identifyFirmware(line);
    if (progress.cancelled()) {
        report.interrupted = true;
        report.fail(std::string(kInterrupted));
        return false;
    }
    if (lineFailed(line, report, "as \"V\" was sent")) {
        return false;
    }
    // The whole reply for the record, without the line end the receiver may put after it.
    std::string reply = identity.reply;
    while (!reply.empty() && static_cast<unsigned char>(reply.back()) <= ' ') {
        reply.pop_back();
    }
    switch (judgeVersionReply(reply)) {
        case VersionReply::Whole:
            break;
        case VersionReply::Empty:
            report.fail("no answer from the receiver (nothing came back to \"V\")");
            return false;
        case VersionReply::Cut:
            report.fail("the receiver's version reply was cut: " + quotedReply(reply) +
                        "; nothing was written");
            return false;
        case VersionReply::NotAVersion:
            report.fail("the receiver's version reply is not a version: " + quotedReply(reply) +
                        "; nothing was written");
            return false;
    }
    settings[firmwareCode] = identity.firmwareCode;
    report.firmware = firmwareName(reply);
    report.versionReply = reply;
    return true;
}

// X and/or M by generation. False, with the report failed, on a short reply.
bool readBlocks(Line& line, PortReport& report, PortProgress& progress, DeviceSettings& settings,
                SettingsRead& read, const char* phase) {
    const GenerationTraits& traits = firmwareTraits(settings[firmwareCode]);
    progress.phase(phase, readNominalMs(traits));
    read = readSettings(line, settings);
    if (progress.cancelled() && !read.accepted()) {
        report.interrupted = true;
        report.fail(std::string(kInterrupted));
        return false;
    }
    if (lineFailed(line, report, "while the settings were asked for")) {
        return false;
    }
    if (!read.accepted()) {
        report.fail(std::string(outcomeText(Outcome::ShortReply)) +
                    ": the settings came back too short (" +
                    std::string(read.hex && !read.hex->accepted() ? "\"X\"" : "\"M\"") + " reply)");
        return false;
    }
    return true;
}

// The file's keys and values this generation cannot take, and a backup of another
// receiver: unsupported keys and other receivers are warnings (with --strict errors); values
// it could not read back as written are errors.
bool judgeFile(const SettingsFile& file, const GenerationTraits& traits, const WorkOptions& options,
               PortReport& report) {
    const std::string firmware =
        "firmware " + report.firmware + " (generation " + formatInteger(traits.number) + ")";
    const auto doubt = [&](const std::string& text, const std::string& consequence) {
        if (options.strict) {
            report.fail(text);
        } else {
            report.warnings.push_back(text + consequence);
        }
    };
    if (options.checkSource && file.source) {
        for (const std::string& text :
             otherReceiver(*file.source, traits, report.firmware, options.adapterSerial)) {
            doubt(text, "");
        }
    }
    for (const std::string& key : unsupportedKeys(file, traits)) {
        doubt(firmware + " has no control for '" + key + "'", ": skipped");
    }
    for (const std::string& problem : valuesBeyondGeneration(file, traits)) {
        report.fail(problem + "; nothing was written to " + firmware);
    }
    return report.ok;
}

// How far a STORE got when it was stopped, and what the receiver holds.
std::string writeProgress(const StoreScript& script, int64_t sent) {
    if (sent <= 0) {
        return "before writing: nothing was written";
    }
    if (sent >= script.bytes()) {
        return "after the whole write was sent, before it was verified";
    }
    const std::string last = script.lastWholeStep(sent);
    return "after " + (last.empty() ? std::string("the write began") : last + " was sent") +
           ": the receiver holds a mix; run the write again";
}

// STORE, then the read-back compared with the file.
void storeAndVerify(Line& line, const SettingsFile& file, const StoreValues& values, int32_t code,
                    const WorkOptions& options, PortReport& report, PortProgress& progress) {
    const GenerationTraits& traits = firmwareTraits(code);
    const StoreScript script = planStore(code, values);
    if (!script.result.failures.empty()) {
        // A file value is checked when the file is read; this is the receiver's own value
        // that apply kept where the file is silent.
        report.fail(std::string(outcomeText(script.result.last())) +
                    " (the receiver's own value, kept where the file is silent): nothing was "
                    "written");
        return;
    }
    if (!progress.beginWrite(script.nominalMs())) {
        report.interrupted = true;
        report.fail("interrupted before writing: nothing was written");
        return;
    }
    const int64_t sentBefore = progress.sent();
    runStore(line, script);
    progress.endWrite();
    const int64_t sent = progress.sent() - sentBefore;
    if (progress.aborted()) {
        report.interrupted = true;
        report.written = sent >= script.bytes();
        report.fail("stopped " + writeProgress(script, sent));
        return;
    }
    if (const std::string failure = line.port.writeFailure(); !failure.empty()) {
        report.fail("the line failed during the write (" + failure + "), " +
                    writeProgress(script, sent));
        return;
    }
    report.written = true;
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
    SettingsRead read;
    if (!readBlocks(line, report, progress, back, read, "verifying")) {
        report.errors.back() = "verification failed: " + report.errors.back();
        return;
    }
    for (const Difference& d : differences(file, traits, back, read)) {
        report.fail("verification failed: " + d.mismatch());
    }
}

}  // namespace

PortReport identifyReceiver(Line& line, const std::string& port, PortProgress& progress) {
    PortReport report;
    report.port = port;
    DeviceSettings settings;
    identify(line, report, progress, settings);
    return report;
}

PortReport readReceiver(Line& line, const std::string& port, PortProgress& progress,
                        SourceInfo source) {
    PortReport report;
    report.port = port;
    DeviceSettings settings;
    SettingsRead read;
    if (!identify(line, report, progress, settings) ||
        !readBlocks(line, report, progress, settings, read, "reading")) {
        return report;
    }
    progress.phase("signal", kCommandPauseMs);
    settings[rssi] = pollSignal(line);
    const GenerationTraits& traits = firmwareTraits(settings[firmwareCode]);
    SettingsFile file = fileFromSettings(settings, traits);
    source.firmware = report.versionReply;
    source.generation = traits.number;
    source.rssi = settings[rssi];
    file.source = std::move(source);
    report.warnings = unrestorableValues(file);
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
    const GenerationTraits& traits = firmwareTraits(code);
    if (!judgeFile(file, traits, options, report)) {
        return report;
    }
    const StoreInput input = storeInputFor(file, traits, nullptr);
    if (!input.missing.empty()) {
        std::string keys;
        for (const std::string& key : input.missing) {
            keys += (keys.empty() ? "'" : ", '") + key + "'";
        }
        report.fail("the file has no " + keys + ", which firmware " + report.firmware +
                    " needs for a write (apply keeps the receiver's own values)");
        return report;
    }
    storeAndVerify(line, file, input.values, code, options, report, progress);
    report.changed = report.written;
    return report;
}

PortReport applyReceiver(Line& line, const std::string& port, const SettingsFile& file,
                         const WorkOptions& options, PortProgress& progress) {
    PortReport report;
    report.port = port;
    DeviceSettings current;
    SettingsRead read;
    if (!identify(line, report, progress, current) ||
        !readBlocks(line, report, progress, current, read, "reading")) {
        return report;
    }
    const int32_t code = current[firmwareCode];
    const GenerationTraits& traits = firmwareTraits(code);
    if (!judgeFile(file, traits, options, report)) {
        return report;
    }
    report.differences = differences(file, traits, current, read);
    report.changed = !report.differences.empty();
    if (!report.changed || options.dryRun) {
        return report;
    }
    const StoreInput input = storeInputFor(file, traits, &current);
    storeAndVerify(line, file, input.values, code, options, report, progress);
    return report;
}

}  // namespace tamlo::cli
