// The receiver's bytes are 8-bit and files, terminals and JSON are UTF-8: every byte is taken
// as Latin-1 on the way out and back.
#pragma once

#include <string>
#include <string_view>

namespace tamlo {

std::string latin1ToUtf8(std::string_view bytes);
// Two-byte sequences up to U+00FF become their byte; anything wider cannot be a receiver's
// byte and becomes '?'.
std::string utf8ToLatin1(std::string_view text);

}  // namespace tamlo
