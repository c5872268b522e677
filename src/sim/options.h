// The command line of tamlo-sim (and of the desktop program's simulated receiver).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "protocol/identify.h"
#include "sim/receiver.h"

namespace tamlo::sim {

struct SimOptions {
    ReceiverSettings receiver;
    std::string linkPath;  // empty: no link
    bool help = false;
    bool version = false;
};

// args without the program name. Options take their value as the next argument or after
// "=" ("--ch1 138.500", "--ch1=138.500"). False, with a one-line reason, on anything it
// does not know or cannot read; options then holds what was read before.
bool parseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);
std::string simUsage();

// A firmware version as a receiver reports it (the protocol's rule): a decimal number such
// as "2.05", so that the program sorts it by its number and no command letter can appear in
// the reply.
using tamlo::validFirmwareVersion;

// One receiver setting by name, the one rule for tamlo-sim's options ("--ch1 138.500",
// name "ch1") and the session runner's receiver lines ("ch1=138.500"): firmware (also
// "version"), ch1 to ch6, threshold, current, audio, diversity, lna, rssi, fault. False,
// with a one-line reason, for an unknown name or a value it cannot take; the settings keep
// what they held then.
bool setReceiverOption(ReceiverSettings& receiver, std::string_view name, const std::string& value,
                       std::string& error);

// "138.500" to kHz above 130 MHz (8500): digits, and at most three decimals after a
// point; 130.000 to 139.999 MHz. False for anything else.
bool parseMegahertz(const std::string& text, int32_t& channelCode);

}  // namespace tamlo::sim
