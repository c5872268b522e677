// The command-line tool's settings files, TOML and JSON, as a user or another program may
// write them: any bytes at all. Whatever the text, the reader answers with settings or with
// errors, never by throwing or crashing; a file it accepts, written out again, reads back
// as the same settings; and the Latin-1 passage of the receiver's bytes is lossless.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/settings_file.h"

namespace {

bool sameSettings(const tamlo::cli::SettingsFile& a, const tamlo::cli::SettingsFile& b) {
    return a.channels == b.channels && a.threshold == b.threshold && a.audioLevel == b.audioLevel &&
           a.diversity == b.diversity && a.lnaSupply == b.lnaSupply;
}

void roundTrip(const tamlo::cli::FileParse& parse) {
    using namespace tamlo::cli;
    if (!parse.ok()) {
        return;
    }
    const FileParse toml = parseSettingsToml(writeSettingsToml(parse.settings), "again.toml");
    const FileParse json = parseSettingsJson(writeSettingsJson(parse.settings), "again.json");
    if (!toml.ok() || !json.ok() || !sameSettings(toml.settings, parse.settings) ||
        !sameSettings(json.settings, parse.settings)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tamlo::cli;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // Characters the TOML library could mishandle are refused before it sees them.
    roundTrip(parseSettingsToml(text, "fuzz.toml"));
    roundTrip(parseSettingsJson(text, "fuzz.json"));
    if (utf8ToLatin1(latin1ToUtf8(text)) != text) {
        std::abort();
    }
    return 0;
}
