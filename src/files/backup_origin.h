// Whether a backup is about to go back to the receiver it was read from: the command line's
// write and the window's Open say so alike when it is not.
#pragma once

#include <string>
#include <vector>

#include "files/settings_file.h"
#include "protocol/generation.h"

namespace tamlo {

// How a backup's source differs from the receiver it is about to be written to: another
// USB adapter serial number (where both are known), another firmware generation.
std::vector<std::string> otherReceiver(const SourceInfo& source, const GenerationTraits& traits,
                                       const std::string& firmware,
                                       const std::string& adapterSerial);

}  // namespace tamlo
