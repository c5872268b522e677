// File names that the programs make themselves (a backup into a folder is named after its
// port), kept to names that every system takes for a plain file, so that a backup folder
// copied between Linux and Windows keeps its names.
#pragma once

#include <string>
#include <string_view>

namespace tamlo {

// Whether Windows takes fileName (no folder) for a device, as it takes "COM7.toml" for the
// serial port COM7: CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9, LPT0-LPT9 and COM or LPT
// with a superscript 1, 2 or 3 (as Latin-1 or UTF-8), in any case, with any extension and
// with blanks before it.
bool isWindowsDeviceName(std::string_view fileName);

// fileName as every system keeps it: a device name gets '_' after its first part
// ("COM7.toml" -> "COM7_.toml", "nul" -> "nul_"), and a trailing dot or blank, which Windows
// drops, becomes '_'. Any other name is returned as it is.
std::string portableFileName(std::string fileName);

}  // namespace tamlo
