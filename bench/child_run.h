// A program run as a child process of a benchmark, its standard output thrown away, timed by its
// CPU time (user and system: what a machine that other work loads disturbs least) and its
// wall-clock time.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

namespace bench {

struct ChildTimes {
    double cpu = 0, wall = 0;  // seconds
};

// Runs argv[0] with the arguments; true when it ended with status 0.
inline bool RunChild(const std::vector<std::string>& argv, ChildTimes* times) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 1);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = -1;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    times->wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    times->cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace bench
