// The COM ports of a Windows machine, as the programs offer them: COM1 to COM99 in order,
// described through SetupAPI. Whether a name exists is asked of the system's device names
// (QueryDosDevice), which opens nothing; a probe opens the port only to try it, and
// Windows opens no port that another program has open.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "serial/port_lister.h"
#include "serial/win32/comm_api.h"

namespace tamlo {

class Win32PortLister final : public PortLister {
  public:
    // Whether the system has a device of this name ("COM3").
    using DeviceExists = std::function<bool(const std::string& name)>;

    // Talks to Windows.
    Win32PortLister();
    // Probes through api, which must outlive the lister, and asks exists for the names.
    Win32PortLister(CommApi& api, DeviceExists exists);

    // "COM1" to "COM99".
    std::vector<std::string> portNames() override;
    std::vector<PortDetails> describe(const std::vector<std::string>& names) override;
    PortOpening inspect(std::string_view name) override;
    PortOpening probe(std::string_view name) override;

  private:
    std::unique_ptr<CommApi> ownApi_;
    CommApi& api_;
    DeviceExists exists_;
};

// QueryDosDevice knows the name.
bool dosDeviceExists(const std::string& name);

}  // namespace tamlo
