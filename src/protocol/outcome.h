// What a conversation with the receiver can report, and the window program's words for it,
// which every front end shows so that a user sees the same message from either program.
#pragma once

#include <string_view>

namespace tamlo {

enum class Outcome {
    Ok,
    ShortReply,         // a settings block came back too short to be read
    InvalidFrequency,   // a channel text failed its checks
    InvalidThreshold,   // the threshold text is above 99 (or no number)
    InvalidAudioLevel,  // the audio level text is outside 0..31 (or no number)
};

// "Communication Error", "Invalid frequency", ...; empty for Ok.
std::string_view outcomeText(Outcome outcome);

}  // namespace tamlo
