#include "nominal_waits.h"

#include <gtest/gtest.h>

#include "protocol/read_settings.h"
#include "protocol/write_settings.h"

namespace tamlo::bench {
namespace {

struct WaitCase {
    const char* name;
    int generation;
    std::vector<std::string> sends;
    int64_t nominalMs;
    int commands;
    int pacedCharacters;
};

// The nominal sums are written out from the receiver's timing so that a wrong rule in the
// accounting (a collection wait forgotten, the wrong pace for a generation) shows.
TEST(NominalWaitsTest, SumsTheProtocolsWaits) {
    const WaitCase cases[] = {
        {"identify", 3, {"V"}, 200, 1, 0},
        {"hex block", 3, {"X"}, 200 + 650, 1, 0},
        {"text block", 1, {"M"}, 200 + 1500, 1, 0},
        {"generation 1 LOAD", 1, {"V", "M", "R"}, 200 + 1700 + 200, 3, 0},
        {"generation 2 LOAD", 2, {"V", "X", "M", "R"}, 200 + 850 + 1700 + 200, 4, 0},
        {"slow pace", 1, {"C14000"}, 6 * 250, 0, 6},
        {"fast pace, generation 2", 2, {"T45"}, 3 * 25, 0, 3},
        {"fast pace, generation 3", 3, {"L07D0P1"}, 7 * 25, 0, 7},
        {"session frame", 3, {"E", "0", "T45", "E", "1"}, 4 * 200 + 3 * 25, 4, 3},
        {"an empty command still waits", 3, {""}, 200, 1, 0},
    };
    for (const WaitCase& c : cases) {
        NominalWaits waits(c.generation);
        for (const std::string& send : c.sends) {
            waits.onSend(send);
        }
        EXPECT_EQ(waits.totalMs(), c.nominalMs) << c.name;
        EXPECT_EQ(waits.commands(), c.commands) << c.name;
        EXPECT_EQ(waits.pacedCharacters(), c.pacedCharacters) << c.name;
        EXPECT_EQ(waits.sends(), c.sends) << c.name;
    }
}

TEST(NominalWaitsTest, ResetStartsAFreshConversation) {
    NominalWaits waits(1);
    waits.onSend("C14000");
    waits.reset();
    waits.onSend("V");
    EXPECT_EQ(waits.totalMs(), kCommandPauseMs);
    EXPECT_EQ(waits.pacedCharacters(), 0);
    EXPECT_EQ(waits.sends(), std::vector<std::string>{"V"});
}

// Counts pauses without sleeping, to see what the recording clock passes on.
class CountingClock final : public Clock {
  public:
    void pauseMs(int32_t ms) override { asked.push_back(ms); }
    std::vector<int32_t> asked;
};

TEST(RecordingClockTest, PassesEveryPauseOnAndAddsUpOnlyRealOnes) {
    CountingClock inner;
    RecordingClock clock(inner);
    for (const int32_t ms : {200, 25, 0, -5, 650}) {
        clock.pauseMs(ms);
    }
    EXPECT_EQ(inner.asked, (std::vector<int32_t>{200, 25, 0, -5, 650}));
    EXPECT_EQ(clock.requestedMs(), 875);  // no pause is shorter than nothing
    EXPECT_EQ(clock.pauses(), 5);
    clock.reset();
    EXPECT_EQ(clock.requestedMs(), 0);
    EXPECT_EQ(clock.pauses(), 0);
    EXPECT_EQ(clock.sleptNs(), 0);
}

}  // namespace
}  // namespace tamlo::bench
