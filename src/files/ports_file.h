// Names for ports, in /etc/tamlo/ports.toml and the user's own ports.toml:
//
//   default = "mast-north"                    the port of a command that names none
//   mast-north = { serial = "A10K3QXZ" }      the USB adapter with this serial number
//   mast-south = { device = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3QY1-if00-port0" }
//   bench = "/dev/ttyS0"                      short for { device = "/dev/ttyS0" }
//
// A name is what a backup is saved as and what every report says, so it is kept to letters,
// digits, '-', '_' and '.', and begins with a letter or digit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/settings_file.h"

namespace tamlo {

// A site's names for its ports may run to many thousands (10,000 take some 360 KB).
inline constexpr int64_t kMaxPortsFileBytes = 4 * 1024 * 1024;

struct PortName {
    std::string name;
    std::string device;  // a device path (a by-id link included); empty when by serial
    std::string serial;  // a USB adapter's serial number; empty when by device
};

struct PortsFile {
    std::vector<PortName> names;  // by name
    std::string defaultPort;      // a name or a device; empty: none
    const PortName* find(std::string_view name) const;
};

struct PortsFileParse {
    PortsFile ports;
    std::vector<FileError> errors;
};

PortsFileParse parsePortsFile(std::string_view text, const std::string& fileName);
// A later file wins: its names replace the earlier ones of the same name, and its default
// the earlier default.
void mergePortsFile(PortsFile& into, const PortsFile& later);
// Why text cannot be a port's name, or empty when it can.
std::string portNameProblem(std::string_view text);

}  // namespace tamlo
