#include "tamlo-config/refused_ports.h"

#include <algorithm>

#include "tamlo-config/command_line.h"

namespace tamlo {

std::string refusedPortNotices(const std::vector<PortRefusal>& refused,
                               const std::vector<std::string>& namedDevices) {
    std::string notices;
    for (const PortRefusal& port : refused) {
        const bool named =
            std::find(namedDevices.begin(), namedDevices.end(), port.name) != namedDevices.end();
        if (named || port.opening.refusal == OpenRefusal::Permission) {
            notices += std::string(kProgramName) + ": " + port.name + ": " +
                       describeRefusal(port.opening) + "\n";
        }
    }
    return notices;
}

}  // namespace tamlo
