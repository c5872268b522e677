// "R": the receiver's signal strength now.
#pragma once

#include <cstdint>

#include "serial/exchange.h"

namespace tamlo {

// No flush first: the echoed "R" marks where the reply begins. 0 when nothing came.
int32_t pollSignal(Line& line);

}  // namespace tamlo
