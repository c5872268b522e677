// The form: the window program's working copy of the receiver's settings. LOAD and the
// read-back after STORE fill it; STORE reads it in one go into a request of values.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/state.h"
#include "protocol/identify.h"
#include "protocol/read_settings.h"
#include "protocol/write_settings.h"
#include "serial/exchange.h"
#include "ui/window.h"

namespace tamlo {

// "TamloX, firmware version 2.05   05-Nov-24": the version and, from generation 3 on, the
// build stamp at the end of the reply.
std::string firmwareStatusText(const FirmwareIdentity& identity);

// LOAD's first step: "V", firmwareCode, the status line.
void identifyIntoForm(Line& line, ProcessState& state, Window& window);

// The form's side of a read of the settings blocks, as it goes: the audio frame and label
// before "X" goes out, the field and check boxes once the block was accepted, errorCode 1
// for a short reply, the lowered graph of generations 2 and 3.
class FormReaction final : public SettingsReadObserver {
  public:
    FormReaction(ProcessState& state, Window& window);
    void blockRequested(SettingsBlock block) override;
    void blockAnswered(SettingsBlock block, const BlockReply& reply,
                       const DeviceSettings& settings) override;

  private:
    ProcessState& state_;
    Window& window_;
    const GenerationTraits& traits_;
};

// After a read: the channel and threshold fields show state.settings, unless a reply was
// short (errorCode 1), so the user never sees half a LOAD.
void showSettingsInForm(const ProcessState& state, Window& window);

// The generation's settings blocks, with the form reacting as they go and then showing them.
// Returns what the blocks were.
SettingsRead readSettingsIntoForm(Line& line, ProcessState& state, Window& window);

// What STORE reads from the form: the fields' texts and the check boxes' states.
struct FormFields {
    std::array<std::string, 6> channels;  // "138.500 MHz", "135.1", ...
    std::string threshold;
    // Absent: the user was shown no level and no switches of this receiver.
    std::optional<std::string> audioLevel;
    int32_t diversity = 0;  // 1 checked, 0 unchecked
    int32_t lnaSupply = 0;
};

// The request that STORE sends for the fields, and the checks that failed, in the order the
// window makes them: the audio level, channels 1 to 6, the threshold. The window reads
// leniently: a channel is the six characters from the third, and counts only when its
// text begins with "13"; a level or threshold is the number its text begins with, and none
// (a failure, never a zero) when there is no digit or it does not fit in 32 bits. Once a
// check has failed no later channel is sent, though each is checked; a valid threshold is
// sent whatever failed above.
struct FormStore {
    StoreRequest request;
    StoreResult result;
};
FormStore storeOfFields(const GenerationTraits& traits, const FormFields& fields);

// The fields as the form holds them now, for the generation of the last LOAD. The audio
// level is present only when an accepted settings block of that generation made its field.
FormFields readFormFields(Window& window, const ProcessState& state);
// Both in one: what STORE reads from the form now.
FormStore readStoreForm(Window& window, const ProcessState& state);

}  // namespace tamlo
