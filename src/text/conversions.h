// Byte-string conversions that every receiver text passes through.
//
// The receiver speaks 8-bit ASCII; a "text" is a std::string of bytes. Positions count
// from 1, out-of-range counts and positions are clamped, and nothing here ever fails:
// malformed input reads as far as it is well formed. Decimal values are held as
// single-precision floats and "." is the decimal point whatever the process locale,
// because a different rounding programs a different frequency into the receiver.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tamlo {

// Blanks and tabs, a sign, then "$" hex, "%" binary or decimal digits; modulo 2^64.
int64_t parseInteger(std::string_view text);
// The number parseInteger reads from text, when text begins with one (a digit after the
// blanks, the sign and the base mark) and it lies in the signed 32-bit range; nothing when
// there is no digit or when keeping the low 32 bits would change the value.
std::optional<int32_t> integerValue32(std::string_view text);
// "+Infinity" / "-Infinity" / "NaN" (whole text, any case), else the C grammar of a
// leading decimal number, rounded to the nearest float.
float parseDecimal(std::string_view text);
// Toward zero; NaN and magnitudes of 2^63 or more give 0.
int64_t truncateToInteger(double value);
std::string formatInteger(int64_t value);
// Fixed point with ten decimals of the float's exact value.
std::string formatDecimal(float value);
float power(float base, float exponent);

std::string leftPart(std::string_view text, int64_t count);
std::string rightPart(std::string_view text, int64_t count);
std::string middlePart(std::string_view text, int64_t start, int64_t count);
// Bytes before the first zero byte.
int64_t textLength(std::string_view text);
// Byte 0 gives the empty text.
std::string charText(int byte);
// First byte as 0..255; the empty text gives 0.
int charCode(std::string_view text);
bool textEquals(std::string_view a, std::string_view b);

// A 32-bit slot keeps only the low 32 bits, two's complement. Spelled out once here so
// that every narrowing in the program is explicit and free of undefined behaviour.
inline int32_t low32(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}
inline int16_t low16(int64_t value) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(value)));
}

// Equal but for the case of ASCII letters ("NaN" and "nan", "COM7" and "com7").
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tamlo
