// tamlo read: a receiver's settings as a file, kept whole or not at all.
#include "cli/command_context.h"
#include "cli/receiver_jobs.h"

namespace tamlo::cli {

int commandRead(CommandContext& run, const std::vector<std::string>& ports) {
    const Options& options = run.options();
    if (ports.size() != 1) {
        run.error("read takes one port");
        return kExitUsage;
    }
    const std::string& output = options.output;
    const bool toFile = !output.empty() && output != "-";
    // A backup that cannot be kept is found out before the receiver is asked.
    if (toFile) {
        if (const std::string problem = run.platform().files.cannotWrite(output);
            !problem.empty()) {
            run.error("cannot be written: " + problem, output);
            return kExitUsage;
        }
    }
    const std::string readAt = run.platform().isoNow();
    std::vector<PortReport> reports = run.runJob(
        ports,
        [&](Line& line, const std::string& port, PortProgress& progress) {
            return readReceiver(line, port, progress, readAt);
        },
        true);
    const PortReport& report = reports.front();
    if (!report.ok || !report.read) {
        for (const std::string& e : report.errors) {
            run.err() << kProgram << ": " << report.port << ": " << e << "\n";
        }
        return run.status(reports);
    }
    const FileFormat format =
        options.json ? FileFormat::Json : (toFile ? formatOfName(output) : FileFormat::Toml);
    const std::string text = writeSettings(*report.read, format);
    if (!toFile) {
        run.out() << text;
        return run.status(reports);
    }
    if (const std::string problem = run.platform().files.replace(output, text); !problem.empty()) {
        run.err() << kProgram << ": " << output << ": cannot be written: " << problem
                  << "; the file is as it was\n";
        return kExitFailed;
    }
    run.note(report.port + ": firmware " + report.firmware + ": settings written to " + output);
    return run.status(reports);
}

}  // namespace tamlo::cli
