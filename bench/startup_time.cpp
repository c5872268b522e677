// Start-up: from the moment tamlo-config is started to its window's first paint, with
// the machine's own serial devices and with twenty more pseudo-terminals named on the
// command line, each of which start-up opens and sets up. The program reports the paint
// itself (its --exit-when-shown option) and ends. Prints table rows; fails on nothing.
//
//   bench_startup_time PATH-TO-TAMLO-CONFIG [RUNS]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "figures.h"

extern char** environ;

namespace {

using namespace tamlo::bench;

constexpr double kTargetMs = 250;
constexpr int kExtraDevices = 20;
constexpr int kTimeoutMs = 10'000;

int64_t monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Pseudo-terminals whose far side this process holds, so that each one opens like an
// idle serial line.
struct ExtraDevices {
    std::vector<int> masters;
    std::vector<std::string> paths;

    ~ExtraDevices() {
        for (int fd : masters) {
            close(fd);
        }
    }
};

bool openExtraDevices(ExtraDevices& devices, int count) {
    for (int i = 0; i < count; ++i) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0) {
            return false;
        }
        devices.masters.push_back(master);
        char name[256] = {};
        if (grantpt(master) != 0 || unlockpt(master) != 0 ||
            ptsname_r(master, name, sizeof name) != 0) {
            return false;
        }
        devices.paths.emplace_back(name);
    }
    return true;
}

// The child's environment: ours, drawn off screen unless a platform is chosen.
std::vector<std::string> childEnvironment() {
    std::vector<std::string> entries;
    bool platformChosen = false;
    for (char** e = environ; *e != nullptr; ++e) {
        platformChosen = platformChosen || std::strncmp(*e, "QT_QPA_PLATFORM=", 16) == 0;
        entries.emplace_back(*e);
    }
    if (!platformChosen) {
        entries.emplace_back("QT_QPA_PLATFORM=offscreen");
    }
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

// One start; the milliseconds to the first paint, or a negative number with a reason.
double startOnce(const std::string& program, const std::vector<std::string>& devices,
                 std::string& problem) {
    std::vector<std::string> args{program, "--exit-when-shown"};
    args.insert(args.end(), devices.begin(), devices.end());
    std::vector<std::string> env = childEnvironment();
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        problem = "no pipe";
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    pid_t child = 0;
    const int64_t startNs = monotonicNs();
    const int spawned =
        posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        problem = std::string("cannot start ") + program + ": " + std::strerror(spawned);
        return -1;
    }

    std::string output;
    const int64_t giveUpNs = startNs + int64_t{kTimeoutMs} * 1'000'000;
    while (output.find('\n') == std::string::npos) {
        const int64_t leftMs = (giveUpNs - monotonicNs()) / 1'000'000;
        if (leftMs <= 0) {
            break;
        }
        pollfd request{out[0], POLLIN, 0};
        if (poll(&request, 1, static_cast<int>(leftMs)) <= 0) {
            continue;
        }
        char buffer[256];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        output.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);

    int status = 0;
    if (waitpid(child, &status, WNOHANG) == 0) {
        // Exits on its own right after the paint; a program that never painted is ended.
        const int64_t exitByNs = monotonicNs() + 2'000'000'000;
        while (waitpid(child, &status, WNOHANG) == 0 && monotonicNs() < exitByNs) {
            usleep(1000);
        }
        if (waitpid(child, &status, WNOHANG) == 0) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
    }

    long long shownNs = 0;
    if (std::sscanf(output.c_str(), "shown %lld", &shownNs) != 1) {
        problem = "no first paint reported (does the program know --exit-when-shown?)";
        return -1;
    }
    return static_cast<double>(shownNs - startNs) / 1e6;
}

void measure(const std::string& program, const std::string& label,
             const std::vector<std::string>& devices, int runs) {
    std::string problem;
    // The first start fills the page cache; it is what a second start looks like that
    // counts, not the disk.
    (void)startOnce(program, devices, problem);
    std::vector<double> ms;
    for (int i = 0; i < runs && problem.empty(); ++i) {
        const double took = startOnce(program, devices, problem);
        if (took >= 0) {
            ms.push_back(took);
        }
    }
    if (ms.empty()) {
        std::fprintf(stderr, "start-up %s not measured: %s\n", label.c_str(), problem.c_str());
        printRow("Start-up to window shown, " + label, "not measured", "", "-");
        return;
    }
    const Summary s = summarize(ms);
    printRow("Start-up to window shown, " + label,
             format("median %.1f ms, best %.1f ms, worst %.1f ms (%zu starts)", s.median, s.best,
                    s.worst, s.count),
             format("<= %.0f ms", kTargetMs), metText(s.median <= kTargetMs));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_startup_time PATH-TO-TAMLO-CONFIG [RUNS]\n");
        return 0;
    }
    const std::string program = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string where = platform != nullptr ? platform : "offscreen";

    measure(program, "own devices (" + where + ")", {}, runs);
    ExtraDevices extra;
    if (!openExtraDevices(extra, kExtraDevices)) {
        std::fprintf(stderr, "start-up with extra devices not measured: no pseudo-terminals\n");
        return 0;
    }
    measure(program, format("%d extra ptys (", kExtraDevices) + where + ")", extra.paths, runs);
    return 0;
}
