#include "serial/port_opening.h"

namespace tamlo {

namespace {

// "minicom (process 4242)", "process 4242", "minicom"; empty when nothing is known.
std::string processText(const std::string& program, int64_t pid) {
    std::string text = program;
    if (pid > 0) {
        const std::string number = "process " + std::to_string(pid);
        text = text.empty() ? number : text + " (" + number + ")";
    }
    return text;
}

// A flag left behind lives on a pseudo-terminal as long as the program serving it keeps it
// open; a real port loses it on its last close, so only that program's restart helps.
std::string restartServer(const PortOpening& opening) {
    const std::string server = processText(opening.serverProgram, opening.serverPid);
    if (server.empty()) {
        return "restart the program serving this pseudo-terminal to clear it";
    }
    return "restart " + server + ", which serves this pseudo-terminal, to clear it";
}

std::string permissionText(const PortOpening& opening) {
    std::string text = "permission denied";
    if (opening.group.empty()) {
        return text;
    }
    if (opening.joiningGroupHelps) {
        return text + ": the device belongs to the group '" + opening.group +
               "'; add the user to that group, then log in again";
    }
    // Mode 0600 and the like: membership of the group changes nothing.
    text += ": only the device's owner";
    if (!opening.owner.empty()) {
        text += " '" + opening.owner + "'";
    }
    return text + " may use it; joining its group '" + opening.group +
           "' would not help, since that group may not read and write it";
}

}  // namespace

std::string describeRefusal(const PortOpening& opening) {
    switch (opening.refusal) {
        case OpenRefusal::None:
            return {};
        case OpenRefusal::Missing:
            return "does not exist";
        case OpenRefusal::NotSerialPort:
            return "not a serial port";
        case OpenRefusal::InUse: {
            const std::string holder = processText(opening.holderProgram, opening.holderPid);
            if (!holder.empty()) {
                return "in use by " + holder;
            }
            if (opening.holderMayBeHidden) {
                return "in use by another program, or locked by one that was killed: its "
                       "exclusive flag is set and no process this user may look into holds it; "
                       "if nothing else should be using it, " +
                       restartServer(opening);
            }
            return "in use by another program";
        }
        case OpenRefusal::StaleExclusive:
            return "locked by a program that has ended: its exclusive flag is still set, but no "
                   "program holds it open; " +
                   restartServer(opening);
        case OpenRefusal::Permission:
            return permissionText(opening);
        case OpenRefusal::LineSettings: {
            std::string text =
                "does not take the receiver's line settings (1200 baud, 8 data bits, no parity, "
                "2 stop bits)";
            return opening.systemText.empty() ? text : text + ": " + opening.systemText;
        }
        case OpenRefusal::Console:
            return "the kernel's console, which is not tried as a receiver's port";
        case OpenRefusal::Other:
            break;
    }
    return opening.systemText.empty() ? "cannot be opened"
                                      : "cannot be opened: " + opening.systemText;
}

}  // namespace tamlo
