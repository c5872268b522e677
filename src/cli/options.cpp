#include "cli/options.h"

#include <algorithm>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/command_line_error.h"
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
    nlohmann::ordered_json object = {{"error", bytesAsUtf8(message)}};
    object["file"] =
        file.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(bytesAsUtf8(file));
    object["line"] = line > 0 ? nlohmann::ordered_json(line) : nlohmann::ordered_json();
    object["column"] = column > 0 ? nlohmann::ordered_json(column) : nlohmann::ordered_json();
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

namespace {

// The whole command line, bound to options; the subcommands in the order of the table.
struct CommandLine {
    CLI::App app{
        "Configures TamloX receivers over their serial lines: keeps their settings in "
        "files, restores them, gives many receivers the same settings.",
        std::string(kProgram)};
    std::vector<CLI::Option*> simulate;  // --simulate, before the command or after it
    std::string simulated;
};

// The options every command takes, before its name or after it, so that each command's
// --help lists them and the completion offers them there.
void addCommonOptions(CLI::App& command, Options& options, CommandLine& line, bool withSimulator) {
    const std::string group = "Common options";
    command.set_version_flag("--version", std::string(kProgram) + " " + TAMLO_VERSION + "\n" +
                                              std::string(kLicenceNotice));
    command.get_option("--version")->group(group);
    command.add_flag("-q,--quiet", options.quiet, "no progress bars, warnings or summary")
        ->group(group);
    command
        .add_flag("--strict", options.strict,
                  "a setting the receiver's firmware has no control for, or a backup of another "
                  "receiver, is an error, not a warning")
        ->group(group);
    command
        .add_flag("--allow-console", options.allowConsole,
                  "open a port named with -p even if it is the kernel's console (never "
                  "listed or probed)")
        ->group(group);
    command
        .add_option("--log", options.log,
                    "start a byte log of this run in FILE (appended): every transfer with its "
                    "time, for support cases")
        ->option_text("FILE")
        ->group(group);
    if (withSimulator) {
        line.simulate.push_back(
            command
                .add_flag("--simulate{" + std::string(kDefaultSimulatedVersion) + "}",
                          line.simulated,
                          "run a simulated receiver (firmware VERSION, default " +
                              std::string(kDefaultSimulatedVersion) +
                              ") in this process, as port \"sim\"")
                ->group(group));
    }
}

void defineCommandLine(CommandLine& line, Options& options, bool withSimulator) {
    CLI::App& app = line.app;
    app.formatter(std::make_shared<HelpFormatter>());
    addCommonOptions(app, options, line, withSimulator);
    for (const CommandRow& row : commandTable()) {
        CLI::App* command = app.add_subcommand(std::string(row.name), std::string(row.help));
        row.define(*command, options);
        addCommonOptions(*command, options, line, withSimulator);
        command->callback([&options, &row] {
            options.command = std::string(row.name);
            options.row = &row;
            options.portUse = row.ports;
            if (row.check != nullptr) {
                if (const std::string problem = row.check(options); !problem.empty()) {
                    throw CommandLineError(problem);
                }
            }
        });
    }
}

// The names an option of this command is given by: "-p", "--port", ...
std::vector<std::string_view> optionNames(const CLI::App& command,
                                          std::vector<std::string>& storage) {
    for (const CLI::Option* option : command.get_options()) {
        for (const std::string& name : option->get_snames()) {
            storage.push_back("-" + name);
        }
        for (const std::string& name : option->get_lnames()) {
            storage.push_back("--" + name);
        }
    }
    return {storage.begin(), storage.end()};
}

// What CLI11 did not take: a word that names no command, or an option the command does not
// have, each with the nearest name when one is near enough to be meant.
std::optional<std::string> unexpected(const CommandLine& line) {
    const std::vector<CLI::App*> parsed = line.app.get_subcommands();
    const CLI::App& command = parsed.empty() ? line.app : *parsed.front();
    std::vector<std::string> left = command.remaining();
    if (&command != &line.app) {
        for (const std::string& word : line.app.remaining()) {
            left.push_back(word);
        }
    }
    for (const std::string& word : left) {
        if (parsed.empty() && !word.starts_with("-")) {
            std::vector<std::string_view> names;
            for (const CommandRow& row : commandTable()) {
                names.push_back(row.name);
            }
            const auto nearest = nearestName(word, names);
            return "unknown command '" + word + "'" +
                   (nearest ? " (did you mean " + std::string(*nearest) + "?)"
                            : "; the commands are " + commandList(""));
        }
        if (word.starts_with("-")) {
            const std::string name = word.substr(0, word.find('='));
            std::vector<std::string> storage;
            const auto nearest = nearestName(name, optionNames(command, storage));
            return (parsed.empty() ? "" : command.get_name() + ": ") + "unknown option '" + name +
                   "'" +
                   (nearest ? " (did you mean " + std::string(*nearest) + "?)" : " (see --help)");
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> parseOptions(const std::vector<std::string>& args, Options& options,
                                std::ostream& out, std::ostream& err, bool withSimulator) {
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
    } catch (const CommandLineError& e) {
        return usage(args, out, err, e.what());
    } catch (const CLI::ExtrasError& e) {
        return usage(args, out, err,
                     unexpected(line).value_or(std::string(e.what()) + " (see --help)"));
    } catch (const CLI::ParseError& e) {
        return usage(args, out, err, std::string(e.what()) + " (see --help)");
    }
    if (app.get_subcommands().empty()) {
        return usage(args, out, err, "name a command: " + commandList(" or ") + " (see --help)");
    }
    if (std::any_of(line.simulate.begin(), line.simulate.end(),
                    [](const CLI::Option* given) { return given->count() > 0; })) {
        options.simulate =
            line.simulated.empty() ? std::string(kDefaultSimulatedVersion) : line.simulated;
        if (const std::string problem = firmwareVersionProblem(*options.simulate);
            !problem.empty()) {
            return usage(args, out, err, problem);
        }
    }
    // Without -p or --all a command takes --simulate's port, else the ports files' default
    // (the run looks it up).
    if (options.portUse != PortUse::None && options.ports.empty() && !options.all &&
        options.simulate) {
        options.ports.emplace_back(kSimulatedPort);
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
