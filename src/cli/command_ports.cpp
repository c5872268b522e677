// tamlo ports: the ports that open.
#include "cli/command_context.h"
#include "text/latin1.h"

namespace tamlo::cli {

int commandPorts(CommandContext& run) {
    const std::vector<std::string> names = run.openablePorts();
    if (run.options().json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const std::string& name : names) {
            list.push_back(latin1ToUtf8(name));
        }
        run.out() << jsonText(list) << "\n";
    } else {
        for (const std::string& name : names) {
            run.out() << name << "\n";
        }
    }
    return kExitOk;
}

}  // namespace tamlo::cli
