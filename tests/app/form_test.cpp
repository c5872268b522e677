// The form's texts as STORE reads them, and the read-back rule that the window's STORE
// check, `tamlo write`'s verification and `apply`'s comparison share: what counts as the
// receiver holding what was sent.
#include <gtest/gtest.h>

#include "app/form.h"
#include "protocol/read_back.h"

namespace tamlo {
namespace {

FormFields exampleFields() {
    FormFields f;
    f.channels = {"134.000 MHz", "135.250 MHz", "136.505 MHz", "137.125", "138", "138.990 MHz"};
    f.threshold = "45x";
    f.audioLevel = "7";
    f.diversity = 1;
    f.lnaSupply = 1;
    return f;
}

// The transmissions a request makes, one word each.
std::string sentTexts(const GenerationTraits& traits, const StoreRequest& request) {
    std::string texts;
    for (const StoreStep& step : planStore(traits, request).steps) {
        texts += (texts.empty() ? "" : " ") + step.text;
    }
    return texts;
}

TEST(FormStore, ReadsTheFieldsLenientlyAndSendsWhatPassesBeforeTheFirstFailure) {
    using F = StoreFailure;
    constexpr Outcome level = Outcome::InvalidAudioLevel;
    constexpr Outcome frequency = Outcome::InvalidFrequency;
    constexpr Outcome thresh = Outcome::InvalidThreshold;
    struct Case {
        const char* what;
        void (*edit)(FormFields&);
        std::vector<StoreFailure> failures;
        const char* sent;
    };
    const char* const all = "E 0 L07D1P1 C14000 C25250 C36505 C47125 C58000 C68990 T45 E 1";
    const char* const noThreshold = "E 0 L07D1P1 C14000 C25250 C36505 C47125 C58000 C68990 E 1";
    const char* const noChannel = "E 0 T45 E 1";
    const Case cases[] = {
        {"the whole form", [](FormFields&) {}, {}, all},
        {"a level out of range: no channel goes, the threshold does",
         [](FormFields& f) { f.audioLevel = "32"; },
         {F{level}},
         noChannel},
        {"a level that wraps into range is refused, not sent as L12",
         [](FormFields& f) { f.audioLevel = "4294967308"; },
         {F{level}},
         noChannel},
        {"an empty level is no zero",
         [](FormFields& f) { f.audioLevel = ""; },
         {F{level}},
         noChannel},
        {"a blank, 7 and a letter is 7; the switches go as 0 or 1",
         [](FormFields& f) { f.audioLevel = " 7x", f.diversity = 5, f.lnaSupply = 0; },
         {},
         "E 0 L07D1P0 C14000 C25250 C36505 C47125 C58000 C68990 T45 E 1"},
        {"no audio field: no L, D or P",
         [](FormFields& f) { f.audioLevel.reset(); },
         {},
         "E 0 C14000 C25250 C36505 C47125 C58000 C68990 T45 E 1"},
        {"channel 3 refused: the later channels are checked, not sent; the last failure wins",
         [](FormFields& f) {
             f.channels[2] = "133.999", f.channels[4] = " 134", f.threshold = "100";
         },
         {F{frequency, 3}, F{frequency, 5}, F{thresh}},
         "E 0 L07D1P1 C14000 C25250 E 1"},
        {"a text beginning with 14 fails though its code is in range",
         [](FormFields& f) { f.channels[0] = "146.000"; },
         {F{frequency, 1}},
         "E 0 L07D1P1 T45 E 1"},
        {"six characters from the third: 1345 is 45000, and an empty field fails",
         [](FormFields& f) { f.channels[4] = "1345", f.channels[5] = ""; },
         {F{frequency, 5}, F{frequency, 6}},
         "E 0 L07D1P1 C14000 C25250 C36505 C47125 T45 E 1"},
        {"135.1 is 5100, 135,25 is 5000 (the comma ends it), 138.991 is out",
         [](FormFields& f) {
             f.channels[0] = "135.1", f.channels[1] = "135,25", f.channels[2] = "138.991";
         },
         {F{frequency, 3}},
         "E 0 L07D1P1 C15100 C25000 T45 E 1"},
        {"a threshold that wraps into range is refused, not sent as T50",
         [](FormFields& f) { f.threshold = "4294967346"; },
         {F{thresh}},
         noThreshold},
        {"a threshold that fits keeps its reading: -5 goes",
         [](FormFields& f) { f.threshold = "-5x"; },
         {},
         "E 0 L07D1P1 C14000 C25250 C36505 C47125 C58000 C68990 T-5 E 1"},
        {"an empty threshold is no number",
         [](FormFields& f) { f.threshold = ""; },
         {F{thresh}},
         noThreshold},
    };
    const GenerationTraits& traits = generationTraits(3);
    for (const Case& c : cases) {
        FormFields fields = exampleFields();
        c.edit(fields);
        const FormStore store = storeOfFields(traits, fields);
        EXPECT_EQ(store.result.failures, c.failures) << c.what;
        // What failed is left out of the request, which the receiver then takes whole.
        EXPECT_EQ(sentTexts(traits, store.request), c.sent) << c.what;
    }
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
        void (*edit)(StoreRequest&, DeviceSettings&);
        std::vector<SettingField> differing;
    };
    using F = SettingField;
    const Case cases[] = {
        {"everything as sent", 205, 55, [](StoreRequest&, DeviceSettings&) {}, {}},
        {"a receiver that rounds 137.125 up",
         205,
         55,
         [](StoreRequest&, DeviceSettings& r) { r.channel(4) = 713; },
         {}},
        {"a channel 20 kHz off",
         205,
         55,
         [](StoreRequest&, DeviceSettings& r) { r.channel(4) = 714; },
         {F::Channel4}},
        {"a channel on a step reads back as itself only",
         205,
         55,
         [](StoreRequest&, DeviceSettings& r) { r.channel(1) = 401; },
         {F::Channel1}},
        {"the threshold differs",
         205,
         55,
         [](StoreRequest&, DeviceSettings& r) { r[threshold] = 44; },
         {F::Threshold}},
        {"generation 3: -5 is reported as the byte 251",
         205,
         55,
         [](StoreRequest& v, DeviceSettings& r) {
             v.threshold = -5;
             r[threshold] = 251;
         },
         {}},
        {"generation 3: -5 reported as -5 is not its byte",
         205,
         55,
         [](StoreRequest& v, DeviceSettings& r) {
             v.threshold = -5;
             r[threshold] = -5;
         },
         {F::Threshold}},
        {"generation 1: six characters of -100000",
         150,
         0,
         [](StoreRequest& v, DeviceSettings& r) {
             v.threshold = -100000;
             r[threshold] = -10000;
         },
         {}},
        {"generation 2: the text block's threshold",
         190,
         55,
         [](StoreRequest& v, DeviceSettings& r) {
             v.threshold = -123456;
             r[threshold] = -12345;
         },
         {}},
        {"the audio level differs",
         205,
         55,
         [](StoreRequest&, DeviceSettings& r) { r[audioLevel] = 8; },
         {F::AudioLevel}},
        {"diversity reported as 5 is on",
         205,
         55,
         [](StoreRequest&, DeviceSettings& r) { r[diversity] = 5; },
         {}},
        {"diversity off",
         205,
         55,
         [](StoreRequest&, DeviceSettings& r) { r[diversity] = 0; },
         {F::Diversity}},
        {"an LNA level of 40 is off",
         205,
         55,
         [](StoreRequest&, DeviceSettings& r) { r[lnaSupply] = 40; },
         {F::LnaSupply}},
        {"a block of 52 characters does not reach the LNA byte",
         205,
         52,
         [](StoreRequest&, DeviceSettings& r) { r[lnaSupply] = 6; },
         {}},
        {"a block of 53 characters does",
         205,
         53,
         [](StoreRequest&, DeviceSettings& r) { r[lnaSupply] = 6; },
         {F::LnaSupply}},
        {"generation 2 sends no LNA supply",
         190,
         55,
         [](StoreRequest&, DeviceSettings& r) { r[lnaSupply] = 0; },
         {}},
        {"no audio command: the audio settings are not compared",
         205,
         55,
         [](StoreRequest& v, DeviceSettings& r) {
             v.audioLevel.reset();
             r[audioLevel] = 30;
             r[diversity] = 0;
         },
         {}},
        {"generation 1 sends channels and threshold only",
         150,
         0,
         [](StoreRequest&, DeviceSettings& r) { r[audioLevel] = 30; },
         {}},
    };
    for (const Case& c : cases) {
        StoreRequest sent = storeOfFields(generationTraits(3), exampleFields()).request;
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
