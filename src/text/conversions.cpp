#include "text/conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tamlo {

namespace {

// A text ends at its first zero byte: a zero byte read from the line adds nothing.
std::string_view asText(std::string_view text) {
    const size_t end = text.find('\0');
    return end == std::string_view::npos ? text : text.substr(0, end);
}

int64_t clampCount(int64_t count, size_t length) {
    if (count < 0) {
        return 0;
    }
    return std::min<int64_t>(count, static_cast<int64_t>(length));
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// White space as the C library sees it in the "C" locale.
bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Round-to-nearest narrowing to single. A double beyond the float range is undefined
// behaviour for a plain cast, so the overflow threshold is spelled out: from half a unit
// above FLT_MAX (2^128 - 2^103; the tie goes to the even neighbour, infinity) it is
// infinity, below that FLT_MAX.
float roundToSingle(double value) {
    constexpr double kFloatMax = static_cast<double>(std::numeric_limits<float>::max());
    constexpr double kOverflowFrom = 0x1.ffffffp127;  // 2^128 - 2^103
    const double magnitude = std::fabs(value);
    if (std::isnan(value) || magnitude <= kFloatMax) {
        return static_cast<float>(value);
    }
    const float big = magnitude >= kOverflowFrom ? std::numeric_limits<float>::infinity()
                                                 : std::numeric_limits<float>::max();
    return std::signbit(value) ? -big : big;
}

// The leading decimal number of a text, read with the grammar of the C library's atof in
// the "C" locale but without its infinity, NaN and hexadecimal forms. No number gives +0.
double scanLeadingDecimal(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && isCSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const size_t numberStart = pos;

    // Order of magnitude of the first significant digit, to tell an overflow from an
    // underflow when the exact conversion reports the result out of range.
    int64_t order = 0;
    bool significant = false;
    size_t digits = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        if (text[pos] != '0') {
            significant = true;
        }
        if (significant) {
            ++order;
        }
        ++digits;
        ++pos;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && isDigit(text[pos])) {
            if (!significant) {
                if (text[pos] != '0') {
                    significant = true;
                } else {
                    --order;
                }
            }
            ++digits;
            ++pos;
        }
    }
    if (digits == 0) {
        return 0.0;
    }

    // An exponent counts only when at least one digit follows the "e" and its sign.
    int64_t exponent = 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        size_t expPos = pos + 1;
        bool expNegative = false;
        if (expPos < text.size() && (text[expPos] == '+' || text[expPos] == '-')) {
            expNegative = text[expPos] == '-';
            ++expPos;
        }
        if (expPos < text.size() && isDigit(text[expPos])) {
            while (expPos < text.size() && isDigit(text[expPos])) {
                // Saturate: anything this large is far outside every floating range.
                exponent = std::min<int64_t>(exponent * 10 + (text[expPos] - '0'), 1'000'000'000);
                ++expPos;
            }
            if (expNegative) {
                exponent = -exponent;
            }
            pos = expPos;
        }
    }

    // The extent is known and holds only digits, a point and an exponent, so the
    // locale-independent exact conversion reads it whole.
    const char* first = text.data() + numberStart;
    const char* last = text.data() + pos;
    double value = 0.0;
    const std::from_chars_result result =
        std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // What atof gives: HUGE_VAL on overflow, a zero on underflow (a value that rounds
        // to a denormal is not out of range).
        value =
            (significant && order + exponent > 0) ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc() || result.ptr != last) {
        value = 0.0;  // cannot happen for a scanned extent; stay defined regardless
    }
    return negative ? -value : value;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

namespace {

struct IntegerScan {
    bool negative = false;
    uint64_t value = 0;  // modulo 2^64, before the sign
    // The exact magnitude, held at 2^32 once it gets there: enough to tell whether the
    // number fits in 32 bits without wrapping.
    uint64_t magnitude = 0;
    bool anyDigit = false;
    int64_t signedValue() const { return static_cast<int64_t>(negative ? 0u - value : value); }
};

int digitOf(char c, int base) {
    if (isDigit(c) && c - '0' < base) {
        return c - '0';
    }
    if (base == 16 && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (base == 16 && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

IntegerScan scanInteger(std::string_view text) {
    text = asText(text);
    IntegerScan scan;
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        scan.negative = text[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (pos < text.size() && (text[pos] == '$' || text[pos] == '%')) {
        base = text[pos] == '$' ? 16 : 2;
        ++pos;
    }
    constexpr uint64_t kCap = uint64_t{1} << 32;
    for (; pos < text.size(); ++pos) {
        const int digit = digitOf(text[pos], base);
        if (digit < 0) {
            break;
        }
        const auto b = static_cast<uint64_t>(base);
        const auto d = static_cast<uint64_t>(digit);
        // Unsigned arithmetic wraps modulo 2^64 as the receiver's numbers are meant to.
        scan.value = scan.value * b + d;
        scan.magnitude = std::min(kCap, scan.magnitude * b + d);
        scan.anyDigit = true;
    }
    return scan;
}

}  // namespace

int64_t parseInteger(std::string_view text) {
    const IntegerScan scan = scanInteger(text);
    return scan.signedValue();
}

std::optional<int32_t> integerValue32(std::string_view text) {
    const IntegerScan scan = scanInteger(text);
    if (!scan.anyDigit ||
        scan.magnitude > (scan.negative ? uint64_t{2147483648} : uint64_t{2147483647})) {
        return std::nullopt;
    }
    return low32(scan.signedValue());
}

float parseDecimal(std::string_view text) {
    text = asText(text);
    if (equalsIgnoringCase(text, "+Infinity")) {
        return std::numeric_limits<float>::infinity();
    }
    if (equalsIgnoringCase(text, "-Infinity")) {
        return -std::numeric_limits<float>::infinity();
    }
    if (equalsIgnoringCase(text, "NaN")) {
        return std::numeric_limits<float>::quiet_NaN();
    }
    // Nearest double first, then nearest single: the two roundings are the rule, and a
    // direct parse to float can differ in the last bit.
    return roundToSingle(scanLeadingDecimal(text));
}

int64_t truncateToInteger(double value) {
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (std::isnan(value) || std::fabs(value) >= kTwoTo63) {
        return 0;
    }
    return static_cast<int64_t>(value);  // the cast truncates toward zero
}

std::string formatInteger(int64_t value) {
    char buffer[24];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string formatDecimal(float value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "+Infinity" : "-Infinity";
    }
    if (value == 0.0f) {
        return "0.0000000000";  // negative zero too
    }
    // Written from the exact binary value with ten decimals, never through printf, so that
    // every platform's runtime gives the same digits. The largest single has 39 integer
    // digits: sign, 39 digits, point and ten decimals fit easily.
    char buffer[64];
    const std::to_chars_result result = std::to_chars(
        buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::fixed, 10);
    if (result.ec != std::errc()) {
        return "0.0000000000";  // cannot happen with this buffer; stay defined regardless
    }
    return std::string(buffer, result.ptr);
}

float power(float base, float exponent) {
    return roundToSingle(std::pow(static_cast<double>(base), static_cast<double>(exponent)));
}

std::string leftPart(std::string_view text, int64_t count) {
    text = asText(text);
    return std::string(text.substr(0, static_cast<size_t>(clampCount(count, text.size()))));
}

std::string rightPart(std::string_view text, int64_t count) {
    text = asText(text);
    const size_t n = static_cast<size_t>(clampCount(count, text.size()));
    return std::string(text.substr(text.size() - n));
}

std::string middlePart(std::string_view text, int64_t start, int64_t count) {
    text = asText(text);
    if (count < 0) {
        count = 0;
    }
    if (start < 1) {
        start = 1;
    }
    if (start > static_cast<int64_t>(text.size())) {
        return std::string();
    }
    const size_t offset = static_cast<size_t>(start - 1);
    return std::string(text.substr(offset, static_cast<size_t>(clampCount(count, text.size()))));
}

int64_t textLength(std::string_view text) {
    return static_cast<int64_t>(asText(text).size());
}

std::string charText(int byte) {
    // Only the low eight bits make a character on the line.
    const char c =
        static_cast<char>(static_cast<unsigned char>(static_cast<unsigned>(byte) & 0xFFu));
    return c == '\0' ? std::string() : std::string(1, c);
}

int charCode(std::string_view text) {
    text = asText(text);
    return text.empty() ? 0 : static_cast<int>(static_cast<unsigned char>(text.front()));
}

bool textEquals(std::string_view a, std::string_view b) {
    return asText(a) == asText(b);
}

}  // namespace tamlo
