// The stream outputs of one run: the byte log and the CSV files it appends to, and
// standard output. A write the system refuses ends that output and, as soon as what is under
// way on the receivers is done, the run: each failed file is reported once by its name and
// the system's words, and the exit status is 1. A standard output whose reader went away
// (a pipe into head) ends the run quietly, as it ends other tools.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "files/checked_stream.h"

namespace tamlo::cli {

struct Platform;

// The status of a run whose standard output's reader went away: what a shell shows for a
// tool that SIGPIPE ended, on every platform.
inline constexpr int kExitReaderGone = 128 + 13;

class RunOutputs {
  public:
    explicit RunOutputs(CheckedStream* standardOutput) : standardOutput_(standardOutput) {}

    // The file at path, appended to; null when it does not open, with the system's words.
    CheckedStream* append(const std::string& path, std::string& error);
    // An output has failed, or the reader of standard output went away: the run is to end.
    // Safe from any thread.
    bool ended() const;
    // "cannot be written: No space left on device" for each failed file not yet told,
    // through report(file, text); true when any file has failed.
    template <typename Report>
    bool reportFailures(Report report);
    bool anyFileFailed() const;

  private:
    CheckedStream* standardOutput_;
    std::vector<std::unique_ptr<CheckedStream>> files_;
    std::vector<bool> told_;
};

template <typename Report>
bool RunOutputs::reportFailures(Report report) {
    for (size_t i = 0; i < files_.size(); ++i) {
        if (files_[i]->failed() && !told_[i]) {
            told_[i] = true;
            report(files_[i]->name(), "cannot be written: " + files_[i]->failure());
        }
    }
    return anyFileFailed();
}

// At the end of a run: standard output flushed, its failure reported on standard error,
// and the exit status that follows from status.
int settleStandardOutput(Platform& platform, int status);

}  // namespace tamlo::cli
