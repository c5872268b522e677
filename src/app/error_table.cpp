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
    switch (errorCode) {
        case errors::CommunicationError:
            return "Communication Error";
        case errors::InvalidFrequency:
            return "Invalid frequency";
        case errors::SelectComPort:
            return "Select COM Port";
        case errors::InvalidThreshold:
            return "Invalid Threshold value";
        case errors::PortNotAvailable:
            return "Communication Port not available";
        case errors::InvalidAudioLevel:
            return "Invalid Audio Level";
        default:
            return {};
    }
}

}  // namespace tamlo
