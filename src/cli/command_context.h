// What every command of one run shares: the options, the platform, the byte log, and the
// way a run speaks: warnings, errors (as text, or as one JSON object with --json), the
// progress bars and the stop requests while the workers run, and the exit status.
#pragma once

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/fleet.h"
#include "cli/options.h"
#include "cli/port_report.h"
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

    // Starts the byte log and the simulated receiver, as the options ask; false with the
    // error reported (exit status in status).
    bool start(int& status);
    // The ports of the command: those named (each once), or with --all every port that opens.
    std::optional<std::vector<std::string>> ports();
    std::vector<std::string> openablePorts();

    // A warning or note on standard error, unless --quiet.
    void note(const std::string& text);
    // A usage or file error: "tamlo: TEXT" on standard error, or with --json one object on
    // standard output.
    void error(const std::string& message, const std::string& file = {}, int64_t line = 0,
               int64_t column = 0);

    // The settings file of write and apply, whole and valid, or every error in it reported.
    std::optional<SettingsFile> loadSettingsFile();

    // Runs job on every port, drawing progress and taking stop requests meanwhile.
    std::vector<PortReport> runJob(const std::vector<std::string>& ports, const PortJob& job,
                                   bool showBars);
    // 0, 1, or 128 + the signal when the user stopped the run.
    int status(const std::vector<PortReport>& reports) const;
    int stoppedStatus() const;
    bool stopped() const { return stopped_; }

  private:
    void tick(FleetProgress& progress, class ProgressBars* bars);

    const Options& options_;
    Platform& platform_;
    FleetOptions fleet_;
    std::unique_ptr<std::ofstream> logFile_;
    std::unique_ptr<SerialLog> log_;
    bool stopped_ = false;
    int64_t abortedAtMs_ = -1;
};

// The commands.
int commandPorts(CommandContext& run);
int commandRead(CommandContext& run, const std::vector<std::string>& ports);
int commandWrite(CommandContext& run, const std::vector<std::string>& ports, bool apply);
int commandRssi(CommandContext& run, const std::vector<std::string>& ports);

}  // namespace tamlo::cli
