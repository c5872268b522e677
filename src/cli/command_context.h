// What every command of one run shares: the options, the platform, the byte log, and the
// way a run speaks: warnings, errors (as text, or as one JSON object with --json), the
// progress bars and the stop requests while the workers run, and the exit status.
#pragma once

#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/fleet.h"
#include "cli/options.h"
#include "cli/port_directory.h"
#include "cli/port_report.h"
#include "cli/run_outputs.h"
#include "cli/tamlo_program.h"
#include "files/settings_file.h"

namespace tamlo::cli {

class CommandContext {
  public:
    CommandContext(const Options& options, Platform& platform);

    const Options& options() const { return options_; }
    Platform& platform() { return platform_; }
    std::ostream& out() { return platform_.out; }
    std::ostream& err() { return platform_.err; }

    // Reads the ports files, starts the byte log and the simulated receiver, as the options
    // ask; false with the error reported (exit status in status).
    bool start(int& status);
    // The ports of the command by the names they are reported by: those given (each once),
    // else the default port, or with --all every port that opens. Nothing, with the error
    // reported and the exit status in status, when there are none.
    std::optional<std::vector<std::string>> ports(int& status);
    // Every port the system lists and the ports files name, "sim" first when it runs.
    std::vector<NamedPort> knownPorts();
    // Whether the port opens, tried without disturbing it (tryIt), or what the system tells
    // against opening it without opening it: a refusal, or none.
    PortOpening probeOpen(const NamedPort& port, bool tryIt = true);
    // A port of this run by the name it is reported by.
    const NamedPort& port(const std::string& name);
    PortDirectory& directory();

    // A warning or note on standard error, unless --quiet.
    void note(const std::string& text);
    // A usage or file error: "tamlo: TEXT" on standard error, or with --json one object on
    // standard output.
    void error(const std::string& message, const std::string& file = {}, int64_t line = 0,
               int64_t column = 0);

    // A settings file, whole and valid, or every error in it reported.
    std::optional<SettingsFile> loadSettingsFile(const std::string& path);
    // set's KEY=VALUE words as a file, or every error in them reported.
    std::optional<SettingsFile> loadAssignments();

    // Runs job on every port, drawing progress and taking stop requests meanwhile.
    std::vector<PortReport> runJob(const std::vector<std::string>& ports, const PortJob& job,
                                   bool showBars);
    // 0, 1, or 128 + the signal when the user stopped the run.
    int status(const std::vector<PortReport>& reports) const;
    int stoppedStatus() const;
    bool stopped() const { return stopped_; }

    // Records a port of the run: where its name leads, or why it leads nowhere.
    void enlist(NamedPort port);

    // The run's stream outputs: a failed one ends the jobs and makes the status 1.
    RunOutputs& outputs() { return outputs_; }

  private:
    // The parts of start(), each in the file named for its job.
    bool readPortsFiles(int& status);
    bool openLog(int& status);
    bool startSimulator(int& status);
    // Heads the byte log before the first port of the run is worked.
    void startLog(const std::vector<std::string>& ports);
    std::optional<SettingsFile> accept(FileParse parsed, const std::string& shown);
    NamedPort simulatedPort();
    // What the run says and does of the stop requests, every tick while the workers run.
    void tick(FleetProgress& progress, class ProgressBars* bars);

    const Options& options_;
    Platform& platform_;
    FleetOptions fleet_;
    PortsFile portsFile_;
    std::unique_ptr<PortDirectory> directory_;
    std::map<std::string, NamedPort> ports_;
    RunOutputs outputs_;
    CheckedStream* logFile_ = nullptr;
    std::unique_ptr<SerialLog> log_;
    bool stopped_ = false;
    bool toldStop_ = false;
    bool toldAbort_ = false;
};

// The commands.
int commandPorts(CommandContext& run);
int commandRead(CommandContext& run, const std::vector<std::string>& ports);
int commandWrite(CommandContext& run, const std::vector<std::string>& ports, bool apply);
int commandRssi(CommandContext& run, const std::vector<std::string>& ports);
int commandGet(CommandContext& run, const std::vector<std::string>& ports);
int commandDiff(CommandContext& run, const std::vector<std::string>& ports);

}  // namespace tamlo::cli
