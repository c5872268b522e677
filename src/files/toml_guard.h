// A guard before the TOML library. The toml++ of Debian 12 (3.3.0) asks whether a non-ASCII
// character is white space with a table that runs into undefined behaviour for most
// characters from U+00A1 on, wherever it is skipping white space. A settings file may come
// from anywhere, so such characters are refused before the library sees the text. The
// files this tool writes never hold them: it writes every byte outside printable ASCII as
// an escape (\u00E9).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tamlo {

struct UnsafeCharacter {
    int64_t line = 0;    // from 1
    int64_t column = 0;  // from 1, in characters
    char32_t codePoint = 0;
};

// The first character the library could mishandle, if any. Decoding is lenient (a lead
// byte with whatever follows), so that a character the library might see is never missed.
std::optional<UnsafeCharacter> firstUnsafeTomlCharacter(std::string_view text);

}  // namespace tamlo
