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

// Where the scan is, as the library's parser would be.
enum class Place {
    Between,             // keys, values, brackets: white space is skipped here
    Comment,             // to the end of the line
    BasicString,         // "..."
    LiteralString,       // '...'
    MultiBasicString,    // """..."""
    MultiLiteralString,  // '''...'''
    AfterBackslash,      // in a multi-line basic string: the character after a backslash
    SkippingLineEnd,     // after a line-ending backslash: white space and line breaks skipped
};

class Scanner {
  public:
    explicit Scanner(std::string_view text) : text_(text) {}

    std::optional<UnsafeCharacter> run() {
        Place place = Place::Between;
        while (i_ < text_.size()) {
            const char32_t c = decode();
            const bool checked = place == Place::Between || place == Place::AfterBackslash ||
                                 place == Place::SkippingLineEnd;
            if (checked && reachesWhitespaceDefault(c)) {
                return UnsafeCharacter{line_, column_, c, place != Place::Between};
            }
            place = next(place, c);
            step(c);
        }
        return std::nullopt;
    }

  private:
    // Decodes the character at i_ and sets length_.
    char32_t decode() {
        const auto lead = static_cast<unsigned char>(text_[i_]);
        length_ = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        char32_t c = length_ == 1 ? lead : lead & (0x7Fu >> length_);
        for (size_t k = 1; k < length_ && i_ + k < text_.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text_[i_ + k]) & 0x3Fu);
        }
        return c;
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
                return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n'
                           ? Place::SkippingLineEnd
                           : Place::MultiBasicString;
            case Place::SkippingLineEnd:
                if (c == U' ' || c == U'\t' || c == U'\r' || c == U'\n') {
                    return place;
                }
                // The first other character is the string's own again.
                if (c == U'\\') {
                    return Place::AfterBackslash;
                }
                if (c == U'"' && startsWith("\"\"\"")) {
                    skipQuotes('"', true);
                    return Place::Between;
                }
                return Place::MultiBasicString;
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

}  // namespace tamlo
