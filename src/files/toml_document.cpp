#include "files/toml_document.h"

#include "files/toml_guard.h"

namespace tamlo {

namespace {

// The library's words for a string left open at the end of its line are about control
// characters; say what the user has to mend instead: where the string began.
std::optional<Place> unclosedString(std::string_view text, int64_t lineNumber) {
    size_t start = 0;
    for (int64_t line = 1; line < lineNumber; ++line) {
        start = text.find('\n', start);
        if (start == std::string_view::npos) {
            return std::nullopt;
        }
        ++start;
    }
    const size_t end = std::min(text.find('\n', start), text.size());
    char open = 0;
    size_t openedAt = 0;
    for (size_t i = start; i < end; ++i) {
        const char c = text[i];
        if (open == 0) {
            if (c == '#') {
                break;
            }
            if (c == '"' || c == '\'') {
                if (text.substr(i, 3) == std::string(3, c)) {
                    return std::nullopt;  // a multi-line string may span lines
                }
                open = c;
                openedAt = i;
            }
        } else if (c == '\\' && open == '"') {
            ++i;
        } else if (c == open) {
            open = 0;
        }
    }
    if (open == 0) {
        return std::nullopt;
    }
    return placeOf(text, openedAt);
}

// Keys and strings given back their own characters; a key's place is kept with it.
void unshield(toml::node& node);
void unshield(toml::table& table) {
    toml::table out;
    for (auto&& [key, value] : table) {
        unshield(value);
        out.insert(toml::key(unshieldTomlText(key.str()), key.source()), std::move(value));
    }
    table.clear();  // the table itself keeps its place
    for (auto&& [key, value] : out) {
        table.insert(key, std::move(value));
    }
}
void unshield(toml::node& node) {
    if (auto* text = node.as_string()) {
        text->get() = unshieldTomlText(text->get());
    } else if (auto* array = node.as_array()) {
        for (toml::node& element : *array) {
            unshield(element);
        }
    } else if (auto* table = node.as_table()) {
        unshield(*table);
    }
}

}  // namespace

Place tomlPlace(const toml::source_region& source) {
    return {static_cast<int64_t>(source.begin.line), static_cast<int64_t>(source.begin.column)};
}

std::string_view tomlTypeName(toml::node_type type) {
    switch (type) {
        case toml::node_type::table:
            return "a table";
        case toml::node_type::array:
            return "an array";
        case toml::node_type::string:
            return "a string";
        case toml::node_type::integer:
            return "an integer";
        case toml::node_type::floating_point:
            return "a floating-point number";
        case toml::node_type::boolean:
            return "a boolean";
        default:
            return "a date or time";
    }
}

std::optional<toml::table> readTomlDocument(std::string_view text, const std::string& fileName,
                                            SettingsBuilder& builder) {
    if (refuseNulBytes(text, builder)) {
        return std::nullopt;
    }
    if (const auto unsafe = firstUnsafeTomlCharacter(text)) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string code;
        for (int shift = unsafe->codePoint > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) {
            code += kHex[(unsafe->codePoint >> shift) & 0xF];
        }
        builder.error({unsafe->line, unsafe->column},
                      "the character U+" + code +
                          (unsafe->standIn ? " is not accepted: characters U+E000 to U+EBFF "
                                             "are kept for this tool's own use"
                                           : " is not accepted here: outside a quoted string or "
                                             "a comment, a file holds only ASCII"));
        return std::nullopt;
    }
    const std::string shielded = shieldTomlText(text);
    toml::parse_result parsed = toml::parse(shielded, fileName);
    if (!parsed) {
        const toml::parse_error& error = parsed.error();
        const Place place = tomlPlace(error.source());
        if (const auto opened = unclosedString(text, place.line)) {
            builder.error(*opened,
                          "this string is not closed on its line (a closing quote "
                          "is missing)");
        } else {
            builder.error(place, "syntax error: " + unshieldTomlMessage(error.description()));
        }
        return std::nullopt;
    }
    toml::table table = std::move(parsed).table();
    if (shielded != text) {
        unshield(table);
    }
    return table;
}

}  // namespace tamlo
