// The byte log of --log: opened (appended to) before anything is sent, and headed by the
// time, the program and its version, the command and its ports once the ports are known.
#include "cli/command_context.h"

namespace tamlo::cli {

#ifndef TAMLO_VERSION
#define TAMLO_VERSION "unknown"
#endif

bool CommandContext::openLog(int& status) {
    if (options_.log.empty()) {
        return true;
    }
    std::string why;
    logFile_ = outputs_.append(options_.log, why);
    if (logFile_ == nullptr) {
        error("cannot be written: " + why, options_.log);
        status = kExitUsage;
        return false;
    }
    return true;
}

void CommandContext::startLog(const std::vector<std::string>& ports) {
    if (!logFile_ || log_) {
        return;
    }
    std::string names;
    for (const std::string& port : ports) {
        names += " " + port;
    }
    *logFile_ << "# " << platform_.isoNow() << "  " << kProgram << " " << TAMLO_VERSION << "  "
              << options_.command << names << std::endl;
    log_ = std::make_unique<SerialLog>(*logFile_);
    fleet_.log = log_.get();
}

}  // namespace tamlo::cli
