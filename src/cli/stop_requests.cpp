// The user's requests to stop (Ctrl-C, SIGTERM, SIGHUP) while the workers run: the first
// lets every STORE under way finish and starts none, and says which ports are still writing;
// the second stops at once. The workers see the requests themselves (FleetProgress); this is
// what the run says of them and the exit status they give. How the process ends when a
// worker does not stop is the program's decision, not the run's.
#include <cstdio>

#include "cli/command_context.h"
#include "cli/terminal.h"

namespace tamlo::cli {

namespace {

std::string stopWords(int signal) {
    switch (signal) {
        case 1:
            return "hung up";
        case 15:
            return "terminated";
        default:
            return "interrupted";
    }
}

}  // namespace

void CommandContext::tick(FleetProgress& progress, ProgressBars* bars) {
    // An output that failed (or lost its reader) ends the run as a first stop request
    // does, without a word here: what is under way on the receivers is finished.
    if (outputs_.ended() && !progress.cancelled()) {
        progress.cancel();
    }
    const int requests = platform_.stopRequests != nullptr ? platform_.stopRequests->load() : 0;
    if (requests >= 1 && !toldStop_) {
        toldStop_ = true;
        const std::vector<FleetProgress::Writing> writing = progress.cancel();
        if (bars != nullptr) {
            bars->clear();
        }
        const int signal = platform_.stopSignal != nullptr ? platform_.stopSignal->load() : 2;
        std::string text = stopWords(signal);
        if (!writing.empty()) {
            text += ": finishing the write to";
            for (size_t i = 0; i < writing.size(); ++i) {
                char left[32];
                std::snprintf(left, sizeof left, " (%.1f s)", writing[i].leftMs / 1000.0);
                text += (i == 0 ? " " : ", ") + writing[i].port + left;
            }
            text += "; the other ports are skipped; Ctrl-C again stops at once";
        }
        err() << kProgram << ": " << text << "\n";
        err().flush();
    }
    if (requests >= 2 && !toldAbort_) {
        toldAbort_ = true;
        progress.abort();
        err() << kProgram << ": stopping at once\n";
        err().flush();
    }
    if (bars != nullptr) {
        bars->draw(progress.rows());
    }
}

int CommandContext::stoppedStatus() const {
    const int signal = platform_.stopSignal != nullptr ? platform_.stopSignal->load() : 0;
    return signal > 0 ? 128 + signal : kExitInterrupted;
}

}  // namespace tamlo::cli
