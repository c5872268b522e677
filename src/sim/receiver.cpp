#include "sim/receiver.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "sim/line_timing.h"

namespace tamlo::sim {
namespace {

// Sent before the echo when the line is noisy: framing garbage, never a command letter.
constexpr uint8_t kNoise[] = {0xF0, 0xFF, 0x00};

bool isReadCommand(char c) {
    return c == 'V' || c == 'X' || c == 'M' || c == 'R';
}
bool isWriteCommand(char c) {
    return c == 'E' || c == 'L' || c == 'D' || c == 'P' || c == 'C' || c == 'T';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool allDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isDigit);
}

// Digits to a value; false when the text is not all digits or the value exceeds the
// 32-bit range (a noise burst of digits must not wrap into a plausible setting).
bool digitsValue(std::string_view text, int64_t& value) {
    if (!allDigits(text) || text.size() > 10) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
    }
    return value <= 2147483647;
}

// Printable characters as themselves, others as "<0x0d>".
std::string shownByte(uint8_t byte) {
    if (byte >= 0x20 && byte < 0x7F) {
        return std::string(1, static_cast<char>(byte));
    }
    char text[8];
    std::snprintf(text, sizeof text, "<0x%02x>", byte);
    return text;
}

}  // namespace

Receiver::Receiver(ReceiverSettings settings) : settings_(std::move(settings)) {}

const GenerationTraits& Receiver::traits() const {
    return firmwareTraits(firmwareCodeOf(settings_.version));
}

void Receiver::receive(uint8_t byte, int64_t atNs) {
    advance(atNs);
    atNs = clockNs_;
    if (settings_.fault == Fault::UnplugAfter && settings_.unplugAfter <= 0) {
        settings_.fault = Fault::Unplugged;
    }
    if (settings_.fault == Fault::Unplugged) {
        return;  // nothing reaches a receiver whose cable is out
    }
    hear(byte, atNs);
    // The last byte before the cable comes out is heard and answered; the answer is lost.
    if (settings_.fault == Fault::UnplugAfter && --settings_.unplugAfter <= 0) {
        settings_.fault = Fault::Unplugged;
        output_.clear();
    }
}

void Receiver::hear(uint8_t byte, int64_t atNs) {
    const char c = static_cast<char>(byte);
    if (isReadCommand(c) || isWriteCommand(c)) {
        if (pending_) {
            finishPending();
        }
        if (isReadCommand(c)) {
            answer(c, atNs);
        } else {
            reply(c, {}, atNs);  // write commands are echoed too
            pending_ = true;
            command_ = Pending{c, {}, atNs, atNs};
        }
        return;
    }
    if (pending_) {
        const bool fits =
            isDigit(c) || (c == '-' && command_.letter == 'T' && command_.argument.empty());
        if (fits && command_.argument.size() < kMaxArgumentLength) {
            command_.argument += c;
            command_.lastNs = atNs;
            if (argumentComplete()) {
                finishPending();
            }
            return;
        }
        // A byte that does not belong breaks the command off; half a command is not
        // carried out.
        pending_ = false;
        log({command_.atNs, atNs,
             std::string(1, command_.letter) + command_.argument + shownByte(byte),
             "broken off, not carried out", false});
        return;
    }
    log({atNs, atNs, shownByte(byte), "stray byte, ignored", false});
}

void Receiver::advance(int64_t nowNs) {
    clockNs_ = std::max(clockNs_, nowNs);
    if (pending_ && clockNs_ >= deadlineNs()) {
        finishPending();
    }
}

int64_t Receiver::deadlineNs() const {
    return pending_ ? command_.lastNs + kCommandSilenceNs : kNever;
}

std::vector<Receiver::Transmit> Receiver::takeOutput() {
    return std::exchange(output_, {});
}

std::vector<std::string> Receiver::commandLog() const {
    std::vector<std::string> texts;
    for (const Event& event : events_) {
        if (event.understood) {
            texts.push_back(event.text);
        }
    }
    return texts;
}

void Receiver::answer(char letter, int64_t atNs) {
    const GenerationTraits& traits = this->traits();
    std::string body;
    std::string note;
    switch (letter) {
        case 'V':
            body = versionReply();
            break;
        case 'R':
            body = rssiReply();
            break;
        case 'X':
            if (traits.hexBlock) {
                body = hexBlockReply();
            } else {
                note = "not known to this firmware, echoed only";
            }
            break;
        case 'M':
            if (traits.textBlock) {
                body = textBlockReply();
            } else {
                note = "not known to this firmware, echoed only";
            }
            break;
        default:
            break;
    }
    log({atNs, atNs, std::string(1, letter), note, true});
    reply(letter, body, atNs);
}

void Receiver::reply(char letter, std::string_view body, int64_t atNs) {
    if (settings_.fault == Fault::Silent || settings_.fault == Fault::Unplugged) {
        return;
    }
    int64_t startNs = atNs + kProcessingNs;
    if (settings_.fault == Fault::Late) {
        startNs += static_cast<int64_t>(std::max(settings_.lateMs, 0)) * 1'000'000;
    }
    std::string bytes;
    if (settings_.fault == Fault::Noise) {
        bytes.append(reinterpret_cast<const char*>(kNoise), sizeof kNoise);
    }
    if (settings_.fault != Fault::NoEcho) {
        bytes += letter;
    }
    bytes += body;
    if (settings_.fault == Fault::CutOff) {
        bytes.resize(std::min(bytes.size(), static_cast<size_t>(std::max(settings_.cutAfter, 0))));
    }
    for (const char c : bytes) {
        output_.push_back({startNs, static_cast<uint8_t>(c)});
    }
}

bool Receiver::argumentComplete() const {
    switch (command_.letter) {
        case 'E':
        case 'D':
        case 'P':
            return command_.argument.size() == 1;
        case 'L':
            return command_.argument.size() == 2;
        default:
            return false;  // "C" and "T" have no fixed length: they end by time or letter
    }
}

void Receiver::finishPending() {
    pending_ = false;
    const Pending command = command_;
    std::string text(1, command.letter);
    text += command.argument;
    std::string note;
    const bool understood = applyWrite(command, note);
    log({command.atNs, command.lastNs, text, note, understood});
}

// Carries out one complete write command. Returns false when its characters do not form
// the command; note says why a command was not carried out.
bool Receiver::applyWrite(const Pending& command, std::string& note) {
    const std::string_view argument = command.argument;
    const GenerationTraits& traits = this->traits();
    int64_t value = 0;
    bool wellFormed = false;
    switch (command.letter) {
        case 'E':
            wellFormed = argument == "0" || argument == "1";
            break;
        case 'L':
            wellFormed = digitsValue(argument, value);
            break;
        case 'D':
        case 'P':
            wellFormed = digitsValue(argument, value) && argument.size() == 1;
            break;
        case 'C':
            wellFormed = argument.size() >= 2 && argument[0] >= '1' && argument[0] <= '6' &&
                         digitsValue(argument.substr(1), value);
            break;
        case 'T':
            if (!argument.empty() && argument[0] == '-') {
                wellFormed = digitsValue(argument.substr(1), value);
                value = -value;
            } else {
                wellFormed = digitsValue(argument, value);
            }
            break;
        default:
            break;
    }
    if (!wellFormed) {
        note = "incomplete or malformed, not carried out";
        return false;
    }
    bool known = true;
    switch (command.letter) {
        case 'E':
            known = traits.writeSession;
            break;
        case 'L':
        case 'D':
            known = traits.audioCommand;
            break;
        case 'P':
            known = traits.lnaCommand;
            break;
        default:
            break;  // "C" and "T": every generation
    }
    if (!known) {
        note = "not known to this firmware, ignored";
        return true;
    }
    if (command.letter == 'E') {
        sessionOpen_ = argument == "0";
        return true;
    }
    if (traits.writeSession && !sessionOpen_) {
        note = "outside a write session, ignored";
        return true;
    }
    switch (command.letter) {
        case 'L':
            if (value > 31) {
                note = "audio level out of range, ignored";
            } else {
                settings_.audioLevel = static_cast<int32_t>(value);
            }
            break;
        case 'D':
            settings_.diversity = value != 0;
            break;
        case 'P':
            settings_.lna = value != 0;
            break;
        case 'C':
            // The receiver tunes only its own band, 134.000 to 138.990 MHz.
            if (value < 4000 || value > 8990) {
                note = "frequency out of band, ignored";
            } else {
                settings_.channelCode[static_cast<size_t>(argument[0] - '1')] =
                    static_cast<int32_t>(value);
            }
            break;
        case 'T':
            settings_.threshold = static_cast<int32_t>(value);
            break;
        default:
            break;
    }
    return true;
}

void Receiver::log(Event event) {
    if (events_.size() == kEventsKept) {
        events_.pop_front();
    }
    events_.push_back(std::move(event));
    if (sink_) {
        sink_(events_.back());
    }
}

}  // namespace tamlo::sim
