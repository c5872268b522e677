// Runs a program and prints what it cost, for the command line's benchmarks:
//   bench_child_usage PROGRAM [ARGS...]
// prints "wall_us user_us system_us maxrss_kb status" on standard error after the
// program's own output; wall time from just before the fork to the reaping.
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

namespace {

int64_t monotonicUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
}

int64_t microseconds(const timeval& t) { return int64_t{t.tv_sec} * 1'000'000 + t.tv_usec; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_child_usage PROGRAM [ARGS...]\n");
        return 2;
    }
    const int64_t start = monotonicUs();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        return 1;
    }
    const int64_t wall = monotonicUs() - start;
    std::fprintf(stderr, "%lld %lld %lld %ld %d\n", static_cast<long long>(wall),
                 static_cast<long long>(microseconds(usage.ru_utime)),
                 static_cast<long long>(microseconds(usage.ru_stime)), usage.ru_maxrss,
                 WIFEXITED(status) ? WEXITSTATUS(status) : 128);
    return 0;
}
