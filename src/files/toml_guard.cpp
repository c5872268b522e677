#include "files/toml_guard.h"

#include "text/latin1.h"

namespace tamlo {

namespace {

// The blocks of 0x3FA characters from U+00A0 on whose characters reach the library's
// unreachable default, and where each block's stand-ins begin in the private-use area.
constexpr char32_t kBlockStart = U'\xA0';
constexpr char32_t kBlockSize = 0x3FA;
constexpr uint64_t kUnsafeBlocks[] = {0, 11, 63};
constexpr char32_t kStandInStart = U'\uE000';
constexpr char32_t kStandInBlock = 0x400;
constexpr char32_t kStandInEnd = kStandInStart + 3 * kStandInBlock;

// The library's own rule for which characters reach its unreachable default: characters
// U+00A0 to U+FEFF, grouped in blocks of 0x3FA, outside the blocks its table handles, and
// not one of the three it names.
bool reachesWhitespaceDefault(char32_t c) {
    if (c < U'\xA0' || c > U'\uFEFF') {
        return false;
    }
    const uint64_t child = (static_cast<uint64_t>(c) - kBlockStart) / kBlockSize;
    if (((uint64_t{1} << child) & 0x7FFFFFFFFFFFF75Eu) != 0) {
        return false;
    }
    if (c == U'\xA0' || c == U'\u3000' || c == U'\uFEFF') {
        return false;
    }
    return child != 5 && child != 7;
}

char32_t decodeUtf8(std::string_view bytes, size_t length) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    char32_t c = length == 1 ? lead : lead & (0x7Fu >> length);
    for (size_t k = 1; k < length && k < bytes.size(); ++k) {
        c = (c << 6) | (static_cast<unsigned char>(bytes[k]) & 0x3Fu);
    }
    return c;
}

std::string encodeUtf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

char32_t standIn(char32_t c) {
    const uint64_t child = (static_cast<uint64_t>(c) - kBlockStart) / kBlockSize;
    for (char32_t k = 0; k < 3; ++k) {
        if (kUnsafeBlocks[k] == child) {
            const char32_t first = kBlockStart + static_cast<char32_t>(child) * kBlockSize;
            return kStandInStart + k * kStandInBlock + (c - first);
        }
    }
    return c;  // not reached: every unsafe character lies in one of the three blocks
}

char32_t original(char32_t c) {
    const char32_t k = (c - kStandInStart) / kStandInBlock;
    const char32_t first = kBlockStart + static_cast<char32_t>(kUnsafeBlocks[k]) * kBlockSize;
    return first + (c - kStandInStart) % kStandInBlock;
}

// Each well-formed character for which change gives another is replaced; the rest is kept
// byte for byte (the library refuses malformed UTF-8 itself).
template <typename Change>
std::string replaceCharacters(std::string_view text, Change change) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = utf8CharacterLength(text, i);
        if (length <= 1) {
            out += text[i];
            ++i;
            continue;
        }
        const char32_t c = decodeUtf8(text.substr(i, length), length);
        const char32_t changed = change(c);
        if (changed == c) {
            out.append(text.substr(i, length));
        } else {
            out += encodeUtf8(changed);
        }
        i += length;
    }
    return out;
}

// Where the scan is, as the library's parser would be.
enum class Place {
    Between,             // keys, values, brackets: only ASCII belongs here
    Comment,             // to the end of the line
    BasicString,         // "..."
    LiteralString,       // '...'
    MultiBasicString,    // """..."""
    MultiLiteralString,  // '''...'''
    AfterBackslash,      // in a multi-line basic string: the character after a backslash
};

class Scanner {
  public:
    explicit Scanner(std::string_view text) : text_(text) {}

    std::optional<UnsafeCharacter> run() {
        Place place = Place::Between;
        while (i_ < text_.size()) {
            const char32_t c = decode();
            const bool reserved = c >= kStandInStart && c < kStandInEnd;
            if ((place == Place::Between && c >= 0x80) || reserved) {
                return UnsafeCharacter{line_, column_, c, reserved};
            }
            place = next(place, c);
            step(c);
        }
        return std::nullopt;
    }

  private:
    // Decodes the character at i_ leniently (a lead byte with whatever follows, so that a
    // character the library might see is never missed) and sets length_.
    char32_t decode() {
        const auto lead = static_cast<unsigned char>(text_[i_]);
        length_ = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        return decodeUtf8(text_.substr(i_, length_), length_);
    }
    bool startsWith(std::string_view s) const { return text_.substr(i_, s.size()) == s; }
    // Takes in the rest of a three-quote delimiter (the first is the current character),
    // and up to two quotes more that belong to a string's end.
    void skipQuotes(char quote, bool closing) {
        i_ += 2;
        column_ += 2;
        for (int extra = 0; closing && extra < 2 && i_ + 1 < text_.size() && text_[i_ + 1] == quote;
             ++extra) {
            ++i_;
            ++column_;
        }
    }
    void step(char32_t c) {
        i_ += length_;
        if (c == U'\n') {
            ++line_;
            column_ = 1;
        } else {
            ++column_;
        }
    }

    Place next(Place place, char32_t c) {
        switch (place) {
            case Place::Between:
                if (c == U'#') {
                    return Place::Comment;
                }
                if (c == U'"' || c == U'\'') {
                    const bool multi = startsWith(c == U'"' ? "\"\"\"" : "'''");
                    if (multi) {
                        skipQuotes(static_cast<char>(c), false);
                        return c == U'"' ? Place::MultiBasicString : Place::MultiLiteralString;
                    }
                    return c == U'"' ? Place::BasicString : Place::LiteralString;
                }
                return Place::Between;
            case Place::Comment:
                return c == U'\n' ? Place::Between : Place::Comment;
            case Place::BasicString:
                if (c == U'\\' && i_ + 1 < text_.size() && text_[i_ + 1] != '\n') {
                    ++i_;  // the escaped character, ASCII in any string the library accepts
                    ++column_;
                    return place;
                }
                return c == U'"' || c == U'\n' ? Place::Between : place;
            case Place::LiteralString:
                return c == U'\'' || c == U'\n' ? Place::Between : place;
            case Place::MultiBasicString:
                if (c == U'\\') {
                    return Place::AfterBackslash;
                }
                if (c == U'"' && startsWith("\"\"\"")) {
                    skipQuotes('"', true);
                    return Place::Between;
                }
                return place;
            case Place::MultiLiteralString:
                if (c == U'\'' && startsWith("'''")) {
                    skipQuotes('\'', true);
                    return Place::Between;
                }
                return place;
            case Place::AfterBackslash:
                return Place::MultiBasicString;  // an escaped quote does not end the string
        }
        return place;
    }

    std::string_view text_;
    size_t i_ = 0;
    size_t length_ = 1;
    int64_t line_ = 1;
    int64_t column_ = 1;
};

}  // namespace

std::optional<UnsafeCharacter> firstUnsafeTomlCharacter(std::string_view text) {
    return Scanner(text).run();
}

std::string shieldTomlText(std::string_view text) {
    return replaceCharacters(
        text, [](char32_t c) { return reachesWhitespaceDefault(c) ? standIn(c) : c; });
}

std::string unshieldTomlText(std::string_view text) {
    return replaceCharacters(
        text, [](char32_t c) { return c >= kStandInStart && c < kStandInEnd ? original(c) : c; });
}

std::string unshieldTomlMessage(std::string_view message) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = unshieldTomlText(message);
    for (size_t at = out.find("\\u"); at != std::string::npos && at + 6 <= out.size();
         at = out.find("\\u", at + 2)) {
        char32_t c = 0;
        for (size_t k = at + 2; k < at + 6; ++k) {
            const char* digit = std::char_traits<char>::find(kHex, 16, out[k]);
            c = (c << 4) | static_cast<char32_t>(digit == nullptr ? 0 : digit - kHex);
        }
        if (c >= kStandInStart && c < kStandInEnd) {
            c = original(c);
            for (size_t k = at + 6; k-- > at + 2; c >>= 4) {
                out[k] = kHex[c & 0xF];
            }
        }
    }
    return out;
}

}  // namespace tamlo
