// The receivers of a command-line run, as the service asks them: each exchange runs on the
// run's ports as every command does (a worker a port, the port opened for it and closed
// after it), so apply, write and the window can take a port between two scrapes.
#pragma once

#include <string>
#include <vector>

#include "cli/command_context.h"
#include "serve/watch.h"

namespace tamlo::serve {

class CliReceivers final : public Receivers {
  public:
    CliReceivers(cli::CommandContext& run, std::vector<std::string> ports);
    std::vector<Exchange> exchange(const std::vector<size_t>& ports,
                                   const std::vector<ExchangeKind>& kinds) override;
    int64_t nowMs() override;
    // The ports as the service names and shows them.
    std::vector<PortIdentity> identities();

  private:
    cli::CommandContext& run_;
    std::vector<std::string> ports_;
};

}  // namespace tamlo::serve
