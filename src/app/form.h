// The form: the window program's working copy of the receiver's settings. LOAD and the
// read-back after STORE fill it; STORE reads it in one go into plain values.
#pragma once

#include <cstdint>
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

// The generation's settings blocks, with its controls created around them (frame and label
// before "X", field and check boxes after an accepted block); the fields filled unless a
// reply was short (errorCode 1); traceOffset lowered for generations 2 and 3. Returns what
// the blocks were.
SettingsRead readSettingsIntoForm(Line& line, ProcessState& state, Window& window);

// What STORE writes, read from the controls, for the generation of the last LOAD. The
// audio level is present only when an accepted settings block of that generation made
// its field.
StoreValues readForm(Window& window, const ProcessState& state);

}  // namespace tamlo
