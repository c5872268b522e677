#include "cli/command_table.h"

#include <CLI/CLI.hpp>

#include "cli/command_context.h"
#include "cli/command_line_error.h"
#include "cli/options.h"

namespace tamlo::cli {

namespace {

// Many ports: -p once for each. One port: a second -p is an error.
void addPorts(CLI::App& command, Options& options) {
    command
        .add_option("-p,--port", options.ports,
                    "a serial port or its name in ports.toml; repeat for more (\"sim\": the "
                    "simulated receiver)")
        ->allow_extra_args(false)
        ->option_text("PORT ...");
    command.add_flag("--all", options.all, "every port that opens");
}

void addPort(CLI::App& command, Options& options) {
    command
        .add_option_function<std::string>(
            "-p,--port", [&options](const std::string& port) { options.ports = {port}; },
            "the serial port or its name in ports.toml (default: its default port; "
            "\"sim\": the simulated receiver)")
        ->option_text("PORT");
}

void addSettingsFile(CLI::App& command, Options& options, const char* what) {
    command.add_option("FILE", options.file, what)->required()->option_text(" ");
}

void addNoVerify(CLI::App& command, Options& options) {
    command.add_flag_callback(
        "--no-verify", [&options] { options.verify = false; }, "do not read the settings back");
}

// apply and set: what changes where it differs, on many ports.
void addChanges(CLI::App& command, Options& options) {
    addPorts(command, options);
    command.add_flag("--dry-run", options.dryRun, "only say what would change");
    command.add_flag("--json", options.json, "one JSON object per port");
    addNoVerify(command, options);
}

void definePorts(CLI::App& command, Options& options) {
    command.add_flag("--json", options.json, "as a JSON array");
    command.add_flag("--probe", options.probe,
                     "try each free port and ask it for its firmware version (without it no "
                     "port is opened)");
    command.add_flag("--names", options.namesOnly,
                     "only the names a port can be given by, one a line, opening none");
}

void defineRead(CLI::App& command, Options& options) {
    addPorts(command, options);
    command
        .add_option("-o,--output", options.output,
                    "the file to write, replaced whole or not at all (default: standard "
                    "output); a .json name gives JSON; DIR/: one file per receiver, named "
                    "by the port's name")
        ->option_text("FILE|DIR/");
    command.add_flag("--json", options.json, "JSON instead of TOML");
}

void defineWrite(CLI::App& command, Options& options) {
    addPort(command, options);
    addSettingsFile(command, options, "the settings file (TOML, or JSON by its .json name)");
    addNoVerify(command, options);
    command.add_flag("--json", options.json, "errors as one JSON object");
}

void defineApply(CLI::App& command, Options& options) {
    addSettingsFile(command, options, "the settings file");
    addChanges(command, options);
}

void defineSet(CLI::App& command, Options& options) {
    command.add_option("SETTING", options.words, "KEY=VALUE, e.g. threshold=50")
        ->required()
        ->option_text(" ");
    addChanges(command, options);
}

void defineGet(CLI::App& command, Options& options) {
    addPort(command, options);
    command.add_option("KEY", options.words, "a setting, e.g. threshold")->option_text(" ");
    command.add_flag("--json", options.json, "as one JSON object");
}

void defineDiff(CLI::App& command, Options& options) {
    addSettingsFile(command, options, "the settings file");
    command.add_option("OTHER", options.other, "the second file (or -p PORT)")->option_text(" ");
    addPort(command, options);
    command.add_flag("--json", options.json, "as one JSON object");
}

void defineRssi(CLI::App& command, Options& options) {
    addPorts(command, options);
    command
        .add_option("--interval", options.intervalMs,
                    "milliseconds between polls, " + std::to_string(kMinIntervalMs) +
                        " or more (default " + std::to_string(kDefaultIntervalMs) + ")")
        ->option_text("MS");
    command
        .add_option_function<int64_t>(
            "--count",
            [&options](int64_t count) {
                if (count < 1) {
                    throw CommandLineError("--count: give a number of polls, 1 or more");
                }
                options.count = count;
            },
            "stop after N polls of each port")
        ->option_text("N");
    command
        .add_option("--csv", options.csv,
                    "append time,port,rssi rows to FILE (\"-\": standard output); a poll "
                    "with no answer has an empty rssi")
        ->option_text("FILE");
    command
        .add_option("--plot", options.plot,
                    "draw the run as an SVG picture in FILE when it ends (with several ports, "
                    "one a port: FILE-PORT.svg); gaps where a poll had no answer")
        ->option_text("FILE.svg");
    command.add_flag("--json", options.json,
                     "one JSON object per sample and line on standard output (rssi null: no "
                     "answer)");
}

void defineCompletion(CLI::App& command, Options& options) {
    command.add_option("SHELL", options.shell, "bash, zsh or fish")
        ->required()
        ->check(CLI::IsMember({"bash", "zsh", "fish"}))
        ->option_text(" ");
}

std::string checkDiff(Options& options) {
    if (!options.other.empty()) {
        if (!options.ports.empty()) {
            return "diff: give a second file or -p PORT, not both";
        }
        options.portUse = PortUse::None;  // two files: no receiver is asked
    }
    return {};
}

std::string checkRssi(Options& options) {
    if (options.intervalMs < kMinIntervalMs || options.intervalMs > kMaxIntervalMs) {
        return "--interval " + std::to_string(options.intervalMs) + ": give milliseconds, " +
               std::to_string(kMinIntervalMs) + " to " + std::to_string(kMaxIntervalMs) +
               " (a poll itself takes 200)";
    }
    if (options.json && options.csv == "-") {
        return "rssi: --json and --csv - both want standard output";
    }
    return {};
}

void defineServe(CLI::App& command, Options& options) {
    addPorts(command, options);
    command
        .add_option("--listen", options.listen,
                    "ADDRESS:PORT to answer on (default 127.0.0.1:9723); an address other "
                    "than loopback needs --allow-remote")
        ->option_text("ADDR:PORT");
    command.add_flag("--allow-remote", options.listenRemote,
                     "let --listen name an address other machines reach");
    command
        .add_option("--settings-interval", options.settingsIntervalS,
                    "seconds between reads of the stored settings (default 600)")
        ->check(CLI::Range(10, 86400))
        ->option_text("S");
}

int runServe(CommandContext& run, const std::vector<std::string>& ports) {
    if (!run.platform().serve) {
        run.error("serve: this build of the program has no service");
        return kExitUsage;
    }
    return run.platform().serve(run, ports);
}

int runPorts(CommandContext& run, const std::vector<std::string>&) {
    return commandPorts(run);
}

int runWrite(CommandContext& run, const std::vector<std::string>& ports) {
    return commandWrite(run, ports, false);
}

int runApply(CommandContext& run, const std::vector<std::string>& ports) {
    return commandWrite(run, ports, true);
}

int runCompletion(CommandContext& run, const std::vector<std::string>&) {
    run.out() << completionScript(run.options().shell,
                                  static_cast<bool>(run.platform().startSimulator));
    return kExitOk;
}

constexpr CommandRow kTable[] = {
    {"ports",
     "list the serial ports: names, devices, USB adapters, whether each is free, opening none",
     PortUse::None, false, definePorts, nullptr, runPorts},
    {"read", "read receivers' settings into files", PortUse::Many, false, defineRead, nullptr,
     commandRead},
    {"write", "write a settings file to a receiver", PortUse::One, false, defineWrite, nullptr,
     runWrite},
    {"apply", "give receivers a file's settings, writing only where something differs",
     PortUse::Many, false, defineApply, nullptr, runApply},
    {"set", "change the settings named, as apply does", PortUse::Many, false, defineSet, nullptr,
     runApply},
    {"get", "print a receiver's settings, all or those named", PortUse::One, false, defineGet,
     nullptr, commandGet},
    {"diff",
     "compare two settings files, or a file and a receiver, as apply compares; status 0 "
     "equal, 1 different, 2 trouble",
     PortUse::One, false, defineDiff, checkDiff, commandDiff},
    {"rssi", "watch the signal strength", PortUse::Many, false, defineRssi, checkRssi, commandRssi},
    {"serve",
     "watch receivers as a service: Prometheus metrics, a page and JSON over HTTP, read-only",
     PortUse::Many, false, defineServe, nullptr, runServe},
    {"completion", "print the shell completion script", PortUse::None, true, defineCompletion,
     nullptr, runCompletion},
};

}  // namespace

std::span<const CommandRow> commandTable() {
    return kTable;
}

std::string commandList(std::string_view last) {
    std::string list;
    for (size_t i = 0; i < std::size(kTable); ++i) {
        const bool final = i + 1 == std::size(kTable);
        list += std::string(i == 0 ? "" : (final && !last.empty() ? last : ", ")) +
                std::string(kTable[i].name);
    }
    return list;
}

}  // namespace tamlo::cli
