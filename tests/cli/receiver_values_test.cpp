#include "cli/receiver_values.h"

#include <gtest/gtest.h>

#include <climits>

namespace tamlo::cli {
namespace {

DeviceSettings readBack() {
    DeviceSettings s;
    s[firmwareCode] = 205;
    const int32_t channels[6] = {400, 525, 650, 712, 800, 899};
    for (int n = 1; n <= 6; ++n) {
        s.channel(n) = channels[n - 1];
    }
    s[threshold] = 45;
    s[audioLevel] = 7;
    s[diversity] = 0;
    s[lnaSupply] = 64;
    return s;
}

const GenerationTraits& g(int generation) {
    return generationTraits(generation);
}

// What a read of generation 3 accepted: the whole hex block.
SettingsRead wholeRead() {
    SettingsRead read;
    read.hex = BlockReply{BlockOutcome::Accepted, 55};
    read.text = BlockReply{BlockOutcome::Accepted, 120};
    return read;
}

TEST(ReceiverValues, ReadBecomesTheGenerationsKeys) {
    DeviceSettings s = readBack();
    const SettingsFile g3 = fileFromSettings(s, g(3), wholeRead());
    EXPECT_EQ(g3.channelCodes[3], 7120);
    EXPECT_EQ(g3.threshold, 45);
    EXPECT_EQ(g3.audioLevel, 7);
    EXPECT_EQ(g3.diversity, false);
    EXPECT_EQ(g3.lnaSupply, true);
    const SettingsFile g2 = fileFromSettings(s, g(2), wholeRead());
    EXPECT_TRUE(g2.audioLevel.has_value());
    EXPECT_FALSE(g2.lnaSupply.has_value());
    const SettingsFile g1 = fileFromSettings(s, g(1), SettingsRead{});
    EXPECT_FALSE(g1.audioLevel.has_value());
    EXPECT_FALSE(g1.diversity.has_value());
    EXPECT_EQ(g1.settingCount(), 7);
    // A hex block of 50 to 52 characters is accepted but holds no LNA byte: no value is
    // made up for it.
    SettingsRead cut = wholeRead();
    cut.hex->length = 51;
    EXPECT_FALSE(fileFromSettings(s, g(3), cut).lnaSupply.has_value());
    EXPECT_EQ(fileFromSettings(s, g(3), cut).diversity, false);
    // A generation-3 threshold byte above 127 is the negative value it holds, so the backup
    // writes back what the receiver has; a receiver out of range is warned of at once.
    s[threshold] = 251;
    s.channel(2) = 950;
    const SettingsFile odd = fileFromSettings(s, g(3), wholeRead());
    EXPECT_EQ(odd.threshold, -5);
    EXPECT_EQ(unrestorableValues(odd),
              (std::vector<std::string>{"channel 2 reads 139.500 MHz, outside 134.000 to 138.990 "
                                        "MHz: a write of this backup would be refused"}));
    EXPECT_EQ(fileFromSettings(s, g(1), SettingsRead{}).threshold, 251);
}

// The request of a file alone, as `tamlo write` sends it.
StoreRequest requestOf(const SettingsFile& file, const GenerationTraits& traits) {
    return storeInputFor(file, traits, nullptr).request;
}

TEST(ReceiverValues, AFileReadFromTheReceiverDiffersInNothing) {
    for (int generation = 1; generation <= 3; ++generation) {
        const SettingsFile file = fileFromSettings(readBack(), g(generation), wholeRead());
        EXPECT_TRUE(
            differences(requestOf(file, g(generation)), g(generation), readBack(), wholeRead())
                .empty());
        // Nor does the receiver with nothing from a file: apply's request of an empty file.
        const DeviceSettings current = readBack();
        EXPECT_TRUE(differences(storeInputFor({}, g(generation), &current).request, g(generation),
                                readBack(), wholeRead())
                        .empty());
    }
}

TEST(ReceiverValues, DifferencesAreWordedForPeople) {
    SettingsFile file;
    file.channelCodes[2] = 6750;
    file.channelCodes[3] = 7125;  // reported in 10 kHz steps: reads back as 137.120
    file.threshold = 50;
    file.audioLevel = 9;
    file.diversity = true;
    file.lnaSupply = false;
    std::vector<std::string> changes;
    std::vector<std::string> mismatches;
    const DeviceSettings current = readBack();
    for (const Difference& d :
         differences(storeInputFor(file, g(3), &current).request, g(3), readBack(), wholeRead())) {
        changes.push_back(d.change());
        mismatches.push_back(d.mismatch());
    }
    EXPECT_EQ(changes, (std::vector<std::string>{"channel 3: 136.500 -> 136.750 MHz",
                                                 "threshold: 45 -> 50", "audio level: 7 -> 9",
                                                 "diversity: off -> on", "LNA supply: on -> off"}));
    EXPECT_EQ(mismatches.front(), "channel 3: asked 136.750 MHz, read 136.500 MHz");
    // A generation without the controls is not compared on them.
    EXPECT_EQ(
        differences(storeInputFor(file, g(1), &current).request, g(1), readBack(), wholeRead())
            .size(),
        2u);
}

TEST(ReceiverValues, KeysWithoutAControlByGeneration) {
    SettingsFile file = fileFromSettings(readBack(), g(3), wholeRead());
    EXPECT_EQ(unsupportedKeys(file, g(1)),
              (std::vector<std::string>{"audio_level", "diversity", "lna_supply"}));
    EXPECT_EQ(unsupportedKeys(file, g(2)), (std::vector<std::string>{"lna_supply"}));
    EXPECT_TRUE(unsupportedKeys(file, g(3)).empty());
    // A threshold that generation 3 cannot report back as written.
    file.threshold = -200;
    EXPECT_EQ(valuesBeyondGeneration(file, g(3)).size(), 1u);
    EXPECT_TRUE(valuesBeyondGeneration(file, g(1)).empty());
}

TEST(ReceiverValues, StoreRequestTakesTheFileThenTheReceiver) {
    SettingsFile file;
    file.channelCodes[0] = 8500;
    file.diversity = true;
    DeviceSettings current = readBack();
    const StoreInput apply = storeInputFor(file, g(3), &current);
    EXPECT_TRUE(apply.missing.empty());
    const StoreRequest& r = apply.request;
    EXPECT_EQ(r.channelCodes,
              (std::array<std::optional<int32_t>, 6>{8500, 5250, 6500, 7120, 8000, 8990}));
    EXPECT_EQ(r.threshold, 45);
    EXPECT_EQ(r.audioLevel, 7);
    EXPECT_TRUE(r.diversity);
    EXPECT_TRUE(r.lnaSupply);
    EXPECT_FALSE(storeInputFor(file, g(1), &current).request.audioLevel.has_value());
    current[threshold] = 251;  // -5, as generation 3 reports it
    EXPECT_EQ(storeInputFor(file, g(3), &current).request.threshold, -5);
    // A receiver's channel out of range stays out of range, however far: the STORE refuses it.
    current.channel(2) = 429497230;  // ten times it wraps to 5004
    EXPECT_EQ(storeInputFor(file, g(3), &current).request.channelCodes[1], INT32_MAX);

    const StoreInput write = storeInputFor(file, g(3), nullptr);
    EXPECT_EQ(write.missing,
              (std::vector<std::string>{"channel2", "channel3", "channel4", "channel5", "channel6",
                                        "threshold", "audio_level", "lna_supply"}));
}

}  // namespace
}  // namespace tamlo::cli
