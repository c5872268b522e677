// What the receiver sends after the echo of "V", "X", "M" and "R".
//
// The program collects each reply after a fixed wait and reads it at fixed places, so the
// layouts are held to these bounds (the echo and 3 ms of processing included, at 9.17 ms
// a character):
//   "V"  the version, a blank and a nine-character build stamp ("2.05 05-Nov-24"); at
//        most 18 characters, all in before the 200 ms collection.
//   "X"  18 bytes as two digits and a blank each, the last followed by CR LF instead
//        (55 characters, in after about 525 ms, collected at 850 ms).
//   "M"  tagged lines "CH1:134.000 CH2:..." and "thr:45 CH:1 ..." (about 110 to 125
//        characters, in after about 1.2 s, collected at 1700 ms).
//   "R"  the RSSI in decimal, CR LF.
// None of the bodies contains an upper-case V, X, M or R: the program keeps what follows
// the first one it sees, so a stray letter would shift every field of the reply.
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/settings.h"
#include "sim/receiver.h"
#include "text/conversions.h"

namespace tamlo::sim {
namespace {

constexpr size_t kMaxVersionReply = 18;

std::string hexByteText(uint8_t value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

// Read by the program as a decimal byte, so written in decimal digits.
std::string decimalByteText(int32_t value) {
    const int32_t clamped = value < 0 ? 0 : (value > 99 ? 99 : value);
    return {static_cast<char>('0' + clamped / 10), static_cast<char>('0' + clamped % 10)};
}

uint8_t low8(int64_t value) {
    return static_cast<uint8_t>(static_cast<uint64_t>(value) & 0xFF);
}

}  // namespace

std::string Receiver::versionReply() const {
    std::string body = settings_.version;
    if (!settings_.buildStamp.empty() &&
        body.size() + 1 + settings_.buildStamp.size() <= kMaxVersionReply) {
        body += " " + settings_.buildStamp;
    }
    if (body.size() > kMaxVersionReply) {
        body.resize(kMaxVersionReply);
    }
    return body;
}

std::string Receiver::hexBlockReply() const {
    std::string body;
    const auto add = [&body](const std::string& twoDigits) {
        if (!body.empty()) {
            body += ' ';
        }
        body += twoDigits;
    };
    for (const int32_t code : settings_.channelCode) {
        // 5 kHz steps above 134 MHz, low byte first.
        const int64_t word = (static_cast<int64_t>(code) - 4000) / 5;
        add(hexByteText(low8(word)));
        add(hexByteText(low8(word >> 8)));
    }
    add(decimalByteText(settings_.currentChannel));  // byte 12
    add(hexByteText(low8(settings_.threshold)));     // byte 13
    const int32_t rssi = settings_.rssi < 0 ? 0 : (settings_.rssi > 255 ? 255 : settings_.rssi);
    add(hexByteText(static_cast<uint8_t>(rssi)));  // byte 14, not read by the program
    add(hexByteText(low8(settings_.audioLevel)));  // byte 15
    add(settings_.diversity ? "01" : "00");        // byte 16
    // Byte 17: the LNA supply voltage in tenths of a volt (6.4 V when on); the second
    // generation has no LNA switch and always reports 00.
    add(traits().lnaByte && settings_.lna ? "64" : "00");
    return body + "\r\n";
}

std::string Receiver::textBlockReply() const {
    const auto& code = settings_.channelCode;
    std::string body = "tamlo fw " + settings_.version + "\r\n";
    for (size_t line = 0; line < 2; ++line) {
        for (size_t i = line * 3; i < line * 3 + 3; ++i) {
            body += "CH" + std::to_string(i + 1) + ":" + channelCodeText(code[i]);
            body += i % 3 == 2 ? "\r\n" : " ";
        }
    }
    body += "thr:" + std::to_string(settings_.threshold) +
            " CH:" + std::to_string(settings_.currentChannel) +
            " rssi:" + std::to_string(settings_.rssi);
    // Firmware with an audio level reports it in the text block too.
    if (traits().audioCommand) {
        body += " lvl:" + std::to_string(settings_.audioLevel) +
                " div:" + (settings_.diversity ? "1" : "0");
    }
    return body + "\r\n";
}

std::string Receiver::rssiReply() const {
    return std::to_string(settings_.rssi) + "\r\n";
}

}  // namespace tamlo::sim
