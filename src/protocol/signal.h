// "R": the receiver's signal strength now.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "serial/exchange.h"

namespace tamlo {

// No flush first: the echoed "R" marks where the reply begins. 0 when nothing came.
int32_t pollSignal(Line& line);

// One poll as a front end that tells a silent receiver from a reading of 0 sees it: the
// value, or why there is none.
struct SignalReading {
    enum class Missing {
        None,        // value holds the reading
        NoReply,     // nothing came back after the echoed "R" (or no echo at all)
        NotANumber,  // the reply after the echo holds no number; reply has it
        LineFailed,  // the system refused the "R": lineFailure has its words
    };
    std::optional<int32_t> value;
    Missing missing = Missing::NoReply;
    std::string reply;        // what followed the echo
    std::string lineFailure;  // "Input/output error": a pulled adapter, a closed line
};
SignalReading readSignal(Line& line);

}  // namespace tamlo
