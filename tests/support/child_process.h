// One of our programs run as a separate process, its standard output and error on pipes:
// what a user's shell or a script sees of it.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "serial/linux/monotonic.h"

extern char** environ;

namespace tamlo::sim::testing {

struct ChildProcess {
    pid_t pid = -1;
    int out = -1;
    int err = -1;

    // args[0] is the program's path.
    explicit ChildProcess(std::vector<std::string> args) {
        int outPipe[2];
        int errPipe[2];
        if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        posix_spawn_file_actions_addclose(&actions, outPipe[0]);
        posix_spawn_file_actions_addclose(&actions, errPipe[0]);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(outPipe[1]);
        close(errPipe[1]);
        out = outPipe[0];
        err = errPipe[0];
    }
    ~ChildProcess() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        closeOut();
        close(err);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The reading end of standard output goes: the program's next write there fails.
    void closeOut() {
        if (out >= 0) {
            close(out);
            out = -1;
        }
    }

    // Reads fd until end of file, a line end (when stopAtLine) or the time is up.
    static std::string readFrom(int fd, int ms, bool stopAtLine) {
        std::string text;
        const int64_t end = monotonicNs() + static_cast<int64_t>(ms) * 1'000'000;
        while (fd >= 0 && monotonicNs() < end &&
               !(stopAtLine && text.find('\n') != std::string::npos)) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) {
                continue;
            }
            char c = 0;
            if (read(fd, &c, 1) != 1) {
                break;
            }
            text += c;
        }
        return text;
    }

    // Exit status, or -1 when it did not end in time (or ended by a signal).
    int wait(int ms) {
        const int64_t end = monotonicNs() + static_cast<int64_t>(ms) * 1'000'000;
        while (monotonicNs() < end) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(10'000);
        }
        return -1;
    }
};

}  // namespace tamlo::sim::testing
