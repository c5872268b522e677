#include "cli/receiver_values.h"

#include <gtest/gtest.h>

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

TEST(ReceiverValues, ReadBecomesTheGenerationsKeys) {
    const DeviceSettings s = readBack();
    const SettingsFile g3 = fileFromSettings(s, 3);
    EXPECT_EQ(g3.channels[3], "137.120");
    EXPECT_EQ(g3.threshold, 45);
    EXPECT_EQ(g3.audioLevel, 7);
    EXPECT_EQ(g3.diversity, false);
    EXPECT_EQ(g3.lnaSupply, true);
    const SettingsFile g2 = fileFromSettings(s, 2);
    EXPECT_TRUE(g2.audioLevel.has_value());
    EXPECT_FALSE(g2.lnaSupply.has_value());
    const SettingsFile g1 = fileFromSettings(s, 1);
    EXPECT_FALSE(g1.audioLevel.has_value());
    EXPECT_FALSE(g1.diversity.has_value());
    EXPECT_EQ(g1.settingCount(), 7);
}

TEST(ReceiverValues, AFileReadFromTheReceiverDiffersInNothing) {
    for (int generation = 1; generation <= 3; ++generation) {
        EXPECT_TRUE(
            differences(fileFromSettings(readBack(), generation), generation, readBack()).empty());
    }
}

TEST(ReceiverValues, DifferencesAreWordedForPeople) {
    SettingsFile file;
    file.channels[2] = "136.75";
    file.channels[3] = "137.125";  // reported in 10 kHz steps: reads back as 137.120
    file.threshold = 50;
    file.audioLevel = 9;
    file.diversity = true;
    file.lnaSupply = false;
    std::vector<std::string> changes;
    std::vector<std::string> mismatches;
    for (const Difference& d : differences(file, 3, readBack())) {
        changes.push_back(d.change());
        mismatches.push_back(d.mismatch());
    }
    EXPECT_EQ(changes, (std::vector<std::string>{"channel 3: 136.500 -> 136.750 MHz",
                                                 "threshold: 45 -> 50", "audio level: 7 -> 9",
                                                 "diversity: off -> on", "LNA supply: on -> off"}));
    EXPECT_EQ(mismatches.front(), "channel 3: asked 136.750 MHz, read 136.500 MHz");
    // A generation without the controls is not compared on them.
    EXPECT_EQ(differences(file, 1, readBack()).size(), 2u);
}

TEST(ReceiverValues, KeysWithoutAControlByGeneration) {
    SettingsFile file = fileFromSettings(readBack(), 3);
    EXPECT_EQ(unsupportedKeys(file, 1),
              (std::vector<std::string>{"audio_level", "diversity", "lna_supply"}));
    EXPECT_EQ(unsupportedKeys(file, 2), (std::vector<std::string>{"lna_supply"}));
    EXPECT_TRUE(unsupportedKeys(file, 3).empty());
}

TEST(ReceiverValues, StorePlanTakesTheFileThenTheReceiver) {
    SettingsFile file;
    file.channels[0] = "138.500";
    file.diversity = true;
    const DeviceSettings current = readBack();
    const StorePlan apply = planStore(file, 3, &current);
    EXPECT_TRUE(apply.missing.empty());
    EXPECT_EQ(apply.values.channels[0], "138.500");
    EXPECT_EQ(apply.values.channels[1], "135.250 MHz");  // as the form shows it after LOAD
    EXPECT_EQ(apply.values.threshold, "45");
    EXPECT_EQ(apply.values.audioLevel, "7");
    EXPECT_EQ(apply.values.diversity, 1);
    EXPECT_EQ(apply.values.lnaSupply, 1);
    EXPECT_FALSE(planStore(file, 1, &current).values.audioLevel.has_value());

    const StorePlan write = planStore(file, 3, nullptr);
    EXPECT_EQ(write.missing,
              (std::vector<std::string>{"channel2", "channel3", "channel4", "channel5", "channel6",
                                        "threshold", "audio_level", "lna_supply"}));
}

TEST(ReceiverValues, StoreTakesItsPausesAndNoMore) {
    // The window's STORE of the same form: 46 paced characters and the two pairs in
    // generation 3, 44 in generation 2, 39 at 250 ms in generation 1.
    const DeviceSettings current = readBack();
    const StoreValues values = planStore(fileFromSettings(current, 3), 3, &current).values;
    EXPECT_EQ(storeNominalMs(3, values), 800 + 46 * 25);
    EXPECT_EQ(storeNominalMs(2, values), 800 + 44 * 25);
    EXPECT_EQ(storeNominalMs(1, values), 39 * 250);
}

}  // namespace
}  // namespace tamlo::cli
