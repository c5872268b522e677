// Between a settings file and the receiver: what a read becomes in a file, what a file
// becomes as the values of a STORE, and how the two differ.
#pragma once

#include <string>
#include <vector>

#include "cli/settings_file.h"
#include "protocol/settings.h"
#include "protocol/write_settings.h"

namespace tamlo::cli {

// The firmware as people say it: the first four characters of the version reply.
std::string firmwareName(const std::string& versionReply);

// What the form would show after a LOAD, as a file: the generation's settings only.
SettingsFile fileFromSettings(const DeviceSettings& settings, int generation);

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

// The file's keys that this generation has controls for, compared with what was read at
// the receiver's own resolution (channels in 10 kHz steps, as it reports them).
std::vector<Difference> differences(const SettingsFile& file, int generation,
                                    const DeviceSettings& read);

// The file's keys that this generation has no control for ("audio_level" on generation 1,
// "lna_supply" on generation 2), in file order.
std::vector<std::string> unsupportedKeys(const SettingsFile& file, int generation);

// The values of a STORE for this generation: the file's, and where the file is silent the
// receiver's current ones (as the form shows them after a LOAD). Without current, a key
// the generation needs and the file lacks is named in missing.
struct StorePlan {
    StoreValues values;
    std::vector<std::string> missing;
};
StorePlan planStore(const SettingsFile& file, int generation, const DeviceSettings* current);

// How long a STORE of these values takes, from the protocol's pauses alone.
int32_t storeNominalMs(int generation, const StoreValues& values);

}  // namespace tamlo::cli
