// The ports files of a run, the system's first: a later file's names win. An error in one
// stops the run before anything is opened.
#include "cli/command_context.h"

namespace tamlo::cli {

bool CommandContext::readPortsFiles(int& status) {
    for (const std::string& path : platform_.portsFiles) {
        // The names choose the devices written to, so a file that another user may change
        // is refused, as ssh refuses such a configuration.
        if (const std::string distrust = platform_.files.notTrusted(path); !distrust.empty()) {
            error(distrust, path);
            status = kExitUsage;
            return false;
        }
        const FileText read = platform_.files.read(path, kMaxPortsFileBytes);
        if (read.missing) {
            continue;
        }
        if (!read.ok()) {
            error("cannot be read: " +
                      (read.tooLarge ? tooLargeText(kMaxPortsFileBytes, "ports file") : read.error),
                  path);
            status = kExitUsage;
            return false;
        }
        const PortsFileParse parsed = parsePortsFile(read.text, path);
        if (!parsed.errors.empty()) {
            // A misread name could send a backup to the wrong receiver: nothing runs.
            const FileError& first = parsed.errors.front();
            for (const FileError& e : parsed.errors) {
                if (!options_.json) {
                    err() << kProgram << ": " << e.text() << "\n";
                }
            }
            if (options_.json) {
                error(first.message, first.file, first.line, first.column);
            }
            status = kExitUsage;
            return false;
        }
        mergePortsFile(portsFile_, parsed.ports);
    }
    return true;
}

}  // namespace tamlo::cli
