// Between a settings file and the receiver: what a read becomes in a file, what a file
// becomes as the request of a STORE, and how the two differ, judged by the one read-back rule.
#pragma once

#include <string>
#include <vector>

#include "files/settings_file.h"
#include "protocol/generation.h"
#include "protocol/read_back.h"
#include "protocol/read_settings.h"
#include "protocol/settings.h"
#include "protocol/write_settings.h"

namespace tamlo::cli {

// The firmware as people say it: the first four characters of the version reply.
std::string firmwareName(const std::string& versionReply);

// What the form would show after a LOAD, as a file: the generation's settings only, a
// generation-3 threshold byte above 127 as the negative value it holds, so that the file
// writes back what the receiver has.
// Only what the read held: a one-byte field beyond the accepted hex block is left out, never
// a default, so a backup of it leaves the receiver's own value when written back.
SettingsFile fileFromSettings(const DeviceSettings& settings, const GenerationTraits& traits,
                              const SettingsRead& read);
// The values of such a file that a write would refuse as they stand (a receiver holding a
// channel out of range), worded as warnings.
std::vector<std::string> unrestorableValues(const SettingsFile& file);

// One setting where the receiver and the file disagree; read is what the receiver holds.
struct Difference {
    std::string field;  // "channel 3", "threshold", "audio level", "diversity", "LNA supply"
    std::string read;   // "136.500", "45", "on"
    std::string asked;
    std::string unit;  // " MHz" for channels, else empty
    // "channel 3: 136.500 -> 136.750 MHz"
    std::string change() const;
    // "channel 3: asked 136.750 MHz, read 136.500 MHz"
    std::string mismatch() const;
};

// Where the receiver, as read, does not hold what the request asks: the read-back rule,
// worded; the fields are the rule's verdict on readBack.
std::vector<Difference> differences(const StoreRequest& request, const GenerationTraits& traits,
                                    const DeviceSettings& readBack,
                                    const std::vector<SettingField>& fields);
std::vector<Difference> differences(const StoreRequest& request, const GenerationTraits& traits,
                                    const DeviceSettings& readBack, const SettingsRead& read);

// The file's keys that this generation has no control for ("audio_level" on generation 1,
// "lna_supply" on generation 2), in file order.
std::vector<std::string> unsupportedKeys(const SettingsFile& file, const GenerationTraits& traits);
// The file's values that this generation could not report back as written (a threshold
// below -128 on generation 3), each worded for the user; nothing is sent to such a receiver.
std::vector<std::string> valuesBeyondGeneration(const SettingsFile& file,
                                                const GenerationTraits& traits);

// What `apply to` would change on a receiver holding what from holds: from's generation
// (else to's) judges the values; a key to has and from lacks is a difference from "not
// set". With a generation from neither file, thresholds are compared whole.
struct FileComparison {
    std::vector<Difference> differences;
    std::vector<std::string> warnings;     // keys the generation has no control for
    std::vector<std::string> notCompared;  // those keys
};
FileComparison compareFiles(const SettingsFile& from, const SettingsFile& to);

// The request of a STORE for this generation: the file's values, and where the file is
// silent the receiver's current ones (as a LOAD shows them). Without current, a key the
// generation needs and the file lacks is named in missing.
struct StoreInput {
    StoreRequest request;
    std::vector<std::string> missing;
};
StoreInput storeInputFor(const SettingsFile& file, const GenerationTraits& traits,
                         const DeviceSettings* current);

}  // namespace tamlo::cli
