#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "files/setting_keys.h"
#include "protocol/identify.h"
#include "text/latin1.h"
#include "text/licence.h"

namespace tamlo::cli {

namespace {

#ifndef TAMLO_VERSION
#define TAMLO_VERSION "unknown"
#endif

constexpr std::string_view kCommands[] = {"ports", "read", "write", "apply", "rssi"};

// Help without the library's own notation: "--simulate[=VERSION]", not "--simulate{2.05}".
class HelpFormatter final : public CLI::Formatter {
  public:
    std::string make_option_name(const CLI::Option* option, bool positional) const override {
        std::string name = CLI::Formatter::make_option_name(option, positional);
        const size_t brace = name.find('{');
        if (brace != std::string::npos) {
            name.replace(brace, name.find('}', brace) + 1 - brace, "[=VERSION]");
        }
        return name;
    }
};

// Many ports: -p once for each. One port: a second -p is an error.
void addPorts(CLI::App& command, Options& options) {
    command
        .add_option("-p,--port", options.ports,
                    "a serial port; repeat for more (\"sim\": the simulated receiver)")
        ->allow_extra_args(false)
        ->option_text("PORT ...");
}

void addPort(CLI::App& command, std::string& port) {
    command.add_option("-p,--port", port, "the serial port (\"sim\": the simulated receiver)")
        ->option_text("PORT");
}

// The first word that names a command, skipping the global options and their values.
std::optional<std::string> commandWord(const std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--log") {
            ++i;
        } else if (!args[i].starts_with("-")) {
            return args[i];
        }
    }
    return std::nullopt;
}

bool wantsJson(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), "--json") != args.end();
}

int usage(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
          const std::string& message) {
    if (wantsJson(args)) {
        out << errorJson(message) << "\n";
    } else {
        err << kProgram << ": " << message << "\n";
    }
    return kExitUsage;
}

}  // namespace

std::string errorJson(const std::string& message, const std::string& file, int64_t line,
                      int64_t column) {
    nlohmann::ordered_json object = {{"error", latin1ToUtf8(message)}};
    object["file"] =
        file.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(latin1ToUtf8(file));
    object["line"] = line > 0 ? nlohmann::ordered_json(line) : nlohmann::ordered_json();
    object["column"] = column > 0 ? nlohmann::ordered_json(column) : nlohmann::ordered_json();
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::optional<int> parseOptions(const std::vector<std::string>& args, Options& options,
                                std::ostream& out, std::ostream& err, bool withSimulator) {
    if (const auto word = commandWord(args)) {
        if (std::find(std::begin(kCommands), std::end(kCommands), *word) == std::end(kCommands)) {
            const auto nearest = nearestName(*word, kCommands);
            return usage(args, out, err,
                         "unknown command '" + *word + "'" +
                             (nearest ? " (did you mean " + std::string(*nearest) + "?)"
                                      : "; the commands are ports, read, write, apply, rssi"));
        }
    }
    CLI::App app{
        "Configures TamloX receivers over their serial lines: keeps their settings in "
        "files, restores them, gives many receivers the same settings.",
        std::string(kProgram)};
    app.formatter(std::make_shared<HelpFormatter>());
    app.require_subcommand(1);
    app.fallthrough();
    app.set_version_flag("--version", std::string(kProgram) + " " + TAMLO_VERSION + "\n" +
                                          std::string(kLicenceNotice));
    app.add_flag("-q,--quiet", options.quiet, "no progress bars, warnings or summary");
    app.add_flag("--strict", options.strict,
                 "a setting the receiver's firmware has no control for is an error, not a "
                 "warning");
    app.add_option("--log", options.log,
                   "start a byte log of this run in FILE (appended): every transfer with its "
                   "time, for support cases")
        ->option_text("FILE");
    std::string simulated;
    CLI::Option* simulate = nullptr;
    if (withSimulator) {
        simulate = app.add_flag(
            "--simulate{" + std::string(kDefaultSimulatedVersion) + "}", simulated,
            "run a simulated receiver (firmware VERSION, default " +
                std::string(kDefaultSimulatedVersion) + ") in this process, as port \"sim\"");
    }

    CLI::App* ports = app.add_subcommand("ports", "list the serial ports that open");
    ports->add_flag("--json", options.json, "as a JSON array");

    std::string onePort;
    CLI::App* read = app.add_subcommand("read", "read a receiver's settings into a file");
    addPort(*read, onePort);
    read->add_option("-o,--output", options.output,
                     "the file to write, replaced whole or not at all (default: standard "
                     "output); a .json name gives JSON")
        ->option_text("FILE");
    read->add_flag("--json", options.json, "JSON instead of TOML");

    bool noVerify = false;
    CLI::App* write = app.add_subcommand("write", "write a settings file to a receiver");
    addPort(*write, onePort);
    write->add_option("FILE", options.file, "the settings file (TOML, or JSON by its .json name)")
        ->required()
        ->option_text(" ");
    write->add_flag("--no-verify", noVerify, "do not read the settings back");
    write->add_flag("--json", options.json, "errors as one JSON object");

    CLI::App* apply = app.add_subcommand(
        "apply", "give receivers a file's settings, writing only where something differs");
    apply->add_option("FILE", options.file, "the settings file")->required()->option_text(" ");
    addPorts(*apply, options);
    apply->add_flag("--all", options.all, "every port that opens");
    apply->add_flag("--dry-run", options.dryRun, "only say what would change");
    apply->add_flag("--json", options.json, "one JSON object per port");
    apply->add_flag("--no-verify", noVerify, "do not read the settings back");

    CLI::App* rssi = app.add_subcommand("rssi", "watch the signal strength");
    addPorts(*rssi, options);
    rssi->add_flag("--all", options.all, "every port that opens");
    rssi->add_option("--interval", options.intervalMs,
                     "milliseconds between polls, " + std::to_string(kMinIntervalMs) +
                         " or more (default " + std::to_string(kDefaultIntervalMs) + ")")
        ->option_text("MS");
    rssi->add_option("--count", options.count, "stop after N polls of each port")->option_text("N");
    rssi->add_option("--csv", options.csv,
                     "append time,port,rssi rows to FILE (\"-\": standard output); a poll "
                     "with no answer has an empty rssi")
        ->option_text("FILE");

    // CLI11 wants the arguments last to first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err) == 0 ? kExitOk : kExitUsage;
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err) == 0 ? kExitOk : kExitUsage;
    } catch (const CLI::ParseError& e) {
        if (std::string(e.what()) == "A subcommand is required") {
            return usage(args, out, err,
                         "name a command: ports, read, write, apply or rssi (see --help)");
        }
        return usage(args, out, err, std::string(e.what()) + " (see --help)");
    }
    options.verify = !noVerify;
    for (CLI::App* command : {ports, read, write, apply, rssi}) {
        if (command->parsed()) {
            options.command = command->get_name();
        }
    }
    if (!onePort.empty()) {
        options.ports.push_back(onePort);
    }
    if (simulate != nullptr && *simulate) {
        options.simulate = simulated.empty() ? std::string(kDefaultSimulatedVersion) : simulated;
        if (!validFirmwareVersion(*options.simulate)) {
            return usage(args, out, err,
                         "invalid firmware version '" + *options.simulate +
                             "' (a decimal number such as 2.05 is expected)");
        }
    }
    if (options.command == "rssi") {
        if (options.intervalMs < kMinIntervalMs || options.intervalMs > kMaxIntervalMs) {
            return usage(args, out, err,
                         "--interval " + std::to_string(options.intervalMs) +
                             ": give milliseconds, " + std::to_string(kMinIntervalMs) + " to " +
                             std::to_string(kMaxIntervalMs) + " (a poll itself takes 200)");
        }
        if (options.count < 0 || (rssi->count("--count") > 0 && options.count == 0)) {
            return usage(args, out, err, "--count: give a number of polls, 1 or more");
        }
    }
    const bool many = options.command == "apply" || options.command == "rssi";
    if (options.ports.empty() && !options.all && options.command != "ports") {
        if (options.simulate) {
            options.ports.emplace_back(kSimulatedPort);
        } else {
            return usage(
                args, out, err,
                options.command + ": " +
                    (many ? "name a port with -p PORT, or use --all" : "name a port with -p PORT"));
        }
    }
    if (options.all && !options.ports.empty()) {
        return usage(args, out, err, options.command + ": -p and --all do not go together");
    }
    return std::nullopt;
}

}  // namespace tamlo::cli
