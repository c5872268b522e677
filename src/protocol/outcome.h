// What a conversation with the receiver can report. Only the window program turns these
// into its error codes and message texts; other front ends word them their own way.
#pragma once

namespace tamlo {

enum class Outcome {
    Ok,
    ShortReply,         // a settings block came back too short to be read
    InvalidFrequency,   // a channel text failed its checks
    InvalidThreshold,   // the threshold text is above 99 (or no number)
    InvalidAudioLevel,  // the audio level text is outside 0..31 (or no number)
};

}  // namespace tamlo
