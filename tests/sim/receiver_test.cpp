// The simulated receiver, heard through the program's own primitives and waits, and read
// with the program's own encodings: what it reports must be what it was set up with or
// was last told to store.
#include "sim/receiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "protocol/settings.h"
#include "serial/exchange.h"
#include "sim/line_timing.h"
#include "sim/link.h"
#include "sim/virtual_line.h"
#include "text/conversions.h"

namespace tamlo::sim {
namespace {

// Position counted from 1, as the program counts; clamped at the end of the text.
std::string mid(const std::string& text, size_t position, size_t count) {
    return position - 1 >= text.size() ? std::string() : text.substr(position - 1, count);
}

// The program's side of the line: its waits before each collection.
struct Program {
    explicit Program(ReceiverSettings settings) : port(std::move(settings)) {
        EXPECT_TRUE(port.openPort("COM1"));
    }
    std::string ask(const char* letter, int32_t extraWaitMs) {
        flushInput(port);
        sendCommand(line, letter);
        pauseMs(line.clock, extraWaitMs);
        return readResponse(port, letter);
    }
    std::string version() { return ask("V", 0); }
    std::string hexBlock() { return ask("X", 650); }
    std::string textBlock() { return ask("M", 1500); }
    std::string rssi() { return ask("R", 0); }

    VirtualLine port;
    Line line{port, port};
};

struct Read {
    int32_t channel[6];
    int32_t threshold, current, audio, diversity, lna;
};

Read parseHex(const std::string& block) {
    Read r{};
    for (size_t n = 1; n <= 6; ++n) {
        r.channel[n - 1] = hexWordFrequency(mid(block, 6 * n - 2, 2), mid(block, 6 * n - 5, 2));
    }
    r.current = decimalByte(mid(block, 37, 2));
    r.threshold = hexByte(mid(block, 40, 2));
    r.audio = hexByte(mid(block, 46, 2));
    r.diversity = decimalByte(mid(block, 49, 2));
    r.lna = decimalByte(mid(block, 52, 2));
    return r;
}

// Last occurrence of each tag wins; absent tags leave -999.
Read parseText(const std::string& block) {
    Read r{{-999, -999, -999, -999, -999, -999}, -999, -999, -999, -999, -999};
    for (size_t p = 1; p + 3 <= block.size(); ++p) {
        const std::string tag = mid(block, p, 4);
        if (tag.size() == 4 && tag.compare(0, 2, "CH") == 0 && tag[2] >= '1' && tag[2] <= '6' &&
            tag[3] == ':') {
            r.channel[tag[2] - '1'] = textBlockFrequency(mid(block, p + 6, 6));
        } else if (tag == "thr:") {
            r.threshold = low32(parseInteger(mid(block, p + 4, 6)));
        } else if (tag == " CH:") {
            r.current = low32(parseInteger(mid(block, p + 4, 1)));
        }
    }
    return r;
}

struct Configured {
    const char* version;
    int generation;
    std::array<int32_t, 6> codes;
    int32_t threshold, current, audio;
    bool diversity, lna;
    int32_t rssi;
};

const Configured kReceivers[] = {
    {"1.75", 1, {4000, 4560, 5250, 7125, 8000, 8990}, 12, 3, 0, false, false, 87},
    {"1.81", 1, {8990, 8000, 7125, 6500, 5250, 4000}, 99, 6, 0, false, false, 0},
    {"1.85", 2, {4010, 4995, 6000, 7770, 8120, 8500}, -5, 2, 31, true, false, 255},
    {"1.99", 2, {4000, 4000, 4000, 4000, 4000, 4000}, 0, 1, 0, false, true, 1},
    {"2.05", 3, {4000, 5250, 6500, 7125, 8000, 8990}, 45, 1, 7, false, true, 40},
    {"2.10", 3, {8990, 8985, 4005, 6660, 7000, 7125}, 30, 5, 12, true, false, 300},
};

ReceiverSettings settingsOf(const Configured& c) {
    ReceiverSettings s;
    s.version = c.version;
    s.channelCode = c.codes;
    s.threshold = c.threshold;
    s.currentChannel = c.current;
    s.audioLevel = c.audio;
    s.diversity = c.diversity;
    s.lna = c.lna;
    s.rssi = c.rssi;
    return s;
}

TEST(Receiver, LoadReadsBackWhatItWasSetUpWith) {
    for (const Configured& c : kReceivers) {
        SCOPED_TRACE(c.version);
        Program program(settingsOf(c));

        const std::string version = program.version();
        EXPECT_EQ(version.rfind(c.version, 0), 0U) << version;
        EXPECT_LE(version.size(), 18U);
        const int32_t code =
            low32(truncateToInteger(static_cast<double>(parseDecimal(version)) * 100.0));
        EXPECT_EQ(firmwareGeneration(code), c.generation);
        EXPECT_EQ(program.port.receiver().traits().number, c.generation);

        if (c.generation >= 2) {
            const std::string block = program.hexBlock();
            EXPECT_GE(block.size(), 50U);
            EXPECT_LE(block.size(), 90U);
            const Read r = parseHex(block);
            for (size_t n = 0; n < 6; ++n) {
                EXPECT_EQ(r.channel[n], c.codes[n] / 10) << "channel " << n + 1;
            }
            EXPECT_EQ(r.threshold, c.threshold & 0xFF);
            EXPECT_EQ(r.current, c.current);
            EXPECT_EQ(r.audio, c.audio);
            EXPECT_EQ(r.diversity != 0, c.diversity);
            EXPECT_EQ(r.lna > 40, c.generation == 3 && c.lna);
        } else {
            EXPECT_EQ(program.hexBlock(), "");  // echoed, not answered
        }

        if (c.generation <= 2) {
            const std::string block = program.textBlock();
            EXPECT_GE(block.size(), 100U);
            EXPECT_LE(block.size(), 180U);
            const Read r = parseText(block);
            for (size_t n = 0; n < 6; ++n) {
                EXPECT_EQ(r.channel[n], c.codes[n] / 10) << "channel " << n + 1;
            }
            EXPECT_EQ(r.threshold, c.threshold);
            EXPECT_EQ(r.current, c.current);
        } else {
            EXPECT_EQ(program.textBlock(), "");
        }

        EXPECT_EQ(parseInteger(program.rssi()), c.rssi);
        // Every reply was complete when collected: nothing comes after.
        program.port.advanceMs(5000);
        EXPECT_EQ(program.port.bytesWaiting(), 0);
        EXPECT_EQ(program.port.receiver().commandLog(),
                  (std::vector<std::string>{"V", "X", "M", "R"}));
    }
}

TEST(Receiver, RepliesCarryNoLetterThatTheProgramTakesForAnEcho) {
    for (const Configured& c : kReceivers) {
        const Receiver receiver(settingsOf(c));
        for (const std::string& body : {receiver.versionReply(), receiver.hexBlockReply(),
                                        receiver.textBlockReply(), receiver.rssiReply()}) {
            EXPECT_EQ(body.find_first_of("VXMR"), std::string::npos) << body;
        }
    }
}

TEST(Receiver, VersionReplyFitsAndEndsInItsBuildStamp) {
    struct Case {
        const char* version;
        const char* reply;
    };
    const Case cases[] = {
        {"2.05", "2.05 05-Nov-24"},
        {"1.9", "1.9 05-Nov-24"},
        {"2.05-beta7", "2.05-beta7"},  // no room for the stamp
        {"12345678901234567890", "123456789012345678"},
    };
    for (const Case& c : cases) {
        ReceiverSettings s;
        s.version = c.version;
        EXPECT_EQ(Receiver(s).versionReply(), c.reply);
    }
}

// One STORE conversation, sent the way the program sends it.
struct Store {
    const char* version;
    int32_t paceMs;
    bool session;
    std::vector<std::string> commands;
};

void store(Program& program, const Store& s) {
    if (s.session) {
        sendCommand(program.line, "E");
        sendCommand(program.line, "0");
    }
    for (const std::string& command : s.commands) {
        sendPaced(program.line, command, s.paceMs);
    }
    if (s.session) {
        sendCommand(program.line, "E");
        sendCommand(program.line, "1");
    }
}

TEST(Receiver, StoresWritesMadeAtEachGenerationsPace) {
    const std::vector<std::string> channels = {"C14500", "C25120", "C36000",
                                               "C47775", "C58990", "C64000"};
    const std::array<int32_t, 6> codes = {4500, 5120, 6000, 7775, 8990, 4000};
    struct Case {
        Store store;
        int32_t audio;
        bool diversity, lna;
        int32_t threshold;
    };
    const auto with = [&](std::vector<std::string> front, std::string threshold) {
        front.insert(front.end(), channels.begin(), channels.end());
        front.push_back(std::move(threshold));
        return front;
    };
    const Case cases[] = {
        {{"1.75", 250, false, with({}, "T-45")}, 7, false, true, -45},
        {{"1.85", 25, true, with({"L12D1"}, "T-5")}, 12, true, true, -5},
        {{"2.05", 25, true, with({"L31D1P0"}, "T99")}, 31, true, false, 99},
        {{"2.10", 25, true, with({"L00D0P1"}, "T0")}, 0, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.store.version);
        ReceiverSettings initial;
        initial.version = c.store.version;
        Program program(initial);
        store(program, c.store);
        // The read-back that follows every STORE; its letter also ends a command that
        // is still open.
        if (program.port.receiver().traits().number >= 2) {
            program.hexBlock();
        } else {
            program.textBlock();
        }
        const ReceiverSettings& now = program.port.receiver().settings();
        EXPECT_EQ(now.channelCode, codes);
        EXPECT_EQ(now.threshold, c.threshold);
        EXPECT_EQ(now.audioLevel, c.audio);
        EXPECT_EQ(now.diversity, c.diversity);
        EXPECT_EQ(now.lna, c.lna);
        for (const Receiver::Event& event : program.port.receiver().events()) {
            EXPECT_EQ(event.note, "") << event.text;
        }
        // The session is closed again: a write sent now is heard and ignored.
        if (program.port.receiver().traits().writeSession) {
            sendPaced(program.line, "T1", 25);
            program.port.advanceMs(1000);
            EXPECT_EQ(program.port.receiver().settings().threshold, c.threshold);
        }
    }
}

TEST(Receiver, WrittenValuesComeBackInTheNextRead) {
    ReceiverSettings initial;
    initial.version = "2.05";
    Program program(initial);
    store(program, {"2.05", 25, true, {"L09D1P0", "C38120", "T77"}});
    const Read hex = parseHex(program.hexBlock());
    EXPECT_EQ(hex.channel[2], 812);
    EXPECT_EQ(hex.threshold, 77);
    EXPECT_EQ(hex.audio, 9);
    EXPECT_EQ(hex.diversity, 1);
    EXPECT_LE(hex.lna, 40);

    initial.version = "1.85";
    Program older(initial);
    store(older, {"1.85", 25, true, {"C68550", "T-12"}});
    older.hexBlock();
    const Read text = parseText(older.textBlock());
    EXPECT_EQ(text.channel[5], 855);
    EXPECT_EQ(text.threshold, -12);
}

TEST(Receiver, AppliesOnlyWhatItsGenerationAndSessionAllow) {
    struct Case {
        const char* version;
        bool session;
        std::string commands;  // paced at 25 ms
        int32_t threshold, audio;
        bool lna;
        std::string note;  // of the last command before the closing pair
    };
    const Case cases[] = {
        {"1.85", false, "T12", 45, 7, true, "outside a write session, ignored"},
        {"2.05", false, "L03", 45, 7, true, "outside a write session, ignored"},
        {"1.75", false, "T12", 12, 7, true, ""},  // the first generation has no sessions
        {"1.85", true, "P0", 45, 7, true, "not known to this firmware, ignored"},
        {"1.75", false, "L03", 45, 7, true, "not known to this firmware, ignored"},
        {"2.05", true, "L32", 45, 7, true, "audio level out of range, ignored"},
        {"2.05", true, "C13999", 45, 7, true, "frequency out of band, ignored"},
        {"2.05", true, "C78000", 45, 7, true, "incomplete or malformed, not carried out"},
        {"2.05", true, "T", 45, 7, true, "incomplete or malformed, not carried out"},
        {"2.05", true, "T-", 45, 7, true, "incomplete or malformed, not carried out"},
        {"2.05", true, "T99999999999", 45, 7, true, "broken off, not carried out"},
        {"2.05", true, "C1-", 45, 7, true, "broken off, not carried out"},
        {"2.05", true, "T1\r", 45, 7, true, "broken off, not carried out"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " " + c.commands);
        ReceiverSettings initial;
        initial.version = c.version;
        Program program(initial);
        store(program, {c.version, 25, c.session, {c.commands}});
        program.port.advanceMs(1000);
        const Receiver& receiver = program.port.receiver();
        EXPECT_EQ(receiver.settings().threshold, c.threshold);
        EXPECT_EQ(receiver.settings().audioLevel, c.audio);
        EXPECT_EQ(receiver.settings().lna, c.lna);
        const auto& events = receiver.events();
        ASSERT_GE(events.size(), c.session ? 2U : 1U);
        const Receiver::Event& last = events[events.size() - (c.session ? 2 : 1)];
        EXPECT_EQ(last.note, c.note) << last.text;
    }
}

TEST(Receiver, AnOpenCommandEndsAfterSilence) {
    ReceiverSettings initial;
    initial.version = "1.75";
    initial.threshold = 1;
    Program program(initial);
    sendPaced(program.line, "T45", 250);  // '5' is in at 509.2 ms
    EXPECT_EQ(program.port.receiver().settings().threshold, 1);
    program.port.advanceMs(358);  // 1108 ms: still within the silence
    EXPECT_EQ(program.port.receiver().settings().threshold, 1);
    program.port.advanceMs(2);
    EXPECT_EQ(program.port.receiver().settings().threshold, 45);
    const Receiver::Event& event = program.port.receiver().events().back();
    EXPECT_EQ(event.text, "T45");
    EXPECT_EQ(event.atNs, kCharacterNs);
    EXPECT_EQ(event.endNs, 500 * kNsPerMs + kCharacterNs);
}

// A stray stream into the line must not grow the receiver without end: it remembers the
// latest events, and the line holds only a port's queue of bytes in flight.
TEST(Receiver, MemoryStaysBoundedWhateverItHears) {
    Link link;
    for (size_t i = 0; i < kEventsKept + 5; ++i) {
        link.send('\r', 0);
    }
    EXPECT_FALSE(link.takesMore());
    const int64_t through = charactersNs(static_cast<int64_t>(kEventsKept + 5));
    link.runUntil(through, [](uint8_t, int64_t) {});
    EXPECT_TRUE(link.takesMore());
    ASSERT_EQ(link.receiver().events().size(), kEventsKept);
    EXPECT_EQ(link.receiver().events().back().endNs, through);
}

TEST(Receiver, FaultsShapeTheVersionReply) {
    struct Case {
        const char* fault;
        std::string collected;  // what readResponse("V") returns at 200 ms
        bool bytesWaiting;      // anything at all had arrived by then
        std::string later;      // collected again 1.5 s after that
    };
    const Case cases[] = {
        {"none", "2.05 05-Nov-24", true, ""},
        {"silent", "", false, ""},
        {"noecho", "", true, ""},
        {"noise", "2.05 05-Nov-24", true, ""},
        {"cut:5", "2.05", true, ""},
        {"cut", "2.05 05-Nov-24", true, ""},  // 20 characters: the whole reply
        {"cut:0", "", false, ""},
        {"late", "", false, "2.05 05-Nov-24"},
        {"late:40", "2.05 05-Nov-24", true, ""},
        {"late:100", "2.05 05-", true, ""},  // still arriving when collected
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        ReceiverSettings s;
        int32_t parameter = 0;
        ASSERT_TRUE(parseFault(c.fault, s.fault, parameter));
        s.cutAfter = parameter;
        s.lateMs = parameter;
        Program program(s);
        sendCommand(program.line, "V");
        EXPECT_EQ(program.port.bytesWaiting() > 0, c.bytesWaiting);
        EXPECT_EQ(readResponse(program.port, "V"), c.collected);
        program.port.advanceMs(1500);
        EXPECT_EQ(readResponse(program.port, "V"), c.later);
    }
}

TEST(Receiver, NoiseComesBeforeTheEchoAndHoldsNoCommandLetter) {
    ReceiverSettings s;
    s.fault = Fault::Noise;
    Program program(s);
    sendCommand(program.line, "R");
    std::string raw;
    uint8_t byte = 0;
    while (program.port.bytesWaiting() > 0 && program.port.readPort(&byte, 1) == 1) {
        raw += static_cast<char>(byte);
    }
    const size_t echo = raw.find('R');
    ASSERT_NE(echo, std::string::npos);
    ASSERT_GT(echo, 0U);
    EXPECT_EQ(raw.substr(0, echo).find_first_of("VXMRELDPCT0123456789"), std::string::npos);
    EXPECT_EQ(raw.substr(echo), "R40\r\n");
}

TEST(Receiver, SilentReceiverStillStoresAndUnpluggedOneHearsNothing) {
    ReceiverSettings s;
    s.version = "1.75";
    s.fault = Fault::Silent;
    Program silent(s);
    sendPaced(silent.line, "T33", 250);
    silent.port.advanceMs(1000);
    EXPECT_EQ(silent.port.receiver().settings().threshold, 33);
    EXPECT_EQ(silent.port.bytesWaiting(), 0);

    Receiver unplugged(s);
    unplugged.settings().fault = Fault::Unplugged;
    for (const char c : std::string("T33")) {
        unplugged.receive(static_cast<uint8_t>(c), 0);
    }
    unplugged.advance(2'000'000'000);
    EXPECT_EQ(unplugged.settings().threshold, 45);
    EXPECT_TRUE(unplugged.events().empty());
    EXPECT_TRUE(unplugged.takeOutput().empty());
}

TEST(Receiver, CablePulledAfterSomeBytesKeepsWhatCameBefore) {
    Receiver receiver;
    receiver.settings().version = "1.50";  // writes apply at once, without a session
    receiver.settings().fault = Fault::UnplugAfter;
    receiver.settings().unplugAfter = 4;
    int64_t t = 0;
    for (const char c : std::string("T33C14500")) {
        receiver.receive(static_cast<uint8_t>(c), t += 25'000'000);
    }
    receiver.advance(t + 2'000'000'000);
    // "T33" is heard and carried out by time; "C" is the fourth byte and the last heard.
    EXPECT_EQ(receiver.settings().threshold, 33);
    EXPECT_EQ(receiver.settings().channelCode[0], 4000);
    EXPECT_EQ(receiver.settings().fault, Fault::Unplugged);
    EXPECT_TRUE(receiver.takeOutput().empty());
}

TEST(Receiver, LateReplyOverrunsTheHexBlockCollection) {
    ReceiverSettings s;
    s.fault = Fault::Late;
    s.lateMs = 400;  // 525 ms + 400 ms: the end of the block misses the 850 ms collection
    Program program(s);
    const std::string block = program.hexBlock();
    EXPECT_GT(block.size(), 0U);
    EXPECT_LT(block.size(), 50U);
}

TEST(ParseFault, AcceptsTheNamesAndTheirParameters) {
    struct Case {
        const char* text;
        bool ok;
        Fault fault;
        int32_t parameter;
    };
    const Case cases[] = {
        {"none", true, Fault::None, 0},
        {"silent", true, Fault::Silent, 0},
        {"NoEcho", true, Fault::NoEcho, 0},
        {"noise", true, Fault::Noise, 0},
        {"cut", true, Fault::CutOff, kDefaultCutAfter},
        {"cut:7", true, Fault::CutOff, 7},
        {"late", true, Fault::Late, kDefaultLateMs},
        {"late:2500", true, Fault::Late, 2500},
        {"late:600000", true, Fault::Late, 600000},
        {"unplugged", true, Fault::Unplugged, 0},
        {"unplug", true, Fault::UnplugAfter, kDefaultUnplugAfter},
        {"unplug:25", true, Fault::UnplugAfter, 25},
        {"late:600001", false, Fault::Silent, 99},
        {"late:-1", false, Fault::Silent, 99},
        {"cut:", false, Fault::Silent, 99},
        {"cut:1x", false, Fault::Silent, 99},
        {"cut: 5", false, Fault::Silent, 99},
        {"noise:3", false, Fault::Silent, 99},
        {"", false, Fault::Silent, 99},
        {"cutoff", false, Fault::Silent, 99},
        {"late:99999999999999", false, Fault::Silent, 99},
    };
    for (const Case& c : cases) {
        Fault fault = Fault::Silent;
        int32_t parameter = 99;
        EXPECT_EQ(parseFault(c.text, fault, parameter), c.ok) << c.text;
        EXPECT_EQ(fault, c.fault) << c.text;
        EXPECT_EQ(parameter, c.parameter) << c.text;
        if (c.ok) {
            Fault again = Fault::None;
            int32_t ignored = 0;
            EXPECT_TRUE(parseFault(faultName(fault), again, ignored));
            EXPECT_EQ(again, fault);
        }
    }
}

}  // namespace
}  // namespace tamlo::sim
