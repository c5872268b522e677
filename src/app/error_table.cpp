#include "app/error_table.h"

namespace tamlo {

int32_t errorCodeOf(Outcome outcome) {
    switch (outcome) {
        case Outcome::ShortReply:
            return errors::CommunicationError;
        case Outcome::InvalidFrequency:
            return errors::InvalidFrequency;
        case Outcome::InvalidThreshold:
            return errors::InvalidThreshold;
        case Outcome::InvalidAudioLevel:
            return errors::InvalidAudioLevel;
        case Outcome::Ok:
            break;
    }
    return 0;
}

std::string_view errorMessage(int32_t errorCode) {
    // The conversations' outcomes are worded once, in the protocol, for both programs; the
    // two codes about the port are the window's own.
    switch (errorCode) {
        case errors::CommunicationError:
            return outcomeText(Outcome::ShortReply);
        case errors::InvalidFrequency:
            return outcomeText(Outcome::InvalidFrequency);
        case errors::SelectComPort:
            return "Select COM Port";
        case errors::InvalidThreshold:
            return outcomeText(Outcome::InvalidThreshold);
        case errors::PortNotAvailable:
            return "Communication Port not available";
        case errors::InvalidAudioLevel:
            return outcomeText(Outcome::InvalidAudioLevel);
        default:
            return {};
    }
}

}  // namespace tamlo
