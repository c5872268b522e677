#include "cli/completion.h"

#include <CLI/CLI.hpp>

#include "cli/options.h"
#include "files/setting_keys.h"

namespace tamlo::cli {

namespace {

// What a word after an option, or in a positional place, is.
enum class Value { None, Port, File, SettingsFile, Setting, Key, Shell, Other };

Value valueOf(const CLI::Option& option) {
    if (option.get_items_expected_max() == 0) {
        return Value::None;  // a flag: -q, --strict, --simulate[=VERSION]
    }
    const std::string& text = option.get_option_text();
    const std::string& name = option.get_name(true, false);
    if (text.find("PORT") != std::string::npos) {
        return Value::Port;
    }
    if (text.find("FILE") != std::string::npos) {
        return Value::File;
    }
    if (name == "FILE" || name == "OTHER") {
        return Value::SettingsFile;
    }
    if (name == "SETTING") {
        return Value::Setting;
    }
    if (name == "KEY") {
        return Value::Key;
    }
    if (name == "SHELL") {
        return Value::Shell;
    }
    return Value::Other;
}

std::vector<std::string> namesOf(const CLI::Option& option) {
    std::vector<std::string> names;
    for (const std::string& s : option.get_snames()) {
        names.push_back("-" + s);
    }
    for (const std::string& l : option.get_lnames()) {
        names.push_back("--" + l);
    }
    return names;
}

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) {
        out += (out.empty() ? "" : " ") + w;
    }
    return out;
}

std::string keyWords(std::string_view suffix) {
    std::vector<std::string> keys;
    for (const SettingKey& key : settingKeys()) {
        keys.push_back(std::string(key.name) + std::string(suffix));
    }
    return joined(keys);
}

std::string singleQuoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// The words that answer a value of this kind, as a bash command filling COMPREPLY.
std::string bashValue(Value value) {
    switch (value) {
        case Value::Port:
            return "COMPREPLY=($(compgen -W \"$(\"$1\" ports --names 2>/dev/null)\" -- \"$cur\"))";
        case Value::File:
            return "compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\"))";
        case Value::SettingsFile:
            return "compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -X '!*.toml' -- "
                   "\"$cur\") $(compgen -f -X '!*.json' -- \"$cur\") $(compgen -d -- \"$cur\"))";
        case Value::Setting:
            return "compopt -o nospace 2>/dev/null; COMPREPLY=($(compgen -W \"" + keyWords("=") +
                   "\" -- \"$cur\"))";
        case Value::Key:
            return "COMPREPLY=($(compgen -W \"" + keyWords("") + "\" -- \"$cur\"))";
        case Value::Shell:
            return "COMPREPLY=($(compgen -W \"bash zsh fish\" -- \"$cur\"))";
        case Value::None:
        case Value::Other:
            break;
    }
    return "COMPREPLY=()";
}

std::string bashScript(const CLI::App& app, const std::string& function) {
    std::string globals;
    std::string globalValues;
    for (const CLI::Option* option : app.get_options()) {
        if (option->nonpositional()) {
            globals += " " + joined(namesOf(*option));
            if (valueOf(*option) != Value::None) {
                globalValues += (globalValues.empty() ? "" : "|") + joined(namesOf(*option));
            }
        }
    }
    std::string commands;
    std::string perCommand;
    for (const CLI::App* sub : app.get_subcommands({})) {
        commands += (commands.empty() ? "" : " ") + sub->get_name();
        std::string options = "--help";
        std::string valueCases;
        std::string positional = "COMPREPLY=()";
        for (const CLI::Option* option : sub->get_options()) {
            const Value value = valueOf(*option);
            if (!option->nonpositional()) {
                positional = bashValue(value);
                continue;
            }
            if (namesOf(*option).front() == "-h") {
                continue;
            }
            options += " " + joined(namesOf(*option));
            if (value != Value::None) {
                std::string names = joined(namesOf(*option));
                std::replace(names.begin(), names.end(), ' ', '|');
                valueCases +=
                    "                " + names + ") " + bashValue(value) + "; return ;;\n";
            }
        }
        perCommand += "        " + sub->get_name() + ")\n            case $prev in\n" + valueCases +
                      "            esac\n            if [[ $cur == -* ]]; then\n" +
                      "                COMPREPLY=($(compgen -W \"" + options +
                      "\" -- \"$cur\"))\n            else\n                " + positional +
                      "\n            fi\n            ;;\n";
    }
    std::string globalValueCase;
    if (!globalValues.empty()) {
        std::replace(globalValues.begin(), globalValues.end(), ' ', '|');
        globalValueCase = "    case $prev in\n        " + globalValues + ") " +
                          bashValue(Value::File) + "; return ;;\n    esac\n";
    }
    return function +
           "() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    local command=\"\" i\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case ${COMP_WORDS[i]} in\n"
           "            " +
           (globalValues.empty() ? "--log" : globalValues) +
           ") ((i++)) ;;\n"
           "            -*) ;;\n"
           "            *) command=${COMP_WORDS[i]}; break ;;\n"
           "        esac\n"
           "    done\n" +
           globalValueCase +
           "    case $command in\n"
           "        \"\")\n"
           "            COMPREPLY=($(compgen -W \"" +
           commands + globals +
           "\" -- \"$cur\"))\n"
           "            ;;\n" +
           perCommand +
           "    esac\n"
           "}\n"
           "complete -F " +
           function + " tamlo\n";
}

std::string fishValue(Value value) {
    switch (value) {
        case Value::Port:
            return " -x -a '(tamlo ports --names 2>/dev/null)'";
        case Value::File:
            return " -r -F";
        case Value::SettingsFile:
            return " -k -a '(__fish_complete_suffix .toml; __fish_complete_suffix .json)'";
        case Value::Setting:
            return " -x -a " + singleQuoted(keyWords("="));
        case Value::Key:
            return " -x -a " + singleQuoted(keyWords(""));
        case Value::Shell:
            return " -x -a 'bash zsh fish'";
        case Value::Other:
            return " -x";
        case Value::None:
            break;
    }
    return "";
}

std::string fishOption(const std::string& condition, const CLI::Option& option) {
    std::string line = "complete -c tamlo -n " + singleQuoted(condition);
    for (const std::string& s : option.get_snames()) {
        line += " -s " + s;
    }
    for (const std::string& l : option.get_lnames()) {
        line += " -l " + l;
    }
    return line + fishValue(valueOf(option)) + " -d " + singleQuoted(option.get_description()) +
           "\n";
}

std::string fishScript(const CLI::App& app) {
    std::string out =
        "# fish completion for tamlo, made by `tamlo completion fish`\n"
        "complete -c tamlo -f\n";
    for (const CLI::Option* option : app.get_options()) {
        if (option->nonpositional()) {
            out += fishOption("__fish_use_subcommand", *option);
        }
    }
    for (const CLI::App* sub : app.get_subcommands({})) {
        out += "complete -c tamlo -n __fish_use_subcommand -a " + sub->get_name() + " -d " +
               singleQuoted(sub->get_description()) + "\n";
        const std::string condition = "__fish_seen_subcommand_from " + sub->get_name();
        for (const CLI::Option* option : sub->get_options()) {
            if (option->nonpositional()) {
                if (namesOf(*option).front() != "-h") {
                    out += fishOption(condition, *option);
                }
            } else {
                out += "complete -c tamlo -n " + singleQuoted(condition) +
                       fishValue(valueOf(*option)) + "\n";
            }
        }
    }
    return out;
}

}  // namespace

std::string completionScriptFor(std::string_view shell, const CLI::App& app) {
    if (shell == "bash") {
        return "# bash completion for tamlo, made by `tamlo completion bash`\n" +
               bashScript(app, "_tamlo");
    }
    if (shell == "zsh") {
        // zsh runs the bash function through its bashcompinit; the completion that made
        // zsh load this file is answered too.
        return "#compdef tamlo\n# zsh completion for tamlo, made by `tamlo completion zsh`\n"
               "autoload -U +X bashcompinit && bashcompinit\n" +
               bashScript(app, "__tamlo_bash") +
               "[[ ${funcstack[1]-} == _tamlo ]] && _bash_complete -F __tamlo_bash\n";
    }
    if (shell == "fish") {
        return fishScript(app);
    }
    return {};
}

}  // namespace tamlo::cli
