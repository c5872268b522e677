// tamlo serve: the service on its address until the user stops it.
#pragma once

#include <string>
#include <vector>

#include "cli/command_context.h"

namespace tamlo::serve {

int commandServe(cli::CommandContext& run, const std::vector<std::string>& ports);

}  // namespace tamlo::serve
