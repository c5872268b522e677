// Which terminal devices of a Linux machine may carry the receiver. The kernel lists every
// tty under /sys/class/tty; most are virtual (consoles, ptys), and a PC's 8250 driver
// registers 32 ttyS nodes of which usually only one or two have a UART behind them.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamlo {

// The UART type the kernel reports for a serial-core port; 0 means no UART was found
// there. Empty when the device cannot be asked.
using PortTypeQuery = std::function<std::optional<int>(const std::string& devicePath)>;

// Asks the device itself (TIOCGSERIAL).
std::optional<int> queryPortTypeByIoctl(const std::string& devicePath);

// The device paths of the ttys under sysfsRoot/class/tty that hang off real hardware,
// without the 8250 nodes that have no UART; in natural order.
std::vector<std::string> findSerialDevices(const std::filesystem::path& sysfsRoot,
                                           const std::filesystem::path& devRoot,
                                           const PortTypeQuery& queryType);

// ttyS2 before ttyS10, ttyUSB0 before ttyUSB1: digit runs compare by value.
bool naturalLess(std::string_view a, std::string_view b);

// The names to probe: leading ones first as given, then the discovered and the named ones
// together in natural order. A device reached under two names is listed once, under the
// name the user gave.
std::vector<std::string> mergePortNames(const std::vector<std::string>& leading,
                                        const std::vector<std::string>& discovered,
                                        const std::vector<std::string>& named);

}  // namespace tamlo
