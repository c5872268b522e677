// The ports of a Linux machine, as the programs offer them: the devices sysfs shows with
// hardware behind them, the ones the user named, and the simulated receiver's, described
// from sysfs and /dev/serial/by-id, and judged free or held from /proc and /var/lock.
// Listing opens nothing; a probe opens only a device that no other program holds, and
// puts its settings back. The kernel's console is never listed and never probed.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "serial/linux/posix_serial_port.h"
#include "serial/port_lister.h"

namespace tamlo {

class LinuxPortLister final : public PortLister {
  public:
    explicit LinuxPortLister(PosixPortOptions options = {});

    std::vector<std::string> portNames() override;
    std::vector<PortDetails> describe(const std::vector<std::string>& names) override;
    PortOpening inspect(std::string_view name) override;
    PortOpening probe(std::string_view name) override;

  private:
    bool isConsole(const std::string& path) const;

    PosixPortOptions options_;
};

// The devices the kernel writes its console to (/sys/class/tty/console/active: "tty0
// ttyS0"), as paths under devRoot.
std::vector<std::string> consoleDevices(const std::filesystem::path& sysfsRoot,
                                        const std::filesystem::path& devRoot);

}  // namespace tamlo
