// The commands of `tamlo` as data: each row its name, its help, how it takes ports, its own
// options, the check its options must pass and the function that runs it. The parser, the
// help, the shell completion and the dispatcher all read this one table, so a command is
// added, renamed or dropped in one place.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace tamlo::cli {

class CommandContext;
struct Options;

// How a command names its receivers: not at all, one port (-p PORT, else the default), or
// many (-p PORT ..., or --all).
enum class PortUse { None, One, Many };

struct CommandRow {
    std::string_view name;
    std::string_view help;
    PortUse ports;
    // Runs without the ports files, the byte log or the simulated receiver.
    bool standalone;
    // Adds the command's own options, bound to options.
    void (*define)(CLI::App& command, Options& options);
    // Once its words are parsed: completes the options and returns what is wrong with them
    // as the usage error's text, or nothing. Null: nothing to check.
    std::string (*check)(Options& options);
    // Runs the command on its ports (resolved, each once; none for PortUse::None).
    int (*run)(CommandContext& run, const std::vector<std::string>& ports);
};

// The commands, in the order help lists them.
std::span<const CommandRow> commandTable();

// "ports, read, ..." with last between the last two names (", " when empty).
std::string commandList(std::string_view last);

}  // namespace tamlo::cli
