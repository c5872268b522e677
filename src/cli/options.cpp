#include "cli/options.h"

#include <algorithm>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/completion.h"

#include "files/setting_keys.h"
#include "protocol/identify.h"
#include "text/latin1.h"
#include "text/licence.h"

namespace tamlo::cli {

namespace {

#ifndef TAMLO_VERSION
#define TAMLO_VERSION "unknown"
#endif

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
                    "a serial port or its name in ports.toml; repeat for more (\"sim\": the "
                    "simulated receiver)")
        ->allow_extra_args(false)
        ->option_text("PORT ...");
}

void addPort(CLI::App& command, std::string& port) {
    command
        .add_option("-p,--port", port,
                    "the serial port or its name in ports.toml (default: its default port; "
                    "\"sim\": the simulated receiver)")
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

namespace {

// The whole command line, bound to options; the subcommands in the order of kCommands.
struct CommandLine {
    CLI::App app{
        "Configures TamloX receivers over their serial lines: keeps their settings in "
        "files, restores them, gives many receivers the same settings.",
        std::string(kProgram)};
    std::vector<CLI::App*> commands;
    CLI::Option* simulate = nullptr;
    std::string simulated;
    std::string onePort;
    bool noVerify = false;
};

void defineCommandLine(CommandLine& line, Options& options, bool withSimulator) {
    CLI::App& app = line.app;
    app.formatter(std::make_shared<HelpFormatter>());
    app.require_subcommand(1);
    app.fallthrough();
    app.set_version_flag("--version", std::string(kProgram) + " " + TAMLO_VERSION + "\n" +
                                          std::string(kLicenceNotice));
    app.add_flag("-q,--quiet", options.quiet, "no progress bars, warnings or summary");
    app.add_flag("--strict", options.strict,
                 "a setting the receiver's firmware has no control for, or a backup of another "
                 "receiver, is an error, not a warning");
    app.add_flag("--allow-console", options.allowConsole,
                 "open a port named with -p even if it is the kernel's console (never "
                 "listed or probed)");
    app.add_option("--log", options.log,
                   "start a byte log of this run in FILE (appended): every transfer with its "
                   "time, for support cases")
        ->option_text("FILE");
    if (withSimulator) {
        line.simulate = app.add_flag(
            "--simulate{" + std::string(kDefaultSimulatedVersion) + "}", line.simulated,
            "run a simulated receiver (firmware VERSION, default " +
                std::string(kDefaultSimulatedVersion) + ") in this process, as port \"sim\"");
    }
    const auto command = [&](const char* name, const char* help) {
        line.commands.push_back(app.add_subcommand(name, help));
        return line.commands.back();
    };
    const auto settingsFile = [&](CLI::App* sub, std::string& file, const char* what) {
        sub->add_option("FILE", file, what)->required()->option_text(" ");
    };

    CLI::App* ports = command("ports",
                              "list the serial ports: names, devices, USB adapters, "
                              "whether each is free, opening none");
    ports->add_flag("--json", options.json, "as a JSON array");
    ports->add_flag("--probe", options.probe,
                    "try each free port and ask it for its firmware version (without it no "
                    "port is opened)");
    ports->add_flag("--names", options.namesOnly,
                    "only the names a port can be given by, one a line, opening none");

    CLI::App* read = command("read", "read receivers' settings into files");
    addPorts(*read, options);
    read->add_flag("--all", options.all, "every port that opens");
    read->add_option("-o,--output", options.output,
                     "the file to write, replaced whole or not at all (default: standard "
                     "output); a .json name gives JSON; DIR/: one file per receiver, named "
                     "by the port's name")
        ->option_text("FILE|DIR/");
    read->add_flag("--json", options.json, "JSON instead of TOML");

    CLI::App* write = command("write", "write a settings file to a receiver");
    addPort(*write, line.onePort);
    settingsFile(write, options.file, "the settings file (TOML, or JSON by its .json name)");
    write->add_flag("--no-verify", line.noVerify, "do not read the settings back");
    write->add_flag("--json", options.json, "errors as one JSON object");

    CLI::App* apply =
        command("apply", "give receivers a file's settings, writing only where something differs");
    settingsFile(apply, options.file, "the settings file");
    for (CLI::App* sub : {apply, command("set", "change the settings named, as apply does")}) {
        if (sub != apply) {
            sub->add_option("SETTING", options.words, "KEY=VALUE, e.g. threshold=50")
                ->required()
                ->option_text(" ");
        }
        addPorts(*sub, options);
        sub->add_flag("--all", options.all, "every port that opens");
        sub->add_flag("--dry-run", options.dryRun, "only say what would change");
        sub->add_flag("--json", options.json, "one JSON object per port");
        sub->add_flag("--no-verify", line.noVerify, "do not read the settings back");
    }

    CLI::App* get = command("get", "print a receiver's settings, all or those named");
    addPort(*get, line.onePort);
    get->add_option("KEY", options.words, "a setting, e.g. threshold")->option_text(" ");
    get->add_flag("--json", options.json, "as one JSON object");

    CLI::App* diff = command("diff",
                             "compare two settings files, or a file and a receiver, as "
                             "apply compares; status 0 equal, 1 different, 2 trouble");
    settingsFile(diff, options.file, "the settings file");
    diff->add_option("OTHER", options.other, "the second file (or -p PORT)")->option_text(" ");
    addPort(*diff, line.onePort);
    diff->add_flag("--json", options.json, "as one JSON object");

    CLI::App* rssi = command("rssi", "watch the signal strength");
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
    rssi->add_flag("--json", options.json,
                   "one JSON object per sample and line on standard output (rssi null: no "
                   "answer)");

    CLI::App* completion = command("completion", "print the shell completion script");
    completion->add_option("SHELL", options.shell, "bash, zsh or fish")
        ->required()
        ->check(CLI::IsMember({"bash", "zsh", "fish"}))
        ->option_text(" ");
}

}  // namespace

std::optional<int> parseOptions(const std::vector<std::string>& args, Options& options,
                                std::ostream& out, std::ostream& err, bool withSimulator) {
    if (const auto word = commandWord(args)) {
        if (std::find(std::begin(kCommands), std::end(kCommands), *word) == std::end(kCommands)) {
            const auto nearest = nearestName(*word, kCommands);
            return usage(args, out, err,
                         "unknown command '" + *word + "'" +
                             (nearest ? " (did you mean " + std::string(*nearest) + "?)"
                                      : "; the commands are ports, read, write, apply, set, "
                                        "get, diff, rssi, completion"));
        }
    }
    CommandLine line;
    CLI::App& app = line.app;
    defineCommandLine(line, options, withSimulator);
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
                         "name a command: ports, read, write, apply, set, get, diff or rssi "
                         "(see --help)");
        }
        return usage(args, out, err, std::string(e.what()) + " (see --help)");
    }
    options.verify = !line.noVerify;
    for (CLI::App* command : line.commands) {
        if (command->parsed()) {
            options.command = command->get_name();
        }
    }
    if (!line.onePort.empty()) {
        options.ports.push_back(line.onePort);
    }
    if (line.simulate != nullptr && *line.simulate) {
        options.simulate =
            line.simulated.empty() ? std::string(kDefaultSimulatedVersion) : line.simulated;
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
        if (options.count < 0 ||
            (options.count == 0 && std::find(args.begin(), args.end(), "--count") != args.end())) {
            return usage(args, out, err, "--count: give a number of polls, 1 or more");
        }
    }
    // Without -p or --all a command takes --simulate's port, else the ports files' default
    // (the run looks it up).
    const bool usesPorts = options.command != "ports" && options.command != "completion";
    if (usesPorts && options.ports.empty() && !options.all && options.simulate &&
        (options.command != "diff" || options.other.empty())) {
        options.ports.emplace_back(kSimulatedPort);
    }
    if (options.command == "diff" && !options.other.empty() && !options.ports.empty()) {
        return usage(args, out, err, "diff: give a second file or -p PORT, not both");
    }
    if (options.command == "rssi" && options.json && options.csv == "-") {
        return usage(args, out, err, "rssi: --json and --csv - both want standard output");
    }
    if (options.all && !options.ports.empty()) {
        return usage(args, out, err, options.command + ": -p and --all do not go together");
    }
    return std::nullopt;
}

std::string completionScript(std::string_view shell, bool withSimulator) {
    Options options;
    CommandLine line;
    defineCommandLine(line, options, withSimulator);
    return completionScriptFor(shell, line.app);
}

}  // namespace tamlo::cli
