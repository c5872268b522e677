// The one STORE transaction that every front end runs: the write, then the read-back judged
// by the read-back rule, with one outcome that each front end words in its own way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/read_back.h"
#include "protocol/read_settings.h"
#include "protocol/settings.h"
#include "protocol/write_settings.h"
#include "serial/exchange.h"

namespace tamlo {

struct StoreReadBack {
    DeviceSettings settings;  // as read back
    SettingsRead read;
    // The system's words for a write the line refused during the read-back; empty when none.
    std::string lineFailure;
    // The fields that do not hold what was sent, by the read-back rule; compared only when
    // the read was accepted.
    std::vector<SettingField> differences;
};

// What became of one STORE.
struct StoreOutcome {
    StoreScript script;    // its failures: the request was refused, nothing was sent
    bool begun = false;    // the front end let the write begin
    bool stopped = false;  // the front end stopped it at once, part-way or after its last byte
    int64_t sent = 0;      // bytes the line took
    // The system's words for a write the line refused during the write; empty when none.
    std::string writeFailure;
    std::optional<StoreReadBack> readBack;  // absent: not read back
    // What the receiver surely holds of the write: "channel 3", empty when nothing whole.
    std::string lastWholeStep() const { return script.lastWholeStep(sent); }
};

// What a front end does around the transaction. The window shows its message and "ready"
// before the read-back and makes its controls as the read goes; the command line shows
// progress, honours a stop and verifies on request.
class StoreHooks {
  public:
    virtual ~StoreHooks() = default;
    // The script is about to be sent; false: it is not (the user asked to stop).
    virtual bool beginWrite(const StoreScript&) { return true; }
    // After each transmission; false: nothing more is sent, and nothing is read back.
    virtual bool keepWriting() { return true; }
    // The write is over; returns the bytes the line took, where the front end counts them
    // (handed: the bytes the transaction handed to the line).
    virtual int64_t endWrite(int64_t handed) { return handed; }
    // False: no read-back (not asked for, a stop, a line that failed).
    virtual bool beginReadBack(const StoreOutcome&) { return true; }
    // Told what the read-back does as it goes.
    virtual SettingsReadObserver* readObserver() { return nullptr; }
};

// STORE and the read-back, for the generation of held[firmwareCode]; a read-back that comes
// back short leaves the slots it did not reach as held has them. A write is never
// acknowledged: what the line did is known only from the port's words and the read-back.
StoreOutcome writeAndVerify(Line& line, const DeviceSettings& held, const StoreRequest& request,
                            StoreHooks& hooks);

}  // namespace tamlo
