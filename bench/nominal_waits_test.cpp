#include "nominal_waits.h"

#include <gtest/gtest.h>

#include "protocol/read_settings.h"
#include "protocol/write_settings.h"

namespace tamlo::bench {
namespace {

// The nominal sums are written out from the receiver's timing so that a wrong rule in the
// accounting (a collection wait forgotten, the wrong pace for a generation) shows.
TEST(NominalWaitsTest, SumsTheProtocolsWaits) {
    struct Case {
        const char* name;
        ConversationWaits waits;
        int64_t nominalMs;
        int commands;
        int pacedCharacters;
    };
    StoreRequest form;
    form.channelCodes = {4000, 5250, 6500, 7120, 8000, 8990};
    form.threshold = 45;
    form.audioLevel = 7;
    const Case cases[] = {
        {"generation 1 LOAD", loadWaits(generationTraits(1)), 200 + 1700 + 200, 3, 0},
        {"generation 2 LOAD", loadWaits(generationTraits(2)), 200 + 850 + 1700 + 200, 4, 0},
        {"generation 3 LOAD", loadWaits(generationTraits(3)), 200 + 850 + 200, 3, 0},
        {"generation 1 STORE", storeWaits(150, form), 39 * 250 + 1700, 1, 39},
        {"generation 2 STORE", storeWaits(190, form), 4 * 200 + 44 * 25 + 2550, 6, 44},
        {"generation 3 STORE", storeWaits(205, form), 4 * 200 + 46 * 25 + 850, 5, 46},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.waits.totalMs, c.nominalMs) << c.name;
        EXPECT_EQ(c.waits.commands, c.commands) << c.name;
        EXPECT_EQ(c.waits.pacedCharacters, c.pacedCharacters) << c.name;
    }
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
