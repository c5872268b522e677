// The comparison after a STORE's read-back: what counts as the receiver holding what was
// sent.
#include <gtest/gtest.h>

#include "app/form.h"

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

// The receiver as read back when it stored everything; channels at the form's 10 kHz.
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

TEST(ReadBackMatches, ComparesWhatWasSentAtTheFormsResolution) {
    struct Case {
        const char* what;
        int32_t firmwareCode;
        void (*edit)(StoreValues&, DeviceSettings&);
        bool matches;
    };
    const Case cases[] = {
        {"everything as sent", 205, [](StoreValues&, DeviceSettings&) {}, true},
        {"a channel 10 kHz off", 205, [](StoreValues&, DeviceSettings& r) { r.channel(4) = 713; },
         false},
        {"the threshold differs", 205, [](StoreValues&, DeviceSettings& r) { r[threshold] = 44; },
         false},
        {"the audio level differs", 205, [](StoreValues&, DeviceSettings& r) { r[audioLevel] = 8; },
         false},
        {"diversity reported as 5 is on", 205,
         [](StoreValues&, DeviceSettings& r) { r[diversity] = 5; }, true},
        {"diversity off", 205, [](StoreValues&, DeviceSettings& r) { r[diversity] = 0; }, false},
        {"an LNA level of 40 is off", 205,
         [](StoreValues&, DeviceSettings& r) { r[lnaSupply] = 40; }, false},
        {"generation 2 sends no LNA supply", 190,
         [](StoreValues&, DeviceSettings& r) { r[lnaSupply] = 0; }, true},
        {"no audio command: the audio settings are not compared", 205,
         [](StoreValues& v, DeviceSettings& r) {
             v.audioLevel.reset();
             r[audioLevel] = 30;
             r[diversity] = 0;
         },
         true},
        {"generation 1 sends channels and threshold only", 150,
         [](StoreValues&, DeviceSettings& r) { r[audioLevel] = 30; }, true},
    };
    for (const Case& c : cases) {
        StoreValues sent = sentForm();
        DeviceSettings readBack = readBackOf(c.firmwareCode);
        c.edit(sent, readBack);
        EXPECT_EQ(readBackMatches(sent, readBack), c.matches) << c.what;
    }
}

}  // namespace
}  // namespace tamlo
