// "R": the receiver's signal strength now.
#pragma once

#include <cstdint>
#include <optional>

#include "serial/exchange.h"

namespace tamlo {

// No flush first: the echoed "R" marks where the reply begins. 0 when nothing came.
int32_t pollSignal(Line& line);
// The same poll for a front end that tells a silent receiver from a reading of 0: nothing
// when the reply holds no number.
std::optional<int32_t> readSignal(Line& line);

}  // namespace tamlo
