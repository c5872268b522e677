#include "protocol/identify.h"

namespace tamlo {

FirmwareIdentity identifyFirmware(Line& line) {
    flushInput(line.port);
    sendCommand(line, "V");
    FirmwareIdentity identity;
    identity.reply = readResponse(line.port, "V", &identity.unechoed);
    identity.firmwareCode = firmwareCodeOf(identity.reply);
    return identity;
}

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// How many characters of text follow the version grammar, and whether it is complete.
size_t versionLength(std::string_view text, bool& whole) {
    size_t i = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
    }
    whole = false;
    if (i == 0 || i == text.size() || text[i] != '.') {
        return i;
    }
    ++i;
    for (int decimals = 0; decimals < 2; ++decimals, ++i) {
        if (i == text.size() || !isDigit(text[i])) {
            return i;
        }
    }
    whole = true;
    return i;
}

}  // namespace

VersionReply judgeVersionReply(std::string_view reply) {
    if (reply.empty()) {
        return VersionReply::Empty;
    }
    bool whole = false;
    const size_t length = versionLength(reply, whole);
    if (whole) {
        return VersionReply::Whole;
    }
    // Cut: the reply ends where a version was still being written.
    return length == reply.size() ? VersionReply::Cut : VersionReply::NotAVersion;
}

bool validFirmwareVersion(std::string_view text) {
    if (text.empty() || text.size() > 8) {
        return false;
    }
    bool digitSeen = false;
    bool pointSeen = false;
    for (const char c : text) {
        if (isDigit(c)) {
            digitSeen = true;
        } else if (c == '.' && !pointSeen && digitSeen) {
            pointSeen = true;
        } else {
            return false;
        }
    }
    return text.back() != '.';
}

std::string firmwareVersionProblem(std::string_view text) {
    if (validFirmwareVersion(text)) {
        return {};
    }
    return "invalid firmware version '" + std::string(text) + "' (a decimal number such as " +
           std::string(kDefaultSimulatedVersion) + " is expected)";
}

}  // namespace tamlo
