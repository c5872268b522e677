// tamlo-script: the whole program, headless, against the simulated receiver in virtual
// time. One action a line on standard input; a deterministic report on standard output.
// Golden session scripts are checked in beside their expected reports.
#include <iostream>
#include <string>

#include "session_runner.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        std::cerr << "usage: tamlo-script < SESSION\n"
                     "Runs the configurator headless against the simulated receiver, one action\n"
                     "a line (receiver, ports, choose, load, store, quit, trace, close, event,\n"
                     "type, check, tick, wait, form, layout, messages, wire, state, stored,\n"
                     "image, pixel); '#' begins a comment.\n";
        return std::string(argv[1]) == "--help" ? 0 : 2;
    }
    tamlo::runSession(std::cin, std::cout);
    return 0;
}
