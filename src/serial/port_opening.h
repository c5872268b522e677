// What came of opening a port: opened, or refused with the reason and whatever the system
// told about it. Every platform's port fills the same value; each program words it with
// describeRefusal and adds its own name, so nothing below the programs writes to a
// terminal.
#pragma once

#include <cstdint>
#include <string>

namespace tamlo {

enum class OpenRefusal {
    None,
    Missing,         // no such device
    NotSerialPort,   // a folder, a regular file, /dev/null, a device without line settings
    InUse,           // another program holds it
    StaleExclusive,  // the exclusive flag is set, but no program holds the device any more
    Permission,      // the user may not open it
    LineSettings,    // a port that does not take 1200 baud, 8 data bits, 2 stop bits
    Console,         // the kernel's console: its messages and its login are on it
    Other,
};

struct PortOpening {
    OpenRefusal refusal = OpenRefusal::None;
    std::string holderProgram;  // InUse: the program that holds it open, where the system shows it
    int64_t holderPid = 0;      // InUse: its process id; 0 when unknown
    std::string owner;          // Permission: the user owning the device
    std::string group;          // Permission: the group owning the device
    bool joiningGroupHelps = false;  // Permission: the device's mode lets its group read and write
    std::string systemText;          // the system's own words for the failure, where there are any
    // InUse: the device carries the exclusive flag and no process that could be looked into
    // holds it, but some processes could not be looked into (another user's): held by one of
    // those, or left set by a program that was killed.
    bool holderMayBeHidden = false;
    // StaleExclusive, and InUse with holderMayBeHidden: the program serving the
    // pseudo-terminal, whose restart clears the flag, where the system shows it.
    std::string serverProgram;
    int64_t serverPid = 0;

    bool opened() const { return refusal == OpenRefusal::None; }
    explicit operator bool() const { return opened(); }
};

// The reason in words for a user, without any program's name, e.g. "does not exist",
// "in use by minicom (process 4242)", "permission denied: ... ", with what to do where the
// user can do something. Empty for a port that opened.
std::string describeRefusal(const PortOpening& opening);

}  // namespace tamlo
