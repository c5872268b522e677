// A TOML document read as every file of this tool is read: NUL bytes and the characters
// the library could mishandle refused first, the library's failures as values, and a
// string left open worded by where it began.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Parse failures come back as values, not exceptions; every file that includes the library
// must say so alike.
#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include "files/settings_builder.h"

namespace tamlo {

// The document, or nothing with the error given to builder.
std::optional<toml::table> readTomlDocument(std::string_view text, const std::string& fileName,
                                            SettingsBuilder& builder);

Place tomlPlace(const toml::source_region& source);
// "a table", "a string", ...: the type of a node, for a message.
std::string_view tomlTypeName(toml::node_type type);

}  // namespace tamlo
