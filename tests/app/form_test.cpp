// The read-back rule that the window's STORE check, `tamlo write`'s verification and
// `apply`'s comparison share: what counts as the receiver holding what was sent.
#include <gtest/gtest.h>

#include "protocol/read_back.h"

namespace tamlo {
namespace {

StoreValues sentForm() {
    StoreValues v;
    v.channels = {"134.000 MHz", "135.250 MHz", "136.505 MHz", "137.125", "138", "138.990 MHz"};
    v.threshold = "45x";
    v.audioLevel = "7";
    v.diversity = 1;
    v.lnaSupply = 1;
    return v;
}

// The receiver as read back when it stored everything, truncating the odd 5 kHz.
DeviceSettings readBackOf(int32_t code) {
    DeviceSettings s;
    s[firmwareCode] = code;
    const int32_t channels[] = {400, 525, 650, 712, 800, 899};
    for (int n = 1; n <= 6; ++n) {
        s.channel(n) = channels[n - 1];
    }
    s[threshold] = 45;
    s[audioLevel] = 7;
    s[diversity] = 1;
    s[lnaSupply] = 64;
    return s;
}

TEST(ReadBackRule, ComparesWhatWasSentAsTheGenerationReportsIt) {
    struct Case {
        const char* what;
        int32_t firmwareCode;
        int64_t hexLength;  // of the accepted hex block
        void (*edit)(StoreValues&, DeviceSettings&);
        std::vector<SettingField> differing;
    };
    using F = SettingField;
    const Case cases[] = {
        {"everything as sent", 205, 55, [](StoreValues&, DeviceSettings&) {}, {}},
        {"a receiver that rounds 137.125 up",
         205,
         55,
         [](StoreValues&, DeviceSettings& r) { r.channel(4) = 713; },
         {}},
        {"a channel 20 kHz off",
         205,
         55,
         [](StoreValues&, DeviceSettings& r) { r.channel(4) = 714; },
         {F::Channel4}},
        {"a channel on a step reads back as itself only",
         205,
         55,
         [](StoreValues&, DeviceSettings& r) { r.channel(1) = 401; },
         {F::Channel1}},
        {"the threshold differs",
         205,
         55,
         [](StoreValues&, DeviceSettings& r) { r[threshold] = 44; },
         {F::Threshold}},
        {"generation 3: -5 is reported as the byte 251",
         205,
         55,
         [](StoreValues& v, DeviceSettings& r) {
             v.threshold = "-5";
             r[threshold] = 251;
         },
         {}},
        {"generation 3: -5 reported as -5 is not its byte",
         205,
         55,
         [](StoreValues& v, DeviceSettings& r) {
             v.threshold = "-5";
             r[threshold] = -5;
         },
         {F::Threshold}},
        {"generation 1: six characters of -100000",
         150,
         0,
         [](StoreValues& v, DeviceSettings& r) {
             v.threshold = "-100000";
             r[threshold] = -10000;
         },
         {}},
        {"generation 2: the text block's threshold",
         190,
         55,
         [](StoreValues& v, DeviceSettings& r) {
             v.threshold = "-123456";
             r[threshold] = -12345;
         },
         {}},
        {"the audio level differs",
         205,
         55,
         [](StoreValues&, DeviceSettings& r) { r[audioLevel] = 8; },
         {F::AudioLevel}},
        {"diversity reported as 5 is on",
         205,
         55,
         [](StoreValues&, DeviceSettings& r) { r[diversity] = 5; },
         {}},
        {"diversity off",
         205,
         55,
         [](StoreValues&, DeviceSettings& r) { r[diversity] = 0; },
         {F::Diversity}},
        {"an LNA level of 40 is off",
         205,
         55,
         [](StoreValues&, DeviceSettings& r) { r[lnaSupply] = 40; },
         {F::LnaSupply}},
        {"a block of 52 characters does not reach the LNA byte",
         205,
         52,
         [](StoreValues&, DeviceSettings& r) { r[lnaSupply] = 6; },
         {}},
        {"a block of 53 characters does",
         205,
         53,
         [](StoreValues&, DeviceSettings& r) { r[lnaSupply] = 6; },
         {F::LnaSupply}},
        {"generation 2 sends no LNA supply",
         190,
         55,
         [](StoreValues&, DeviceSettings& r) { r[lnaSupply] = 0; },
         {}},
        {"no audio command: the audio settings are not compared",
         205,
         55,
         [](StoreValues& v, DeviceSettings& r) {
             v.audioLevel.reset();
             r[audioLevel] = 30;
             r[diversity] = 0;
         },
         {}},
        {"generation 1 sends channels and threshold only",
         150,
         0,
         [](StoreValues&, DeviceSettings& r) { r[audioLevel] = 30; },
         {}},
    };
    for (const Case& c : cases) {
        StoreValues sent = sentForm();
        DeviceSettings readBack = readBackOf(c.firmwareCode);
        c.edit(sent, readBack);
        const GenerationTraits& traits = firmwareTraits(c.firmwareCode);
        SettingsRead read;
        if (traits.hexBlock) {
            read.hex = BlockReply{BlockOutcome::Accepted, c.hexLength};
        }
        if (traits.textBlock) {
            read.text = BlockReply{BlockOutcome::Accepted, 120};
        }
        EXPECT_EQ(readBackDifferences(traits, sentByStore(traits, sent), readBack, read),
                  c.differing)
            << c.what;
    }
    // A generation-3 byte above 127 stands for the negative threshold it holds.
    EXPECT_EQ(thresholdAsWritten(generationTraits(3), 251), -5);
    EXPECT_EQ(thresholdAsWritten(generationTraits(3), 99), 99);
    EXPECT_EQ(thresholdAsWritten(generationTraits(1), 251), 251);
}

}  // namespace
}  // namespace tamlo
