// The conversations on their own: values in, bytes on the line at their times, values and
// outcomes out. This program links the protocol and the simulated receiver only, no window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../sample_values.h"
#include "protocol/generation.h"
#include "protocol/identify.h"
#include "protocol/read_settings.h"
#include "protocol/signal.h"
#include "protocol/write_and_verify.h"
#include "sim/virtual_line.h"
#include "wire_log.h"

namespace tamlo {
namespace {

struct Bench {
    explicit Bench(const std::string& version) {
        sim::ReceiverSettings settings;
        settings.version = version;
        settings.threshold = 10;
        settings.audioLevel = 3;
        line.emplace(settings);
        line->openPort("COM1");
        wire.emplace(*line, *line, [this] { return line->nowMs(); });
    }
    // "time characters" for each send, as the session runner's wire log prints it.
    Line conversation() { return Line{*wire, *wire}; }

    std::optional<sim::VirtualLine> line;
    std::optional<WireLog> wire;
};

// Channel 4 at 137.125 MHz: a code no other channel rounds like.
StoreRequest exampleRequest() {
    StoreRequest request = sampleValues<StoreRequest>();
    request.channelCodes[3] = 7125;
    return request;
}

// A front end that lets the write begin or not, stops it after so many transmissions, and
// asks for the read-back or not.
struct ScriptedHooks final : StoreHooks {
    bool begin = true;
    int stopAfter = -1;
    bool readBack = true;
    int transmissions = 0;
    bool beginWrite(const StoreScript&) override { return begin; }
    bool keepWriting() override { return ++transmissions != stopAfter; }
    bool beginReadBack(const StoreOutcome&) override { return readBack; }
};

TEST(Generations, TraitsFollowTheFirmwareCode) {
    struct Case {
        int32_t code;
        int generation;
        bool hex, text, session, lna;
        int32_t pace;
    };
    const Case cases[] = {
        {0, 1, false, true, false, false, 250},  {180, 1, false, true, false, false, 250},
        {181, 2, true, true, true, false, 25},   {199, 2, true, true, true, false, 25},
        {200, 3, true, false, true, true, 25},   {INT32_MAX, 3, true, false, true, true, 25},
        {-5, 1, false, true, false, false, 250},
    };
    for (const Case& c : cases) {
        const GenerationTraits& t = firmwareTraits(c.code);
        EXPECT_EQ(t.number, c.generation) << c.code;
        EXPECT_EQ(t.hexBlock, c.hex) << c.code;
        EXPECT_EQ(t.textBlock, c.text) << c.code;
        EXPECT_EQ(t.writeSession, c.session) << c.code;
        EXPECT_EQ(t.lnaByte, c.lna) << c.code;
        EXPECT_EQ(t.lnaCommand, c.lna) << c.code;
        EXPECT_EQ(t.paceMs, c.pace) << c.code;
    }
}

TEST(StoreConversation, PutsEveryCommandOnTheLineAtItsTimeAndReadsBack) {
    struct Case {
        const char* version;
        int32_t firmwareCode;
        bool diversity;
        std::vector<std::string> wire;
    };
    const Case cases[] = {
        {"2.06",
         206,
         false,
         {"0 E", "200 0", "400 L07D0P1", "575 C14000", "725 C25250", "875 C36500", "1025 C47125",
          "1175 C58000", "1325 C68990", "1475 T45", "1550 E", "1750 1", "1950 X"}},
        {"1.90",
         190,
         true,
         {"0 E", "200 0", "400 L07D1", "525 C14000", "675 C25250", "825 C36500", "975 C47125",
          "1125 C58000", "1275 C68990", "1425 T45", "1500 E", "1700 1", "1900 X", "2750 M"}},
        {"1.50",
         150,
         false,
         {"0 C14000", "1500 C25250", "3000 C36500", "4500 C47125", "6000 C58000", "7500 C68990",
          "9000 T45", "9750 M"}},
    };
    for (const Case& c : cases) {
        Bench bench(c.version);
        Line line = bench.conversation();
        StoreRequest request = exampleRequest();
        request.diversity = c.diversity;
        DeviceSettings held;
        held[firmwareCode] = c.firmwareCode;
        StoreHooks hooks;
        const StoreOutcome outcome = writeAndVerify(line, held, request, hooks);
        EXPECT_TRUE(outcome.script.result.failures.empty()) << c.version;
        EXPECT_EQ(bench.wire->sends(), c.wire) << c.version;
        // The receiver holds what was sent, as the read-back rule judges it.
        ASSERT_TRUE(outcome.readBack) << c.version;
        EXPECT_TRUE(outcome.readBack->read.accepted()) << c.version;
        EXPECT_TRUE(outcome.readBack->differences.empty()) << c.version;
        EXPECT_EQ(outcome.readBack->settings[threshold], 45) << c.version;
        // The plan knows its own length: the progress bars and the benchmarks take it.
        const GenerationTraits& traits = firmwareTraits(c.firmwareCode);
        EXPECT_EQ(outcome.script.nominalMs() + readNominalMs(traits), bench.line->nowMs())
            << c.version;
        EXPECT_EQ(outcome.sent, outcome.script.bytes()) << c.version;
        EXPECT_EQ(outcome.script.bytes() + (traits.hexBlock ? 1 : 0) + (traits.textBlock ? 1 : 0),
                  static_cast<int64_t>(bench.line->writtenText().size()))
            << c.version;
    }
    // How far a write got, for a stop in the middle: the last step that means something alone.
    const StoreScript script = planStore(generationTraits(3), exampleRequest());
    EXPECT_EQ(script.lastWholeStep(1), "");
    EXPECT_EQ(script.lastWholeStep(2), "the opening pair");
    EXPECT_EQ(script.lastWholeStep(2 + 7 + 6), "channel 1");
    EXPECT_EQ(script.lastWholeStep(script.bytes() - 1), "the threshold");
    EXPECT_EQ(script.lastWholeStep(script.bytes()), "the closing pair");
}

TEST(StoreConversation, SendsWhatTheRequestAndTheFrontEndAllow) {
    using F = StoreFailure;
    const std::vector<std::string> whole = {
        "0 E",        "200 0",       "400 L07D0P1", "575 C14000",  "725 C25250",
        "875 C36500", "1025 C47125", "1175 C58000", "1325 C68990", "1475 T45",
        "1550 E",     "1750 1",      "1950 X"};
    struct Case {
        const char* what;
        void (*edit)(StoreRequest&, ScriptedHooks&);
        std::vector<StoreFailure> failures;
        std::vector<std::string> wire;
        bool readBack;
    };
    const Case cases[] = {
        {"an audio level the receiver does not take refuses the whole request",
         [](StoreRequest& r, ScriptedHooks&) { r.audioLevel = 32; },
         {F{Outcome::InvalidAudioLevel, 0}},
         {},
         false},
        {"every value refused is named, in the order of the conversation",
         [](StoreRequest& r, ScriptedHooks&) {
             r.threshold = 100;
             r.channelCodes[2] = 3999;
             r.channelCodes[4] = 8991;
         },
         {F{Outcome::InvalidFrequency, 3}, F{Outcome::InvalidFrequency, 5},
          F{Outcome::InvalidThreshold, 0}},
         {},
         false},
        {"no audio level: no L, D or P; absent channels are not sent",
         [](StoreRequest& r, ScriptedHooks&) {
             r.audioLevel.reset();
             r.channelCodes[1].reset();
             r.channelCodes[4].reset();
         },
         {},
         {"0 E", "200 0", "400 C14000", "550 C36500", "700 C47125", "850 C68990", "1000 T45",
          "1075 E", "1275 1", "1475 X"},
         true},
        {"the front end lets no write begin",
         [](StoreRequest&, ScriptedHooks& h) { h.begin = false; },
         {},
         {},
         false},
        {"a stop after the audio command: nothing more, nothing read",
         [](StoreRequest&, ScriptedHooks& h) { h.stopAfter = 3; },
         {},
         {"0 E", "200 0", "400 L07D0P1"},
         false},
        {"no read-back asked for",
         [](StoreRequest&, ScriptedHooks& h) { h.readBack = false; },
         {},
         {whole.begin(), whole.end() - 1},
         false},
    };
    for (const Case& c : cases) {
        Bench bench("2.06");
        Line line = bench.conversation();
        StoreRequest request = exampleRequest();
        ScriptedHooks hooks;
        c.edit(request, hooks);
        DeviceSettings held;
        held[firmwareCode] = 206;
        const StoreOutcome outcome = writeAndVerify(line, held, request, hooks);
        EXPECT_EQ(outcome.script.result.failures, c.failures) << c.what;
        EXPECT_EQ(outcome.script.result.last(),
                  c.failures.empty() ? Outcome::Ok : c.failures.back().outcome)
            << c.what;
        EXPECT_EQ(bench.wire->sends(), c.wire) << c.what;
        EXPECT_EQ(outcome.readBack.has_value(), c.readBack) << c.what;
        if (outcome.readBack) {
            EXPECT_TRUE(outcome.readBack->differences.empty()) << c.what;
        }
        EXPECT_EQ(outcome.stopped, hooks.stopAfter > 0) << c.what;
        if (outcome.stopped) {
            EXPECT_EQ(outcome.sent, 9) << c.what;
            EXPECT_EQ(outcome.lastWholeStep(), "the audio command") << c.what;
        }
    }
}

TEST(ReadConversation, AsksForTheGenerationsBlocksAndFillsTheSettings) {
    struct Case {
        const char* version;
        std::vector<std::string> wire;
        bool hexAsked, textAsked;
    };
    const Case cases[] = {
        {"2.05", {"0 V", "200 X"}, true, false},
        {"1.90", {"0 V", "200 X", "1050 M"}, true, true},
        {"1.50", {"0 V", "200 M"}, false, true},
    };
    for (const Case& c : cases) {
        Bench bench(c.version);
        Line line = bench.conversation();
        DeviceSettings settings;
        const FirmwareIdentity identity = identifyFirmware(line);
        EXPECT_EQ(identity.reply.substr(0, 4), c.version);
        settings[firmwareCode] = identity.firmwareCode;
        const SettingsRead read = readSettings(line, settings);
        EXPECT_EQ(read.hex.has_value(), c.hexAsked) << c.version;
        EXPECT_EQ(read.text.has_value(), c.textAsked) << c.version;
        EXPECT_TRUE(read.accepted()) << c.version;
        EXPECT_EQ(settings[threshold], 10) << c.version;
        EXPECT_EQ(bench.wire->sends(), c.wire) << c.version;
        EXPECT_EQ(pollSignal(line), 40) << c.version;
    }
}

TEST(ReadConversation, ASilentReceiverLeavesTheSettingsAsTheyWere) {
    for (const char* version : {"2.05", "1.90", "1.50"}) {
        Bench bench(version);
        Line line = bench.conversation();
        DeviceSettings settings;
        settings[firmwareCode] = identifyFirmware(line).firmwareCode;
        settings[threshold] = 77;
        bench.line->receiver().settings().fault = sim::Fault::Silent;
        const SettingsRead read = readSettings(line, settings);
        EXPECT_FALSE(read.accepted()) << version;
        EXPECT_EQ(settings[threshold], 77) << version;
        EXPECT_EQ(pollSignal(line), 0) << version;
    }
}

}  // namespace
}  // namespace tamlo
