// The details of Linux serial ports from sysfs and /dev/serial/by-id: for a USB adapter its
// vendor and product id, serial number and product text, which udev also names its by-id
// link after. Nothing is opened; a port sysfs knows nothing of (a pseudo-terminal) keeps
// only its device.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "serial/port_details.h"

namespace tamlo {

std::vector<PortDetails> describeLinuxPorts(const std::vector<std::string>& names,
                                            const std::filesystem::path& sysfsRoot = "/sys",
                                            const std::filesystem::path& devRoot = "/dev");

}  // namespace tamlo
