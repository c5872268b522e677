// A usage error the command line words itself, thrown while the words are parsed and caught
// where they are; CLI11's own errors are told apart by their type, never by their text.
#pragma once

#include <string>

#include <CLI/Error.hpp>

namespace tamlo::cli {

class CommandLineError final : public CLI::ParseError {
  public:
    explicit CommandLineError(const std::string& message)
        : CLI::ParseError("CommandLineError", message, CLI::ExitCodes::ValidationError) {}
};

}  // namespace tamlo::cli
