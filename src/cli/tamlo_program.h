// The whole command-line program above the platform: a main builds a Platform (ports,
// clock, files, terminal, signals, the simulated receiver) and hands it the arguments.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/fleet.h"
#include "cli/held_ports.h"
#include "cli/options.h"
#include "files/checked_stream.h"
#include "files/file_store.h"
#include "serial/port_lister.h"

namespace tamlo::cli {

struct Platform {
    // A port and clock for one worker; called on the worker's own thread.
    ConnectionFactory connect;
    // The system's ports: their names, what the system tells of them (USB adapter, by-id
    // link), whether one is free, and a probe that only tries one.
    PortLister& lister;
    // The files that name ports, the system's first: a later one's names win.
    std::vector<std::string> portsFiles;
    // Starts the simulated receiver with this firmware version; fills the device to open
    // for the port "sim", or the reason it did not start. Null where there is none.
    std::function<bool(const std::string& version, std::string& device, std::string& error)>
        startSimulator;
    // Now, as an ISO 8601 UTC text (2026-12-07T13:20:05.123Z), and on a monotonic base in ms.
    std::function<std::string()> isoNow;
    std::function<int64_t()> monotonicMs;
    // Now in unix milliseconds, for the time axis of a plot; null: the epoch.
    std::function<int64_t()> unixMs = nullptr;
    FileStore& files;
    // Standard input, whole, for a settings file named "-"; refused beyond maxBytes.
    std::function<FileText(int64_t maxBytes)> readStandardInput;
    std::ostream& out;
    std::ostream& err;
    bool terminal = false;  // err is a terminal: progress bars
    bool unicode = true;    // the terminal shows UTF-8 block characters
    // How many times the user asked the program to stop (Ctrl-C, SIGTERM, SIGHUP), and the
    // number of the first signal; written by the signal handler.
    const std::atomic<int>* stopRequests = nullptr;
    const std::atomic<int>* stopSignal = nullptr;
    // out, when it is the program's own standard output: a write it refuses ends the run
    // with status 1, a reader gone away (a pipe into head) quietly with 141. Null: out is
    // not checked (a test's memory).
    CheckedStream* standardOutput = nullptr;
    // Where the workers' open ports are known, so that the program can release them when
    // it has to end before a stuck worker does; null: nowhere.
    HeldPorts* heldPorts = nullptr;
    // tamlo serve, where this program has it.
    std::function<int(class CommandContext&, const std::vector<std::string>& ports)> serve =
        nullptr;
};

// Runs the command; returns the exit status: 0 all succeeded, 1 a receiver failed, 2 a
// usage or file error, 128 + the signal's number when stopped (130 for Ctrl-C), 141 when the
// reader of standard output went away.
int runTamlo(const Options& options, Platform& platform);
int runTamlo(const std::vector<std::string>& args, Platform& platform);

}  // namespace tamlo::cli
