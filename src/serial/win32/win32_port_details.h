// The details of Windows COM ports that SetupAPI gives cheaply: the adapter's description
// and, for a USB adapter, its vendor and product id and serial number where its instance id
// carries them. A COM name the system does not describe keeps only its name.
#pragma once

#include <string>
#include <vector>

#include "serial/port_details.h"

namespace tamlo {

std::vector<PortDetails> describeWin32Ports(const std::vector<std::string>& names);

// "USB\VID_0403&PID_6001\A10K3QXZ": the ids and, when the last part is the device's own
// serial number (no '&' in it, which Windows puts in the ids it makes up), that too.
void readUsbInstanceId(const std::string& instanceId, PortDetails& details);

}  // namespace tamlo
