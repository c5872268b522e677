#include "cli/options.h"

#include <CLI/CLI.hpp>

namespace tamlo::cli {

namespace {

#ifndef TAMLO_VERSION
#define TAMLO_VERSION "unknown"
#endif

// Many ports: -p once for each. One port: a second -p is an error.
void addPorts(CLI::App& command, Options& options) {
    command
        .add_option("-p,--port", options.ports,
                    "a serial port; repeat for more (\"sim\": the simulated receiver)")
        ->allow_extra_args(false);
}

void addPort(CLI::App& command, std::string& port) {
    command.add_option("-p,--port", port, "the serial port (\"sim\": the simulated receiver)");
}

}  // namespace

std::optional<int> parseOptions(const std::vector<std::string>& args, Options& options,
                                std::ostream& out, std::ostream& err) {
    CLI::App app{
        "Configures TamloX receivers over their serial lines: keeps their settings in "
        "files, restores them, gives many receivers the same settings.",
        std::string(kProgram)};
    app.require_subcommand(1);
    app.fallthrough();
    app.set_version_flag("--version", std::string(kProgram) + " " + TAMLO_VERSION);
    app.add_flag("-q,--quiet", options.quiet, "no progress bars, warnings or summary");
    app.add_flag("--strict", options.strict,
                 "a setting the receiver's firmware has no control for is an error, not a "
                 "warning");
    app.add_option("--log", options.log,
                   "append every byte sent and received, with its time, to FILE");
    std::string simulated;
    auto* simulate = app.add_flag(
        "--simulate{" + std::string(kDefaultSimulatedVersion) + "}", simulated,
        "run a simulated receiver (firmware VERSION, default " +
            std::string(kDefaultSimulatedVersion) + ") in this process, as port \"sim\"");
    simulate->type_name("[=VERSION]");

    CLI::App* ports = app.add_subcommand("ports", "list the serial ports that open");
    ports->add_flag("--json", options.json, "as a JSON array");

    std::string onePort;
    CLI::App* read = app.add_subcommand("read", "read a receiver's settings into a file");
    addPort(*read, onePort);
    read->add_option("-o,--output", options.output, "the file to write (default: standard output)");
    read->add_flag("--json", options.json, "JSON instead of TOML");

    CLI::App* write = app.add_subcommand("write", "write a settings file to a receiver");
    addPort(*write, onePort);
    write->add_option("FILE", options.file, "the settings file (TOML, or JSON by its .json name)")
        ->required();
    write->add_flag("!--no-verify", options.verify, "do not read the settings back");

    CLI::App* apply = app.add_subcommand(
        "apply", "give receivers a file's settings, writing only where something differs");
    apply->add_option("FILE", options.file, "the settings file")->required();
    addPorts(*apply, options);
    apply->add_flag("--all", options.all, "every port that opens");
    apply->add_flag("--dry-run", options.dryRun, "only say what would change");
    apply->add_flag("--json", options.json, "one JSON object per port");
    apply->add_flag("!--no-verify", options.verify, "do not read the settings back");

    CLI::App* rssi = app.add_subcommand("rssi", "watch the signal strength");
    addPorts(*rssi, options);
    rssi->add_flag("--all", options.all, "every port that opens");
    rssi->add_option("--interval", options.intervalMs, "milliseconds between polls (default 1000)")
        ->check(CLI::Range(kMinIntervalMs, 3'600'000));
    rssi->add_option("--count", options.count, "stop after N polls of each port")
        ->check(CLI::Range(int64_t{1}, int64_t{1} << 40));
    rssi->add_option("--csv", options.csv, "append time,port,rssi rows to FILE");

    // CLI11 wants the arguments last to first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e, out, err);
        return status == 0 ? kExitOk : kExitUsage;
    }
    for (CLI::App* command : {ports, read, write, apply, rssi}) {
        if (command->parsed()) {
            options.command = command->get_name();
        }
    }
    if (!onePort.empty()) {
        options.ports.push_back(onePort);
    }
    if (*simulate) {
        options.simulate = simulated.empty() ? std::string(kDefaultSimulatedVersion) : simulated;
    }
    const bool many = options.command == "apply" || options.command == "rssi";
    if (options.ports.empty() && !options.all && options.command != "ports") {
        if (options.simulate) {
            options.ports.emplace_back(kSimulatedPort);
        } else {
            err << kProgram << ": " << options.command << ": "
                << (many ? "name a port with -p PORT, or use --all\n"
                         : "name a port with -p PORT\n");
            return kExitUsage;
        }
    }
    if (options.all && !options.ports.empty()) {
        err << kProgram << ": " << options.command << ": -p and --all do not go together\n";
        return kExitUsage;
    }
    return std::nullopt;
}

}  // namespace tamlo::cli
