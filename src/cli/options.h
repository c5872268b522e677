// The command line of `tamlo`: the common options (--simulate[=VERSION], --log FILE, -q,
// --strict, --allow-console, --version), before the command or after it, then a command of the
// table in command_table.cpp with its own options. A PORT is a device or a name from the ports
// files; without one, their default port.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "protocol/identify.h"  // the simulated receiver's default version

namespace tamlo::cli {

inline constexpr std::string_view kProgram = "tamlo";
inline constexpr std::string_view kSimulatedPort = "sim";
inline constexpr int32_t kDefaultIntervalMs = 1000;  // the window's trace period
inline constexpr int32_t kMinIntervalMs = 200;       // a poll itself takes this long
inline constexpr int32_t kMaxIntervalMs = 3'600'000;
inline constexpr int32_t kOwnHolderWaitMs = 2000;  // a port the service holds for a poll

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;  // the command line or a settings file
inline constexpr int kExitInterrupted = 130;

struct Options {
    std::string command;              // its name, for the messages
    const CommandRow* row = nullptr;  // the command to run, as parsed
    PortUse portUse = PortUse::None;  // how this run of it names receivers
    std::vector<std::string> ports;
    bool all = false;
    std::string file;                // write, apply, diff: the settings file
    std::string other;               // diff: the second file
    std::vector<std::string> words;  // set: KEY=VALUE; get: KEY
    std::string output;              // read: -o
    bool json = false;
    bool verify = true;
    bool dryRun = false;
    bool strict = false;
    bool quiet = false;
    bool allowConsole = false;  // -p may name the kernel's console
    int32_t intervalMs = kDefaultIntervalMs;
    int64_t count = 0;                    // rssi: 0 for no limit
    std::string csv;                      // "-": standard output
    std::string plot;                     // rssi: the SVG of the run, one a port
    std::optional<std::string> simulate;  // the simulated receiver's version
    std::string log;
    bool probe = false;                     // ports: try each free port and ask it for its version
    bool namesOnly = false;                 // ports: only the names a port can be given by
    std::string shell;                      // completion
    std::string listen = "127.0.0.1:9723";  // serve: ADDRESS:PORT
    bool listenRemote = false;              // serve: an address other machines reach
    int32_t settingsIntervalS = 600;        // serve: the settings are read again this often
};

// args without the program's name. Returns the exit status when the program should stop
// here (--help, --version: 0; a usage error: 2, with the reason on err, or as one JSON
// object on out when --json was given), else nothing. withSimulator: the platform can run
// the simulated receiver (not on Windows), so --simulate is offered.
std::optional<int> parseOptions(const std::vector<std::string>& args, Options& options,
                                std::ostream& out, std::ostream& err, bool withSimulator = true);

// A completion script for bash, zsh or fish, made from the same definition of the command
// line that parses it; empty for another shell.
std::string completionScript(std::string_view shell, bool withSimulator);

// A usage or file error as the one JSON object that --json promises on standard output.
std::string errorJson(const std::string& message, const std::string& file = {}, int64_t line = 0,
                      int64_t column = 0);

}  // namespace tamlo::cli
