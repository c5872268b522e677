#include "serial/linux/usb_adapters.h"

#include <fstream>
#include <map>
#include <system_error>

namespace tamlo {

namespace fs = std::filesystem;

namespace {

// A USB device is a few levels above its tty: interface, then device (usb-serial adds a
// port level between).
constexpr int kLevelsToUsbDevice = 6;

std::string attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

fs::path resolved(const fs::path& path) {
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    return error ? path : target;
}

// Where every by-id link leads, read once for all the ports.
std::map<fs::path, fs::path> byIdLinks(const fs::path& devRoot) {
    std::map<fs::path, fs::path> links;
    std::error_code error;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(devRoot / "serial" / "by-id", error)) {
        links.emplace(resolved(entry.path()), entry.path());
    }
    return links;
}

void readUsbDevice(const fs::path& tty, const fs::path& sysfsRoot, PortDetails& details) {
    std::error_code error;
    fs::path dir = fs::canonical(sysfsRoot / "class" / "tty" / tty.filename() / "device", error);
    if (error) {
        return;
    }
    const fs::path root = resolved(sysfsRoot);
    for (int level = 0; level < kLevelsToUsbDevice && dir != root && dir.has_relative_path();
         ++level, dir = dir.parent_path()) {
        if (fs::exists(dir / "idVendor", error)) {
            details.vendorId = attribute(dir / "idVendor");
            details.productId = attribute(dir / "idProduct");
            details.serialNumber = attribute(dir / "serial");
            details.product = attribute(dir / "product");
            return;
        }
    }
}

}  // namespace

std::vector<PortDetails> describeLinuxPorts(const std::vector<std::string>& names,
                                            const fs::path& sysfsRoot, const fs::path& devRoot) {
    const std::map<fs::path, fs::path> links = byIdLinks(devRoot);
    std::vector<PortDetails> result;
    result.reserve(names.size());
    for (const std::string& name : names) {
        PortDetails details;
        const fs::path device = resolved(name);
        details.device = device.string();
        if (const auto link = links.find(device); link != links.end()) {
            details.byId = link->second.string();
        }
        readUsbDevice(device, sysfsRoot, details);
        result.push_back(std::move(details));
    }
    return result;
}

}  // namespace tamlo
