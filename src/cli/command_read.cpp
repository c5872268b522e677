// tamlo read: receivers' settings as files, each kept whole or not at all: one port to a file
// or standard output, or many at once into a folder, one file per receiver named by its
// port's stable name.
#include <algorithm>
#include <cctype>
#include <set>

#include "cli/command_context.h"
#include "cli/receiver_jobs.h"
#include "files/file_names.h"
#include "text/latin1.h"

namespace tamlo::cli {

namespace {

bool endsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

// Where each port's backup goes; nothing (with the error reported) when the folder cannot
// take them. Found out before any receiver is asked.
std::optional<std::map<std::string, std::string>> backupFiles(
    CommandContext& run, const std::vector<std::string>& ports) {
    std::string folder = run.options().output;
    const bool asked = endsWithSeparator(folder);
    while (folder.size() > 1 && endsWithSeparator(folder)) {
        folder.pop_back();
    }
    FileStore& files = run.platform().files;
    if (!files.isFolder(folder)) {
        if (!asked) {
            run.error(
                "is not a folder: more than one receiver is saved into a folder (give "
                "DIR/ to make one)",
                folder);
            return std::nullopt;
        }
        if (const std::string problem = files.makeFolder(folder); !problem.empty()) {
            run.error("cannot be made: " + problem, folder);
            return std::nullopt;
        }
    }
    const std::string extension = run.options().json ? ".json" : ".toml";
    std::map<std::string, std::string> paths;
    std::set<std::string> taken;  // as Windows compares names: in any case
    for (const std::string& port : ports) {
        const std::string name =
            portableFileName(PortDirectory::stableName(run.port(port)) + extension);
        std::string folded = name;
        std::transform(folded.begin(), folded.end(), folded.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (!taken.insert(folded).second) {
            run.error("two ports would be saved as " + name + "; give them names in ports.toml",
                      folder);
            return std::nullopt;
        }
        paths[port] = folder + "/" + name;
        if (const std::string problem = files.cannotWrite(paths[port]); !problem.empty()) {
            run.error("cannot be written: " + problem, paths[port]);
            return std::nullopt;
        }
    }
    return paths;
}

}  // namespace

int commandRead(CommandContext& run, const std::vector<std::string>& ports) {
    const Options& options = run.options();
    const std::string& output = options.output;
    const bool intoFolder = endsWithSeparator(output) || ports.size() > 1 || options.all;
    const bool toFile = !output.empty() && output != "-";
    if (intoFolder && !toFile) {
        run.error("read: more than one receiver goes into a folder: give -o DIR/");
        return kExitUsage;
    }
    std::map<std::string, std::string> paths;
    if (intoFolder) {
        auto planned = backupFiles(run, ports);
        if (!planned) {
            return kExitUsage;
        }
        paths = std::move(*planned);
    } else if (toFile) {
        // A backup that cannot be kept is found out before the receiver is asked.
        if (const std::string problem = run.platform().files.cannotWrite(output);
            !problem.empty()) {
            const std::string hint =
                run.platform().files.isFolder(output) ? " (give " + output + "/ to save into it)"
                : problem.ends_with("not a regular file") ? " (-o - writes to standard output)"
                                                          : "";
            run.error("cannot be written: " + problem + hint, output);
            return kExitUsage;
        }
        paths[ports.front()] = output;
    }
    std::map<std::string, SourceInfo> sources;
    const std::string readAt = run.platform().isoNow();
    for (const std::string& port : ports) {
        const NamedPort& named = run.port(port);
        SourceInfo& source = sources[port];
        source.port = named.name;
        if (named.details.device != named.name) {
            source.device = named.details.device;
        }
        source.byId = named.details.byId;
        source.usbSerial = named.details.serialNumber;
        source.readAt = readAt;
    }
    const FileFormat format =
        options.json ? FileFormat::Json : (toFile ? formatOfName(output) : FileFormat::Toml);
    FileStore& files = run.platform().files;
    std::vector<PortReport> reports = run.runJob(
        ports,
        [&](Line& line, const std::string& port, PortProgress& progress) {
            PortReport report = readReceiver(line, port, progress, sources.at(port));
            // Each backup is kept as soon as it is read, so that the flushes to the disk of
            // many run side by side.
            if (report.ok && report.read && toFile) {
                const std::string& path = paths.at(port);
                if (const std::string problem =
                        files.replace(path, writeSettings(*report.read, format));
                    !problem.empty()) {
                    report.fail(path + ": cannot be written: " + problem +
                                "; the file is as it was");
                }
            }
            return report;
        },
        true);
    int saved = 0;
    std::string failed;
    // JSON on standard output: one document, an array with one object per port.
    const bool jsonOut = options.json && !toFile;
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const PortReport& report : reports) {
        if (jsonOut) {
            nlohmann::ordered_json object = {{"port", bytesAsUtf8(report.port)},
                                             {"firmware", firmwareJson(report)},
                                             {"source", nullptr},
                                             {"settings", nullptr}};
            if (report.ok && report.read) {
                const nlohmann::ordered_json file =
                    nlohmann::ordered_json::parse(writeSettings(*report.read, format));
                object["source"] = file.value("source", nlohmann::ordered_json());
                object["settings"] = file.value("settings", nlohmann::ordered_json());
            }
            object["error"] = portErrorJson(report);
            list.push_back(object);
        }
        if (!report.ok || !report.read) {
            failed += (failed.empty() ? "" : ", ") + report.port;
            if (intoFolder) {
                printWriteReport(run.out(), report, false, false, false);
            } else {
                for (const std::string& e : report.errors) {
                    run.err() << kProgram << ": " << report.port << ": " << e << "\n";
                }
            }
        } else if (!toFile) {
            if (!jsonOut) {
                run.out() << writeSettings(*report.read, format);
            }
        } else if (intoFolder) {
            ++saved;
            run.out() << report.port << ": firmware " << report.firmware << ": saved to "
                      << paths.at(report.port) << "\n";
        } else {
            run.note(report.port + ": firmware " + report.firmware + ": settings written to " +
                     paths.at(report.port));
        }
    }
    if (jsonOut) {
        run.out() << jsonText(list, 2) << "\n";
    }
    if (intoFolder && !options.quiet) {
        run.out() << "read: " << reports.size()
                  << (reports.size() == 1 ? " receiver: " : " receivers: ") << saved << " saved, "
                  << reports.size() - static_cast<size_t>(saved) << " failed"
                  << (failed.empty() ? "" : " (" + failed + ")") << "\n";
    }
    return run.status(reports);
}

}  // namespace tamlo::cli
