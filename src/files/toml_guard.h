// A guard before the TOML library. The toml++ of Debian 12 (3.3.0) asks whether a non-ASCII
// character is white space with a table that runs into undefined behaviour for most
// characters from U+00A1 on. It asks only where it skips white space: between keys, values
// and brackets, and in a multi-line basic string after a backslash. Strings and comments
// may hold any UTF-8 character (TOML files are UTF-8); such a character in one of those two
// places is refused before the library sees the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tamlo {

struct UnsafeCharacter {
    int64_t line = 0;    // from 1
    int64_t column = 0;  // from 1, in characters
    char32_t codePoint = 0;
    bool afterBackslash = false;  // in a multi-line string, after a backslash
};

// The first character the library could mishandle, if any. Decoding is lenient (a lead
// byte with whatever follows), so that a character the library might see is never missed.
std::optional<UnsafeCharacter> firstUnsafeTomlCharacter(std::string_view text);

}  // namespace tamlo
