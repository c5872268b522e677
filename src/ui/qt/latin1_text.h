// Texts cross between the core's 8-bit strings and Qt as Latin-1; a character outside
// Latin-1 becomes '?'.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace tamlo {

std::string toLatin1Text(const QString& text);
QString fromLatin1Text(std::string_view text);

}  // namespace tamlo
