// The settings files, TOML and JSON, as a user or another program may write them: any bytes
// at all. Whatever the text, the reader answers with settings or with errors, never by
// throwing or crashing; a file it accepts, written out again, reads back as the same
// settings; and the Latin-1 passage of the receiver's bytes is lossless.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "files/settings_file.h"
#include "text/latin1.h"

namespace {

void roundTrip(const tamlo::FileParse& parse) {
    using namespace tamlo;
    if (!parse.ok()) {
        return;
    }
    const FileParse toml = parseSettingsToml(writeSettingsToml(parse.settings), "again.toml");
    const FileParse json = parseSettingsJson(writeSettingsJson(parse.settings), "again.json");
    if (!toml.ok() || !json.ok() || !toml.settings.sameSettings(parse.settings) ||
        !json.settings.sameSettings(parse.settings)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tamlo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // Characters the TOML library could mishandle are refused before it sees them.
    roundTrip(parseSettingsToml(text, "fuzz.toml"));
    roundTrip(parseSettingsJson(text, "fuzz.json"));
    if (utf8ToLatin1(latin1ToUtf8(text)) != text) {
        std::abort();
    }
    return 0;
}
