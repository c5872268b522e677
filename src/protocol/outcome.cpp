#include "protocol/outcome.h"

namespace tamlo {

std::string_view outcomeText(Outcome outcome) {
    switch (outcome) {
        case Outcome::Ok:
            return "";
        case Outcome::ShortReply:
            return "Communication Error";
        case Outcome::InvalidFrequency:
            return "Invalid frequency";
        case Outcome::InvalidThreshold:
            return "Invalid Threshold value";
        case Outcome::InvalidAudioLevel:
            return "Invalid Audio Level";
    }
    return "";
}

}  // namespace tamlo
