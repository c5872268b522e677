// The receiver's bytes are 8-bit and files, terminals and JSON are UTF-8: every byte of the
// receiver is taken as Latin-1 on the way out and back. Names and paths are the system's
// bytes, UTF-8 where the system is: they pass as they are, and only a byte that is not part
// of a UTF-8 character is taken as Latin-1.
#pragma once

#include <string>
#include <string_view>

namespace tamlo {

std::string latin1ToUtf8(std::string_view bytes);
// Two-byte sequences up to U+00FF become their byte; anything wider cannot be a receiver's
// byte and becomes '?'.
std::string utf8ToLatin1(std::string_view text);

// The length of the UTF-8 character that begins at bytes[at] (no overlong forms, no
// surrogates, nothing above U+10FFFF); 0 where none begins there.
size_t utf8CharacterLength(std::string_view bytes, size_t at);
// The system's bytes as UTF-8 text: its UTF-8 characters as they are, every other byte taken
// as Latin-1.
std::string bytesAsUtf8(std::string_view bytes);

}  // namespace tamlo
