// How a run speaks: notes and warnings on standard error unless --quiet; usage and file
// errors as "tamlo: FILE:LINE:COLUMN: TEXT", or with --json as the one object on standard
// output; a settings file taken whole or with every error in it named.
#include "cli/command_context.h"

namespace tamlo::cli {

void CommandContext::note(const std::string& text) {
    if (!options_.quiet) {
        err() << kProgram << ": " << text << "\n";
    }
}

void CommandContext::error(const std::string& message, const std::string& file, int64_t line,
                           int64_t column) {
    if (options_.json) {
        out() << errorJson(message, file, line, column) << "\n";
        return;
    }
    std::string where = file;
    if (!file.empty() && line > 0) {
        where += ":" + std::to_string(line) + ":" + std::to_string(column);
    }
    err() << kProgram << ": " << (where.empty() ? "" : where + ": ") << message << "\n";
}

std::optional<SettingsFile> CommandContext::loadSettingsFile(const std::string& path) {
    const std::string shown = path == "-" ? "<stdin>" : path;
    const FileText read = path == "-" ? platform_.readStandardInput(kMaxSettingsFileBytes)
                                      : platform_.files.read(path, kMaxSettingsFileBytes);
    if (!read.ok()) {
        error("cannot be read: " + read.error, shown);
        return std::nullopt;
    }
    return accept(parseSettings(read.text, shown, formatOfName(path)), shown);
}

std::optional<SettingsFile> CommandContext::loadAssignments() {
    return accept(parseAssignments(options_.words, options_.command), {});
}

std::optional<SettingsFile> CommandContext::accept(FileParse parsed, const std::string& shown) {
    if (!parsed.ok()) {
        if (options_.json) {
            const FileError& first = parsed.errors.front();
            std::string message = first.message;
            if (parsed.errors.size() > 1) {
                message += " (and " + std::to_string(parsed.errors.size() - 1) + " more)";
            }
            // The words of `set` are no file: no file, line or column.
            error(message + "; nothing was sent", shown.empty() ? std::string() : first.file,
                  first.line, first.column);
            return std::nullopt;
        }
        for (const FileError& e : parsed.errors) {
            err() << kProgram << ": " << e.text() << "\n";
        }
        err() << kProgram
              << ": nothing was sent: " << (shown.empty() ? "the settings have " : "the file has ")
              << parsed.errors.size() << (parsed.errors.size() == 1 ? " error\n" : " errors\n");
        return std::nullopt;
    }
    if (parsed.settings.settingCount() == 0 && !shown.empty()) {
        error("no [settings] to send", shown);
        return std::nullopt;
    }
    return std::move(parsed.settings);
}

}  // namespace tamlo::cli
