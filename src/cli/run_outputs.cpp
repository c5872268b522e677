#include "cli/run_outputs.h"

#include <algorithm>

#include "cli/tamlo_program.h"

namespace tamlo::cli {

CheckedStream* RunOutputs::append(const std::string& path, std::string& error) {
    auto stream = std::make_unique<CheckedStream>(path);
    if (stream->failed()) {
        error = stream->failure();
        return nullptr;
    }
    files_.push_back(std::move(stream));
    told_.push_back(false);
    return files_.back().get();
}

bool RunOutputs::ended() const {
    if (standardOutput_ != nullptr &&
        (standardOutput_->failed() || standardOutput_->checkReader())) {
        return true;
    }
    return anyFileFailed();
}

bool RunOutputs::anyFileFailed() const {
    return std::any_of(files_.begin(), files_.end(),
                       [](const std::unique_ptr<CheckedStream>& f) { return f->failed(); });
}

int settleStandardOutput(Platform& platform, int status) {
    platform.out.flush();
    CheckedStream* out = platform.standardOutput;
    if (out == nullptr || !out->failed()) {
        return status;
    }
    // A stop by the user keeps its own status.
    if (out->readerGone()) {
        return status > 128 ? status : kExitReaderGone;
    }
    platform.err << kProgram << ": " << out->name() << ": cannot be written: " << out->failure()
                 << "\n";
    return status == kExitOk ? kExitFailed : status;
}

}  // namespace tamlo::cli
