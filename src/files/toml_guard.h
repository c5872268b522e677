// A guard before the TOML library. The toml++ of Debian 12 (3.3.0) asks whether a non-ASCII
// character is white space with a table that runs into undefined behaviour for most
// characters from U+00A1 on (all of Latin-1, Greek and Cyrillic among them), wherever its
// parser skips or records white space, a string's content after a line-ending backslash
// included. So the library never sees such a character: each is replaced by a stand-in of
// its own in the private-use area before parsing, and given back in the keys and strings it
// returns. A file that holds one of the stand-ins itself is refused, so that the exchange is
// exact; so is a non-ASCII character outside strings and comments, with a clearer message
// than the library would give.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tamlo {

struct UnsafeCharacter {
    int64_t line = 0;    // from 1
    int64_t column = 0;  // from 1, in characters
    char32_t codePoint = 0;
    bool standIn = false;  // one of the private-use characters kept for stand-ins
};

// The first character refused before the library reads the text, if any.
std::optional<UnsafeCharacter> firstUnsafeTomlCharacter(std::string_view text);

// text with every character the library mishandles replaced by its stand-in.
std::string shieldTomlText(std::string_view text);
// The characters back from their stand-ins: for keys, strings and messages.
std::string unshieldTomlText(std::string_view text);
// A message of the library's: its characters, and its \uXXXX, given back.
std::string unshieldTomlMessage(std::string_view message);

}  // namespace tamlo
