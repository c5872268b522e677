// What the window program says on standard error about the ports it could not list: every
// device the user named, and every device refused for its permissions, which only the user
// can mend. Discovery drops the rest without a word, as it always has.
#pragma once

#include <string>
#include <vector>

#include "serial/discovery.h"

namespace tamlo {

// One line a device: "tamlo-config: /dev/ttyUSB0: does not exist".
std::string refusedPortNotices(const std::vector<PortRefusal>& refused,
                               const std::vector<std::string>& namedDevices);

}  // namespace tamlo
