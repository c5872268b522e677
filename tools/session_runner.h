// The headless session runner behind tamlo-script and the golden sessions: the whole
// program with an in-memory window against the simulated receiver in virtual time. One
// action a line from in; a deterministic report on out.
#pragma once

#include <cstdint>
#include <iosfwd>

namespace tamlo {

struct SessionLimits {
    // "image PATH" writes the trace image to PATH; without this it only says so.
    bool writeFiles = true;
    // Once virtual time passes this many milliseconds the session ends, and a tick or wait
    // that would pass it is refused; negative: no limit. Fuzzed sessions are bounded so.
    int64_t maxVirtualMs = -1;
};

void runSession(std::istream& in, std::ostream& out, const SessionLimits& limits = {});

}  // namespace tamlo
