// The monotonic clock in nanoseconds, and sleeping until a point on it. A sleep to an
// absolute deadline resumes the same wait after a signal, so it can run long, never short.
#pragma once

#include <cstdint>

namespace tamlo {

int64_t monotonicNs();
void sleepUntilMonotonicNs(int64_t deadlineNs);

}  // namespace tamlo
