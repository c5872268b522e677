#include "serial/linux/device_users.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>
#include <vector>

namespace tamlo {

namespace fs = std::filesystem;

namespace {

std::optional<int64_t> numberOf(std::string_view text) {
    if (text.empty() || text.size() > 18) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string linkTarget(const fs::path& link) {
    char buffer[4096];
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
    return n > 0 && static_cast<size_t>(n) < sizeof buffer
               ? std::string(buffer, static_cast<size_t>(n))
               : std::string();
}

std::string programName(const fs::path& process) {
    std::ifstream in(process / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// The pseudo-terminal a master descriptor belongs to, as its fdinfo gives it.
std::optional<int64_t> ptyIndexOf(const fs::path& fdinfo) {
    std::ifstream in(fdinfo);
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("tty-index:")) {
            const size_t start = line.find_first_not_of(" \t", 10);
            return start == std::string::npos ? std::nullopt : numberOf(line.substr(start));
        }
    }
    return std::nullopt;
}

class DirectoryReader {
  public:
    explicit DirectoryReader(const fs::path& path) : dir_(::opendir(path.c_str())) {
        error_ = dir_ == nullptr ? errno : 0;
    }
    ~DirectoryReader() {
        if (dir_ != nullptr) {
            ::closedir(dir_);
        }
    }
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    int error() const { return error_; }
    // The next entry's name; empty at the end.
    std::string next() {
        if (dir_ == nullptr) {
            return {};
        }
        while (const dirent* entry = ::readdir(dir_)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                return name;
            }
        }
        return {};
    }

  private:
    DIR* dir_;
    int error_ = 0;
};

}  // namespace

// One pass through every process's descriptors: who holds each device, and who serves each
// pseudo-terminal (the holder of its master, whose fdinfo names the index).
struct ProcPass {
    struct Program {
        int64_t pid = 0;
        std::string name;
    };
    std::map<std::string, Program> holders;  // by device, the first process other than ours
    std::map<int64_t, Program> ptyServers;   // by index; ours counts
    bool complete = true;
};

namespace {

ProcPass passThrough(const fs::path& procRoot) {
    ProcPass pass;
    const int64_t self = ::getpid();
    DirectoryReader processes(procRoot);
    if (processes.error() != 0) {
        pass.complete = false;
        return pass;
    }
    // Where /proc hides other users' processes, the first process is missing from it.
    struct stat info {};
    if (self != 1 && ::stat((procRoot / "1").c_str(), &info) != 0) {
        pass.complete = false;
    }
    for (std::string entry = processes.next(); !entry.empty(); entry = processes.next()) {
        const std::optional<int64_t> pid = numberOf(entry);
        if (!pid) {
            continue;
        }
        const fs::path process = procRoot / entry;
        DirectoryReader descriptors(process / "fd");
        if (descriptors.error() != 0) {
            // A process that has just ended has nothing open; one we may not look into might.
            if (descriptors.error() != ENOENT) {
                pass.complete = false;
            }
            continue;
        }
        for (std::string fd = descriptors.next(); !fd.empty(); fd = descriptors.next()) {
            const std::string target = linkTarget(process / "fd" / fd);
            if (target == "/dev/ptmx" || target == "/dev/pts/ptmx") {
                if (const std::optional<int64_t> index = ptyIndexOf(process / "fdinfo" / fd);
                    index && !pass.ptyServers.contains(*index)) {
                    pass.ptyServers[*index] = {*pid, programName(process)};
                }
            } else if (target.starts_with("/") && *pid != self && !pass.holders.contains(target)) {
                pass.holders[target] = {*pid, programName(process)};
            }
        }
    }
    return pass;
}

DeviceUsers usersIn(const ProcPass& pass, const std::string& devicePath) {
    DeviceUsers users;
    users.complete = pass.complete;
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(devicePath, error);
    const std::string device = error ? devicePath : canonical.string();
    if (const auto holder = pass.holders.find(device); holder != pass.holders.end()) {
        users.holderPid = holder->second.pid;
        users.holderProgram = holder->second.name;
    }
    // /dev/pts/N: its master is a descriptor of /dev/ptmx whose fdinfo names index N.
    if (device.starts_with("/dev/pts/")) {
        const std::optional<int64_t> index = numberOf(std::string_view(device).substr(9));
        users.pseudoTerminal = index.has_value();
        if (const auto server = index ? pass.ptyServers.find(*index) : pass.ptyServers.end();
            server != pass.ptyServers.end()) {
            users.serverPid = server->second.pid;
            users.serverProgram = server->second.name;
        }
    }
    return users;
}

}  // namespace

DeviceUsers findDeviceUsers(const std::string& devicePath, const fs::path& procRoot) {
    return usersIn(passThrough(procRoot), devicePath);
}

DeviceUserPasses::DeviceUserPasses(fs::path procRoot) : procRoot_(std::move(procRoot)) {}

DeviceUserPasses::~DeviceUserPasses() = default;

DeviceUsers DeviceUserPasses::find(const std::string& devicePath) {
    std::unique_lock lock(mutex_);
    // A pass under way began before this question and may miss a program that opened the
    // device since: only the next one to begin answers it.
    const uint64_t wanted = begun_ + 1;
    while (ended_ < wanted) {
        if (running_) {
            passEnded_.wait(lock);
            continue;
        }
        running_ = true;
        const uint64_t mine = ++begun_;
        lock.unlock();
        auto pass = std::make_shared<const ProcPass>(passThrough(procRoot_));
        lock.lock();
        last_ = std::move(pass);
        ended_ = mine;
        running_ = false;
        passEnded_.notify_all();
    }
    const std::shared_ptr<const ProcPass> pass = last_;
    lock.unlock();
    return usersIn(*pass, devicePath);
}

namespace {

// The process id a lock file names: ASCII digits (HDB style, "      4242\n") or the four
// bytes of an int (the older style).
int64_t lockOwner(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char buffer[32] = {};
    in.read(buffer, sizeof buffer - 1);
    const std::streamsize size = in.gcount();
    if (size == 4) {
        int32_t binary = 0;
        std::memcpy(&binary, buffer, sizeof binary);
        return binary > 0 ? binary : 0;
    }
    std::string_view text(buffer, static_cast<size_t>(size));
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return 0;
    }
    text.remove_prefix(start);
    text = text.substr(0, text.find_first_not_of("0123456789"));
    return numberOf(text).value_or(0);
}

// Alive, or at least there: another user's process may not be signalled, but it exists.
bool processExists(int64_t pid) {
    return pid > 0 && pid <= INT32_MAX &&
           (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

}  // namespace

UucpLock findUucpLock(const std::string& devicePath, const fs::path& lockRoot,
                      const fs::path& procRoot) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(devicePath, error);
    const std::string device = error ? devicePath : canonical.string();
    // Tools name the lock after the device's last part (LCK..ttyUSB0); some after its path
    // below /dev with '_' for '/' (LCK..pts_3).
    std::vector<std::string> names{fs::path(device).filename().string()};
    if (device.starts_with("/dev/")) {
        std::string below = device.substr(5);
        std::replace(below.begin(), below.end(), '/', '_');
        if (below != names.front()) {
            names.push_back(below);
        }
    }
    UucpLock lock;
    for (const std::string& name : names) {
        const int64_t pid = lockOwner(lockRoot / ("LCK.." + name));
        if (pid != ::getpid() && processExists(pid)) {
            lock.pid = pid;
            lock.program = programName(procRoot / std::to_string(pid));
            break;
        }
    }
    return lock;
}

}  // namespace tamlo
