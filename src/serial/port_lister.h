// The ports a program may offer, apart from the port that opens and talks: the names the
// system lists, what it tells of each, and whether one is free, all without opening a
// device. Only probe opens one, to try it, and leaves it as it was found. One lister per
// platform: sysfs and /dev/serial/by-id on Linux, SetupAPI and the COM names on Windows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "serial/port_details.h"
#include "serial/port_opening.h"

namespace tamlo {

class PortLister {
  public:
    virtual ~PortLister() = default;

    // The names discovery tries, in the order they are listed. Never the kernel's console.
    virtual std::vector<std::string> portNames() = 0;
    // What the system tells of each name, in the order of the names; a name it knows
    // nothing of keeps only its device.
    virtual std::vector<PortDetails> describe(const std::vector<std::string>& names);
    // What is known against opening name without opening it: missing, not this user's to
    // open, held by another program, the kernel's console. None when nothing is.
    virtual PortOpening inspect(std::string_view name) = 0;
    // Whether name opens with the receiver's line settings, as an open would say; tried
    // with a port of its own and closed again at once, its settings put back. A port that
    // another program holds, as far as the system tells without opening it, and the
    // kernel's console are not opened. Nothing is sent.
    virtual PortOpening probe(std::string_view name) = 0;
};

}  // namespace tamlo
