#include "serial/linux/linux_ports.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

namespace tamlo {

namespace fs = std::filesystem;

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The attribute files of sysfs hold one line; an unreadable file reads as empty.
std::string readFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

std::optional<int> parseSmallInteger(std::string_view text) {
    int value = 0;
    size_t digits = 0;
    for (char c : text) {
        if (!isDigit(c)) {
            break;
        }
        if (value > 100000) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        ++digits;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return value;
}

// The node under /dev: uevent's DEVNAME, or the entry's name, where sysfs writes '!'
// for a '/' of the device path.
fs::path devicePathOf(const fs::path& entry, const fs::path& devRoot) {
    std::ifstream in(entry / "uevent");
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("DEVNAME=") && line.size() > 8) {
            return devRoot / line.substr(8);
        }
    }
    std::string name = entry.filename().string();
    std::replace(name.begin(), name.end(), '!', '/');
    return devRoot / name;
}

bool leadsIntoVirtualDevice(const fs::path& resolved) {
    for (const fs::path& part : resolved) {
        if (part == "virtual") {
            return true;
        }
    }
    return false;
}

// The 8250 driver binds either the tty's device itself or, since the kernel's serial
// core has its own port devices, one of that device's parents.
bool drivenBy8250(const fs::path& device, const fs::path& sysfsRoot) {
    fs::path current = device;
    for (int depth = 0; depth < 4 && current.has_relative_path(); ++depth) {
        std::error_code error;
        const fs::path driver = fs::canonical(current / "driver", error);
        if (!error && driver.filename() == "serial8250") {
            return true;
        }
        if (current == sysfsRoot || !current.has_parent_path()) {
            break;
        }
        current = current.parent_path();
    }
    return false;
}

// Keys a device by where its name leads, so that /dev/serial/by-id/... and /dev/ttyUSB0
// count as one.
std::string identity(const std::string& path) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(path, error);
    return error ? path : resolved.string();
}

}  // namespace

std::optional<int> queryPortTypeByIoctl(const std::string& devicePath) {
    int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    serial_struct info{};
    std::optional<int> type;
    if (::ioctl(fd, TIOCGSERIAL, &info) == 0) {
        type = info.type;
    }
    ::close(fd);
    return type;
}

std::vector<std::string> findSerialDevices(const fs::path& sysfsRoot, const fs::path& devRoot,
                                           const PortTypeQuery& queryType) {
    std::vector<std::string> found;
    std::error_code error;
    fs::directory_iterator entries(sysfsRoot / "class" / "tty", error);
    if (error) {
        return found;
    }
    for (const fs::directory_entry& entry : entries) {
        const fs::path path = entry.path();
        std::error_code linkError;
        // Consoles, ptys and the like have no device link at all; some drivers put theirs
        // under the virtual tree.
        const fs::path device = fs::canonical(path / "device", linkError);
        if (linkError || leadsIntoVirtualDevice(device.lexically_relative(sysfsRoot))) {
            continue;
        }
        const std::string devicePath = devicePathOf(path, devRoot).string();
        // Serial core publishes the UART type in sysfs, readable without access to the
        // device; a port whose type is unknown has no UART behind it, whatever its driver.
        std::optional<int> type = parseSmallInteger(readFirstLine(path / "type"));
        if (!type && queryType && drivenBy8250(device, sysfsRoot)) {
            type = queryType(devicePath);  // older kernels: ask the device itself
        }
        if (type && *type == PORT_UNKNOWN) {
            continue;
        }
        found.push_back(devicePath);
    }
    std::sort(found.begin(), found.end(),
              [](const std::string& a, const std::string& b) { return naturalLess(a, b); });
    return found;
}

bool naturalLess(std::string_view a, std::string_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            size_t endA = i;
            size_t endB = j;
            while (endA < a.size() && isDigit(a[endA])) {
                ++endA;
            }
            while (endB < b.size() && isDigit(b[endB])) {
                ++endB;
            }
            // Leading zeros do not change the value; they only break a tie below.
            size_t startA = i;
            size_t startB = j;
            while (startA + 1 < endA && a[startA] == '0') {
                ++startA;
            }
            while (startB + 1 < endB && b[startB] == '0') {
                ++startB;
            }
            const std::string_view digitsA = a.substr(startA, endA - startA);
            const std::string_view digitsB = b.substr(startB, endB - startB);
            if (digitsA.size() != digitsB.size()) {
                return digitsA.size() < digitsB.size();
            }
            if (digitsA != digitsB) {
                return digitsA < digitsB;
            }
            if (endA - i != endB - j) {
                return endA - i < endB - j;
            }
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> mergePortNames(const std::vector<std::string>& leading,
                                        const std::vector<std::string>& discovered,
                                        const std::vector<std::string>& named) {
    std::vector<std::string> result;
    std::set<std::string> seen;
    for (const std::string& name : leading) {
        if (seen.insert(identity(name)).second) {
            result.push_back(name);
        }
    }
    std::vector<std::string> rest;
    // Named devices go in before the discovered ones so that a device found under both
    // names keeps the user's spelling.
    for (const std::vector<std::string>* list : {&named, &discovered}) {
        for (const std::string& name : *list) {
            if (seen.insert(identity(name)).second) {
                rest.push_back(name);
            }
        }
    }
    std::stable_sort(rest.begin(), rest.end(),
                     [](const std::string& a, const std::string& b) { return naturalLess(a, b); });
    result.insert(result.end(), rest.begin(), rest.end());
    return result;
}

}  // namespace tamlo
