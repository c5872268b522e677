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

// Debian's toml++ 3.3.0 asks whether a non-ASCII character is whitespace with a table that
// reaches __builtin_unreachable for most of them (from U+00A1 on, whenever the parser is
// skipping whitespace: the start of the file, after a line-ending backslash ...). Fixed
// upstream (marzer/tomlplusplus issues 190 and 295); until the library here has the fix,
// texts holding such a character are not given to the TOML reader, so that the fuzzer
// looks for other faults. The rule below is the library's own.
bool reachesTomlWhitespaceDefault(char32_t c) {
    if (c < U'\xA0' || c > U'\uFEFF') {
        return false;
    }
    const uint64_t child = (static_cast<uint64_t>(c) - 0xA0u) / 0x3FAu;
    if (((uint64_t{1} << child) & 0x7FFFFFFFFFFFF75Eu) != 0) {
        return false;
    }
    if (c == U'\xA0' || c == U'\u3000' || c == U'\uFEFF') {
        return false;
    }
    return child != 5 && child != 7;
}

// Decodes leniently (any lead byte with whatever follows): a character the library might
// see is counted even where the library would refuse the sequence.
bool holdsTomlWhitespaceBug(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80    ? 1
                        : lead >= 0xF0 ? 4
                        : lead >= 0xE0 ? 3
                        : lead >= 0xC0 ? 2
                                       : 1;
        char32_t c = length == 1 ? lead : lead & (0x7Fu >> length);
        for (size_t k = 1; k < length && i + k < text.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        }
        if (reachesTomlWhitespaceDefault(c)) {
            return true;
        }
        i += length;
    }
    return false;
}

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
    if (!holdsTomlWhitespaceBug(text)) {
        roundTrip(parseSettingsToml(text, "fuzz.toml"));
    }
    roundTrip(parseSettingsJson(text, "fuzz.json"));
    if (utf8ToLatin1(latin1ToUtf8(text)) != text) {
        std::abort();
    }
    return 0;
}
