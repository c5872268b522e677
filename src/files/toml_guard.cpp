#include "files/toml_guard.h"

namespace tamlo {

namespace {

// The library's own rule for which characters reach its unreachable default: characters
// U+00A0 to U+FEFF, grouped in blocks of 0x3FA, outside the blocks its table handles, and
// not one of the three it names.
bool reachesWhitespaceDefault(char32_t c) {
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

}  // namespace

std::optional<UnsafeCharacter> firstUnsafeTomlCharacter(std::string_view text) {
    int64_t line = 1;
    int64_t column = 1;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80    ? 1
                              : lead >= 0xF0 ? 4
                              : lead >= 0xE0 ? 3
                              : lead >= 0xC0 ? 2
                                             : 1;
        char32_t c = length == 1 ? lead : lead & (0x7Fu >> length);
        for (size_t k = 1; k < length && i + k < text.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        }
        if (reachesWhitespaceDefault(c)) {
            return UnsafeCharacter{line, column, c};
        }
        if (lead == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
        i += length;
    }
    return std::nullopt;
}

}  // namespace tamlo
