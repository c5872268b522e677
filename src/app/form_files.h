// The form kept in a settings file and put back, with the files of the command line (TOML,
// or JSON by the name's extension): a technician keeps a receiver's settings and restores
// them after a repair without a terminal. Nothing here talks to the receiver.
#pragma once

#include <string>

#include "app/state.h"
#include "files/file_store.h"
#include "ui/window.h"

namespace tamlo {

// Saves what STORE would send now: the form read once, as STORE reads it, with the version
// of the last LOAD and the port it came through. A field that would fail STORE's checks
// (or that no file can hold) is named, and nothing is written; the file is written whole
// or not at all.
void saveForm(Window& window, const ProcessState& state, FileStore& files);

// Fills the form's fields from a file the user chooses, sending nothing: STORE writes them.
// A file with errors leaves the form as it was; keys whose controls the form of the last
// LOAD's generation does not have are named in one message, and so is a file read from
// another generation than the last LOAD's, or through another USB adapter than the one of
// its port (adapterSerial, where known).
void openIntoForm(Window& window, const ProcessState& state, FileStore& files,
                  const std::string& adapterSerial);

}  // namespace tamlo
