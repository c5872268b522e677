#include "sim/options.h"

#include <charconv>
#include <cstdint>
#include <string_view>
#include <system_error>

#include "protocol/settings.h"

namespace tamlo::sim {
namespace {

bool parseWhole(const std::string& text, int64_t low, int64_t high, int32_t& value) {
    int64_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, parsed);
    if (text.empty() || error != std::errc{} || stop != end || parsed < low || parsed > high) {
        return false;
    }
    value = static_cast<int32_t>(parsed);
    return true;
}

bool parseSwitch(const std::string& text, bool& value) {
    if (text != "0" && text != "1") {
        return false;
    }
    value = text == "1";
    return true;
}

constexpr std::string_view kSettings[] = {"firmware", "version",   "ch1", "ch2",       "ch3",
                                          "ch4",      "ch5",       "ch6", "threshold", "current",
                                          "audio",    "diversity", "lna", "rssi",      "fault"};

bool knownSetting(std::string_view name) {
    for (const std::string_view known : kSettings) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool setReceiverOption(ReceiverSettings& receiver, std::string_view name, const std::string& value,
                       std::string& error) {
    if (!knownSetting(name)) {
        error = "unknown receiver setting '" + std::string(name) + "'";
        return false;
    }
    bool ok = false;
    if (name == "firmware" || name == "version") {
        ok = validFirmwareVersion(value);
        if (ok) {
            receiver.version = value;
        }
    } else if (name.rfind("ch", 0) == 0) {
        const auto channel = static_cast<size_t>(name[2] - '1');
        ok = parseMegahertz(value, receiver.channelCode[channel]);
    } else if (name == "threshold") {
        ok = parseWhole(value, INT32_MIN, INT32_MAX, receiver.threshold);
    } else if (name == "current") {
        ok = parseWhole(value, 0, 99, receiver.currentChannel);
    } else if (name == "audio") {
        ok = parseWhole(value, 0, 255, receiver.audioLevel);
    } else if (name == "diversity") {
        ok = parseSwitch(value, receiver.diversity);
    } else if (name == "lna") {
        ok = parseSwitch(value, receiver.lna);
    } else if (name == "rssi") {
        ok = parseWhole(value, INT32_MIN, INT32_MAX, receiver.rssi);
    } else if (name == "fault") {
        Fault fault = Fault::None;
        int32_t parameter = 0;
        ok = parseFault(value, fault, parameter);
        if (ok) {
            receiver.fault = fault;
            if (fault == Fault::CutOff) {
                receiver.cutAfter = parameter;
            } else if (fault == Fault::Late) {
                receiver.lateMs = parameter;
            } else if (fault == Fault::UnplugAfter) {
                receiver.unplugAfter = parameter;
            }
        }
    }
    if (!ok) {
        error = "invalid value '" + value + "'";
    }
    return ok;
}

bool parseMegahertz(const std::string& text, int32_t& channelCode) {
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    std::string decimals = point == std::string::npos ? "" : text.substr(point + 1);
    if (whole.empty() || decimals.size() > 3 || (point != std::string::npos && decimals.empty())) {
        return false;
    }
    for (const char c : whole + decimals) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    decimals.append(3 - decimals.size(), '0');
    int32_t megahertz = 0;
    int32_t kilohertz = 0;
    if (!parseWhole(whole, 130, 139, megahertz) || !parseWhole(decimals, 0, 999, kilohertz)) {
        return false;
    }
    channelCode = static_cast<int32_t>(int64_t{megahertz} * 1000 + kilohertz - kChannelBaseKhz);
    return true;
}

std::string simUsage() {
    return "usage: tamlo-sim [options]\n"
           "Runs a simulated TamloX receiver on a pseudo-terminal. The first line on\n"
           "standard output is the device to open; every command heard is logged on\n"
           "standard error. SIGINT or SIGTERM ends it.\n"
           "\n"
           "  --firmware VERSION  version reported to \"V\" (default 2.05; up to 1.80 is\n"
           "                      the first generation, 1.82 to 1.99 the second)\n"
           "  --ch1 .. --ch6 MHz  channel frequencies, e.g. 138.500 (130.000 to 139.999)\n"
           "  --threshold N       threshold (default 45)\n"
           "  --current N         current channel, 0 to 99 (default 1)\n"
           "  --audio N           audio level, 0 to 255 (default 7)\n"
           "  --diversity 0|1     diversity switch (default 0)\n"
           "  --lna 0|1           LNA supply (default 1)\n"
           "  --rssi N            signal strength reported to \"R\" (default 40)\n"
           "  --fault NAME[:N]    none, silent, noecho, noise, cut[:CHARACTERS],\n"
           "                      late[:MS], unplugged, unplug[:BYTES] (the cable comes\n"
           "                      out after that many bytes heard)\n"
           "  --link PATH         also make a symbolic link at PATH to the device\n"
           "  --help              this text\n"
           "  --version           the program's version and licence\n";
}

bool parseSimOptions(const std::vector<std::string>& args, SimOptions& options,
                     std::string& error) {
    ReceiverSettings& receiver = options.receiver;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        const size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            hasValue = true;
        }
        if (name == "--help" || name == "-h" || name == "--version") {
            if (hasValue) {
                error = name + " takes no value";
                return false;
            }
            (name == "--version" ? options.version : options.help) = true;
            continue;
        }
        if (name == "--link") {
            if (!hasValue) {
                if (i + 1 >= args.size()) {
                    error = "option --link needs a value";
                    return false;
                }
                value = args[++i];
            }
            if (value.empty()) {
                error = "invalid value '' for --link";
                return false;
            }
            options.linkPath = value;
            continue;
        }
        if (name.rfind("--", 0) != 0 || name == "--version" || !knownSetting(name.substr(2))) {
            error = "unknown option '" + args[i] + "'";
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        std::string why;
        if (!setReceiverOption(receiver, name.substr(2), value, why)) {
            error = why + " for " + name;
            return false;
        }
    }
    return true;
}

}  // namespace tamlo::sim
