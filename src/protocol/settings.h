// DeviceSettings: the program's whole model of the receiver, and the value encodings
// shared by reading and writing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tamlo {

enum Slot : int {
    firmwareCode = 0,
    channelFreq1 = 1,  // channelFreq1..6 are slots 1..6
    channelFreq2,
    channelFreq3,
    channelFreq4,
    channelFreq5,
    channelFreq6,
    threshold = 7,
    currentChannel = 8,
    rssi = 9,
    audioLevel = 10,
    diversity = 11,
    lnaSupply = 12,
};

inline constexpr int kSlotCount = 13;

// Thirteen signed 32-bit slots; zero at start-up and never cleared, so a LOAD that fails
// part-way leaves the slots it did not reach as they were.
struct DeviceSettings {
    std::array<int32_t, kSlotCount> slots{};

    // Every caller names a slot of the table above; nothing computes an index from the line.
    int32_t& operator[](int slot) { return slots[static_cast<size_t>(slot)]; }
    int32_t operator[](int slot) const { return slots[static_cast<size_t>(slot)]; }
    // Channel n = 1..6.
    int32_t& channel(int n) { return (*this)[channelFreq1 + n - 1]; }
    int32_t channel(int n) const { return (*this)[channelFreq1 + n - 1]; }
};

// The receiver reports its LNA supply as a level (6.4 V when on); above 40 it counts as on.
inline constexpr int32_t kLnaOnAbove = 40;
inline bool lnaSupplyOn(int32_t level) {
    return level > kLnaOnAbove;
}

// Channel codes count kHz above 130 MHz: 8500 is 138.500 MHz.
inline constexpr int64_t kChannelBaseKhz = 130'000;
// A channel code as the receiver's text block and a settings file write it: 8500 gives
// "138.500".
std::string channelCodeText(int32_t channelCode);

// Channel value (10 kHz steps above 130 MHz) to the form's text, e.g. 850 -> "138.500 MHz".
std::string formatChannelText(int32_t channelFreq);

// Four characters, high nibble first; no character is rejected ("00ff" gives 799).
int32_t decodeHexWord(std::string_view text);

// Text block: "8.500" -> 850 (third decimal dropped, never rounded up).
int32_t textBlockFrequency(std::string_view text);
// Hex block: the word counts 5 kHz steps above 134 MHz; the odd step is dropped.
int32_t hexWordFrequency(std::string_view highByte, std::string_view lowByte);
// One-byte fields of the hex block.
int32_t hexByte(std::string_view twoChars);
int32_t decimalByte(std::string_view twoChars);
// STORE: the six characters from the third of a channel field, in 1 kHz steps above
// 130 MHz ("138.500 MHz" -> 8500).
int32_t storeChannelCode(std::string_view channelFieldText);

}  // namespace tamlo
