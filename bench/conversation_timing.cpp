// LOAD and STORE in real time: the configurator on the POSIX port and the real clock,
// talking to the simulated receiver on a pseudo-terminal, once per firmware generation.
// Each handler's wall time is set against the waits the protocol prescribes for what it
// actually sent. Prints table rows; notes go to standard error. Fails on nothing.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/configurator.h"
#include "app/form.h"
#include "figures.h"
#include "nominal_waits.h"
#include "serial/linux/linux_port_lister.h"
#include "serial/linux/posix_serial_port.h"
#include "serial/linux/real_clock.h"
#include "sim/pty_server.h"
#include "ui/memory_window.h"

namespace {

using namespace tamlo;
using namespace tamlo::bench;
using SteadyClock = std::chrono::steady_clock;

constexpr double kTargetRatio = 1.005;

struct Generation {
    int number;
    const char* version;
};

// Versions as the receivers in the field report them, one for each generation.
constexpr Generation kGenerations[] = {{1, "1.50"}, {2, "1.90"}, {3, "2.05"}};

struct HandlerRuns {
    HandlerRuns(const char* handlerName, int id) : name(handlerName), controlId(id) {}

    const char* name;
    int controlId;
    std::vector<double> wallMs;
    std::vector<double> ratios;
    std::vector<double> oversleptMs;  // the pauses' own overshoot
    std::vector<double> awakeMs;      // everything done outside the pauses
    int64_t nominalMs = 0;            // of the last run; every run sends the same texts
    int commands = 0;
    int pacedCharacters = 0;
    std::vector<std::string> notes;
};

void note(HandlerRuns& runs, const std::string& text) {
    for (const std::string& existing : runs.notes) {
        if (existing == text) {
            return;
        }
    }
    runs.notes.push_back(text);
}

void runOnce(Configurator& app, MemoryWindow& window, const Generation& generation,
             RecordingClock& clock, HandlerRuns& runs) {
    // What the conversation prescribes: LOAD by the generation, STORE by the form it sends.
    const ConversationWaits nominal = runs.controlId == ids::LoadButton
                                          ? loadWaits(generationTraits(generation.number))
                                          : storeWaits(app.state().settings[firmwareCode],
                                                       readStoreForm(window, app.state()).request);
    clock.reset();
    const size_t messagesBefore = window.messages().size();
    const auto start = SteadyClock::now();
    app.dispatch(runs.controlId);
    const double wallMs =
        std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();

    runs.wallMs.push_back(wallMs);
    const double sleptMs = static_cast<double>(clock.sleptNs()) / 1e6;
    runs.oversleptMs.push_back(sleptMs - static_cast<double>(clock.requestedMs()));
    runs.awakeMs.push_back(wallMs - sleptMs);
    runs.nominalMs = nominal.totalMs;
    runs.commands = nominal.commands;
    runs.pacedCharacters = nominal.pacedCharacters;
    if (nominal.totalMs > 0) {
        runs.ratios.push_back(wallMs / static_cast<double>(nominal.totalMs));
    }
    // A run that went wrong would time something else than a conversation.
    if (clock.requestedMs() != nominal.totalMs) {
        note(runs, format("the waits requested (%lld ms) differ from the nominal sum (%lld ms)",
                          static_cast<long long>(clock.requestedMs()),
                          static_cast<long long>(nominal.totalMs)));
    }
    if (window.messages().size() != messagesBefore) {
        note(runs, "a message was shown: " + window.messages().back().second);
    }
}

void printRuns(const Generation& generation, const HandlerRuns& runs) {
    const Summary wall = summarize(runs.wallMs);
    const Summary ratio = summarize(runs.ratios);
    const std::string figure =
        format("%s, generation %d (firmware %s)", runs.name, generation.number, generation.version);
    const std::string measured = format(
        "ratio %.4f median, %.4f worst: %.1f / %.1f ms against %lld ms nominal "
        "(%d commands, %d paced characters; %zu runs); beyond nominal: pauses' overshoot "
        "%.1f ms, work %.1f ms (medians)",
        ratio.median, ratio.worst, wall.median, wall.worst, static_cast<long long>(runs.nominalMs),
        runs.commands, runs.pacedCharacters, wall.count, summarize(runs.oversleptMs).median,
        summarize(runs.awakeMs).median);
    printRow(figure, measured, format("ratio <= %.3f", kTargetRatio),
             metText(ratio.count > 0 && ratio.worst <= kTargetRatio));
    for (const std::string& text : runs.notes) {
        std::fprintf(stderr, "%s: %s\n", figure.c_str(), text.c_str());
    }
}

void benchGeneration(const Generation& generation, int runCount) {
    sim::ReceiverSettings receiver;
    receiver.version = generation.version;
    sim::PtyServer server(receiver);
    std::string error;
    if (!server.start(error)) {
        std::fprintf(stderr, "LOAD/STORE generation %d not measured: %s\n", generation.number,
                     error.c_str());
        printRow(format("LOAD and STORE, generation %d", generation.number), "not measured", "",
                 "-");
        return;
    }

    PosixPortOptions options;
    options.leadingDevices = {server.devicePath()};
    options.discover = false;  // the machine's own ports play no part here
    PosixSerialPort port(options);
    LinuxPortLister lister(options);
    RealClock realClock;
    RecordingClock clock(realClock);
    MemoryWindow window;
    Configurator app(window, port, lister, clock);
    app.startUp();
    window.choosePortEntry(server.devicePath());
    app.dispatch(ids::PortList);

    HandlerRuns load("LOAD", ids::LoadButton);
    HandlerRuns store("STORE", ids::StoreButton);
    if (!port.isPortOpen()) {
        note(load, "the simulated receiver's port did not open");
    }
    // STORE writes back what LOAD has put in the form, as a user would.
    for (int run = 0; run < runCount; ++run) {
        runOnce(app, window, generation, clock, load);
        runOnce(app, window, generation, clock, store);
    }
    printRuns(generation, load);
    printRuns(generation, store);
    server.stop();
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    if (argc > 1) {
        runs = std::max(1, std::atoi(argv[1]));
    }
    for (const Generation& generation : kGenerations) {
        benchGeneration(generation, runs);
    }
    return 0;
}
