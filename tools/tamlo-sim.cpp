// tamlo-sim: a simulated TamloX receiver on a pseudo-terminal.
//
// Prints the device path as its first line on standard output, then serves until SIGINT
// or SIGTERM, logging every command it hears on standard error.
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/options.h"
#include "sim/pty_server.h"

int main(int argc, char** argv) {
    using namespace tamlo::sim;
    const std::vector<std::string> args(argv + 1, argv + argc);
    SimOptions options;
    std::string error;
    if (!parseSimOptions(args, options, error)) {
        std::fprintf(stderr, "tamlo-sim: %s\nTry 'tamlo-sim --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(simUsage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("tamlo-sim " TAMLO_VERSION
                  "\n"
                  "Copyright (c) 2026 the Tamlo configurator developers; MIT licence.");
        return 0;
    }

    // The signals are taken by sigwait below; blocked before the server's thread starts
    // so that it inherits the mask and never receives them itself.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

    PtyServer server(options.receiver);
    server.setLinkPath(options.linkPath);
    server.setLogSink([](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    });
    if (!server.start(error)) {
        std::fprintf(stderr, "tamlo-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.devicePath().c_str());
    std::fflush(stdout);
    const ReceiverSettings& r = options.receiver;
    std::fprintf(stderr, "tamlo-sim: firmware %s (generation %d), fault %s, on %s\n",
                 r.version.c_str(), tamlo::firmwareGeneration(tamlo::firmwareCodeOf(r.version)),
                 std::string(faultName(r.fault)).c_str(), server.devicePath().c_str());
    std::fflush(stderr);

    int received = 0;
    sigwait(&endSignals, &received);
    server.stop();
    std::fprintf(stderr, "tamlo-sim: ended by signal %d\n", received);
    return 0;
}
