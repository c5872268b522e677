#include "cli/receiver_jobs.h"

#include "files/backup_origin.h"

#include "protocol/generation.h"
#include "protocol/identify.h"
#include "protocol/outcome.h"
#include "protocol/read_settings.h"
#include "protocol/signal.h"
#include "protocol/write_and_verify.h"
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

// The system refused a write (failure: its words): the conversation ends as a failure.
bool lineFailed(const std::string& failure, PortReport& report, std::string_view during) {
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
    if (lineFailed(line.port.writeFailure(), report, "as \"V\" was sent")) {
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
            if (!identity.unechoed.empty()) {
                // Bytes came, but not behind an echoed "V": not the receiver's conversation.
                report.fail("the reply to V came without its echo (" +
                            quotedReply(identity.unechoed) + "); is another device on this line?");
            } else {
                report.fail("no answer from the receiver (nothing came back to \"V\")");
            }
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

// What a read of the blocks came to. False, with the report failed, when it was stopped,
// the line failed or a reply was short.
bool judgeRead(const SettingsRead& read, const std::string& lineFailure, PortReport& report,
               const PortProgress& progress) {
    if (progress.cancelled() && !read.accepted()) {
        report.interrupted = true;
        report.fail(std::string(kInterrupted));
        return false;
    }
    if (lineFailed(lineFailure, report, "while the settings were asked for")) {
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

// X and/or M by generation. False, with the report failed, on a short reply.
bool readBlocks(Line& line, PortReport& report, PortProgress& progress, DeviceSettings& settings,
                SettingsRead& read) {
    const GenerationTraits& traits = firmwareTraits(settings[firmwareCode]);
    progress.phase("reading", readNominalMs(traits));
    read = readSettings(line, settings);
    return judgeRead(read, line.port.writeFailure(), report, progress);
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
std::string writeProgress(const StoreOutcome& outcome) {
    if (outcome.sent <= 0) {
        return "before writing: nothing was written";
    }
    if (outcome.sent >= outcome.script.bytes()) {
        return "after the whole write was sent, before it was verified";
    }
    const std::string last = outcome.lastWholeStep();
    return "after " + (last.empty() ? std::string("the write began") : last + " was sent") +
           ": the receiver holds a mix; run the write again";
}

// The command line around a STORE: the progress bar, the user's stop requests (the first
// lets a write under way finish unverified, the second ends it at once), verification.
class ProgressHooks final : public StoreHooks {
  public:
    ProgressHooks(PortProgress& progress, const GenerationTraits& traits, bool verify)
        : progress_(progress), traits_(traits), verify_(verify) {}
    bool beginWrite(const StoreScript& script) override {
        sentBefore_ = progress_.sent();
        return progress_.beginWrite(script.nominalMs());
    }
    bool keepWriting() override { return !progress_.aborted(); }
    int64_t endWrite(int64_t) override {
        progress_.endWrite();
        return progress_.sent() - sentBefore_;
    }
    bool beginReadBack(const StoreOutcome& outcome) override {
        if (!outcome.writeFailure.empty() || progress_.cancelled() || !verify_) {
            return false;
        }
        progress_.phase("verifying", readNominalMs(traits_));
        return true;
    }

  private:
    PortProgress& progress_;
    const GenerationTraits& traits_;
    bool verify_;
    int64_t sentBefore_ = 0;
};

// STORE, then the read-back compared with the request.
void storeAndVerify(Line& line, const StoreRequest& request, int32_t code,
                    const WorkOptions& options, PortReport& report, PortProgress& progress) {
    const GenerationTraits& traits = firmwareTraits(code);
    DeviceSettings held;
    held[firmwareCode] = code;
    ProgressHooks hooks(progress, traits, options.verify);
    const StoreOutcome outcome = writeAndVerify(line, held, request, hooks);
    if (const StoreResult& checks = outcome.script.result; !checks.failures.empty()) {
        // A file value is checked when the file is read; this is the receiver's own value
        // that apply kept where the file is silent.
        report.fail(std::string(outcomeText(checks.last())) +
                    " (the receiver's own value, kept where the file is silent): nothing was "
                    "written");
        return;
    }
    if (!outcome.begun) {
        report.interrupted = true;
        report.fail("interrupted before writing: nothing was written");
        return;
    }
    if (outcome.stopped) {
        report.interrupted = true;
        report.written = outcome.sent >= outcome.script.bytes();
        report.fail("stopped " + writeProgress(outcome));
        return;
    }
    if (!outcome.writeFailure.empty()) {
        report.fail("the line failed during the write (" + outcome.writeFailure + "), " +
                    writeProgress(outcome));
        return;
    }
    report.written = true;
    if (!outcome.readBack) {
        if (options.verify) {
            report.interrupted = true;
            report.fail("interrupted after writing: not verified");
        }
        return;
    }
    const StoreReadBack& back = *outcome.readBack;
    if (!judgeRead(back.read, back.lineFailure, report, progress)) {
        report.errors.back() = "verification failed: " + report.errors.back();
        return;
    }
    for (const Difference& d : differences(request, traits, back.settings, back.differences)) {
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
        !readBlocks(line, report, progress, settings, read)) {
        return report;
    }
    progress.phase("signal", kCommandPauseMs);
    // A signal nobody measured (no answer, a stop that ended the wait) is left out, not 0.
    const SignalReading signal = readSignal(line);
    const GenerationTraits& traits = firmwareTraits(settings[firmwareCode]);
    SettingsFile file = fileFromSettings(settings, traits, read);
    source.firmware = report.versionReply;
    source.generation = traits.number;
    if (signal.value && !progress.cancelled()) {
        source.rssi = *signal.value;
    }
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
    storeAndVerify(line, input.request, code, options, report, progress);
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
        !readBlocks(line, report, progress, current, read)) {
        return report;
    }
    const int32_t code = current[firmwareCode];
    const GenerationTraits& traits = firmwareTraits(code);
    if (!judgeFile(file, traits, options, report)) {
        return report;
    }
    // The file's values, and the receiver's own where the file is silent: those read back
    // as themselves, so only the file's can differ.
    const StoreRequest request = storeInputFor(file, traits, &current).request;
    report.differences = differences(request, traits, current, read);
    report.changed = !report.differences.empty();
    if (!report.changed || options.dryRun) {
        return report;
    }
    storeAndVerify(line, request, code, options, report, progress);
    return report;
}

}  // namespace tamlo::cli
