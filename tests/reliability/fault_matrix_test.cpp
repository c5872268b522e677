// Every fault of the simulated receiver against every handler and every generation, in
// virtual time, through the whole program. Each row: the handler ends in bounded time, the
// user gets the row's message (or none), and after a STORE the receiver holds its old
// values or exactly the form's, or else the user was told. Then the fault is mended and a
// LOAD (after choosing the port again) shows the receiver as it is.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/configurator.h"
#include "protocol/settings.h"
#include "sim/virtual_line.h"
#include "ui/control_table.h"
#include "ui/memory_window.h"

namespace tamlo {
namespace {

enum class Handler { Load, Store, Tick };
enum class Held { Old, Form, Other };

struct Row {
    const char* fault;  // as the simulator's --fault takes it
    Handler handler;
    int generation;
    int64_t ms;           // virtual time of the handler (three ticks for the trace)
    const char* message;  // the one message the user gets
    Held held;            // what the receiver holds afterwards
};

constexpr const char* kCommError = "Communication Error";
constexpr const char* kNone = "";

const char* versionOf(int generation) {
    return generation == 1 ? "1.50" : generation == 2 ? "1.90" : "2.05";
}

// Nominal virtual time of each handler: its pauses added up (the trace: three ticks). No
// fault may make a handler take longer, whatever generation it mistakes the receiver for.
int64_t boundMs(Handler handler, int generation) {
    switch (handler) {
        case Handler::Load:
            return 2950;  // the longest LOAD: generation 2, both blocks
        case Handler::Store:
            return generation == 1 ? 11450 : generation == 2 ? 4450 : 2800;
        case Handler::Tick:
            return 3 * 200;
    }
    return 0;
}

// The receiver's settings that STORE writes.
struct Stored {
    std::array<int32_t, 6> channels{};
    int32_t threshold = 0;
    int32_t audioLevel = 0;
    bool diversity = false;
    bool lna = false;
    bool operator==(const Stored&) const = default;
};

Stored storedIn(const sim::VirtualLine& line) {
    const sim::ReceiverSettings& s = line.receiver().settings();
    return {s.channelCode, s.threshold, s.audioLevel, s.diversity, s.lna};
}

// What the user types before STORE: every value differs from the receiver's.
constexpr std::array<const char*, 6> kTypedChannels = {"134.500 MHz", "135.750 MHz", "136.250 MHz",
                                                       "137.500 MHz", "138.250 MHz", "138.750 MHz"};

Stored formValues(const Stored& old, int generation) {
    Stored form = old;
    form.channels = {4500, 5750, 6250, 7500, 8250, 8750};
    form.threshold = 33;
    if (generation >= 2) {
        form.audioLevel = 12;
        form.diversity = !old.diversity;
    }
    if (generation == 3) {
        form.lna = !old.lna;
    }
    return form;
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    const Row& row = info.param;
    std::string name = row.handler == Handler::Load    ? "load_"
                       : row.handler == Handler::Store ? "store_"
                                                       : "tick_";
    for (const char* c = row.fault; *c != '\0'; ++c) {
        name += (*c == ':') ? '_' : *c;
    }
    return name + "_gen" + std::to_string(row.generation);
}

class FaultMatrix : public ::testing::TestWithParam<Row> {};

TEST_P(FaultMatrix, BoundedTimeTheRightMessageAndNoSilentDamage) {
    const Row& row = GetParam();
    sim::ReceiverSettings settings;
    settings.version = versionOf(row.generation);
    sim::VirtualLine line(settings);
    MemoryWindow window;
    Configurator program(window, line, line, line);
    program.startUp();
    const auto choosePort = [&] {
        ASSERT_TRUE(window.choosePortEntry("COM1"));
        program.dispatch(ids::PortList);
    };
    choosePort();
    program.dispatch(ids::LoadButton);
    ASSERT_TRUE(window.messages().empty()) << window.messages().front().second;

    if (row.handler == Handler::Tick) {
        window.setControlState(ids::TraceCheck, 1);
        program.dispatch(ids::TraceCheck);
        ASSERT_TRUE(window.traceTimerRunning());
    }
    const Stored old = storedIn(line);
    const Stored form = formValues(old, row.generation);
    if (row.handler == Handler::Store) {
        for (int n = 1; n <= 6; ++n) {
            window.setControlText(n, kTypedChannels[static_cast<size_t>(n - 1)]);
        }
        window.setControlText(ids::ThresholdField, "33");
        if (row.generation >= 2) {
            window.setControlText(ids::AudioLevelField, "12");
        }
        if (row.generation == 2) {
            window.setControlState(ids::DiversityOrLnaCheck, form.diversity ? 1 : 0);
        }
        if (row.generation == 3) {
            window.setControlState(ids::DiversityOrLnaCheck, form.lna ? 1 : 0);
            window.setControlState(ids::DiversityCheck3, form.diversity ? 1 : 0);
        }
    }

    sim::Fault fault{};
    int32_t parameter = 0;
    ASSERT_TRUE(sim::parseFault(row.fault, fault, parameter));
    line.receiver().settings().fault = fault;
    line.receiver().settings().cutAfter = parameter;
    line.receiver().settings().lateMs = parameter;
    line.receiver().settings().unplugAfter = parameter;

    const int64_t start = line.nowMs();
    switch (row.handler) {
        case Handler::Load:
            program.dispatch(ids::LoadButton);
            break;
        case Handler::Store:
            program.dispatch(ids::StoreButton);
            break;
        case Handler::Tick:
            for (int i = 0; i < 3; ++i) {
                program.onTraceTimer();
            }
            break;
    }
    const int64_t elapsed = line.nowMs() - start;
    const std::vector<std::pair<std::string, std::string>> messages = window.messages();
    const Stored after = storedIn(line);
    const Held held = after == old ? Held::Old : after == form ? Held::Form : Held::Other;

    EXPECT_EQ(elapsed, row.ms);
    EXPECT_LE(elapsed, boundMs(row.handler, row.generation));
    ASSERT_LE(messages.size(), 1U);
    EXPECT_EQ(messages.empty() ? std::string() : messages.front().second, row.message);
    EXPECT_EQ(held, row.held);
    // The invariant: anything but the old values or the form's was reported.
    if (held == Held::Other) {
        EXPECT_FALSE(messages.empty());
    }
    if (row.handler == Handler::Store) {
        EXPECT_EQ(window.statusText(), "ready");
    }

    // Mended: the cable back in, the port chosen again, a LOAD reads the receiver as it is.
    // Replies still on their way (a late receiver's) have drained by then.
    line.receiver().settings().fault = sim::Fault::None;
    line.advanceMs(10'000);
    choosePort();
    const size_t before = window.messages().size();
    program.dispatch(ids::LoadButton);
    EXPECT_EQ(window.messages().size(), before);
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(window.controlText(n),
                  formatChannelText(after.channels[static_cast<size_t>(n - 1)] / 10));
    }
    EXPECT_EQ(window.controlText(ids::ThresholdField), std::to_string(after.threshold));
}

// The cable pulled half-way through a STORE: after 20 of generation 1's 39 characters, 24 of
// generation 2's 48, 25 of generation 3's 50 (a LOAD or a tick sends too few for that, so
// they meet "unplug:1", the cable out right after the first command letter).
// clang-format off
const Row kRows[] = {
    // fault       handler           gen    ms  message     receiver afterwards
    {"none",       Handler::Load,   1,  2100, kNone,      Held::Old},
    {"none",       Handler::Load,   2,  2950, kNone,      Held::Old},
    {"none",       Handler::Load,   3,  1250, kNone,      Held::Old},
    {"none",       Handler::Store,  1, 11450, kNone,      Held::Form},
    {"none",       Handler::Store,  2,  4450, kNone,      Held::Form},
    {"none",       Handler::Store,  3,  2800, kNone,      Held::Form},
    {"none",       Handler::Tick,   1,   600, kNone,      Held::Old},
    {"none",       Handler::Tick,   2,   600, kNone,      Held::Old},
    {"none",       Handler::Tick,   3,   600, kNone,      Held::Old},
    {"silent",     Handler::Load,   1,  2100, kCommError, Held::Old},
    {"silent",     Handler::Load,   2,  2100, kCommError, Held::Old},
    {"silent",     Handler::Load,   3,  2100, kCommError, Held::Old},
    {"silent",     Handler::Store,  1, 11450, kCommError, Held::Form},
    {"silent",     Handler::Store,  2,  4450, kCommError, Held::Form},
    {"silent",     Handler::Store,  3,  2800, kCommError, Held::Form},
    {"silent",     Handler::Tick,   1,   600, kNone,      Held::Old},
    {"silent",     Handler::Tick,   2,   600, kNone,      Held::Old},
    {"silent",     Handler::Tick,   3,   600, kNone,      Held::Old},
    {"noecho",     Handler::Load,   1,  2100, kCommError, Held::Old},
    {"noecho",     Handler::Load,   2,  2100, kCommError, Held::Old},
    {"noecho",     Handler::Load,   3,  2100, kCommError, Held::Old},
    {"noecho",     Handler::Store,  1, 11450, kCommError, Held::Form},
    {"noecho",     Handler::Store,  2,  4450, kCommError, Held::Form},
    {"noecho",     Handler::Store,  3,  2800, kCommError, Held::Form},
    {"noecho",     Handler::Tick,   1,   600, kNone,      Held::Old},
    {"noecho",     Handler::Tick,   2,   600, kNone,      Held::Old},
    {"noecho",     Handler::Tick,   3,   600, kNone,      Held::Old},
    {"noise",      Handler::Load,   1,  2100, kNone,      Held::Old},
    {"noise",      Handler::Load,   2,  2950, kNone,      Held::Old},
    {"noise",      Handler::Load,   3,  1250, kNone,      Held::Old},
    {"noise",      Handler::Store,  1, 11450, kNone,      Held::Form},
    {"noise",      Handler::Store,  2,  4450, kNone,      Held::Form},
    {"noise",      Handler::Store,  3,  2800, kNone,      Held::Form},
    {"noise",      Handler::Tick,   1,   600, kNone,      Held::Old},
    {"noise",      Handler::Tick,   2,   600, kNone,      Held::Old},
    {"noise",      Handler::Tick,   3,   600, kNone,      Held::Old},
    {"cut:10",     Handler::Load,   1,  2100, kCommError, Held::Old},
    {"cut:10",     Handler::Load,   2,  2950, kCommError, Held::Old},
    {"cut:10",     Handler::Load,   3,  1250, kCommError, Held::Old},
    {"cut:10",     Handler::Store,  1, 11450, kCommError, Held::Form},
    {"cut:10",     Handler::Store,  2,  4450, kCommError, Held::Form},
    {"cut:10",     Handler::Store,  3,  2800, kCommError, Held::Form},
    {"cut:10",     Handler::Tick,   1,   600, kNone,      Held::Old},
    {"cut:10",     Handler::Tick,   2,   600, kNone,      Held::Old},
    {"cut:10",     Handler::Tick,   3,   600, kNone,      Held::Old},
    {"cut:45",     Handler::Load,   1,  2100, kCommError, Held::Old},
    {"cut:45",     Handler::Load,   2,  2950, kCommError, Held::Old},
    {"cut:45",     Handler::Load,   3,  1250, kCommError, Held::Old},
    {"cut:45",     Handler::Store,  1, 11450, kCommError, Held::Form},
    {"cut:45",     Handler::Store,  2,  4450, kCommError, Held::Form},
    {"cut:45",     Handler::Store,  3,  2800, kCommError, Held::Form},
    {"cut:45",     Handler::Tick,   1,   600, kNone,      Held::Old},
    {"cut:45",     Handler::Tick,   2,   600, kNone,      Held::Old},
    {"cut:45",     Handler::Tick,   3,   600, kNone,      Held::Old},
    {"cut:60",     Handler::Load,   1,  2100, kCommError, Held::Old},
    {"cut:60",     Handler::Load,   2,  2950, kCommError, Held::Old},
    {"cut:60",     Handler::Load,   3,  1250, kNone,      Held::Old},
    {"cut:60",     Handler::Store,  1, 11450, kCommError, Held::Form},
    {"cut:60",     Handler::Store,  2,  4450, kCommError, Held::Form},
    {"cut:60",     Handler::Store,  3,  2800, kNone,      Held::Form},
    {"cut:60",     Handler::Tick,   1,   600, kNone,      Held::Old},
    {"cut:60",     Handler::Tick,   2,   600, kNone,      Held::Old},
    {"cut:60",     Handler::Tick,   3,   600, kNone,      Held::Old},
    {"cut:110",    Handler::Load,   1,  2100, kNone,      Held::Old},
    {"cut:110",    Handler::Load,   2,  2950, kNone,      Held::Old},
    {"cut:110",    Handler::Load,   3,  1250, kNone,      Held::Old},
    {"cut:110",    Handler::Store,  1, 11450, kNone,      Held::Form},
    {"cut:110",    Handler::Store,  2,  4450, kNone,      Held::Form},
    {"cut:110",    Handler::Store,  3,  2800, kNone,      Held::Form},
    {"cut:110",    Handler::Tick,   1,   600, kNone,      Held::Old},
    {"cut:110",    Handler::Tick,   2,   600, kNone,      Held::Old},
    {"cut:110",    Handler::Tick,   3,   600, kNone,      Held::Old},
    {"late:50",    Handler::Load,   1,  2100, kNone,      Held::Old},
    {"late:50",    Handler::Load,   2,  2950, kNone,      Held::Old},
    {"late:50",    Handler::Load,   3,  1250, kNone,      Held::Old},
    {"late:50",    Handler::Store,  1, 11450, kNone,      Held::Form},
    {"late:50",    Handler::Store,  2,  4450, kNone,      Held::Form},
    {"late:50",    Handler::Store,  3,  2800, kNone,      Held::Form},
    {"late:50",    Handler::Tick,   1,   600, kNone,      Held::Old},
    {"late:50",    Handler::Tick,   2,   600, kNone,      Held::Old},
    {"late:50",    Handler::Tick,   3,   600, kNone,      Held::Old},
    {"late:700",   Handler::Load,   1,  2100, kNone,      Held::Old},
    {"late:700",   Handler::Load,   2,  2100, kNone,      Held::Old},
    {"late:700",   Handler::Load,   3,  2100, kCommError, Held::Old},
    {"late:700",   Handler::Store,  1, 11450, kNone,      Held::Form},
    {"late:700",   Handler::Store,  2,  4450, kCommError, Held::Form},
    {"late:700",   Handler::Store,  3,  2800, kCommError, Held::Form},
    {"late:700",   Handler::Tick,   1,   600, kNone,      Held::Old},
    {"late:700",   Handler::Tick,   2,   600, kNone,      Held::Old},
    {"late:700",   Handler::Tick,   3,   600, kNone,      Held::Old},
    {"late:3000",  Handler::Load,   1,  2100, kCommError, Held::Old},
    {"late:3000",  Handler::Load,   2,  2100, kCommError, Held::Old},
    {"late:3000",  Handler::Load,   3,  2100, kCommError, Held::Old},
    {"late:3000",  Handler::Store,  1, 11450, kCommError, Held::Form},
    {"late:3000",  Handler::Store,  2,  4450, kCommError, Held::Form},
    {"late:3000",  Handler::Store,  3,  2800, kCommError, Held::Form},
    {"late:3000",  Handler::Tick,   1,   600, kNone,      Held::Old},
    {"late:3000",  Handler::Tick,   2,   600, kNone,      Held::Old},
    {"late:3000",  Handler::Tick,   3,   600, kNone,      Held::Old},
    {"unplugged",  Handler::Load,   1,  2100, kCommError, Held::Old},
    {"unplugged",  Handler::Load,   2,  2100, kCommError, Held::Old},
    {"unplugged",  Handler::Load,   3,  2100, kCommError, Held::Old},
    {"unplugged",  Handler::Store,  1, 11450, kCommError, Held::Old},
    {"unplugged",  Handler::Store,  2,  4450, kCommError, Held::Old},
    {"unplugged",  Handler::Store,  3,  2800, kCommError, Held::Old},
    {"unplugged",  Handler::Tick,   1,   600, kNone,      Held::Old},
    {"unplugged",  Handler::Tick,   2,   600, kNone,      Held::Old},
    {"unplugged",  Handler::Tick,   3,   600, kNone,      Held::Old},
    {"unplug:1",   Handler::Load,   1,  2100, kCommError, Held::Old},
    {"unplug:1",   Handler::Load,   2,  2100, kCommError, Held::Old},
    {"unplug:1",   Handler::Load,   3,  2100, kCommError, Held::Old},
    {"unplug:1",   Handler::Store,  1, 11450, kCommError, Held::Old},
    {"unplug:1",   Handler::Store,  2,  4450, kCommError, Held::Old},
    {"unplug:1",   Handler::Store,  3,  2800, kCommError, Held::Old},
    {"unplug:1",   Handler::Tick,   1,   600, kNone,      Held::Old},
    {"unplug:1",   Handler::Tick,   2,   600, kNone,      Held::Old},
    {"unplug:1",   Handler::Tick,   3,   600, kNone,      Held::Old},
    {"unplug:20",  Handler::Store,  1, 11450, kCommError, Held::Other},
    {"unplug:24",  Handler::Store,  2,  4450, kCommError, Held::Other},
    {"unplug:25",  Handler::Store,  3,  2800, kCommError, Held::Other},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::ValuesIn(kRows), rowName);

}  // namespace
}  // namespace tamlo
