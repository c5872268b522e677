// The conversations on their own: values in, bytes on the line at their times, values and
// outcomes out. This program links the protocol and the simulated receiver only, no window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/generation.h"
#include "protocol/identify.h"
#include "protocol/read_settings.h"
#include "protocol/signal.h"
#include "protocol/write_settings.h"
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

StoreValues exampleForm() {
    StoreValues values;
    values.channels = {"134.000 MHz", "135.250 MHz", "136.500 MHz",
                       "137.125 MHz", "138.000 MHz", "138.990 MHz"};
    values.threshold = "45";
    values.audioLevel = "7";
    values.diversity = 0;
    values.lnaSupply = 1;
    return values;
}

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

TEST(StoreConversation, PutsEveryCommandOnTheLineAtItsTime) {
    struct Case {
        const char* version;
        int32_t firmwareCode;
        int32_t diversity;
        std::vector<std::string> wire;
    };
    const Case cases[] = {
        {"2.06",
         206,
         0,
         {"0 E", "200 0", "400 L07D0P1", "575 C14000", "725 C25250", "875 C36500", "1025 C47125",
          "1175 C58000", "1325 C68990", "1475 T45", "1550 E", "1750 1"}},
        {"1.90",
         190,
         1,
         {"0 E", "200 0", "400 L07D1", "525 C14000", "675 C25250", "825 C36500", "975 C47125",
          "1125 C58000", "1275 C68990", "1425 T45", "1500 E", "1700 1"}},
        {"1.50",
         150,
         0,
         {"0 C14000", "1500 C25250", "3000 C36500", "4500 C47125", "6000 C58000", "7500 C68990",
          "9000 T45"}},
    };
    for (const Case& c : cases) {
        Bench bench(c.version);
        Line line = bench.conversation();
        StoreValues values = exampleForm();
        values.diversity = c.diversity;
        const int64_t startMs = bench.line->nowMs();
        const StoreResult result = writeSettings(line, c.firmwareCode, values);
        EXPECT_TRUE(result.failures.empty()) << c.version;
        EXPECT_EQ(bench.wire->sends(), c.wire) << c.version;
        EXPECT_TRUE(checkStore(c.firmwareCode, values).failures.empty());
        // The plan knows its own length: the progress bars and the benchmarks take it.
        const StoreScript script = planStore(c.firmwareCode, values);
        EXPECT_EQ(script.nominalMs(), bench.line->nowMs() - startMs) << c.version;
        EXPECT_EQ(script.bytes(), static_cast<int64_t>(bench.line->writtenText().size()))
            << c.version;
    }
    // How far a write got, for a stop in the middle: the last step that means something alone.
    const StoreScript script = planStore(206, exampleForm());
    EXPECT_EQ(script.lastWholeStep(1), "");
    EXPECT_EQ(script.lastWholeStep(2), "the opening pair");
    EXPECT_EQ(script.lastWholeStep(2 + 7 + 6), "channel 1");
    EXPECT_EQ(script.lastWholeStep(script.bytes() - 1), "the threshold");
    EXPECT_EQ(script.lastWholeStep(script.bytes()), "the closing pair");
}

TEST(StoreConversation, RefusedValuesAreReportedInOrderAndNotSent) {
    using F = StoreFailure;
    struct Case {
        const char* what;
        void (*edit)(StoreValues&);
        std::vector<StoreFailure> failures;
        std::vector<std::string> wire;
    };
    const Case cases[] = {
        {"audio level out of range: no channel goes, the threshold does",
         [](StoreValues& v) { v.audioLevel = "32"; },
         {F{Outcome::InvalidAudioLevel, 0}},
         {"0 E", "200 0", "400 T45", "475 E", "675 1"}},
        {"channel 3 and the threshold refused: the threshold's is the last word",
         [](StoreValues& v) {
             v.channels[2] = "133.999 MHz";
             v.threshold = "100";
         },
         {F{Outcome::InvalidFrequency, 3}, F{Outcome::InvalidThreshold, 0}},
         {"0 E", "200 0", "400 L07D0P1", "575 C14000", "725 C25250", "875 E", "1075 1"}},
        {"no audio-level field: no L, D or P",
         [](StoreValues& v) { v.audioLevel.reset(); },
         {},
         {"0 E", "200 0", "400 C14000", "550 C25250", "700 C36500", "850 C47125", "1000 C58000",
          "1150 C68990", "1300 T45", "1375 E", "1575 1"}},
        {"a threshold that wraps into range is refused, not sent as T50",
         [](StoreValues& v) { v.threshold = "4294967346"; },
         {F{Outcome::InvalidThreshold, 0}},
         {"0 E", "200 0", "400 L07D0P1", "575 C14000", "725 C25250", "875 C36500", "1025 C47125",
          "1175 C58000", "1325 C68990", "1475 E", "1675 1"}},
        {"an audio level that wraps into range is refused, not sent as L12",
         [](StoreValues& v) { v.audioLevel = "4294967308"; },
         {F{Outcome::InvalidAudioLevel, 0}},
         {"0 E", "200 0", "400 T45", "475 E", "675 1"}},
        {"a threshold that fits keeps its reading: -5 goes",
         [](StoreValues& v) { v.threshold = "-5x"; },
         {},
         {"0 E", "200 0", "400 L07D0P1", "575 C14000", "725 C25250", "875 C36500", "1025 C47125",
          "1175 C58000", "1325 C68990", "1475 T-5", "1550 E", "1750 1"}},
        {"an empty threshold is no number",
         [](StoreValues& v) { v.threshold = ""; },
         {F{Outcome::InvalidThreshold, 0}},
         {"0 E", "200 0", "400 L07D0P1", "575 C14000", "725 C25250", "875 C36500", "1025 C47125",
          "1175 C58000", "1325 C68990", "1475 E", "1675 1"}},
    };
    for (const Case& c : cases) {
        Bench bench("2.06");
        Line line = bench.conversation();
        StoreValues values = exampleForm();
        c.edit(values);
        const StoreResult result = writeSettings(line, 206, values);
        EXPECT_EQ(result.failures, c.failures) << c.what;
        EXPECT_EQ(result.last(), c.failures.empty() ? Outcome::Ok : c.failures.back().outcome)
            << c.what;
        EXPECT_EQ(bench.wire->sends(), c.wire) << c.what;
        // The checks alone give the same verdict and send nothing.
        EXPECT_EQ(checkStore(206, values).failures, c.failures) << c.what;
    }
}

TEST(ChannelCheck, BothTestsMustPass) {
    struct Case {
        const char* text;
        bool passes;
    };
    const Case cases[] = {
        {"134.000 MHz", true}, {"138.990 MHz", true}, {"135.1", true},
        {"133.999", false},    {"138.991", false},    {" 134.000", false},
        {"1345", false},       {"144.000", false},    {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(channelPasses(c.text, storeChannelCode(c.text)), c.passes) << c.text;
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
