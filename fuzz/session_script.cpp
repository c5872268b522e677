// The session runner's input: any text at all, played as a session script. Its report is
// thrown away; the runner must neither crash nor write a file, and its virtual time is
// bounded so that a script of long waits cannot stall the run.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "session_runner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream report;
    tamlo::SessionLimits limits;
    limits.writeFiles = false;
    limits.maxVirtualMs = 3'600'000;  // an hour of the receiver's time
    tamlo::runSession(in, report, limits);
    return 0;
}
