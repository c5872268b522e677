#include "serial/win32/win32_port_lister.h"

#include <windows.h>

#include <utility>

#include "serial/win32/win32_port_details.h"
#include "serial/win32/win32_serial_port.h"

namespace tamlo {

bool dosDeviceExists(const std::string& name) {
    char target[1024];
    return QueryDosDeviceA(name.c_str(), target, sizeof target) != 0;
}

Win32PortLister::Win32PortLister()
    : ownApi_(std::make_unique<SystemCommApi>()), api_(*ownApi_), exists_(dosDeviceExists) {}

Win32PortLister::Win32PortLister(CommApi& api, DeviceExists exists)
    : api_(api), exists_(std::move(exists)) {}

std::vector<std::string> Win32PortLister::portNames() {
    std::vector<std::string> names;
    names.reserve(kHighestComPort);
    for (int n = 1; n <= kHighestComPort; ++n) {
        names.push_back("COM" + std::to_string(n));
    }
    return names;
}

std::vector<PortDetails> Win32PortLister::describe(const std::vector<std::string>& names) {
    return describeWin32Ports(names);
}

PortOpening Win32PortLister::inspect(std::string_view name) {
    PortOpening opening;
    if (!exists_(std::string(name))) {
        opening.refusal = OpenRefusal::Missing;
    }
    return opening;
}

PortOpening Win32PortLister::probe(std::string_view name) {
    return Win32SerialPort(api_).openPort(name);  // closed as the probe ends
}

}  // namespace tamlo
