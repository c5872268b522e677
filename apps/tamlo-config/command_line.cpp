#include "tamlo-config/command_line.h"

#include "sim/options.h"

namespace tamlo {

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            if (!arg.empty()) {
                result.devices.push_back(arg);
            }
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            result.help = true;
        } else if (arg == "--version") {
            result.version = true;
        } else if (arg == "--log" || arg.starts_with("--log=")) {
            const bool joined = arg.size() > 5;
            if (!joined && i + 1 < args.size()) {
                result.logFile = args[++i];
            } else if (joined) {
                result.logFile = arg.substr(6);
            }
            if (result.logFile.empty()) {
                result.unknown.push_back(arg);
                result.problems.push_back("--log needs a file name");
            }
        } else if (arg == "--exit-when-shown") {
            result.exitWhenShown = true;
        } else if (arg == "--simulate") {
            result.simulate = true;
        } else if (arg.starts_with("--simulate=")) {
            const std::string version = arg.substr(11);
            if (const std::string problem = firmwareVersionProblem(version); problem.empty()) {
                result.simulate = true;
                result.simulatedVersion = version;
            } else {
                result.unknown.push_back(arg);
                result.problems.push_back(problem);
            }
        } else {
            result.unknown.push_back(arg);
            result.problems.push_back("unknown option '" + arg + "'");
        }
    }
    return result;
}

std::string usageText() {
    return "Usage: tamlo-config [--simulate[=VERSION]] [--exit-when-shown] [--log FILE]\n"
           "                    [DEVICE ...]\n"
           "Configures a TamloX receiver over its serial line.\n"
           "\n"
           "  DEVICE               a serial device to list besides the ports found on this\n"
           "                       machine, e.g. /dev/serial/by-id/... or a pseudo-terminal\n"
           "  --simulate[=VERSION] run a simulated receiver with that firmware version\n"
           "                       (default " +
           std::string(kDefaultSimulatedVersion) +
           "), list its device first and choose it\n"
           "  --exit-when-shown    print 'shown' and the monotonic clock in nanoseconds when\n"
           "                       the window first paints, then exit (times start-up)\n"
           "  --log FILE           append every byte sent and received, with its time in\n"
           "                       milliseconds, to FILE (for support cases)\n"
           "  --help               show this text and exit\n"
           "  --version            show the program's version and exit\n";
}

}  // namespace tamlo
