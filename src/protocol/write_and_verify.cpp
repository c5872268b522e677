#include "protocol/write_and_verify.h"

namespace tamlo {

StoreOutcome writeAndVerify(Line& line, const DeviceSettings& held, const StoreRequest& request,
                            StoreHooks& hooks) {
    const GenerationTraits& traits = firmwareTraits(held[firmwareCode]);
    StoreOutcome outcome;
    outcome.script = planStore(traits, request);
    if (!outcome.script.result.failures.empty() || !hooks.beginWrite(outcome.script)) {
        return outcome;
    }
    outcome.begun = true;
    // Nothing acknowledges a transmission and nothing is read meanwhile: whatever the
    // receiver sends back waits for the read-back's flush.
    int64_t handed = 0;
    for (const StoreStep& step : outcome.script.steps) {
        if (step.paced) {
            sendPaced(line, step.text, step.pauseMs);
            handed += static_cast<int64_t>(step.text.size());
        } else {
            sendCommand(line, step.text);
            ++handed;
        }
        if (!hooks.keepWriting()) {
            outcome.stopped = true;
            break;
        }
    }
    outcome.sent = hooks.endWrite(handed);
    outcome.writeFailure = line.port.writeFailure();
    if (outcome.stopped || !hooks.beginReadBack(outcome)) {
        return outcome;
    }
    StoreReadBack& back = outcome.readBack.emplace();
    back.settings = held;
    back.read = readSettings(line, back.settings, hooks.readObserver());
    if (outcome.writeFailure.empty()) {
        back.lineFailure = line.port.writeFailure();
    }
    if (back.read.accepted()) {
        back.differences =
            readBackDifferences(traits, sentByStore(traits, request), back.settings, back.read);
    }
    return outcome;
}

}  // namespace tamlo
