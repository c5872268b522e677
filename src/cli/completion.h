// Shell completion made from the command line's own definition, so that a new command or
// option completes the day it is added: the commands, their options, port names (from
// `tamlo ports --names`, which opens nothing), settings files and setting keys.
#pragma once

#include <string>
#include <string_view>

namespace CLI {
class App;
}

namespace tamlo::cli {

// The script for bash, zsh or fish; empty for another shell.
std::string completionScriptFor(std::string_view shell, const CLI::App& app);

}  // namespace tamlo::cli
