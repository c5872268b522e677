#include "serial/win32/win32_port_details.h"

#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <map>

namespace tamlo {

namespace {

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string registryProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    char buffer[512] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, &type,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer - 1,
                                           nullptr)) {
        return {};
    }
    return buffer;
}

std::string portNameOf(HDEVINFO set, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) {
        return {};
    }
    char buffer[64] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const LONG status =
        RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? upper(buffer) : std::string();
}

// Every present device of the Ports class, by its COM name.
std::map<std::string, PortDetails> presentPorts() {
    std::map<std::string, PortDetails> ports;
    HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return ports;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        const std::string name = portNameOf(set, device);
        if (name.empty()) {
            continue;
        }
        PortDetails details;
        details.device = name;
        details.product = registryProperty(set, device, SPDRP_DEVICEDESC);
        char instance[512] = {};
        if (SetupDiGetDeviceInstanceIdA(set, &device, instance, sizeof instance - 1, nullptr)) {
            readUsbInstanceId(instance, details);
        }
        ports[name] = std::move(details);
    }
    SetupDiDestroyDeviceInfoList(set);
    return ports;
}

std::string hexAfter(const std::string& text, const std::string& tag) {
    const size_t at = text.find(tag);
    if (at == std::string::npos) {
        return {};
    }
    std::string digits;
    for (size_t i = at + tag.size();
         i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])); ++i) {
        digits += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    }
    return digits.size() == 4 ? digits : std::string();
}

}  // namespace

void readUsbInstanceId(const std::string& instanceId, PortDetails& details) {
    const std::string id = upper(instanceId);
    if (!id.starts_with("USB\\")) {
        return;
    }
    details.vendorId = hexAfter(id, "VID_");
    details.productId = hexAfter(id, "PID_");
    const size_t last = instanceId.rfind('\\');
    const std::string serial = instanceId.substr(last + 1);
    if (last > 4 && !serial.empty() && serial.find('&') == std::string::npos) {
        details.serialNumber = serial;
    }
}

std::vector<PortDetails> describeWin32Ports(const std::vector<std::string>& names) {
    const std::map<std::string, PortDetails> present = presentPorts();
    std::vector<PortDetails> result;
    for (const std::string& name : names) {
        const auto found = present.find(upper(name));
        if (found != present.end()) {
            result.push_back(found->second);
        } else {
            PortDetails details;
            details.device = upper(name);  // COM names are the same in any case
            result.push_back(std::move(details));
        }
    }
    return result;
}

}  // namespace tamlo
