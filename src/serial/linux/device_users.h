// Who has a terminal device open, as /proc shows it: the program holding it, and for a
// pseudo-terminal the program serving it (the one holding its master side). What tells a
// port held by a live program from a flag that a killed one left behind.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace tamlo {

struct DeviceUsers {
    // A process other than ours with the device open; 0 when none was seen.
    int64_t holderPid = 0;
    std::string holderProgram;
    // The device is a pseudo-terminal (/dev/pts/N).
    bool pseudoTerminal = false;
    // The process holding the master of the pseudo-terminal; 0 when none was seen or the
    // device is no pseudo-terminal. Ours counts: we may serve it ourselves.
    int64_t serverPid = 0;
    std::string serverProgram;
    // Every process's descriptors could be looked into. Not so for an ordinary user, who
    // may not look into other users' processes, nor where /proc hides them.
    bool complete = true;
};

DeviceUsers findDeviceUsers(const std::string& devicePath,
                            const std::filesystem::path& procRoot = "/proc");

struct ProcPass;

// The same, for ports opened at one moment (a fleet, a scrape of every receiver): the
// questions asked while a pass through /proc is under way share the next pass, so 32 ports
// cost two passes rather than 32, and no answer comes from a pass begun before its question.
class DeviceUserPasses {
  public:
    explicit DeviceUserPasses(std::filesystem::path procRoot = "/proc");
    ~DeviceUserPasses();
    DeviceUserPasses(const DeviceUserPasses&) = delete;
    DeviceUserPasses& operator=(const DeviceUserPasses&) = delete;

    DeviceUsers find(const std::string& devicePath);

  private:
    const std::filesystem::path procRoot_;
    std::mutex mutex_;
    std::condition_variable passEnded_;
    uint64_t begun_ = 0;
    uint64_t ended_ = 0;
    bool running_ = false;
    std::shared_ptr<const ProcPass> last_;
};

// A UUCP lock file, lockRoot/LCK..ttyS0, as minicom, cu and the modem tools leave while they
// use a line. The file holds its writer's process id, as ten digits or as a binary int.
struct UucpLock {
    int64_t pid = 0;  // 0: no lock, or one whose writer has ended
    std::string program;
};

UucpLock findUucpLock(const std::string& devicePath,
                      const std::filesystem::path& lockRoot = "/var/lock",
                      const std::filesystem::path& procRoot = "/proc");

}  // namespace tamlo
